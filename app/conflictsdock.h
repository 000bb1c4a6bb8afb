// SPDX-License-Identifier: MIT
// The Conflicts dock: the merge being settled in the session on show. It lists
// every conflict (where, the base's, ours and theirs bytes, and what the map
// holds now; settled ones greyed), steps through those left (F8 / Shift+F8),
// takes ours, theirs or the base for the current hex, the selection, the layer
// on show or every conflict left, marks the hexes and cells with a conflict left
// in the picture and the number views, and counts them on the status line. The
// merge is the session's (MapEditor::merge()); the dock follows it and keeps
// nothing of its own but the list's model.
#pragma once

#include "conflictmodel.h"
#include "layerviews.h"
#include "mapmerging.h"

#include <QDockWidget>
#include <QPointer>

#include <memory>
#include <vector>

class HexMapView;
class MapEditor;
class QLabel;
class QMainWindow;
class QTableView;
class QToolButton;
class UserDialogs;

class ConflictsDock : public QDockWidget {
    Q_OBJECT

public:
    ConflictsDock(MapEditor& editor, LayerViews views, HexMapView& picture, UserDialogs& dialogs,
                  QMainWindow* window);
    ~ConflictsDock() override;

    // Follows another session (a tab); none lets go of every session.
    void setEditor(MapEditor* editor, LayerViews views, HexMapView* picture);
    MapEditor* editor() const { return editor_; }

    // Merges the three maps into the session's map, to be written to `output`; a
    // failure is told and changes nothing. True when merged.
    bool merge(const QString& base, const QString& ours, const QString& theirs, const QString& output);
    // File > Merge…: asks for the three maps and where the result goes.
    void chooseAndMerge();

    // The next / previous conflict left, wrapping; from the list's current row,
    // or from the current hex when no row is current.
    void stepConflict(int step);
    void take(MapMerge::Side side, MapMerge::Scope scope);

    MapMerge* merge() const;
    ConflictModel* model() const { return model_.get(); }
    QTableView* table() const { return table_; }
    QString countText() const;

private:
    void followMerge();
    void refresh();
    void markViewOf(int layer);
    void goTo(std::size_t conflict);

    MapEditor* editor_ = nullptr;
    LayerViews views_;
    QPointer<HexMapView> picture_;
    UserDialogs& dialogs_;
    QMainWindow* window_;
    std::vector<QMetaObject::Connection> following_; // to the session
    MapMerge* merge_ = nullptr;                      // the session's, which the model shows
    std::unique_ptr<ConflictModel> model_;
    QLabel* summary_;
    QTableView* table_;
    QToolButton* count_; // on the status line: shows the dock
};
