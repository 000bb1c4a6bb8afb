// SPDX-License-Identifier: MIT
// The scripts shipped with the program, found where the programs find them, on
// small maps made to trip them (and clean maps that must not).
#include "jsengine.h"
#include "mapdocument.h"
#include "scriptfolders.h"
#include "scriptrunner.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <functional>

namespace {

// A map of the given shape whose layer l holds value(l, column, row).
void makeMap(MapDocument& document, int columns, int rows, const std::function<int(int, int, int)>& value) {
    amp::MapImage map = amp::makeMap(
        amp::MapHeader{{0, 0, std::uint8_t(columns), 0, std::uint8_t(rows), 0, 0}}, columns, rows);
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            for (int layer = 0; layer < 13; ++layer) {
                map.records[std::size_t(column * rows + row)][std::size_t(layer)] =
                    std::uint8_t(value(layer, column, row));
            }
        }
    }
    document.load(map, QStringLiteral("made.amp"));
}

QString shipped(const QStringList& folders, const char* name) {
    for (const QString& path : scriptfolders::scriptFiles(folders)) {
        if (QFileInfo(path).fileName() == QLatin1String(name)) {
            return path;
        }
    }
    qFatal("%s is not among the shipped scripts", name);
}

// "COLUMN,ROW: message" for each problem, in the order reported.
QStringList problemsOf(const ScriptOutcome& outcome) {
    QStringList lines;
    for (const ScriptProblem& problem : outcome.problems) {
        lines.append(problem.hex ? QStringLiteral("%1,%2: %3")
                                       .arg(problem.hex->column)
                                       .arg(problem.hex->row)
                                       .arg(problem.message)
                                 : problem.message);
    }
    return lines;
}

// The terrain texts row by row: "3 3 3 / 4 3 3".
QString terrainOf(const MapDocument& document) {
    QStringList rows;
    for (int row = 0; row < document.rows(); ++row) {
        QStringList values;
        for (int column = 0; column < document.columns(); ++column) {
            values.append(document.layer(0)->cellText(column, row));
        }
        rows.append(values.join(QLatin1Char(' ')));
    }
    return rows.join(QStringLiteral(" / "));
}

} // namespace

class ShippedScriptsTest : public QObject {
    Q_OBJECT

private slots:
    void checksFindWhatTheyLookFor();
    void smoothTerrainFollowsTheLayoutAndTheSelection();
    void randomTerrainFollowsItsSeed();
    void mirrorLeftRightKeepsTheLattice();
};

void ShippedScriptsTest::checksFindWhatTheyLookFor() {
    // Terrain: Ocean 6, Lakes 14, Impassable River 12, River 7, then 19 and 200,
    // which have no name, and a typed "abc" (0, Clear); roads (layer 6) 1-7.
    const int terrain[] = {6, 14, 12, 7, 19, 200, 0};
    MapDocument document;
    makeMap(document, 7, 1, [&terrain](int layer, int column, int) {
        return layer == 0 ? terrain[column] : layer == 6 ? column + 1 : 0;
    });
    document.typeIntoCell(0, 6, 0, QStringLiteral("abc"));
    ScriptRunner runner(document, linkedScriptEngine);
    const ScriptOutcome unknown =
        runner.runFile(shipped(scriptfolders::shippedChecks(), "unknown-terrain.js"));
    QCOMPARE(problemsOf(unknown),
             QStringList({"4,0: terrain 19 has no name", "5,0: terrain 200 has no name"}));
    QCOMPARE(unknown.problems[0].script, QStringLiteral("unknown-terrain.js"));
    QCOMPARE(problemsOf(runner.runFile(shipped(scriptfolders::shippedChecks(), "roads-on-water.js"))),
             QStringList({"0,0: a road (1) on Ocean", "1,0: a road (2) on Lakes",
                          "2,0: a road (3) on Impassable River"}));
    // Water without roads is fine.
    document.typeIntoCell(6, 1, 0, QStringLiteral("0"));
    QCOMPARE(runner.runFile(shipped(scriptfolders::shippedChecks(), "roads-on-water.js")).problems.size(),
             std::size_t(2));
}

void ShippedScriptsTest::smoothTerrainFollowsTheLayoutAndTheSelection() {
    const QString script = shipped(scriptfolders::shippedScripts(), "smooth-terrain.js");
    // 3 x 3 hexes of Forest (3); Ocean (6) at the centre, Sand (4) at [0][0].
    const auto make = [](MapDocument& document) {
        makeMap(document, 3, 3, [](int layer, int column, int row) {
            return layer != 0 ? 0 : column == 1 && row == 1 ? 6 : column == 0 && row == 0 ? 4 : 3;
        });
    };
    // Odd columns lower: the centre's six neighbours are [1][0] [2][1] [2][2]
    // [1][2] [0][2] [0][1], all Forest, so it takes Forest.
    MapDocument odd;
    make(odd);
    QVERIFY(ScriptRunner(odd, linkedScriptEngine).runFile(script).changed);
    QCOMPARE(terrainOf(odd), QStringLiteral("4 3 3 / 3 3 3 / 3 3 3"));
    QCOMPARE(odd.undoStack()->text(0), QStringLiteral("Script smooth-terrain.js"));
    // Even columns lower: [0][0] (Sand) is among the centre's neighbours.
    MapDocument even;
    make(even);
    ScriptOptions options;
    options.evenColumnsLower = true;
    QVERIFY(!ScriptRunner(even, linkedScriptEngine).runFile(script, options).changed);
    // A selection without the centre leaves it.
    MapDocument selected;
    make(selected);
    selected.selection().select(0, {QRect(0, 0, 1, 3)});
    QVERIFY(!ScriptRunner(selected, linkedScriptEngine).runFile(script).changed);
}

void ShippedScriptsTest::randomTerrainFollowsItsSeed() {
    const QString script = shipped(scriptfolders::shippedScripts(), "random-terrain.js");
    const auto terrainAfter = [&script](const QStringList& arguments) {
        MapDocument document;
        makeMap(document, 8, 8, [](int, int, int) { return 1; });
        ScriptOptions options;
        options.arguments = arguments;
        return ScriptRunner(document, linkedScriptEngine).runFile(script, options).ok() ? terrainOf(document)
                                                                                        : QString();
    };
    const QString first = terrainAfter({"7"});
    QCOMPARE(terrainAfter({"7"}), first);
    QVERIFY(terrainAfter({"8"}) != first);
    // Clear, Forest, Rough, Sand and Swamp (0, 3, 13, 4, 5), more than one of them.
    const QStringList values = first.split(QRegularExpression(" (/ )?"));
    QCOMPARE(values.size(), 64);
    QVERIFY(QSet<QString>(values.begin(), values.end()).size() > 1);
    for (const QString& value : values) {
        QVERIFY2(QStringList({"0", "3", "4", "5", "13"}).contains(value), qPrintable(value));
    }
    QCOMPARE(terrainAfter({"3", "Lake Region"}).count(QStringLiteral("15")), 64);
    QCOMPARE(terrainAfter({"x"}) + terrainAfter({"1", "Moon"}), QString());
}

void ShippedScriptsTest::mirrorLeftRightKeepsTheLattice() {
    const QString script = shipped(scriptfolders::shippedScripts(), "mirror-left-right.js");
    const auto slotValues = [](MapDocument& document, int columns) {
        makeMap(document, columns, 2,
                [](int layer, int column, int row) { return layer == 0 ? column * 2 + row : 0; });
    };
    // Three columns: column c and 2 - c trade places, row for row, texts as typed.
    MapDocument odd;
    slotValues(odd, 3);
    odd.typeIntoCell(0, 0, 1, QStringLiteral("007"));
    QVERIFY(ScriptRunner(odd, linkedScriptEngine).runFile(script).ok());
    QCOMPARE(terrainOf(odd), QStringLiteral("4 2 0 / 5 3 007"));
    // Four columns, odd ones lower: column c goes to 3 - c and half a hex down
    // (in half hexes Y = 2 row + lowered goes to Y + 1). [1][1] and [3][1] fall
    // off the bottom; [0][0] and [2][0] are no hex's image and keep 0 and 4.
    MapDocument even;
    slotValues(even, 4);
    const ScriptOutcome outcome = ScriptRunner(even, linkedScriptEngine).runFile(script);
    QCOMPARE(terrainOf(even), QStringLiteral("0 4 4 0 / 6 5 2 1"));
    QCOMPARE(outcome.printed, QStringList{"mirror-left-right: 2 hexes had no image and kept their values"});
}

QTEST_GUILESS_MAIN(ShippedScriptsTest)
#include "tst_shippedscripts.moc"
