// The one main window: the header boxes, the command column, and the 13 layer
// views stacked at one place. The views' cell texts are the document; the window
// keeps only the header of the last map read and its column and row counts.
#pragma once

#include "mapformat.h"

#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class TfrmMapEd;
}
class LayerView;
class UserDialogs;

class TfrmMapEd : public QWidget {
    Q_OBJECT

public:
    // Builds the window from its form description and runs FormCreate, which loads
    // the map named by the first argument after the program's name, if any.
    TfrmMapEd(UserDialogs& dialogs, const QStringList& arguments, QWidget* parent = nullptr);
    ~TfrmMapEd() override;

    // The layer views in layer order: slot i is grd(i + 1).
    const std::array<LayerView*, amp::LayerCount>& LayerGrids() const { return layerGrids_; }
    const amp::MapHeader& MapHeader() const { return mapHeader_; }
    int MapColumns() const { return mapColumns_; }
    int MapRows() const { return mapRows_; }
    int CurrentLayer() const { return currentLayer_; }

    // Reads a map file into the views. The file is read and checked first; only a
    // map that can be shown replaces what the window holds, and a failure is told
    // to the user and changes nothing.
    void LoadMap(const QString& fileName);
    // Writes the header of the last map read and the views' cell texts to a file.
    // A failure is told to the user and leaves the views and any old file as they were.
    void WriteMap(const QString& fileName);
    // Gives every view its line options, cell size and pixel size for the "Show
    // Lines" setting, and fits the window's height to them.
    void ApplyLineDisplay();
    // Applies the five metric boxes to all 13 views.
    void ApplyGridMetrics();

    // The smallest client height that shows the command column down to "Write Map".
    int minimumClientHeight() const;

    // Whether the views hold edits that no write has saved since the last load.
    bool hasUnwrittenEdits() const { return unwrittenEdits_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(const QStringList& arguments);
    void btnOpenMapClick();
    void btnSaveMapClick();
    void btnMinusClick();
    void btnPlusClick();
    void cmbLayerNameChange(int index);
    void chkLinesClick();
    void Button1Click();
    void SelectCell(LayerView* sender, int column, int row);

    void commitPendingEdits();
    // True when nothing unwritten would be lost, or the user agrees to lose it.
    bool mayDiscardEdits();
    void showLayer(int layer);
    void stepLayer(int step);
    void refreshMetricBoxes();
    void fitMapArea();

    std::unique_ptr<Ui::TfrmMapEd> ui_;
    UserDialogs& dialogs_;
    std::array<LayerView*, amp::LayerCount> layerGrids_{};
    amp::MapHeader mapHeader_{};
    int mapColumns_ = 0;
    int mapRows_ = 0;
    int currentLayer_ = 0;
    bool unwrittenEdits_ = false;
};
