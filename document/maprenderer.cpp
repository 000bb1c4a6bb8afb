// SPDX-License-Identifier: MIT
#include "maprenderer.h"
#include "celltext.h"
#include "hexraster.h"
#include "layermodel.h"

#include <QFont>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A map's size in pixels is rounded up, but not past a whole number that
// floating point missed by a hair.
constexpr double RoundingSlack = 1e-6;

constexpr QRgb OutlineColour = qRgba(0, 0, 0, 70);
// Numbers are about half a hex high, never smaller than can be read, and dark on
// light hexes, light on dark ones.
constexpr double NumberHeight = 0.55;
constexpr int SmallestNumber = 8;
constexpr double LightFrom = 0.55;

} // namespace

MapRenderer::Values MapRenderer::valuesOf(const LayerModel& layer) {
    return [&layer](int column, int row) { return layer.cellValue(column, row); };
}

MapRenderer::MapRenderer(const HexGeometry& geometry, Values values, Style style)
    : geometry_(geometry), values_(std::move(values)), style_(style) {}

QRgb MapRenderer::colourOf(std::int32_t value) const {
    return style_.terrain ? palettes::terrain(value) : palettes::ramp(style_.ramp, amp::lowByte(value));
}

void MapRenderer::draw(QImage& image, QPointF mapOrigin, QRgb background) const {
    const int width = image.width(), height = image.height();
    if (width <= 0 || height <= 0) {
        return;
    }
    HexRaster raster(geometry_, mapOrigin, width);
    // The colours of the hexes that the pixels reach, worked out once a hex.
    raster.setLine(0);
    const int firstRow = std::max(0, raster.firstRow());
    raster.setLine(height - 1);
    const int lastRow = std::min(geometry_.rows() - 1, raster.lastRow());
    const int firstColumn = std::max(0, raster.firstColumn());
    const int lastColumn = std::min(geometry_.columns() - 1, raster.lastColumn());
    const int tableRows = std::max(0, lastRow - firstRow + 1);
    const int tableColumns = tableRows > 0 ? std::max(0, lastColumn - firstColumn + 1) : 0;
    std::vector<QRgb> colours(static_cast<std::size_t>(tableColumns) * static_cast<std::size_t>(tableRows));
    auto next = colours.begin();
    for (int column = firstColumn; column < firstColumn + tableColumns; ++column) {
        for (int row = firstRow; row <= lastRow; ++row) {
            *next++ = colourOf(values_(column, row));
        }
    }
    // Neighbouring pixels mostly lie in one hex: its colour is looked up again
    // only where the hex changes.
    HexCell last{-1, -1};
    QRgb colour = background;
    for (int y = 0; y < height; ++y) {
        raster.setLine(y);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const HexCell cell = raster.at(x);
            if (cell != last) {
                last = cell;
                const auto column = static_cast<unsigned>(cell.column - firstColumn);
                const auto row = static_cast<unsigned>(cell.row - firstRow);
                colour =
                    column < static_cast<unsigned>(tableColumns) && row < static_cast<unsigned>(tableRows)
                        ? colours[column * static_cast<unsigned>(tableRows) + row]
                        : background;
            }
            line[x] = colour;
        }
    }
    if (geometry_.size() >= OutlinesFrom) {
        QPainter painter(&image);
        painter.translate(-mapOrigin);
        decorate(painter, QRectF(mapOrigin, QSizeF(image.size())));
    }
}

void MapRenderer::draw(QPainter& painter, const QRect& region) const {
    if (region.isEmpty()) {
        return;
    }
    QImage part(region.size(), QImage::Format_ARGB32_Premultiplied);
    draw(part, region.topLeft(), qRgba(0, 0, 0, 0));
    painter.drawImage(region.topLeft(), part);
}

QSize MapRenderer::imageSize() const {
    const QSizeF size = geometry_.mapBounds().size();
    const auto up = [](double length) { return static_cast<int>(std::ceil(length - RoundingSlack)); };
    return QSize(up(size.width()), up(size.height())).expandedTo(QSize(1, 1));
}

QImage MapRenderer::image() const {
    QImage image(imageSize(), QImage::Format_ARGB32_Premultiplied);
    draw(image, QPointF(0, 0), qRgba(0, 0, 0, 0));
    return image;
}

QRect MapRenderer::hexesMeeting(const QRectF& view) const {
    const double size = geometry_.size();
    const double height = geometry_.bounds(0, 0).height();
    // Column c reaches from 1.5 c sizes to 2 sizes further; a raised row r from
    // r hex heights to one further, a lowered one half a hex lower.
    const int firstColumn =
        std::max(0, static_cast<int>(std::floor((view.left() - 2 * size) / (1.5 * size))));
    const int lastColumn =
        std::min(geometry_.columns() - 1, static_cast<int>(view.right() / (1.5 * size)) + 1);
    const int firstRow = std::max(0, static_cast<int>(std::floor(view.top() / height)) - 1);
    const int lastRow = std::min(geometry_.rows() - 1, static_cast<int>(view.bottom() / height) + 1);
    return QRect(QPoint(firstColumn, firstRow), QPoint(lastColumn, lastRow));
}

void MapRenderer::decorate(QPainter& painter, const QRectF& view) const {
    const QRect hexes = hexesMeeting(view);
    const double size = geometry_.size();
    const auto polygon = [this](int column, int row) {
        const auto corners = geometry_.corners(column, row);
        return QPolygonF(QList<QPointF>(corners.begin(), corners.end()));
    };
    if (size >= OutlinesFrom) {
        painter.setPen(QPen(QColor::fromRgba(OutlineColour), 0));
        painter.setBrush(Qt::NoBrush);
        for (int column = hexes.left(); column <= hexes.right(); ++column) {
            for (int row = hexes.top(); row <= hexes.bottom(); ++row) {
                painter.drawPolygon(polygon(column, row));
            }
        }
    }
    if (size >= NumbersFrom) {
        QFont font = painter.font();
        font.setPixelSize(std::max(SmallestNumber, static_cast<int>(size * NumberHeight)));
        painter.setFont(font);
        for (int column = hexes.left(); column <= hexes.right(); ++column) {
            for (int row = hexes.top(); row <= hexes.bottom(); ++row) {
                const std::int32_t value = values_(column, row);
                painter.setPen(QColor(colourOf(value)).lightnessF() > LightFrom ? Qt::black : Qt::white);
                painter.drawText(geometry_.bounds(column, row), Qt::AlignCenter, QString::number(value));
            }
        }
    }
}
