// The file seam on QtCore alone, for systems without the POSIX calls. QSaveFile
// is opened unbuffered, so every write reaches the system and is checked there;
// the size is measured before commit() may rename the file over the target.
// QtCore can neither give a file an owner nor copy its extended attributes, nor
// tell its hard links, so this seam always replaces, except where no temporary
// file can be made: then it writes in place with the old bytes (at most the
// largest map's) held in memory, and keeps no journal.
#include "mapformat.h"
#include "platformfile.h"

#include <algorithm>

#include <QFileInfo>
#include <QSaveFile>

namespace amp::platform {

namespace {

MapError failure(MapErrorKind kind, const QString& path, const QString& reason) {
    return {kind, path.toStdString() + ": " + reason.toStdString()};
}

// The way for a folder where no temporary file can be made: the old bytes are
// kept in memory, the new ones written over them; if that fails, the old bytes
// go back.
Status writeInPlace(const QString& target, std::span<const std::uint8_t> bytes, const QString& temporaryError) {
    QFile file(target);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        return failure(MapErrorKind::CannotOpen, target,
                       "no temporary file can be made beside it (" + temporaryError +
                           ") and it cannot be written in place (" + file.errorString() + ")");
    }
    if (file.size() > MaxFileSize) {
        return failure(MapErrorKind::CannotOpen, target,
                       "no temporary file can be made beside it (" + temporaryError + "), and at " +
                           QString::number(file.size()) +
                           " bytes it is larger than any map, so it is not written in place either");
    }
    const QByteArray old = file.readAll();
    const auto writeWhole = [&file](const char* data, qint64 size) {
        qint64 done = 0;
        while (done < size) {
            const qint64 wrote = file.write(data + done, size - done);
            if (wrote <= 0) {
                return false;
            }
            done += wrote;
        }
        return file.resize(size) && file.flush();
    };
    if (file.seek(0) && writeWhole(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()))) {
        return Done{};
    }
    const QString why = file.errorString() + "; no temporary file could be made beside it, so it was written in place";
    const bool restored = file.seek(0) && writeWhole(old.constData(), old.size());
    return failure(MapErrorKind::WriteError, target,
                   why + (restored ? ", and its old content was put back" : ", and putting its old content back failed too"));
}

} // namespace

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

Result<bool> restoreInterruptedWrite(const QString&) { return false; } // this seam keeps no journals

Result<Written> writeFile(const QString& target, std::span<const std::uint8_t> bytes, NewFileMode mode) {
    QSaveFile file(target); // keeps the permissions of a file it replaces
    file.setDirectWriteFallback(false);
    const bool replacing = QFileInfo::exists(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (replacing) {
            const Status inPlace = writeInPlace(target, bytes, file.errorString());
            if (!inPlace) {
                return inPlace.error();
            }
            return Written{WriteWay::InPlace, false};
        }
        return failure(MapErrorKind::CannotOpen, target, file.errorString());
    }
    if (!replacing && mode == NewFileMode::OwnerOnly) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    // A short write is retried, so that a failing one reports the system's reason.
    const auto size = static_cast<qint64>(bytes.size());
    qint64 done = 0;
    while (done < size) {
        const qint64 wrote = file.write(reinterpret_cast<const char*>(bytes.data()) + done, size - done);
        if (wrote <= 0) {
            break;
        }
        done += wrote;
    }
    if (done != size || !file.flush() || file.size() != size) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString()
                                                                    : QStringLiteral("the file was not written whole");
        file.cancelWriting();
        return failure(MapErrorKind::WriteError, target, reason);
    }
    if (!file.commit()) {
        return failure(MapErrorKind::WriteError, target, file.errorString());
    }
    return Written{};
}

} // namespace amp::platform
