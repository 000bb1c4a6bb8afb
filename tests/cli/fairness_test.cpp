// SPDX-License-Identifier: MIT
// Runs of the real amptool for stats, path and territory: their JSON to the
// letter over maps written byte by byte (the counts, costs and paths worked out
// by hand in the comments), their readable text, and their exit statuses.
#include "mapfileio.h"
#include "shellrun.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

Outcome amptool(const QTemporaryDir& dir, const std::string& words) {
    return runShell(dir, "cd '" + dir.path().toStdString() + "' && " AMPTOOL_PATH " " + words);
}

// A map of columns x rows whose records are all zero but for the bytes given
// as {column, row, layer, value}.
std::vector<std::uint8_t> mapOf(int columns, int rows, std::vector<std::array<int, 4>> bytes) {
    std::vector<std::uint8_t> map = {
        0, 0, static_cast<std::uint8_t>(columns), 0, static_cast<std::uint8_t>(rows), 0, 0};
    map.resize(7 + std::size_t(13) * columns * rows, 0);
    for (const auto& [column, row, layer, value] : bytes) {
        map[7 + 13 * std::size_t(column * rows + row) + std::size_t(layer)] =
            static_cast<std::uint8_t>(value);
    }
    return map;
}

class Fairness : public testing::Test {
protected:
    void put(const char* name, const std::vector<std::uint8_t>& bytes) {
        ASSERT_TRUE(amp::writeFileSafely(dir.filePath(name), bytes).ok());
    }
    void putText(const char* name, const std::string& text) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(text.data(), qint64(text.size())), qint64(text.size()));
    }
    QTemporaryDir dir;
};

// Three columns of two rows, in file order (0,0) (0,1) (1,0) (1,1) (2,0) (2,1):
// terrain 3 0 3 6 3 81, "height b1" 10 20 0 255 10 5, "roads" at (0,1) and
// (2,1), "city b1" at (0,1) and (2,1), "city b2" at (1,0) and (2,1).
std::vector<std::uint8_t> threeByTwo() {
    return mapOf(3, 2,
                 {{0, 0, 0, 3},
                  {0, 1, 0, 0},
                  {1, 0, 0, 3},
                  {1, 1, 0, 6},
                  {2, 0, 0, 3},
                  {2, 1, 0, 81},
                  {0, 0, 4, 10},
                  {0, 1, 4, 20},
                  {1, 1, 4, 255},
                  {2, 0, 4, 10},
                  {2, 1, 4, 5},
                  {0, 1, 6, 1},
                  {2, 1, 6, 2},
                  {0, 1, 7, 5},
                  {2, 1, 7, 1},
                  {1, 0, 8, 7},
                  {2, 1, 8, 1}});
}

TEST_F(Fairness, StatsCountTheMapAndItsHalvesInJson) {
    put("m.amp", threeByTwo());
    // Mean height (10 + 20 + 0 + 255 + 10 + 5) / 6 = 50; cities at (0,1), (1,0), (2,1).
    const Outcome whole = amptool(dir, "stats m.amp --format json");
    EXPECT_EQ(whole.status, 0) << whole.err;
    EXPECT_EQ(whole.out,
              "{\"columns\": 3, \"rows\": 2, \"hexes\": 6, \"terrain\": {\"0\": 1, \"3\": 3, \"6\": 1, "
              "\"81\": 1}, \"cities\": 3, \"roads\": 2, \"height b1\": {\"min\": 0, \"mean\": 50, "
              "\"max\": 255}}\n");

    // Left is column 0, right column 2; column 1 is the middle one. The mirror
    // swaps columns 0 and 2 row for row: (0,1) and (2,1) differ in 5 layers, so
    // 2 hexes x 5 layers of the 6 x 13 cells differ: 68 / 78 are equal.
    const Outcome halves = amptool(dir, "stats m.amp --half lr --format json");
    EXPECT_EQ(halves.status, 0) << halves.err;
    const std::string start =
        "{\"columns\": 3, \"rows\": 2, \"hexes\": 6, \"terrain\": {\"0\": 1, \"3\": 3, \"6\": 1, \"81\": 1}, "
        "\"cities\": 3, \"roads\": 2, \"height b1\": {\"min\": 0, \"mean\": 50, \"max\": 255}, \"halves\": ["
        "{\"columns\": 1, \"rows\": 2, \"hexes\": 2, \"terrain\": {\"0\": 1, \"3\": 1}, \"cities\": 1, "
        "\"roads\": 1, "
        "\"height b1\": {\"min\": 10, \"mean\": 15, \"max\": 20}}, "
        "{\"columns\": 1, \"rows\": 2, \"hexes\": 2, \"terrain\": {\"3\": 1, \"81\": 1}, \"cities\": 1, "
        "\"roads\": 1, "
        "\"height b1\": {\"min\": 5, \"mean\": 7.5, \"max\": 10}}], \"symmetry\": ";
    ASSERT_EQ(halves.out.substr(0, start.size()), start);
    std::smatch number;
    const std::string rest = halves.out.substr(start.size());
    ASSERT_TRUE(std::regex_match(rest, number, std::regex(R"(([0-9.]+)\}\n)"))) << rest;
    EXPECT_NEAR(std::stod(number[1]), 68.0 / 78, 1e-12);

    // Top is row 0 ((0,0), (1,0), (2,0)), bottom row 1.
    const Outcome rows = amptool(dir, "stats m.amp --half tb --format json");
    EXPECT_NE(
        rows.out.find("\"halves\": [{\"columns\": 3, \"rows\": 1, \"hexes\": 3, \"terrain\": {\"3\": 3}, "
                      "\"cities\": 1, \"roads\": 0, \"height b1\": {\"min\": 0, \"mean\": 6.666666666666667, "
                      "\"max\": 10}}, {\"columns\": 3, \"rows\": 1, \"hexes\": 3, \"terrain\": {\"0\": 1, "
                      "\"6\": 1, \"81\": 1}, \"cities\": 2, \"roads\": 2"),
        std::string::npos)
        << rows.out;
}

TEST_F(Fairness, StatsTextIsReadableAndAnEmptyMapHasNoHeights) {
    put("m.amp", threeByTwo());
    const Outcome text = amptool(dir, "stats m.amp --half lr");
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("map: 3 x 2, 6 hexes, 3 cities, 2 road hexes\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  Forest (3): 3 (50.0%)\n"), std::string::npos) << text.out;
    // One city and one road hex each side, said in the singular.
    EXPECT_NE(text.out.find("left half: 1 x 2, 2 hexes, 1 city, 1 road hex\n"), std::string::npos)
        << text.out;
    // 68 of 78 cells alike: 87.18 %, shown to one decimal.
    EXPECT_NE(text.out.find("symmetry (mirrored left to right): 87.2% of all cells alike\n"),
              std::string::npos)
        << text.out;
    // The top row's heights 10, 0, 10: a mean of 6.666..., shown to two decimals.
    const Outcome rows = amptool(dir, "stats m.amp --half tb");
    EXPECT_NE(rows.out.find(
                  "top half: 3 x 1, 3 hexes, 1 city, 0 road hexes\n  height b1: min 0, mean 6.67, max 10\n"),
              std::string::npos)
        << rows.out;

    put("empty.amp", mapOf(0, 4, {}));
    EXPECT_EQ(amptool(dir, "stats empty.amp --format json").out,
              "{\"columns\": 0, \"rows\": 4, \"hexes\": 0, \"terrain\": {}, \"cities\": 0, \"roads\": 0, "
              "\"height b1\": {\"min\": null, \"mean\": null, \"max\": null}}\n");
    EXPECT_EQ(amptool(dir, "stats m.amp --half middle").status, 2);
    put("short.amp", {1, 2, 3});
    EXPECT_EQ(amptool(dir, "stats short.amp").status, 1) << "too short to be a map: invalid input";
}

TEST_F(Fairness, PathGoesAroundTheForestAndExitsOneWhenNoWayLeads) {
    // Two columns of three rows, column 1 half a hex lower, a forest at (0,1).
    // (0,0) to (0,2) is 2 steps, through (0,1) only; around by (1,0) and (1,1)
    // it is 3. At a forest cost of 3: straight 3 + 1 = 4, around 1 + 1 + 1 = 3.
    put("m.amp", mapOf(2, 3, {{0, 1, 0, 3}}));
    putText("forest.json", R"({"name": "heavy", "costs": {"Forest": 3}})");
    const Outcome around = amptool(dir, "path m.amp 0,0 0,2 --costs forest.json --format json");
    EXPECT_EQ(around.status, 0) << around.err;
    EXPECT_EQ(around.out, "{\"from\": [0, 0], \"to\": [0, 2], \"distance\": 2, \"cost\": 3, "
                          "\"hexes\": [[0, 0], [1, 0], [1, 1], [0, 2]]}\n");
    // Without a table every hex costs 1: the straight way.
    EXPECT_EQ(amptool(dir, "path m.amp 0,0 0,2 --format json").out,
              "{\"from\": [0, 0], \"to\": [0, 2], \"distance\": 2, \"cost\": 2, "
              "\"hexes\": [[0, 0], [0, 1], [0, 2]]}\n");
    const Outcome text = amptool(dir, "path m.amp 0,0 0,2 --costs forest.json");
    EXPECT_EQ(text.out,
              "from 0,0 to 0,2: 2 hexes apart\npath cost 3 (heavy) through 4 hexes: 0,0 1,0 1,1 0,2\n");

    putText("closed.json", R"({"default": null, "costs": {"Forest": null}})");
    const Outcome none = amptool(dir, "path m.amp 0,0 0,2 --costs closed.json --format json");
    EXPECT_EQ(none.status, 1) << none.err;
    EXPECT_EQ(none.out,
              "{\"from\": [0, 0], \"to\": [0, 2], \"distance\": 2, \"cost\": null, \"hexes\": []}\n");
    EXPECT_NE(amptool(dir, "path m.amp 0,0 0,2 --costs closed.json").out.find("no way through"),
              std::string::npos);
}

TEST_F(Fairness, PathFollowsTheLayoutAskedFor) {
    // (0,0) and (1,1): with odd columns lowered, column 0's side neighbours are
    // rows -1 and 0 of column 1, so (1,1) is 2 steps away; with even columns
    // lowered they are rows 0 and 1, so it is 1.
    put("m.amp", mapOf(2, 2, {}));
    EXPECT_NE(amptool(dir, "path m.amp 0,0 1,1 --format json").out.find("\"distance\": 2, \"cost\": 2"),
              std::string::npos);
    EXPECT_EQ(
        amptool(dir, "path m.amp 0,0 1,1 --even-columns-lower --format json").out,
        "{\"from\": [0, 0], \"to\": [1, 1], \"distance\": 1, \"cost\": 1, \"hexes\": [[0, 0], [1, 1]]}\n");
}

TEST_F(Fairness, PathAndTerritoryErrorsExitTwoNamingTheFault) {
    put("m.amp", mapOf(2, 3, {}));
    putText("bad.json", R"({"costs": {"Mountain": 2}})");
    const Outcome table = amptool(dir, "path m.amp 0,0 0,2 --costs bad.json");
    EXPECT_EQ(table.status, 2);
    EXPECT_NE(table.err.find("\"costs.Mountain\""), std::string::npos) << table.err;
    EXPECT_EQ(table.out, "");
    EXPECT_EQ(amptool(dir, "territory m.amp 0,0 1,1 --costs bad.json").status, 2);
    EXPECT_EQ(amptool(dir, "path m.amp 0,0 0,2 --costs missing.json").status, 2);
    const Outcome off = amptool(dir, "path m.amp 0,0 2,0");
    EXPECT_EQ(off.status, 2);
    EXPECT_NE(off.err.find("0-1"), std::string::npos) << off.err;
    EXPECT_EQ(amptool(dir, "path m.amp 0,0 0-2").status, 2);
    EXPECT_EQ(amptool(dir, "path m.amp 0,0").status, 2);
    put("short.amp", {1, 2, 3});
    EXPECT_EQ(amptool(dir, "path short.amp 0,0 0,0").status, 2) << "1 would say there is no way";
    EXPECT_EQ(amptool(dir, "path nothing.amp 0,0 0,0").status, 2);
    EXPECT_EQ(amptool(dir, "territory m.amp 0,0 0,0").status, 2) << "a start named twice";
    EXPECT_EQ(amptool(dir, "territory m.amp").status, 2);
}

TEST_F(Fairness, TerritorySplitsALineAndCountsWhatEachSideHolds) {
    // One column of five: starts at rows 0 and 4, a city at row 1, Ocean at row 3.
    put("m.amp", mapOf(1, 5, {{0, 1, 8, 1}, {0, 3, 0, 6}}));
    // Every hex costing 1: rows 0-1 and 3-4 go to the nearer start, row 2 is two
    // steps from both.
    const Outcome steps = amptool(dir, "territory m.amp 0,0 0,4 --format json");
    EXPECT_EQ(steps.status, 0) << steps.err;
    EXPECT_EQ(steps.out,
              "{\"territories\": [{\"start\": [0, 0], \"hexes\": 2, \"terrain\": {\"0\": 2}, "
              "\"cities\": 1}, {\"start\": [0, 4], \"hexes\": 2, \"terrain\": {\"0\": 1, \"6\": 1}, "
              "\"cities\": 0}], \"contested\": 1, \"unreached\": 0}\n");
    // With the Ocean impassable the second start holds its own hex only.
    putText("water.json", R"({"costs": {"Ocean": null}})");
    const Outcome water = amptool(dir, "territory m.amp 0,0 0,4 --costs water.json --format json");
    EXPECT_EQ(water.out, "{\"territories\": [{\"start\": [0, 0], \"hexes\": 3, \"terrain\": {\"0\": 3}, "
                         "\"cities\": 1}, {\"start\": [0, 4], \"hexes\": 1, \"terrain\": {\"0\": 1}, "
                         "\"cities\": 0}], \"contested\": 0, \"unreached\": 1}\n");
    const Outcome text = amptool(dir, "territory m.amp 0,0 0,4 --costs water.json");
    EXPECT_NE(text.out.find("start 0,4: 1 hex, 0 cities\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("contested: 0 hexes, unreached: 1 hex (costs: water.json)\n"), std::string::npos)
        << text.out;
}

} // namespace
