// SPDX-License-Identifier: MIT
#include "conflictmodel.h"
#include "differencemodel.h"
#include "mapformat.h"

#include <QColor>

ConflictModel::ConflictModel(const MapMerge& merge, QObject* parent)
    : QAbstractTableModel(parent), merge_(merge) {
    connect(&merge_, &MapMerge::conflictsChanged, this, [this] {
        if (rowCount() > 0) {
            emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
        }
    });
}

int ConflictModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(merge_.conflictCount());
}

int ConflictModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString ConflictModel::byteText(int byte) {
    return byte == amp::MergeConflict::NoByte ? QStringLiteral("–") : QString::number(byte);
}

// A terrain value is told with its name, as the legend tells it: "4 (Forest)".
static QString valueText(const amp::MergeConflict& conflict, int byte) {
    const QString text = ConflictModel::byteText(byte);
    if (conflict.isHeader || conflict.layer != amp::TerrainLayer || byte == amp::MergeConflict::NoByte) {
        return text;
    }
    const std::string_view name = amp::terrainName(byte);
    return name.empty() ? text
                        : QStringLiteral("%1 (%2)").arg(
                              text, QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

QVariant ConflictModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const auto at = static_cast<std::size_t>(index.row());
    if (role == Qt::ForegroundRole) {
        return merge_.isLeft(at) ? QVariant() : QVariant(QColor(Qt::gray));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    const amp::MergeConflict& c = merge_.conflict(at);
    switch (index.column()) {
    case ColumnColumn:
        return c.isHeader ? tr("header") : QString::number(c.column);
    case RowColumn:
        return c.isHeader ? QString() : QString::number(c.row);
    case LayerColumn:
        return c.isHeader ? tr("byte %1").arg(c.headerByte) : DifferenceModel::layerText(c.layer);
    case BaseColumn:
        return valueText(c, c.base);
    case OursColumn:
        return valueText(c, c.ours);
    case TheirsColumn:
        return valueText(c, c.theirs);
    case NowColumn:
        return merge_.isLeft(at) ? valueText(c, merge_.currentByte(at))
                                 : tr("%1 (settled)").arg(valueText(c, merge_.currentByte(at)));
    default:
        return {};
    }
}

QVariant ConflictModel::headerData(int section, Qt::Orientation orientation, int role) const {
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
    case BaseColumn:
        return tr("Base");
    case OursColumn:
        return tr("Ours");
    case TheirsColumn:
        return tr("Theirs");
    case NowColumn:
        return tr("Now");
    default:
        return {};
    }
}
