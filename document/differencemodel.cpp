// SPDX-License-Identifier: MIT
#include "differencemodel.h"
#include "mapformat.h"

#include <algorithm>
#include <array>

namespace {

constexpr int KeyShift = 32;
constexpr std::uint64_t PlaceMask = (std::uint64_t{1} << KeyShift) - 1;
// Every sort value (a column, a row, a layer, a byte) is below this.
constexpr std::size_t SortValues = 256;
// An edit of more cells than this sets the rows up afresh rather than one by one.
constexpr std::size_t LargestFollowedEdit = 256;

} // namespace

QString DifferenceModel::layerText(int layer) {
    const auto name = amp::LayerNames[static_cast<std::size_t>(layer)];
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

DifferenceModel::DifferenceModel(const MapComparison& comparison, QObject* parent)
    : QAbstractTableModel(parent), comparison_(comparison) {
    connect(&comparison_, &MapComparison::compared, this, [this] {
        beginResetModel();
        rebuild();
        endResetModel();
    });
    connect(&comparison_, &MapComparison::cellsChanged, this, &DifferenceModel::follow);
    rebuild();
}

int DifferenceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(keys_.size());
}

int DifferenceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DifferenceModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    const Difference cell = differenceAt(index.row());
    switch (index.column()) {
    case ColumnColumn:
        return cell.column;
    case RowColumn:
        return cell.row;
    case LayerColumn:
        return layerText(cell.layer);
    case EditedColumn:
        return comparison_.editedByte(cell.layer, cell.column, cell.row);
    case OtherColumn:
        return comparison_.otherByte(cell.layer, cell.column, cell.row);
    default:
        return {};
    }
}

QVariant DifferenceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
    case ColumnColumn:
        return tr("Column");
    case RowColumn:
        return tr("Row");
    case LayerColumn:
        return tr("Layer");
    case EditedColumn:
        return tr("This map");
    case OtherColumn:
        return tr("Other map");
    default:
        return {};
    }
}

void DifferenceModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) {
        return;
    }
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<Difference> held;
    for (const QModelIndex& index : before) {
        held.push_back(differenceAt(index.row()));
    }
    sortColumn_ = column;
    order_ = order;
    rebuild();
    QModelIndexList after;
    for (std::size_t i = 0; i < held.size(); ++i) {
        const auto row = rowOf(held[i]);
        after.append(row ? index(*row, before[static_cast<qsizetype>(i)].column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void DifferenceModel::setLayerFilter(int layer) {
    beginResetModel();
    layer_ = layer;
    rebuild();
    endResetModel();
}

std::uint64_t DifferenceModel::keyOf(const Difference& cell, std::uint8_t edited) const {
    std::uint64_t value = 0;
    switch (sortColumn_) {
    case RowColumn:
        value = static_cast<std::uint64_t>(cell.row);
        break;
    case LayerColumn:
        value = static_cast<std::uint64_t>(cell.layer);
        break;
    case EditedColumn:
        value = edited;
        break;
    case OtherColumn:
        value = comparison_.otherByte(cell.layer, cell.column, cell.row);
        break;
    default: // the file's own order is column first
        break;
    }
    const auto place =
        static_cast<std::uint64_t>(cell.column * comparison_.commonRows() + cell.row) * amp::LayerCount +
        static_cast<std::uint64_t>(cell.layer);
    return value << KeyShift | place;
}

Difference DifferenceModel::decode(std::uint64_t key) const {
    const auto place = static_cast<int>(key & PlaceMask);
    const int hex = place / amp::LayerCount;
    const int rows = std::max(comparison_.commonRows(), 1);
    return {place % amp::LayerCount, hex / rows, hex % rows};
}

Difference DifferenceModel::differenceAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= keys_.size()) {
        return {};
    }
    const std::size_t at = order_ == Qt::AscendingOrder ? static_cast<std::size_t>(row)
                                                        : keys_.size() - 1 - static_cast<std::size_t>(row);
    return decode(keys_[at]);
}

std::optional<int> DifferenceModel::rowOf(const Difference& cell) const {
    if (!comparison_.differs(cell.layer, cell.column, cell.row)) {
        return {};
    }
    const std::uint64_t key = keyOf(cell, comparison_.editedByte(cell.layer, cell.column, cell.row));
    const auto found = std::lower_bound(keys_.begin(), keys_.end(), key);
    if (found == keys_.end() || *found != key) {
        return {};
    }
    return shownRow(static_cast<std::size_t>(found - keys_.begin()), keys_.size());
}

// A counting sort: the differences in file order go to the bucket of their sort
// value, which keeps file order within a bucket.
void DifferenceModel::rebuild() {
    keys_.clear();
    std::vector<std::uint64_t> inOrder;
    std::array<std::size_t, SortValues + 1> starts{};
    const int columns = comparison_.commonColumns(), rows = comparison_.commonRows();
    inOrder.reserve(layer_ < 0 ? comparison_.cellCount()
                               : static_cast<std::size_t>(comparison_.cellCount(layer_)));
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            if (!comparison_.hexDiffers(column, row)) {
                continue;
            }
            for (int j = 0; j < amp::LayerCount; ++j) {
                if ((layer_ < 0 || layer_ == j) && comparison_.differs(j, column, row)) {
                    const std::uint64_t key = keyOf({j, column, row}, comparison_.editedByte(j, column, row));
                    inOrder.push_back(key);
                    ++starts[static_cast<std::size_t>(key >> KeyShift) + 1];
                }
            }
        }
    }
    for (std::size_t i = 1; i < starts.size(); ++i) {
        starts[i] += starts[i - 1];
    }
    keys_.resize(inOrder.size());
    for (const std::uint64_t key : inOrder) {
        keys_[starts[static_cast<std::size_t>(key >> KeyShift)]++] = key;
    }
}

// Each changed cell leaves its row and, if it still differs, takes the row its
// new key sorts to; a large edit sets the rows up afresh.
void DifferenceModel::follow(const std::vector<MapComparison::CellChange>& changes) {
    if (changes.size() > LargestFollowedEdit) {
        beginResetModel();
        rebuild();
        endResetModel();
        return;
    }
    for (const MapComparison::CellChange& change : changes) {
        if (layer_ >= 0 && change.cell.layer != layer_) {
            continue;
        }
        const std::uint64_t before = keyOf(change.cell, change.before);
        const std::uint64_t after = keyOf(change.cell, change.after);
        if (change.wasDifferent) {
            const auto found = std::lower_bound(keys_.begin(), keys_.end(), before);
            if (found != keys_.end() && *found == before) {
                const int row = shownRow(static_cast<std::size_t>(found - keys_.begin()), keys_.size());
                if (change.isDifferent && before == after) {
                    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
                    continue;
                }
                beginRemoveRows({}, row, row);
                keys_.erase(found);
                endRemoveRows();
            }
        }
        if (change.isDifferent) {
            const auto place = std::lower_bound(keys_.begin(), keys_.end(), after);
            const auto position = static_cast<std::size_t>(place - keys_.begin());
            const int row = order_ == Qt::AscendingOrder ? static_cast<int>(position)
                                                         : static_cast<int>(keys_.size() - position);
            beginInsertRows({}, row, row);
            keys_.insert(place, after);
            endInsertRows();
        }
    }
}
