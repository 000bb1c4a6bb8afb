// SPDX-License-Identifier: MIT
#include "mapcomparison.h"
#include "mapcompare.h"
#include "mapdocument.h"

#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace {

QString count(qsizetype n) {
    return QLocale(QLocale::English).toString(n);
}

// The part of a map of `columns` x `rows` hexes beyond `common`: the columns
// right of it, then the rows below it.
std::vector<QRect> beyond(int columns, int rows, int commonColumns, int commonRows) {
    std::vector<QRect> parts;
    if (columns > commonColumns && rows > 0) {
        parts.emplace_back(commonColumns, 0, columns - commonColumns, rows);
    }
    if (rows > commonRows && commonColumns > 0) {
        parts.emplace_back(0, commonRows, commonColumns, rows - commonRows);
    }
    return parts;
}

} // namespace

MapComparison::MapComparison(MapDocument& edited, const MapDocument& other, QObject* parent)
    : QObject(parent), edited_(edited), other_(other) {
    connect(&edited_, &MapDocument::cellsChanged, this, &MapComparison::follow);
    connect(&edited_, &MapDocument::mapReset, this, &MapComparison::compareAll);
    // The other map changes only when it is read again; a change of its cells
    // is compared afresh.
    connect(&other_, &MapDocument::mapReset, this, &MapComparison::compareAll);
    connect(&other_, &MapDocument::cellsChanged, this, &MapComparison::compareAll);
    compareAll();
}

bool MapComparison::sameSize() const {
    return edited_.columns() == other_.columns() && edited_.rows() == other_.rows();
}

std::vector<int> MapComparison::headerDifferences() const {
    return amp::compareOutlines({edited_.header(), {}, 0}, {other_.header(), {}, 0}).headerBytes;
}

std::vector<QRect> MapComparison::onlyInEdited() const {
    return beyond(edited_.columns(), edited_.rows(), commonColumns_, commonRows_);
}

std::vector<QRect> MapComparison::onlyInOther() const {
    return beyond(other_.columns(), other_.rows(), commonColumns_, commonRows_);
}

int MapComparison::layerCount() const {
    return static_cast<int>(
        std::count_if(layerCounts_.begin(), layerCounts_.end(), [](int n) { return n > 0; }));
}

QString MapComparison::countText() const {
    const int layers = layerCount();
    return tr("%1 %2 in %3 %4")
        .arg(count(hexCount_), hexCount_ == 1 ? tr("hex differs") : tr("hexes differ"))
        .arg(layers)
        .arg(layers == 1 ? tr("layer") : tr("layers"));
}

std::size_t MapComparison::editedIndex(int layer, int column, int row) const {
    return amp::recordOffset(column * editedRows_ + row) + static_cast<std::size_t>(layer);
}

std::size_t MapComparison::otherIndex(int layer, int column, int row) const {
    return amp::recordOffset(column * otherRows_ + row) + static_cast<std::size_t>(layer);
}

bool MapComparison::differs(int layer, int column, int row) const {
    return layer >= 0 && layer < amp::LayerCount && inCommon(column, row) && differsAt(layer, column, row);
}

bool MapComparison::hexDiffers(int column, int row) const {
    return inCommon(column, row) && hexLayers_[static_cast<std::size_t>(column * commonRows_ + row)] > 0;
}

std::uint8_t MapComparison::editedByte(int layer, int column, int row) const {
    return inCommon(column, row) ? mine_[editedIndex(layer, column, row)] : std::uint8_t{0};
}

std::uint8_t MapComparison::otherByte(int layer, int column, int row) const {
    return inCommon(column, row) ? theirs_[otherIndex(layer, column, row)] : std::uint8_t{0};
}

void MapComparison::compareAll() {
    mine_ = edited_.encode();
    theirs_ = other_.encode();
    editedColumns_ = edited_.columns();
    editedRows_ = edited_.rows();
    otherRows_ = other_.rows();
    // The one rule amptool diff follows too (mapcompare.h), on both maps as complete files.
    const auto outline = amp::compareOutlines(amp::viewMap(mine_).value(), amp::viewMap(theirs_).value());
    commonColumns_ = outline.commonColumns;
    commonRows_ = outline.commonRows;
    hexLayers_.assign(static_cast<std::size_t>(commonColumns_) * static_cast<std::size_t>(commonRows_), 0);
    const amp::MapDifferences differences =
        amp::compareMaps(amp::viewMap(mine_).value(), amp::viewMap(theirs_).value(),
                         [this](int column, int row, const std::uint8_t* a, const std::uint8_t* b) {
                             std::uint8_t layers = 0;
                             for (std::size_t j = 0; j < amp::RecordSize; ++j) {
                                 layers += a[j] != b[j] ? 1 : 0;
                             }
                             hexLayers_[static_cast<std::size_t>(column * commonRows_ + row)] = layers;
                         });
    for (std::size_t j = 0; j < amp::RecordSize; ++j) {
        layerCounts_[j] = static_cast<int>(differences.layerCells[j]);
    }
    cellCount_ = static_cast<std::size_t>(differences.cells);
    hexCount_ = static_cast<int>(differences.hexes);
    emit compared();
}

void MapComparison::countHex(std::size_t hex, int change) {
    const int before = hexLayers_[hex];
    hexLayers_[hex] = static_cast<std::uint8_t>(before + change);
    if (before == 0) {
        ++hexCount_;
    } else if (before + change == 0) {
        --hexCount_;
    }
}

// Only the cells of the edit are compared again; their bytes before the edit
// are still in the edited map's copy.
void MapComparison::follow(int layer, const QRect& cells) {
    if (edited_.columns() != editedColumns_ || edited_.rows() != editedRows_) {
        compareAll(); // a new shape: the reset that follows compares again anyway
        return;
    }
    const QRect common = cells.intersected(QRect(0, 0, commonColumns_, commonRows_));
    const LayerModel* model = edited_.layer(layer);
    std::vector<CellChange> changes;
    for (int column = common.left(); column <= common.right(); ++column) {
        for (int row = common.top(); row <= common.bottom(); ++row) {
            std::uint8_t& mine = mine_[editedIndex(layer, column, row)];
            const std::uint8_t after = model->cellByte(column, row);
            if (after == mine) {
                continue;
            }
            const std::uint8_t theirs = theirs_[otherIndex(layer, column, row)];
            const CellChange change{{layer, column, row}, mine, after, mine != theirs, after != theirs};
            mine = after;
            if (change.wasDifferent != change.isDifferent) {
                const int step = change.isDifferent ? 1 : -1;
                layerCounts_[static_cast<std::size_t>(layer)] += step;
                cellCount_ = static_cast<std::size_t>(static_cast<long long>(cellCount_) + step);
                countHex(static_cast<std::size_t>(column * commonRows_ + row), step);
            }
            changes.push_back(change);
        }
    }
    if (!changes.empty()) {
        emit cellsChanged(changes);
    }
}

std::optional<Difference> MapComparison::step(const Difference& from, int step, int layer) const {
    const int hexes = commonColumns_ * commonRows_;
    if (hexes == 0 || cellCount_ == 0) {
        return {};
    }
    const bool forward = step >= 0;
    const bool inside = inCommon(from.column, from.row);
    // A start outside the common hexes lies just before the first (or after the last).
    const int startHex = inside ? from.column * commonRows_ + from.row : forward ? 0 : hexes - 1;
    const int startLayer = inside    ? std::clamp(from.layer, 0, amp::LayerCount - 1)
                           : forward ? -1
                                     : amp::LayerCount;
    for (int i = 0; i <= hexes; ++i) {
        const int hex = ((forward ? startHex + i : startHex - i) % hexes + hexes) % hexes;
        if (hexLayers_[static_cast<std::size_t>(hex)] == 0) {
            continue;
        }
        // The start hex is looked at twice: past the start first, up to it after wrapping.
        int first = 0, last = amp::LayerCount - 1;
        if (i == 0) {
            (forward ? first : last) = forward ? startLayer + 1 : startLayer - 1;
        } else if (i == hexes) {
            (forward ? last : first) = startLayer;
        }
        for (int k = 0; k <= last - first; ++k) {
            const int j = forward ? first + k : last - k;
            const int column = hex / commonRows_, row = hex % commonRows_;
            if ((layer < 0 || layer == j) && differsAt(j, column, row)) {
                return Difference{j, column, row};
            }
        }
    }
    return {};
}

QString MapComparison::takeTheirs(Scope scope, int layer, HexCell hex) {
    std::vector<CellEdit> edits;
    qsizetype hexes = 0;
    const MapSelection& selection = edited_.selection();
    for (int column = 0; column < commonColumns_; ++column) {
        for (int row = 0; row < commonRows_; ++row) {
            const bool wanted = scope == Scope::All || scope == Scope::Layer ||
                                (scope == Scope::Hex && hex == HexCell{column, row}) ||
                                (scope == Scope::Selection && selection.contains(column, row));
            if (!wanted || hexLayers_[static_cast<std::size_t>(column * commonRows_ + row)] == 0) {
                continue;
            }
            const std::size_t before = edits.size();
            for (int j = 0; j < amp::LayerCount; ++j) {
                if ((scope != Scope::Layer || j == layer) && differsAt(j, column, row)) {
                    edits.push_back(
                        {j, column, row, LayerModel::canonicalText(theirs_[otherIndex(j, column, row)])});
                }
            }
            hexes += edits.size() > before ? 1 : 0;
        }
    }
    QString name = QFileInfo(other_.fileName()).fileName();
    if (name.isEmpty()) {
        name = tr("the other map");
    }
    const QString text =
        tr("Take %1 %2 from %3").arg(count(hexes), hexes == 1 ? tr("hex") : tr("hexes"), name);
    return edited_.editCells(text, edits) ? text : QString();
}
