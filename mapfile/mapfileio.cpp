// SPDX-License-Identifier: MIT
// The portable build's look at names for the front half of the reader and writer
// (filefront.h), on QFileInfo; and the calls of mapfileio.h over it. The POSIX
// build looks in diskio.cpp.
#include "mapfileio.h"
#include "filefront.h"
#include "qtfile.h"

#include <QDir>
#include <QFileInfo>

namespace amp {

namespace {

// Links followed to the file they name, as the system does before giving up.
constexpr int MostLinks = 40;

struct QtNames {
    using Path = QString;

    static bool isEmpty(const QString& path) { return path.isEmpty(); }
    // A name as the system writes it: with backslashes on Windows.
    static std::string shown(const QString& path) { return QDir::toNativeSeparators(path).toStdString(); }

    static platform::Standing standing(const QString& path) {
        const QFileInfo existing(path); // follows links
        if (!existing.exists()) {
            return platform::Standing::Nothing;
        }
        if (existing.isDir()) {
            return platform::Standing::Folder;
        }
        if (!existing.isFile()) {
            return platform::Standing::NotAFile;
        }
        return existing.isWritable() ? platform::Standing::WritableFile : platform::Standing::ReadOnlyFile;
    }

    static Result<QString> canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

    static bool isSymLink(const QString& path) { return QFileInfo(path).isSymLink(); }

    // The file a dangling symbolic link names, followed through further links.
    static QString danglingTarget(const QString& path) {
        QString target = path;
        for (int hop = 0; hop < MostLinks && QFileInfo(target).isSymLink(); ++hop) {
            const QFileInfo link(target);
            target = QDir(link.absolutePath()).absoluteFilePath(link.symLinkTarget());
        }
        return target;
    }

    static Result<std::vector<std::uint8_t>> read(const QString& path, std::size_t limit) {
        return platform::readRegularFile(path, limit);
    }
    static Result<platform::Restored> restore(const QString& path) {
        return platform::restoreInterruptedWrite(path);
    }
    static Result<Written> write(const QString& target, std::span<const std::uint8_t> bytes,
                                 NewFileMode mode) {
        return platform::writeFile(target, bytes, mode);
    }
};

using Front = platform::FileFront<QtNames>;

} // namespace

void setRestoreNotice(std::function<void(const QString&, const JournalNotice&)> notice) {
    Front::setRestoreNotice(std::move(notice));
}

Status replaceFile(const QString& from, const QString& to) {
    return platform::replaceFile(from, to);
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
    return Front::readMapFile(path);
}

Result<ReadBytes> readFileAtMost(const QString& path, std::size_t limit) {
    return Front::readFileAtMost(path, limit);
}

Result<Written> writeFileSafely(const QString& path, std::span<const std::uint8_t> bytes, NewFileMode mode) {
    return Front::writeFileSafely(path, bytes, mode);
}

} // namespace amp
