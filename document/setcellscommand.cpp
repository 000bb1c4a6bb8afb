// SPDX-License-Identifier: MIT
#include "setcellscommand.h"
#include "mapdocument.h"

#include <algorithm>

namespace {

using Kind = LayerModel::Kind;

// The typed text at a position of a part, from a list sorted by position.
const QString& typedAt(const std::vector<std::pair<std::uint32_t, QString>>& list, std::uint32_t position,
                       std::size_t& cursor) {
    static const QString none;
    while (cursor < list.size() && list[cursor].first < position) {
        ++cursor;
    }
    return cursor < list.size() && list[cursor].first == position ? list[cursor].second : none;
}

} // namespace

std::vector<CellEdit> cellEditsOf(const amp::MapImage& map) {
    std::vector<CellEdit> edits;
    const int rows = map.header.rows();
    edits.reserve(static_cast<std::size_t>(map.header.hexCount()) * amp::LayerCount);
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        for (int k = 0; k < map.header.hexCount(); ++k) {
            const auto index = static_cast<std::size_t>(k);
            edits.push_back(
                {layer, k / rows, k % rows,
                 index < map.records.size()
                     ? LayerModel::canonicalText(map.records[index][static_cast<std::size_t>(layer)])
                     : QString()});
        }
    }
    return edits;
}

SetCellsCommand::SetCellsCommand(MapDocument& document, const QString& text,
                                 const std::vector<CellEdit>& edits)
    : QUndoCommand(text), document_(document) {
    // Sorted by layer and slot, the later of two edits of one cell winning.
    struct Keyed {
        int layer;
        std::size_t slot;
        std::size_t order;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(edits.size());
    for (std::size_t i = 0; i < edits.size(); ++i) {
        const CellEdit& edit = edits[i];
        if (edit.layer < 0 || edit.layer >= amp::LayerCount) {
            continue;
        }
        const LayerModel* model = document.layer(edit.layer);
        if (edit.column < 0 || edit.row < 0 || edit.column >= model->columns() || edit.row >= model->rows()) {
            continue;
        }
        keyed.push_back({edit.layer, model->slotOf(edit.column, edit.row), i});
    }
    const auto before = [](const Keyed& a, const Keyed& b) {
        return a.layer != b.layer ? a.layer < b.layer : a.slot < b.slot;
    };
    // Fills, replaces and scripts give their edits in this order already.
    if (!std::is_sorted(keyed.begin(), keyed.end(), before)) {
        std::stable_sort(keyed.begin(), keyed.end(), before);
    }

    // Most edits of a step share one text: it is read once for a run of them.
    const QString* lastText = nullptr;
    LayerModel::Stored stored;
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        if (i + 1 < keyed.size() && keyed[i + 1].layer == keyed[i].layer &&
            keyed[i + 1].slot == keyed[i].slot) {
            continue; // a later edit of the same cell follows
        }
        const QString& text = edits[keyed[i].order].text;
        if (!lastText || text != *lastText) {
            stored = LayerModel::storedFormOf(text);
            lastText = &text;
        }
        append(keyed[i].layer, keyed[i].slot, stored);
    }
    finish();
}

SetCellsCommand::SetCellsCommand(MapDocument& document, const QString& text, const CellBlock& block, int left,
                                 int top, int layer)
    : QUndoCommand(text), document_(document) {
    for (int l = 0; l < block.layers; ++l) {
        const int target = block.layers == 1 ? layer : l;
        if (target < 0 || target >= amp::LayerCount) {
            continue;
        }
        const LayerModel* model = document.layer(target);
        const int columns = std::min(block.columns, model->columns() - left);
        const int rows = std::min(block.rows, model->rows() - top);
        for (int column = std::max(0, -left); column < columns; ++column) {
            for (int row = std::max(0, -top); row < rows; ++row) {
                append(target, model->slotOf(left + column, top + row),
                       {LayerModel::Kind::Canonical, block.at(l, column, row), {}});
            }
        }
    }
    finish();
}

// Cells come layer by layer, each layer's in rising slots.
void SetCellsCommand::append(int layer, std::size_t slot, const LayerModel::Stored& next) {
    const LayerModel* model = document_.layer(layer);
    const Kind oldKind = model->kindAt(slot);
    const std::uint8_t oldByte = oldKind == Kind::Canonical ? model->byteAt(slot) : 0;
    if (oldKind == next.kind &&
        (oldKind == Kind::Empty || (oldKind == Kind::Canonical && oldByte == next.byte))) {
        return; // changes nothing
    }
    const QString oldTyped = oldKind == Kind::Typed ? model->typedAt(slot) : QString();
    if (oldKind == Kind::Typed && next.kind == Kind::Typed && oldTyped == next.typed) {
        return; // changes nothing
    }
    if (parts_.empty() || parts_.back().layer != layer) {
        parts_.push_back({});
        parts_.back().layer = layer;
    }
    LayerPart& part = parts_.back();
    const auto at = static_cast<std::uint32_t>(slot);
    if (!part.runs.empty() && part.runs.back().first + part.runs.back().count == at) {
        ++part.runs.back().count;
    } else {
        part.runs.push_back({at, 1});
    }
    const auto position = static_cast<std::uint32_t>(part.oldBytes.size());
    part.oldBytes.push_back(oldByte);
    part.newBytes.push_back(next.byte);
    // Two bits for each kind, four for a cell, two cells to a byte.
    const auto kinds = static_cast<unsigned>(oldKind) | static_cast<unsigned>(next.kind) << 2;
    if (position % 2 == 0) {
        part.kinds.push_back(static_cast<std::uint8_t>(kinds));
    } else {
        part.kinds.back() = static_cast<std::uint8_t>(part.kinds.back() | kinds << 4);
    }
    part.oldAllCanonical = part.oldAllCanonical && oldKind == Kind::Canonical;
    part.newAllCanonical = part.newAllCanonical && next.kind == Kind::Canonical;
    if (oldKind == Kind::Typed) {
        part.oldTyped.emplace_back(position, oldTyped);
    }
    if (next.kind == Kind::Typed) {
        part.newTyped.emplace_back(position, next.typed);
    }
    ++cellCount_;
}

void SetCellsCommand::finish() {
    for (LayerPart& part : parts_) {
        part.runs.shrink_to_fit();
        part.oldBytes.shrink_to_fit();
        part.newBytes.shrink_to_fit();
        part.kinds.shrink_to_fit();
        part.oldTyped.shrink_to_fit();
        part.newTyped.shrink_to_fit();
    }
}

void SetCellsCommand::undo() {
    apply(false);
}
void SetCellsCommand::redo() {
    apply(true);
}

void SetCellsCommand::apply(bool forward) {
    for (const LayerPart& part : parts_) {
        LayerModel* model = document_.layer(part.layer);
        const auto& bytes = forward ? part.newBytes : part.oldBytes;
        const auto& typed = forward ? part.newTyped : part.oldTyped;
        const int shift = forward ? 2 : 0;
        std::size_t cursor = 0;
        std::uint32_t position = 0;
        if (forward ? part.newAllCanonical : part.oldAllCanonical) {
            // Bytes only: whole runs at once.
            for (const Run& run : part.runs) {
                model->restoreCanonical(run.first, std::span(bytes).subspan(position, run.count));
                position += run.count;
            }
        } else {
            for (const Run& run : part.runs) {
                for (std::uint32_t k = 0; k < run.count; ++k, ++position) {
                    const int nibble = (position % 2) * 4;
                    const auto kind =
                        static_cast<Kind>((part.kinds[position / 2] >> (nibble + shift)) & 0x03);
                    model->restore(run.first + k, kind, bytes[position],
                                   kind == Kind::Typed ? typedAt(typed, position, cursor) : QString());
                }
            }
        }
        model->cellsChanged(part.runs.front().first, part.runs.back().first + part.runs.back().count - 1);
    }
}
