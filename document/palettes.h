// SPDX-License-Identifier: MIT
// The picture's colours. The terrain layer has one colour per terrain, after the
// habits of topographic maps (water blue, vegetation green, relief brown, built-up
// dark or red), and one for values without a name. Every other layer runs 0..255
// through viridis, or cividis for readers who tell red from green poorly.
#pragma once

#include <QColor>
#include <QRgb>

#include <array>
#include <cstdint>

namespace palettes {

inline constexpr int TerrainCount = 19;

// The colour of terrain value `value`; values without a name share UnknownTerrain.
QRgb terrain(int value);
inline constexpr QRgb UnknownTerrain = 0xFFFF00FF; // magenta: stands out on any map

enum class Ramp { Viridis, Cividis };
// The ramp's colour for a byte.
QRgb ramp(Ramp which, std::uint8_t value);

} // namespace palettes
