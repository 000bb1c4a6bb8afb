// SPDX-License-Identifier: MIT
// One open map of the window: a whole editing session and what shows it (its
// form, its picture), the helpers that act on exactly these (the bulk edits),
// and what keeps it safe (its recovery copy, its disk watch and that watch's
// bar). The window holds one per tab; switching tabs shows another one, so each
// keeps its map, undo history, selection, current hex, layer, zoom and scroll
// as they were, because nothing of them is shared.
#pragma once

#include "layerviews.h"

#include <QObject>
#include <QString>

class BulkEdits;
class DiskWatcher;
class MapEditor;
class MapPanel;
class QToolBar;
class RecoveryKeeper;
class TfrmMapEd;

class MapTab : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    MapEditor* editor = nullptr; // a child of the tab: it goes with it
    TfrmMapEd* form = nullptr;
    MapPanel* panel = nullptr;
    BulkEdits* bulkEdits = nullptr;
    RecoveryKeeper* keeper = nullptr;
    DiskWatcher* watcher = nullptr;
    QToolBar* diskBar = nullptr;
    bool diskBarWanted = false; // the bar had something to tell when the tab was left

    LayerViews views; // the form's number views, for the helpers that follow the session
    // The file's name ("Untitled" for a map not written yet), "*" while unwritten.
    QString title() const;
    QString path() const;
};
