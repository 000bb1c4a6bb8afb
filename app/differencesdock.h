// SPDX-License-Identifier: MIT
// The Differences dock: the edited map compared with another map, read from a
// file and never edited here. It lists the differing cells (sortable, one layer
// or all), tells the header bytes and sizes that differ at its top, marks the
// differing cells in the picture and the number views, steps to the next and
// previous difference, takes the other map's cells and swaps which map is
// edited. The count goes on the status line. The compared map and its
// MapComparison are the session's (MapEditor); the dock follows the session's
// comparisonChanged and is the window side: the list, the marks, the questions.
#pragma once

#include "layerviews.h"
#include "mapcomparison.h"

#include <QDockWidget>
#include <QPointer>

#include <memory>

class DiskWatch;
struct DocumentResult;
class DifferenceModel;
class HexMapView;
class MapDocument;
class MapEditor;
class QCheckBox;
class QComboBox;
class QLabel;
class QMainWindow;
class QTableView;
class QToolButton;
class UserDialogs;

class DifferencesDock : public QDockWidget {
    Q_OBJECT

public:
    DifferencesDock(MapEditor& editor, LayerViews views, HexMapView& picture, UserDialogs& dialogs,
                    QMainWindow* window);
    ~DifferencesDock() override;
    // The session whose comparison the dock shows from now on, with its views and picture.
    void setEditor(MapEditor* editor, LayerViews views, HexMapView* picture);

    // Reads the other map and compares with it; a failure is told and changes
    // nothing. True when compared.
    bool compareWith(const QString& fileName);
    // File > Compare With…: asks for the other map first.
    void chooseAndCompare();
    void stopComparing();
    bool isComparing() const { return comparison_ != nullptr; }

    // F8 / Shift+F8: the next / previous row of the list, wrapping; from the
    // current hex when no row is current.
    void stepDifference(int step);
    // The other map's cells for the current hex, the selection, the layer on
    // show or everything, as one undo step.
    void takeTheirs(MapComparison::Scope scope);
    // The other map is edited from now on, and the edited one is the other
    // (both as they are on disk; unwritten changes are asked about first).
    void swapMaps();
    // Marks in the picture: differences of every layer, or only of the layer on show.
    void setMarkingEveryLayer(bool every);

    MapComparison* comparison() const { return comparison_; }
    DifferenceModel* model() const { return model_.get(); }
    QTableView* table() const { return table_; }
    const MapDocument& other() const;
    QString summary() const;
    QString countText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void followComparison();
    void refresh();
    void markViewOf(int layer);
    void goTo(const Difference& difference);
    void tellOtherOnDisk();
    void tellReadFailure(const QString& fileName, const DocumentResult& read);

    MapEditor* editor_ = nullptr;
    MapDocument* document_ = nullptr;
    LayerViews views_;
    QPointer<HexMapView> picture_; // torn down before the dock
    UserDialogs& dialogs_;
    QMainWindow* window_;
    DiskWatch* watch_ = nullptr;          // the session's, on its compared map's file
    MapComparison* comparison_ = nullptr; // the session's, which the model shows
    std::unique_ptr<DifferenceModel> model_;
    QLabel* summary_;
    QComboBox* filter_;
    QCheckBox* everyLayer_;
    QTableView* table_;
    QToolButton* count_;  // on the status line: shows the dock
    bool moving_ = false; // the list's rows are moving
};
