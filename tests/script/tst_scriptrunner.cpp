// SPDX-License-Identifier: MIT
// Scripts against a small map made here: the API's reads and writes, layers and
// terrain by name, neighbours in both layouts, the selection, one undo step per
// run, brushes and lines on the lattice, distances, paths and statistics, failures and time-outs that change
// nothing, and the sandbox.
#include "jsengine.h"
#include "mapdocument.h"
#include "scriptfolders.h"
#include "scriptrunner.h"
#include "shellrun.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// A 4 x 3 map; byte j of record k is (k * 13 + j * 7 + 1) % 256, and the header
// is 9 8 4 7 3 6 5.
struct Pattern {
    MapDocument document;
    ScriptRunner runner{document, linkedScriptEngine};
    std::vector<std::uint8_t> file = {9, 8, 4, 7, 3, 6, 5};
    Pattern() {
        for (int k = 0; k < 12; ++k) {
            for (int j = 0; j < 13; ++j) {
                file.push_back(std::uint8_t((k * 13 + j * 7 + 1) % 256));
            }
        }
        document.load(amp::decodeMap(file).value(), QStringLiteral("pattern.amp"));
    }
    ScriptOutcome run(const char* source, const ScriptOptions& options = {}) {
        return runner.run(QString::fromUtf8(source), QStringLiteral("test.js"), options);
    }
    // A console line's value, or its error.
    QString value(const QString& expression, const ScriptOptions& options = {}) {
        const ScriptOutcome outcome = runner.evaluate(expression, options);
        return outcome.ok() ? outcome.value : outcome.error;
    }
    QString text(int layer, int column, int row) const {
        return document.layer(layer)->cellText(column, row);
    }
};

} // namespace

class ScriptRunnerTest : public QObject {
    Q_OBJECT

private slots:
    void readsCellsAndNames();
    void setKeepsTextsAsTyped();
    void fillReplaceAndTheSelection();
    void neighboursFollowTheLayout();
    void brushAndLineFollowTheLayout();
    void distancePathAndStatsReadTheMapAsItStands();
    void aRunIsOneUndoStep();
    void failuresChangeNothingAndNameTheLine();
    void printReportAndTheSandbox();
    void aScriptThatUnderminesTheApiChangesNothing();
    void aValueThatHoldsItselfOrNestsDeepBecomesText();
    void whatARunLeavesIsBounded();
    void aRunIsBoundedInMemoryAndCanBeStopped();
    void anExceptionInTheEngineNeverLeavesTheRunner();
    void checksLeaveTheMapAndFindWhatAmptoolCheckFinds();
};

void ScriptRunnerTest::readsCellsAndNames() {
    Pattern p;
    // [2][1] is record 2 * 3 + 1 = 7: layer 4 holds 91 + 28 + 1 = 120, layer 6 (roads) 134.
    QCOMPARE(
        p.value(
            "[map.get(4, 2, 1), map.get('height b1', 2, 1), map.get('ROADS', 2, 1), map.text('6', 2, 1)]"),
        QStringLiteral("[120,120,134,\"134\"]"));
    QCOMPARE(p.value("[map.columns, map.rows, map.fileName, map.header.join(' ')].join()"),
             QStringLiteral("4,3,pattern.amp,9 8 4 7 3 6 5"));
    QCOMPARE(p.value("[terrain.Ocean, terrain.Lakes, terrain['Impassable River'], terrain.ImpassableRiver, "
                     "terrain.nameOf(15), terrain.nameOf(19)]"),
             QStringLiteral("[6,14,12,12,\"Lake Region\",null]"));
    QVERIFY(p.value("map.get('?\?\?\?\?\?', 0, 0)").contains("several layers are named"));
    QVERIFY(p.value("map.get(13, 0, 0)").contains("no layer 13"));
    QVERIFY(p.value("map.get(0, 4, 0)").contains("hex 4,0 is outside the map (columns 0-3, rows 0-2)"));
    QVERIFY(p.value("map.text(0, 0, -1)").contains("hex 0,-1 is outside the map"));
    QVERIFY(p.value("map.get(0, 1.5, 0)").contains("hex 1.5,0 is outside the map"));
}

void ScriptRunnerTest::setKeepsTextsAsTyped() {
    Pattern p;
    // By the text rule: "007" is 7, "300" keeps its low byte 44, "-1" is 255,
    // " 12" is 12; "abc", "7 ", "" and "2147483648" are no numbers, so 0.
    const ScriptOutcome outcome = p.run(R"(
        const texts = ["007", "300", "-1", " 12", "abc", "7 ", "", "2147483648", "-2147483648", "42"];
        texts.forEach(function (text, i) { map.set(2, i % 4, Math.floor(i / 4), text); });
        map.set(3, 0, 0, 200);
        print(texts.map(function (t, i) { return map.get(2, i % 4, Math.floor(i / 4)); }).join(" "));
        print(map.text(2, 0, 0), map.text(2, 1, 2), map.text(3, 0, 0));
    )");
    QVERIFY2(outcome.ok(), qPrintable(outcome.error));
    QCOMPARE(outcome.printed, QStringList({"7 44 255 12 0 0 0 0 0 42", "007 42 200"}));
    QCOMPARE(p.text(2, 0, 0) + "|" + p.text(2, 2, 1) + "|" + p.text(2, 2, 0) + "|" + p.text(3, 0, 0),
             QStringLiteral("007||-1|200"));
    const std::uint8_t bytes[] = {7, 44, 255, 12, 0, 0, 0, 0, 0, 42};
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(p.document.layer(2)->cellByte(i % 4, i / 4), bytes[i]);
    }
    for (const char* bad :
         {"map.set(0, 0, 0, 256)", "map.set(0, 0, 0, -1)", "map.set(0, 0, 0, true)", "map.set(0, 0, 0)"}) {
        QVERIFY2(p.value(QString::fromLatin1(bad)).contains("a cell takes a whole number 0-255"), bad);
    }
}

void ScriptRunnerTest::fillReplaceAndTheSelection() {
    Pattern p;
    // Layer 0 holds 1, 14, 27, ... (k * 13 + 1): no 5 and no 77 before the fill.
    const ScriptOutcome outcome = p.run(R"(
        print(map.fill(0, 5, {column: 1, row: 1, columns: 2, rows: 2}), map.fill("city b1", "x"));
        print(map.replace(0, 5, "06"), map.replace(0, "06", 9, [{column: 1, row: 2, columns: 1, rows: 1}]));
        print(map.replace(0, 77, 1), selection.isWholeMap, selection.count);
    )");
    QCOMPARE(outcome.printed, QStringList({"4 12", "4 1", "0 true 12"}));
    QCOMPARE(p.text(0, 1, 1) + " " + p.text(0, 1, 2) + " " + p.text(0, 0, 0) + " " + p.text(7, 3, 2),
             QStringLiteral("06 9 1 x"));
    QVERIFY(
        p.value("map.fill(0, 1, {column: 3, row: 0, columns: 2, rows: 1})").contains("hex 4,0 is outside"));
    // One clicked hex is where the user stands: the run still covers the map.
    p.document.selection().select(0, {QRect(1, 1, 1, 1)});
    QCOMPARE(p.value("selection.count"), QStringLiteral("12"));
    // Two overlapping rectangles: each hex once, in the file's order.
    p.document.selection().select(0, {QRect(1, 0, 2, 2), QRect(2, 1, 2, 1)});
    QCOMPARE(
        p.value("[selection.isWholeMap, selection.count, selection.contains(3, 1), selection.contains(3, 2), "
                "Array.from(selection).map(function (h) { return h.column + ':' + h.row; }).join(' '), "
                "selection.rectangles[1]]"),
        QStringLiteral("[false,5,true,false,\"1:0 1:1 2:0 2:1 3:1\",{\"column\":2,\"row\":1,\"columns\":2,"
                       "\"rows\":1}]"));
    QCOMPARE(p.value("map.fill(1, 0, selection)"), QStringLiteral("5"));
    QCOMPARE(p.text(1, 3, 1) + " " + p.text(1, 3, 0), QStringLiteral("0 %1").arg((9 * 13 + 7 + 1) % 256));
}

void ScriptRunnerTest::neighboursFollowTheLayout() {
    Pattern p;
    const auto around = [&p](const char* hex, bool evenLower) {
        ScriptOptions options;
        options.evenColumnsLower = evenLower;
        return p.value(
            QStringLiteral("map.neighbours(%1).map(function (h) { return h.column + ',' + h.row; })"
                           ".join(' ')")
                .arg(QString::fromLatin1(hex)),
            options);
    };
    // Up, up-right, down-right, down, down-left, up-left. A raised column's side
    // neighbours are the row above and its own, a lowered column's its own and
    // the one below; odd columns are lowered unless even ones are.
    QCOMPARE(around("2, 1", false), QStringLiteral("2,0 3,0 3,1 2,2 1,1 1,0"));
    QCOMPARE(around("1, 1", false), QStringLiteral("1,0 2,1 2,2 1,2 0,2 0,1"));
    QCOMPARE(around("2, 1", true), QStringLiteral("2,0 3,1 3,2 2,2 1,2 1,1"));
    QCOMPARE(around("0, 0", false), QStringLiteral("1,0 0,1"));
    QCOMPARE(around("0, 0", true), QStringLiteral("1,0 1,1 0,1"));
    QCOMPARE(around("3, 2", false), QStringLiteral("3,1 2,2"));
}

// A 5 x 4 map of zeros. The bytes expected are worked out by hand on the
// lattice: a raised column's side neighbours are the row above and its own, a
// lowered column's its own and the one below.
void ScriptRunnerTest::brushAndLineFollowTheLayout() {
    const auto layerBytes = [](const MapDocument& document, int layer) {
        QList<int> bytes;
        for (int column = 0; column < 5; ++column) {
            for (int row = 0; row < 4; ++row) {
                bytes.append(document.layer(layer)->cellByte(column, row));
            }
        }
        return bytes;
    };
    for (const bool evenLower : {false, true}) {
        MapDocument document;
        ScriptRunner runner{document, linkedScriptEngine};
        std::vector<std::uint8_t> file = {0, 0, 5, 0, 4, 0, 0};
        file.resize(file.size() + 20 * 13, 0);
        document.load(amp::decodeMap(file).value(), QStringLiteral("zeros.amp"));
        ScriptOptions options;
        options.evenColumnsLower = evenLower;
        // [0][0] to [4][2] is four steps down to the right, through [1][0], [2][1],
        // [3][1] with odd columns lowered, through [1][1], [2][1], [3][2] with even
        // ones; with radius 1 each takes its neighbours too.
        const ScriptOutcome outcome = runner.run(QStringLiteral(R"(
            print(map.line("roads", [0, 0], [4, 2], 7, 1), map.line(5, [3, 0], {column: 3, row: 3}, "007"));
            print(map.brush("terrain", [2, 2], 6, 1), map.brush(0, {column: 0, row: 0}, 9));
        )"),
                                                 QStringLiteral("test.js"), options);
        QVERIFY2(outcome.ok(), qPrintable(outcome.error));
        QCOMPARE(outcome.printed, QStringList({evenLower ? "14 4" : "13 4", "7 1"}));
        // Column by column, rows 0-3: the file's order.
        const QList<int> oddLine = {7, 7, 0, 0, 7, 7, 0, 0, 7, 7, 7, 0, 7, 7, 7, 0, 0, 7, 7, 7};
        const QList<int> evenLine = {7, 7, 0, 0, 7, 7, 7, 0, 7, 7, 7, 0, 0, 7, 7, 7, 0, 7, 7, 7};
        QCOMPARE(layerBytes(document, 6), evenLower ? evenLine : oddLine);
        // [2][2]: raised with odd columns lowered, lowered with even ones.
        const QList<int> oddBrush = {9, 0, 0, 0, 0, 6, 6, 0, 0, 6, 6, 6, 0, 6, 6, 0, 0, 0, 0, 0};
        const QList<int> evenBrush = {9, 0, 0, 0, 0, 0, 6, 6, 0, 6, 6, 6, 0, 0, 6, 6, 0, 0, 0, 0};
        QCOMPARE(layerBytes(document, 0), evenLower ? evenBrush : oddBrush);
        // Down column 3, its text as given; nothing beside it.
        for (int row = 0; row < 4; ++row) {
            QCOMPARE(document.layer(5)->cellText(3, row), QStringLiteral("007"));
            QCOMPARE(document.layer(5)->cellText(2, row) + document.layer(5)->cellText(4, row),
                     QStringLiteral("00"));
        }
        // One step for the whole run.
        QCOMPARE(document.undoStack()->count(), 1);
        document.undoStack()->undo();
        QVERIFY(document.encode() == file);

        // A radius that reaches past the map covers it; bad hexes and radii throw.
        const auto value = [&runner, &options](const char* expression) {
            const ScriptOutcome line = runner.evaluate(QString::fromLatin1(expression), options);
            return line.ok() ? line.value : line.error;
        };
        QCOMPARE(value("map.brush(1, [4, 3], 1, 1000000)"), QStringLiteral("20"));
        QCOMPARE(value("map.line(1, [0, 0], [4, 3], 2, 4294967295)"), QStringLiteral("20"));
        QVERIFY(value("map.brush(1, [5, 0], 1)").contains("hex 5,0 is outside the map"));
        QVERIFY(value("map.line(1, [0, 0], {column: 0, row: 4}, 1)").contains("hex 0,4 is outside the map"));
        QVERIFY(value("map.brush(1, [1, 2, 3], 1)").contains("a hex is [column, row] or {column, row}"));
        QVERIFY(value("map.brush(1, 7, 1)").contains("a hex is [column, row] or {column, row}"));
        QVERIFY(value("map.brush(1, [0, 0], 1, -1)").contains("a brush's radius is a whole number"));
        QVERIFY(value("map.brush(1, [0, 0], 1, 1.5)").contains("a brush's radius is a whole number"));
        QVERIFY(value("map.brush(1, [0, 0], 256)").contains("a cell takes a whole number 0-255"));
        QVERIFY(value("map.line(13, [0, 0], [1, 1], 1)").contains("no layer 13"));
        QCOMPARE(document.layer(1)->cellByte(0, 0), 2);
    }
}

// A 2 x 3 map of Clear, column 1 lowered half a hex (with odd columns lowered).
// (0,0) to (0,2) is 2 steps, through (0,1) only; around it, through (1,0) and
// (1,1), 3 (with even columns lowered, through (1,1) and (1,2), column 1
// then being the raised one). The script puts a forest on (0,1) first: at a cost of 3 the
// straight way costs 4 and the way around 3; a road on it at 0.5 makes the
// straight way 0.5 + 1. (0,0) and (1,1) are 2 steps apart with odd columns
// lowered (column 0's side neighbours are rows -1 and 0 of column 1), 1 with
// even ones (rows 0 and 1).
void ScriptRunnerTest::distancePathAndStatsReadTheMapAsItStands() {
    for (const bool evenLower : {false, true}) {
        MapDocument document;
        ScriptRunner runner{document, linkedScriptEngine};
        std::vector<std::uint8_t> file = {0, 0, 2, 0, 3, 0, 0};
        file.resize(file.size() + 6 * 13, 0);
        document.load(amp::decodeMap(file).value(), QStringLiteral("small.amp"));
        ScriptOptions options;
        options.evenColumnsLower = evenLower;
        const ScriptOutcome outcome = runner.run(QStringLiteral(R"(
            const line = function (p) {
                return [p.distance, p.cost, p.hexes.map(function (h) { return h.column + "," + h.row; }).join(" ")]
                    .join(" ");
            };
            map.set(0, 0, 1, terrain.Forest);
            print(line(map.path([0, 0], [0, 2], {costs: {Forest: 3}})));
            print(line(map.path([0, 0], {column: 0, row: 2})));
            map.set("roads", 0, 1, 1);
            print(line(map.path([0, 0], [0, 2], {road: 0.5, costs: {Forest: 3}})));
            print(line(map.path([0, 0], [0, 2], {"default": null, costs: {}})));
            print(map.distance([0, 0], {column: 1, row: 1}), map.distance([1, 2], [1, 2]));
            map.set("height b1", 0, 0, 10);
            map.set("height b1", 1, 2, 50);
            map.set("city b2", 1, 2, 4);
            const counted = function (s) {
                const h = s["height b1"];
                return [s.hexes, JSON.stringify(s.terrain), s.cities, s.roads, h.min, h.mean, h.max].join(" ");
            };
            print(counted(map.stats()));
            print(counted(map.stats([[0, 0], [1, 2], {column: 0, row: 0}])));
            const column = map.stats({column: 1, row: 0, columns: 1, rows: 3});
            print(column.hexes, column.cities, column["height b1"].max, map.stats([])["height b1"].mean === null);
        )"),
                                                 QStringLiteral("test.js"), options);
        QVERIFY2(outcome.ok(), qPrintable(outcome.error));
        QCOMPARE(outcome.printed,
                 QStringList({evenLower ? "2 3 0,0 1,1 1,2 0,2" : "2 3 0,0 1,0 1,1 0,2", "2 2 0,0 0,1 0,2",
                              "2 1.5 0,0 0,1 0,2", "2  ", evenLower ? "1 0" : "2 0",
                              // (0,1) forest with a road, (1,2) the city; heights 10 + 50 over 6 hexes.
                              "6 {\"0\":5,\"3\":1} 1 1 0 10 50", "2 {\"0\":2} 1 0 10 30 50", "3 1 50 true"}));

        const auto value = [&runner, &options](const char* expression) {
            const ScriptOutcome line = runner.evaluate(QString::fromLatin1(expression), options);
            return line.ok() ? line.value : line.error;
        };
        QVERIFY(value("map.path([0, 0], [0, 2], {costs: {Mountain: 2}})").contains("\"costs.Mountain\""));
        QVERIFY(value("map.path([0, 0], [0, 2], {costs: {Forest: NaN}})").contains("\"costs.Forest\""));
        QVERIFY(value("map.path([0, 0], [0, 2], {road: 0, costs: {}})").contains("\"road\""));
        QVERIFY(value("map.path([0, 0], [0, 2], 5)").contains("a cost table is an object"));
        QVERIFY(value("map.path([0, 0], [0, 3])").contains("hex 0,3 is outside the map"));
        QVERIFY(value("map.distance([2, 0], [0, 0])").contains("hex 2,0 is outside the map"));
        QVERIFY(value("map.stats([[0, 0], [5, 5]])").contains("hex 5,5 is outside the map"));
    }
}

void ScriptRunnerTest::aRunIsOneUndoStep() {
    Pattern p;
    p.document.typeIntoCell(5, 0, 1, QStringLiteral("0012")); // a typed text the run overwrites
    p.document.undoStack()->clear();                          // the map as the run finds it
    const std::vector<std::uint8_t> before = p.document.encode();
    QSignalSpy headers(&p.document, &MapDocument::headerChanged);
    const ScriptOutcome outcome = p.run("map.fill(0, 3); map.set(5, 0, 1, 77); map.set(12, 3, 2, 'abc'); "
                                        "map.header[0] = 200; map.header[6] = 1;");
    QVERIFY2(outcome.ok() && outcome.changed, qPrintable(outcome.error));
    QCOMPARE(p.document.undoStack()->count(), 1);
    QCOMPARE(p.document.undoStack()->text(0), QStringLiteral("Script test.js"));
    QCOMPARE(p.document.header().bytes, (std::array<std::uint8_t, 7>{200, 8, 4, 7, 3, 6, 1}));
    QCOMPARE(p.text(0, 3, 2) + p.text(12, 3, 2), QStringLiteral("3abc"));
    p.document.undoStack()->undo();
    QVERIFY(p.document.encode() == before);
    QCOMPARE(p.text(5, 0, 1), QStringLiteral("0012"));
    QCOMPARE(headers.count(), 2);
    // Writing what is there already pushes no step; a console line's step is "Console".
    QVERIFY(!p.run("map.set(0, 0, 0, map.get(0, 0, 0)); map.header[1] = 8;").changed);
    QVERIFY(p.runner.evaluate("map.header[3] = 9").changed);
    QCOMPARE(p.document.undoStack()->text(0), QStringLiteral("Console"));
    QCOMPARE(p.document.header().bytes[3], 9);
    // The document's step never changes the shape, and pushes nothing for no change.
    amp::MapHeader header = p.document.header();
    header.bytes = {1, 2, 9, 4, 9, 6, 7};
    QVERIFY(p.document.editMap(QStringLiteral("Header"), {}, header));
    QCOMPARE(p.document.header().bytes, (std::array<std::uint8_t, 7>{1, 2, 4, 4, 3, 6, 7}));
    QVERIFY(!p.document.editMap(QStringLiteral("Again"), {}, p.document.header()));
    QCOMPARE(p.document.undoStack()->count(), 2);
}

void ScriptRunnerTest::failuresChangeNothingAndNameTheLine() {
    Pattern p;
    const struct {
        const char* source;
        const char* error;
    } cases[] = {
        {"map.fill(0, 1);\nmap.header[0] = 1;\nnull.x = 1;\n", "test.js:3: TypeError"},
        {"map.fill(0, 1);\n\nmap.set(0, 9, 9, 1);", "test.js:3: RangeError: hex 9,9 is outside the map"},
        {"map.fill(0, 1);\nmap.header[2] = 5;", "test.js:2: TypeError: header byte 2 is the map's columns"},
        {"map.fill(0, 1);\nmap.header[4] = 5;", "test.js:2: TypeError: header byte 4 is the map's rows"},
        {"map.fill(0, 1);\n\n\nthrow 'plain';", "test.js:4: uncaught exception: plain"},
        {"map.fill(0, 1);\nvar = 3;", "test.js:2: SyntaxError"},
        {"map.header = [1, 2, 3, 4, 5, 6, 7];", "test.js:1: TypeError: header byte 2"},
    };
    for (const auto& c : cases) {
        const ScriptOutcome outcome = p.run(c.source);
        QCOMPARE(outcome.kind, ScriptOutcome::Kind::Failed);
        QVERIFY2(outcome.error.startsWith(QString::fromUtf8(c.error)), qPrintable(outcome.error));
    }
    // An endless loop is stopped at the time limit; the console's engine, stopped
    // once, takes the next line.
    ScriptOptions options;
    options.timeout = std::chrono::milliseconds(300);
    const ScriptOutcome endless =
        p.run("map.fill(0, 2); print('started'); while (true) { try {} catch (e) {} }", options);
    QCOMPARE(endless.kind, ScriptOutcome::Kind::TimedOut);
    QVERIFY2(endless.error.startsWith("test.js: stopped after 0.3 s"), qPrintable(endless.error));
    QCOMPARE(endless.printed, QStringList{"started"});
    QCOMPARE(p.runner.evaluate("map.fill(0, 2); for (;;) {}", options).kind, ScriptOutcome::Kind::TimedOut);
    QCOMPARE(p.value("1 + 1", options), QStringLiteral("2"));
    QVERIFY(p.document.encode() == p.file);
    QCOMPARE(p.document.undoStack()->count(), 0);
}

void ScriptRunnerTest::printReportAndTheSandbox() {
    Pattern p;
    QSignalSpy printed(&p.runner, &ScriptRunner::printed);
    ScriptOptions options;
    options.arguments = {"seed", "42"};
    const ScriptOutcome outcome = p.run(
        "print('args', args.length, args[1], {a: [1]}); report(2, 1, 'here'); report('the map');", options);
    QCOMPARE(printed.count(), 1);
    QCOMPARE(printed[0][0].toString(), QStringLiteral("args 2 42 {\"a\":[1]}"));
    QCOMPARE(outcome.problems.size(), std::size_t(2));
    QCOMPARE(outcome.problems[0].hex, std::optional<HexCell>(HexCell{2, 1}));
    QCOMPARE(outcome.problems[0].message + outcome.problems[0].script, QStringLiteral("heretest.js"));
    QVERIFY(!outcome.problems[1].hex);
    QVERIFY(p.run("report(4, 0, 'no');").error.contains("hex 4,0 is outside the map"));
    QCOMPARE(p.value("typeof args[0]"), QStringLiteral("undefined"));
    // Nothing beyond the map: no Qt object, no requests, no modules; and no value
    // reachable from the globals is a wrapped object of the program's, which
    // would offer slots such as deleteLater or signals such as destroyed.
    QCOMPARE(
        p.value("[typeof Qt, typeof XMLHttpRequest, typeof require, typeof console, typeof fetch].join()"),
        QStringLiteral("undefined,undefined,undefined,undefined,undefined"));
    QVERIFY(p.value("Qt.openUrlExternally('file:///')").contains("ReferenceError"));
    const char* search = R"((function () {
        const seen = new Set(), found = [];
        (function visit(value, path, depth) {
            if (value === null || (typeof value !== "object" && typeof value !== "function") || seen.has(value) ||
                depth > 4) {
                return;
            }
            seen.add(value);
            if ("deleteLater" in value || "destroyed" in value || "objectName" in value) {
                found.push(path);
            }
            Object.getOwnPropertyNames(value).forEach(function (name) {
                try { visit(value[name], path + "." + name, depth + 1); } catch (e) {}
            });
        })((function () { return this; })(), "global", 0);
        return found.length + " " + found.join(" ") + seen.has(map.get);
    })())";
    QCOMPARE(p.value(QString::fromUtf8(search)), QStringLiteral("0 true"));
}

void ScriptRunnerTest::aScriptThatUnderminesTheApiChangesNothing() {
    Pattern p;
    ScriptOptions quick;
    quick.timeout = std::chrono::milliseconds(300);
    // Built-ins replaced under the API: the run fails, and neither its cell, its
    // header bytes (never 300, never the shape's) nor its problems get through.
    for (const char* attack : {
             "map.set(0, 0, 0, 77); report(1, 1, 'p'); Object.setPrototypeOf(map.header, null);",
             "map.set(0, 0, 0, 77); Array.prototype.slice = null;",
             "map.set(0, 0, 0, 77); Array.prototype.slice = function () { return [300, 0, 4, 0, 3, 0, 5]; };",
             "map.set(0, 0, 0, 77); Array.prototype.slice = function () { return [1, 2, 9, 4, 9, 6, 7]; };",
         }) {
        const ScriptOutcome outcome = p.run(attack);
        QVERIFY2(!outcome.ok() && !outcome.changed && outcome.problems.empty(), attack);
        QCOMPARE(p.document.encode(), p.file);
        QCOMPARE(p.document.undoStack()->count(), 0);
    }
    // Code of the script's that runs while its outcome is read is under the time
    // limit too.
    for (const char* endless :
         {"return {toJSON: function () { for (;;) {} }};", "throw {toJSON: function () { for (;;) {} }};",
          "map.set(0, 0, 0, 1); Array.prototype.slice = function () { for (;;) {} };"}) {
        QCOMPARE(p.run(endless, quick).kind, ScriptOutcome::Kind::TimedOut);
        QCOMPARE(p.document.encode(), p.file);
    }
    QCOMPARE(p.runner.evaluate(QStringLiteral("({toJSON: function () { for (;;) {} }})"), quick).kind,
             ScriptOutcome::Kind::TimedOut);
    // A check's changes are dropped; what it reports stays.
    ScriptOptions check;
    check.keepChanges = false;
    const ScriptOutcome checked = p.run("map.set(0, 0, 0, 77); report(0, 0, 'seen');", check);
    QVERIFY(checked.ok() && !checked.changed && checked.problems.size() == 1);
    QCOMPARE(p.document.undoStack()->count(), 0);
    QCOMPARE(p.value("[terrain.nameOf('length'), terrain.nameOf('push'), map.get('terrain', 0, 0)].join()"),
             QStringLiteral(",,1"));
}

void ScriptRunnerTest::aValueThatHoldsItselfOrNestsDeepBecomesText() {
    Pattern p;
    // An array that holds itself: JSON marks the cycle; the engine's own text
    // of it (join) gives "" where it meets itself again, as other engines do.
    const ScriptOutcome cyclic = p.run("const a = [1]; a.push(a); const o = {n: 2}; o.self = o;\n"
                                       "print(a); print('' + a, String([a, 2]), o); report(0, 0, a);");
    QVERIFY2(cyclic.ok(), qPrintable(cyclic.error));
    QCOMPARE(cyclic.printed, QStringList({"[1,\"(cycle)\"]", "1, 1,,2 {\"n\":2,\"self\":\"(cycle)\"}"}));
    QCOMPARE(cyclic.problems.size(), std::size_t(1));
    QCOMPARE(cyclic.problems[0].message, QStringLiteral("[1,\"(cycle)\"]"));
    QCOMPARE(p.value("const c = []; c.push(c); c"), QStringLiteral("[\"(cycle)\"]"));
    QCOMPARE(p.run("const e = []; e.push(e); throw e;").error,
             QStringLiteral("test.js:1: uncaught exception: [\"(cycle)\"]"));
    // A hundred thousand arrays deep: JSON stops at 256 levels, and the
    // engine's join throws there rather than overflow its stack.
    const ScriptOutcome deep = p.run("let d = []; for (let i = 0; i < 100000; ++i) d = [d];\n"
                                     "print(d); report(1, 1, d);\n"
                                     "try { print('' + d); } catch (e) { print(e.name, e.message); }\n"
                                     "try { print(d.toLocaleString()); } catch (e) { print(e.name); }\n"
                                     "return d;");
    QVERIFY2(deep.ok(), qPrintable(deep.error));
    const QString json =
        QString(256, QLatin1Char('[')) + QStringLiteral("\"(too deep)\"") + QString(256, QLatin1Char(']'));
    QCOMPARE(deep.printed.value(0), json);
    QCOMPARE(deep.problems.at(0).message, json);
    QCOMPARE(deep.printed.value(1),
             QStringLiteral("RangeError an array nested more than 256 deep cannot be turned into text"));
    QCOMPARE(deep.printed.value(2), QStringLiteral("RangeError"));
    QCOMPARE(p.value("let n = []; for (let i = 0; i < 100000; ++i) n = [n]; '' + n"),
             QStringLiteral(
                 "console:1: RangeError: an array nested more than 256 deep cannot be turned into text"));
    // Arrays of arrays in their ordinary depth are as they were.
    QCOMPARE(p.value("String([[1, [2, 3]], [], 'x']) + ' ' + [[1, 2], [3]].join(';')"),
             QStringLiteral("1,2,3,,x 1,2;3"));
}

void ScriptRunnerTest::whatARunLeavesIsBounded() {
    Pattern p;
    ScriptOptions small;
    small.problemLimit = 3;
    small.printLimit = 2;
    small.printedTextLimit = 10;
    const ScriptOutcome outcome = p.run("for (let i = 0; i < 5; ++i) report(i % 4, 0, 'p' + "
                                        "i);\nprint('12345678'); print('abc', 'def'); print('x');",
                                        small);
    QVERIFY2(outcome.ok(), qPrintable(outcome.error));
    // Three of five problems, and a word of the two left out; ten characters of text.
    QCOMPARE(outcome.problems.size(), std::size_t(4));
    QCOMPARE(outcome.problems[2].message + " " + QString::number(outcome.problems[2].hex->column), "p2 2");
    QVERIFY(!outcome.problems[3].hex);
    QCOMPARE(outcome.problems[3].message,
             QStringLiteral("2 more problems were reported and not listed (a run lists 3 at most)"));
    QCOMPARE(outcome.printed,
             QStringList({"12345678", "ab",
                          "(1 more lines not shown: a run prints 2 lines and 10 characters at most)"}));
    // A run that makes the runner's own lists as long as an array can be (2^32 - 1)
    // is refused at once: what it left is no outcome of the API's.
    for (const char* attack : {
             "map.set(0, 0, 0, 1); Array.prototype.map = function () { const a = []; a.length = 4294967295; "
             "return a; };",
             "map.set(0, 0, 0, 1); Array.from = function () { const a = []; a.length = 4294967295; return a; "
             "};",
             "map.set(0, 0, 0, 1); Array.from = function () { return [[0, {toString: function () { for (;;) "
             "{} }}]]; };",
         }) {
        const ScriptOutcome forged = p.run(attack);
        QCOMPARE(forged.kind, ScriptOutcome::Kind::Failed);
        QVERIFY2(forged.error.contains(QStringLiteral("changed what the scripting API relies on")),
                 qPrintable(forged.error));
        QCOMPARE(p.document.encode(), p.file);
    }
    const ScriptOutcome line = p.runner.evaluate(QStringLiteral(
        "map.set(0, 0, 0, 1); Array.from = function () { const a = []; a.length = 2 ** 32 - 1; "
        "return a; }"));
    QVERIFY2(line.error.contains(QStringLiteral("changed what the scripting API relies on")),
             qPrintable(line.error));
    QCOMPARE(p.document.undoStack()->count(), 0);
}

void ScriptRunnerTest::aRunIsBoundedInMemoryAndCanBeStopped() {
    Pattern p;
    // A loop that takes memory without end is stopped at its bound, not at its time limit.
    ScriptOptions bounded;
    bounded.memoryLimit = 64 * 1024 * 1024;
    bounded.timeout = std::chrono::seconds(60);
    const ScriptOutcome greedy = p.run("map.set(0, 0, 0, 9); const kept = [];\n"
                                       "for (let i = 0; ; ++i) kept.push('x'.repeat(100) + i);",
                                       bounded);
    QCOMPARE(greedy.kind, ScriptOutcome::Kind::Failed);
    QVERIFY2(greedy.error.startsWith(QStringLiteral("test.js: stopped: it took more than 64 MB of memory")),
             qPrintable(greedy.error));
    // Stop, while the runner turns the event loop: the run ends and changes nothing.
    QTimer::singleShot(100, &p.runner, [&p] { p.runner.stop(); });
    const ScriptOutcome stopped = p.run("map.set(0, 0, 0, 9); print('going'); for (;;) {}");
    QCOMPARE(stopped.kind, ScriptOutcome::Kind::Stopped);
    QCOMPARE(stopped.error, QStringLiteral("test.js: stopped; nothing was changed"));
    QCOMPARE(stopped.printed, QStringList{"going"});
    // The map changed while the run went on: its changes are dropped, the edit stays.
    QTimer::singleShot(50, &p.runner, [&p] { p.document.typeIntoCell(1, 0, 0, QStringLiteral("66")); });
    const ScriptOutcome raced =
        p.run("map.set(0, 0, 0, 9); const t = Date.now(); while (Date.now() - t < 3000) {}");
    QCOMPARE(raced.kind, ScriptOutcome::Kind::Failed);
    QCOMPARE(raced.error, QStringLiteral("test.js: the map changed while it ran; nothing was changed"));
    QCOMPARE(p.text(1, 0, 0) + " " + p.text(0, 0, 0), QStringLiteral("66 1"));
    QCOMPARE(p.document.undoStack()->count(), 1);
}

namespace {

// An engine whose every run throws, as one that runs out of memory may.
class ThrowingEngine final : public ScriptEngine {
public:
    ScriptOutcome run(const ScriptMap&, const QString&, const QString&, const ScriptOptions&,
                      ScriptChanges&) override {
        throw std::bad_alloc();
    }
    ScriptOutcome evaluate(const ScriptMap&, const QString&, const ScriptOptions&, ScriptChanges&) override {
        throw std::length_error("a list too long");
    }
};

std::unique_ptr<ScriptEngine> throwingEngine(QString&) {
    return std::make_unique<ThrowingEngine>();
}

} // namespace

void ScriptRunnerTest::anExceptionInTheEngineNeverLeavesTheRunner() {
    Pattern p;
    ScriptRunner runner(p.document, throwingEngine);
    const ScriptOutcome run = runner.run(QStringLiteral("map.set(0, 0, 0, 1);"), QStringLiteral("t.js"));
    QCOMPARE(run.kind, ScriptOutcome::Kind::Failed);
    QVERIFY2(run.error.startsWith(QStringLiteral("t.js: ")), qPrintable(run.error));
    const ScriptOutcome line = runner.evaluate(QStringLiteral("1"));
    QCOMPARE(line.error, QStringLiteral("console: a list too long"));
    QCOMPARE(p.document.encode(), p.file);
    QVERIFY(!runner.isRunning());
}

// Check Map's loop (the one F7 runs) and `amptool check`, on the same map and
// checks: the same problems in the same order, and no change left on the map,
// not even a step to redo, by a check that writes cells and the header.
void ScriptRunnerTest::checksLeaveTheMapAndFindWhatAmptoolCheckFinds() {
    Pattern p;
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("checks")));
    const auto script = [&dir](const char* name, const char* source) {
        QFile file(dir.filePath(QStringLiteral("checks/") + QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(source);
    };
    script("b-changes.js", "map.fill(0, 9);\nmap.header[0] = 1;\nreport(3, 2, 'filled');\n");
    script("a-reads.js", "report(1, 0, 'road ' + map.get(6, 1, 0));\nreport('header ' + map.header[0]);\n");
    script("c-throws.js", "report(0, 1, 'before');\nundefinedName;\n");
    script("d-after.js", "report(2, 2, 'terrain ' + map.get(0, 0, 0) + ', header ' + map.header[0]);\n");
    QFile file(dir.filePath(QStringLiteral("m.amp")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(p.file.data()), qint64(p.file.size()));
    file.close();

    QStringList started;
    QString found;
    const ScriptRunner::CheckSummary summary = p.runner.check(
        scriptfolders::scriptFiles({dir.filePath(QStringLiteral("checks"))}), {},
        [&started](const QString& path) { started << QFileInfo(path).fileName(); },
        [&found](const QString&, const ScriptOutcome& outcome) {
            for (const ScriptProblem& problem : outcome.problems) {
                const QString where =
                    problem.hex ? QStringLiteral(":%1,%2").arg(problem.hex->column).arg(problem.hex->row)
                                : QString();
                found += QStringLiteral("m.amp%1: %2 (%3)\n").arg(where, problem.message, problem.script);
            }
        });
    QCOMPARE(started, QStringList({"a-reads.js", "b-changes.js", "c-throws.js", "d-after.js"}));
    // Hex 1,0 is record 3, whose byte 6 is 39 + 42 + 1; record 0's terrain is 1;
    // the header's byte 0 is 9.
    const QString expected = "m.amp:1,0: road 82 (a-reads.js)\nm.amp: header 9 (a-reads.js)\n"
                             "m.amp:3,2: filled (b-changes.js)\nm.amp:0,1: before (c-throws.js)\n"
                             "m.amp:2,2: terrain 1, header 9 (d-after.js)\n";
    QCOMPARE(found, expected);
    QCOMPARE(summary.problems, 4); // the failed check's are not counted
    QCOMPARE(summary.failed, 1);
    QVERIFY(!summary.stopped);
    QCOMPARE(p.document.undoStack()->count(), 0);
    QCOMPARE(p.document.encode(), p.file);

    const Outcome amptool =
        runShell(dir, "cd '" + dir.path().toStdString() +
                          "' && env -u DISPLAY " AMPTOOL_PATH " check m.amp --checks checks");
    QCOMPARE(amptool.status, 1);
    QCOMPARE(QString::fromStdString(amptool.out), expected);
}

QTEST_GUILESS_MAIN(ScriptRunnerTest)
#include "tst_scriptrunner.moc"
