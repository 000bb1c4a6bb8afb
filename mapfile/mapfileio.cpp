// SPDX-License-Identifier: MIT
// The checks before the portable seam (qtfile.h), on QFileInfo; the POSIX build
// makes them in diskio.cpp.
#include "mapfileio.h"
#include "mapformat.h"
#include "qtfile.h"

#include <QDir>
#include <QFileInfo>

namespace amp {

namespace {

// Links followed to the file they name, as the system does before giving up.
constexpr int MostLinks = 40;

MapError openError(const QString& path, const std::string& reason) {
    return {MapErrorKind::CannotOpen, path.toStdString() + ": " + reason};
}

using Notice = std::function<void(const QString&, const JournalNotice&)>;

Notice& restoreNotice() {
    static Notice notice;
    return notice;
}

// Undoes an interrupted write of the file before anything reads it; true when it did.
Result<bool> restoreFirst(const QString& path) {
    return platform::restoreAndTell(platform::restoreInterruptedWrite(path), path, restoreNotice());
}

// The file a dangling symbolic link names, followed through further links.
QString danglingTarget(const QString& path) {
    QString target = path;
    for (int hop = 0; hop < MostLinks && QFileInfo(target).isSymLink(); ++hop) {
        const QFileInfo link(target);
        target = QDir(link.absolutePath()).absoluteFilePath(link.symLinkTarget());
    }
    return target;
}

} // namespace

void setRestoreNotice(Notice notice) {
    restoreNotice() = std::move(notice);
}

NewFileMode modeMadeFrom(const QString& source) {
    constexpr unsigned PermissionBits = 0777;
    const QFileInfo file(source);
    if (source.isEmpty() || !file.isFile()) {
        return NewFileMode::Usual;
    }
    // Qt's permission flags: owner 0x4000-0x1000 (read, write, exe), user (the
    // process's own view) 0x400-0x100, group 0x40-0x10, other 0x4-0x1.
    const unsigned flags = static_cast<unsigned>(file.permissions().toInt());
    const unsigned owner = (flags >> 12) & 07, group = (flags >> 4) & 07, other = flags & 07;
    return NewFileMode::like(((owner << 6) | (group << 3) | other) & PermissionBits);
}

Result<std::vector<std::uint8_t>> readMapFile(const QString& path) {
    if (path.isEmpty()) {
        return openError(path, "no file name was given");
    }
    if (const auto restored = restoreFirst(path); !restored) {
        return restored.error();
    }
    return notLargerThanAMap(platform::readRegularFile(path, MaxFileSize + 1), path.toStdString());
}

Result<ReadBytes> readFileAtMost(const QString& path, std::size_t limit) {
    if (path.isEmpty()) {
        return openError(path, "no file name was given");
    }
    const auto restored = restoreFirst(path);
    if (!restored) {
        return restored.error();
    }
    return platform::cutAtLimit(platform::readRegularFile(path, limit + 1), limit, restored.value());
}

Result<Written> writeFileSafely(const QString& path, std::span<const std::uint8_t> bytes, NewFileMode mode) {
    if (path.isEmpty()) {
        return openError(path, "no file name was given");
    }
    // A rename would replace whatever stands at the name, destroying a FIFO or a
    // device node; only regular files are replaced. QFileInfo follows links, so a
    // link to a map is judged by the map.
    const QFileInfo existing(path);
    QString target = path;
    if (existing.exists()) {
        if (existing.isDir()) {
            return openError(path, "it is a folder, not a file");
        }
        if (!existing.isFile()) {
            return openError(path, "it is not a regular file (a pipe, device or socket)");
        }
        if (!existing.isWritable()) {
            return openError(path, "the file is read-only");
        }
        target = existing.canonicalFilePath(); // the link stays, its target is replaced
    } else if (existing.isSymLink()) {
        target = danglingTarget(path); // the link stays, the file it names is made
        if (QFileInfo(target).isSymLink()) {
            return openError(path, "its symbolic links go round in a circle");
        }
    }
    const auto restored = restoreFirst(target);
    if (!restored) {
        return restored.error();
    }
    auto written = platform::writeFile(target, bytes, mode);
    if (!written) {
        return written;
    }
    return Written{written.value().way, restored.value()};
}

} // namespace amp
