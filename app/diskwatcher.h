// SPDX-License-Identifier: MIT
// The window's side of the disk watch (DiskWatch, in the document library): a
// bar above the form that tells what the watch finds, never a modal box, with
// Reload (one undo step) and Keep Mine where a change is offered over unwritten
// changes; it blocks nothing. When the map is read again by itself, the layer on
// show and the current hex are kept.
#pragma once

#include "diskwatch.h"
#include "hexgeometry.h"

#include <QObject>

#include <optional>

class MapEditor;
class QAction;
class QLabel;
class QToolBar;

class DiskWatcher : public QObject {
    Q_OBJECT

public:
    DiskWatcher(MapEditor& editor, QToolBar* bar);

    void setDelay(int milliseconds) { watch_.setDelay(milliseconds); }
    void reload();
    void keepMine();

signals:
    void message(const QString& text);

private:
    void show(const QString& text, bool mayReload);
    void keepCurrentHex();

    DiskWatch watch_;
    MapEditor& editor_;
    QToolBar* bar_;
    QLabel* label_;
    QAction* reloadAction_;
    std::optional<HexCell> current_; // the current hex while the map is read again
};
