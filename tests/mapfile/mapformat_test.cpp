// SPDX-License-Identifier: MIT
#include "mapformat.h"

#include <gtest/gtest.h>

namespace amp {
namespace {

// The 10 x 8 map whose header is 2A 00 0A 00 08 00 05.
TEST(CellRule, PlacesRecordsColumnAfterColumnWithTheRowFastest) {
    constexpr int rows = 8;
    struct Case {
        int record;
        std::size_t offset;
        int column, row;
    };
    const Case cases[] = {
        {0, 7, 0, 0}, {1, 20, 0, 1}, {7, 98, 0, 7}, {8, 111, 1, 0}, {9, 124, 1, 1}, {79, 1034, 9, 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(recordOffset(c.record), c.offset) << "record " << c.record;
        EXPECT_EQ(recordOfCell(c.column, c.row, rows), c.record) << "record " << c.record;
    }
}

TEST(MapHeader, ReadsColumnsFromByteTwoAndRowsFromByteFour) {
    const MapHeader header{{0x2A, 0x00, 0x0A, 0x00, 0x08, 0x00, 0x05}};
    EXPECT_EQ(header.columns(), 10);
    EXPECT_EQ(header.rows(), 8);
    EXPECT_EQ(completeFileSize(header), 1047u);

    const MapHeader largest{{0, 0, 255, 255, 255, 255, 0}};
    EXPECT_EQ(completeFileSize(largest), static_cast<std::size_t>(MaxFileSize));
    EXPECT_EQ(MaxFileSize, 845332);
    EXPECT_EQ(completeFileSize(MapHeader{{0, 0, 0, 0, 9, 0, 0}}), 7u) << "no columns, no hexes";
}

TEST(NameTables, NameOnlyTheNineteenTerrainValues) {
    EXPECT_EQ(terrainName(0), "Clear");
    EXPECT_EQ(terrainName(3), "Forest");
    EXPECT_EQ(terrainName(18), "Blackout");
    for (int value : {19, 255, -1, 1000}) {
        EXPECT_TRUE(terrainName(value).empty()) << value;
    }
}

} // namespace
} // namespace amp
