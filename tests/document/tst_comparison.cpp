// SPDX-License-Identifier: MIT
// Two maps compared without a window: the differences found cell by cell, the
// list following edits and undo, stepping with wrap, maps of other sizes, taking
// the other map's cells as one undo step, and the other file read again.
#include "differencemodel.h"
#include "diskwatch.h"
#include "mapcomparison.h"
#include "mapdocument.h"
#include "mapfileio.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A map whose byte j of hex [c][r] is c + 10 r + 20 j: every byte tells its place.
amp::MapImage patternMap(int columns, int rows) {
    amp::MapImage map;
    map.header.bytes = {42, 0, static_cast<std::uint8_t>(columns), 0, static_cast<std::uint8_t>(rows), 0, 5};
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            amp::CellRecord record{};
            for (int j = 0; j < 13; ++j) {
                record[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(c + 10 * r + 20 * j);
            }
            map.records.push_back(record);
        }
    }
    return map;
}

void setByte(amp::MapImage& map, int column, int row, int layer, int value) {
    map.records[static_cast<std::size_t>(column * map.header.rows() + row)][static_cast<std::size_t>(layer)] =
        static_cast<std::uint8_t>(value);
}

QStringList rowsOf(const DifferenceModel& model) {
    QStringList rows;
    for (int i = 0; i < model.rowCount(); ++i) {
        QStringList cells;
        for (int k = 0; k < model.columnCount(); ++k) {
            cells << model.index(i, k).data().toString();
        }
        rows << cells.join(',');
    }
    return rows;
}

} // namespace

class ComparisonTest : public QObject {
    Q_OBJECT

private slots:
    void differencesAreFoundExactly();
    void mapsOfOtherSizesCompareOverTheHexesBothHave();
    void theListFollowsEditsAndUndo();
    void aLargeEditSetsTheListUpAfresh();
    void stepsWrapAtBothEnds();
    void takingTheirsIsOneUndoStepEach();
    void theOtherFileIsReadAgainWhenItChanges();
};

void ComparisonTest::differencesAreFoundExactly() {
    MapDocument mine, theirs;
    amp::MapImage other = patternMap(4, 3);
    mine.load(patternMap(4, 3), "mine.amp");
    other.header.bytes[0] = 43;
    other.header.bytes[6] = 9;
    setByte(other, 1, 2, 0, 200); // terrain
    setByte(other, 1, 2, 12, 7);  // last layer, same hex
    setByte(other, 3, 0, 6, 0);   // roads
    setByte(other, 0, 0, 12, 99);
    theirs.load(other, "north-v2.amp");
    MapComparison comparison(mine, theirs);
    DifferenceModel model(comparison);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(comparison.headerDifferences(), (std::vector<int>{0, 6}));
    QVERIFY(comparison.sameSize());
    QCOMPARE(comparison.cellCount(), std::size_t{4});
    QCOMPARE(comparison.hexCount(), 3);
    QCOMPARE(comparison.countText(), "3 hexes differ in 3 layers");
    QCOMPARE(comparison.cellCount(12), 2);
    QVERIFY(comparison.differs(6, 3, 0) && !comparison.differs(5, 3, 0) && comparison.hexDiffers(3, 0));
    QVERIFY(!comparison.hexDiffers(2, 2));
    // File order: column, then row, then layer; "this map" shows c + 10 r + 20 j.
    QCOMPARE(rowsOf(model), QStringList({"0,0,Text ID b4,240,99", "1,2,Terraintype,21,200",
                                         "1,2,Text ID b4,5,7", "3,0,roads,123,0"}));
    model.sort(DifferenceModel::OtherColumn, Qt::DescendingOrder);
    QCOMPARE(model.index(0, DifferenceModel::OtherColumn).data().toInt(), 200);
    QCOMPARE(model.index(3, DifferenceModel::OtherColumn).data().toInt(), 0);
    model.setLayerFilter(12);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.differenceAt(0), (Difference{12, 0, 0})); // 99 above 7
}

void ComparisonTest::mapsOfOtherSizesCompareOverTheHexesBothHave() {
    MapDocument mine, theirs;
    mine.load(patternMap(4, 3), "mine.amp");
    amp::MapImage other = patternMap(3, 5); // hex [c][r] lies at another record here
    setByte(other, 2, 1, 4, 1);
    theirs.load(other, "tall.amp");
    MapComparison comparison(mine, theirs);
    QVERIFY(!comparison.sameSize());
    QCOMPARE(comparison.commonColumns(), 3);
    QCOMPARE(comparison.commonRows(), 3);
    QCOMPARE(comparison.onlyInEdited(), (std::vector<QRect>{QRect(3, 0, 1, 3)}));
    QCOMPARE(comparison.onlyInOther(), (std::vector<QRect>{QRect(0, 3, 3, 2)}));
    QCOMPARE(comparison.headerDifferences(), std::vector<int>{}); // the size is not a header byte
    // As amptool diff tells the same two maps (tests/cli): one cell, on layer 4.
    QCOMPARE(comparison.cellCount(), std::size_t{1});
    QCOMPARE(comparison.cellCount(4), 1);
    QCOMPARE(comparison.hexCount(), 1);
    QCOMPARE(comparison.countText(), QStringLiteral("1 hex differs in 1 layer"));
    QVERIFY(comparison.differs(4, 2, 1));
    QCOMPARE(comparison.otherByte(4, 2, 1), std::uint8_t{1});
    QCOMPARE(comparison.editedByte(4, 2, 1), std::uint8_t{2 + 10 + 80});
}

void ComparisonTest::theListFollowsEditsAndUndo() {
    MapDocument mine, theirs;
    amp::MapImage other = patternMap(5, 4);
    setByte(other, 2, 2, 3, 5);
    setByte(other, 4, 1, 3, 6);
    mine.load(patternMap(5, 4), "mine.amp");
    theirs.load(other, "other.amp");
    MapComparison comparison(mine, theirs);
    DifferenceModel model(comparison);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.sort(DifferenceModel::EditedColumn, Qt::DescendingOrder);
    QCOMPARE(model.rowCount(), 2);
    // Typed as the other map holds it: the row goes at once, and the counts follow.
    QVERIFY(mine.typeIntoCell(3, 2, 2, "005"));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(comparison.hexCount(), 1);
    QVERIFY(!comparison.differs(3, 2, 2));
    // A new difference takes its sorted place: 250 is this map's highest byte.
    QVERIFY(mine.typeIntoCell(0, 0, 0, "250"));
    QCOMPARE(model.differenceAt(0), (Difference{0, 0, 0}));
    QCOMPARE(model.rowOf(Difference{3, 4, 1}), std::optional<int>(1));
    mine.undoStack()->undo();
    mine.undoStack()->undo();
    QCOMPARE(rowsOf(model), QStringList({"2,2,??????,82,5", "4,1,??????,74,6"})); // 82 above 74
    QCOMPARE(comparison.countText(), "2 hexes differ in 1 layer");
    // A whole new map is compared afresh.
    mine.load(other, "copy.amp");
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(comparison.countText(), "0 hexes differ in 0 layers");
}

void ComparisonTest::aLargeEditSetsTheListUpAfresh() {
    MapDocument mine, theirs;
    amp::MapImage other = patternMap(30, 20);
    for (auto& record : other.records) {
        record[4] = 50; // 600 cells of one layer, more than are followed one by one
    }
    mine.load(patternMap(30, 20), "mine.amp");
    theirs.load(other, "other.amp");
    MapComparison comparison(mine, theirs);
    DifferenceModel model(comparison);
    model.sort(DifferenceModel::RowColumn, Qt::DescendingOrder);
    const int differing = model.rowCount(); // c + 10 r + 80 (mod 256) is never 50
    QCOMPARE(differing, 600);
    QVERIFY(!comparison.takeTheirs(MapComparison::Scope::Layer, 4).isEmpty());
    QCOMPARE(model.rowCount(), 0);
    mine.undoStack()->undo();
    QCOMPARE(model.rowCount(), differing);
    // Descending is the ascending order read backwards: the last row first, its last column first.
    QCOMPARE(model.differenceAt(0), (Difference{4, 29, 19}));
    QCOMPARE(model.differenceAt(1), (Difference{4, 28, 19}));
    QCOMPARE(model.differenceAt(599), (Difference{4, 0, 0}));
}

void ComparisonTest::stepsWrapAtBothEnds() {
    MapDocument mine, theirs;
    amp::MapImage other = patternMap(3, 3);
    setByte(other, 0, 1, 2, 0);
    setByte(other, 0, 1, 9, 0);
    setByte(other, 2, 2, 2, 0);
    mine.load(patternMap(3, 3), "mine.amp");
    theirs.load(other, "other.amp");
    const MapComparison comparison(mine, theirs);
    const Difference first{2, 0, 1}, second{9, 0, 1}, last{2, 2, 2};
    QCOMPARE(comparison.step({0, -1, -1}, 1), first); // from no hex: the first
    QCOMPARE(comparison.step({0, -1, -1}, -1), last);
    QCOMPARE(comparison.step(first, 1), second);
    QCOMPARE(comparison.step(second, 1), last);
    QCOMPARE(comparison.step(last, 1), first); // wraps
    QCOMPARE(comparison.step(first, -1), last);
    QCOMPARE(comparison.step(first, 1, 2), last); // on one layer only
    QCOMPARE(comparison.step(last, 1, 2), first);
    QCOMPARE(comparison.step(second, 1, 9), second); // the only one: itself again
    QCOMPARE(comparison.step(first, 1, 5), std::nullopt);
}

void ComparisonTest::takingTheirsIsOneUndoStepEach() {
    MapDocument mine, theirs;
    amp::MapImage other = patternMap(4, 4);
    for (const auto& [c, r, j] : {std::array{0, 0, 1}, {0, 0, 2}, {1, 1, 1}, {2, 2, 3}, {3, 3, 1}}) {
        setByte(other, c, r, j, 255);
    }
    mine.load(patternMap(4, 4), "mine.amp");
    theirs.load(other, "/maps/north-v2.amp");
    MapComparison comparison(mine, theirs);
    QCOMPARE(comparison.takeTheirs(MapComparison::Scope::Hex, 0, {0, 0}), "Take 1 hex from north-v2.amp");
    QCOMPARE(mine.layer(1)->cellText(0, 0), "255");
    QCOMPARE(mine.layer(2)->cellText(0, 0), "255");
    QCOMPARE(comparison.cellCount(), std::size_t{3});
    mine.selection().select(0, {QRect(1, 1, 2, 2)});
    QCOMPARE(comparison.takeTheirs(MapComparison::Scope::Selection), "Take 2 hexes from north-v2.amp");
    QCOMPARE(comparison.cellCount(), std::size_t{1});
    mine.undoStack()->undo();
    QCOMPARE(comparison.takeTheirs(MapComparison::Scope::Layer, 1), "Take 2 hexes from north-v2.amp");
    QVERIFY(comparison.differs(3, 2, 2) && !comparison.differs(1, 3, 3));
    QCOMPARE(comparison.takeTheirs(MapComparison::Scope::All), "Take 1 hex from north-v2.amp");
    QCOMPARE(comparison.cellCount(), std::size_t{0});
    QCOMPARE(comparison.takeTheirs(MapComparison::Scope::All), QString()); // nothing left: no step
    QCOMPARE(mine.undoStack()->count(), 3);
    for (int i = 0; i < 3; ++i) {
        mine.undoStack()->undo();
    }
    QCOMPARE(comparison.cellCount(), std::size_t{5});
    QCOMPARE(mine.encode(), amp::encodeMap(patternMap(4, 4)));
    QCOMPARE(theirs.encode(), amp::encodeMap(other)); // the other map is never edited
}

void ComparisonTest::theOtherFileIsReadAgainWhenItChanges() {
    QTemporaryDir dir;
    const QString path = dir.filePath("other.amp");
    amp::MapImage other = patternMap(3, 2);
    QVERIFY(amp::writeFileSafely(path, amp::encodeMap(other)));
    MapDocument mine, theirs;
    mine.load(patternMap(3, 2), "mine.amp");
    QVERIFY(theirs.read(path));
    DiskWatch watch(theirs);
    MapComparison comparison(mine, theirs);
    QCOMPARE(comparison.cellCount(), std::size_t{0});
    setByte(other, 2, 1, 7, 0);
    QVERIFY(amp::writeFileSafely(path, amp::encodeMap(other)));
    watch.check();
    QCOMPARE(comparison.cellCount(), std::size_t{1});
    QVERIFY(comparison.differs(7, 2, 1));
}

QTEST_GUILESS_MAIN(ComparisonTest)
#include "tst_comparison.moc"
