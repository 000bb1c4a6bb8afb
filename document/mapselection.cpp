// SPDX-License-Identifier: MIT
#include "mapselection.h"

#include <algorithm>

void MapSelection::reset(int columns, int rows) {
    columns_ = std::max(columns, 0);
    rows_ = std::max(rows, 0);
    rectangles_.clear();
    current_.reset();
    emit changed();
}

void MapSelection::select(int layer, const std::vector<QRect>& rectangles) {
    const QRect map(0, 0, columns_, rows_);
    std::vector<QRect> inside;
    for (const QRect& rectangle : rectangles) {
        if (const QRect cut = rectangle.normalized() & map; !cut.isEmpty()) {
            inside.push_back(cut);
        }
    }
    if (inside == rectangles_ && layer == layer_) {
        return;
    }
    layer_ = layer;
    rectangles_ = std::move(inside);
    emit changed();
}

void MapSelection::clear() {
    if (!rectangles_.empty()) {
        rectangles_.clear();
        emit changed();
    }
}

void MapSelection::setCurrentHex(std::optional<HexCell> hex) {
    if (hex && (hex->column < 0 || hex->row < 0 || hex->column >= columns_ || hex->row >= rows_)) {
        hex.reset();
    }
    current_ = hex;
}

bool MapSelection::contains(int column, int row) const {
    for (const QRect& rectangle : rectangles_) {
        if (rectangle.contains(column, row)) {
            return true;
        }
    }
    return false;
}

int MapSelection::cellCount() const {
    if (rectangles_.size() == 1) {
        return rectangles_.front().width() * rectangles_.front().height();
    }
    int count = 0;
    for (const bool selected : mask()) {
        count += selected ? 1 : 0;
    }
    return count;
}

std::vector<bool> MapSelection::mask() const {
    if (rectangles_.empty()) {
        return {};
    }
    std::vector<bool> cells(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), false);
    for (const QRect& rectangle : rectangles_) {
        for (int column = rectangle.left(); column <= rectangle.right(); ++column) {
            for (int row = rectangle.top(); row <= rectangle.bottom(); ++row) {
                cells[static_cast<std::size_t>(column) * static_cast<std::size_t>(rows_) +
                      static_cast<std::size_t>(row)] = true;
            }
        }
    }
    return cells;
}
