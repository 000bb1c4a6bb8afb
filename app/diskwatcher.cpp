#include "diskwatcher.h"
#include "layerview.h"
#include "mapdocument.h"
#include "mapfileio.h"
#include "tfrmmaped.h"

#include <QFileInfo>
#include <QLabel>
#include <QToolBar>

namespace {

constexpr int DefaultDelay = 500;

bool holds(const FileBytes& kept, const std::vector<std::uint8_t>& bytes) { return kept && *kept == bytes; }

} // namespace

DiskWatcher::DiskWatcher(MapDocument& document, TfrmMapEd& form, QToolBar* bar)
    : QObject(bar), document_(document), form_(form), bar_(bar), label_(new QLabel(bar)) {
    delay_.setSingleShot(true);
    delay_.setInterval(DefaultDelay);
    bar_->addWidget(label_);
    bar_->addAction(tr("Reload"), this, &DiskWatcher::reload);
    bar_->addAction(tr("Keep Mine"), this, &DiskWatcher::keepMine);
    bar_->hide();
    connect(&watcher_, &QFileSystemWatcher::fileChanged, &delay_, [this] { delay_.start(); });
    connect(&delay_, &QTimer::timeout, this, &DiskWatcher::check);
    connect(&document_, &MapDocument::fileNameChanged, this, &DiskWatcher::watch);
}

// Called as a map is read (before the document takes its name) and after a
// write: either way the file is the document's from now on.
void DiskWatcher::noteContent(const QString& fileName, const FileBytes& bytes) {
    known_ = bytes;
    offered_.reset();
    bar_->hide();
    watch(fileName);
}

void DiskWatcher::watch(const QString& fileName) {
    if (!watcher_.files().isEmpty()) {
        watcher_.removePaths(watcher_.files());
    }
    if (!fileName.isEmpty() && QFileInfo::exists(fileName)) {
        watcher_.addPath(fileName);
    }
}

void DiskWatcher::check() {
    const QString fileName = document_.fileName();
    if (fileName.isEmpty()) {
        return;
    }
    // An atomic replace ends the watch on the old file: watch the new one.
    if (!watcher_.files().contains(fileName) && QFileInfo::exists(fileName)) {
        watcher_.addPath(fileName);
    }
    auto bytes = amp::readMapFile(fileName);
    if (!bytes) {
        return; // gone or unreadable: what the window holds stays
    }
    if (holds(known_, bytes.value()) || holds(offered_, bytes.value())) {
        return; // our own write, or a change already offered
    }
    const QString name = QFileInfo(fileName).fileName();
    if (!document_.isModified()) {
        // Read again, keeping the layer on show and the current hex.
        LayerView* view = form_.currentGrid();
        const QModelIndex current = view->currentIndex();
        if (!document_.read(fileName)) {
            return; // not a map as it stands: what the window holds stays
        }
        if (current.isValid()) {
            form_.selectHex(current.column(), current.row());
        }
        emit message(tr("%1 changed on disk and was read again").arg(name));
        return;
    }
    offered_ = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes).value());
    label_->setText(tr("%1 changed on disk. ").arg(name));
    bar_->show();
}

// The disk's map replaces the cells in one undo step, whatever its shape: undo
// brings the unwritten changes back.
void DiskWatcher::reload() {
    bar_->hide();
    if (document_.reloadFromDisk()) {
        offered_.reset(); // the document told what the disk holds now
    }
}

void DiskWatcher::keepMine() {
    bar_->hide();
    known_ = offered_; // this change is answered
    offered_.reset();
}
