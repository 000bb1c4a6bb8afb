// SPDX-License-Identifier: MIT
// The map document alone: every change is one undo step that stores the changed
// cells only, undo and redo give back the very texts, and the clean state follows
// reads and writes.
#include "mapdocument.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A 10 x 8 map whose every byte tells where it stands: byte j of record k.
std::uint8_t patternByte(int record, int layer) {
    return static_cast<std::uint8_t>((record * 13 + layer * 7 + 1) % 256);
}

amp::MapImage patternMap(int columns, int rows) {
    amp::MapImage map;
    map.header.bytes = {0x2A, 0, static_cast<std::uint8_t>(columns), 0, static_cast<std::uint8_t>(rows),
                        0,    5};
    map.records.resize(static_cast<std::size_t>(columns * rows));
    for (int k = 0; k < columns * rows; ++k) {
        for (int j = 0; j < amp::RecordSize; ++j) {
            map.records[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)] = patternByte(k, j);
        }
    }
    return map;
}

} // namespace

class DocumentTest : public QObject {
    Q_OBJECT

private slots:
    void typingIsOneStepThatUndoesAndRedoes();
    void editsThatChangeNothingPushNothing();
    void theCleanStateFollowsReadsAndWrites();
    void aStepTellsTheViewsOnlyWhatChanged();
    void aWholeLayerStepIsExact();
};

void DocumentTest::typingIsOneStepThatUndoesAndRedoes() {
    MapDocument document;
    document.load(patternMap(10, 8), QStringLiteral("ten.amp"));
    LayerModel* heights = document.layer(4);
    const QString original = QString::number(patternByte(8, 4)); // hex 1,0 is record 8
    QCOMPARE(heights->cellText(1, 0), original);

    // Canonical -> typed -> empty -> canonical, each one step.
    QVERIFY(document.typeIntoCell(4, 1, 0, QStringLiteral("007")));
    QVERIFY(document.typeIntoCell(4, 1, 0, QString()));
    QVERIFY(document.typeIntoCell(4, 1, 0, QStringLiteral("7")));
    QUndoStack* stack = document.undoStack();
    QCOMPARE(stack->count(), 3);
    QCOMPARE(stack->undoText(), QStringLiteral("Typing in hex 1,0"));
    QVERIFY(document.isModified());

    stack->undo();
    QCOMPARE(heights->cellText(1, 0), QString());
    stack->undo();
    QCOMPARE(heights->cellText(1, 0), QStringLiteral("007"));
    QCOMPARE(heights->cellValue(1, 0), 7);
    stack->undo();
    QCOMPARE(heights->cellText(1, 0), original);
    QVERIFY(!document.isModified());
    stack->redo();
    stack->redo();
    stack->redo();
    QCOMPARE(heights->cellText(1, 0), QStringLiteral("7"));
    // Only that cell of that layer ever changed.
    const auto bytes = document.encode();
    const auto expected = [] {
        auto file = amp::encodeMap(patternMap(10, 8));
        file[7 + 13 * 8 + 4] = 7;
        return file;
    }();
    QVERIFY(bytes == expected);
}

void DocumentTest::editsThatChangeNothingPushNothing() {
    MapDocument document;
    document.load(patternMap(10, 8), QStringLiteral("ten.amp"));
    QSignalSpy modified(&document, &MapDocument::modifiedChanged);
    const QString same = document.layer(0)->cellText(2, 3);
    QVERIFY(!document.typeIntoCell(0, 2, 3, same));
    QVERIFY(!document.editCells(
        QStringLiteral("outside"),
        {{0, 10, 0, "1"}, {0, 0, 8, "1"}, {13, 0, 0, "1"}, {-1, 0, 0, "1"}, {0, -1, 0, "1"}}));
    QCOMPARE(document.undoStack()->count(), 0);
    QVERIFY(!document.isModified());
    QCOMPARE(modified.count(), 0);

    // Two edits of one cell in one step: the later wins, and a step of several
    // cells is undone whole.
    QVERIFY(document.editCells(QStringLiteral("two"), {{0, 2, 3, "1"}, {0, 2, 3, "2"}, {5, 9, 7, "x"}}));
    QCOMPARE(document.layer(0)->cellText(2, 3), QStringLiteral("2"));
    QCOMPARE(document.layer(5)->cellText(9, 7), QStringLiteral("x"));
    document.undoStack()->undo();
    QCOMPARE(document.layer(0)->cellText(2, 3), same);
    QCOMPARE(document.layer(5)->cellText(9, 7), QString::number(patternByte(79, 5)));
}

void DocumentTest::theCleanStateFollowsReadsAndWrites() {
    MapDocument document;
    QSignalSpy names(&document, &MapDocument::fileNameChanged);
    document.load(patternMap(10, 8), QStringLiteral("a.amp"));
    document.typeIntoCell(0, 0, 0, QStringLiteral("3"));
    document.markWritten(QStringLiteral("b.amp"));
    QVERIFY(!document.isModified());
    QCOMPARE(document.fileName(), QStringLiteral("b.amp"));
    QCOMPARE(names.count(), 2);
    // Undoing past the written state is a change again; redoing back is not.
    document.undoStack()->undo();
    QVERIFY(document.isModified());
    document.undoStack()->redo();
    QVERIFY(!document.isModified());

    document.typeIntoCell(0, 0, 0, QStringLiteral("4"));
    document.load(patternMap(3, 2), QStringLiteral("c.amp"));
    QVERIFY(!document.isModified());
    QCOMPARE(document.undoStack()->count(), 0);
    QCOMPARE(document.columns(), 3);
    QCOMPARE(document.layer(0)->cellText(0, 0), QString::number(patternByte(0, 0)));
}

void DocumentTest::aStepTellsTheViewsOnlyWhatChanged() {
    MapDocument document;
    document.load(patternMap(10, 8), QStringLiteral("ten.amp"));
    QSignalSpy changed(document.layer(6), &QAbstractItemModel::dataChanged);
    document.typeIntoCell(6, 4, 5, QStringLiteral("99"));
    document.undoStack()->undo();
    QCOMPARE(changed.count(), 2);
    for (const auto& signal : changed) {
        const auto from = signal[0].toModelIndex();
        const auto to = signal[1].toModelIndex();
        QCOMPARE(QPoint(from.column(), from.row()), QPoint(4, 5));
        QCOMPARE(QPoint(to.column(), to.row()), QPoint(4, 5));
    }
    // A step across columns covers those columns, whole.
    changed.clear();
    document.editCells(QStringLiteral("two columns"), {{6, 2, 7, "1"}, {6, 3, 1, "1"}});
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), document.layer(6)->index(0, 2));
    QCOMPARE(changed[0][1].toModelIndex(), document.layer(6)->index(7, 3));
}

void DocumentTest::aWholeLayerStepIsExact() {
    MapDocument document;
    document.load(patternMap(255, 255), QStringLiteral("largest.amp"));
    document.typeIntoCell(9, 17, 4, QStringLiteral("abc")); // a typed text among the canonical ones
    const auto before = document.encode();
    std::vector<CellEdit> edits;
    std::size_t changing = 0;
    for (int column = 0; column < 255; ++column) {
        for (int row = 0; row < 255; ++row) {
            const bool negative = column == 0; // a few typed texts among canonical ones
            edits.push_back({9, column, row, negative ? QStringLiteral("-1") : QStringLiteral("9")});
            const bool typed = column == 17 && row == 4;
            changing += negative || typed || patternByte(column * 255 + row, 9) != 9 ? 1 : 0;
        }
    }
    auto step = std::make_unique<SetCellsCommand>(document, QStringLiteral("all"), edits);
    QCOMPARE(step->cellCount(), changing);
    QVERIFY(changing > 64000);
    document.undoStack()->push(step.release());
    const auto after = document.encode();
    QCOMPARE(int(after[amp::recordOffset(0) + 9]), 255); // "-1"
    QCOMPARE(int(after[amp::recordOffset(255) + 9]), 9);
    QCOMPARE(document.layer(9)->cellText(0, 0), QStringLiteral("-1"));
    document.undoStack()->undo();
    QVERIFY(document.encode() == before);
    QCOMPARE(document.layer(9)->cellText(17, 4), QStringLiteral("abc"));
    document.undoStack()->redo();
    QVERIFY(document.encode() == after);

    // A step that leaves every cell canonical, over typed texts and over a layer
    // still reading the file's bytes: the texts go, and come back on undo.
    std::vector<CellEdit> canonical;
    for (int column = 0; column < 255; column += 2) { // every other column, in runs
        for (int row = 0; row < 255; ++row) {
            canonical.push_back({9, column, row, QStringLiteral("5")});
            canonical.push_back({3, column, row, QStringLiteral("6")});
        }
    }
    QVERIFY(document.editCells(QStringLiteral("fives"), canonical));
    const auto fives = document.encode();
    QCOMPARE(document.layer(9)->cellText(0, 0), QStringLiteral("5"));
    QCOMPARE(document.layer(9)->cellText(1, 0), QStringLiteral("9"));
    QCOMPARE(document.layer(3)->cellText(254, 254), QStringLiteral("6"));
    QCOMPARE(int(fives[amp::recordOffset(0) + 9]), 5);
    QCOMPARE(int(fives[amp::recordOffset(255) + 3]), patternByte(255, 3)); // column 1: as read
    QCOMPARE(int(fives[amp::recordOffset(254 * 255 + 254) + 3]), 6);
    document.undoStack()->undo();
    QVERIFY(document.encode() == after);
    QCOMPARE(document.layer(9)->cellText(0, 0), QStringLiteral("-1"));
    QCOMPARE(document.layer(9)->cellText(1, 0), QStringLiteral("9"));
    document.undoStack()->undo();
    QCOMPARE(document.layer(9)->cellText(17, 4), QStringLiteral("abc"));
    QVERIFY(document.encode() == before);
    document.undoStack()->redo();
    document.undoStack()->redo();
    QVERIFY(document.encode() == fives);
    QCOMPARE(document.layer(9)->cellText(0, 0), QStringLiteral("5"));
}

QTEST_MAIN(DocumentTest)
#include "tst_document.moc"
