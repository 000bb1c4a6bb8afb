// SPDX-License-Identifier: MIT
// The map renderer against the hex maths written out apart: every pixel is the
// hex under it, the whole-map image has no margin, outlines and numbers come at
// their sizes, and a painter gets the same hexes wherever it draws.
#include "hexgeometry.h"
#include "hexmaths.h"
#include "maprenderer.h"

#include <QPainter>
#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

namespace {

constexpr int Columns = 30;
constexpr int Rows = 20;
constexpr QRgb Clear = 0xFFE8E2C4;
constexpr QRgb Forest = 0xFF2E7D32;

// The 19 terrains in turn along the record order.
std::int32_t terrainOf(int column, int row) {
    return (column * Rows + row) % 19;
}

// The terrain colours as the palette publishes them, in the order of the names.
constexpr QRgb TerrainColours[19] = {0xFFE8E2C4, 0xFFB22222, 0xFF7D7D7D, 0xFF2E7D32, 0xFFE6CF8A,
                                     0xFF6E8B57, 0xFF1F4E9A, 0xFF3C7FD6, 0xFF3B3B3B, 0xFF7A3E9D,
                                     0xFF78B8EC, 0xFF8B5A2B, 0xFF0E2F66, 0xFFB08D5E, 0xFF4C93D9,
                                     0xFF9CC6E6, 0xFF86A95A, 0xFF5E3B1E, 0xFF000000};

MapRenderer terrainMap(double size, bool even, MapRenderer::Values values = terrainOf) {
    return MapRenderer(HexGeometry(Columns, Rows, size, even), std::move(values),
                       {true, palettes::Ramp::Viridis});
}

} // namespace

class MapRendererTest : public QObject {
    Q_OBJECT

private slots:
    void everyPixelIsTheHexUnderIt();
    void theWholeMapHasNoMarginAndEveryCentreItsColour();
    void outlinesAndNumbersShowFromTheirSizes();
    void otherLayersRunThroughTheRampByTheirByte();
    void aPainterGetsTheHexesOfItsRegionOnly();
};

void MapRendererTest::everyPixelIsTheHexUnderIt() {
    // Hexes too small for outlines, of an uneven size, from an origin off the
    // map's corner: each pixel has the colour of the hex whose area holds its
    // centre, or the background.
    const QRgb background = 0xFF123456;
    for (const bool even : {false, true}) {
        const double size = 2.7;
        const QPointF origin(-4.25, -3.5);
        QImage image(140, 110, QImage::Format_RGB32);
        terrainMap(size, even).draw(image, origin, background);
        int compared = 0, wrong = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const auto rule =
                    hexmaths::find(Columns, Rows, size, even, origin.x() + x + 0.5, origin.y() + y + 0.5);
                if (rule.onEdge) {
                    continue;
                }
                const QRgb expected =
                    rule.hex ? TerrainColours[terrainOf(rule.hex->column, rule.hex->row)] : background;
                ++compared;
                wrong += image.pixel(x, y) != expected;
            }
        }
        QCOMPARE(wrong, 0);
        QVERIFY(compared > 140 * 110 * 9 / 10);
    }
}

void MapRendererTest::theWholeMapHasNoMarginAndEveryCentreItsColour() {
    for (const bool even : {false, true}) {
        for (const double size : {8.0, 16.0}) {
            const QImage image = terrainMap(size, even).image();
            // s (1.5 C + 0.5) wide and s sqrt(3) (R + 0.5) high, rounded up.
            QCOMPARE(image.size(),
                     QSize(qCeil(size * (1.5 * Columns + 0.5)), qCeil(size * std::sqrt(3.0) * (Rows + 0.5))));
            // At the centre of each hex (right of it where a number may stand).
            const double right = size >= MapRenderer::NumbersFrom ? 0.6 * size : 0;
            int wrong = 0;
            for (int column = 0; column < Columns; ++column) {
                for (int row = 0; row < Rows; ++row) {
                    const QPoint at(int(hexmaths::centreX(size, column) + right),
                                    int(hexmaths::centreY(size, column, row, even)));
                    wrong += image.pixel(at) != TerrainColours[terrainOf(column, row)];
                }
            }
            QCOMPARE(wrong, 0);
            // Outside the hexes nothing is drawn: the top left corner, and below
            // a raised column at the bottom edge.
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
            const int raised = even ? 1 : 0;
            QCOMPARE(qAlpha(image.pixel(int(hexmaths::centreX(size, raised)), image.height() - 2)), 0);
        }
    }
}

void MapRendererTest::outlinesAndNumbersShowFromTheirSizes() {
    // Forest everywhere but a Clear hex at [1][1].
    const auto values = [](int column, int row) { return column == 1 && row == 1 ? 0 : 3; };
    // The edge between [0][0] and [0][1], at its middle: a hex's height below
    // the first centre.
    // The darkest of the pixels just above, on and below it.
    const auto onEdge = [&values](double size) {
        const QImage image = terrainMap(size, false, values).image();
        const double x = hexmaths::centreX(size, 0),
                     y = hexmaths::centreY(size, 0, 0, false) + size * std::sqrt(3.0) / 2;
        int darkest = 255;
        for (int dy = -1; dy <= 1; ++dy) {
            darkest = std::min(darkest, QColor(image.pixel(int(x), int(y) + dy)).lightness());
        }
        return darkest;
    };
    QCOMPARE(onEdge(MapRenderer::OutlinesFrom - 0.5), QColor(Forest).lightness());
    QVERIFY(onEdge(MapRenderer::OutlinesFrom) < QColor(Forest).lightness());
    // Numbers: light on the dark Forest hex, dark on the pale Clear one, inside
    // each hex's inner circle; none below their size.
    const auto inks = [&values](double size, int column, int row, QRgb ink) {
        const QImage image = terrainMap(size, false, values).image();
        const double x = hexmaths::centreX(size, column), y = hexmaths::centreY(size, column, row, false);
        int count = 0;
        for (int dy = -int(size / 2); dy <= int(size / 2); ++dy) {
            for (int dx = -int(size / 2); dx <= int(size / 2); ++dx) {
                const QColor pixel(image.pixel(int(x) + dx, int(y) + dy));
                count += ink == 0xFFFFFFFF ? pixel.lightness() > 200 : pixel.lightness() < 60;
            }
        }
        return count;
    };
    QCOMPARE(inks(MapRenderer::NumbersFrom - 0.5, 0, 0, 0xFFFFFFFF), 0);
    QCOMPARE(inks(MapRenderer::NumbersFrom - 0.5, 1, 1, 0xFF000000), 0);
    QVERIFY(inks(MapRenderer::NumbersFrom, 0, 0, 0xFFFFFFFF) > 4);
    QVERIFY(inks(MapRenderer::NumbersFrom, 1, 1, 0xFF000000) > 4);
    QCOMPARE(inks(MapRenderer::NumbersFrom, 0, 0, 0xFF000000), 0); // no dark figures on Forest
}

void MapRendererTest::otherLayersRunThroughTheRampByTheirByte() {
    // A cell's colour comes from the byte a write stores: -1 is 255, 256 is 0.
    const auto values = [](int column, int) { return std::array{0, 255, -1, 256}[column % 4]; };
    const auto near = [](QRgb colour, QRgb expected) {
        return std::abs(qRed(colour) - qRed(expected)) <= 3 &&
               std::abs(qGreen(colour) - qGreen(expected)) <= 3 &&
               std::abs(qBlue(colour) - qBlue(expected)) <= 3;
    };
    const double size = 4;
    for (const auto& [ramp, first, last] : {std::tuple{palettes::Ramp::Viridis, 0xFF440154u, 0xFFFDE725u},
                                            std::tuple{palettes::Ramp::Cividis, 0xFF00224Eu, 0xFFFEE838u}}) {
        const MapRenderer layer(HexGeometry(4, 2, size), values, {false, ramp});
        const QImage image = layer.image();
        const auto at = [&](int column) {
            return image.pixel(int(hexmaths::centreX(size, column)),
                               int(hexmaths::centreY(size, column, 0, false)));
        };
        QVERIFY(near(at(0), first));
        QVERIFY(near(at(1), last));
        QVERIFY(near(at(2), last));
        QVERIFY(near(at(3), first));
    }
}

void MapRendererTest::aPainterGetsTheHexesOfItsRegionOnly() {
    // A painter moved 7 pixels right and 5 down draws the map's region from
    // (40, 30), 100 x 60 pixels, onto a red page.
    const double size = 10;
    const QRect region(40, 30, 100, 60);
    const QPoint shift(7, 5);
    QImage page(200, 150, QImage::Format_ARGB32_Premultiplied);
    page.fill(Qt::red);
    {
        QPainter painter(&page);
        painter.translate(shift);
        terrainMap(size, false).draw(painter, region);
    }
    int inside = 0, wrong = 0;
    for (int column = 0; column < Columns; ++column) {
        for (int row = 0; row < Rows; ++row) {
            const QPoint centre(int(hexmaths::centreX(size, column)),
                                int(hexmaths::centreY(size, column, row, false)));
            if (centre.x() >= 200 - shift.x() || centre.y() >= 150 - shift.y()) {
                continue;
            }
            const bool drawn = region.contains(centre);
            inside += drawn;
            wrong +=
                page.pixel(centre + shift) != (drawn ? TerrainColours[terrainOf(column, row)] : 0xFFFF0000);
        }
    }
    QCOMPARE(wrong, 0);
    QVERIFY(inside >= 20);
    // Just outside the region the page keeps its red.
    QCOMPARE(page.pixel(region.topLeft() + shift - QPoint(1, 1)), 0xFFFF0000);
    QCOMPARE(page.pixel(region.bottomRight() + shift + QPoint(1, 1)), 0xFFFF0000);
}

QTEST_MAIN(MapRendererTest)
#include "tst_maprenderer.moc"
