// Notices when another program changes the map file on disk. The file is
// watched (again after an atomic replace), changes are taken together for half
// a second, and the editor's own writes are told by their content, never by
// time. With no unwritten changes the map is read again, the layer on show and
// the current hex kept; with unwritten changes a bar offers Reload (one undo
// step) and Keep Mine, and blocks nothing.
#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

class MapDocument;
class QLabel;
class QToolBar;
class TfrmMapEd;

class DiskWatcher : public QObject {
    Q_OBJECT

public:
    DiskWatcher(MapDocument& document, TfrmMapEd& form, QToolBar* bar);

    void setDelay(int milliseconds) { delay_.setInterval(milliseconds); }
    // The form read or wrote these bytes: the disk holds them now.
    void noteContent(const QString& fileName, const QByteArray& bytes);
    void reload();
    void keepMine();

signals:
    void message(const QString& text);

private:
    void watch(const QString& fileName);
    void check();

    MapDocument& document_;
    TfrmMapEd& form_;
    QToolBar* bar_;
    QLabel* label_;
    QFileSystemWatcher watcher_;
    QTimer delay_;
    QByteArray known_;   // what the disk held when last read or written
    QByteArray offered_; // a change the bar offers
};
