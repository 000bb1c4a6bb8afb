// SPDX-License-Identifier: MIT
// The differences of a comparison as a table (column, row, layer, this map's
// byte, the other's), lazily: a row is one 64-bit key in an array kept in the
// order shown, and its texts are made only when a view asks. Sorting by any
// column and keeping one layer are a counting sort over the comparison, with no
// comparison sort; an edit moves only the rows of the cells it changed.
#pragma once

#include "mapcomparison.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <optional>
#include <vector>

class DifferenceModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { ColumnColumn, RowColumn, LayerColumn, EditedColumn, OtherColumn, ColumnCount };

    explicit DifferenceModel(const MapComparison& comparison, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // A layer's name as the Layer column and the dock's filter show it ("terrain").
    static QString layerText(int layer);

    // Only the differences of one layer (-1: of every layer).
    int layerFilter() const { return layer_; }
    void setLayerFilter(int layer);

    Difference differenceAt(int row) const;
    // The row that shows a difference, if the filter keeps it.
    std::optional<int> rowOf(const Difference& difference) const;

private:
    std::uint64_t keyOf(const Difference& difference, std::uint8_t edited) const;
    Difference decode(std::uint64_t key) const;
    void rebuild();
    void follow(const std::vector<MapComparison::CellChange>& changes);
    int shownRow(std::size_t position, std::size_t size) const {
        return static_cast<int>(order_ == Qt::AscendingOrder ? position : size - 1 - position);
    }

    const MapComparison& comparison_;
    int layer_ = -1;
    int sortColumn_ = ColumnColumn;
    Qt::SortOrder order_ = Qt::AscendingOrder;
    // Ascending keys: the sort column's value above bit 32, the cell's place in
    // file order ((column * rows + row) * 13 + layer) below; a descending order
    // reads them backwards.
    std::vector<std::uint64_t> keys_;
};
