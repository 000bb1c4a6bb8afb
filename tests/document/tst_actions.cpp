// SPDX-License-Identifier: MIT
// The document's actions without a window: reading and writing files, reload
// and recovery, flood fill and the selection, and paint strokes interleaved with
// undo, typing and reloads.
#include "celledits.h"
#include "mapdocument.h"
#include "mapfileio.h"
#include "mapfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Byte j of record k: every byte tells where it stands.
std::uint8_t patternByte(int record, int layer) {
    return static_cast<std::uint8_t>((record * 13 + layer * 7 + 1) % 256);
}

std::vector<std::uint8_t> patternFile(int columns, int rows, std::uint8_t first = 0x2A) {
    std::vector<std::uint8_t> bytes = {
        first, 0, static_cast<std::uint8_t>(columns), 0, static_cast<std::uint8_t>(rows), 0, 5};
    for (int k = 0; k < columns * rows; ++k) {
        for (int j = 0; j < 13; ++j) {
            bytes.push_back(patternByte(k, j));
        }
    }
    return bytes;
}

// The byte of layer `layer` for [column][row] in a file of `rows` rows.
std::size_t at(int column, int row, int rows, int layer) {
    return 7 + 13 * static_cast<std::size_t>(column * rows + row) + static_cast<std::size_t>(layer);
}

QString byteText(int value) {
    return QString::number(value);
}

} // namespace

class ActionsTest : public QObject {
    Q_OBJECT

private slots:
    void readAndWriteTellWhatWentWrong();
    void nothingBeforeAMapCountsAsWritten();
    void aMapReadAfterANewOneIsWritten();
    void reloadIsOneStepWhateverTheShape();
    void recoveryIsOneStepAboveTheFileOnDisk();
    void everyLoadGivesASelectionOfTheNewShape();
    void floodFillTakesTheRegionUnlessMoreIsSelected();
    void replaceCountsFirstAndLeavesTypedTexts();
    void blocksAreTakenPastedAndCut();
    void aFillChangesTheCellsNamedOnly();
    void aStrokeIsOneStepMergedDabByDab();
    void undoTypingAndReloadEndAStroke();
    void aStrokeNeverMergesIntoTheWrittenState();
    void aCancelledStrokeLeavesNoRedoStep();
    void resizeKeepsTheAnchoredPartInOneStep();
};

void ActionsTest::readAndWriteTellWhatWentWrong() {
    QTemporaryDir dir;
    MapDocument document;
    QSignalSpy resets(&document, &MapDocument::mapReset);
    QCOMPARE(document.read(dir.filePath("missing.amp")).kind, DocumentResult::Kind::CannotOpen);
    QCOMPARE(document.read(written(dir, "short.amp", {1, 2, 3})).kind, DocumentResult::Kind::NotAMap);
    QCOMPARE(document.read(dir.path()).kind, DocumentResult::Kind::CannotOpen); // a folder
    QVERIFY(!document.hasMap());
    QCOMPARE(resets.count(), 0);

    const QString map = written(dir, "four.amp", patternFile(4, 3));
    QSignalSpy known(&document, &MapDocument::diskContentKnown);
    QVERIFY(document.read(map).ok());
    QVERIFY(document.hasMap());
    QCOMPARE(resets.count(), 1);
    QCOMPARE(known.count(), 1);
    QCOMPARE(document.fileName(), map);
    QCOMPARE(document.layer(6)->cellText(1, 2), byteText(patternByte(5, 6)));
    // A failed read after a good one changes nothing.
    document.typeIntoCell(0, 0, 0, QStringLiteral("77"));
    QVERIFY(!document.read(dir.filePath("missing.amp")).ok());
    QCOMPARE(document.layer(0)->cellText(0, 0), QStringLiteral("77"));
    QVERIFY(document.isModified());

    // A write into a missing folder fails and keeps the edits unwritten; a good
    // one is the written state.
    const DocumentResult refused = document.write(dir.filePath("no/such/folder/x.amp"));
    QVERIFY(!refused.ok());
    QVERIFY(!refused.message.isEmpty());
    QVERIFY(document.isModified());
    QCOMPARE(document.fileName(), map);
    const QString copy = dir.filePath("copy.amp");
    QVERIFY(document.write(copy).ok());
    QVERIFY(!document.isModified());
    QCOMPARE(document.fileName(), copy);
    auto expected = patternFile(4, 3);
    expected[at(0, 0, 3, 0)] = 77;
    QVERIFY(contentOf(copy) == expected);
}

void ActionsTest::nothingBeforeAMapCountsAsWritten() {
    QTemporaryDir dir;
    MapDocument document;
    // The layers hold the empty cells the views show before a map; typing into
    // them is a change, but no map holds those cells.
    document.setBlankShape(39, 34);
    QVERIFY(document.typeIntoCell(0, 2, 2, QStringLiteral("9")));
    document.beginStroke(0, QStringLiteral("5"));
    QVERIFY(!document.isStroking());
    QCOMPARE(document.paintDab({{1, 1}}).kind, DocumentResult::Kind::NoStroke);
    QCOMPARE(document.layer(0)->cellText(1, 1), QString());
    const QString path = dir.filePath("empty.amp");
    const DocumentResult result = document.write(path);
    QVERIFY(result.ok());
    QVERIFY(!result.note.isEmpty());
    QVERIFY(contentOf(path) == std::vector<std::uint8_t>(7, 0));
    QVERIFY(document.isModified()); // what was typed is not in the file
    QCOMPARE(document.fileName(), path);
}

// A new map is unwritten until written; a map read after it is what its file
// holds, with nothing unwritten (and so no recovery copy to keep).
void ActionsTest::aMapReadAfterANewOneIsWritten() {
    QTemporaryDir dir;
    MapDocument document;
    document.newMap(3, 2);
    QVERIFY(document.isModified());
    QSignalSpy modified(&document, &MapDocument::modifiedChanged);
    QVERIFY(
        document.read(written(dir, "m.amp", {0, 0, 1, 0, 1, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}))
            .ok());
    QVERIFY(!document.isModified());
    QVERIFY(!modified.isEmpty() && !modified.last().at(0).toBool());
    document.newMap(2, 2);
    QVERIFY(document.isModified());
}

void ActionsTest::reloadIsOneStepWhateverTheShape() {
    QTemporaryDir dir;
    const QString map = written(dir, "map.amp", patternFile(4, 3));
    MapDocument document;
    QVERIFY(document.read(map).ok());
    document.typeIntoCell(2, 3, 2, QStringLiteral("abc"));
    const auto mine = document.encode();

    // The same shape: the cells change in one step, the written state.
    auto same = patternFile(4, 3);
    same[at(1, 1, 3, 4)] = 200;
    written(dir, "map.amp", same);
    QVERIFY(document.reloadFromDisk().ok());
    QVERIFY(document.encode() == same);
    QVERIFY(!document.isModified());
    QCOMPARE(document.undoStack()->count(), 2);
    document.undoStack()->undo();
    QCOMPARE(document.layer(2)->cellText(3, 2), QStringLiteral("abc"));
    QVERIFY(document.isModified());

    // Another shape: the header and every layer change in one step, undone whole.
    const auto other = patternFile(3, 5, 0x11);
    written(dir, "map.amp", other);
    QSignalSpy resets(&document, &MapDocument::mapReset);
    QVERIFY(document.reloadFromDisk().ok());
    QCOMPARE(resets.count(), 1);
    QCOMPARE(document.columns(), 3);
    QCOMPARE(document.rows(), 5);
    QCOMPARE(document.layer(12)->columns(), 3);
    QVERIFY(document.encode() == other);
    QVERIFY(!document.isModified());
    QVERIFY(document.undoStack()->canUndo());
    document.undoStack()->undo();
    QCOMPARE(resets.count(), 2);
    QCOMPARE(document.columns(), 4);
    QCOMPARE(int(document.header().bytes[0]), 0x2A);
    QCOMPARE(document.layer(2)->cellText(3, 2), QStringLiteral("abc"));
    QVERIFY(document.encode() == mine);
    QVERIFY(document.isModified());
    document.undoStack()->redo();
    QVERIFY(document.encode() == other);
    QVERIFY(!document.isModified());

    // A file that is no map any more is refused and changes nothing.
    written(dir, "map.amp", {1, 2});
    QCOMPARE(document.reloadFromDisk().kind, DocumentResult::Kind::NotAMap);
    QVERIFY(document.encode() == other);
}

void ActionsTest::recoveryIsOneStepAboveTheFileOnDisk() {
    QTemporaryDir dir;
    const auto disk = patternFile(4, 3);
    const QString map = written(dir, "map.amp", disk);
    auto copy = disk;
    copy[at(2, 0, 3, 7)] = 99;
    MapDocument document;
    QVERIFY(document.recover(copy, {{5, 4, QStringLiteral("007")}}, map).ok());
    QCOMPARE(document.fileName(), map);
    QCOMPARE(document.undoStack()->count(), 1);
    QVERIFY(document.isModified());
    QCOMPARE(document.layer(7)->cellText(2, 0), QStringLiteral("99"));
    QCOMPARE(document.layer(5)->cellText(1, 1), QStringLiteral("007")); // slot 4 of 3 rows
    document.undoStack()->undo();
    QVERIFY(document.encode() == disk);
    QVERIFY(!document.isModified());

    // The file gone: the step sits above a map of zeros of the copy's shape.
    MapDocument orphan;
    QVERIFY(orphan.recover(copy, {}, dir.filePath("gone.amp")).ok());
    QCOMPARE(orphan.layer(7)->cellText(2, 0), QStringLiteral("99"));
    orphan.undoStack()->undo();
    QCOMPARE(orphan.layer(7)->cellText(2, 0), QStringLiteral("0"));
    QVERIFY(!MapDocument().recover({1, 2, 3}, {}, map).ok());
}

void ActionsTest::everyLoadGivesASelectionOfTheNewShape() {
    QTemporaryDir dir;
    MapDocument document;
    QVERIFY(document.read(written(dir, "small.amp", patternFile(3, 2))).ok());
    document.selection().select(0, {QRect(0, 0, 5, 5)}); // cut to the map
    document.selection().setCurrentHex(HexCell{2, 1});
    QCOMPARE(document.selection().cellCount(), 6);
    QCOMPARE(document.selection().mask().size(), std::size_t{6});
    QSignalSpy changed(&document.selection(), &MapSelection::changed);
    QVERIFY(document.read(written(dir, "large.amp", patternFile(40, 30))).ok());
    QCOMPARE(changed.count(), 1);
    QVERIFY(document.selection().isEmpty());
    QVERIFY(!document.selection().currentHex());
    QCOMPARE(document.selection().columns(), 40);
    document.selection().select(0, {QRect(38, 28, 4, 4)});
    const auto mask = document.selection().mask();
    QCOMPARE(mask.size(), std::size_t{1200});
    QCOMPARE(std::count(mask.begin(), mask.end(), true), 4L);
    QVERIFY(mask[39 * 30 + 29]);
    // So does a new map.
    document.newMap(255, 30);
    QVERIFY(document.selection().isEmpty());
    QCOMPARE(document.selection().rows(), 30);
}

void ActionsTest::floodFillTakesTheRegionUnlessMoreIsSelected() {
    // A 5 x 4 map of Forest (3) with a wall of Rough (13) down column 2, but for
    // [2][3]: the two sides meet there.
    amp::MapImage map = amp::makeMap({}, 5, 4);
    for (int column = 0; column < 5; ++column) {
        for (int row = 0; row < 4; ++row) {
            map.records[static_cast<std::size_t>(column * 4 + row)][0] = column == 2 && row < 3 ? 13 : 3;
        }
    }
    MapDocument document;
    document.load(map, QStringLiteral("forest.amp"));
    // A selection of one hex is no limit: the whole region of 17 Forest hexes.
    document.selection().select(0, {QRect(0, 0, 1, 1)});
    QVERIFY(document.floodFill(0, 0, 0, false, QStringLiteral("6")).ok());
    QCOMPARE(document.undoStack()->undoText(), QStringLiteral("Fill 17 hexes"));
    QCOMPARE(document.layer(0)->cellText(4, 0), QStringLiteral("6"));
    QCOMPARE(document.layer(0)->cellText(2, 0), QStringLiteral("13"));
    document.undoStack()->undo();
    // A larger selection holds the fill inside it.
    document.selection().select(0, {QRect(0, 0, 2, 2)});
    QVERIFY(document.floodFill(0, 1, 1, false, QStringLiteral("6")).ok());
    QCOMPARE(document.undoStack()->undoText(), QStringLiteral("Fill 4 hexes"));
    QCOMPARE(document.layer(0)->cellText(0, 2), QStringLiteral("3"));
    QCOMPARE(document.floodFill(0, 4, 3, false, QStringLiteral("6")).kind, DocumentResult::Kind::Unchanged);
    QCOMPARE(document.floodFill(0, 9, 9, false, QStringLiteral("6")).kind, DocumentResult::Kind::Unchanged);
    // A selection made on another layer does not hold this one.
    document.selection().select(4, {QRect(0, 0, 2, 2)});
    QVERIFY(document.floodFill(0, 4, 3, false, QStringLiteral("7")).ok());
    QCOMPARE(document.layer(0)->cellText(0, 3), QStringLiteral("7"));
}

void ActionsTest::replaceCountsFirstAndLeavesTypedTexts() {
    // 4 x 3, layer 6: [0][*] and [2][1] hold 8, [1][0] the typed "008".
    amp::MapImage map = amp::makeMap({}, 4, 3);
    for (const auto& [column, row] : {std::pair{0, 0}, {0, 1}, {0, 2}, {2, 1}}) {
        map.records[static_cast<std::size_t>(column * 3 + row)][6] = 8;
    }
    map.records[5][2] = 8; // another layer
    MapDocument document;
    document.load(map, QStringLiteral("eight.amp"));
    document.typeIntoCell(6, 1, 0, QStringLiteral("008"));
    ReplaceRequest request{8, 9, ReplaceRequest::Scope::Layer};
    QCOMPARE(celledits::countReplace(document, 6, request), 4);
    request.scope = ReplaceRequest::Scope::AllLayers;
    QCOMPARE(celledits::countReplace(document, 6, request), 5);
    request.scope = ReplaceRequest::Scope::Selection;
    document.selection().select(6, {QRect(0, 1, 3, 2)});
    QCOMPARE(celledits::countReplace(document, 6, request), 3);
    QCOMPARE(document.undoStack()->count(), 1); // counting changes nothing
    QCOMPARE(celledits::replace(document, 6, request), QStringLiteral("Replace 8 → 9 in 3 hexes"));
    QCOMPARE(document.layer(6)->cellText(0, 0), QStringLiteral("8"));
    QCOMPARE(document.layer(6)->cellText(0, 2), QStringLiteral("9"));
    QCOMPARE(document.layer(6)->cellText(1, 0), QStringLiteral("008"));
    QCOMPARE(celledits::replace(document, 6, {8, 8, ReplaceRequest::Scope::Layer}), QString());
    // The cells of one text, as runs down each column.
    const auto runs = celledits::sameValue(document, 6, 0, 0);
    QCOMPARE(runs, (std::vector<QRect>{QRect(0, 0, 1, 1)}));
    QCOMPARE(
        celledits::sameValue(document, 6, 3, 0),
        (std::vector<QRect>{QRect(1, 1, 1, 2), QRect(2, 0, 1, 1), QRect(2, 2, 1, 1), QRect(3, 0, 1, 3)}));
    QVERIFY(celledits::sameValue(document, 6, 4, 0).empty());
    // A typed text counts by its text, never by the byte it is stored with: of
    // the cells that read 0, the typed "008" is not one.
    QCOMPARE(celledits::countReplace(document, 6, {0, 1, ReplaceRequest::Scope::Layer}), 7);
}

void ActionsTest::blocksAreTakenPastedAndCut() {
    MapDocument document;
    document.load(amp::decodeMap(patternFile(4, 3)).value(), QStringLiteral("map.amp"));
    const CellBlock one = celledits::takeBlock(document, 3, QRect(1, 1, 2, 2), false);
    QCOMPARE(one.columns, 2);
    QCOMPARE(one.layers, 1);
    QCOMPARE(one.bytes, (std::vector<std::uint8_t>{patternByte(4, 3), patternByte(5, 3), patternByte(7, 3),
                                                   patternByte(8, 3)}));
    QCOMPARE(celledits::takeBlock(document, 0, QRect(3, 2, 5, 5), true).bytes.size(), std::size_t{13});
    // Pasted at [3][2]: one cell fits, the rest lies beyond the edge.
    const celledits::Pasted pasted = celledits::paste(document, 0, 3, 2, one);
    QCOMPARE(pasted.columns, 1);
    QCOMPARE(pasted.rows, 1);
    QVERIFY(pasted.clipped);
    QCOMPARE(document.layer(0)->cellText(3, 2), byteText(patternByte(4, 3)));
    QCOMPARE(document.undoStack()->undoText(), QStringLiteral("Paste 1 hex"));
    QVERIFY(celledits::cut(document, 5, {QRect(0, 0, 2, 1)}));
    QCOMPARE(document.undoStack()->undoText(), QStringLiteral("Cut 2 hexes"));
    QCOMPARE(document.layer(5)->cellText(1, 0), QStringLiteral("0"));
    QCOMPARE(document.layer(5)->cellText(0, 1), byteText(patternByte(1, 5)));
}

void ActionsTest::aStrokeIsOneStepMergedDabByDab() {
    amp::MapImage map = amp::makeMap({}, 6, 4);
    MapDocument document;
    document.load(map, QStringLiteral("six.amp"));
    document.typeIntoCell(1, 0, 0, QStringLiteral("007"));
    document.typeIntoCell(1, 1, 0, QString());
    const auto before = document.encode();
    document.beginStroke(1, QStringLiteral("13"));
    QVERIFY(document.isStroking());
    QVERIFY(document.paintDab({{0, 0}, {1, 0}}).ok());
    QCOMPARE(document.undoStack()->count(), 3);
    QVERIFY(document.paintDab({{1, 0}, {5, 3}, {9, 9}, {2, 2}}).ok()); // [1][0] again, one outside
    QCOMPARE(document.paintDab({{5, 3}}).kind, DocumentResult::Kind::Unchanged);
    document.endStroke();
    QCOMPARE(document.paintDab({{4, 0}}).kind, DocumentResult::Kind::NoStroke);
    QCOMPARE(document.undoStack()->count(), 3);
    QCOMPARE(document.undoStack()->undoText(), QStringLiteral("Paint 4 hexes"));
    for (const HexCell cell : {HexCell{0, 0}, HexCell{1, 0}, HexCell{5, 3}, HexCell{2, 2}}) {
        QCOMPARE(document.layer(1)->cellText(cell.column, cell.row), QStringLiteral("13"));
    }
    QCOMPARE(document.layer(1)->cellText(4, 0), QStringLiteral("0"));
    document.undoStack()->undo();
    QVERIFY(document.encode() == before);
    QCOMPARE(document.layer(1)->cellText(0, 0), QStringLiteral("007"));
    QCOMPARE(document.layer(1)->cellText(1, 0), QString());
    document.undoStack()->redo();
    QCOMPARE(document.layer(1)->cellText(1, 0), QStringLiteral("13"));
    QCOMPARE(document.layer(1)->cellText(2, 2), QStringLiteral("13"));
    // The next stroke is a step of its own.
    document.beginStroke(1, QStringLiteral("13"));
    document.paintDab({{3, 3}});
    document.endStroke();
    QCOMPARE(document.undoStack()->count(), 4);
    QCOMPARE(document.undoStack()->undoText(), QStringLiteral("Paint 1 hex"));
}

void ActionsTest::undoTypingAndReloadEndAStroke() {
    QTemporaryDir dir;
    const auto file = patternFile(4, 3);
    const QString map = written(dir, "map.amp", file);
    MapDocument document;
    QVERIFY(document.read(map).ok());
    const QString fromFile = byteText(patternByte(7, 0)); // [2][1]

    // Typing, a stroke begun on the same hex, undo while the button is held: the
    // undo takes the stroke back and ends it; the next undo takes the typing.
    document.typeIntoCell(0, 2, 1, QStringLiteral("5"));
    document.beginStroke(0, QStringLiteral("9"));
    QVERIFY(document.paintDab({{2, 1}}).ok());
    document.undoStack()->undo();
    QVERIFY(!document.isStroking());
    QCOMPARE(document.layer(0)->cellText(2, 1), QStringLiteral("5"));
    QCOMPARE(document.paintDab({{3, 1}}).kind, DocumentResult::Kind::NoStroke);
    document.endStroke();
    QCOMPARE(document.layer(0)->cellText(3, 1), byteText(patternByte(10, 0)));
    document.undoStack()->undo();
    QCOMPARE(document.layer(0)->cellText(2, 1), fromFile);
    QVERIFY(!document.isModified());
    QVERIFY(document.encode() == file);
    document.undoStack()->redo(); // the typing's redo is still there
    QCOMPARE(document.layer(0)->cellText(2, 1), QStringLiteral("5"));

    // Typing during a stroke ends it: the stroke and the typing are two steps.
    document.beginStroke(0, QStringLiteral("9"));
    document.paintDab({{0, 0}});
    document.typeIntoCell(4, 0, 0, QStringLiteral("1"));
    QCOMPARE(document.paintDab({{0, 1}}).kind, DocumentResult::Kind::NoStroke);
    QCOMPARE(document.undoStack()->count(), 3);
    document.undoStack()->undo();
    QCOMPARE(document.layer(0)->cellText(0, 0), QStringLiteral("9"));
    document.undoStack()->undo();
    QCOMPARE(document.layer(0)->cellText(0, 0), byteText(patternByte(0, 0)));

    // A reload during a stroke ends it and holds what the disk holds; undo gives
    // the stroke's cells back, as unwritten edits.
    document.beginStroke(0, QStringLiteral("9"));
    document.paintDab({{1, 1}});
    auto changed = file;
    changed[at(3, 2, 3, 0)] = 42;
    written(dir, "map.amp", changed);
    QVERIFY(document.reloadFromDisk().ok());
    QCOMPARE(document.paintDab({{1, 2}}).kind, DocumentResult::Kind::NoStroke);
    document.endStroke();
    QVERIFY(document.encode() == changed);
    QVERIFY(!document.isModified());
    document.undoStack()->undo();
    QCOMPARE(document.layer(0)->cellText(1, 1), QStringLiteral("9"));
    QCOMPARE(document.layer(0)->cellText(3, 2), byteText(patternByte(11, 0)));
    QVERIFY(document.isModified());
    // And a read ends it too.
    document.beginStroke(0, QStringLiteral("9"));
    QVERIFY(document.read(map).ok());
    QVERIFY(!document.isStroking());
}

void ActionsTest::aStrokeNeverMergesIntoTheWrittenState() {
    QTemporaryDir dir;
    MapDocument document;
    QVERIFY(document.read(written(dir, "map.amp", patternFile(4, 3))).ok());
    document.beginStroke(3, QStringLiteral("200"));
    document.paintDab({{0, 0}});
    QVERIFY(document.write(dir.filePath("map.amp")).ok()); // Ctrl+S with the button held
    document.paintDab({{1, 0}});
    document.endStroke();
    QCOMPARE(document.undoStack()->count(), 2);
    QVERIFY(document.isModified());
    document.undoStack()->undo();
    QVERIFY(!document.isModified());
    QCOMPARE(document.layer(3)->cellText(0, 0), QStringLiteral("200"));
    QCOMPARE(document.layer(3)->cellText(1, 0), byteText(patternByte(3, 3)));
}

void ActionsTest::aCancelledStrokeLeavesNoRedoStep() {
    QTemporaryDir dir;
    const auto file = patternFile(4, 3);
    MapDocument document;
    QVERIFY(document.read(written(dir, "map.amp", file)).ok());
    // From the written state: the cells go back, nothing is left to redo, and
    // the map is as read.
    document.beginStroke(2, QStringLiteral("77"));
    QVERIFY(document.paintDab({{0, 0}, {1, 1}}).ok());
    QVERIFY(document.paintDab({{3, 2}}).ok());
    document.cancelStroke();
    QVERIFY(!document.isStroking());
    QVERIFY(document.encode() == file);
    QCOMPARE(document.undoStack()->count(), 0);
    QVERIFY(!document.undoStack()->canRedo());
    QVERIFY(!document.isModified());

    // Above a step of its own: that step stays, and stays the one to undo.
    document.typeIntoCell(2, 2, 0, QStringLiteral("abc"));
    document.beginStroke(2, QStringLiteral("77"));
    QVERIFY(document.paintDab({{2, 0}}).ok());
    document.cancelStroke();
    QCOMPARE(document.layer(2)->cellText(2, 0), QStringLiteral("abc"));
    QCOMPARE(document.undoStack()->count(), 1);
    QVERIFY(!document.undoStack()->canRedo());
    QCOMPARE(document.undoStack()->undoText(), QStringLiteral("Typing in hex 2,0"));

    // A stroke that another step already ended is no longer the cancel's.
    document.beginStroke(2, QStringLiteral("77"));
    QVERIFY(document.paintDab({{0, 2}}).ok());
    document.typeIntoCell(5, 0, 0, QStringLiteral("1"));
    document.cancelStroke();
    QCOMPARE(document.undoStack()->count(), 3);
    QCOMPARE(document.layer(2)->cellText(0, 2), QStringLiteral("77"));
}

void ActionsTest::resizeKeepsTheAnchoredPartInOneStep() {
    QTemporaryDir dir;
    const std::vector<std::uint8_t> original = patternFile(3, 2);
    MapDocument document;
    QVERIFY(document.read(written(dir, "three.amp", original)));
    document.typeIntoCell(4, 2, 1, QStringLiteral("007"));
    const std::vector<std::uint8_t> before = document.encode();
    // Grown to 5 x 3 from the bottom right: [c][r] goes to [c + 2][r + 1] (the
    // rule itself is tested on its core, mapedits_test), and the typed text moves
    // as typed.
    QVERIFY(document.resize(5, 3, MapDocument::Anchor::BottomRight));
    QCOMPARE(document.undoStack()->undoText(), QStringLiteral("Resize to 5 × 3"));
    QCOMPARE(document.encode()[at(2, 1, 3, 9)], before[at(0, 0, 2, 9)]);
    QCOMPARE(document.layer(4)->cellText(4, 2), QStringLiteral("007"));
    document.undoStack()->undo();
    QVERIFY(document.encode() == before);
    QCOMPARE(document.layer(4)->cellText(2, 1), QStringLiteral("007"));
    // Shrunk to 1 x 1 about the centre: [1][0] stays ((1 - 3) / 2 = -1 columns,
    // (1 - 2) / 2 = 0 rows).
    QVERIFY(document.resize(1, 1, MapDocument::Anchor::Centre));
    QCOMPARE(int(document.encode()[7]), int(before[at(1, 0, 2, 0)]));
    QCOMPARE(document.encode().size(), std::size_t{7 + 13});
    QCOMPARE(document.resize(1, 1, MapDocument::Anchor::Top).kind, DocumentResult::Kind::Unchanged);
    QVERIFY(!document.resize(256, 1, MapDocument::Anchor::Top));
    QCOMPARE(document.undoStack()->count(), 2);
}

void ActionsTest::aFillChangesTheCellsNamedOnly() {
    MapDocument document;
    document.load(amp::makeMap({}, 3, 2), QStringLiteral("six.amp"));
    // A whole 2 x 2 rectangle, in any order, is one step of four cells.
    QVERIFY(celledits::fill(document, 4, {{1, 1}, {0, 0}, {1, 0}, {0, 1}}, QStringLiteral("7"),
                            QStringLiteral("Fill")));
    for (const auto& [column, row] : {std::pair{0, 0}, {0, 1}, {1, 0}, {1, 1}}) {
        QCOMPARE(document.layer(4)->cellByte(column, row), 7);
    }
    QCOMPARE(document.layer(4)->cellByte(2, 0), 0);
    // Four cells of that rectangle with one named twice: [1][1] keeps its 7.
    QVERIFY(celledits::fill(document, 4, {{0, 0}, {0, 1}, {1, 0}, {0, 0}}, QStringLiteral("9"),
                            QStringLiteral("Fill")));
    QCOMPARE(document.layer(4)->cellByte(0, 0), 9);
    QCOMPARE(document.layer(4)->cellByte(1, 0), 9);
    QCOMPARE(document.layer(4)->cellByte(1, 1), 7);
    QCOMPARE(document.undoStack()->count(), 2);
}

QTEST_MAIN(ActionsTest)
#include "tst_actions.moc"
