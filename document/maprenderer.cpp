// SPDX-License-Identifier: MIT
#include "maprenderer.h"
#include "celltext.h"
#include "hexraster.h"
#include "layermodel.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// A map's size in pixels is rounded up, but not past a whole number that
// floating point missed by a hair.
constexpr double RoundingSlack = 1e-6;

constexpr QRgb OutlineColour = qRgba(0, 0, 0, 70);
// Labels are at most about half a hex high, and all their lines fit in this
// share of the hex's height and width; dark on light hexes, light on dark ones.
constexpr double LabelHeight = 0.6;
constexpr double LabelsHeight = 1.5;
constexpr double LabelWidth = 1.5;
constexpr double LightFrom = 0.55;
// A mark has a darker rim from this hex size on, a share of the hex wide.
constexpr double RimsFrom = 6;
constexpr double RimWidth = 0.06;
constexpr double RimDarkening = 0.55;
// The smallest mark, in hex sizes.
constexpr double SmallestMark = 0.15;

// std::lround (halves away from zero) without the call, which the picture makes
// a dozen times a hex: for |v| >= 1 the part after the point is exact, as v lies
// within twice its whole part.
[[gnu::always_inline]] inline int roundHalfAway(double v) {
    const int whole = static_cast<int>(v);
    const double rest = v - whole;
    return whole + (rest >= 0.5 ? 1 : 0) - (rest <= -0.5 ? 1 : 0);
}

[[gnu::always_inline]] inline QRgb mix(QRgb from, QRgb to, double share) {
    const auto channel = [share](int a, int b) { return roundHalfAway(a + share * (b - a)); };
    return qRgb(channel(qRed(from), qRed(to)), channel(qGreen(from), qGreen(to)),
                channel(qBlue(from), qBlue(to)));
}

} // namespace

void MapRenderer::Values::column(int column, int firstRow, std::span<std::int32_t> out) const {
    if (run_) {
        run_(column, firstRow, out);
        return;
    }
    for (std::size_t at = 0; at < out.size(); ++at) {
        out[at] = hex_(column, firstRow + static_cast<int>(at));
    }
}

MapRenderer::Values MapRenderer::valuesOf(const LayerModel& layer) {
    return {[&layer](int column, int row) { return layer.cellValue(column, row); },
            [&layer](int column, int firstRow, std::span<std::int32_t> out) {
                layer.columnValues(column, firstRow, out);
            }};
}

MapRenderer::MapRenderer(const HexGeometry& geometry, Values base, palettes::LayerColours colours)
    : geometry_(geometry), base_(std::move(base)), colours_(colours),
      hexes_(0, 0, geometry.columns(), geometry.rows()) {}

void MapRenderer::addOverlay(Overlay overlay) {
    marks_ += overlay.style == OverlayStyle::Marks ? 1 : 0;
    overlays_.push_back(std::move(overlay));
}

void MapRenderer::setHexes(const QRect& cells) {
    hexes_ = cells.intersected(QRect(0, 0, geometry_.columns(), geometry_.rows()));
}

double MapRenderer::shadeAmount(const Overlay& overlay, std::uint8_t byte) {
    return (2 * overlay.colours.position(byte) - 1) * overlay.opacity;
}

QRgb MapRenderer::shaded(QRgb colour, double amount) {
    return amount >= 0 ? mix(colour, qRgb(255, 255, 255), amount) : mix(colour, qRgb(0, 0, 0), -amount);
}

QRgb MapRenderer::hexColour(int column, int row) const {
    const std::int32_t value = base_(column, row);
    QRgb colour = colourOf(value);
    for (const Overlay& overlay : overlays_) {
        if (overlay.style == OverlayStyle::Shade) {
            colour = shaded(
                colour,
                colours_.shadeShare(value, shadeAmount(overlay, amp::lowByte(overlay.values(column, row)))));
        }
    }
    return colour;
}

void MapRenderer::draw(QImage& image, QPointF mapOrigin, QRgb background) const {
    const int width = image.width(), height = image.height();
    if (width <= 0 || height <= 0) {
        return;
    }
    HexRaster raster(geometry_, mapOrigin, width);
    // The colours of the hexes that the pixels reach, worked out once a hex: the
    // base with its shades, then for each mark its rim and its disc (the colour
    // under them where the hex has no mark).
    raster.setLine(0);
    const int firstRow = std::max(hexes_.top(), raster.firstRow());
    raster.setLine(height - 1);
    const int lastRow = std::min(hexes_.bottom(), raster.lastRow());
    const int firstColumn = std::max(hexes_.left(), raster.firstColumn());
    const int lastColumn = std::min(hexes_.right(), raster.lastColumn());
    const int tableRows = std::max(0, lastRow - firstRow + 1);
    const int tableColumns = tableRows > 0 ? std::max(0, lastColumn - firstColumn + 1) : 0;
    const auto bands = static_cast<std::size_t>(1 + 2 * marks_);
    std::vector<QRgb> colours(static_cast<std::size_t>(tableColumns) * static_cast<std::size_t>(tableRows) *
                              bands);
    // The layers' values are read a column at a time, and what depends on a
    // byte alone (a shade's amount, a mark's rim) is worked out once a byte.
    const auto rows = static_cast<std::size_t>(tableRows);
    std::vector<std::int32_t> base(rows);
    std::vector<std::vector<std::int32_t>> values(overlays_.size(), std::vector<std::int32_t>(rows));
    std::vector<std::array<double, 256>> amounts(overlays_.size());
    std::vector<std::array<QRgb, 256>> rimColours(overlays_.size());
    for (std::size_t at = 0; at < overlays_.size(); ++at) {
        const Overlay& overlay = overlays_[at];
        for (int byte = 0; byte < 256; ++byte) {
            if (overlay.style == OverlayStyle::Shade) {
                amounts[at][static_cast<std::size_t>(byte)] =
                    shadeAmount(overlay, static_cast<std::uint8_t>(byte));
            } else if (overlay.style == OverlayStyle::Marks) {
                rimColours[at][static_cast<std::size_t>(byte)] =
                    mix(overlay.colours.colour(byte), qRgb(0, 0, 0), RimDarkening);
            }
        }
    }
    auto next = colours.begin();
    for (int column = firstColumn; column < firstColumn + tableColumns; ++column) {
        base_.column(column, firstRow, base);
        for (std::size_t at = 0; at < overlays_.size(); ++at) {
            if (overlays_[at].style != OverlayStyle::Values) {
                overlays_[at].values.column(column, firstRow, values[at]);
            }
        }
        for (std::size_t row = 0; row < rows; ++row) {
            QRgb colour = colourOf(base[row]);
            for (std::size_t at = 0; at < overlays_.size(); ++at) {
                if (overlays_[at].style == OverlayStyle::Shade) {
                    colour = shaded(
                        colour, colours_.shadeShare(base[row], amounts[at][amp::lowByte(values[at][row])]));
                }
            }
            QRgb under = *next++ = colour;
            for (std::size_t at = 0; at < overlays_.size(); ++at) {
                const Overlay& overlay = overlays_[at];
                if (overlay.style != OverlayStyle::Marks) {
                    continue;
                }
                const std::int32_t value = values[at][row];
                if (amp::lowByte(value) != 0) {
                    const QRgb mark = overlay.colours.colour(value);
                    const QRgb rim = value >= 0 && value < 256
                                         ? rimColours[at][static_cast<std::size_t>(value)]
                                         : mix(mark, qRgb(0, 0, 0), RimDarkening);
                    *next++ = mix(under, rim, overlay.opacity);
                    under = mix(under, mark, overlay.opacity);
                } else {
                    *next++ = under;
                }
                *next++ = under;
            }
        }
    }
    // The squared radii, outermost first, below which a pixel lies in a mark's
    // rim and in its disc.
    std::vector<double> radii;
    const double size = geometry_.size();
    const double rim = size >= RimsFrom ? std::max(1.0, RimWidth * size) : 0.0;
    for (int mark = 0; mark < marks_; ++mark) {
        const double radius = std::max(SmallestMark, MarkRadius - MarkStep * mark) * size;
        radii.push_back(radius * radius);
        radii.push_back(std::max(0.0, radius - rim) * std::max(0.0, radius - rim));
    }
    const double outermost = radii.empty() ? 0.0 : radii.front();
    // Neighbouring pixels mostly lie in one hex: its colours are looked up
    // again only where the hex changes.
    HexCell last{-1, -1};
    const QRgb* hex = nullptr;
    for (int y = 0; y < height; ++y) {
        raster.setLine(y);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            double distance2 = 0;
            const HexCell cell = radii.empty() ? raster.at(x) : raster.at(x, distance2);
            if (cell != last) {
                last = cell;
                const auto column = static_cast<unsigned>(cell.column - firstColumn);
                const auto row = static_cast<unsigned>(cell.row - firstRow);
                hex = column < static_cast<unsigned>(tableColumns) && row < static_cast<unsigned>(tableRows)
                          ? &colours[(column * static_cast<unsigned>(tableRows) + row) * bands]
                          : nullptr;
            }
            if (!hex) {
                line[x] = background;
            } else if (distance2 >= outermost) {
                line[x] = hex[0];
            } else {
                std::size_t band = 1;
                while (band < radii.size() && distance2 < radii[band]) {
                    ++band;
                }
                line[x] = hex[band];
            }
        }
    }
    if ((outlines_ && size >= OutlinesFrom) || labelSize() > 0) {
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

QPointF MapRenderer::imageOrigin() const {
    // A column lies 1.5 sizes right of the one before, a row a hex height below.
    const double size = geometry_.size();
    return {1.5 * size * hexes_.left(), geometry_.bounds(0, 0).height() * hexes_.top()};
}

QSize MapRenderer::imageSize() const {
    // The drawn hexes as a map of their own, whose first column is lowered when
    // theirs is.
    const HexGeometry drawn(hexes_.width(), hexes_.height(), geometry_.size(),
                            geometry_.isLowered(hexes_.left()));
    const QSizeF size = drawn.mapBounds().size();
    const auto up = [](double length) { return static_cast<int>(std::ceil(length - RoundingSlack)); };
    return QSize(up(size.width()), up(size.height())).expandedTo(QSize(1, 1));
}

QImage MapRenderer::image(QImage::Format format) const {
    // Every pixel is opaque or wholly transparent, the same in either form.
    QImage image(imageSize(), format);
    draw(image, imageOrigin(), qRgba(0, 0, 0, 0));
    return image;
}

QRect MapRenderer::hexesMeeting(const QRectF& view) const {
    const double size = geometry_.size();
    const double height = geometry_.bounds(0, 0).height();
    // Column c reaches from 1.5 c sizes to 2 sizes further; a raised row r from
    // r hex heights to one further, a lowered one half a hex lower.
    const int firstColumn =
        std::max(hexes_.left(), static_cast<int>(std::floor((view.left() - 2 * size) / (1.5 * size))));
    const int lastColumn = std::min(hexes_.right(), static_cast<int>(view.right() / (1.5 * size)) + 1);
    const int firstRow = std::max(hexes_.top(), static_cast<int>(std::floor(view.top() / height)) - 1);
    const int lastRow = std::min(hexes_.bottom(), static_cast<int>(view.bottom() / height) + 1);
    return QRect(QPoint(firstColumn, firstRow), QPoint(lastColumn, lastRow));
}

int MapRenderer::labelLines() const {
    int lines = (coordinates_ ? 1 : 0) + (valueLabels_ ? 1 : 0);
    for (const Overlay& overlay : overlays_) {
        lines += overlay.style == OverlayStyle::Values ? 1 : 0;
    }
    return lines;
}

int MapRenderer::labelSize() const {
    const int lines = labelLines();
    const double size = geometry_.size();
    if (lines == 0 || size < NumbersFrom) {
        return 0;
    }
    int pixels = static_cast<int>(std::min(size * LabelHeight, size * LabelsHeight / lines));
    // The widest text a hex may hold must fit across it: smaller where it
    // does not, and none when that is too small to read.
    const QString widest = coordinates_ ? QStringLiteral("%1,%2")
                                              .arg(std::max(geometry_.columns() - 1, 0))
                                              .arg(std::max(geometry_.rows() - 1, 0))
                                        : QStringLiteral("255");
    QFont font;
    for (int tries = 0; tries < 2 && pixels >= SmallestLabel; ++tries) {
        font.setPixelSize(pixels);
        const int advance = QFontMetrics(font).horizontalAdvance(widest);
        if (advance <= size * LabelWidth) {
            return pixels;
        }
        pixels = std::min(pixels - 1, static_cast<int>(pixels * size * LabelWidth / advance));
    }
    return 0;
}

std::vector<MapRenderer::Label> MapRenderer::labelsOf(int column, int row) const {
    std::vector<Label> lines;
    if (coordinates_) {
        lines.push_back({QStringLiteral("%1,%2").arg(column).arg(row), 1.0});
    }
    if (valueLabels_) {
        lines.push_back({QString::number(valueLabels_(column, row)), 1.0});
    }
    for (const Overlay& overlay : overlays_) {
        if (overlay.style == OverlayStyle::Values) {
            const std::int32_t value = overlay.values(column, row);
            lines.push_back({amp::lowByte(value) != 0 ? QString::number(value) : QString(), overlay.opacity});
        }
    }
    return lines;
}

void MapRenderer::decorate(QPainter& painter, const QRectF& view) const {
    const QRect hexes = hexesMeeting(view);
    if (outlines_ && geometry_.size() >= OutlinesFrom) {
        painter.setPen(QPen(QColor::fromRgba(OutlineColour), 0));
        painter.setBrush(Qt::NoBrush);
        for (int column = hexes.left(); column <= hexes.right(); ++column) {
            for (int row = hexes.top(); row <= hexes.bottom(); ++row) {
                const auto corners = geometry_.corners(column, row);
                painter.drawPolygon(corners.data(), static_cast<int>(corners.size()));
            }
        }
    }
    const int pixels = labelSize();
    if (pixels == 0) {
        return;
    }
    QFont font = painter.font();
    font.setPixelSize(pixels);
    painter.setFont(font);
    const double lineHeight = QFontMetrics(font).height();
    for (int column = hexes.left(); column <= hexes.right(); ++column) {
        for (int row = hexes.top(); row <= hexes.bottom(); ++row) {
            const std::vector<Label> lines = labelsOf(column, row);
            painter.setPen(QColor(hexColour(column, row)).lightnessF() > LightFrom ? Qt::black : Qt::white);
            // The lines stand one under the other, centred on the hex's centre.
            const QPointF centre = geometry_.centre(column, row);
            double top = centre.y() - lineHeight * static_cast<double>(lines.size()) / 2;
            for (const auto& [text, opacity] : lines) {
                painter.setOpacity(opacity);
                const QRectF box(centre.x() - geometry_.size(), top, 2 * geometry_.size(), lineHeight);
                painter.drawText(box, Qt::AlignCenter, text);
                top += lineHeight;
            }
        }
    }
}
