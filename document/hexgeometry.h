// SPDX-License-Identifier: MIT
// The geometry of the map as flat-topped hexes: columns left to right, rows top
// to bottom, every other column half a hex lower (odd columns by default, the
// "odd-q" layout; even columns when asked). Pure maths in map pixels, where a
// hex's size is the distance from its centre to a corner: centres, corners, the
// hex under a point, and the six neighbours inside the map. The hex under a
// point is worked out in one place, nearestHex; HexRaster applies the same
// function to every pixel of an image.
#pragma once

#include "hexshapes.h"

#include <QPointF>
#include <QRectF>

#include <array>
#include <optional>
#include <vector>

struct HexCell {
    int column = 0;
    int row = 0;
    friend bool operator==(const HexCell&, const HexCell&) = default;
};

// The lattice's plain hexes (hexsymmetry, which the shapes and the flood fill
// work on) as cells, and back.
inline hexsymmetry::Offset offsetOf(HexCell cell) {
    return {cell.column, cell.row};
}
std::vector<HexCell> cellsOf(const std::vector<hexsymmetry::Offset>& hexes);

class HexGeometry {
public:
    HexGeometry(int columns, int rows, double size, bool evenColumnsLower = false);

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    double size() const { return size_; }
    bool evenColumnsLower() const { return evenLower_; }
    bool contains(int column, int row) const {
        return column >= 0 && row >= 0 && column < columns_ && row < rows_;
    }

    // Whether a column sits half a hex lower than its neighbours.
    bool isLowered(int column) const { return ((column & 1) == 1) != evenLower_; } // -1 is odd too
    QPointF centre(int column, int row) const;
    // The six corners, clockwise from the right-hand one.
    std::array<QPointF, 6> corners(int column, int row) const;
    // The rectangle that holds the hex.
    QRectF bounds(int column, int row) const;
    // The whole map's width and height.
    QRectF mapBounds() const;

    // The hex whose area holds the point: the nearest centre, so edges and corners
    // go to one hex each; nothing outside the map's hexes.
    std::optional<HexCell> hexAt(QPointF point) const;
    // The nearest centre without the map's bounds: the hex a pixel belongs to.
    // The point lies between the centres of two neighbouring columns, and in each
    // column the nearest centre is the nearest row; the nearer of the two wins (the
    // left one on a tie). What depends on x alone and what depends on y alone are
    // worked out apart, so that a raster of many pixels can reuse them.
    HexCell nearestHex(double x, double y) const { return nearer(columnsAround(x), rowsAround(y)); }
    struct ColumnsAround {
        int left = 0; // the column whose centre lies at or left of x
        bool leftLowered = false;
        double leftDx2 = 0; // the squared horizontal distances to the two columns' centres
        double rightDx2 = 0;
    };
    struct RowsAround {
        int row[2] = {0, 0}; // the nearest row in a raised [0] and in a lowered [1] column
        double dy2[2] = {0, 0};
    };
    ColumnsAround columnsAround(double x) const;
    RowsAround rowsAround(double y) const;
    static HexCell nearer(const ColumnsAround& x, const RowsAround& y) {
        const int a = x.leftLowered ? 1 : 0; // neighbouring columns differ
        return x.leftDx2 + y.dy2[a] <= x.rightDx2 + y.dy2[1 - a] ? HexCell{x.left, y.row[a]}
                                                                 : HexCell{x.left + 1, y.row[1 - a]};
    }

    // The neighbours inside the map, in the order up, up-right, down-right, down,
    // down-left, up-left.
    std::vector<HexCell> neighbours(int column, int row) const;

private:
    double rowOffset(int column) const { return isLowered(column) ? halfHeight_ : 0.0; }

    int columns_;
    int rows_;
    double size_;
    double halfHeight_; // half the height of a hex: size * sqrt(3) / 2
    bool evenLower_;
};
