// SPDX-License-Identifier: MIT
// The map form: the header boxes, the command column, and the 13 layer views
// stacked at one place, each showing one layer of the map document (a view is
// made when its layer is first shown). It is the central widget of the main
// window, which adds menus and a status line.
#pragma once

#include "mapdocument.h"
#include "mapeditor.h"
#include "mapimage.h"

#include <QModelIndexList>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class TfrmMapEd;
}
class LayerView;
class UserDialogs;

class TfrmMapEd : public QWidget {
    Q_OBJECT

public:
    // Builds the form from its description and runs FormCreate, which loads the
    // map named by the first argument after the program's name, if any. The form
    // shows the session's map, layer and current hex, and follows their changes.
    TfrmMapEd(UserDialogs& dialogs, MapEditor& editor, const QStringList& arguments,
              QWidget* parent = nullptr);
    ~TfrmMapEd() override;

    // The view of one layer (grd(layer + 1)). Only the terrain view is made with
    // the form; another is made the first time it is asked for, with the settings
    // every view shares (size, font, cell size, lines), so a start-up pays for one
    // view, not 13.
    LayerView* layerGrid(int layer);
    // The view of the layer on show.
    LayerView* currentGrid() { return layerGrid(editor_.layer()); }
    // All 13 views in layer order, every one made now if it was not yet.
    const std::array<LayerView*, amp::LayerCount>& LayerGrids();
    const amp::MapHeader& MapHeader() const;
    int MapColumns() const;
    int MapRows() const;
    int CurrentLayer() const { return editor_.layer(); }
    MapDocument& document() const { return document_; }
    MapEditor& editor() const { return editor_; }

    // Has the document read a map file. The file is read and checked first; only
    // a map that can be shown replaces what the window holds, and a failure is
    // told to the user and changes nothing.
    void LoadMap(const QString& fileName);
    // Loads the map the first argument after the program's name names, if any.
    void openFromArguments(const QStringList& arguments);
    // Where the file dialogs start when the form's own rule names no folder.
    void setDialogFolder(const QString& folder) { dialogFolder_ = folder; }
    // File > New Map: asks for the shape and makes a map of zero hexes whose other
    // header bytes are those of the map on show (zeros when there is none).
    void newMap();
    // Writes the header of the last map read and the views' cell texts to a file.
    // A failure is told to the user and leaves the views and any old file as they
    // were; true when the map was written.
    bool WriteMap(const QString& fileName);
    // Gives every view its line options, cell size and pixel size for the "Show
    // Lines" setting, and fits the window's height to them.
    void ApplyLineDisplay();
    // Applies the five metric boxes to all 13 views (those made later take them on).
    void ApplyGridMetrics();

    // The smallest client height that shows the command column down to "Write Map".
    int minimumClientHeight() const;
    // The narrowest the form may be with the command column clear of the header
    // boxes ("Y Size" and its box).
    int minimumClientWidth() const;

    // Whether the map holds edits that no write has saved since the last load.
    bool hasUnwrittenEdits() const;

    // What the buttons and the menus do: "Read Map" (asking first when edits
    // would be lost), "Write Map" with its dialog (true when written), writing to
    // the current file or, when there is none, through the dialog, and "<" / ">".
    void btnOpenMapClick();
    bool btnSaveMapClick();
    bool writeToCurrentFile();
    void btnMinusClick();
    void btnPlusClick();
    // Shows a layer as the layer box would.
    void showLayerNumber(int layer) { stepLayer(layer - editor_.layer()); }
    // The "Show Lines" box, for a menu item that mirrors it.
    bool linesShown() const;
    void setLinesShown(bool shown);

    // Gives every cell the text, in one undo step "Fill N cells".
    void fillCells(int layer, const QModelIndexList& cells, const QString& text);

    // Makes a hex the current cell of the view on show and scrolls it into view,
    // as a click on it would.
    void selectHex(int column, int row);
    // Hex Info names the terrain of the current hex again (after the map under it
    // was read again from disk).
    void refreshHexInfo();

    // True when nothing unwritten would be lost, or the user has it written first
    // (and the write succeeded) or agrees to lose it.
    bool mayDiscardEdits();

signals:
    // A hex became the current one in the view on show.
    void hexSelected(int column, int row);
    // The client height that ApplyLineDisplay gives the form; the main window
    // adds its menu bar and status line.
    void clientHeightChanged(int height);
    void linesShownChanged(bool shown);
    // The file holds these bytes now: they were just read from it or written to it
    // (the document's word, passed on).
    void diskContentKnown(const QString& fileName, const FileBytes& bytes);
    // Another layer is on show.
    void layerShown(int layer);
    // The selection of one of the views changed.
    void gridSelectionChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormCreate(const QStringList& arguments);
    void cmbLayerNameChange(int index);
    void chkLinesClick();
    void Button1Click();
    void SelectCell(LayerView* sender, int column, int row);
    void followHexInfo(int layer, const QRect& cells);
    void refreshHeaderBoxes();

    // The document holds a new map (or a new shape): the header boxes, the file
    // name and the views follow it.
    void showMap();
    void commitPendingEdits();
    void clearCells(int layer, const QModelIndexList& cells);
    void setCells(int layer, const QModelIndexList& cells, const QString& text, const QString& name);
    void showLayer(int layer);
    void stepLayer(int step);
    // Has the session show `layer`; the layer on show again when it is that one.
    void chooseLayer(int layer);
    // The session's current hex changed: the view on show follows it.
    void followCurrentHex(int column, int row);
    void refreshMetricBoxes();
    void fitMapArea();
    LayerView* makeGrid(int layer);
    void attachGrid(LayerView* view, int layer);
    // The views made so far (a null slot is a view not made yet).
    template <typename Action> void forEachGrid(Action action) {
        for (LayerView* view : layerGrids_) {
            if (view) {
                action(view);
            }
        }
    }

    std::unique_ptr<Ui::TfrmMapEd> ui_;
    UserDialogs& dialogs_;
    MapEditor& editor_;
    MapDocument& document_;
    std::array<LayerView*, amp::LayerCount> layerGrids_{}; // made on first use
    QString dialogFolder_;
    std::optional<QPoint> hexInfoCell_; // the hex whose terrain Hex Info names
};
