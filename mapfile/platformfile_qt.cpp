// SPDX-License-Identifier: MIT
// The file seam on QtCore alone, for systems without the POSIX calls. QSaveFile
// is opened unbuffered, so every write reaches the system and is checked there;
// the size is measured before commit() may rename the file over the target.
// QtCore can neither give a file an owner nor copy its extended attributes, nor
// tell its hard links, so this seam replaces wherever it can; where no temporary
// file can be made beside the target or the rename is refused, it writes in
// place with a journal (journal_qt.cpp). Windows has a writer and a replace of
// its own on the system's calls (platformfile_win.cpp); the rest is shared.
#include "platformfile.h"
#include "qtfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace amp::platform {

#ifndef _WIN32
namespace {

constexpr QFileDevice::Permissions OwnerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;

// Permission bits (0640) as Qt's flags; the process's own ("user") as the owner's.
QFileDevice::Permissions permissionsOfBits(unsigned bits) {
    const unsigned owner = (bits >> 6) & 07, group = (bits >> 3) & 07, other = bits & 07;
    return QFileDevice::Permissions::fromInt(
        static_cast<int>((owner << 12) | (owner << 8) | (group << 4) | other));
}

// What the file gets once complete: `made` is what QSaveFile gave it (the old
// file's permissions, or the usual ones under the umask for a new file).
QFileDevice::Permissions permissionsOfNewFile(QFileDevice::Permissions made, bool replacing,
                                              NewFileMode mode) {
    if (replacing || mode.kind == NewFileMode::Kind::Usual) {
        return made;
    }
    return mode.kind == NewFileMode::Kind::OwnerOnly ? made & OwnerOnly : made & permissionsOfBits(mode.bits);
}

} // namespace
#endif

MapError failure(MapErrorKind kind, const QString& path, const QString& reason) {
    return {kind, QDir::toNativeSeparators(path).toStdString() + ": " + reason.toStdString()};
}

bool writeWhole(QFileDevice& file, const char* data, qint64 size) {
    for (qint64 done = 0; done < size;) {
        const qint64 wrote = file.write(data + done, size - done);
        if (wrote <= 0) {
            return false;
        }
        done += wrote;
    }
    return true;
}

Result<std::vector<std::uint8_t>> readRegularFile(const QString& path, std::size_t limit) {
    // Checked by name first: opening a pipe here could wait for a writer.
    const QFileInfo info(path);
    if (!info.exists()) {
        return failure(MapErrorKind::CannotOpen, path, QStringLiteral("No such file or directory"));
    }
    if (info.isDir()) {
        return failure(MapErrorKind::CannotOpen, path, QStringLiteral("it is a folder, not a file"));
    }
    if (!info.isFile()) {
        return failure(MapErrorKind::CannotOpen, path,
                       QStringLiteral("it is not a regular file (a pipe, device or socket)"));
    }
    std::unique_ptr<QLockFile> lock;
    if (!lockForReading(path, lock)) {
        return failure(MapErrorKind::ReadError, path,
                       QStringLiteral("another program has been writing it for too long; try again"));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return failure(MapErrorKind::CannotOpen, path, file.errorString());
    }
    std::vector<std::uint8_t> bytes;
    const bool read = readUpTo(bytes, limit, static_cast<std::size_t>(std::max<qint64>(file.size(), 0)),
                               [&file](std::uint8_t* at, std::size_t size) -> long long {
                                   return file.read(reinterpret_cast<char*>(at), static_cast<qint64>(size));
                               });
    if (!read) {
        return failure(MapErrorKind::ReadError, path, file.errorString());
    }
    return bytes;
}

#ifndef _WIN32
// QFile::rename refuses an existing target; rename(2) replaces it in one step.
Status replaceFile(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        const int error = errno;
        return failure(MapErrorKind::WriteError, to,
                       "it could not be replaced by " + QDir::toNativeSeparators(from) + " (" +
                           QString::fromLocal8Bit(std::strerror(error)) + ")");
    }
    return Done{};
}

Result<Written> writeFile(const QString& target, std::span<const std::uint8_t> bytes, NewFileMode mode) {
    QSaveFile file(target); // keeps the permissions of a file it replaces
    file.setDirectWriteFallback(false);
    const bool replacing = QFileInfo::exists(target);
    QString why;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (!replacing) {
            return failure(MapErrorKind::CannotOpen, target, file.errorString());
        }
        why = "no new file can be made in its folder (" + file.errorString() + ")";
    } else {
        // The temporary file is the owner's alone until it is complete; then it gets
        // the old file's permissions (QSaveFile gave it those), or a new file's.
        const QFileDevice::Permissions finalPermissions =
            permissionsOfNewFile(file.permissions(), replacing, mode);
        file.setPermissions(OwnerOnly);
        // A short write is retried, so that a failing one reports the system's reason.
        const auto size = static_cast<qint64>(bytes.size());
        if (!writeWhole(file, reinterpret_cast<const char*>(bytes.data()), size) || !file.flush() ||
            file.size() != size || !file.setPermissions(finalPermissions)) {
            const QString reason = file.error() != QFileDevice::NoError
                                       ? file.errorString()
                                       : QStringLiteral("the file was not written whole");
            file.cancelWriting();
            return failure(MapErrorKind::WriteError, target, reason);
        }
        if (file.commit()) {
            return Written{};
        }
        // A failing write shows as a WriteError; anything else refused the rename
        // (a bind mount, a name too long for the temporary one) and left the target.
        if (!replacing || file.error() == QFileDevice::WriteError) {
            return failure(MapErrorKind::WriteError, target, file.errorString());
        }
        why = "it cannot be replaced (" + file.errorString() + ")";
    }
    const Status inPlace = writeInPlaceJournaled(target, bytes, why);
    if (!inPlace) {
        return inPlace.error();
    }
    return Written{WriteWay::InPlace, false};
}

#endif

} // namespace amp::platform
