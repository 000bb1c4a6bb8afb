// SPDX-License-Identifier: MIT
// The compact cell store: every text reads back exactly as it was put in, the
// model keeps Qt's contracts, and a layer goes out to the file by the cell rule.
#include "layermodel.h"
#include "mapformat.h"
#include "mapimage.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <array>
#include <memory>
#include <vector>

namespace {

// The two storages a layer has: the file's bytes read in place, and its own copy
// (taken at its first change, or at once when nothing owns the bytes). Every
// test of a loaded layer runs against each.
enum class Storage { OwnCopy, InPlace, AfterFirstCopy };

void load(LayerModel& model, const amp::MapImage& map, int layer, Storage storage) {
    if (storage == Storage::OwnCopy) {
        model.loadLayer(map, layer);
        return;
    }
    auto owned = std::make_shared<const amp::MapImage>(map);
    model.loadLayer(amp::viewOf(*owned), layer, owned);
    if (storage == Storage::AfterFirstCopy && model.cellCount() > 0) {
        // Putting a cell back as it is makes the layer take its copy.
        model.setData(model.index(0, 0), model.cellText(0, 0));
    }
}

// A layer of its own (no document) stores what a view gives it; in a document
// the same call becomes an undo step (tst_document).
void put(LayerModel& model, int column, int row, const QString& text) {
    model.setData(model.index(row, column), text);
}

// A new shape of empty cells: a map of that shape without records.
void reshape(LayerModel& model, int columns, int rows) {
    amp::MapImage blank;
    blank.header.bytes = {0, 0, static_cast<std::uint8_t>(columns), 0, static_cast<std::uint8_t>(rows), 0, 0};
    model.loadLayer(blank, 0);
}

// The calls that write cells or change the shape without an undo step belong to
// the document and its commands: nothing else, a view or the picture, can name them.
template <typename Model>
constexpr bool writableFromOutside = requires(Model& model, LayerModel& other, const QString& text) {
    model.setCellText(0, 0, text);
}
|| requires(Model& model) {
    model.setDimensions(1, 1);
}
|| requires(Model& model) {
    model.restore(0, LayerModel::Kind::Empty, 0, QString());
}
|| requires(Model& model, std::span<const std::uint8_t> bytes) {
    model.restoreCanonical(0, bytes);
}
|| requires(Model& model, LayerModel& other) {
    model.swapCells(other);
}
|| requires(Model& model) {
    model.setEditHandler({});
}
|| requires(Model& model) {
    model.cellsChanged(0, 0);
};
static_assert(!writableFromOutside<LayerModel>);

} // namespace

Q_DECLARE_METATYPE(Storage)

class LayerModelTest : public QObject {
    Q_OBJECT

private slots:
    void keepsEveryTextExactlyAsPutIn();
    void loadsALayerAndExportsItByTheCellRule_data();
    void loadsALayerAndExportsItByTheCellRule();
    void keepsQtsModelContracts();
    void readsTheFileInPlaceUntilACellChanges();
    void readsAColumnsValuesInOneRun_data();
    void readsAColumnsValuesInOneRun();
};

void LayerModelTest::keepsEveryTextExactlyAsPutIn() {
    // Typed texts of every kind are checked through the views (tst_hostile); here,
    // the switch between the compact and the typed form, and the grid's edges.
    LayerModel model;
    reshape(model, 4, 3);
    put(model, 1, 0, "0012");
    put(model, 1, 0, "12");
    QCOMPARE(model.cellText(1, 0), QStringLiteral("12"));
    put(model, 1, 0, "012");
    QCOMPARE(model.cellText(1, 0), QStringLiteral("012"));
    QCOMPARE(model.cellValue(1, 0), 12);
    put(model, 1, 0, "");
    QCOMPARE(model.cellText(1, 0), QString());
    put(model, 4, 0, "9"); // outside the grid: nothing is stored
    QCOMPARE(model.cellText(4, 0), QString());
    QCOMPARE(model.cellValue(-1, 0), 0);
    put(model, 3, 2, "abc");
    reshape(model, 2, 2); // a new shape starts from empty cells
    reshape(model, 4, 3);
    QCOMPARE(model.cellText(3, 2), QString());
}

void LayerModelTest::loadsALayerAndExportsItByTheCellRule_data() {
    QTest::addColumn<Storage>("storage");
    QTest::newRow("own copy") << Storage::OwnCopy;
    QTest::newRow("in place") << Storage::InPlace;
    QTest::newRow("after its first copy") << Storage::AfterFirstCopy;
}

void LayerModelTest::loadsALayerAndExportsItByTheCellRule() {
    QFETCH(Storage, storage);
    amp::MapImage map;
    map.header.bytes = {0, 0, 3, 0, 2, 0, 0}; // 3 columns, 2 rows
    for (int k = 0; k < 5; ++k) {             // one record short
        amp::CellRecord record{};
        record[6] = static_cast<std::uint8_t>(10 + k);
        map.records.push_back(record);
    }
    LayerModel model;
    load(model, map, 6, storage);
    QCOMPARE(model.columns(), 3);
    QCOMPARE(model.rows(), 2);
    QCOMPARE(model.cellText(0, 1), QStringLiteral("11")); // record 1
    QCOMPARE(model.cellText(2, 0), QStringLiteral("14")); // record 4
    QCOMPARE(model.cellText(2, 1), QString());            // no record
    std::vector<std::uint8_t> read(amp::recordOffset(6), 0xAA);
    model.exportLayer(read, 6, 3, 2);
    for (int k = 0; k < 6; ++k) {
        QCOMPARE(int(read[amp::recordOffset(k) + 6]), k < 5 ? 10 + k : 0);
    }

    put(model, 1, 0, "-1");
    put(model, 2, 1, "300");
    std::vector<std::uint8_t> file(amp::recordOffset(6), 0xAA);
    model.exportLayer(file, 6, 3, 2);
    const QList<int> expected = {10, 11, 255, 13, 14, 44};
    for (int k = 0; k < 6; ++k) {
        QCOMPARE(int(file[amp::recordOffset(k) + 6]), expected[k]);
        QCOMPARE(int(file[amp::recordOffset(k) + 5]), 0xAA); // other layers untouched
    }
    // A grid of another shape than the map: by column and row, 0 outside the grid.
    std::vector<std::uint8_t> wider(amp::recordOffset(8), 0xAA);
    model.exportLayer(wider, 6, 4, 2);
    QCOMPARE(int(wider[amp::recordOffset(amp::recordOfCell(1, 0, 2)) + 6]), 255);
    QCOMPARE(int(wider[amp::recordOffset(amp::recordOfCell(3, 1, 2)) + 6]), 0);

    // A longer layer, cut off in the middle of its cells: placed cells hold their
    // bytes, the rest are empty.
    amp::MapImage longer;
    longer.header.bytes = {0, 0, 13, 0, 10, 0, 0};
    longer.records.resize(100);
    longer.records[99][6] = 99;
    load(model, longer, 6, storage);
    QCOMPARE(model.cellText(9, 8), QStringLiteral("0"));  // record 98
    QCOMPARE(model.cellText(9, 9), QStringLiteral("99")); // record 99
    QCOMPARE(model.cellText(10, 0), QString());           // record 100: none
    QCOMPARE(model.cellText(12, 9), QString());
    put(model, 12, 9, "5");
    QCOMPARE(model.cellText(12, 9), QStringLiteral("5"));
    QCOMPARE(model.cellText(12, 8), QString());

    // Counted as the cells read: an empty cell as 0, a typed one by its text. Of
    // the 130 cells, records 0..98 hold 0 but two are typed over ("007" in record
    // 0, "-2" in record 10), record 99 holds 99, and 30 cells are empty but one ("5").
    put(model, 0, 0, "007");
    put(model, 1, 0, "-2");
    std::array<int, 20> counts{};
    counts.fill(-1);
    model.countValues(counts);
    std::array<int, 20> expectedCounts{};
    expectedCounts[0] = 97 + 29;
    expectedCounts[5] = 1;
    expectedCounts[7] = 1;
    expectedCounts[19] = 2; // 99 and -2: beyond the counted values
    QCOMPARE(counts, expectedCounts);
}

void LayerModelTest::keepsQtsModelContracts() {
    LayerModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    reshape(model, 39, 34);
    QVERIFY(model.setData(model.index(5, 7), "42"));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), model.index(5, 7));
    amp::MapImage map;
    map.header.bytes = {0, 0, 2, 0, 2, 0, 0};
    map.records.resize(4);
    model.loadLayer(map, 0); // a reset the tester follows
    reshape(model, 0, 0);
    QCOMPARE(model.rowCount(), 0);
}

void LayerModelTest::readsTheFileInPlaceUntilACellChanges() {
    // A 1 x 3 map one record short, its bytes exactly that long: layer 4 holds 7
    // and 9. Reading past them would be caught by the sanitizer.
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(std::vector<std::uint8_t>{0, 0, 1, 0, 3, 0, 0});
    bytes->resize(7 + 2 * 13, 0);
    (*bytes)[7 + 4] = 7;
    (*bytes)[7 + 13 + 4] = 9;
    const amp::MapView view = amp::viewMap(*bytes).value();
    LayerModel edited, untouched;
    edited.loadLayer(view, 4, bytes);
    untouched.loadLayer(view, 4, bytes);
    QCOMPARE(edited.cellText(0, 0), QStringLiteral("7"));
    QCOMPARE(edited.cellText(0, 2), QString()); // no record
    QCOMPARE(int(untouched.byteAt(2)), 0);

    put(edited, 0, 1, "5");
    QCOMPARE(edited.cellText(0, 0), QStringLiteral("7")); // kept through the copy
    QCOMPARE(edited.cellText(0, 1), QStringLiteral("5"));
    QCOMPARE(untouched.cellText(0, 1), QStringLiteral("9"));
    QCOMPARE(int((*bytes)[7 + 13 + 4]), 9); // the file's bytes stay as read

    // The layers keep the bytes they read alive.
    bytes.reset();
    QCOMPARE(untouched.cellText(0, 1), QStringLiteral("9"));
    std::vector<std::uint8_t> file(amp::recordOffset(3), 0xAA);
    untouched.exportLayer(file, 4, 1, 3);
    QCOMPARE(int(file[amp::recordOffset(0) + 4]), 7);
    QCOMPARE(int(file[amp::recordOffset(1) + 4]), 9);
    QCOMPARE(int(file[amp::recordOffset(2) + 4]), 0);
    std::array<int, 11> counts{};
    untouched.countValues(counts);
    QCOMPARE(counts[0], 1); // the cell without a record
    QCOMPARE(counts[7], 1);
    QCOMPARE(counts[9], 1);
}

void LayerModelTest::readsAColumnsValuesInOneRun_data() {
    loadsALayerAndExportsItByTheCellRule_data();
}

// A run of a column's values is what cellValue gives row by row: the bytes, a
// typed text's number, 0 for other texts, for a hex without a record and for
// rows and columns outside the grid.
void LayerModelTest::readsAColumnsValuesInOneRun() {
    QFETCH(Storage, storage);
    amp::MapImage map;
    map.header.bytes = {0, 0, 2, 0, 70, 0, 0}; // 2 columns of 70 rows: past a word of flags
    for (int k = 0; k < 139; ++k) {            // one record short
        amp::CellRecord record{};
        record[2] = static_cast<std::uint8_t>(k * 7 % 256);
        map.records.push_back(record);
    }
    LayerModel model;
    load(model, map, 2, storage);
    std::vector<std::int32_t> expected(74);
    for (int row = 0; row < 70; ++row) {
        const int k = 70 + row; // column 1
        expected[static_cast<std::size_t>(row + 2)] = k < 139 ? k * 7 % 256 : 0;
    }
    if (storage != Storage::InPlace) {
        put(model, 1, 3, QStringLiteral("300"));
        put(model, 1, 64, QStringLiteral("007"));
        put(model, 1, 65, QStringLiteral("abc"));
        put(model, 1, 66, QString());
        expected[5] = 300;
        expected[66] = 7;
        expected[67] = 0;
        expected[68] = 0;
    }
    std::vector<std::int32_t> run(74, -1);
    model.columnValues(1, -2, run); // rows -2 .. 71
    QCOMPARE(run, expected);

    std::vector<std::int32_t> middle(5, -1);
    model.columnValues(1, 62, middle);
    QCOMPARE(middle, std::vector<std::int32_t>(expected.begin() + 64, expected.begin() + 69));

    std::vector<std::int32_t> outside(3, -1);
    model.columnValues(2, 0, outside);
    QCOMPARE(outside, std::vector<std::int32_t>(3, 0));
    model.columnValues(-1, 0, outside);
    QCOMPARE(outside, std::vector<std::int32_t>(3, 0));
}

QTEST_MAIN(LayerModelTest)
#include "tst_layermodel.moc"
