// SPDX-License-Identifier: MIT
#include "palettes.h"

#include <algorithm>
#include <cmath>

namespace palettes {

namespace {

constexpr std::array<QRgb, TerrainCount> TerrainColours = {
    0xFFE8E2C4, // Clear: open ground, pale
    0xFFB22222, // City: built-up, red
    0xFF7D7D7D, // Airfield: paved, grey
    0xFF2E7D32, // Forest: dark green
    0xFFE6CF8A, // Sand: yellow ochre
    0xFF6E8B57, // Swamp: olive
    0xFF1F4E9A, // Ocean: deep blue
    0xFF3C7FD6, // River: blue
    0xFF3B3B3B, // Fortification: built-up, dark
    0xFF7A3E9D, // Port: harbour, violet
    0xFF78B8EC, // Stream: light blue
    0xFF8B5A2B, // Escarpment: relief, brown
    0xFF0E2F66, // Impassable River: darkest blue
    0xFFB08D5E, // Rough: relief, light brown
    0xFF4C93D9, // Lakes: blue
    0xFF9CC6E6, // Lake Region: pale blue
    0xFF86A95A, // Bocage: hedged fields, light green
    0xFF5E3B1E, // Ravine: relief, dark brown
    0xFF000000, // Blackout: black
};

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

} // namespace

QRgb terrain(int value) {
    return value >= 0 && value < TerrainCount ? TerrainColours[static_cast<std::size_t>(value)]
                                              : UnknownTerrain;
}

QRgb ramp(Ramp which, std::uint8_t value) {
    static const auto viridisTable = table(viridis);
    static const auto cividisTable = table(cividis);
    return (which == Ramp::Viridis ? viridisTable : cividisTable)[value];
}

} // namespace palettes
