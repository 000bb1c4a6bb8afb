// SPDX-License-Identifier: MIT
#include "hexgeometry.h"

#include <cmath>

namespace {

constexpr double Sqrt3 = 1.7320508075688772;

} // namespace

HexGeometry::HexGeometry(int columns, int rows, double size, bool evenColumnsLower)
    : columns_(columns), rows_(rows), size_(size), halfHeight_(size * Sqrt3 / 2),
      evenLower_(evenColumnsLower) {}

// Columns are 1.5 sizes apart, rows a hex height (2 half heights); the first
// centre lies a size in from the left and a half height down from the top.
QPointF HexGeometry::centre(int column, int row) const {
    return {size_ + 1.5 * size_ * column, halfHeight_ + 2 * halfHeight_ * row + rowOffset(column)};
}

std::array<QPointF, 6> HexGeometry::corners(int column, int row) const {
    const QPointF c = centre(column, row);
    return {QPointF(c.x() + size_, c.y()),
            QPointF(c.x() + size_ / 2, c.y() + halfHeight_),
            QPointF(c.x() - size_ / 2, c.y() + halfHeight_),
            QPointF(c.x() - size_, c.y()),
            QPointF(c.x() - size_ / 2, c.y() - halfHeight_),
            QPointF(c.x() + size_ / 2, c.y() - halfHeight_)};
}

QRectF HexGeometry::bounds(int column, int row) const {
    const QPointF c = centre(column, row);
    return {c.x() - size_, c.y() - halfHeight_, 2 * size_, 2 * halfHeight_};
}

QRectF HexGeometry::mapBounds() const {
    if (columns_ <= 0 || rows_ <= 0) {
        return {};
    }
    const double width = size_ * (1.5 * columns_ + 0.5);
    const double height = 2 * halfHeight_ * rows_ + (columns_ > 1 || evenLower_ ? halfHeight_ : 0.0);
    return {0, 0, width, height};
}

HexGeometry::ColumnsAround HexGeometry::columnsAround(double x) const {
    const double step = 1.5 * size_;
    const int left = static_cast<int>(std::floor((x - size_) / step));
    const double dx = x - (size_ + step * left);
    return {left, isLowered(left), dx * dx, (dx - step) * (dx - step)};
}

HexGeometry::RowsAround HexGeometry::rowsAround(double y) const {
    RowsAround around;
    for (int lowered = 0; lowered < 2; ++lowered) {
        const double offset = halfHeight_ + lowered * halfHeight_;
        around.row[lowered] = static_cast<int>(std::lround((y - offset) / (2 * halfHeight_)));
        const double dy = y - (offset + 2 * halfHeight_ * around.row[lowered]);
        around.dy2[lowered] = dy * dy;
    }
    return around;
}

std::optional<HexCell> HexGeometry::hexAt(QPointF point) const {
    const HexCell nearest = nearestHex(point.x(), point.y());
    if (!contains(nearest.column, nearest.row)) {
        return std::nullopt;
    }
    // Beyond the map's outer edges the nearest centre is a border hex that does
    // not hold the point.
    const QPointF c = centre(nearest.column, nearest.row);
    const double dx = std::abs(point.x() - c.x()), dy = std::abs(point.y() - c.y());
    const double slack = 1e-9 * size_;
    if (dy > halfHeight_ + slack || Sqrt3 * dx + dy > 2 * halfHeight_ + slack) {
        return std::nullopt;
    }
    return nearest;
}

std::vector<HexCell> HexGeometry::neighbours(int column, int row) const {
    return cellsOf(hexsymmetry::neighbours({columns_, rows_, evenLower_}, {column, row}));
}

std::vector<HexCell> cellsOf(const std::vector<hexsymmetry::Offset>& hexes) {
    std::vector<HexCell> cells;
    cells.reserve(hexes.size());
    for (const hexsymmetry::Offset& hex : hexes) {
        cells.push_back({hex.column, hex.row});
    }
    return cells;
}
