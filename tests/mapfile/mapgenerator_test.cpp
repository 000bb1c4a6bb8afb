#include "mapgenerator.h"

#include <gtest/gtest.h>

#include <set>

namespace amp {
namespace {

TEST(MapGenerator, IsRepeatableAndFillsEveryHexWithNamedTerrain) {
    const auto a = generateMap(40, 30, 7);
    const auto b = generateMap(40, 30, 7);
    EXPECT_EQ(encodeMap(a), encodeMap(b));
    EXPECT_NE(encodeMap(a), encodeMap(generateMap(40, 30, 8)));

    EXPECT_EQ(a.header.columns(), 40);
    EXPECT_EQ(a.header.rows(), 30);
    ASSERT_EQ(a.records.size(), 1200u);
    std::set<int> terrains;
    for (const auto& record : a.records) {
        EXPECT_FALSE(terrainName(record[TerrainLayer]).empty());
        terrains.insert(record[TerrainLayer]);
    }
    EXPECT_GE(terrains.size(), 4u) << "a plausible map has several kinds of terrain";
    EXPECT_TRUE(terrains.count(0)) << "and open ground";
}

TEST(MapGenerator, MakesEveryShapeFromEmptyToTheLargest) {
    for (const auto& [columns, rows] : {std::pair{0, 0}, {0, 5}, {1, 1}, {255, 1}, {255, 255}}) {
        EXPECT_EQ(generateMap(columns, rows, 1).records.size(), static_cast<std::size_t>(columns * rows));
    }
}

} // namespace
} // namespace amp
