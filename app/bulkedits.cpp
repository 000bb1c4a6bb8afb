// SPDX-License-Identifier: MIT
#include "bulkedits.h"
#include "celledits.h"
#include "layerview.h"
#include "mapdocument.h"
#include "mapeditor.h"
#include "userdialogs.h"
#include "valuebox.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QMimeData>

#include <algorithm>

BulkEdits::BulkEdits(MapEditor& editor, LayerViews views, UserDialogs& dialogs, QWidget* window)
    : QObject(window), editor_(editor), document_(editor.document()), views_(std::move(views)),
      dialogs_(dialogs), window_(window),
      names_([](int layer) { return ValueBox::namesOf(layer, palettes::Palette::Standard); }) {}

LayerView* BulkEdits::shownView() const {
    return views_.view(editor_.layer());
}

QModelIndexList BulkEdits::chosenCells() const {
    return shownView()->chosenCells();
}

// The smallest rectangle that holds the chosen cells.
CellBlock BulkEdits::takeBlock(bool allLayers) const {
    const QModelIndexList cells = chosenCells();
    if (cells.isEmpty()) {
        return {};
    }
    return celledits::takeBlock(document_, editor_.layer(), cellBounds(cells), allLayers);
}

void BulkEdits::putOnClipboard(const CellBlock& block) {
    if (block.columns == 0) {
        return;
    }
    auto* data = new QMimeData;
    // The layer on show as text, for a spreadsheet; all layers in our own form.
    data->setText(block.toText(block.layers == 1 ? 0 : editor_.layer()));
    if (block.layers > 1) {
        data->setData(QString::fromLatin1(CellBlockMimeType), block.toMime());
    }
    QApplication::clipboard()->setMimeData(data);
}

void BulkEdits::copy() {
    putOnClipboard(takeBlock(false));
}
void BulkEdits::copyAllLayers() {
    putOnClipboard(takeBlock(true));
}

void BulkEdits::cut() {
    copy();
    std::vector<QRect> cells;
    for (const QModelIndex& cell : chosenCells()) {
        cells.emplace_back(cell.column(), cell.row(), 1, 1);
    }
    celledits::cut(document_, editor_.layer(), cells);
}

void BulkEdits::paste() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    const LayerView* view = shownView();
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
            dialogs_.inform(window_, tr("Paste"),
                            tr("Nothing was pasted: line %1, column %2: %3")
                                .arg(error->line)
                                .arg(error->column)
                                .arg(QString::fromStdString(error->message)));
            return;
        }
        block = std::get<CellBlock>(std::move(parsed));
    }
    const celledits::Pasted pasted =
        celledits::paste(document_, editor_.layer(), at.column(), at.row(), *block);
    const int columns = pasted.columns;
    const int rows = pasted.rows;
    if (pasted.clipped) {
        emit message(tr("Pasted %1 x %2 of %3 x %4 hexes: the rest lies beyond the map's edge")
                         .arg(columns)
                         .arg(rows)
                         .arg(block->columns)
                         .arg(block->rows));
    } else {
        emit message(tr("Pasted %1 x %2 hexes%3")
                         .arg(columns)
                         .arg(rows)
                         .arg(block->layers > 1 ? tr(" on all 13 layers") : QString()));
    }
}

void BulkEdits::fillSelection() {
    int value = brushValue_();
    if (dialogs_.askValue(window_, tr("Fill Selection"), tr("Value (0-255):"), value,
                          names_(editor_.layer()))) {
        const QModelIndexList cells = chosenCells();
        std::vector<QPoint> points;
        points.reserve(static_cast<std::size_t>(cells.size()));
        for (const QModelIndex& cell : cells) {
            points.emplace_back(cell.column(), cell.row());
        }
        celledits::fill(document_, editor_.layer(), points,
                        LayerModel::canonicalText(static_cast<std::uint8_t>(value)),
                        tr("Fill %1").arg(MapDocument::hexesText(cells.size())));
    }
}

// Replaces cells that show the value; typed texts ("007") are left as typed.
void BulkEdits::replace() {
    ReplaceRequest request;
    // The one hex just clicked is where the user stands, not a region to replace in.
    request.scope = document_.selection().cellCount() > 1 ? ReplaceRequest::Scope::Selection
                                                          : ReplaceRequest::Scope::Layer;
    const int layer = editor_.layer();
    // From the value of the hex the user stands on, to the brush's.
    if (const auto hex = document_.selection().currentHex()) {
        request.from = document_.layer(layer)->cellByte(hex->column, hex->row);
    }
    request.to = brushValue_();
    const auto count = [this, layer](const ReplaceRequest& r) {
        return celledits::countReplace(document_, layer, r);
    };
    if (!dialogs_.askReplaceValues(window_, request, count, names_(layer)) || request.from == request.to) {
        return;
    }
    const QString done = celledits::replace(document_, layer, request);
    emit message(done.isEmpty() ? tr("Replace %1 → %2 in 0 hexes").arg(request.from).arg(request.to) : done);
}

void BulkEdits::selectSameValue() {
    LayerView* view = shownView();
    const QModelIndex at = view->currentIndex();
    if (!at.isValid()) {
        return;
    }
    const QAbstractItemModel* model = view->model();
    QItemSelection selection;
    for (const QRect& run : celledits::sameValue(document_, editor_.layer(), at.column(), at.row())) {
        selection.select(model->index(run.top(), run.left()), model->index(run.bottom(), run.right()));
    }
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void BulkEdits::selectRectangle(int column1, int row1, int column2, int row2) {
    LayerView* view = shownView();
    const QAbstractItemModel* model = view->model();
    view->selectionModel()->select(
        QItemSelection(model->index(std::min(row1, row2), std::min(column1, column2)),
                       model->index(std::max(row1, row2), std::max(column1, column2))),
        QItemSelectionModel::ClearAndSelect);
}

void BulkEdits::floodFill(int column, int row, bool evenColumnsLower, const QString& to) {
    document_.floodFill(editor_.layer(), column, row, evenColumnsLower, to);
}
