// SPDX-License-Identifier: MIT
// Cost tables: what a table says a hex costs to enter, and every kind of bad
// table refused with the key at fault named.
#include "costtable.h"
#include "jsonreader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

amp::CostTable tableOf(const std::string& text) {
    auto parsed = amp::parseCostTable(text);
    if (auto* error = std::get_if<amp::CostTableError>(&parsed)) {
        ADD_FAILURE() << "refused: " << error->message;
        return {};
    }
    return std::get<amp::CostTable>(parsed);
}

// The key the table is refused for; the message must name it too.
std::string refusedKey(const std::string& text) {
    auto parsed = amp::parseCostTable(text);
    const auto* error = std::get_if<amp::CostTableError>(&parsed);
    if (error == nullptr) {
        ADD_FAILURE() << "accepted: " << text;
        return "(accepted)";
    }
    EXPECT_NE(error->message.find("\"" + error->key + "\""), std::string::npos) << error->message;
    return error->key;
}

TEST(CostTable, ReadsTerrainByNameOrValueDefaultAndRoad) {
    const amp::CostTable table = tableOf(R"({"name": "Infantry", "default": 1.5, "road": 0.5,
        "costs": {"Clear": 1, "Forest": 2, "Ocean": null, "81": 3, "Blackout": 4}})");
    EXPECT_EQ(table.name, "Infantry");
    // Clear is 0, Forest 3, Ocean 6, Blackout 18 in the terrain list.
    EXPECT_EQ(table.costOf(0, 0), 1);
    EXPECT_EQ(table.costOf(3, 0), 2);
    EXPECT_EQ(table.costOf(6, 0), amp::ImpassableCost);
    EXPECT_EQ(table.costOf(81, 0), 3);
    EXPECT_EQ(table.costOf(18, 0), 4);
    // Values not listed take the default: Swamp (5), and 255.
    EXPECT_EQ(table.costOf(5, 0), 1.5);
    EXPECT_EQ(table.costOf(255, 0), 1.5);
    // Any non-zero roads byte makes the hex cost the road's, whatever its terrain.
    EXPECT_EQ(table.costOf(3, 1), 0.5);
    EXPECT_EQ(table.costOf(6, 200), 0.5);
}

TEST(CostTable, DefaultsToOneWithoutRoadsAndMayMakeTheRestImpassable) {
    const amp::CostTable plain = tableOf(R"({"costs": {"Forest": 2}})");
    EXPECT_EQ(plain.costOf(0, 0), 1);
    EXPECT_EQ(plain.costOf(3, 7), 2) << "without a road cost the roads byte changes nothing";
    const amp::CostTable closed = tableOf(R"({"default": null, "costs": {"Clear": 1}})");
    EXPECT_EQ(closed.costOf(0, 0), 1);
    EXPECT_EQ(closed.costOf(1, 0), amp::ImpassableCost);
}

TEST(CostTable, RefusesBadKeysAndValuesNamingTheKey) {
    EXPECT_EQ(refusedKey(R"({"costs": {}, "speed": 1})"), "speed");
    EXPECT_EQ(refusedKey(R"({"default": 1})"), "costs");
    EXPECT_EQ(refusedKey(R"({"costs": []})"), "costs");
    EXPECT_EQ(refusedKey(R"({"costs": {"Forest": 0}})"), "costs.Forest");
    EXPECT_EQ(refusedKey(R"({"costs": {"Forest": -2}})"), "costs.Forest");
    EXPECT_EQ(refusedKey(R"({"costs": {"Forest": "2"}})"), "costs.Forest");
    EXPECT_EQ(refusedKey(R"({"costs": {"Forest": true}})"), "costs.Forest");
    EXPECT_EQ(refusedKey(R"({"costs": {"Mountain": 2}})"), "costs.Mountain");
    EXPECT_EQ(refusedKey(R"({"costs": {"forest": 2}})"), "costs.forest");
    EXPECT_EQ(refusedKey(R"({"costs": {"256": 2}})"), "costs.256");
    EXPECT_EQ(refusedKey(R"({"costs": {"-1": 2}})"), "costs.-1");
    EXPECT_EQ(refusedKey(R"({"costs": {"Forest": 2, "3": 4}})"), "costs.3");
    EXPECT_EQ(refusedKey(R"({"costs": {}, "road": null})"), "road");
    EXPECT_EQ(refusedKey(R"({"costs": {}, "road": 0})"), "road");
    EXPECT_EQ(refusedKey(R"({"costs": {}, "default": 0})"), "default");
    EXPECT_EQ(refusedKey(R"({"costs": {}, "name": 5})"), "name");
    EXPECT_EQ(refusedKey(R"({"costs": {}, "costs": {}})"), "costs");
    // Two hexes at 1e308 would sum past the largest double: a way through
    // would read as none.
    EXPECT_EQ(refusedKey(R"({"costs": {}, "default": 1e308})"), "default");
    EXPECT_EQ(refusedKey(R"({"costs": {"Forest": 2e300}})"), "costs.Forest");
    EXPECT_EQ(refusedKey(R"({"costs": {}, "road": 1e301})"), "road");
}

TEST(CostTable, RefusesTextThatIsNotAnObjectOfStrictJson) {
    for (const char* text :
         {"", "[]", "{\"costs\": {},}", "{\"costs\": {\"Clear\": NaN}}", "{costs: {}}",
          "{\"costs\": {\"Clear\": 1e999}}", "{\"costs\": {}} x", "{\"costs\": {\"Clear\": 01}}"}) {
        auto parsed = amp::parseCostTable(text);
        const auto* error = std::get_if<amp::CostTableError>(&parsed);
        ASSERT_NE(error, nullptr) << text;
        EXPECT_TRUE(error->key.empty()) << text;
        EXPECT_NE(error->message.find("cost table"), std::string::npos) << error->message;
    }
}

TEST(JsonReader, ReadsEscapesAndRefusesDeepNestingCalmly) {
    auto parsed = amp::json::parse(R"(  {"a\u00e9\ud83d\ude00\n": [1, -2.5e1, true, null, "\"\\/"]}  )");
    ASSERT_TRUE(std::holds_alternative<amp::json::Value>(parsed));
    const auto& object = std::get<amp::json::Value>(parsed).object();
    ASSERT_EQ(object.size(), 1u);
    // e-acute is C3 A9 in UTF-8, the grinning face F0 9F 98 80.
    EXPECT_EQ(object[0].first, "a\xC3\xA9\xF0\x9F\x98\x80\n");
    const auto& array = std::get<amp::json::Array>(object[0].second.data);
    ASSERT_EQ(array.size(), 5u);
    EXPECT_EQ(array[1].number(), -25);
    EXPECT_EQ(array[4].string(), "\"\\/");

    const std::string deep(100000, '[');
    EXPECT_TRUE(std::holds_alternative<amp::json::ParseError>(amp::json::parse(deep)));
    EXPECT_TRUE(std::holds_alternative<amp::json::ParseError>(amp::json::parse("\"\\ud83d\"")));
    EXPECT_TRUE(std::holds_alternative<amp::json::ParseError>(amp::json::parse("\"tab\there\"")));
}

TEST(CostTable, TheShippedTableNamesEveryTerrainOnceAndIsAccepted) {
    std::ifstream file(SHIPPED_COST_TABLE);
    ASSERT_TRUE(file) << SHIPPED_COST_TABLE;
    std::stringstream text;
    text << file.rdbuf();
    const amp::CostTable table = tableOf(text.str());
    EXPECT_EQ(table.name, "default");
    auto parsed = std::get<amp::json::Value>(amp::json::parse(text.str()));
    const amp::json::Object* costs = nullptr;
    for (const auto& [key, value] : parsed.object()) {
        if (key == "costs") {
            costs = &value.object();
        }
    }
    ASSERT_NE(costs, nullptr);
    const std::vector<std::string> names = {"Clear",
                                            "City",
                                            "Airfield",
                                            "Forest",
                                            "Sand",
                                            "Swamp",
                                            "Ocean",
                                            "River",
                                            "Fortification",
                                            "Port",
                                            "Stream",
                                            "Escarpment",
                                            "Impassable River",
                                            "Rough",
                                            "Lakes",
                                            "Lake Region",
                                            "Bocage",
                                            "Ravine",
                                            "Blackout"};
    ASSERT_EQ(costs->size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ((*costs)[i].first, names[i]);
    }
    // Open ground is cheaper than forest, and the sea is no way for a walker.
    EXPECT_LT(table.costOf(0, 0), table.costOf(3, 0));
    EXPECT_EQ(table.costOf(6, 0), amp::ImpassableCost);
}

} // namespace
