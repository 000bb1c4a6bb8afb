// SPDX-License-Identifier: MIT
// The rules the window and amptool share give the same answers on the same maps:
// the real `amptool diff --format json` lists what the Differences dock's model
// lists for a map with typed texts against one of another size and header, and
// `amptool resize --anchor` writes what Map > Resize with that anchor then a
// write gives.
#include "differencemodel.h"
#include "mapcomparison.h"
#include "mapdocument.h"
#include "mapfileio.h"
#include "mapfiles.h"
#include "shellrun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <tuple>
#include <vector>

namespace {

// A file of `columns` x `rows` hexes whose byte j of hex [c][r] is
// (c + 10 r + 20 j + salt) % 256, with the given first and sixth header bytes.
std::vector<std::uint8_t> patternFile(int columns, int rows, int salt, std::uint8_t first,
                                      std::uint8_t sixth) {
    std::vector<std::uint8_t> bytes = {
        first, 0, static_cast<std::uint8_t>(columns), 0, static_cast<std::uint8_t>(rows), sixth, 5};
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            for (int j = 0; j < amp::LayerCount; ++j) {
                bytes.push_back(static_cast<std::uint8_t>((c + 10 * r + 20 * j + salt) % 256));
            }
        }
    }
    return bytes;
}

std::vector<std::uint8_t> bytesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray all = file.readAll();
    return {all.begin(), all.end()};
}

Outcome amptool(const QTemporaryDir& dir, const QString& words) {
    return runShell(dir, "cd '" + dir.path().toStdString() + "' && " AMPTOOL_PATH " " + words.toStdString());
}

// column, row, layer, a, b
using Cell = std::tuple<int, int, int, int, int>;

} // namespace

class SameAnswersTest : public QObject {
    Q_OBJECT

private slots:
    void diffListsWhatTheDifferencesDockLists();
    void resizeWithAnAnchorWritesWhatTheWindowWrites();
};

void SameAnswersTest::diffListsWhatTheDifferencesDockLists() {
    QTemporaryDir dir;
    // 5 x 4 against 4 x 6: other header bytes 0 and 5, other cells on the
    // hexes both have, hexes only one has.
    std::vector<std::uint8_t> theirs = patternFile(4, 6, 0, 43, 1);
    auto cellOf = [](int column, int row, int rows, int layer) {
        return static_cast<std::size_t>(7 + 13 * (column * rows + row) + layer);
    };
    theirs[cellOf(1, 1, 6, 2)] = 9;
    theirs[cellOf(3, 2, 6, 7)] = 7;
    theirs[cellOf(0, 3, 6, 12)] = 200;
    MapDocument mine, other;
    QVERIFY(mine.read(written(dir, "mine.amp", patternFile(5, 4, 0, 42, 0))));
    QVERIFY(other.read(written(dir, "theirs.amp", theirs)));
    // Typed texts compare as the bytes they are written as: "abc" as 0 (differs
    // from 9), "007" as 7 (the same as theirs), "300" as 44 (theirs is 2).
    QVERIFY(mine.typeIntoCell(2, 1, 1, QStringLiteral("abc")));
    QVERIFY(mine.typeIntoCell(7, 3, 2, QStringLiteral("007")));
    QVERIFY(mine.typeIntoCell(0, 2, 0, QStringLiteral("300")));
    MapComparison comparison(mine, other);
    DifferenceModel model(comparison);

    // amptool compares the file the window would write.
    QVERIFY(mine.write(dir.filePath("written.amp")));
    const Outcome diff = amptool(dir, QStringLiteral("diff written.amp theirs.amp --format json"));
    QCOMPARE(diff.status, 1);
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(diff.out)).object();
    QVERIFY2(!json.isEmpty(), diff.out.c_str());

    std::vector<Cell> told, listed;
    for (const QJsonValue& cell : json.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject c = cell.toObject();
        told.emplace_back(c.value(QStringLiteral("column")).toInt(), c.value(QStringLiteral("row")).toInt(),
                          c.value(QStringLiteral("layer")).toInt(), c.value(QStringLiteral("a")).toInt(),
                          c.value(QStringLiteral("b")).toInt());
    }
    for (int i = 0; i < model.rowCount(); ++i) {
        const auto at = [&](int column) { return model.index(i, column).data(); };
        // Some layers share a name ("??????"): the row's difference tells which.
        const int layer = model.differenceAt(i).layer;
        QCOMPARE(at(DifferenceModel::LayerColumn).toString(), DifferenceModel::layerText(layer));
        listed.emplace_back(at(DifferenceModel::ColumnColumn).toInt(), at(DifferenceModel::RowColumn).toInt(),
                            layer, at(DifferenceModel::EditedColumn).toInt(),
                            at(DifferenceModel::OtherColumn).toInt());
    }
    std::sort(listed.begin(), listed.end());
    QVERIFY(told == listed); // amptool's in file order, as sorted
    QCOMPARE(static_cast<std::size_t>(comparison.cellCount()), told.size());
    // The typed cells, by the rule stated above.
    QVERIFY(std::count(told.begin(), told.end(), Cell{1, 1, 2, 0, 9}) == 1);
    QVERIFY(std::count(told.begin(), told.end(), Cell{2, 0, 0, 44, 2}) == 1);
    QVERIFY(std::none_of(told.begin(), told.end(), [](const Cell& c) { return std::get<2>(c) == 7; }));

    std::vector<int> headerTold;
    for (const QJsonValue& byte : json.value(QStringLiteral("header")).toArray()) {
        headerTold.push_back(byte.toObject().value(QStringLiteral("byte")).toInt());
    }
    QVERIFY(headerTold == comparison.headerDifferences());
    QVERIFY(headerTold == (std::vector<int>{0, 5}));
    const auto area = [](const std::vector<QRect>& parts) {
        int hexes = 0;
        for (const QRect& part : parts) {
            hexes += part.width() * part.height();
        }
        return hexes;
    };
    QCOMPARE(json.value(QStringLiteral("onlyInA")).toInt(), area(comparison.onlyInEdited()));
    QCOMPARE(json.value(QStringLiteral("onlyInB")).toInt(), area(comparison.onlyInOther()));
    QCOMPARE(area(comparison.onlyInEdited()), 20 - 16);
    QCOMPARE(area(comparison.onlyInOther()), 24 - 16);
    for (const QJsonValue& layer : json.value(QStringLiteral("layers")).toArray()) {
        const QJsonObject l = layer.toObject();
        QCOMPARE(l.value(QStringLiteral("hexes")).toInt(),
                 comparison.cellCount(l.value(QStringLiteral("layer")).toInt()));
    }
}

void SameAnswersTest::resizeWithAnAnchorWritesWhatTheWindowWrites() {
    QTemporaryDir dir;
    const QString source = written(dir, "five.amp", patternFile(5, 4, 3, 42, 0));
    struct Case {
        const char* name;
        MapDocument::Anchor anchor;
        int columns, rows;
    };
    // Growing and shrinking by 3 columns moves hexes by an odd number of columns
    // for every anchor but the left ones.
    const Case cases[] = {{"top-left", MapDocument::Anchor::TopLeft, 8, 3},
                          {"top", MapDocument::Anchor::Top, 8, 6},
                          {"top-right", MapDocument::Anchor::TopRight, 2, 6},
                          {"left", MapDocument::Anchor::Left, 2, 7},
                          {"center", MapDocument::Anchor::Centre, 2, 1},
                          {"centre", MapDocument::Anchor::Centre, 8, 7},
                          {"right", MapDocument::Anchor::Right, 8, 4},
                          {"bottom-left", MapDocument::Anchor::BottomLeft, 6, 1},
                          {"bottom", MapDocument::Anchor::Bottom, 2, 2},
                          {"bottom-right", MapDocument::Anchor::BottomRight, 8, 7}};
    for (const Case& c : cases) {
        MapDocument document;
        QVERIFY(document.read(source));
        QVERIFY(document.typeIntoCell(4, 2, 1, QStringLiteral("007")));
        const QString before = dir.filePath(QStringLiteral("before.amp"));
        QVERIFY(document.write(before));
        QVERIFY(document.resize(c.columns, c.rows, c.anchor));
        QVERIFY(document.write(dir.filePath(QStringLiteral("window.amp"))));
        const Outcome resized = amptool(dir, QStringLiteral("resize before.amp %1 %2 --anchor %3 -o tool.amp")
                                                 .arg(c.columns)
                                                 .arg(c.rows)
                                                 .arg(QString::fromLatin1(c.name)));
        QVERIFY2(resized.status == 0, resized.err.c_str());
        const std::vector<std::uint8_t> tool = bytesOf(dir.filePath(QStringLiteral("tool.amp")));
        QCOMPARE(tool.size(), static_cast<std::size_t>(7 + 13 * c.columns * c.rows));
        QVERIFY2(tool == bytesOf(dir.filePath(QStringLiteral("window.amp"))), c.name);
    }
    // Hex [4][3] of the 5 x 4 map at the bottom right of an 8 x 7 one: [7][6].
    const std::vector<std::uint8_t> tool = bytesOf(dir.filePath(QStringLiteral("tool.amp")));
    QCOMPARE(int(tool[7 + 13 * (7 * 7 + 6)]), (4 + 30 + 3) % 256);
    const Outcome wrong = amptool(dir, QStringLiteral("resize five.amp 3 3 --anchor middle -o no.amp"));
    QCOMPARE(wrong.status, 2);
    QVERIFY(wrong.err.find("--anchor") != std::string::npos);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("no.amp"))));
}

QTEST_GUILESS_MAIN(SameAnswersTest)
#include "tst_sameanswers.moc"
