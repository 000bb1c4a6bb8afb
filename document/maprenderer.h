// SPDX-License-Identifier: MIT
// Draws one layer of a map as flat-topped hexes, into an image or through any
// painter: every pixel takes the colour of the hex under its centre (the
// geometry's one pixel-to-hex function), then, at sizes that hold them, thin
// outlines and each hex's number. It draws the map and nothing else: the
// picture's selection and current hex are the picture's own, drawn over it, so
// an exported image never shows them.
#pragma once

#include "hexgeometry.h"
#include "palettes.h"

#include <QImage>
#include <QRect>
#include <QRgb>

#include <cstdint>
#include <functional>

class LayerModel;
class QPainter;

class MapRenderer {
public:
    // The whole-number value of a cell of the layer.
    using Values = std::function<std::int32_t(int column, int row)>;
    // The values of a document's layer, as its cells read them.
    static Values valuesOf(const LayerModel& layer);

    // How values become colours: the terrain palette by value, or a ramp over the
    // byte that a write stores for the value.
    struct Style {
        bool terrain = false;
        palettes::Ramp ramp = palettes::Ramp::Viridis;
    };

    // Hex sizes (centre to corner, in pixels) from which outlines show, and
    // numbers (hexes about 28 pixels across).
    static constexpr double OutlinesFrom = 6;
    static constexpr double NumbersFrom = 14;

    MapRenderer(const HexGeometry& geometry, Values values, Style style);

    const HexGeometry& geometry() const { return geometry_; }
    QRgb colourOf(std::int32_t value) const;

    // Draws into the whole of `image` the map pixels from `mapOrigin` on, which
    // is the map pixel at the image's pixel (0, 0); pixels outside every hex
    // take `background`. The image is RGB32, ARGB32 or ARGB32_Premultiplied.
    void draw(QImage& image, QPointF mapOrigin, QRgb background) const;
    // Draws the map's pixels inside `region` through `painter`, whose user
    // coordinates are map pixels; outside the hexes it leaves what is there.
    void draw(QPainter& painter, const QRect& region) const;

    // The whole map with no margin: as wide and high as the map's hexes reach,
    // rounded up; transparent outside the hexes.
    QSize imageSize() const;
    QImage image() const;

private:
    // The hexes whose rectangles meet the map rectangle `view`.
    QRect hexesMeeting(const QRectF& view) const;
    // Outlines and numbers of the hexes whose rectangles meet `view`.
    void decorate(QPainter& painter, const QRectF& view) const;

    HexGeometry geometry_;
    Values values_;
    Style style_;
};
