// SPDX-License-Identifier: MIT
#include "palettes.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace palettes {

namespace {

// Each terrain's colour in the standard set and in the colour-blind one. In the
// colour-blind set any two also differ by at least 12 in Delta E as readers
// with deuteranopia or protanopia see them.
constexpr std::array<std::array<QRgb, 2>, TerrainCount> TerrainColours = {{
    {0xFFE8E2C4, 0xFFE8E2C4}, // Clear: open ground, pale
    {0xFFB32323, 0xFFCC3C35}, // City: built-up, red
    {0xFF7C7C7D, 0xFF7E7E7E}, // Airfield: paved, grey
    {0xFF2E7D32, 0xFF6AA923}, // Forest: green
    {0xFFE4CE88, 0xFFE5CF8A}, // Sand: yellow ochre
    {0xFF718B57, 0xFF6E8B56}, // Swamp: olive
    {0xFF1F4E9A, 0xFF264098}, // Ocean: deep blue
    {0xFF5C85E4, 0xFF0273D9}, // River: blue
    {0xFF3B3A3A, 0xFF3B3B3B}, // Fortification: built-up, dark
    {0xFF783D9C, 0xFF9657B1}, // Port: harbour, violet
    {0xFF88C4FD, 0xFF50BCF3}, // Stream: light blue
    {0xFF8D5B2C, 0xFF77480A}, // Escarpment: relief, brown
    {0xFF0C275A, 0xFF0D2F66}, // Impassable River: darkest blue
    {0xFFB1905F, 0xFFC7A683}, // Rough: relief, light brown
    {0xFF398ECF, 0xFF4392DD}, // Lakes: blue
    {0xFFB1D0E4, 0xFFA5C7E4}, // Lake Region: pale blue
    {0xFF89AF58, 0xFF8AAF56}, // Bocage: hedged fields, light green
    {0xFF5B3D25, 0xFF59371E}, // Ravine: relief, dark brown
    {0xFF000000, 0xFF000000}, // Blackout: black
}};

// Categorical colours: Tableau's ten and two more; Okabe and Ito's eight, safe
// for colour-blind readers, and four of Paul Tol's.
constexpr std::array<std::array<QRgb, 2>, CategoryCount> CategoryColours = {{
    {0xFF4E79A7, 0xFFE69F00},
    {0xFFF28E2B, 0xFF56B4E9},
    {0xFFE15759, 0xFF009E73},
    {0xFF76B7B2, 0xFFF0E442},
    {0xFF59A14F, 0xFF0072B2},
    {0xFFEDC948, 0xFFD55E00},
    {0xFFB07AA1, 0xFFCC79A7},
    {0xFFFF9DA7, 0xFF000000},
    {0xFF9C755F, 0xFF882255},
    {0xFFBAB0AC, 0xFF44AA99},
    {0xFF17BECF, 0xFF999933},
    {0xFFBCBD22, 0xFFDDDDDD},
}};

constexpr std::size_t indexOf(Palette palette) {
    return palette == Palette::ColourBlind ? 1 : 0;
}

// A ramp through nine colours at every eighth of the range, in straight lines
// between them.
using Stops = std::array<std::array<int, 3>, 9>;
QRgb through(const Stops& stops, double t) {
    const double at = std::clamp(t, 0.0, 1.0) * 8;
    const int i = std::min(static_cast<int>(at), 7);
    const double f = at - i;
    const auto& a = stops[static_cast<std::size_t>(i)];
    const auto& b = stops[static_cast<std::size_t>(i + 1)];
    const auto mix = [f](int x, int y) { return static_cast<int>(std::lround(x + f * (y - x))); };
    return qRgb(mix(a[0], b[0]), mix(a[1], b[1]), mix(a[2], b[2]));
}

// Viridis's published nine-step values, #440154 to #FDE725.
QRgb viridis(double t) {
    static constexpr Stops stops = {{{68, 1, 84},
                                     {71, 45, 123},
                                     {59, 82, 139},
                                     {44, 114, 142},
                                     {33, 145, 140},
                                     {40, 174, 128},
                                     {94, 201, 98},
                                     {173, 220, 48},
                                     {253, 231, 37}}};
    return through(stops, t);
}

// Cividis, blue through grey to yellow with lightness rising evenly, from values
// close to its published table.
QRgb cividis(double t) {
    static constexpr Stops stops = {{{0, 34, 78},
                                     {8, 58, 112},
                                     {59, 80, 108},
                                     {96, 103, 111},
                                     {125, 124, 120},
                                     {156, 148, 119},
                                     {189, 175, 111},
                                     {223, 203, 96},
                                     {254, 232, 56}}};
    return through(stops, t);
}

template <typename F> std::array<QRgb, 256> table(F colour) {
    std::array<QRgb, 256> all{};
    for (int v = 0; v < 256; ++v) {
        all[static_cast<std::size_t>(v)] = colour(v / 255.0);
    }
    return all;
}

// CIE L*a*b* of an sRGB colour (D65 white).
std::array<double, 3> labOf(QRgb colour) {
    // The linear light of each channel value, worked out once.
    static const auto linearOf = [] {
        std::array<double, 256> table{};
        for (std::size_t c = 0; c < table.size(); ++c) {
            const double v = static_cast<double>(c) / 255.0;
            table[c] = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        }
        return table;
    }();
    const auto linear = [](int c) { return linearOf[static_cast<std::size_t>(c)]; };
    const double r = linear(qRed(colour)), g = linear(qGreen(colour)), b = linear(qBlue(colour));
    const auto f = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
    const double fx = f((0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047);
    const double fy = f(0.2126729 * r + 0.7151522 * g + 0.0721750 * b);
    const double fz = f((0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883);
    return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
}

double deltaE(QRgb a, QRgb b) {
    const auto p = labOf(a), q = labOf(b);
    return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
}

// The colour a shade makes, as the picture mixes it (channels rounded half away).
QRgb shadedBy(QRgb colour, double share) {
    const int to = share >= 0 ? 255 : 0;
    const double amount = std::abs(share);
    const auto channel = [&](int c) { return static_cast<int>(std::lround(c + amount * (to - c))); };
    return qRgb(channel(qRed(colour)), channel(qGreen(colour)), channel(qBlue(colour)));
}

// Terrains stay this far apart; a little more than the rule's 20 where the
// search steps, so that steps between those it tries keep the rule too.
constexpr double KeptApart = 20.0;
constexpr double SearchMargin = 0.75;
constexpr double ReachStep = 0.005;
// The shade steps tried against each other, each way; the margin covers the
// steps between them.
constexpr int SharedSteps = 128;

using Reaches = std::array<ShadeReach, TerrainCount>;

// Each terrain's reach each way: first as far as it stays clear of every other
// terrain's plain colour, then shortened pair by pair until two terrains
// shaded by the same step stay clear of each other too.
Reaches findReaches(Palette palette) {
    Reaches reaches;
    std::array<QRgb, TerrainCount> plain{};
    for (int t = 0; t < TerrainCount; ++t) {
        plain[static_cast<std::size_t>(t)] = TerrainColours[static_cast<std::size_t>(t)][indexOf(palette)];
    }
    // How close a shade may bring two terrains: the rule's distance with the
    // margin, or as close as they are unshaded where that is closer.
    std::array<std::array<double, TerrainCount>, TerrainCount> nearest{};
    for (std::size_t a = 0; a < nearest.size(); ++a) {
        for (std::size_t b = 0; b < nearest.size(); ++b) {
            nearest[a][b] = std::min(KeptApart + SearchMargin, deltaE(plain[a], plain[b]));
        }
    }
    std::array<std::array<double, 3>, TerrainCount> plainLab{};
    for (std::size_t t = 0; t < plainLab.size(); ++t) {
        plainLab[t] = labOf(plain[t]);
    }
    const auto apart = [](const std::array<double, 3>& p, const std::array<double, 3>& q) {
        return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                         (p[2] - q[2]) * (p[2] - q[2]));
    };
    for (const int way : {1, -1}) {
        for (int t = 0; t < TerrainCount; ++t) {
            double reach = 0;
            for (double next = ReachStep; next <= ShadeStrength + 1e-9; next += ReachStep) {
                const auto lab = labOf(shadedBy(plain[static_cast<std::size_t>(t)], way * next));
                bool clear = true;
                for (int other = 0; other < TerrainCount && clear; ++other) {
                    const auto o = static_cast<std::size_t>(other);
                    clear = other == t || apart(lab, plainLab[o]) >= nearest[static_cast<std::size_t>(t)][o];
                }
                if (!clear) {
                    break;
                }
                reach = next;
            }
            auto& kept = reaches[static_cast<std::size_t>(t)];
            (way > 0 ? kept.lighter : kept.darker) = reach;
        }
        const auto reachOf = [&reaches, way](int t) -> double& {
            auto& kept = reaches[static_cast<std::size_t>(t)];
            return way > 0 ? kept.lighter : kept.darker;
        };
        // Each pass shades every terrain at every shared step (in L*a*b*, once),
        // then shortens the reach of both terrains of each pair that came too close.
        using Row = std::array<std::array<double, 3>, SharedSteps>;
        std::vector<Row> rows(TerrainCount);
        std::array<bool, TerrainCount> changed{};
        changed.fill(true);
        for (bool shortened = true; shortened;) {
            shortened = false;
            for (int t = 0; t < TerrainCount; ++t) {
                for (int step = 1; step <= SharedSteps && changed[static_cast<std::size_t>(t)]; ++step) {
                    rows[static_cast<std::size_t>(t)][static_cast<std::size_t>(step - 1)] = labOf(
                        shadedBy(plain[static_cast<std::size_t>(t)], way * reachOf(t) * step / SharedSteps));
                }
            }
            std::array<bool, TerrainCount> tooClose{};
            for (int a = 0; a < TerrainCount; ++a) {
                for (int b = a + 1; b < TerrainCount; ++b) {
                    if (!changed[static_cast<std::size_t>(a)] && !changed[static_cast<std::size_t>(b)]) {
                        continue; // as apart as the last pass found them
                    }
                    const Row& p = rows[static_cast<std::size_t>(a)];
                    const Row& q = rows[static_cast<std::size_t>(b)];
                    for (std::size_t step = 0; step < p.size(); ++step) {
                        const double least =
                            nearest[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)];
                        const double d0 = p[step][0] - q[step][0], d1 = p[step][1] - q[step][1],
                                     d2 = p[step][2] - q[step][2];
                        if (d0 * d0 + d1 * d1 + d2 * d2 < least * least) {
                            tooClose[static_cast<std::size_t>(a)] = tooClose[static_cast<std::size_t>(b)] =
                                true;
                            break;
                        }
                    }
                }
            }
            for (int t = 0; t < TerrainCount; ++t) {
                changed[static_cast<std::size_t>(t)] =
                    tooClose[static_cast<std::size_t>(t)] && reachOf(t) > 0;
                if (changed[static_cast<std::size_t>(t)]) {
                    reachOf(t) = std::max(0.0, reachOf(t) - ReachStep);
                    shortened = true;
                }
            }
        }
    }
    return reaches;
}

} // namespace

ShadeReach terrainShadeReach(int value, Palette palette) {
    if (value < 0 || value >= TerrainCount) {
        return {};
    }
    // Each palette's reaches are found the first time they are asked for.
    if (palette == Palette::ColourBlind) {
        static const Reaches colourBlind = findReaches(Palette::ColourBlind);
        return colourBlind[static_cast<std::size_t>(value)];
    }
    static const Reaches standard = findReaches(Palette::Standard);
    return standard[static_cast<std::size_t>(value)];
}

QRgb terrain(int value, Palette palette) {
    return value >= 0 && value < TerrainCount
               ? TerrainColours[static_cast<std::size_t>(value)][indexOf(palette)]
               : UnknownTerrain;
}

QRgb ramp(Ramp which, std::uint8_t value) {
    static const auto viridisTable = table(viridis);
    static const auto cividisTable = table(cividis);
    return (which == Ramp::Viridis ? viridisTable : cividisTable)[value];
}

QRgb rampAt(Ramp which, double t) {
    return which == Ramp::Viridis ? viridis(t) : cividis(t);
}

QRgb category(int index, Palette palette) {
    return CategoryColours[static_cast<std::size_t>(index) % CategoryColours.size()][indexOf(palette)];
}

LayerColours LayerColours::terrain(Palette palette) {
    LayerColours colours;
    colours.terrain_ = true;
    for (int value = 0; value < 256; ++value) {
        colours.table_[static_cast<std::size_t>(value)] = palettes::terrain(value, palette);
    }
    for (int value = 0; value < TerrainCount; ++value) {
        colours.reach_[static_cast<std::size_t>(value)] = terrainShadeReach(value, palette);
    }
    colours.low_ = 0;
    colours.high_ = TerrainCount - 1;
    return colours;
}

LayerColours LayerColours::fullRamp(Palette palette) {
    LayerColours colours;
    for (int value = 0; value < 256; ++value) {
        colours.table_[static_cast<std::size_t>(value)] =
            ramp(rampOf(palette), static_cast<std::uint8_t>(value));
    }
    return colours;
}

LayerColours LayerColours::scale(std::span<const bool, 256> held, Palette palette) {
    LayerColours colours;
    const auto distinct = std::count(held.begin(), held.end(), true);
    const auto first = std::find(held.begin(), held.end(), true);
    if (first == held.end()) {
        colours.low_ = colours.high_ = 0;
        colours.table_.fill(rampAt(rampOf(palette), 0));
        return colours;
    }
    colours.low_ = static_cast<int>(first - held.begin());
    colours.high_ = static_cast<int>(held.rend() - std::find(held.rbegin(), held.rend(), true)) - 1;
    colours.categorical_ = distinct <= CategoryCount;
    // Categories go to the held values in order; a value not held (yet) takes
    // the colour of the held one below it.
    int rank = -1;
    for (int value = 0; value < 256; ++value) {
        const auto slot = static_cast<std::size_t>(value);
        if (colours.categorical_) {
            rank += held[slot] ? 1 : 0;
            colours.table_[slot] = category(std::max(rank, 0), palette);
        } else {
            colours.table_[slot] =
                rampAt(rampOf(palette), colours.position(static_cast<std::uint8_t>(value)));
        }
    }
    return colours;
}

double LayerColours::position(std::uint8_t byte) const {
    // A layer of one value lies in the middle of its scale.
    constexpr double Middle = 0.5;
    return high_ > low_ ? std::clamp((byte - low_) / double(high_ - low_), 0.0, 1.0) : Middle;
}

} // namespace palettes
