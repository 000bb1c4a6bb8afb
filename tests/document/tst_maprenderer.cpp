// SPDX-License-Identifier: MIT
// The map renderer against the hex maths written out apart: every pixel is the
// hex under it, the whole-map image has no margin, outlines and labels come when
// asked at sizes that hold them, marks stay in their hexes, shade follows the
// value, scales stretch to what a layer holds, a region is a map of its own, and
// a painter gets the same hexes wherever it draws. The palettes' colours differ
// by CIE 1976 Delta E worked out here.
#include "hexgeometry.h"
#include "hexmaths.h"
#include "maprenderer.h"
#include "palettes.h"

#include <QPainter>
#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <span>
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
constexpr QRgb TerrainColours[19] = {0xFFE8E2C4, 0xFFB32323, 0xFF7C7C7D, 0xFF2E7D32, 0xFFE4CE88,
                                     0xFF718B57, 0xFF1F4E9A, 0xFF5C85E4, 0xFF3B3A3A, 0xFF783D9C,
                                     0xFF88C4FD, 0xFF8D5B2C, 0xFF0C275A, 0xFFB1905F, 0xFF398ECF,
                                     0xFFB1D0E4, 0xFF89AF58, 0xFF5B3D25, 0xFF000000};

MapRenderer terrainMap(double size, bool even, MapRenderer::Values values = terrainOf) {
    return MapRenderer(HexGeometry(Columns, Rows, size, even), std::move(values),
                       palettes::LayerColours::terrain(palettes::Palette::Standard));
}

// A scale over the bytes listed.
palettes::LayerColours scaleOf(std::initializer_list<int> bytes, palettes::Palette palette) {
    std::array<bool, 256> held{};
    for (const int byte : bytes) {
        held[static_cast<std::size_t>(byte)] = true;
    }
    return palettes::LayerColours::scale(held, palette);
}

bool near(QRgb colour, QRgb expected, int slack = 3) {
    return std::abs(qRed(colour) - qRed(expected)) <= slack &&
           std::abs(qGreen(colour) - qGreen(expected)) <= slack &&
           std::abs(qBlue(colour) - qBlue(expected)) <= slack;
}

// CIE L*a*b* of an sRGB colour (D65 white), from the published formulas; a
// matrix first turns the linear light as a dichromat would see it.
using Matrix = std::array<std::array<double, 3>, 3>;
constexpr Matrix Normal = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
// Machado, Oliveira and Fernandes (2009), severity 1.
constexpr Matrix Deuteranopia = {
    {{0.367322, 0.860646, -0.227968}, {0.280085, 0.672501, 0.047413}, {-0.011820, 0.042940, 0.968881}}};
constexpr Matrix Protanopia = {
    {{0.152286, 1.052583, -0.204868}, {0.114503, 0.786281, 0.099216}, {-0.003882, -0.048116, 1.051998}}};
std::array<double, 3> lab(QRgb colour, const Matrix& seen) {
    const auto linear = [](int c) {
        const double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const double in[3] = {linear(qRed(colour)), linear(qGreen(colour)), linear(qBlue(colour))};
    double rgb[3];
    for (int i = 0; i < 3; ++i) {
        rgb[i] = std::clamp(seen[i][0] * in[0] + seen[i][1] * in[1] + seen[i][2] * in[2], 0.0, 1.0);
    }
    const double x = (0.4124564 * rgb[0] + 0.3575761 * rgb[1] + 0.1804375 * rgb[2]) / 0.95047;
    const double y = 0.2126729 * rgb[0] + 0.7151522 * rgb[1] + 0.0721750 * rgb[2];
    const double z = (0.0193339 * rgb[0] + 0.1191920 * rgb[1] + 0.9503041 * rgb[2]) / 1.08883;
    const auto f = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}
// The smallest Delta E (1976) between two of the 19 terrain colours.
double closestTerrains(palettes::Palette palette, const Matrix& seen) {
    double closest = 1e9;
    for (int a = 0; a < 19; ++a) {
        for (int b = a + 1; b < 19; ++b) {
            const auto p = lab(palettes::terrain(a, palette), seen),
                       q = lab(palettes::terrain(b, palette), seen);
            closest = std::min(closest, std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]));
        }
    }
    return closest;
}

} // namespace

class MapRendererTest : public QObject {
    Q_OBJECT

private slots:
    void everyPixelIsTheHexUnderIt();
    void theWholeMapHasNoMarginAndEveryCentreItsColour();
    void outlinesAndNumbersShowFromTheirSizes();
    void labelsShowOnlyWhereTheyFit();
    void otherLayersStretchOverWhatTheyHold();
    void marksSitInsideTheirHexesAndShadeFollowsTheValue();
    void shadeNeverTurnsOneTerrainIntoAnother();
    void aRegionIsAMapOfItsOwn();
    void aPainterGetsTheHexesOfItsRegionOnly();
    void terrainColoursAreFarApartInBothPalettes();
    void layersReadAColumnAtATimeDrawTheSame();
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
    const auto onEdge = [&values](double size, bool asked = true) {
        MapRenderer map = terrainMap(size, false, values);
        map.setOutlines(asked);
        const QImage image = map.image();
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
    QCOMPARE(onEdge(MapRenderer::OutlinesFrom, false), QColor(Forest).lightness());
    // Numbers: light on the dark Forest hex, dark on the pale Clear one, inside
    // each hex's inner circle; none below their size. Ink is a pixel far lighter
    // (or darker) than the hex: how far the smallest figures get from it depends
    // on the font engine (Windows's draws them thinner and greyer).
    const auto inks = [&values](double size, int column, int row, QRgb ink, bool asked = true) {
        MapRenderer map = terrainMap(size, false, values);
        map.setValueLabels(asked ? MapRenderer::Values(values) : MapRenderer::Values());
        const QImage image = map.image();
        const double x = hexmaths::centreX(size, column), y = hexmaths::centreY(size, column, row, false);
        const int ground = QColor(TerrainColours[values(column, row)]).lightness();
        int count = 0;
        for (int dy = -int(size / 2); dy <= int(size / 2); ++dy) {
            for (int dx = -int(size / 2); dx <= int(size / 2); ++dx) {
                const QColor pixel(image.pixel(int(x) + dx, int(y) + dy));
                count +=
                    ink == 0xFFFFFFFF ? pixel.lightness() > ground + 50 : pixel.lightness() < ground - 50;
            }
        }
        return count;
    };
    QCOMPARE(inks(MapRenderer::NumbersFrom - 0.5, 0, 0, 0xFFFFFFFF), 0);
    QCOMPARE(inks(MapRenderer::NumbersFrom - 0.5, 1, 1, 0xFF000000), 0);
    QVERIFY(inks(MapRenderer::NumbersFrom, 0, 0, 0xFFFFFFFF) > 4);
    QVERIFY(inks(MapRenderer::NumbersFrom, 1, 1, 0xFF000000) > 4);
    QCOMPARE(inks(MapRenderer::NumbersFrom, 0, 0, 0xFF000000), 0);        // no dark figures on Forest
    QCOMPARE(inks(MapRenderer::NumbersFrom, 1, 1, 0xFF000000, false), 0); // none unless asked
}

void MapRendererTest::labelsShowOnlyWhereTheyFit() {
    // "29,19" needs a wider hex than "3": coordinates come at a larger size
    // than values, and both together no sooner.
    int tooSmall = 0;
    const auto sizeFrom = [&tooSmall](bool coordinates, bool values) {
        for (double size = 1; size <= 80; size += 0.5) {
            MapRenderer map = terrainMap(size, false);
            map.setCoordinates(coordinates);
            map.setValueLabels(values ? MapRenderer::Values(terrainOf) : MapRenderer::Values());
            if (map.labelSize() > 0) {
                tooSmall += map.labelSize() < MapRenderer::SmallestLabel;
                return size;
            }
        }
        return 0.0;
    };
    const double values = sizeFrom(false, true), coordinates = sizeFrom(true, false),
                 both = sizeFrom(true, true);
    QCOMPARE(values, MapRenderer::NumbersFrom);
    QVERIFY(coordinates > values);
    QVERIFY(both >= coordinates);
    QCOMPARE(sizeFrom(false, false), 0.0);
    QCOMPARE(tooSmall, 0);
    // Coordinates drawn where they fit: ink inside [2][3], none outside the hex.
    MapRenderer map = terrainMap(40, false, [](int, int) { return 0; });
    map.setCoordinates(true);
    const QImage image = map.image();
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255 && QColor(image.pixel(x, y)).lightness() < 60) {
                ++inked;
                const auto hex = hexmaths::find(Columns, Rows, 40, false, x + 0.5, y + 0.5).hex;
                const double dx = x + 0.5 - hexmaths::centreX(40, hex->column),
                             dy = y + 0.5 - hexmaths::centreY(40, hex->column, hex->row, false);
                QVERIFY(std::abs(dx) < 40 * 0.8 && std::abs(dy) < 40 * 0.8);
            }
        }
    }
    QVERIFY(inked > Columns * Rows * 10);
}

void MapRendererTest::otherLayersStretchOverWhatTheyHold() {
    // Roads 0-20 in 21 values: the ramp runs from the lowest held to the highest.
    std::initializer_list<int> roads = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9, 10,
                                        11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    for (const auto& [palette, first, last] :
         {std::tuple{palettes::Palette::Standard, 0xFF440154u, 0xFFFDE725u},
          std::tuple{palettes::Palette::ColourBlind, 0xFF00224Eu, 0xFFFEE838u}}) {
        const auto scale = scaleOf(roads, palette);
        QVERIFY(!scale.isCategorical());
        QVERIFY(near(scale.colour(0), first));
        QVERIFY(near(scale.colour(20), last));
        QVERIFY(near(scale.colour(-236), last)); // a typed -236 is stored as 20
        QVERIFY(!near(scale.colour(10), first, 40) && !near(scale.colour(10), last, 40));
        QCOMPARE(scale.low(), 0);
        QCOMPARE(scale.high(), 20);
    }
    // Three values: a colour of its own each, in the order of the values.
    const auto cities = scaleOf({0, 5, 9}, palettes::Palette::Standard);
    QVERIFY(cities.isCategorical());
    QCOMPARE(cities.colour(0), 0xFF4E79A7u);
    QCOMPARE(cities.colour(5), 0xFFF28E2Bu);
    QCOMPARE(cities.colour(9), 0xFFE15759u);
    QCOMPARE(scaleOf({0, 5, 9}, palettes::Palette::ColourBlind).colour(9), 0xFF009E73u);
    // Twelve values stay categorical, thirteen do not.
    QVERIFY(scaleOf({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, palettes::Palette::Standard).isCategorical());
    QVERIFY(
        !scaleOf({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, palettes::Palette::Standard).isCategorical());
    // Drawn: the hex of the highest road is the ramp's end.
    const MapRenderer layer(
        HexGeometry(4, 2, 4), [](int column, int) { return column * 5; },
        scaleOf(roads, palettes::Palette::Standard));
    const QImage image = layer.image();
    QVERIFY(
        near(image.pixel(int(hexmaths::centreX(4, 0)), int(hexmaths::centreY(4, 0, 0, false))), 0xFF440154));
    QVERIFY(
        !near(image.pixel(int(hexmaths::centreX(4, 3)), int(hexmaths::centreY(4, 3, 0, false))), 0xFFFDE725));
}

void MapRendererTest::marksSitInsideTheirHexesAndShadeFollowsTheValue() {
    // Roads on every third hex, in one category colour; Clear under them.
    const auto roads = [](int column, int row) { return (column + row) % 3 == 0 ? 7 : 0; };
    const auto colours = scaleOf({0, 7}, palettes::Palette::Standard);
    const QRgb road = colours.colour(7);
    for (const bool even : {false, true}) {
        for (const double size : {3.0, 12.0}) {
            MapRenderer map = terrainMap(size, even, [](int, int) { return 0; });
            map.addOverlay({roads, colours, MapRenderer::OverlayStyle::Marks, 1.0});
            const QImage image = map.image();
            int marked = 0, astray = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (image.pixel(x, y) != road) {
                        continue;
                    }
                    ++marked;
                    const auto hex = hexmaths::find(Columns, Rows, size, even, x + 0.5, y + 0.5).hex;
                    const double dx = x + 0.5 - hexmaths::centreX(size, hex->column),
                                 dy = y + 0.5 - hexmaths::centreY(size, hex->column, hex->row, even);
                    astray += roads(hex->column, hex->row) == 0 || std::hypot(dx, dy) > size * 0.75;
                }
            }
            QCOMPARE(astray, 0);
            // Every road hex has its mark at its centre, and the others Clear.
            int wrong = 0;
            for (int column = 0; column < Columns; ++column) {
                for (int row = 0; row < Rows; ++row) {
                    const QRgb centre = image.pixel(int(hexmaths::centreX(size, column)),
                                                    int(hexmaths::centreY(size, column, row, even)));
                    wrong += centre != (roads(column, row) ? road : TerrainColours[0]);
                }
            }
            QCOMPARE(wrong, 0);
            QVERIFY(marked >= Columns * Rows / 3);
        }
    }
    // At half opacity a mark's disc lies half way between the terrain and the
    // mark, each channel's half rounded up (away from zero).
    for (const std::int32_t terrain : {0, 3}) {
        MapRenderer map = terrainMap(12, false, [terrain](int, int) { return terrain; });
        map.addOverlay({roads, colours, MapRenderer::OverlayStyle::Marks, 0.5});
        const QRgb under = TerrainColours[static_cast<std::size_t>(terrain)];
        const auto half = [](int a, int b) { return (a + b + 1) / 2; };
        const QRgb expected = qRgb(half(qRed(under), qRed(road)), half(qGreen(under), qGreen(road)),
                                   half(qBlue(under), qBlue(road)));
        QCOMPARE(map.image().pixel(int(hexmaths::centreX(12, 0)), int(hexmaths::centreY(12, 0, 0, false))),
                 expected);
    }
    // Shade: heights 0-29 along the columns over City (a terrain with room to
    // shade both ways); lightness rises with the value, and at half opacity the
    // change is smaller.
    const auto heights = [](int column, int) { return column; };
    std::array<bool, 256> held{};
    std::fill(held.begin(), held.begin() + Columns, true);
    const auto scale = palettes::LayerColours::scale(held, palettes::Palette::Standard);
    const auto lightness = [&](double opacity) {
        MapRenderer map = terrainMap(4, false, [](int, int) { return 1; });
        map.addOverlay({heights, scale, MapRenderer::OverlayStyle::Shade, opacity});
        const QImage image = map.image();
        std::vector<int> along;
        for (int column = 0; column < Columns; ++column) {
            along.push_back(QColor(image.pixel(int(hexmaths::centreX(4, column)),
                                               int(hexmaths::centreY(4, column, 2, false))))
                                .lightness());
        }
        return along;
    };
    const auto full = lightness(1.0), half = lightness(0.5);
    QVERIFY(std::is_sorted(full.begin(), full.end()));
    const int city = QColor(TerrainColours[1]).lightness();
    QVERIFY(full.front() < city - 20 && full.back() > city + 20);
    QVERIFY(half.front() > full.front() && half.back() < full.back());
}

// Each terrain in a column, each of the 256 heights in a row, the heights
// shading the terrain from darkest to lightest: in no row (at no shade step)
// does a terrain come within 20 of another terrain shaded alike, nor of another
// terrain's own colour (its legend swatch). The shade still shows on the
// terrains with room for it.
void MapRendererTest::shadeNeverTurnsOneTerrainIntoAnother() {
    constexpr int Terrains = 19;
    std::array<bool, 256> held{};
    held.fill(true);
    const auto apart = [](QRgb a, QRgb b) {
        const auto p = lab(a, Normal), q = lab(b, Normal);
        return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
    };
    for (const auto palette : {palettes::Palette::Standard, palettes::Palette::ColourBlind}) {
        MapRenderer map(
            HexGeometry(Terrains, 256, 4, false), [](int column, int) { return column; },
            palettes::LayerColours::terrain(palette));
        map.addOverlay({[](int, int row) { return row; }, palettes::LayerColours::scale(held, palette),
                        MapRenderer::OverlayStyle::Shade, 1.0});
        double closest = 1e9;
        for (int row = 0; row < 256; ++row) {
            for (int a = 0; a < Terrains; ++a) {
                for (int b = 0; b < Terrains; ++b) {
                    if (a != b) {
                        closest = std::min({closest, apart(map.hexColour(a, row), map.hexColour(b, row)),
                                            apart(map.hexColour(a, row), palettes::terrain(b, palette))});
                    }
                }
            }
        }
        QVERIFY2(closest >= 20, qPrintable(QString::number(closest)));
        // Height 0 Ocean is no Impassable River.
        QVERIFY(apart(map.hexColour(6, 0), palettes::terrain(12, palette)) >= 20);
        int shaded = 0;
        for (int terrain = 0; terrain < Terrains; ++terrain) {
            shaded += apart(map.hexColour(terrain, 0), map.hexColour(terrain, 255)) >= 10 ? 1 : 0;
        }
        QVERIFY2(shaded >= 6, qPrintable(QString::number(shaded)));
    }
}

void MapRendererTest::aRegionIsAMapOfItsOwn() {
    // Columns 3-7 and rows 2-5 of the map, at size 10: as large as a map of
    // 5 x 4 hexes, column 3 (odd, lowered) first, each hex at its place there.
    for (const bool even : {false, true}) {
        const double size = 10;
        MapRenderer map = terrainMap(size, even);
        map.setHexes(QRect(QPoint(3, 2), QPoint(7, 5)));
        const QImage image = map.image();
        QCOMPARE(image.size(), QSize(qCeil(size * (1.5 * 5 + 0.5)), qCeil(size * std::sqrt(3.0) * 4.5)));
        int wrong = 0;
        for (int column = 3; column <= 7; ++column) {
            for (int row = 2; row <= 5; ++row) {
                const double x = size * (1 + 1.5 * (column - 3));
                const double y = size * std::sqrt(3.0) / 2 *
                                 (1 + 2 * (row - 2) + (hexmaths::lowered(column, even) ? 1 : 0));
                wrong += image.pixel(int(x), int(y)) != TerrainColours[terrainOf(column, row)];
            }
        }
        QCOMPARE(wrong, 0);
        // Hexes outside the region are not drawn: where column 2 would reach.
        QCOMPARE(qAlpha(image.pixel(0, image.height() / 2)), 0);
        // Column 3 alone reaches half a hex further down where it is lowered.
        map.setHexes(QRect(3, 2, 1, 4));
        QCOMPARE(map.imageSize().height(), qCeil(size * std::sqrt(3.0) * (even ? 4 : 4.5)));
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

void MapRendererTest::terrainColoursAreFarApartInBothPalettes() {
    // Today's River and Lakes, 13.6 apart, show the measure.
    const auto apart = [](QRgb a, QRgb b) {
        const auto p = lab(a, Normal), q = lab(b, Normal);
        return std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
    };
    QVERIFY(std::abs(apart(0xFF3C7FD6, 0xFF4C93D9) - 13.6) < 0.1);
    QVERIFY(closestTerrains(palettes::Palette::Standard, Normal) >= 20);
    QVERIFY(closestTerrains(palettes::Palette::ColourBlind, Normal) >= 20);
    QVERIFY(closestTerrains(palettes::Palette::ColourBlind, Deuteranopia) >= 12);
    QVERIFY(closestTerrains(palettes::Palette::ColourBlind, Protanopia) >= 12);
    // The standard set is not safe that way, which is why the other exists.
    QVERIFY(closestTerrains(palettes::Palette::Standard, Protanopia) < 12);
}

QTEST_MAIN(MapRendererTest)
// The picture reads its layers a column of rows at a time; read so, and read a
// hex at a time, the same values draw the same pixels, at every size, for
// every part of the map drawn (a run starts at the first row drawn), with marks,
// shades and values outside the bytes.
void MapRendererTest::layersReadAColumnAtATimeDrawTheSame() {
    const auto roads = [](int column, int row) { return (column * 7 + row) % 5 == 0 ? 3 + column : 0; };
    const auto heights = [](int column, int row) { return (column * 13 + row * 5) % 256; };
    const auto odd = [](int column, int row) {
        return row == 4 ? 300 : column == 2 ? -3 : (column + row) % 2;
    };
    // The same values, laid out as columns of rows, read only a run at a time.
    const auto runOf = [](const std::function<std::int32_t(int, int)>& rule) {
        auto table = std::make_shared<std::vector<std::int32_t>>();
        for (int column = 0; column < Columns; ++column) {
            for (int row = 0; row < Rows; ++row) {
                table->push_back(rule(column, row));
            }
        }
        const auto one = [](int, int) -> std::int32_t {
            QTest::qFail("a hex was read alone", __FILE__, __LINE__);
            return 0;
        };
        return MapRenderer::Values(one, [table](int column, int firstRow, std::span<std::int32_t> out) {
            for (std::size_t at = 0; at < out.size(); ++at) {
                const int row = firstRow + static_cast<int>(at);
                out[at] =
                    row >= 0 && row < Rows ? (*table)[static_cast<std::size_t>(column * Rows + row)] : 0;
            }
        });
    };
    const auto scale = palettes::LayerColours::fullRamp(palettes::Palette::Standard);
    const auto terrain = palettes::LayerColours::terrain(palettes::Palette::Standard);
    const auto draw = [&](bool runs, double size, const QRect& hexes) {
        const auto read = [runs, &runOf](const std::function<std::int32_t(int, int)>& rule) {
            return runs ? runOf(rule) : MapRenderer::Values(rule);
        };
        MapRenderer map(HexGeometry(Columns, Rows, size, false), read(terrainOf), terrain);
        map.addOverlay({read(heights), scale, MapRenderer::OverlayStyle::Shade, 0.7});
        map.addOverlay({read(roads), scale, MapRenderer::OverlayStyle::Marks, 1.0});
        map.addOverlay({read(odd), terrain, MapRenderer::OverlayStyle::Marks, 0.6});
        map.setHexes(hexes);
        return map.image(QImage::Format_RGB32);
    };
    for (const double size : {1.5, 5.0, 9.0}) {
        for (const QRect& hexes : {QRect(0, 0, Columns, Rows), QRect(3, 5, 11, 9)}) {
            const QImage alone = draw(false, size, hexes), inRuns = draw(true, size, hexes);
            QCOMPARE(inRuns.size(), alone.size());
            QVERIFY2(inRuns == alone, qPrintable(QStringLiteral("size %1").arg(size)));
        }
    }
}

#include "tst_maprenderer.moc"
