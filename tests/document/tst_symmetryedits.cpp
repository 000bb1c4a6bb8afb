// SPDX-License-Identifier: MIT
// Flips, symmetries, the symmetric brush and stamps on a document: each one undo
// step that gives back every byte, and hexes that were neighbours stay
// neighbours (text-id layers 9 and 10 hold each hex's own column and row, so the
// test sees where every hex went).
#include "hexgeometry.h"
#include "mapdocument.h"
#include "symmetryedits.h"

#include <QTest>

#include <algorithm>

namespace {

constexpr int ColumnLayer = 9;
constexpr int RowLayer = 10;

void makeMap(MapDocument& document, int columns, int rows) {
    document.newMap(columns, rows);
    std::vector<CellEdit> edits;
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            edits.push_back({ColumnLayer, c, r, QString::number(c)});
            edits.push_back({RowLayer, c, r, QString::number(r)});
            edits.push_back({0, c, r, QString::number((c * 7 + r * 3) % 19)});
        }
    }
    document.editCells(QStringLiteral("ids"), edits);
    document.undoStack()->clear();
}

HexCell idOf(const MapDocument& document, int column, int row) {
    return {document.layer(ColumnLayer)->cellByte(column, row),
            document.layer(RowLayer)->cellByte(column, row)};
}

} // namespace

class SymmetryEditsTest : public QObject {
    Q_OBJECT

private slots:
    void flipsTwiceGiveBackTheMapAndKeepNeighbours();
    void symmetriesOfOneLayerOrTheSelection();
    void theSymmetricBrushAndStamps();
};

void SymmetryEditsTest::flipsTwiceGiveBackTheMapAndKeepNeighbours() {
    using hexsymmetry::Flip;
    for (const QSize size : {QSize(6, 5), QSize(7, 4)}) {
        for (const bool even : {false, true}) {
            for (const Flip flip : {Flip::LeftRight, Flip::TopBottom, Flip::Point}) {
                MapDocument document;
                makeMap(document, size.width(), size.height());
                const auto before = document.encode();
                SymmetryRequest request;
                request.flip = flip;
                const int lost = symmetryedits::countWithoutImage(document, request, even);
                const QString name = symmetryedits::apply(document, 0, request, even);
                QVERIFY(name.endsWith(QStringLiteral("(%1 hexes without an image)").arg(lost)));
                QCOMPARE(document.undoStack()->count(), 1);
                QVERIFY(document.encode() != before);
                // Moved neighbours came from neighbours; the hexes left as they were
                // are among those that stayed.
                const HexGeometry geometry(size.width(), size.height(), 1, even);
                int stayed = 0;
                for (int c = 0; c < size.width(); ++c) {
                    for (int r = 0; r < size.height(); ++r) {
                        const HexCell from = idOf(document, c, r);
                        stayed += from == HexCell{c, r} ? 1 : 0;
                        for (const HexCell& next : geometry.neighbours(c, r)) {
                            const HexCell nextFrom = idOf(document, next.column, next.row);
                            const auto around = geometry.neighbours(from.column, from.row);
                            if (from != HexCell{c, r} && nextFrom != next) {
                                QVERIFY(std::find(around.begin(), around.end(), nextFrom) != around.end());
                            }
                        }
                    }
                }
                QVERIFY(stayed >= lost); // and those on the mirror line or the centre
                symmetryedits::apply(document, 0, request, even);
                QCOMPARE(document.encode(), before);
                document.undoStack()->undo();
                document.undoStack()->undo();
                QCOMPARE(document.encode(), before);
            }
        }
    }
}

void SymmetryEditsTest::symmetriesOfOneLayerOrTheSelection() {
    using namespace hexsymmetry;
    MapDocument document;
    makeMap(document, 5, 4);
    document.typeIntoCell(0, 0, 0, QStringLiteral("007")); // a typed text goes along
    const auto before = document.encode();
    SymmetryRequest request;
    request.action = SymmetryRequest::Action::Symmetrize;
    request.side = Side::Left;
    request.allLayers = false;
    const QString name = symmetryedits::apply(document, 0, request, false);
    QCOMPARE(name,
             QStringLiteral("Mirror left half onto right of the map, layer 0 (0 hexes without an image)"));
    QCOMPARE(document.layer(0)->cellText(4, 0), QStringLiteral("007"));
    for (int r = 0; r < 4; ++r) {
        QCOMPARE(document.layer(0)->cellText(3, r), document.layer(0)->cellText(1, r));
        QCOMPARE(document.layer(ColumnLayer)->cellByte(4, r), 4); // other layers untouched
    }
    QVERIFY(symmetryedits::apply(document, 0, request, false).isEmpty()); // symmetric already
    document.undoStack()->undo();
    QCOMPARE(document.encode(), before);

    // The selection's rectangle alone turns; nothing outside it changes.
    document.selection().select(0, {QRect(1, 1, 2, 2)});
    request = {};
    request.flip = Flip::Point;
    request.selectionOnly = true;
    QVERIFY(symmetryedits::apply(document, 0, request, false).contains(QStringLiteral("of the selection")));
    QCOMPARE(idOf(document, 1, 1), (HexCell{2, 2}));
    QCOMPARE(idOf(document, 2, 2), (HexCell{1, 1}));
    QCOMPARE(idOf(document, 0, 0), (HexCell{0, 0}));
    QCOMPARE(idOf(document, 3, 1), (HexCell{3, 1}));
    request.action = SymmetryRequest::Action::Symmetrize;
    request.side = Side::TopLeft;
    request.mode = Mode::Point;
    QCOMPARE(symmetryedits::countWithoutImage(document, request, false), -1);
}

void SymmetryEditsTest::theSymmetricBrushAndStamps() {
    using namespace hexsymmetry;
    MapDocument document;
    makeMap(document, 6, 4);
    const auto before = document.encode();
    symmetryedits::setSymmetricBrush(document, BrushSymmetry{Side::TopLeft, Mode::Mirror},
                                     [] { return false; });
    // 6 columns mirror about column 2 (in the left part), 4 rows about the edge
    // between rows 1 and 2 of raised columns, through row 1 of lowered ones.
    QVERIFY(document.typeIntoCell(0, 1, 0, QStringLiteral("9")));
    QCOMPARE(document.undoStack()->count(), 1);
    QCOMPARE(document.layer(0)->cellText(3, 0), QStringLiteral("9"));
    QCOMPARE(document.layer(0)->cellText(1, 2), QStringLiteral("9"));
    QCOMPARE(document.layer(0)->cellText(3, 2), QStringLiteral("9"));
    document.beginStroke(1, QStringLiteral("5"));
    document.paintDab({{0, 0}});
    document.endStroke();
    QCOMPARE(document.layer(1)->cellText(4, 0), QStringLiteral("5"));
    QCOMPARE(document.layer(1)->cellText(4, 3), QStringLiteral("5"));
    QVERIFY(document.floodFill(2, 0, 0, false, QStringLiteral("4"))); // the whole layer, each cell once
    QCOMPARE(document.undoStack()->undoText(), QStringLiteral("Fill 24 hexes"));
    symmetryedits::setSymmetricBrush(document, std::nullopt, {});
    QVERIFY(document.typeIntoCell(0, 0, 1, QStringLiteral("8")));
    QCOMPARE(document.layer(0)->cellText(4, 1), QStringLiteral("12")); // as made: (4 * 7 + 3) % 19
    document.undoStack()->setIndex(0);
    QCOMPARE(document.encode(), before);

    // A stamp of all layers placed on a column of the other parity keeps where
    // each hex sits beside the others.
    document.selection().select(0, {QRect(0, 0, 3, 2)});
    const auto stamp = symmetryedits::copyAsStamp(document, 0, true, false);
    QVERIFY(stamp);
    QVERIFY(symmetryedits::placeStamp(document, *stamp, 0, 4, 2, false));
    QCOMPARE(document.undoStack()->count(), 1);
    const HexGeometry geometry(6, 4, 1);
    const QPointF shift = geometry.centre(4, 2) - geometry.centre(1, 1); // anchor: the centre hex
    int placed = 0;
    for (int c = 0; c < 6; ++c) {
        for (int r = 0; r < 4; ++r) {
            const HexCell from = idOf(document, c, r);
            if (from != HexCell{c, r}) {
                ++placed;
                const QPointF moved = geometry.centre(from.column, from.row) + shift - geometry.centre(c, r);
                QVERIFY(moved.manhattanLength() < 1e-9);
            }
        }
    }
    QCOMPARE(placed, 6);
    document.undoStack()->undo();
    QCOMPARE(document.encode(), before);

    // A stamp of one selected hex is that hex, not the whole map.
    document.selection().select(0, {QRect(2, 1, 1, 1)});
    const auto one = symmetryedits::copyAsStamp(document, 0, false, false);
    QVERIFY(one);
    QCOMPARE(one->cells.size(), std::size_t{1});
    QCOMPARE(one->values, std::vector<std::uint8_t>{document.layer(0)->cellByte(2, 1)});
}

QTEST_GUILESS_MAIN(SymmetryEditsTest)
#include "tst_symmetryedits.moc"
