// SPDX-License-Identifier: MIT
#include "mapmerging.h"
#include "layermodel.h"

#include <QLocale>
#include <QPointer>
#include <QUndoCommand>

#include <algorithm>

namespace {

QString count(qsizetype n) {
    return QLocale(QLocale::English).toString(n);
}

// The choice of a take: its conflicts count as settled until it is undone.
class TakeCommand : public QUndoCommand {
public:
    TakeCommand(MapMerge& merge, std::vector<std::size_t> indices)
        : merge_(&merge), indices_(std::move(indices)), before_(merge.takenOf(indices_)) {}

    void redo() override {
        if (merge_) {
            merge_->setTaken(indices_, std::vector<std::uint8_t>(indices_.size(), 1));
        }
    }
    void undo() override {
        if (merge_) {
            merge_->setTaken(indices_, before_);
        }
    }

private:
    QPointer<MapMerge> merge_; // a merge that ended leaves its steps nothing to do
    std::vector<std::size_t> indices_;
    std::vector<std::uint8_t> before_;
};

} // namespace

MapMerge::MapMerge(MapDocument& edited, std::vector<amp::MergeConflict> conflicts,
                   const QStringList& fileNames, QObject* parent)
    : QObject(parent), edited_(edited), conflicts_(std::move(conflicts)), fileNames_(fileNames),
      columns_(edited.columns()), rows_(edited.rows()) {
    const std::size_t cells = static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_);
    taken_.assign(conflicts_.size(), 0);
    left_.assign(conflicts_.size(), 0);
    cellIndex_.assign(cells * amp::LayerCount, -1);
    hexLeft_.assign(cells, 0);
    for (std::size_t i = 0; i < conflicts_.size(); ++i) {
        const amp::MergeConflict& c = conflicts_[i];
        if (c.isHeader) {
            headerIndices_.push_back(i);
        } else if (c.column < columns_ && c.row < rows_) {
            cellIndex_[static_cast<std::size_t>((c.column * rows_ + c.row) * amp::LayerCount + c.layer)] =
                static_cast<std::int32_t>(i);
        }
    }
    connect(&edited_, &MapDocument::cellsChanged, this, &MapMerge::follow);
    connect(&edited_, &MapDocument::mapReset, this, [this] {
        refreshAll();
        emit conflictsChanged();
    });
    connect(&edited_, &MapDocument::headerChanged, this, &MapMerge::followHeader);
    refreshAll();
}

MapMerge::~MapMerge() = default;

int MapMerge::currentByte(std::size_t index) const {
    const amp::MergeConflict& c = conflicts_[index];
    if (c.isHeader) {
        return edited_.header().bytes[static_cast<std::size_t>(c.headerByte)];
    }
    if (c.column >= edited_.columns() || c.row >= edited_.rows()) {
        return amp::MergeConflict::NoByte;
    }
    return edited_.layer(c.layer)->cellByte(c.column, c.row);
}

std::optional<std::size_t> MapMerge::indexOf(int layer, int column, int row) const {
    if (layer < 0 || layer >= amp::LayerCount || column < 0 || row < 0 || column >= columns_ ||
        row >= rows_) {
        return {};
    }
    const std::int32_t index =
        cellIndex_[static_cast<std::size_t>((column * rows_ + row) * amp::LayerCount + layer)];
    if (index < 0) {
        return {};
    }
    return static_cast<std::size_t>(index);
}

bool MapMerge::hexLeft(int column, int row) const {
    return column >= 0 && row >= 0 && column < columns_ && row < rows_ &&
           hexLeft_[static_cast<std::size_t>(column * rows_ + row)] > 0;
}

bool MapMerge::cellLeft(int layer, int column, int row) const {
    const auto index = indexOf(layer, column, row);
    return index && isLeft(*index);
}

void MapMerge::refresh(std::size_t index) {
    const amp::MergeConflict& c = conflicts_[index];
    const bool left = taken_[index] == 0 && currentByte(index) == c.ours;
    if (left == (left_[index] != 0)) {
        return;
    }
    left_[index] = left ? 1 : 0;
    leftCount_ = left ? leftCount_ + 1 : leftCount_ - 1;
    if (!c.isHeader && c.column < columns_ && c.row < rows_) {
        std::uint8_t& hex = hexLeft_[static_cast<std::size_t>(c.column * rows_ + c.row)];
        hex = static_cast<std::uint8_t>(left ? hex + 1 : hex - 1);
    }
}

void MapMerge::refreshAll() {
    for (std::size_t i = 0; i < conflicts_.size(); ++i) {
        refresh(i);
    }
}

void MapMerge::follow(int layer, const QRect& cells) {
    const QRect inside = cells.intersected(QRect(0, 0, columns_, rows_));
    bool touched = false; // an edit of no conflict's cell changes nothing here
    for (int column = inside.left(); column <= inside.right(); ++column) {
        for (int row = inside.top(); row <= inside.bottom(); ++row) {
            if (const auto index = indexOf(layer, column, row)) {
                refresh(*index);
                touched = true;
            }
        }
    }
    if (touched) {
        emit conflictsChanged();
    }
}

void MapMerge::followHeader() {
    for (const std::size_t i : headerIndices_) {
        refresh(i);
    }
    emit conflictsChanged();
}

std::optional<std::size_t> MapMerge::stepLeft(std::optional<std::size_t> from, int step) const {
    const auto n = static_cast<std::ptrdiff_t>(conflicts_.size());
    if (leftCount_ == 0 || n == 0) {
        return {};
    }
    const bool forward = step >= 0;
    std::ptrdiff_t at = from ? static_cast<std::ptrdiff_t>(*from) : (forward ? -1 : n);
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        at = ((forward ? at + 1 : at - 1) % n + n) % n;
        if (left_[static_cast<std::size_t>(at)] != 0) {
            return static_cast<std::size_t>(at);
        }
    }
    return {};
}

QString MapMerge::countText() const {
    if (conflicts_.empty()) {
        return tr("No conflicts");
    }
    if (leftCount_ == 0) {
        return conflicts_.size() == 1
                   ? tr("The conflict is settled")
                   : tr("All %1 conflicts settled").arg(count(static_cast<qsizetype>(conflicts_.size())));
    }
    return leftCount_ == 1 ? tr("1 conflict left")
                           : tr("%1 conflicts left").arg(count(static_cast<qsizetype>(leftCount_)));
}

QString MapMerge::sideName(Side side) {
    switch (side) {
    case Side::Ours:
        return tr("ours");
    case Side::Theirs:
        return tr("theirs");
    case Side::Base:
        return tr("the base");
    }
    return {};
}

std::vector<std::size_t> MapMerge::inScope(Scope scope, int layer, std::optional<HexCell> hex) const {
    std::vector<std::size_t> found;
    const MapSelection& selection = edited_.selection();
    for (std::size_t i = 0; i < conflicts_.size(); ++i) {
        const amp::MergeConflict& c = conflicts_[i];
        bool wanted = false;
        switch (scope) {
        case Scope::Hex:
            wanted = !c.isHeader && hex && hex->column == c.column && hex->row == c.row;
            break;
        case Scope::Selection:
            wanted = !c.isHeader && selection.contains(c.column, c.row);
            break;
        case Scope::Layer:
            wanted = !c.isHeader && c.layer == layer && left_[i] != 0;
            break;
        case Scope::All:
            wanted = left_[i] != 0;
            break;
        }
        if (wanted) {
            found.push_back(i);
        }
    }
    return found;
}

QString MapMerge::take(Side side, Scope scope, int layer, std::optional<HexCell> hex) {
    const std::vector<std::size_t> indices = inScope(scope, layer, hex);
    if (indices.empty()) {
        return {};
    }
    std::vector<CellEdit> edits;
    amp::MapHeader header = edited_.header();
    for (const std::size_t i : indices) {
        const amp::MergeConflict& c = conflicts_[i];
        const int byte = side == Side::Ours ? c.ours : side == Side::Theirs ? c.theirs : c.base;
        if (byte == amp::MergeConflict::NoByte) {
            continue; // a hex the chosen side does not have: the choice alone settles it
        }
        if (c.isHeader) {
            header.bytes[static_cast<std::size_t>(c.headerByte)] = static_cast<std::uint8_t>(byte);
        } else if (c.column < edited_.columns() && c.row < edited_.rows()) {
            edits.push_back(
                {c.layer, c.column, c.row, LayerModel::canonicalText(static_cast<std::uint8_t>(byte))});
        }
    }
    const QString name = tr("Take %1 for %2 %3")
                             .arg(sideName(side), count(static_cast<qsizetype>(indices.size())),
                                  indices.size() == 1 ? tr("conflict") : tr("conflicts"));
    QUndoStack* stack = edited_.undoStack();
    stack->beginMacro(name);
    edited_.editMap(name, edits, header);
    stack->push(new TakeCommand(*this, indices));
    stack->endMacro();
    return name;
}

void MapMerge::pushTaken(const std::vector<std::size_t>& indices) {
    if (!indices.empty()) {
        edited_.undoStack()->push(new TakeCommand(*this, indices));
    }
}

std::vector<std::uint8_t> MapMerge::takenOf(const std::vector<std::size_t>& indices) const {
    std::vector<std::uint8_t> values;
    values.reserve(indices.size());
    for (const std::size_t i : indices) {
        values.push_back(taken_[i]);
    }
    return values;
}

void MapMerge::setTaken(const std::vector<std::size_t>& indices, const std::vector<std::uint8_t>& values) {
    for (std::size_t k = 0; k < indices.size(); ++k) {
        taken_[indices[k]] = values[k];
        refresh(indices[k]);
    }
    emit conflictsChanged();
}
