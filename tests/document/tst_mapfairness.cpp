// SPDX-License-Identifier: MIT
// The session's ruler and territories on hand-made maps, against distances and
// costs counted on paper from the rules: a path costs the hexes it enters (its
// start is free), a hex goes to the side with the cheapest way to it, and one
// equally near two sides is contested.
#include "mapeditor.h"
#include "mapfiles.h"
#include "mapformat.h"
#include "mapimage.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace {

constexpr std::uint8_t Clear = 0;
constexpr std::uint8_t Forest = 3;
constexpr std::uint8_t Ocean = 6;

// A map of one terrain, every other byte 0.
amp::MapImage plainMap(int columns, int rows, std::uint8_t terrain) {
    amp::MapImage map = amp::makeMap(amp::MapHeader{}, columns, rows);
    for (auto& record : map.records) {
        record[amp::TerrainLayer] = terrain;
    }
    return map;
}

void setByte(amp::MapImage& map, int column, int row, int layer, std::uint8_t value) {
    map.records[static_cast<std::size_t>(column * map.header.rows() + row)][static_cast<std::size_t>(layer)] =
        value;
}

// Forest everywhere, its cost 3; the bottom row a road, 0.5 whatever its terrain.
amp::MapImage forestWithRoad() {
    amp::MapImage map = plainMap(6, 3, Forest);
    for (int column = 0; column < 6; ++column) {
        setByte(map, column, 2, amp::RoadsLayer, 1);
    }
    return map;
}

constexpr char Table[] = R"({"name": "Test", "road": 0.5, "costs": {"Forest": 3, "Ocean": null}})";

} // namespace

class TestMapFairness : public QObject {
    Q_OBJECT

private slots:
    void rulerMeasuresDistanceAndCheapestPath();
    void rulerFollowsEditsAndFindsNoWay();
    void refusedTableKeepsTheOneInUse();
    void territoriesOfSingleStartsAndOfCitySides();
};

// Odd columns lie half a hex lower. From (0,0) to (5,0) is 5 steps; straight
// through the forest the path costs 5 x 3 = 15. Down to the road: (0,1) forest 3,
// then (0,2) (1,2) (2,2) (3,2) (4,2) on the road, 5 x 0.5, then (4,1) or (5,1)
// forest 3 and (5,0) forest 3: 3 + 2.5 + 3 + 3 = 11.5, the least (any way
// enters the goal, one forest hex to leave the top row and one to come back).
void TestMapFairness::rulerMeasuresDistanceAndCheapestPath() {
    QTemporaryDir dir;
    MapEditor editor;
    editor.document().load(forestWithRoad(), QStringLiteral("road.amp"));
    MapFairness& fairness = editor.fairness();
    fairness.setRuler({0, 0}, {5, 0});
    QVERIFY(fairness.ruler());
    QCOMPARE(fairness.ruler()->distance, 5);
    QCOMPARE(fairness.ruler()->line.size(), std::size_t{6});
    QVERIFY(!fairness.ruler()->path); // no table, no path
    QCOMPARE(fairness.rulerText(), QStringLiteral("5 hexes"));

    const QString table =
        written(dir, QStringLiteral("infantry.json"), {std::begin(Table), std::end(Table) - 1});
    QVERIFY(fairness.chooseCostTable(table).ok());
    QCOMPARE(fairness.costTableName(), QStringLiteral("infantry"));
    const auto& path = fairness.ruler()->path;
    QVERIFY(path);
    QCOMPARE(path->cost, 11.5);
    QCOMPARE(fairness.rulerText(), QStringLiteral("5 hexes · path cost 11.5 (infantry)"));
    // The path itself: from start to goal, neighbour to neighbour, and its
    // hexes' costs by the table's rule add up to its cost.
    QCOMPARE(path->hexes.front(), (hexsymmetry::Offset{0, 0}));
    QCOMPARE(path->hexes.back(), (hexsymmetry::Offset{5, 0}));
    double sum = 0;
    for (std::size_t k = 1; k < path->hexes.size(); ++k) {
        QCOMPARE(hexsymmetry::distance(path->hexes[k - 1], path->hexes[k], false), 1);
        sum += path->hexes[k].row == 2 ? 0.5 : 3;
    }
    QCOMPARE(sum, 11.5);

    // A far end moved from the same start: (0,0) to (0,2) enters (0,1) and
    // (0,2): 3 + 0.5. Back onto the start: no step, no cost.
    fairness.setRuler({0, 0}, {0, 2});
    QCOMPARE(fairness.rulerText(), QStringLiteral("2 hexes · path cost 3.5 (infantry)"));
    fairness.setRuler({0, 0}, {0, 0});
    QCOMPARE(fairness.rulerText(), QStringLiteral("0 hexes · path cost 0 (infantry)"));
    // The table dropped: the distance alone.
    fairness.clearCostTable();
    QCOMPARE(fairness.rulerText(), QStringLiteral("0 hexes"));
}

// Ocean round the goal: its three neighbours (4,0), (4,1) and (5,1) made
// impassable leave no way in, once the map has been quiet a moment.
void TestMapFairness::rulerFollowsEditsAndFindsNoWay() {
    QTemporaryDir dir;
    MapEditor editor;
    editor.document().load(forestWithRoad(), QStringLiteral("road.amp"));
    MapFairness& fairness = editor.fairness();
    QVERIFY(fairness.chooseCostTable(
        written(dir, QStringLiteral("t.json"), {std::begin(Table), std::end(Table) - 1})));
    fairness.setRuler({0, 0}, {5, 0});
    QCOMPARE(fairness.rulerText(), QStringLiteral("5 hexes · path cost 11.5 (t)"));
    QSignalSpy settled(&fairness, &MapFairness::mapSettled);
    for (const HexCell hex : {HexCell{4, 0}, HexCell{4, 1}, HexCell{5, 1}}) {
        QVERIFY(
            editor.document().typeIntoCell(amp::TerrainLayer, hex.column, hex.row, QString::number(Ocean)));
    }
    QVERIFY(settled.wait(2000));
    QCOMPARE(settled.count(), 1); // one recount for the three edits
    QCOMPARE(fairness.rulerText(), QStringLiteral("5 hexes · no way through (t)"));
    QVERIFY(!fairness.ruler()->path);
    // The last one undone, (5,1) is forest again: up from the road at (4,2) or
    // (5,2) through it, the way costs 11.5 once more.
    editor.document().undoStack()->undo();
    QVERIFY(settled.wait(2000));
    QCOMPARE(fairness.rulerText(), QStringLiteral("5 hexes · path cost 11.5 (t)"));
}

void TestMapFairness::refusedTableKeepsTheOneInUse() {
    QTemporaryDir dir;
    MapEditor editor;
    editor.document().load(plainMap(3, 3, Clear), QStringLiteral("plain.amp"));
    MapFairness& fairness = editor.fairness();
    const std::string good = R"({"costs": {}})";
    QVERIFY(fairness.chooseCostTable(written(dir, QStringLiteral("good.json"), {good.begin(), good.end()})));
    const std::string bad = R"({"costs": {"Forst": 2}})";
    const DocumentResult refused =
        fairness.chooseCostTable(written(dir, QStringLiteral("bad.json"), {bad.begin(), bad.end()}));
    QVERIFY(!refused.ok());
    QVERIFY2(refused.message.contains(QStringLiteral("Forst")), qPrintable(refused.message));
    QCOMPARE(fairness.costTableName(), QStringLiteral("good"));
    QVERIFY(!fairness.chooseCostTable(dir.filePath(QStringLiteral("missing.json"))).ok());
    QVERIFY(!fairness.chooseCostTable(dir.path()).ok()); // a folder
    QCOMPARE(fairness.costTableName(), QStringLiteral("good"));
}

// One row: each hex's neighbours are the hexes beside it, so costs are counted
// along a line.
void TestMapFairness::territoriesOfSingleStartsAndOfCitySides() {
    QTemporaryDir dir;
    MapEditor editor;
    amp::MapImage line = plainMap(5, 1, Clear);
    editor.document().load(line, QStringLiteral("line.amp"));
    MapFairness& fairness = editor.fairness();
    QVERIFY(!fairness.setSides({{HexCell{0, 0}}}).ok()); // one side is no contest
    QVERIFY(!fairness.hasTerritories());
    // Every step 1: (0,0) and (1,0) to the first start, (2,0) 2 from each,
    // (3,0) and (4,0) to the second.
    QVERIFY(fairness.setSides({{HexCell{0, 0}}, {HexCell{4, 0}}}).ok());
    QCOMPARE(fairness.owners(), (std::vector<std::int32_t>{0, 0, amp::Contested, 1, 1}));
    // Forest at (1,0) costs 3: (2,0) is 4 from the first start, 2 from the second.
    const std::string table = R"({"costs": {"Forest": 3}})";
    QVERIFY(fairness.chooseCostTable(written(dir, QStringLiteral("f.json"), {table.begin(), table.end()})));
    QVERIFY(editor.document().typeIntoCell(amp::TerrainLayer, 1, 0, QString::number(Forest)));
    QSignalSpy changed(&fairness, &MapFairness::territoriesChanged);
    QVERIFY(changed.wait(2000));
    QCOMPARE(fairness.owners(), (std::vector<std::int32_t>{0, 0, 1, 1, 1}));
    QCOMPARE(fairness.slotsOfSide(1), (std::vector<std::int32_t>{2, 3, 4}));
    fairness.clearSides();
    QVERIFY(fairness.owners().empty());

    // Seven columns: the left half 0-2, the right 4-6, column 3 in neither.
    // Cities at (0,0) and (2,0) make one side, (6,0) the other: (1,0) lies 1
    // from both cities of its side and is that side's, not contested; (3,0) is 1
    // from the left, 3 from the right; (4,0) 2 from each.
    amp::MapImage seven = plainMap(7, 1, Clear);
    for (const int column : {0, 2, 6}) {
        setByte(seven, column, 0, amp::CityLayer1, 1);
    }
    setByte(seven, 3, 0, amp::CityLayer2, 1); // "city b2" is no start
    editor.document().load(seven, QStringLiteral("seven.amp"));
    fairness.clearCostTable();
    const auto sides = fairness.citySidesOfHalves(amp::Half::LeftRight);
    QCOMPARE(sides, (std::vector<std::vector<HexCell>>{{HexCell{0, 0}, HexCell{2, 0}}, {HexCell{6, 0}}}));
    QVERIFY(fairness.setSides(sides).ok());
    QCOMPARE(fairness.owners(), (std::vector<std::int32_t>{0, 0, 0, 0, amp::Contested, 1, 1}));
    // Ocean cuts the line: (5,0) and (6,0)'s side reaches nothing past it.
    QVERIFY(editor.document().typeIntoCell(amp::TerrainLayer, 4, 0, QString::number(Ocean)));
    const std::string noSea = R"({"costs": {"Ocean": null}})";
    QVERIFY(fairness.chooseCostTable(written(dir, QStringLiteral("s.json"), {noSea.begin(), noSea.end()})));
    QCOMPARE(fairness.owners(), (std::vector<std::int32_t>{0, 0, 0, 0, amp::Unreached, 1, 1}));
    // Another map: the sides named hexes of the old one.
    editor.document().load(line, QStringLiteral("line.amp"));
    QVERIFY(!fairness.hasTerritories());
}

QTEST_GUILESS_MAIN(TestMapFairness)
#include "tst_mapfairness.moc"
