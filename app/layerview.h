// SPDX-License-Identifier: MIT
// One layer view: a borderless grid of number cells with no headers and no scroll
// bars of its own (the window's scroll area scrolls the map). It speaks the
// grid's terms: a default column width and row height, a font size in points,
// and the "lines" option that adds a one-pixel grid line to every column and row.
// The keyboard works as in a spreadsheet: typing replaces a cell's text, Enter
// and Tab keep it and move down or right (Shift: up or left), Esc drops it, and
// Delete or Backspace asks for the selected cells to be cleared.
#pragma once

#include <QTableView>

class LayerModel;
class LayerDelegate;

// The smallest rectangle of cells that holds them all: x is the column, y the row.
QRect cellBounds(const QModelIndexList& cells);

class LayerView : public QTableView {
    Q_OBJECT

public:
    explicit LayerView(QWidget* parent = nullptr);

    LayerModel* layerModel() const { return model_; }
    void setLayerModel(LayerModel* model);

    int defaultColumnWidth() const { return columnWidth_; }
    int defaultRowHeight() const { return rowHeight_; }
    void setDefaultColumnWidth(int pixels);
    void setDefaultRowHeight(int pixels);

    int fontSize() const;
    void setFontSize(int points);

    bool linesShown() const { return linesShown_; }
    void setLinesShown(bool shown);

    // Stores the text of an edit in progress, so that what the user is typing
    // counts before the editor is left.
    void commitPendingEdit();

    // The selected cells, or the current one when none is selected.
    QModelIndexList chosenCells() const;

    // The smallest and largest metrics the view accepts; values beyond are clamped.
    static constexpr int MinimumCellSize = 1;
    static constexpr int MaximumCellSize = 4096;
    static constexpr int MinimumFontSize = 1;
    static constexpr int MaximumFontSize = 512;

signals:
    // Delete or Backspace on the selection (the current cell when none is selected).
    void clearRequested(const QModelIndexList& cells);
    // Ctrl+Enter after typing: the text for every selected cell.
    void fillRequested(const QString& text, const QModelIndexList& cells);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    // Moves the current cell by whole cells, stopping at the grid's edges.
    void moveCurrent(int columns, int rows);
    void applySectionSizes();

    LayerModel* model_ = nullptr;
    LayerDelegate* delegate_;
    int columnWidth_ = 0;
    int rowHeight_ = 0;
    bool linesShown_ = false;
};
