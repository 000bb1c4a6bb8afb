// SPDX-License-Identifier: MIT
#include "celledits.h"
#include "mapdocument.h"
#include "mapreplace.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <set>

namespace celledits {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("celledits", text);
}

// Calls `action(layer, slot)` for every cell the replace would change: the rule
// amptool replace follows too (mapreplace.h), on the bytes the cells would be
// written as, leaving out typed texts and, for that scope, cells outside the
// selection.
template <typename Action>
void forEachReplaced(const MapDocument& document, int layer, const ReplaceRequest& request, Action action) {
    if (request.from < 0 || request.from > UINT8_MAX) {
        return; // no cell shows it
    }
    const auto from = static_cast<std::uint8_t>(request.from), to = static_cast<std::uint8_t>(request.to);
    const amp::ValueReplace rule = request.scope == ReplaceRequest::Scope::AllLayers
                                       ? amp::ValueReplace::onEveryLayer(from, to)
                                       : amp::ValueReplace::onLayer(layer, from, to);
    const MapSelection& selection = document.selection();
    const std::vector<bool> mask =
        request.scope == ReplaceRequest::Scope::Selection && selection.layer() == layer ? selection.mask()
                                                                                        : std::vector<bool>();
    const std::size_t cells = document.layer(layer)->cellCount(); // every layer has the map's shape
    amp::forEachReplaced(
        rule, cells, [&document](int l, std::size_t slot) { return document.layer(l)->byteAt(slot); },
        [&](int l, std::size_t slot) {
            return (mask.empty() || (slot < mask.size() && mask[slot])) &&
                   document.layer(l)->kindAt(slot) == LayerModel::Kind::Canonical;
        },
        action);
}

} // namespace

int countReplace(const MapDocument& document, int layer, const ReplaceRequest& request) {
    int changed = 0;
    forEachReplaced(document, layer, request, [&changed](int, std::size_t) { ++changed; });
    return changed;
}

QString replace(MapDocument& document, int layer, const ReplaceRequest& request) {
    const QString to = LayerModel::canonicalText(static_cast<std::uint8_t>(request.to));
    std::vector<CellEdit> edits;
    forEachReplaced(document, layer, request, [&](int l, std::size_t slot) {
        const int rows = document.layer(l)->rows();
        edits.push_back({l, static_cast<int>(slot) / rows, static_cast<int>(slot) % rows, to});
    });
    // Counted in hexes, as every step names what it changes; on all layers,
    // each hex once however many of its cells change.
    std::set<std::pair<int, int>> hexes;
    for (const CellEdit& edit : edits) {
        hexes.insert({edit.column, edit.row});
    }
    const QString text = tr("Replace %1 → %2 in %3")
                             .arg(request.from)
                             .arg(request.to)
                             .arg(MapDocument::hexesText(static_cast<qsizetype>(hexes.size()))) +
                         (request.scope == ReplaceRequest::Scope::AllLayers ? tr(", all layers") : QString());
    return document.editCells(text, edits) ? text : QString();
}

std::vector<QRect> sameValue(const MapDocument& document, int layer, int column, int row) {
    const LayerModel* model = document.layer(layer);
    if (column < 0 || row < 0 || column >= model->columns() || row >= model->rows()) {
        return {};
    }
    const QString value = model->cellText(column, row);
    std::vector<QRect> runs;
    for (int c = 0; c < model->columns(); ++c) {
        int start = -1;
        for (int r = 0; r <= model->rows(); ++r) {
            const bool same = r < model->rows() && model->cellText(c, r) == value;
            if (same && start < 0) {
                start = r;
            } else if (!same && start >= 0) {
                runs.emplace_back(c, start, 1, r - start);
                start = -1;
            }
        }
    }
    return runs;
}

bool fill(MapDocument& document, int layer, const std::vector<QPoint>& cells, const QString& text,
          const QString& name) {
    if (cells.empty()) {
        return false;
    }
    int left = cells.front().x(), right = left, top = cells.front().y(), bottom = top;
    for (const QPoint& cell : cells) {
        left = std::min(left, cell.x());
        right = std::max(right, cell.x());
        top = std::min(top, cell.y());
        bottom = std::max(bottom, cell.y());
    }
    const QRect bounds(QPoint(left, top), QPoint(right, bottom));
    const LayerModel::Stored stored = LayerModel::storedFormOf(text);
    const auto area = static_cast<std::size_t>(bounds.width()) * static_cast<std::size_t>(bounds.height());
    // As many cells as the rectangle has: a whole rectangle, unless one is
    // named twice.
    const auto whole = [&] {
        std::vector<bool> seen(area);
        for (const QPoint& cell : cells) {
            const auto at =
                static_cast<std::size_t>(cell.x() - left) * static_cast<std::size_t>(bounds.height()) +
                static_cast<std::size_t>(cell.y() - top);
            if (seen[at]) {
                return false;
            }
            seen[at] = true;
        }
        return true;
    };
    if (stored.kind == LayerModel::Kind::Canonical && cells.size() == area && whole()) {
        const CellBlock block{bounds.width(), bounds.height(), 1,
                              std::vector<std::uint8_t>(area, stored.byte)};
        return document.placeBlock(name, block, bounds.left(), bounds.top(), layer);
    }
    std::vector<CellEdit> edits;
    edits.reserve(cells.size());
    for (const QPoint& cell : cells) {
        edits.push_back({layer, cell.x(), cell.y(), text});
    }
    return document.editCells(name, edits);
}

CellBlock takeBlock(const MapDocument& document, int layer, const QRect& cells, bool allLayers) {
    CellBlock block;
    const QRect inside = cells & QRect(0, 0, document.layer(layer)->columns(), document.layer(layer)->rows());
    if (inside.isEmpty()) {
        return block;
    }
    block.columns = inside.width();
    block.rows = inside.height();
    block.layers = allLayers ? amp::LayerCount : 1;
    block.bytes.reserve(static_cast<std::size_t>(block.columns * block.rows * block.layers));
    for (int l = 0; l < block.layers; ++l) {
        const LayerModel* model = document.layer(allLayers ? l : layer);
        for (int column = inside.left(); column <= inside.right(); ++column) {
            for (int row = inside.top(); row <= inside.bottom(); ++row) {
                block.bytes.push_back(model->cellByte(column, row));
            }
        }
    }
    return block;
}

bool cut(MapDocument& document, int layer, const std::vector<QRect>& cells) {
    std::vector<CellEdit> edits;
    for (const QRect& rect : cells) {
        for (int column = rect.left(); column <= rect.right(); ++column) {
            for (int row = rect.top(); row <= rect.bottom(); ++row) {
                edits.push_back({layer, column, row, LayerModel::canonicalText(0)});
            }
        }
    }
    return document.editCells(tr("Cut %1").arg(MapDocument::hexesText(static_cast<qsizetype>(edits.size()))),
                              edits);
}

Pasted paste(MapDocument& document, int layer, int column, int row, const CellBlock& block) {
    const LayerModel* model = document.layer(layer);
    Pasted pasted;
    pasted.columns = std::clamp(std::min(block.columns, model->columns() - column), 0, block.columns);
    pasted.rows = std::clamp(std::min(block.rows, model->rows() - row), 0, block.rows);
    pasted.clipped = pasted.columns < block.columns || pasted.rows < block.rows;
    const qsizetype hexes = static_cast<qsizetype>(pasted.columns) * pasted.rows;
    document.placeBlock(tr("Paste %1").arg(MapDocument::hexesText(hexes)) +
                            (block.layers > 1 ? tr(", all layers") : QString()),
                        block, column, row, layer);
    return pasted;
}

} // namespace celledits
