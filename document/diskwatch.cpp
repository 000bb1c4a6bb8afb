// SPDX-License-Identifier: MIT
#include "diskwatch.h"

#include "mapfileio.h"
#include "mapimage.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int DefaultDelay = 500;

bool holds(const FileBytes& kept, const std::vector<std::uint8_t>& bytes) {
    return kept && *kept == bytes;
}

} // namespace

DiskWatch::DiskWatch(MapDocument& document, QObject* parent) : QObject(parent), document_(document) {
    delay_.setSingleShot(true);
    delay_.setInterval(DefaultDelay);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, &delay_, [this] { delay_.start(); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &delay_, [this] { delay_.start(); });
    connect(&delay_, &QTimer::timeout, this, &DiskWatch::check);
    connect(&document_, &MapDocument::fileNameChanged, this, &DiskWatch::watch);
    connect(&document_, &MapDocument::diskContentKnown, this, &DiskWatch::noteContent);
}

// Called as a map is read (before the document takes its name) and after a
// write: either way the file is the document's from now on.
void DiskWatch::noteContent(const QString& fileName, const FileBytes& bytes) {
    known_ = bytes;
    offered_.reset();
    told_.clear();
    emit settled();
    watch(fileName);
}

// The folder too: a watch on the file ends with the file (deleted, renamed
// over), and only the folder tells when a file of that name is there again.
void DiskWatch::watch(const QString& fileName) {
    const QStringList watched = watcher_.files() + watcher_.directories();
    if (!watched.isEmpty()) {
        watcher_.removePaths(watched);
    }
    if (fileName.isEmpty()) {
        return;
    }
    const QFileInfo file(fileName);
    if (file.dir().exists()) {
        watcher_.addPath(file.absolutePath());
    }
    if (file.exists()) {
        watcher_.addPath(fileName);
    }
}

void DiskWatch::check() {
    const QString fileName = document_.fileName();
    if (fileName.isEmpty()) {
        return;
    }
    // An atomic replace ends the watch on the old file: watch the new one.
    if (!watcher_.files().contains(fileName) && QFileInfo::exists(fileName)) {
        watcher_.addPath(fileName);
    }
    const QString folder = QFileInfo(fileName).absolutePath();
    if (!watcher_.directories().contains(folder) && QFileInfo::exists(folder)) {
        watcher_.addPath(folder);
    }
    // Whatever is on disk now, what the window holds stays until the user says.
    const QString name = QFileInfo(fileName).fileName();
    if (!QFileInfo::exists(fileName)) {
        tell(tr("%1 was deleted on disk: Write will create it again").arg(name), false);
        return;
    }
    auto bytes = amp::readMapFile(fileName);
    if (!bytes) {
        tell(tr("%1 cannot be read on disk (%2)").arg(name, QString::fromStdString(bytes.error().message)),
             false);
        return;
    }
    if (holds(known_, bytes.value())) {
        told_.clear(); // back to what the document knows: nothing to tell
        offered_.reset();
        emit settled();
        return;
    }
    if (holds(offered_, bytes.value())) {
        return; // a change already offered
    }
    if (const auto map = amp::viewMap(bytes.value()); !map) {
        tell(tr("%1 changed on disk and is not a map file now (%2)")
                 .arg(name, QString::fromStdString(map.error().message)),
             false);
        return;
    }
    if (!document_.isModified()) {
        emit aboutToReadAgain();
        if (!document_.read(fileName)) {
            return; // not a map as it stands: what the document holds stays
        }
        emit readAgain(name);
        return;
    }
    offered_ = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes).value());
    told_.clear();
    tell(tr("%1 changed on disk. ").arg(name), true);
}

void DiskWatch::tell(const QString& text, bool mayReload) {
    if (!mayReload) {
        offered_.reset(); // a change offered before is no longer on disk
    }
    if (text == told_) {
        return; // said already; Keep Mine may have answered it
    }
    told_ = text;
    emit told(text, mayReload);
}

// The disk's map replaces the cells in one undo step, whatever its shape: undo
// brings the unwritten changes back.
DocumentResult DiskWatch::reload() {
    DocumentResult result = document_.reloadFromDisk();
    if (result) {
        offered_.reset(); // the document told what the disk holds now
    }
    return result;
}

void DiskWatch::keepMine() {
    if (offered_) {
        known_ = offered_; // this change is answered
        offered_.reset();
    }
}
