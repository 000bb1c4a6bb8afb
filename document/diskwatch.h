// SPDX-License-Identifier: MIT
// Notices when another program changes the document's file on disk. The file and
// its folder are watched, so a map that is replaced, deleted, renamed over or
// made again later is never lost sight of; changes are taken together for half a
// second, and the document's own reads and writes are told by their content,
// never by time. With no unwritten changes the map is read again; with unwritten
// changes the change is offered (reload() takes it as one undo step, keepMine()
// answers it). Whatever else is found (the map gone, unreadable, or no map any
// more) is told, never acted on. Widget-free: the window shows what it tells.
#pragma once

#include "mapdocument.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class DiskWatch : public QObject {
    Q_OBJECT

public:
    explicit DiskWatch(MapDocument& document, QObject* parent = nullptr);

    void setDelay(int milliseconds) { delay_.setInterval(milliseconds); }
    // The document read or wrote these bytes: the disk holds them now.
    void noteContent(const QString& fileName, const FileBytes& bytes);
    // Takes the disk's map over unwritten changes, in one undo step.
    DocumentResult reload();
    // Keeps what the document holds; the change offered counts as answered.
    void keepMine();
    // Looks at the disk now (the watch does it after each change).
    void check();

signals:
    // Something the user should know; `mayReload` when a change is offered.
    // Each text is told once, until the disk holds the known bytes again.
    void told(const QString& text, bool mayReload);
    // Nothing to tell any more: the disk holds what the document knows.
    void settled();
    // The map is about to be read again / was read again, nothing being unwritten.
    void aboutToReadAgain();
    void readAgain(const QString& name);

private:
    void watch(const QString& fileName);
    void tell(const QString& text, bool mayReload);

    MapDocument& document_;
    QString told_; // what was told last, until the disk holds the known bytes again
    QFileSystemWatcher watcher_;
    QTimer delay_;
    // The bytes themselves, not a hash of them: comparing is cheaper than hashing.
    FileBytes known_;   // what the disk held when last read or written
    FileBytes offered_; // a change on offer
};
