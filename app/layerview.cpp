#include "layerview.h"
#include "layerdelegate.h"
#include "layermodel.h"

#include <QHeaderView>

#include <algorithm>

LayerView::LayerView(QWidget* parent)
    : QTableView(parent), model_(new LayerModel(this)), delegate_(new LayerDelegate(this)) {
    setModel(model_);
    setItemDelegate(delegate_);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
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

void LayerView::setDefaultColumnWidth(int pixels) {
    columnWidth_ = std::clamp(pixels, MinimumCellSize, MaximumCellSize);
    applySectionSizes();
}

void LayerView::setDefaultRowHeight(int pixels) {
    rowHeight_ = std::clamp(pixels, MinimumCellSize, MaximumCellSize);
    applySectionSizes();
}

int LayerView::fontSize() const { return font().pointSize(); }

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
