// SPDX-License-Identifier: MIT
// The hex under every pixel of an image, fast: the geometry's own nearestHex,
// with what depends on x alone worked out once per column of pixels and what
// depends on y alone once per line. Pixel (0, 0) of the image is map pixel
// `origin`; a pixel stands for the map point at its centre.
#pragma once

#include "hexgeometry.h"

#include <QPointF>

#include <algorithm>
#include <cstddef>
#include <vector>

class HexRaster {
public:
    static constexpr double PixelCentre = 0.5;

    HexRaster(const HexGeometry& geometry, QPointF origin, int width)
        : geometry_(geometry), originY_(origin.y()) {
        columns_.reserve(static_cast<std::size_t>(std::max(width, 0)));
        for (int x = 0; x < width; ++x) {
            columns_.push_back(geometry.columnsAround(origin.x() + x + PixelCentre));
        }
    }

    // Makes line `y` the one that at() answers for.
    void setLine(int y) { rows_ = geometry_.rowsAround(originY_ + y + PixelCentre); }
    HexCell at(int x) const { return HexGeometry::nearer(columns_[static_cast<std::size_t>(x)], rows_); }
    // The same, and the squared distance from the pixel to that hex's centre.
    HexCell at(int x, double& distance2) const {
        const auto& around = columns_[static_cast<std::size_t>(x)];
        const HexCell cell = HexGeometry::nearer(around, rows_);
        const int a = around.leftLowered ? 1 : 0;
        distance2 =
            cell.column == around.left ? around.leftDx2 + rows_.dy2[a] : around.rightDx2 + rows_.dy2[1 - a];
        return cell;
    }

    // The columns the pixels reach: from the left one of the first pixel to the
    // right one of the last.
    int firstColumn() const { return columns_.empty() ? 0 : columns_.front().left; }
    int lastColumn() const { return columns_.empty() ? -1 : columns_.back().left + 1; }
    // The rows a line reaches, in either kind of column.
    int firstRow() const { return std::min(rows_.row[0], rows_.row[1]); }
    int lastRow() const { return std::max(rows_.row[0], rows_.row[1]); }

private:
    const HexGeometry& geometry_;
    double originY_;
    std::vector<HexGeometry::ColumnsAround> columns_;
    HexGeometry::RowsAround rows_;
};
