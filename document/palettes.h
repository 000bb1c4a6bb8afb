// SPDX-License-Identifier: MIT
// The picture's colours. The terrain layer has one colour per terrain, after the
// habits of topographic maps (water blue, vegetation green, relief brown, built-up
// dark or red), and one for values without a name; any two terrains differ by at
// least 20 in CIE 1976 Delta E. The colour-blind set keeps them apart for readers
// who tell red from green poorly too. Every other layer's values run through
// viridis (cividis in the colour-blind set) stretched over the values the layer
// holds, or take categorical colours when it holds only a few.
#pragma once

#include <QColor>
#include <QRgb>

#include <array>
#include <cstdint>
#include <span>

namespace palettes {

inline constexpr int TerrainCount = 19;

// The standard colours, or the set that readers with red-green colour
// blindness (deuteranopia, protanopia) can tell apart.
enum class Palette { Standard, ColourBlind };

// The colour of terrain value `value`; values without a name share UnknownTerrain.
QRgb terrain(int value, Palette palette = Palette::Standard);
inline constexpr QRgb UnknownTerrain = 0xFFFF00FF; // magenta: stands out on any map

enum class Ramp { Viridis, Cividis };
inline Ramp rampOf(Palette palette) {
    return palette == Palette::ColourBlind ? Ramp::Cividis : Ramp::Viridis;
}
// The ramp's colour for a byte, 0 at one end and 255 at the other.
QRgb ramp(Ramp which, std::uint8_t value);
// The ramp's colour at `t`, 0 to 1.
QRgb rampAt(Ramp which, double t);

// A layer holding at most this many distinct values gets a colour of its own
// for each of them.
inline constexpr int CategoryCount = 12;
QRgb category(int index, Palette palette);

// Shade lightens or darkens a colour by mixing it with white or black, by at
// most this share.
inline constexpr double ShadeStrength = 0.45;
// How far a shade may take each terrain toward white and toward black: so far
// that at no step of the shade does its colour come within 20 (CIE 1976 Delta E)
// of another terrain's, plain or shaded by the same step, so relief never turns
// one terrain into the colour of another. Terrains with a neighbour in that
// direction (the dark blues, the darkest colours) shade little or not at all.
struct ShadeReach {
    double lighter = ShadeStrength;
    double darker = ShadeStrength;
    friend bool operator==(const ShadeReach&, const ShadeReach&) = default;
};
ShadeReach terrainShadeReach(int value, Palette palette);

// How one layer's values become colours: the terrain palette, or the layer's
// scale, made from the values it holds.
class LayerColours {
public:
    // The terrain palette, by value.
    static LayerColours terrain(Palette palette);
    // A scale for the bytes a layer holds (held[b]: some cell holds byte b):
    // categorical for at most CategoryCount distinct bytes, else the ramp from
    // the lowest byte held to the highest.
    static LayerColours scale(std::span<const bool, 256> held, Palette palette);
    // The whole ramp over 0..255, whatever is held.
    static LayerColours fullRamp(Palette palette);

    bool isTerrain() const { return terrain_; }
    bool isCategorical() const { return categorical_; }
    int low() const { return low_; }
    int high() const { return high_; }
    // A cell's colour from its whole-number value: terrain by value (unnamed
    // ones UnknownTerrain), other layers by the byte a write stores for it.
    QRgb colour(std::int32_t value) const {
        if (terrain_) {
            return value >= 0 && value < 256 ? table_[static_cast<std::size_t>(value)] : UnknownTerrain;
        }
        return table_[static_cast<std::uint8_t>(value)];
    }
    // Where a byte lies on the scale, 0 at its low end to 1 at its high end.
    double position(std::uint8_t byte) const;
    // The share of white (above 0) or black (below 0) that a shade step of -1
    // to 1 mixes into the colour of `value`: terrains by their reach, anything
    // else by ShadeStrength.
    double shadeShare(std::int32_t value, double step) const {
        if (terrain_ && value >= 0 && value < TerrainCount) {
            const ShadeReach& reach = reach_[static_cast<std::size_t>(value)];
            return step * (step >= 0 ? reach.lighter : reach.darker);
        }
        return step * ShadeStrength;
    }
    friend bool operator==(const LayerColours&, const LayerColours&) = default;

private:
    std::array<QRgb, 256> table_{};
    std::array<ShadeReach, TerrainCount> reach_{};
    bool terrain_ = false;
    bool categorical_ = false;
    int low_ = 0;
    int high_ = 255;
};

} // namespace palettes
