#include "bulkedits.h"
#include "hexgeometry.h"
#include "layerview.h"
#include "mapdocument.h"
#include "tfrmmaped.h"
#include "userdialogs.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLocale>
#include <QMimeData>

#include <algorithm>
#include <deque>

namespace {

QString count(qsizetype n) { return QLocale(QLocale::English).toString(n); }

} // namespace

BulkEdits::BulkEdits(MapDocument& document, TfrmMapEd& form, UserDialogs& dialogs, QWidget* window)
    : QObject(window), document_(document), form_(form), dialogs_(dialogs), window_(window) {}

QModelIndexList BulkEdits::chosenCells() const {
    return form_.currentGrid()->chosenCells();
}

std::vector<bool> BulkEdits::selectionMask() const {
    const LayerView* view = form_.currentGrid();
    const LayerModel* model = document_.layer(form_.CurrentLayer());
    if (!view->selectionModel() || !view->selectionModel()->hasSelection()) {
        return {};
    }
    std::vector<bool> mask(model->cellCount(), false);
    for (const QItemSelectionRange& range : view->selectionModel()->selection()) {
        for (int column = range.left(); column <= range.right(); ++column) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                mask[model->slotOf(column, row)] = true;
            }
        }
    }
    return mask;
}

// The smallest rectangle that holds the chosen cells.
CellBlock BulkEdits::takeBlock(bool allLayers) const {
    const QModelIndexList cells = chosenCells();
    CellBlock block;
    if (cells.isEmpty()) {
        return block;
    }
    const QRect bounds = cellBounds(cells);
    const int left = bounds.left(), right = bounds.right(), top = bounds.top(), bottom = bounds.bottom();
    block.columns = bounds.width();
    block.rows = bounds.height();
    block.layers = allLayers ? amp::LayerCount : 1;
    block.bytes.reserve(static_cast<std::size_t>(block.columns * block.rows * block.layers));
    for (int l = 0; l < block.layers; ++l) {
        const LayerModel* model = document_.layer(allLayers ? l : form_.CurrentLayer());
        for (int column = left; column <= right; ++column) {
            for (int row = top; row <= bottom; ++row) {
                block.bytes.push_back(model->cellByte(column, row));
            }
        }
    }
    return block;
}

void BulkEdits::putOnClipboard(const CellBlock& block) {
    if (block.columns == 0) {
        return;
    }
    auto* data = new QMimeData;
    // The layer on show as text, for a spreadsheet; all layers in our own form.
    data->setText(block.toText(block.layers == 1 ? 0 : form_.CurrentLayer()));
    if (block.layers > 1) {
        data->setData(QString::fromLatin1(CellBlockMimeType), block.toMime());
    }
    QApplication::clipboard()->setMimeData(data);
}

void BulkEdits::copy() { putOnClipboard(takeBlock(false)); }
void BulkEdits::copyAllLayers() { putOnClipboard(takeBlock(true)); }

void BulkEdits::cut() {
    copy();
    const QModelIndexList cells = chosenCells();
    std::vector<CellEdit> edits;
    for (const QModelIndex& cell : cells) {
        edits.push_back({form_.CurrentLayer(), cell.column(), cell.row(), LayerModel::canonicalText(0)});
    }
    document_.editCells(tr("Cut %1 cells").arg(count(cells.size())), edits);
}

void BulkEdits::paste() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    const LayerView* view = form_.currentGrid();
    const QModelIndex at = view->currentIndex();
    if (!data || !at.isValid()) {
        return;
    }
    std::optional<CellBlock> block;
    if (data->hasFormat(QString::fromLatin1(CellBlockMimeType))) {
        block = CellBlock::fromMime(data->data(QString::fromLatin1(CellBlockMimeType)));
    }
    if (!block) {
        auto parsed = CellBlock::fromText(data->text());
        if (const auto* error = std::get_if<amp::GridError>(&parsed)) {
            // Nothing changes; the message says where the text is wrong.
            dialogs_.messageBox(window_, tr("Paste"),
                                tr("Nothing was pasted: line %1, column %2: %3")
                                    .arg(error->line)
                                    .arg(error->column)
                                    .arg(QString::fromStdString(error->message)));
            return;
        }
        block = std::get<CellBlock>(std::move(parsed));
    }
    const LayerModel* model = document_.layer(form_.CurrentLayer());
    const int columns = std::min(block->columns, model->columns() - at.column());
    const int rows = std::min(block->rows, model->rows() - at.row());
    const qsizetype cells = static_cast<qsizetype>(columns) * rows * block->layers;
    document_.placeBlock(tr("Paste %1 cells").arg(count(cells)), *block, at.column(), at.row(), form_.CurrentLayer());
    if (columns < block->columns || rows < block->rows) {
        emit message(tr("Pasted %1 x %2 of %3 x %4 cells: the rest lies beyond the map's edge")
                         .arg(columns)
                         .arg(rows)
                         .arg(block->columns)
                         .arg(block->rows));
    } else {
        emit message(tr("Pasted %1 x %2 cells%3").arg(columns).arg(rows).arg(block->layers > 1 ? tr(" on all 13 layers") : QString()));
    }
}

void BulkEdits::fillSelection() {
    int value = 0;
    if (dialogs_.askNumber(window_, tr("Fill Selection"), tr("Value (0-255):"), value, 0, 255)) {
        form_.fillCells(form_.CurrentLayer(), chosenCells(), LayerModel::canonicalText(static_cast<std::uint8_t>(value)));
    }
}

int BulkEdits::countReplace(const ReplaceRequest& request) const {
    if (request.from == request.to) {
        return 0;
    }
    int changed = 0;
    const std::vector<bool> mask = request.scope == ReplaceRequest::Scope::Selection ? selectionMask() : std::vector<bool>();
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        if (request.scope != ReplaceRequest::Scope::AllLayers && layer != form_.CurrentLayer()) {
            continue;
        }
        const LayerModel* model = document_.layer(layer);
        for (std::size_t slot = 0; slot < model->cellCount(); ++slot) {
            if ((mask.empty() || mask[slot]) && model->kindAt(slot) == LayerModel::Kind::Canonical &&
                model->byteAt(slot) == request.from) {
                ++changed;
            }
        }
    }
    return changed;
}

// Replaces cells that show the value; typed texts ("007") are left as typed.
void BulkEdits::replace() {
    ReplaceRequest request;
    request.scope = selectionMask().empty() ? ReplaceRequest::Scope::Layer : ReplaceRequest::Scope::Selection;
    if (!dialogs_.askReplace(window_, request, [this](const ReplaceRequest& r) { return countReplace(r); }) ||
        request.from == request.to) {
        return;
    }
    const std::vector<bool> mask = request.scope == ReplaceRequest::Scope::Selection ? selectionMask() : std::vector<bool>();
    const QString to = LayerModel::canonicalText(static_cast<std::uint8_t>(request.to));
    std::vector<CellEdit> edits;
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        if (request.scope != ReplaceRequest::Scope::AllLayers && layer != form_.CurrentLayer()) {
            continue;
        }
        const LayerModel* model = document_.layer(layer);
        const int rows = model->rows();
        for (std::size_t slot = 0; slot < model->cellCount(); ++slot) {
            if ((mask.empty() || mask[slot]) && model->kindAt(slot) == LayerModel::Kind::Canonical &&
                model->byteAt(slot) == request.from) {
                edits.push_back({layer, static_cast<int>(slot) / rows, static_cast<int>(slot) % rows, to});
            }
        }
    }
    const QString text = tr("Replace %1 → %2 in %3 cells").arg(request.from).arg(request.to).arg(count(static_cast<qsizetype>(edits.size())));
    document_.editCells(text, edits);
    emit message(text);
}

void BulkEdits::selectSameValue() {
    LayerView* view = form_.currentGrid();
    const QModelIndex at = view->currentIndex();
    if (!at.isValid()) {
        return;
    }
    const LayerModel* model = document_.layer(form_.CurrentLayer());
    const QString value = model->cellText(at.column(), at.row());
    // Runs down each column make few ranges.
    QItemSelection selection;
    for (int column = 0; column < model->columns(); ++column) {
        int start = -1;
        for (int row = 0; row <= model->rows(); ++row) {
            const bool same = row < model->rows() && model->cellText(column, row) == value;
            if (same && start < 0) {
                start = row;
            } else if (!same && start >= 0) {
                selection.select(model->index(start, column), model->index(row - 1, column));
                start = -1;
            }
        }
    }
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void BulkEdits::selectRectangle(int column1, int row1, int column2, int row2) {
    LayerView* view = form_.currentGrid();
    const QAbstractItemModel* model = view->model();
    view->selectionModel()->select(QItemSelection(model->index(std::min(row1, row2), std::min(column1, column2)),
                                                  model->index(std::max(row1, row2), std::max(column1, column2))),
                                   QItemSelectionModel::ClearAndSelect);
}

void BulkEdits::floodFill(int column, int row, bool evenColumnsLower, const QString& to) {
    const int layer = form_.CurrentLayer();
    const LayerModel* model = document_.layer(layer);
    const HexGeometry geometry(model->columns(), model->rows(), 1, evenColumnsLower);
    if (!geometry.contains(column, row)) {
        return;
    }
    const std::vector<bool> mask = selectionMask();
    const auto allowed = [&](int c, int r) { return mask.empty() || mask[model->slotOf(c, r)]; };
    if (!allowed(column, row)) {
        return;
    }
    const QString from = model->cellText(column, row);
    std::vector<bool> seen(model->cellCount(), false);
    std::deque<HexCell> queue = {{column, row}};
    seen[model->slotOf(column, row)] = true;
    std::vector<CellEdit> edits;
    while (!queue.empty()) {
        const HexCell cell = queue.front();
        queue.pop_front();
        edits.push_back({layer, cell.column, cell.row, to});
        for (const HexCell& next : geometry.neighbours(cell.column, cell.row)) {
            const std::size_t slot = model->slotOf(next.column, next.row);
            if (!seen[slot] && allowed(next.column, next.row) && model->cellText(next.column, next.row) == from) {
                seen[slot] = true;
                queue.push_back(next);
            }
        }
    }
    document_.editCells(tr("Fill %1 cells").arg(count(static_cast<qsizetype>(edits.size()))), edits);
}
