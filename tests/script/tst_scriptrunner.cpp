// SPDX-License-Identifier: MIT
// Scripts against a small map made here: the API's reads and writes, layers and
// terrain by name, neighbours in both layouts, the selection, one undo step per
// run, failures and time-outs that change nothing, and the sandbox.
#include "mapdocument.h"
#include "scriptrunner.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A 4 x 3 map; byte j of record k is (k * 13 + j * 7 + 1) % 256, and the header
// is 9 8 4 7 3 6 5.
std::vector<std::uint8_t> patternFile() {
    std::vector<std::uint8_t> bytes = {9, 8, 4, 7, 3, 6, 5};
    for (int k = 0; k < 12; ++k) {
        for (int j = 0; j < 13; ++j) {
            bytes.push_back(std::uint8_t((k * 13 + j * 7 + 1) % 256));
        }
    }
    return bytes;
}

void loadPattern(MapDocument& document) {
    const std::vector<std::uint8_t> file = patternFile();
    document.load(amp::decodeMap(file).value(), QStringLiteral("pattern.amp"));
}

ScriptOutcome runScript(ScriptRunner& runner, const char* source, const ScriptOptions& options = {}) {
    return runner.run(QString::fromUtf8(source), QStringLiteral("test.js"), options);
}

} // namespace

class ScriptRunnerTest : public QObject {
    Q_OBJECT

private slots:
    void readsCellsAndNames();
    void setKeepsTextsAsTyped();
    void fillAndReplaceCount();
    void neighboursFollowTheLayout();
    void selectionIsTheSelectedHexesOrTheMap();
    void aRunIsOneUndoStep();
    void failuresChangeNothingAndNameTheLine();
    void anEndlessLoopIsStopped();
    void printReportAndArguments();
    void theSandboxHasNoWayOut();
    void theDocumentsMapStepKeepsTheShape();
};

void ScriptRunnerTest::readsCellsAndNames() {
    MapDocument document;
    loadPattern(document);
    ScriptRunner runner(document);
    const auto value = [&runner](const char* expression) {
        const ScriptOutcome outcome = runner.evaluate(QString::fromUtf8(expression));
        return outcome.ok() ? outcome.value : outcome.error;
    };
    // [2][1] is record 2 * 3 + 1 = 7: layer 4 holds (91 + 28 + 1) % 256 = 120,
    // layer 6 (roads) 134.
    QCOMPARE(value("map.get(4, 2, 1)"), QStringLiteral("120"));
    QCOMPARE(value("map.get('height b1', 2, 1)"), QStringLiteral("120"));
    QCOMPARE(value("map.get('ROADS', 2, 1)"), QStringLiteral("134"));
    QCOMPARE(value("map.text('6', 2, 1)"), QStringLiteral("134"));
    QCOMPARE(value("[map.columns, map.rows, map.fileName].join()"), QStringLiteral("4,3,pattern.amp"));
    QCOMPARE(value("map.header.join(' ')"), QStringLiteral("9 8 4 7 3 6 5"));
    QCOMPARE(value("[terrain.Ocean, terrain.Lakes, terrain['Impassable River'], terrain.ImpassableRiver]"),
             QStringLiteral("[6,14,12,12]"));
    QCOMPARE(value("terrain.nameOf(15)"), QStringLiteral("Lake Region"));
    QVERIFY(value("map.get('?\?\?\?\?\?', 0, 0)").contains("several layers are named"));
    QVERIFY(value("map.get(13, 0, 0)").contains("no layer 13"));
    QVERIFY(value("map.get(0, 4, 0)").contains("hex 4,0 is outside the map"));
    QVERIFY(value("map.text(0, 0, -1)").contains("hex 0,-1 is outside the map"));
    QVERIFY(value("map.get(0, 1.5, 0)").contains("outside the map"));
}

void ScriptRunnerTest::setKeepsTextsAsTyped() {
    MapDocument document;
    loadPattern(document);
    ScriptRunner runner(document);
    // By the text rule: "007" is 7, "300" keeps its low byte 44, "-1" is 255,
    // " 12" is 12; "abc", "7 ", "" and "2147483648" are no numbers, so 0.
    const ScriptOutcome outcome = runScript(runner, R"(
        const texts = ["007", "300", "-1", " 12", "abc", "7 ", "", "2147483648", "-2147483648", "42"];
        texts.forEach(function (text, i) { map.set(2, i % 4, Math.floor(i / 4), text); });
        map.set(3, 0, 0, 200);
        print(texts.map(function (t, i) { return map.get(2, i % 4, Math.floor(i / 4)); }).join(" "));
        print(map.text(2, 0, 0), map.text(2, 1, 2), map.text(3, 0, 0));
    )");
    QVERIFY2(outcome.ok(), qPrintable(outcome.error));
    QCOMPARE(outcome.printed, QStringList({"7 44 255 12 0 0 0 0 0 42", "007 42 200"}));
    const LayerModel* layer = document.layer(2);
    QCOMPARE(layer->cellText(0, 0), QStringLiteral("007"));
    QCOMPARE(layer->cellText(2, 1), QStringLiteral(""));
    QCOMPARE(layer->cellText(2, 0), QStringLiteral("-1"));
    const std::uint8_t bytes[] = {7, 44, 255, 12, 0, 0, 0, 0, 0, 42};
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(layer->cellByte(i % 4, i / 4), bytes[i]);
    }
    QCOMPARE(document.layer(3)->cellText(0, 0), QStringLiteral("200"));
    for (const char* bad : {"map.set(0, 0, 0, 256)", "map.set(0, 0, 0, -1)", "map.set(0, 0, 0, 1.5)",
                            "map.set(0, 0, 0, true)", "map.set(0, 0, 0)"}) {
        const ScriptOutcome refused = runner.evaluate(QString::fromLatin1(bad));
        QVERIFY2(!refused.ok() && refused.error.contains("a cell takes a whole number 0-255"), bad);
    }
}

void ScriptRunnerTest::fillAndReplaceCount() {
    MapDocument document;
    loadPattern(document);
    ScriptRunner runner(document);
    const ScriptOutcome outcome = runScript(runner, R"(
        print(map.fill(0, 5, {column: 1, row: 1, columns: 2, rows: 2}));
        print(map.fill("city b1", "x"));
        print(map.replace(0, 5, "06"), map.replace(0, "06", 9, [{column: 1, row: 2, columns: 1, rows: 1}]));
        print(map.replace(0, 77, 1));
    )");
    QVERIFY2(outcome.ok(), qPrintable(outcome.error));
    QCOMPARE(outcome.printed, QStringList({"4", "12", "4 1", "0"}));
    QCOMPARE(document.layer(0)->cellText(1, 1), QStringLiteral("06"));
    QCOMPARE(document.layer(0)->cellText(1, 2), QStringLiteral("9"));
    QCOMPARE(document.layer(0)->cellText(2, 2), QStringLiteral("06"));
    QCOMPARE(document.layer(0)->cellText(0, 0), QStringLiteral("1")); // record 0, untouched
    QCOMPARE(document.layer(7)->cellText(3, 2), QStringLiteral("x"));
    const ScriptOutcome outside = runner.evaluate("map.fill(0, 1, {column: 3, row: 0, columns: 2, rows: 1})");
    QVERIFY(outside.error.contains("hex 4,0 is outside the map"));
}

void ScriptRunnerTest::neighboursFollowTheLayout() {
    MapDocument document;
    loadPattern(document);
    ScriptRunner runner(document);
    const auto around = [&runner](const char* hex, bool evenLower) {
        ScriptOptions options;
        options.evenColumnsLower = evenLower;
        const QString expression = QStringLiteral("map.neighbours(%1).map(function (h) { return h.column + ',' + "
                                                  "h.row; }).join(' ')")
                                       .arg(QString::fromLatin1(hex));
        return runner.evaluate(expression, options).value;
    };
    // Up, up-right, down-right, down, down-left, up-left. Odd columns lower: a
    // raised column's side neighbours are the row above and its own, a lowered
    // column's its own and the one below.
    QCOMPARE(around("2, 1", false), QStringLiteral("2,0 3,0 3,1 2,2 1,1 1,0"));
    QCOMPARE(around("1, 1", false), QStringLiteral("1,0 2,1 2,2 1,2 0,2 0,1"));
    QCOMPARE(around("2, 1", true), QStringLiteral("2,0 3,1 3,2 2,2 1,2 1,1"));
    QCOMPARE(around("0, 0", false), QStringLiteral("1,0 0,1"));
    QCOMPARE(around("0, 0", true), QStringLiteral("1,0 1,1 0,1"));
    QCOMPARE(around("3, 2", false), QStringLiteral("3,1 2,2"));
}

void ScriptRunnerTest::selectionIsTheSelectedHexesOrTheMap() {
    MapDocument document;
    loadPattern(document);
    ScriptRunner runner(document);
    const char* describe = "[selection.isWholeMap, selection.count, selection.contains(3, 2), "
                           "Array.from(selection).map(function (h) { return h.column + ':' + h.row; }).join(' ')]";
    QCOMPARE(runner.evaluate(describe).value, QStringLiteral("[true,12,true,\"0:0 0:1 0:2 1:0 1:1 1:2 2:0 2:1 "
                                                             "2:2 3:0 3:1 3:2\"]"));
    // One clicked hex is where the user stands: the run still covers the map.
    document.selection().select(0, {QRect(1, 1, 1, 1)});
    QCOMPARE(runner.evaluate("selection.count").value, QStringLiteral("12"));
    // Two overlapping rectangles: each hex once, in the file's order.
    document.selection().select(0, {QRect(1, 0, 2, 2), QRect(2, 1, 2, 1)});
    QCOMPARE(runner.evaluate(describe).value, QStringLiteral("[false,5,false,\"1:0 1:1 2:0 2:1 3:1\"]"));
    QCOMPARE(runner.evaluate("selection.rectangles.length + ' ' + JSON.stringify(selection.rectangles[1])").value,
             QStringLiteral("2 {\"column\":2,\"row\":1,\"columns\":2,\"rows\":1}"));
    QCOMPARE(runner.evaluate("map.fill(1, 0, selection)").value, QStringLiteral("5"));
    QCOMPARE(document.layer(1)->cellText(3, 1), QStringLiteral("0"));
    QCOMPARE(document.layer(1)->cellText(3, 0), QStringLiteral("%1").arg((9 * 13 + 7 + 1) % 256));
}

void ScriptRunnerTest::aRunIsOneUndoStep() {
    MapDocument document;
    loadPattern(document);
    document.layer(5)->setCellText(0, 1, QStringLiteral("0012")); // a typed text the run overwrites
    const std::vector<std::uint8_t> before = document.encode();
    ScriptRunner runner(document);
    QSignalSpy headers(&document, &MapDocument::headerChanged);
    const ScriptOutcome outcome = runScript(runner, R"(
        map.fill(0, 3);
        map.set(5, 0, 1, 77);
        map.set(12, 3, 2, "abc");
        map.header[0] = 200;
        map.header[6] = 1;
    )");
    QVERIFY2(outcome.ok() && outcome.changed, qPrintable(outcome.error));
    QCOMPARE(document.undoStack()->count(), 1);
    QCOMPARE(document.undoStack()->text(0), QStringLiteral("Script test.js"));
    QCOMPARE(document.header().bytes, (std::array<std::uint8_t, 7>{200, 8, 4, 7, 3, 6, 1}));
    QCOMPARE(document.layer(0)->cellText(3, 2), QStringLiteral("3"));
    QCOMPARE(headers.count(), 1);
    document.undoStack()->undo();
    QVERIFY(document.encode() == before);
    QCOMPARE(document.layer(5)->cellText(0, 1), QStringLiteral("0012"));
    QCOMPARE(document.layer(12)->cellText(3, 2), QStringLiteral("%1").arg((11 * 13 + 84 + 1) % 256));
    QCOMPARE(headers.count(), 2);
    document.undoStack()->redo();
    QCOMPARE(document.layer(12)->cellText(3, 2), QStringLiteral("abc"));
    QCOMPARE(document.header().bytes[0], 200);

    // Writing what is there already, or nothing, pushes no step.
    const ScriptOutcome same = runScript(runner, "map.set(0, 0, 0, map.get(0, 0, 0)); map.header[1] = 8;");
    QVERIFY(same.ok() && !same.changed);
    QCOMPARE(document.undoStack()->count(), 1);
    // The console's changes are steps of their own.
    QVERIFY(runner.evaluate("map.header[3] = 9").changed);
    QCOMPARE(document.undoStack()->text(1), QStringLiteral("Console"));
    QCOMPARE(document.header().bytes[3], 9);
}

void ScriptRunnerTest::failuresChangeNothingAndNameTheLine() {
    MapDocument document;
    loadPattern(document);
    const std::vector<std::uint8_t> before = document.encode();
    ScriptRunner runner(document);
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
        const ScriptOutcome outcome = runScript(runner, c.source);
        QCOMPARE(outcome.kind, ScriptOutcome::Kind::Failed);
        QVERIFY2(outcome.error.startsWith(QString::fromUtf8(c.error)), qPrintable(outcome.error));
        QVERIFY(!outcome.changed);
    }
    QCOMPARE(document.undoStack()->count(), 0);
    QVERIFY(document.encode() == before);
    QVERIFY(!document.isModified());
}

void ScriptRunnerTest::anEndlessLoopIsStopped() {
    MapDocument document;
    loadPattern(document);
    const std::vector<std::uint8_t> before = document.encode();
    ScriptRunner runner(document);
    ScriptOptions options;
    options.timeout = std::chrono::milliseconds(300);
    const ScriptOutcome outcome =
        runScript(runner, "map.fill(0, 2); map.header[0] = 1; print('started'); while (true) { try {} catch (e) {} }",
                  options);
    QCOMPARE(outcome.kind, ScriptOutcome::Kind::TimedOut);
    QVERIFY2(outcome.error.startsWith("test.js: stopped after 0.3 s"), qPrintable(outcome.error));
    QCOMPARE(outcome.printed, QStringList{"started"});
    QVERIFY(document.encode() == before);
    QCOMPARE(document.undoStack()->count(), 0);
    // The console's engine, stopped once, takes the next line.
    QCOMPARE(runner.evaluate("for (;;) {}", options).kind, ScriptOutcome::Kind::TimedOut);
    QCOMPARE(runner.evaluate("1 + 1", options).value, QStringLiteral("2"));
}

void ScriptRunnerTest::printReportAndArguments() {
    MapDocument document;
    loadPattern(document);
    ScriptRunner runner(document);
    QSignalSpy printed(&runner, &ScriptRunner::printed);
    ScriptOptions options;
    options.arguments = {"seed", "42"};
    const ScriptOutcome outcome = runScript(runner, R"(
        print("args", args.length, args[1], {a: [1]});
        report(2, 1, "here");
        report("the whole map");
        print(typeof report(0, 0, 7));
    )",
                                            options);
    QVERIFY2(outcome.ok(), qPrintable(outcome.error));
    QCOMPARE(printed.count(), 2);
    QCOMPARE(printed[0][0].toString(), QStringLiteral("args 2 42 {\"a\":[1]}"));
    QCOMPARE(outcome.problems.size(), std::size_t(3));
    QCOMPARE(outcome.problems[0].hex, std::optional<HexCell>(HexCell{2, 1}));
    QCOMPARE(outcome.problems[0].message, QStringLiteral("here"));
    QCOMPARE(outcome.problems[0].script, QStringLiteral("test.js"));
    QVERIFY(!outcome.problems[1].hex);
    QCOMPARE(outcome.problems[2].message, QStringLiteral("7"));
    QVERIFY(runScript(runner, "report(4, 0, 'no');").error.contains("hex 4,0 is outside the map"));
    QCOMPARE(runner.evaluate("typeof args[0]").value, QStringLiteral("undefined"));
}

void ScriptRunnerTest::theSandboxHasNoWayOut() {
    MapDocument document;
    loadPattern(document);
    ScriptRunner runner(document);
    for (const char* name : {"Qt", "XMLHttpRequest", "require", "console", "gc", "fetch", "process", "importScripts"}) {
        QCOMPARE(runner.evaluate(QStringLiteral("typeof %1").arg(QString::fromLatin1(name))).value,
                 QStringLiteral("undefined"));
    }
    QVERIFY(!runner.evaluate("Qt.openUrlExternally('file:///')").ok());
    QVERIFY(!runner.evaluate("new XMLHttpRequest()").ok());
    // No value reachable from the globals is a wrapped object of the program's:
    // those would offer slots such as deleteLater or signals such as destroyed.
    const char* search = R"(
        (function () {
            const seen = new Set();
            const found = [];
            function visit(value, path, depth) {
                if (value === null || (typeof value !== "object" && typeof value !== "function") ||
                    seen.has(value) || depth > 4) {
                    return;
                }
                seen.add(value);
                if ("deleteLater" in value || "destroyed" in value || "objectName" in value) {
                    found.push(path);
                }
                Object.getOwnPropertyNames(value).forEach(function (name) {
                    let inner;
                    try { inner = value[name]; } catch (e) { return; }
                    visit(inner, path + "." + name, depth + 1);
                });
            }
            visit((function () { return this; })(), "global", 0);
            return found.length + " " + found.join(" ") + " " + typeof map.get;
        })()
    )";
    const ScriptOutcome searched = runner.evaluate(QString::fromUtf8(search));
    QVERIFY2(searched.ok(), qPrintable(searched.error));
    QCOMPARE(searched.value, QStringLiteral("0  function"));
}

void ScriptRunnerTest::theDocumentsMapStepKeepsTheShape() {
    MapDocument document;
    loadPattern(document);
    amp::MapHeader header = document.header();
    header.bytes = {1, 2, 9, 4, 9, 6, 7};
    QVERIFY(document.editMap(QStringLiteral("Header"), {}, header));
    QCOMPARE(document.header().bytes, (std::array<std::uint8_t, 7>{1, 2, 4, 4, 3, 6, 7}));
    QCOMPARE(document.undoStack()->count(), 1);
    QVERIFY(!document.editMap(QStringLiteral("Again"), {}, document.header()));
    QCOMPARE(document.undoStack()->count(), 1);
}

QTEST_GUILESS_MAIN(ScriptRunnerTest)
#include "tst_scriptrunner.moc"
