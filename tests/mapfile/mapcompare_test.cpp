// SPDX-License-Identifier: MIT
// The comparison of two maps that amptool diff and the editor share: cells by the
// byte a write stores (a hex a short file lacks is zeros), over the hexes both
// maps have, the header bytes apart from the shape, the hexes only one map has;
// and what a file cut inside a record holds.
#include "mapcompare.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace amp {
namespace {

// A file of `columns` x `rows` hexes whose byte j of hex [c][r] is c + 10 r + 20 j.
std::vector<std::uint8_t> patternFile(int columns, int rows, std::uint8_t first = 42) {
    std::vector<std::uint8_t> bytes = {
        first, 0, static_cast<std::uint8_t>(columns), 0, static_cast<std::uint8_t>(rows), 0, 5};
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            for (int j = 0; j < 13; ++j) {
                bytes.push_back(static_cast<std::uint8_t>(c + 10 * r + 20 * j));
            }
        }
    }
    return bytes;
}

MapView viewOfFile(const std::vector<std::uint8_t>& bytes) {
    return viewMap(bytes).value();
}

using Hex = std::tuple<int, int>;

TEST(CompareMaps, OtherShapesCompareOverTheHexesBothHave) {
    // 4 x 3 against 3 x 5: the common hexes are columns 0-2, rows 0-2.
    const auto a = patternFile(4, 3);
    auto b = patternFile(3, 5, 43);
    b[7 + 13 * (2 * 5 + 1) + 4] = 1;  // hex [2][1], layer 4 (record 11 of the 5-row map)
    b[7 + 13 * (0 * 5 + 2) + 0] = 99; // hex [0][2], layer 0
    b[7 + 13 * (0 * 5 + 2) + 12] = 0; // the same hex, layer 12
    b[7 + 13 * (1 * 5 + 4) + 6] = 7;  // hex [1][4]: only in b, not compared
    std::vector<Hex> hexes;
    const MapDifferences found =
        compareMaps(viewOfFile(a), viewOfFile(b),
                    [&hexes](int column, int row, const std::uint8_t* x, const std::uint8_t* y) {
                        EXPECT_NE(std::vector<std::uint8_t>(x, x + 13), std::vector<std::uint8_t>(y, y + 13));
                        hexes.emplace_back(column, row);
                    });
    EXPECT_EQ(found.headerBytes, std::vector<int>{0});
    EXPECT_FALSE(found.sameShape);
    EXPECT_EQ(found.commonColumns, 3);
    EXPECT_EQ(found.commonRows, 3);
    EXPECT_EQ(found.onlyInA, 12 - 9);
    EXPECT_EQ(found.onlyInB, 15 - 9);
    EXPECT_EQ(hexes, (std::vector<Hex>{{0, 2}, {2, 1}})); // column, then row
    EXPECT_EQ(found.hexes, 2);
    EXPECT_EQ(found.cells, 3);
    std::array<long long, LayerCount> layers{};
    layers[0] = layers[4] = layers[12] = 1;
    EXPECT_EQ(found.layerCells, layers);
    EXPECT_FALSE(found.same());
}

TEST(CompareMaps, AHexAShortFileLacksIsZerosAsAWriteStoresIt) {
    auto complete = patternFile(2, 2);
    // The last hex all zeros: the same map as the file that stops before it.
    std::fill(complete.end() - 13, complete.end(), 0);
    const std::vector<std::uint8_t> shorter(complete.begin(), complete.end() - 13);
    EXPECT_TRUE(compareMaps(viewOfFile(complete), viewOfFile(shorter)).same());
    // With a cut record: its 5 bytes are dropped, the hex is zeros all the same.
    std::vector<std::uint8_t> cut(complete.begin(), complete.end() - 8);
    cut.back() = 77;
    const MapView view = viewOfFile(cut);
    EXPECT_EQ(view.cutRecordBytes, 5u);
    EXPECT_EQ(view.recordCount(), 3u);
    EXPECT_TRUE(compareMaps(view, viewOfFile(complete)).same());
    // A record beyond the map is not cut: those are bytes past the map.
    auto longer = patternFile(2, 2);
    longer.insert(longer.end(), {1, 2, 3});
    EXPECT_EQ(viewOfFile(longer).cutRecordBytes, 0u);
    // A difference in the zeros of the missing hex shows.
    complete.back() = 1;
    const MapDifferences found = compareMaps(viewOfFile(shorter), viewOfFile(complete));
    EXPECT_EQ(found.cells, 1);
    EXPECT_EQ(found.layerCells[12], 1);
}

TEST(CompareMaps, TheShapeIsNoHeaderDifferenceAndMapsWithoutHexesCompare) {
    const auto a = patternFile(0, 0), b = patternFile(5, 0);
    const MapDifferences found = compareMaps(viewOfFile(a), viewOfFile(b));
    EXPECT_TRUE(found.headerBytes.empty());
    EXPECT_FALSE(found.sameShape);
    EXPECT_EQ(found.onlyInA + found.onlyInB + found.cells, 0);
    EXPECT_FALSE(found.same());
    EXPECT_TRUE(compareMaps(viewOfFile(b), viewOfFile(b)).same());
}

} // namespace
} // namespace amp
