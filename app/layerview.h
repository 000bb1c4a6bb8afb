// One layer view: a borderless grid of number cells with no headers and no scroll
// bars of its own (the window's scroll area scrolls the map). It speaks the
// grid's terms: a default column width and row height, a font size in points,
// and the "lines" option that adds a one-pixel grid line to every column and row.
#pragma once

#include <QTableView>

class LayerModel;
class LayerDelegate;

class LayerView : public QTableView {
    Q_OBJECT

public:
    explicit LayerView(QWidget* parent = nullptr);

    LayerModel* layerModel() const { return model_; }

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

    // The smallest and largest metrics the view accepts; values beyond are clamped.
    static constexpr int MinimumCellSize = 1;
    static constexpr int MaximumCellSize = 4096;
    static constexpr int MinimumFontSize = 1;
    static constexpr int MaximumFontSize = 512;

private:
    void applySectionSizes();

    LayerModel* model_;
    LayerDelegate* delegate_;
    int columnWidth_ = 0;
    int rowHeight_ = 0;
    bool linesShown_ = false;
};
