// SPDX-License-Identifier: MIT
// What a map, a set of its hexes or one half of it holds, and how symmetric it
// is. A hex is a city when its "city b1" or "city b2" byte is not 0 and a road
// when its "roads" byte is not 0; terrain is counted by value. A half splits the
// columns (left/right) or the rows (top/bottom): of an odd count, the middle
// column or row belongs to neither half.
#pragma once

#include "hexsymmetry.h"
#include "maplayers.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace amp {

struct HexStats {
    int hexes = 0;
    std::array<int, 256> terrain{}; // hexes by terrain value
    int cities = 0;
    int roads = 0;
    // "height b1" over the hexes counted; meaningless when there are none.
    int heightMin = 0;
    int heightMax = 0;
    double heightMean = 0;
};

HexStats statsOfMap(const MapLayers& map);
// The hexes given by slot (column * rows + row); each counts once however often
// it is named, and slots off the map are left out.
HexStats statsOfHexes(const MapLayers& map, std::span<const std::int32_t> slots);

enum class Half { LeftRight, TopBottom };
// The left and right halves, or the top and bottom ones, in that order.
std::array<HexStats, 2> statsOfHalves(const MapLayers& map, Half half);
// The slots of one half (0: left or top, 1: right or bottom), in file order.
std::vector<std::int32_t> slotsOfHalf(const MapLayers& map, Half half, int which);

// The share of hexes equal to their image under a flip of the map (a mirror or
// a half turn, the one the Symmetry menu uses): per layer, and over every cell
// of all layers together. A hex whose image falls outside the map is its own
// image, as the Symmetry menu leaves such a hex as it was: a map the menu made
// symmetric scores 1. A map without hexes scores 1.
struct SymmetryScore {
    std::array<double, LayerCount> layer{};
    double all = 1;
};
SymmetryScore symmetryScore(const MapLayers& map, hexsymmetry::Flip flip);

// The flip that matches a split into halves: the mirror across the split.
hexsymmetry::Flip flipOfHalf(Half half);

} // namespace amp
