// SPDX-License-Identifier: MIT
// The menu items that edit many cells at once: copy, cut and paste (one layer as
// tab-separated text, or all 13 layers, through the clipboard), fill, replace,
// flood fill and selecting every hex of a value. They ask what the dialogs ask
// and call the document (celledits), on the session's layer on show and the
// cells chosen in its view.
#pragma once

#include "cellblock.h"
#include "layerviews.h"
#include "userdialogs.h"

#include <QItemSelection>
#include <QObject>

#include <functional>
#include <vector>

class LayerView;
class MapDocument;
class MapEditor;
class UserDialogs;
class QWidget;

class BulkEdits : public QObject {
    Q_OBJECT

public:
    BulkEdits(MapEditor& editor, LayerViews views, UserDialogs& dialogs, QWidget* window);

    void copy();
    void copyAllLayers();
    void cut();
    void paste();
    // Edit > Fill Selection: asks for the value.
    void fillSelection();
    void replace();
    void selectSameValue();
    // Gives `text` to the hexes of the same text connected to [column][row] through
    // hex neighbours (odd or even columns lower): see MapDocument::floodFill.
    void floodFill(int column, int row, bool evenColumnsLower, const QString& text);
    // The names of a layer's values that Fill and Replace offer (the terrains
    // in the picture's colours); the terrains in the standard colours until set.
    void setValueNames(std::function<ValueNames(int layer)> names) { names_ = std::move(names); }
    // The brush's value, which Fill starts from and Replace replaces with; 0
    // until set.
    void setBrushValue(std::function<int()> value) { brushValue_ = std::move(value); }
    // Selects the rectangle between two hexes in the view on show.
    void selectRectangle(int column1, int row1, int column2, int row2);

signals:
    // A word for the status line: what a paste left out, what a replace changed.
    void message(const QString& text);

private:
    // The selection's cells; the current cell when nothing is selected.
    QModelIndexList chosenCells() const;
    CellBlock takeBlock(bool allLayers) const;
    // The number view of the layer on show.
    LayerView* shownView() const;
    void putOnClipboard(const CellBlock& block);

    MapEditor& editor_;
    MapDocument& document_;
    LayerViews views_;
    UserDialogs& dialogs_;
    QWidget* window_;
    std::function<ValueNames(int layer)> names_;
    std::function<int()> brushValue_ = [] { return 0; };
};
