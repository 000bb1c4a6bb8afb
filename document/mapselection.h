// SPDX-License-Identifier: MIT
// The selection the number views, the picture and any other caller share: the
// layer it was made on, rectangles of cells on it, and the current hex. It
// belongs to the document, which gives it the shape of every map it loads, so a
// selection never names a cell the map does not have.
#pragma once

#include <QObject>
#include <QRect>

#include <optional>
#include <vector>

#include "hexgeometry.h"

class MapSelection : public QObject {
    Q_OBJECT

public:
    explicit MapSelection(QObject* parent = nullptr) : QObject(parent) {}

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    int layer() const { return layer_; }
    // Rectangles of [column][row] cells, each inside the map.
    const std::vector<QRect>& rectangles() const { return rectangles_; }
    std::optional<HexCell> currentHex() const { return current_; }

    // A new map: nothing is selected, and cells are checked against its shape.
    void reset(int columns, int rows);
    // Replaces the rectangles (cut to the map's edges) on `layer`.
    void select(int layer, const std::vector<QRect>& rectangles);
    void clear();
    void setCurrentHex(std::optional<HexCell> hex);

    bool isEmpty() const { return rectangles_.empty(); }
    bool contains(int column, int row) const;
    // How many cells the rectangles hold (a cell in two counts once).
    int cellCount() const;
    // The selected cells in the cell rule's order (column * rows + row); empty
    // when nothing is selected.
    std::vector<bool> mask() const;

signals:
    void changed();

private:
    int columns_ = 0;
    int rows_ = 0;
    int layer_ = 0;
    std::vector<QRect> rectangles_;
    std::optional<HexCell> current_;
};
