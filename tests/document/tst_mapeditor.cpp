// SPDX-License-Identifier: MIT
// The editing session without a window: its file actions, the one current hex,
// the layer on show, Go to Hex, a cancelled stroke, a script run against it, and
// the map compared with (take theirs, swap).
#ifdef AMPEDIT_HAVE_SCRIPTING
#include "jsengine.h"
#endif
#include "mapeditor.h"
#include "mapfileio.h"
#include "mapfiles.h"
#include "scriptrunner.h"

#include <QUndoStack>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A map of `columns` x `rows` whose byte of layer j in record k is k + j.
std::vector<std::uint8_t> countingFile(int columns, int rows) {
    std::vector<std::uint8_t> bytes = {
        7, 0, static_cast<std::uint8_t>(columns), 0, static_cast<std::uint8_t>(rows), 0, 3};
    for (int k = 0; k < columns * rows; ++k) {
        for (int j = 0; j < 13; ++j) {
            bytes.push_back(static_cast<std::uint8_t>(k + j));
        }
    }
    return bytes;
}

} // namespace

class MapEditorTest : public QObject {
    Q_OBJECT

private slots:
    void opensWritesMakesAndReloads();
    void theCurrentHexAndTheLayerHaveOnePlace();
    void goToHexReadsColumnAndRow_data();
    void goToHexReadsColumnAndRow();
    void aCancelledDragLeavesTheCellsAndNoRedo();
    void aScriptDrawsABrushedLineAsOneStep();
    void comparesTakesTheirsAndSwapsThroughTheSession();
};

void MapEditorTest::opensWritesMakesAndReloads() {
    QTemporaryDir dir;
    const auto file = countingFile(3, 2);
    const QString path = written(dir, "three.amp", file);
    MapEditor editor;
    QVERIFY(editor.open(path).ok());
    QCOMPARE(editor.document().layer(4)->cellText(2, 1), QStringLiteral("9")); // record 5, layer 4
    QVERIFY(!editor.hasUnwrittenEdits());
    QVERIFY(editor.document().typeIntoCell(4, 2, 1, QStringLiteral("200")));
    QVERIFY(editor.hasUnwrittenEdits());

    // A failed open changes nothing, edits included.
    const DocumentResult missing = editor.open(dir.filePath("none.amp"));
    QCOMPARE(missing.kind, DocumentResult::Kind::CannotOpen);
    QCOMPARE(editor.document().layer(4)->cellText(2, 1), QStringLiteral("200"));
    QVERIFY(editor.hasUnwrittenEdits());

    const QString copy = dir.filePath("copy.amp");
    QVERIFY(editor.write(copy).ok());
    QVERIFY(!editor.hasUnwrittenEdits());
    auto expected = file;
    expected[7 + 13 * 5 + 4] = 200;
    QVERIFY(contentOf(copy) == expected);

    // The file changed on disk: a reload takes it in one step, written state.
    expected[7 + 4] = 99;
    written(dir, "copy.amp", expected);
    QVERIFY(editor.reload().ok());
    QCOMPARE(editor.document().layer(4)->cellText(0, 0), QStringLiteral("99"));
    QVERIFY(!editor.hasUnwrittenEdits());

    editor.newMap(5, 4);
    QCOMPARE(editor.document().columns(), 5);
    QCOMPARE(editor.document().rows(), 4);
    QCOMPARE(int(editor.document().header().bytes[6]), 3); // the other header bytes stay
    QVERIFY(editor.hasUnwrittenEdits());
}

void MapEditorTest::theCurrentHexAndTheLayerHaveOnePlace() {
    QTemporaryDir dir;
    MapEditor editor;
    QVERIFY(editor.open(written(dir, "map.amp", countingFile(4, 3))).ok());
    QVERIFY(!editor.currentHex());
    QSignalSpy hexes(&editor, &MapEditor::currentHexChanged);
    editor.setCurrentHex(HexCell{3, 1});
    editor.setCurrentHex(HexCell{3, 1}); // the same hex again: no news
    QCOMPARE(hexes.size(), 1);
    QCOMPARE(hexes[0][0].toInt(), 3);
    QCOMPARE(hexes[0][1].toInt(), 1);
    QCOMPARE(editor.selection().currentHex()->column, 3); // the selection is where it lives
    QCOMPARE(editor.selection().currentHex()->row, 1);
    editor.setCurrentHex(HexCell{4, 0}); // the map has columns 0 to 3
    QCOMPARE(editor.currentHex()->column, 3);
    QCOMPARE(hexes.size(), 1);
    // Another map has none.
    QVERIFY(editor.open(written(dir, "other.amp", countingFile(2, 2))).ok());
    QVERIFY(!editor.currentHex());
    QCOMPARE(hexes.size(), 2);
    QCOMPARE(hexes[1][0].toInt(), -1);

    QSignalSpy layers(&editor, &MapEditor::layerChanged);
    editor.stepLayer(-1); // before the first: the last
    QCOMPARE(editor.layer(), 12);
    editor.stepLayer(1);
    QCOMPARE(editor.layer(), 0);
    editor.setLayer(40);
    QCOMPARE(editor.layer(), 12);
    QCOMPARE(layers.size(), 3);
}

void MapEditorTest::goToHexReadsColumnAndRow_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("column"); // -1: refused
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("message");
    const QString noHex = QStringLiteral("names no hex: give its column and row, as in 12,7.");
    QTest::newRow("comma") << "9,7" << 9 << 7 << QString();
    QTest::newRow("space, padded") << "  0   3 " << 0 << 3 << QString();
    QTest::newRow("comma and spaces") << "4 , 5" << 4 << 5 << QString();
    QTest::newRow("two commas") << "4,,5" << -1 << -1 << noHex;
    QTest::newRow("negative") << "-1,2" << -1 << -1 << noHex;
    QTest::newRow("one number") << "12" << -1 << -1 << noHex;
    QTest::newRow("empty") << "" << -1 << -1 << noHex;
    QTest::newRow("past the columns")
        << "10,0" << -1 << -1
        << "There is no hex 10,0: the map has 10 columns and 8 rows (hexes 0,0 to 9,7).";
    QTest::newRow("past the rows") << "0,8" << -1 << -1 << "There is no hex 0,8";
}

void MapEditorTest::goToHexReadsColumnAndRow() {
    QFETCH(QString, text);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QString, message);
    QTemporaryDir dir;
    MapEditor editor;
    QVERIFY(editor.open(written(dir, "ten.amp", countingFile(10, 8))).ok());
    editor.setCurrentHex(HexCell{1, 1});
    const DocumentResult went = editor.goToHex(text);
    QCOMPARE(went.ok(), column >= 0);
    QVERIFY2(went.message.contains(message), qPrintable(went.message));
    QCOMPARE(editor.currentHex()->column, column >= 0 ? column : 1); // a refusal keeps the hex
    QCOMPARE(editor.currentHex()->row, column >= 0 ? row : 1);
}

void MapEditorTest::aCancelledDragLeavesTheCellsAndNoRedo() {
    QTemporaryDir dir;
    const auto file = countingFile(5, 5);
    MapEditor editor;
    QVERIFY(editor.open(written(dir, "five.amp", file)).ok());
    editor.setLayer(3);
    editor.setBrushText(QStringLiteral("250"));
    editor.setBrushRadius(1);
    editor.beginStroke();
    QVERIFY(editor.paintDab(HexCell{2, 2}).ok());
    QCOMPARE(editor.document().layer(3)->cellText(2, 1), QStringLiteral("250")); // above: within 1
    QVERIFY(editor.paintDab(HexCell{2, 3}).ok());
    editor.cancelStroke();
    QVERIFY(editor.document().encode() == file);
    QVERIFY(!editor.document().undoStack()->canRedo());
    QVERIFY(!editor.document().undoStack()->canUndo());
    QVERIFY(!editor.hasUnwrittenEdits());
}

// map.line in the layout the session holds (a run against a session takes its
// layout): a line down column 2, widened by a radius of 1, reaches the hexes of
// columns 1 and 3 beside it, which depend on which columns are lower. The whole
// run is one undo step.
void MapEditorTest::aScriptDrawsABrushedLineAsOneStep() {
#ifndef AMPEDIT_HAVE_SCRIPTING
    QSKIP("this build has no JavaScript engine");
#else
    QTemporaryDir dir;
    const auto file = countingFile(6, 7);
    MapEditor editor;
    QVERIFY(editor.open(written(dir, "six.amp", file)).ok());
    editor.setEvenColumnsLower(true);
    ScriptRunner runner(editor, linkedScriptEngine);
    ScriptOptions options;
    options.evenColumnsLower = false; // the session's layout holds, not the options'
    const ScriptOutcome outcome = runner.run(QStringLiteral("print(map.line(0, [2, 2], [2, 3], 77, 1));"),
                                             QStringLiteral("line.js"), options);
    QVERIFY2(outcome.ok() && outcome.changed, qPrintable(outcome.error));
    // Column 2 rows 1..4, and with even columns half a hex lower, rows 2..4 of
    // columns 1 and 3 beside hexes 2,2 and 2,3.
    QCOMPARE(outcome.printed, QStringList{QStringLiteral("10")});
    const MapDocument& document = editor.document();
    for (int column = 0; column < 6; ++column) {
        for (int row = 0; row < 7; ++row) {
            const bool painted = (column == 2 && row >= 1 && row <= 4) ||
                                 ((column == 1 || column == 3) && row >= 2 && row <= 4);
            QCOMPARE(document.layer(0)->cellText(column, row) == QStringLiteral("77"), painted);
        }
    }
    QCOMPARE(editor.document().undoStack()->count(), 1);
    editor.document().undoStack()->undo();
    QVERIFY(editor.document().encode() == file);
#endif
}

void MapEditorTest::comparesTakesTheirsAndSwapsThroughTheSession() {
    QTemporaryDir dir;
    const auto mine = countingFile(3, 2);
    auto theirs = mine;
    theirs[7 + 1 * 13 + 0] = 200;
    theirs[7 + 1 * 13 + 5] = 201;
    theirs[7 + 5 * 13 + 3] = 222;
    const QString minePath = written(dir, "mine.amp", mine);
    const QString theirPath = written(dir, "theirs.amp", theirs);
    MapEditor editor;
    QVERIFY(editor.open(minePath).ok());
    QSignalSpy changed(&editor, &MapEditor::comparisonChanged);

    // A file that cannot be read starts no comparison.
    QVERIFY(!editor.compareWith(dir.filePath("none.amp")).ok());
    QVERIFY(!editor.isComparing());
    QCOMPARE(changed.count(), 0);
    QVERIFY(editor.takeTheirs(MapComparison::Scope::All).isEmpty());

    QVERIFY(editor.compareWith(theirPath).ok());
    QVERIFY(editor.isComparing());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(editor.comparedMap().fileName(), theirPath);
    QCOMPARE(editor.comparison()->cellCount(), std::size_t(3));
    QCOMPARE(editor.comparison()->hexCount(), 2);

    // Hex takes every layer of the current hex, and only of it.
    QVERIFY(editor.takeTheirs(MapComparison::Scope::Hex).isEmpty()); // no current hex yet
    editor.setCurrentHex(HexCell{2, 1});
    const QString taken = editor.takeTheirs(MapComparison::Scope::Hex);
    QVERIFY(!taken.isEmpty());
    QCOMPARE(editor.document().undoStack()->undoText(), taken);
    QCOMPARE(editor.document().layer(3)->cellText(2, 1), QStringLiteral("222"));
    QCOMPARE(editor.document().layer(0)->cellText(0, 1), QStringLiteral("1")); // record 1, layer 0
    QCOMPARE(editor.comparison()->cellCount(), std::size_t(2));
    QVERIFY(editor.takeTheirs(MapComparison::Scope::Hex).isEmpty()); // the maps agree there now
    editor.document().undoStack()->undo();
    QCOMPARE(editor.document().layer(3)->cellText(2, 1), QStringLiteral("8")); // record 5, layer 3
    QCOMPARE(editor.comparison()->cellCount(), std::size_t(3));

    // Layer takes the layer on show only: hex 0,1 gets 201 on layer 5, keeps 1 on layer 0.
    editor.setLayer(5);
    QVERIFY(!editor.takeTheirs(MapComparison::Scope::Layer).isEmpty());
    QCOMPARE(editor.document().layer(5)->cellText(0, 1), QStringLiteral("201"));
    QCOMPARE(editor.document().layer(0)->cellText(0, 1), QStringLiteral("1"));
    QCOMPARE(editor.document().layer(3)->cellText(2, 1), QStringLiteral("8"));
    QCOMPARE(editor.comparison()->cellCount(), std::size_t(2));

    // Swap: theirs is edited, as on disk; mine, as on disk, is compared with.
    QVERIFY(editor.swapCompared().ok());
    QCOMPARE(editor.document().fileName(), theirPath);
    QCOMPARE(editor.comparedMap().fileName(), minePath);
    QCOMPARE(editor.document().layer(0)->cellText(0, 1), QStringLiteral("200"));
    QCOMPARE(editor.document().layer(3)->cellText(2, 1), QStringLiteral("222"));
    QCOMPARE(editor.comparison()->cellCount(), std::size_t(3));
    QCOMPARE(editor.comparison()->otherByte(0, 0, 1), std::uint8_t(1));
    QVERIFY(!editor.hasUnwrittenEdits());
    // All takes mine back into theirs, cell for cell: the bytes are mine's.
    QVERIFY(!editor.takeTheirs(MapComparison::Scope::All).isEmpty());
    const QString mineAgain = dir.filePath("mine-again.amp");
    QVERIFY(editor.write(mineAgain).ok());
    QCOMPARE(contentOf(mineAgain), mine);

    // A map without a file cannot be swapped: nothing changes.
    editor.newMap(2, 2);
    const DocumentResult refused = editor.swapCompared();
    QCOMPARE(refused.kind, DocumentResult::Kind::Failed);
    QVERIFY(editor.document().fileName().isEmpty());
    QCOMPARE(editor.document().columns(), 2);

    const int before = changed.count();
    editor.stopComparing();
    QVERIFY(!editor.isComparing());
    QVERIFY(editor.comparison() == nullptr);
    QCOMPARE(changed.count(), before + 1);
    QVERIFY(editor.takeTheirs(MapComparison::Scope::All).isEmpty());
    QVERIFY(!editor.swapCompared().ok());
}

QTEST_GUILESS_MAIN(MapEditorTest)
#include "tst_mapeditor.moc"
