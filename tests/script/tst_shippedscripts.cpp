// SPDX-License-Identifier: MIT
// The scripts shipped with the program, found where the programs find them, on
// small maps made to trip them (and clean maps that must not).
#include "mapdocument.h"
#include "scriptfolders.h"
#include "scriptrunner.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <set>

namespace {

// A map of the given shape whose layer l holds value(l, column, row).
void makeMap(MapDocument& document, int columns, int rows, const std::function<int(int, int, int)>& value) {
    amp::MapImage map = amp::makeMap(amp::MapHeader{{0, 0, std::uint8_t(columns), 0, std::uint8_t(rows), 0, 0}},
                                     columns, rows);
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
        lines.append(problem.hex ? QStringLiteral("%1,%2: %3").arg(problem.hex->column).arg(problem.hex->row).arg(problem.message)
                                 : problem.message);
    }
    return lines;
}

QString terrainRow(const MapDocument& document, int row) {
    QStringList values;
    for (int column = 0; column < document.columns(); ++column) {
        values.append(document.layer(0)->cellText(column, row));
    }
    return values.join(QLatin1Char(' '));
}

} // namespace

class ShippedScriptsTest : public QObject {
    Q_OBJECT

private slots:
    void foldersListTheirScripts();
    void unknownTerrain();
    void roadsOnWater();
    void smoothTerrainFollowsTheLayoutAndTheSelection();
    void randomTerrainFollowsItsSeed();
    void mirrorLeftRightKeepsTheLattice();
};

void ShippedScriptsTest::foldersListTheirScripts() {
    const auto names = [](const QStringList& files) {
        QStringList list;
        for (const QString& file : files) {
            list.append(QFileInfo(file).fileName());
        }
        return list;
    };
    QCOMPARE(names(scriptfolders::scriptFiles(scriptfolders::shippedChecks())),
             QStringList({"roads-on-water.js", "unknown-terrain.js"}));
    QCOMPARE(names(scriptfolders::scriptFiles(scriptfolders::shippedScripts())),
             QStringList({"mirror-left-right.js", "random-terrain.js", "smooth-terrain.js"}));
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    QCOMPARE(scriptfolders::userChecks(), dir.filePath("ampedit/checks"));
    QCOMPARE(scriptfolders::userScripts(), dir.filePath("ampedit/scripts"));
    // Two folders: their *.js files by name, never a folder, nor another file.
    QDir(dir.path()).mkpath("one/c.js");
    QDir(dir.path()).mkpath("two");
    for (const char* file : {"one/b.js", "two/a.js", "two/notes.txt", "one/d.json"}) {
        QFile made(dir.filePath(file));
        QVERIFY(made.open(QIODevice::WriteOnly));
    }
    QCOMPARE(names(scriptfolders::scriptFiles({dir.filePath("one"), dir.filePath("two"), dir.filePath("none")})),
             QStringList({"a.js", "b.js"}));
}

void ShippedScriptsTest::unknownTerrain() {
    const QString check = shipped(scriptfolders::shippedChecks(), "unknown-terrain.js");
    MapDocument document;
    // Terrain 0-18 everywhere but 19 at [0][1] and 200 at [2][0].
    makeMap(document, 3, 2, [](int layer, int column, int row) {
        if (layer != 0) {
            return 77;
        }
        return column == 0 && row == 1 ? 19 : column == 2 && row == 0 ? 200 : (column * 7 + row) % 19;
    });
    document.layer(0)->setCellText(1, 1, QStringLiteral("abc")); // counts as 0, Clear
    ScriptRunner runner(document);
    const ScriptOutcome outcome = runner.runFile(check);
    QVERIFY2(outcome.ok(), qPrintable(outcome.error));
    QCOMPARE(problemsOf(outcome), QStringList({"0,1: terrain 19 has no name", "2,0: terrain 200 has no name"}));
    QCOMPARE(outcome.problems[0].script, QStringLiteral("unknown-terrain.js"));
    MapDocument clean;
    makeMap(clean, 3, 2, [](int layer, int, int) { return layer == 0 ? 18 : 200; });
    QCOMPARE(ScriptRunner(clean).runFile(check).problems.size(), std::size_t(0));
}

void ShippedScriptsTest::roadsOnWater() {
    const QString check = shipped(scriptfolders::shippedChecks(), "roads-on-water.js");
    // Ocean 6, Lakes 14, Impassable River 12, River 7, Clear 0; roads (layer 6) 1-5.
    const int terrain[] = {6, 14, 12, 7, 0};
    MapDocument document;
    makeMap(document, 5, 1, [&terrain](int layer, int column, int) {
        return layer == 0 ? terrain[column] : layer == 6 ? column + 1 : 0;
    });
    ScriptRunner runner(document);
    QCOMPARE(problemsOf(runner.runFile(check)),
             QStringList({"0,0: a road (1) on Ocean", "1,0: a road (2) on Lakes", "2,0: a road (3) on Impassable River"}));
    // Water without roads, and roads on land, are fine; so is a road in another layer.
    MapDocument clean;
    makeMap(clean, 5, 1, [&terrain](int layer, int column, int) {
        return layer == 0 ? terrain[column] : layer == 6 ? (terrain[column] == 7 || terrain[column] == 0 ? 9 : 0) : 5;
    });
    QCOMPARE(ScriptRunner(clean).runFile(check).problems.size(), std::size_t(0));
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
    ScriptRunner runner(odd);
    const ScriptOutcome outcome = runner.runFile(script);
    QVERIFY2(outcome.ok() && outcome.changed, qPrintable(outcome.error));
    QCOMPARE(terrainRow(odd, 0), QStringLiteral("4 3 3"));
    QCOMPARE(terrainRow(odd, 1), QStringLiteral("3 3 3"));
    QCOMPARE(odd.undoStack()->text(0), QStringLiteral("Script smooth-terrain.js"));
    // Even columns lower: [0][0] (Sand) is among the centre's neighbours.
    MapDocument even;
    make(even);
    ScriptOptions options;
    options.evenColumnsLower = true;
    QVERIFY(!ScriptRunner(even).runFile(script, options).changed);
    // A selection without the centre leaves it.
    MapDocument selected;
    make(selected);
    selected.selection().select(0, {QRect(0, 0, 1, 3)});
    QVERIFY(!ScriptRunner(selected).runFile(script).changed);
    QCOMPARE(terrainRow(selected, 1), QStringLiteral("3 6 3"));
}

void ShippedScriptsTest::randomTerrainFollowsItsSeed() {
    const QString script = shipped(scriptfolders::shippedScripts(), "random-terrain.js");
    const auto terrainAfter = [&script](const QStringList& arguments) {
        MapDocument document;
        makeMap(document, 8, 8, [](int, int, int) { return 1; });
        ScriptOptions options;
        options.arguments = arguments;
        const ScriptOutcome outcome = ScriptRunner(document).runFile(script, options);
        if (!outcome.ok()) {
            return std::vector<std::uint8_t>{};
        }
        return document.encode();
    };
    const std::vector<std::uint8_t> first = terrainAfter({"7"});
    QCOMPARE(first.size(), std::size_t(7 + 64 * 13));
    QVERIFY(terrainAfter({"7"}) == first);
    QVERIFY(terrainAfter({"8"}) != first);
    // Only Clear, Forest, Rough, Sand and Swamp (0, 3, 13, 4, 5), and more than one of them.
    std::set<int> seen;
    for (int hex = 0; hex < 64; ++hex) {
        seen.insert(first[std::size_t(7 + 13 * hex)]);
        QCOMPARE(first[std::size_t(7 + 13 * hex + 1)], 1);
    }
    QVERIFY(seen.size() > 1);
    const std::set<int> defaults = {0, 3, 4, 5, 13};
    QVERIFY(std::includes(defaults.begin(), defaults.end(), seen.begin(), seen.end()));
    const std::vector<std::uint8_t> lakes = terrainAfter({"3", "Lake Region"});
    for (int hex = 0; hex < 64; ++hex) {
        QCOMPARE(lakes[std::size_t(7 + 13 * hex)], 15);
    }
    QVERIFY(terrainAfter({"x"}).empty());
    QVERIFY(terrainAfter({"1", "Moon"}).empty());
}

void ShippedScriptsTest::mirrorLeftRightKeepsTheLattice() {
    const QString script = shipped(scriptfolders::shippedScripts(), "mirror-left-right.js");
    const auto slotValues = [](MapDocument& document, int columns) {
        makeMap(document, columns, 2, [](int layer, int column, int row) { return layer == 0 ? column * 2 + row : 0; });
    };
    // Three columns: column c and 2 - c trade places, row for row.
    MapDocument odd;
    slotValues(odd, 3);
    odd.layer(0)->setCellText(0, 1, QStringLiteral("007"));
    QVERIFY(ScriptRunner(odd).runFile(script).ok());
    QCOMPARE(terrainRow(odd, 0), QStringLiteral("4 2 0"));
    QCOMPARE(terrainRow(odd, 1), QStringLiteral("5 3 007"));
    // Four columns, odd ones lower: column c goes to 3 - c and half a hex down
    // (in half hexes Y = 2 row + lowered goes to Y + 1). [1][1] and [3][1] fall
    // off the bottom; [0][0] and [2][0] are no hex's image and keep 0 and 4.
    MapDocument even;
    slotValues(even, 4);
    const ScriptOutcome outcome = ScriptRunner(even).runFile(script);
    QVERIFY2(outcome.ok(), qPrintable(outcome.error));
    QCOMPARE(terrainRow(even, 0), QStringLiteral("0 4 4 0"));
    QCOMPARE(terrainRow(even, 1), QStringLiteral("6 5 2 1"));
    QCOMPARE(outcome.printed, QStringList{"mirror-left-right: 2 hexes had no image and kept their values"});
}

QTEST_GUILESS_MAIN(ShippedScriptsTest)
#include "tst_shippedscripts.moc"
