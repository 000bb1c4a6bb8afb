// SPDX-License-Identifier: MIT
#include "layerview.h"
#include "layerdelegate.h"
#include "layermodel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

LayerView::LayerView(QWidget* parent) : QTableView(parent), delegate_(new LayerDelegate(this)) {
    setItemDelegate(delegate_);
    connect(delegate_, &LayerDelegate::moveRequested, this, &LayerView::moveCurrent);
    connect(delegate_, &LayerDelegate::fillRequested, this,
            [this](const QString& text) { emit fillRequested(text, chosenCells()); });
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setTabKeyNavigation(true);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    // Typing into a cell replaces its text, as in a spreadsheet. No editing on a
    // click into the selected cell: its delayed start would swallow the keys typed
    // right after the click.
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed);
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->hide();
        header->setMinimumSectionSize(MinimumCellSize);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setHighlightSections(false);
    }
    setShowGrid(false);
    setGridStyle(Qt::SolidLine);
    setDefaultColumnWidth(16);
    setDefaultRowHeight(12);
}

void LayerView::setLayerModel(LayerModel* model) {
    model_ = model;
    setModel(model);
}

void LayerView::keyPressEvent(QKeyEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        moveCurrent(0, shift ? -1 : 1);
        return;
    case Qt::Key_Escape: // the selection goes; the current cell stays
        if (selectionModel()) {
            selectionModel()->clearSelection();
        }
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace: {
        const QModelIndexList cells = chosenCells();
        if (!cells.isEmpty()) {
            emit clearRequested(cells);
        }
        return;
    }
    default:
        QTableView::keyPressEvent(event);
    }
}

// F2 edits the text in place with the caret at its end, as a spreadsheet does;
// typing replaces the text.
bool LayerView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool opened = QTableView::edit(index, trigger, event);
    if (opened && trigger == EditKeyPressed) {
        if (auto* line = qobject_cast<QLineEdit*>(delegate_->openEditor())) {
            line->end(false);
        }
    }
    return opened;
}

QRect cellBounds(const QModelIndexList& cells) {
    if (cells.isEmpty()) {
        return {};
    }
    int left = cells.front().column(), right = left, top = cells.front().row(), bottom = top;
    for (const QModelIndex& cell : cells) {
        left = std::min(left, cell.column());
        right = std::max(right, cell.column());
        top = std::min(top, cell.row());
        bottom = std::max(bottom, cell.row());
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

QModelIndexList LayerView::chosenCells() const {
    QModelIndexList cells = selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList();
    if (cells.isEmpty() && currentIndex().isValid()) {
        cells.append(currentIndex());
    }
    return cells;
}

void LayerView::moveCurrent(int columns, int rows) {
    if (!model_ || model_->columns() == 0 || model_->rows() == 0) {
        return;
    }
    const QModelIndex from = currentIndex();
    const int column = std::clamp(from.column() + columns, 0, model_->columns() - 1);
    const int row = std::clamp(from.row() + rows, 0, model_->rows() - 1);
    setCurrentIndex(model_->index(row, column));
}

void LayerView::setDefaultColumnWidth(int pixels) {
    columnWidth_ = std::clamp(pixels, MinimumCellSize, MaximumCellSize);
    applySectionSizes();
}

void LayerView::setDefaultRowHeight(int pixels) {
    rowHeight_ = std::clamp(pixels, MinimumCellSize, MaximumCellSize);
    applySectionSizes();
}

int LayerView::fontSize() const {
    return font().pointSize();
}

void LayerView::setFontSize(int points) {
    QFont changed = font();
    changed.setPointSize(std::clamp(points, MinimumFontSize, MaximumFontSize));
    setFont(changed);
}

void LayerView::setLinesShown(bool shown) {
    linesShown_ = shown;
    setShowGrid(shown);
    applySectionSizes();
}

void LayerView::commitPendingEdit() {
    if (state() == QAbstractItemView::EditingState) {
        if (QWidget* editor = delegate_->openEditor()) {
            commitData(editor);
        }
    }
}

// A grid line takes one pixel at the right and bottom of its section, so the
// sections grow by one when lines are shown and the cells keep their size.
void LayerView::applySectionSizes() {
    const int line = linesShown_ ? 1 : 0;
    horizontalHeader()->setDefaultSectionSize(columnWidth_ + line);
    verticalHeader()->setDefaultSectionSize(rowHeight_ + line);
}
