// Notices when another program changes the map file on disk. The file and its
// folder are watched, so a map that is replaced, deleted, renamed over or made
// again later is never lost sight of; changes are taken together for half a
// second, and the editor's own writes are told by their content, never by
// time. With no unwritten changes the map is read again, the layer on show and
// the current hex kept; with unwritten changes a bar offers Reload (one undo
// step) and Keep Mine, and blocks nothing. Whatever else the watcher finds (the
// map gone, unreadable, or no map any more) goes to the bar too, never to a
// modal box.
#pragma once

#include "tfrmmaped.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class MapDocument;
class QAction;
class QLabel;
class QToolBar;

class DiskWatcher : public QObject {
    Q_OBJECT

public:
    DiskWatcher(MapDocument& document, TfrmMapEd& form, QToolBar* bar);

    void setDelay(int milliseconds) { delay_.setInterval(milliseconds); }
    // The form read or wrote these bytes: the disk holds them now.
    void noteContent(const QString& fileName, const FileBytes& bytes);
    void reload();
    void keepMine();

signals:
    void message(const QString& text);

private:
    void watch(const QString& fileName);
    void check();
    // Shows the bar, once for each text, with Reload where there is a map to read.
    void tell(const QString& text, bool mayReload);

    MapDocument& document_;
    TfrmMapEd& form_;
    QToolBar* bar_;
    QLabel* label_;
    QAction* reloadAction_;
    QString told_; // what the bar said last, until the disk holds the known bytes again
    QFileSystemWatcher watcher_;
    QTimer delay_;
    // The bytes themselves, not a hash of them: comparing is cheaper than hashing.
    FileBytes known_;   // what the disk held when last read or written
    FileBytes offered_; // a change the bar offers
};
