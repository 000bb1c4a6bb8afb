// SPDX-License-Identifier: MIT
// Hex maths against the record order and against the rule written out apart,
// and the palettes against their published values.
#include "hexgeometry.h"
#include "hexmaths.h"
#include "mapformat.h"
#include "palettes.h"

#include <QTest>

#include <algorithm>
#include <cmath>

class HexGeometryTest : public QObject {
    Q_OBJECT

private slots:
    void oddColumnsSitHalfAHexLower();
    void aPointBelongsToTheNearestCentre();
    void everyPointFindsTheHexOfTheRule();
    void neighboursFollowTheParityAndStopAtTheEdges();
    void palettesKeepTheirPublishedColours();
};

void HexGeometryTest::oddColumnsSitHalfAHexLower() {
    const double h = std::sqrt(3.0) * 10; // the height of a hex of size 10
    const HexGeometry odd(4, 3, 10);
    QCOMPARE(odd.centre(0, 0), QPointF(10, h / 2));
    QCOMPARE(odd.centre(1, 0), QPointF(25, h));       // 1.5 sizes right, half a hex lower
    QCOMPARE(odd.centre(2, 1), QPointF(40, h * 1.5)); // even again: one hex per row
    QCOMPARE(odd.mapBounds(), QRectF(0, 0, 10 * (1.5 * 4 + 0.5), h * 3.5));
    const HexGeometry even(4, 3, 10, true);
    QCOMPARE(even.centre(0, 0), QPointF(10, h));
    QCOMPARE(even.centre(1, 0), QPointF(25, h / 2));
    // The corners lie a size from the centre, the first straight to the right.
    const auto corners = odd.corners(1, 0);
    QCOMPARE(corners[0], QPointF(35, h));
    for (const QPointF& corner : corners) {
        QVERIFY(std::abs(std::hypot(corner.x() - 25, corner.y() - h) - 10) < 1e-9);
    }
}

void HexGeometryTest::aPointBelongsToTheNearestCentre() {
    const HexGeometry map(3, 3, 10);
    const double e = 1e-6;
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(map.hexAt(map.centre(column, row)), std::optional(HexCell{column, row}));
        }
    }
    // The edge between [0][0] and [1][0] (odd, lower): the midpoint of their
    // centres, nudged either way.
    const QPointF a = map.centre(0, 0), b = map.centre(1, 0), middle = (a + b) / 2, step = (b - a) * e;
    QCOMPARE(map.hexAt(middle - step), std::optional(HexCell{0, 0}));
    QCOMPARE(map.hexAt(middle + step), std::optional(HexCell{1, 0}));
    // The corner where [0][0], [1][0] and [0][1] meet (corner 1 of [0][0]), nudged into each.
    const QPointF corner = map.corners(0, 0)[1];
    QCOMPARE(map.hexAt(corner + QPointF(-e, -e)), std::optional(HexCell{0, 0}));
    QCOMPARE(map.hexAt(corner + QPointF(e, 0)), std::optional(HexCell{1, 0}));
    QCOMPARE(map.hexAt(corner + QPointF(-e, 2 * e)), std::optional(HexCell{0, 1}));
    // Outside the map's hexes: above the raised column, left of the first, and
    // the notch below the last raised column.
    QCOMPARE(map.hexAt(QPointF(10, -e)), std::nullopt);
    QCOMPARE(map.hexAt(QPointF(1, 1)), std::nullopt);
    QCOMPARE(map.hexAt(QPointF(40, map.mapBounds().bottom() - e)), std::nullopt);
    QCOMPARE(map.hexAt(QPointF(25, map.mapBounds().bottom() - 1)), std::optional(HexCell{1, 2}));
}

void HexGeometryTest::everyPointFindsTheHexOfTheRule() {
    const int columns = 7, rows = 5;
    for (const bool even : {false, true}) {
        // Points a little finer than a pixel, over the map and a margin around it.
        const HexGeometry map(columns, rows, 10, even);
        int compared = 0, wrong = 0;
        for (double y = -5; y < map.mapBounds().bottom() + 5; y += 0.31) {
            for (double x = -5; x < map.mapBounds().right() + 5; x += 0.31) {
                const auto rule = hexmaths::find(columns, rows, 10, even, x, y);
                if (rule.onEdge) {
                    continue;
                }
                const auto found = map.hexAt(QPointF(x, y));
                ++compared;
                wrong += found.has_value() != rule.hex.has_value() ||
                         (found && (found->column != rule.hex->column || found->row != rule.hex->row));
            }
        }
        QCOMPARE(wrong, 0);
        QVERIFY(compared > 100000);
    }
    // The raster that runs the same steps pixel by pixel is the renderer's test.
}

void HexGeometryTest::neighboursFollowTheParityAndStopAtTheEdges() {
    // In records of a 3 x 3 map (record = column * 3 + row): the middle hex,
    // record 4, in a lowered column, meets records 3, 7, 8, 5, 2 and 1.
    const auto records = [](const std::vector<HexCell>& cells) {
        std::vector<int> all;
        for (const HexCell& c : cells) {
            all.push_back(amp::recordOfCell(c.column, c.row, 3));
        }
        return all;
    };
    const HexGeometry odd(3, 3, 1);
    QCOMPARE(records(odd.neighbours(1, 1)), (std::vector<int>{3, 7, 8, 5, 2, 1}));
    QCOMPARE(records(odd.neighbours(0, 0)), (std::vector<int>{3, 1}));    // a corner
    QCOMPARE(records(odd.neighbours(2, 2)), (std::vector<int>{7, 5, 4})); // the other
    QCOMPARE(records(odd.neighbours(1, 2)), (std::vector<int>{4, 8, 2})); // the bottom edge, lowered
    const HexGeometry even(3, 3, 1, true);
    QCOMPARE(records(even.neighbours(1, 1)), (std::vector<int>{3, 6, 7, 5, 1, 0}));
    // Neighbours go both ways, in both layouts, and are hexes whose centres lie
    // one hex height apart.
    for (const HexGeometry& map : {HexGeometry(5, 4, 1), HexGeometry(5, 4, 1, true)}) {
        for (int column = 0; column < 5; ++column) {
            for (int row = 0; row < 4; ++row) {
                for (const HexCell& other : map.neighbours(column, row)) {
                    const auto back = map.neighbours(other.column, other.row);
                    QVERIFY(std::find(back.begin(), back.end(), HexCell{column, row}) != back.end());
                    const QPointF d = map.centre(column, row) - map.centre(other.column, other.row);
                    QVERIFY(std::abs(std::hypot(d.x(), d.y()) - std::sqrt(3.0)) < 1e-9);
                }
            }
        }
    }
}

void HexGeometryTest::palettesKeepTheirPublishedColours() {
    const auto near = [](QRgb colour, int r, int g, int b) {
        return std::abs(qRed(colour) - r) <= 3 && std::abs(qGreen(colour) - g) <= 3 &&
               std::abs(qBlue(colour) - b) <= 3;
    };
    // viridis: #440154 at 0, #21918C in the middle, #FDE725 at 255.
    QVERIFY(near(palettes::ramp(palettes::Ramp::Viridis, 0), 0x44, 0x01, 0x54));
    QVERIFY(near(palettes::ramp(palettes::Ramp::Viridis, 128), 0x21, 0x91, 0x8C));
    QVERIFY(near(palettes::ramp(palettes::Ramp::Viridis, 255), 0xFD, 0xE7, 0x25));
    // cividis: dark blue to yellow.
    QVERIFY(near(palettes::ramp(palettes::Ramp::Cividis, 0), 0x00, 0x22, 0x4E));
    QVERIFY(near(palettes::ramp(palettes::Ramp::Cividis, 255), 0xFE, 0xE8, 0x38));
    // Terrain: water is blue, forest green, and names past 18 share one colour.
    const QColor ocean(palettes::terrain(6)), forest(palettes::terrain(3));
    QVERIFY(ocean.blue() > ocean.red() && ocean.blue() > ocean.green());
    QVERIFY(forest.green() > forest.red() && forest.green() > forest.blue());
    QCOMPARE(palettes::terrain(19), palettes::UnknownTerrain);
    QCOMPARE(palettes::terrain(-1), palettes::UnknownTerrain);
    QCOMPARE(palettes::terrain(255), palettes::UnknownTerrain);
    QVERIFY(palettes::terrain(18) != palettes::UnknownTerrain);
}

QTEST_MAIN(HexGeometryTest)
#include "tst_hexgeometry.moc"
