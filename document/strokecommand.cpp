// SPDX-License-Identifier: MIT
#include "strokecommand.h"
#include "mapdocument.h"

#include <QCoreApplication>

#include <algorithm>
#include <limits>

namespace {

using Kind = LayerModel::Kind;

constexpr int KindBits = 2;
constexpr int KindsPerByte = 4;
constexpr unsigned KindMask = 0x03;

} // namespace

StrokeCommand::StrokeCommand(MapDocument& document, int layer, std::vector<std::size_t> cellSlots,
                             const QString& brush, int stroke)
    : document_(document), layer_(layer), stroke_(stroke), brush_(LayerModel::storedFormOf(brush)) {
    const LayerModel* model = document.layer(layer);
    std::sort(cellSlots.begin(), cellSlots.end());
    cellSlots.erase(std::unique(cellSlots.begin(), cellSlots.end()), cellSlots.end());
    std::vector<Cell> changed;
    changed.reserve(cellSlots.size());
    for (const std::size_t slot : cellSlots) {
        if (slot >= model->cellCount() || slot > std::numeric_limits<std::uint16_t>::max()) {
            continue;
        }
        const Kind kind = model->kindAt(slot);
        const std::uint8_t byte = kind == Kind::Canonical ? model->byteAt(slot) : 0;
        const QString typed = kind == Kind::Typed ? model->typedAt(slot) : QString();
        if (LayerModel::Stored{kind, byte, typed} == brush_) {
            continue; // holds the brush already
        }
        changed.push_back({static_cast<std::uint32_t>(slot), byte, kind, typed});
    }
    assign(changed);
    nameIt();
}

std::vector<StrokeCommand::Cell> StrokeCommand::cells() const {
    std::vector<Cell> all;
    all.reserve(oldBytes_.size());
    std::size_t position = 0;
    std::size_t typed = 0;
    for (const Run& run : runs_) {
        for (std::uint32_t k = 0; k < run.count; ++k, ++position) {
            const auto kind = static_cast<Kind>(
                (oldKinds_[position / KindsPerByte] >> (position % KindsPerByte * KindBits)) & KindMask);
            QString text;
            if (kind == Kind::Typed && typed < oldTyped_.size() && oldTyped_[typed].first == position) {
                text = oldTyped_[typed++].second;
            }
            all.push_back({run.first + k, oldBytes_[position], kind, text});
        }
    }
    return all;
}

// Cells in rising cellSlots; the storage is rebuilt to the exact size.
void StrokeCommand::assign(const std::vector<Cell>& cells) {
    std::vector<Run> runs;
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> kinds((cells.size() + KindsPerByte - 1) / KindsPerByte, 0);
    std::vector<std::pair<std::uint32_t, QString>> typed;
    bytes.reserve(cells.size());
    for (std::size_t position = 0; position < cells.size(); ++position) {
        const Cell& cell = cells[position];
        if (!runs.empty() && runs.back().first + runs.back().count == cell.slot) {
            ++runs.back().count;
        } else {
            runs.push_back({static_cast<std::uint16_t>(cell.slot), 1});
        }
        bytes.push_back(cell.byte);
        kinds[position / KindsPerByte] = static_cast<std::uint8_t>(
            kinds[position / KindsPerByte] | static_cast<unsigned>(cell.kind)
                                                 << (position % KindsPerByte * KindBits));
        if (cell.kind == Kind::Typed) {
            typed.emplace_back(static_cast<std::uint32_t>(position), cell.typed);
        }
    }
    runs.shrink_to_fit();
    runs_ = std::move(runs);
    oldBytes_ = std::move(bytes);
    oldKinds_ = std::move(kinds);
    oldTyped_ = std::move(typed);
}

void StrokeCommand::nameIt() {
    const QString text = QCoreApplication::translate("MapDocument", "Paint %1")
                             .arg(MapDocument::hexesText(static_cast<qsizetype>(cellCount())));
    setText(symmetry_.isEmpty() ? text : text + QStringLiteral(", ") + symmetry_);
}

// A dab of the same stroke on the same layer with the same brush joins this step.
// Its cells were not in the stroke yet: a painted cell holds the brush, and a dab
// leaves such cells out.
bool StrokeCommand::mergeWith(const QUndoCommand* other) {
    const auto* dab = dynamic_cast<const StrokeCommand*>(other);
    if (!dab || dab->stroke_ != stroke_ || dab->layer_ != layer_ || !(dab->brush_ == brush_)) {
        return false;
    }
    const std::vector<Cell> mine = cells();
    const std::vector<Cell> theirs = dab->cells();
    std::vector<Cell> joined;
    joined.reserve(mine.size() + theirs.size());
    std::size_t a = 0;
    std::size_t b = 0;
    while (a < mine.size() || b < theirs.size()) {
        if (b == theirs.size() || (a < mine.size() && mine[a].slot <= theirs[b].slot)) {
            if (b < theirs.size() && mine[a].slot == theirs[b].slot) {
                ++b; // the stroke keeps what the cell held before it
            }
            joined.push_back(mine[a++]);
        } else {
            joined.push_back(theirs[b++]);
        }
    }
    assign(joined);
    nameIt();
    return true;
}

void StrokeCommand::redo() {
    LayerModel* model = document_.layer(layer_);
    for (const Run& run : runs_) {
        for (std::uint32_t k = 0; k < run.count; ++k) {
            model->restore(run.first + k, brush_.kind, brush_.byte, brush_.typed);
        }
    }
    if (!runs_.empty()) {
        model->cellsChanged(runs_.front().first, runs_.back().first + runs_.back().count - 1u);
    }
}

void StrokeCommand::undo() {
    LayerModel* model = document_.layer(layer_);
    for (const Cell& cell : cells()) {
        model->restore(cell.slot, cell.kind, cell.byte, cell.typed);
    }
    if (!runs_.empty()) {
        model->cellsChanged(runs_.front().first, runs_.back().first + runs_.back().count - 1u);
    }
    if (cancelled_) {
        setObsolete(true);
    }
}
