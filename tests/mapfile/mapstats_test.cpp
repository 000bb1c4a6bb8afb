// SPDX-License-Identifier: MIT
// What a map, a set of hexes and each half hold, and the symmetry score, over
// maps written out byte by byte. Counted by hand from the bytes: a city has a
// non-zero "city b1" (byte 7) or "city b2" (byte 8), a road a non-zero "roads"
// (byte 6), "height b1" is byte 4, terrain byte 0.
#include "mapstats.h"

#include "layeredmap.h"
#include "mapimage.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// Three columns of two rows: header (columns at byte 2, rows at byte 4), then
// the records of (0,0), (0,1), (1,0), (1,1), (2,0), (2,1).
const std::vector<std::uint8_t> ThreeByTwo = {
    0,  0, 3, 0, 2,   0, 0,                   // header
    3,  0, 0, 0, 10,  0, 0, 0, 0, 0, 0, 0, 0, // (0,0) Forest, height 10
    0,  0, 0, 0, 20,  0, 1, 5, 0, 0, 0, 0, 0, // (0,1) Clear, road, city b1
    3,  0, 0, 0, 0,   0, 0, 0, 7, 0, 0, 0, 0, // (1,0) Forest, city b2
    6,  0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, // (1,1) Ocean, height 255
    3,  0, 0, 0, 10,  0, 0, 0, 0, 0, 0, 0, 0, // (2,0) Forest, height 10
    81, 0, 0, 0, 5,   0, 2, 1, 1, 0, 0, 0, 0, // (2,1) value 81, road, city
};

amp::MapLayers layersOf(const std::vector<std::uint8_t>& bytes) {
    auto view = amp::viewMap(bytes);
    EXPECT_TRUE(view.ok());
    return amp::layersOf(view.value(), false);
}

std::map<int, int> terrainOf(const amp::HexStats& stats) {
    std::map<int, int> counts;
    for (int value = 0; value < 256; ++value) {
        if (stats.terrain[static_cast<std::size_t>(value)] != 0) {
            counts[value] = stats.terrain[static_cast<std::size_t>(value)];
        }
    }
    return counts;
}

TEST(MapStats, CountTheWholeMapFromItsBytes) {
    const amp::HexStats stats = amp::statsOfMap(layersOf(ThreeByTwo));
    EXPECT_EQ(stats.hexes, 6);
    EXPECT_EQ(terrainOf(stats), (std::map<int, int>{{0, 1}, {3, 3}, {6, 1}, {81, 1}}));
    EXPECT_EQ(stats.cities, 3); // (0,1), (1,0), (2,1)
    EXPECT_EQ(stats.roads, 2);  // (0,1), (2,1)
    EXPECT_EQ(stats.heightMin, 0);
    EXPECT_EQ(stats.heightMax, 255);
    EXPECT_DOUBLE_EQ(stats.heightMean, (10 + 20 + 0 + 255 + 10 + 5) / 6.0);
}

TEST(MapStats, HalvesLeaveTheMiddleColumnOutAndSplitEvenRows) {
    const amp::MapLayers map = layersOf(ThreeByTwo);
    const auto [left, right] = amp::statsOfHalves(map, amp::Half::LeftRight);
    EXPECT_EQ(left.hexes, 2); // column 0
    EXPECT_EQ(terrainOf(left), (std::map<int, int>{{0, 1}, {3, 1}}));
    EXPECT_EQ(left.cities, 1);
    EXPECT_EQ(left.roads, 1);
    EXPECT_EQ(left.heightMin, 10);
    EXPECT_EQ(left.heightMax, 20);
    EXPECT_DOUBLE_EQ(left.heightMean, 15);
    EXPECT_EQ(right.hexes, 2); // column 2
    EXPECT_EQ(terrainOf(right), (std::map<int, int>{{3, 1}, {81, 1}}));
    EXPECT_EQ(right.cities, 1);
    EXPECT_DOUBLE_EQ(right.heightMean, 7.5);

    const auto [top, bottom] = amp::statsOfHalves(map, amp::Half::TopBottom);
    EXPECT_EQ(top.hexes, 3);
    EXPECT_EQ(terrainOf(top), (std::map<int, int>{{3, 3}}));
    EXPECT_EQ(top.cities, 1);
    EXPECT_EQ(top.roads, 0);
    EXPECT_EQ(top.heightMin, 0);
    EXPECT_EQ(top.heightMax, 10);
    EXPECT_EQ(bottom.hexes, 3);
    EXPECT_EQ(bottom.cities, 2);
    EXPECT_EQ(bottom.roads, 2);
    EXPECT_EQ(bottom.heightMin, 5);
    EXPECT_EQ(bottom.heightMax, 255);
    EXPECT_DOUBLE_EQ(bottom.heightMean, 280 / 3.0);

    // Five rows: rows 0-1 and 3-4, row 2 in neither.
    LayeredMap tall(1, 5);
    EXPECT_EQ(amp::slotsOfHalf(tall.layers(), amp::Half::TopBottom, 0), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(amp::slotsOfHalf(tall.layers(), amp::Half::TopBottom, 1), (std::vector<std::int32_t>{3, 4}));
}

TEST(MapStats, ASetOfHexesCountsEachOnceAndSkipsHexesOffTheMap) {
    const std::vector<std::int32_t> slots = {5, 5, 1, -1, 6, 99};
    const amp::HexStats stats = amp::statsOfHexes(layersOf(ThreeByTwo), slots);
    EXPECT_EQ(stats.hexes, 2);
    EXPECT_EQ(terrainOf(stats), (std::map<int, int>{{0, 1}, {81, 1}}));
    EXPECT_EQ(stats.cities, 2);
    EXPECT_EQ(stats.roads, 2);
    EXPECT_EQ(stats.heightMin, 5);
    EXPECT_EQ(stats.heightMax, 20);
    EXPECT_DOUBLE_EQ(stats.heightMean, 12.5);
}

TEST(MapStats, HexesAShortFileLacksCountAsZeros) {
    // The header promises 3 x 2 hexes, the file holds two records.
    std::vector<std::uint8_t> cut(ThreeByTwo.begin(), ThreeByTwo.begin() + 7 + 2 * 13);
    const amp::HexStats stats = amp::statsOfMap(layersOf(cut));
    EXPECT_EQ(stats.hexes, 6);
    EXPECT_EQ(terrainOf(stats), (std::map<int, int>{{0, 5}, {3, 1}}));
    EXPECT_EQ(stats.cities, 1);
    EXPECT_EQ(stats.heightMin, 0);
    EXPECT_EQ(stats.heightMax, 20);
}

TEST(SymmetryScore, CountsHexesEqualToTheirMirrorImage) {
    // Columns 0 and 2 are both raised, so the mirror swaps them row for row and
    // keeps column 1 in place. (0,0) and (2,0) agree on every layer; (0,1) and
    // (2,1) differ in terrain, height, roads and both city bytes.
    const amp::SymmetryScore score = amp::symmetryScore(layersOf(ThreeByTwo), hexsymmetry::Flip::LeftRight);
    for (const int layer : {0, 4, 6, 7, 8}) {
        EXPECT_DOUBLE_EQ(score.layer[static_cast<std::size_t>(layer)], 4 / 6.0) << layer;
    }
    for (const int layer : {1, 2, 3, 5, 9, 10, 11, 12}) {
        EXPECT_DOUBLE_EQ(score.layer[static_cast<std::size_t>(layer)], 1.0) << layer;
    }
    EXPECT_DOUBLE_EQ(score.all, (8 * 6 + 5 * 4) / 78.0);
}

TEST(SymmetryScore, AHalfTurnReversesAColumnAndAHexWithoutImageIsItsOwn) {
    // One column of three: a half turn about the middle hex swaps rows 0 and 2.
    LayeredMap column(1, 3);
    column.at(0, 0, 0) = 1;
    column.at(0, 0, 1) = 2;
    column.at(0, 0, 2) = 1;
    EXPECT_DOUBLE_EQ(amp::symmetryScore(column.layers(), hexsymmetry::Flip::Point).layer[0], 1.0);
    column.at(0, 0, 2) = 3;
    EXPECT_DOUBLE_EQ(amp::symmetryScore(column.layers(), hexsymmetry::Flip::Point).layer[0], 1 / 3.0);

    // Two columns of one row: column 1 sits half a hex lower, so no mirror
    // across a vertical line maps one hex onto the other. Each is its own image.
    LayeredMap pair(2, 1);
    pair.at(0, 0, 0) = 4;
    pair.at(0, 1, 0) = 5;
    EXPECT_DOUBLE_EQ(amp::symmetryScore(pair.layers(), hexsymmetry::Flip::LeftRight).all, 1.0);
}

} // namespace
