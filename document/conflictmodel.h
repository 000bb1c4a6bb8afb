// SPDX-License-Identifier: MIT
// The conflicts of a merge as a table: where (column, row and layer, or a
// header byte), the base's, ours and theirs bytes, and what the map holds there
// now. A row is a conflict's place in the merge's list, so the table costs
// nothing to fill and its texts are made only when a view asks; settled rows
// stay, greyed, so a row keeps its place while conflicts are settled.
#pragma once

#include "mapmerging.h"

#include <QAbstractTableModel>

class ConflictModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        ColumnColumn,
        RowColumn,
        LayerColumn,
        BaseColumn,
        OursColumn,
        TheirsColumn,
        NowColumn,
        ColumnCount
    };

    explicit ConflictModel(const MapMerge& merge, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // A byte as the table shows it: the number, or a dash for a hex a map lacks.
    static QString byteText(int byte);

private:
    const MapMerge& merge_;
};
