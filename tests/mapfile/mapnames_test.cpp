// SPDX-License-Identifier: MIT
// Layers and values as people name them: by number, by name in any case, the
// terrain layer as "terrain", terrain values by their names with or without
// spaces; and what names nothing, with a reason.
#include "mapnames.h"

#include <gtest/gtest.h>

namespace amp {
namespace {

struct Named {
    const char* word;
    int expected; // -1: names nothing
};

TEST(LayerNamed, ByNumberOrNameInAnyCase) {
    const Named cases[] = {
        {"0", 0},       {"12", 12},         {"007", 7},         {"13", -1},     {"terrain", 0},
        {"TERRAIN", 0}, {"Terraintype", 0}, {"terraintype", 0}, {"roads", 6},   {"HEIGHT B1", 4},
        {"city b2", 8}, {"Text ID b4", 12}, {"height", -1},     {"??????", -1}, {"", -1},
        {"-1", -1},     {" 4", -1},         {"terrain ", -1},   {"Forest", -1},
    };
    for (const Named& c : cases) {
        const Naming layer = layerNamed(c.word);
        EXPECT_EQ(layer.value, c.expected) << c.word;
        EXPECT_EQ(layer.problem.empty(), c.expected >= 0) << c.word;
    }
    EXPECT_NE(layerNamed("??????").problem.find("give the layer's number"), std::string::npos);
}

TEST(ValueNamed, NumbersEverywhereTerrainNamesOnTheTerrainLayer) {
    const Named terrain[] = {
        {"0", 0},
        {"255", 255},
        {" 7 ", 7},
        {"+5", 5},
        {"256", -1},
        {"-1", -1},
        {"Forest", 3},
        {"forest", 3},
        {"OCEAN", 6},
        {"Clear", 0},
        {"Blackout", 18},
        {"Impassable River", 12},
        {"impassableriver", 12},
        {"Lakes", 14},
        {"Lake Region", 15},
        {"LakeRegion", 15},
        {"Lake", -1},
        {"", -1},
        {"Forests", -1},
        {"7x", -1},
    };
    for (const Named& c : terrain) {
        EXPECT_EQ(valueNamed(0, c.word).value, c.expected) << c.word;
    }
    // Other layers' values have no names.
    EXPECT_EQ(valueNamed(6, "Forest").value, -1);
    EXPECT_EQ(valueNamed(6, "3").value, 3);
    EXPECT_EQ(valueNamed(12, "200").value, 200);
    EXPECT_NE(valueNamed(6, "Forest").problem.find("0-255"), std::string::npos);
    EXPECT_NE(valueNamed(0, "Lake").problem.find("terrain"), std::string::npos);
}

} // namespace
} // namespace amp
