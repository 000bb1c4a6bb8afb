// SPDX-License-Identifier: MIT
// The journaled in-place way of the portable seam, with the promise of the POSIX
// one (journal_posix.cpp) kept on QtCore alone. The old bytes of the file go to a
// journal in the user's data folder through QSaveFile (whole on disk or absent),
// the new ones over the file, and the journal goes once they are written; a
// journal still there is put back by the next reader or writer of that file, so a
// kill leaves the old file or the new one, never a mixture. Where the POSIX seam
// holds an flock on the file, this one holds a QLockFile named after the file's
// path in the journal folder: a lock whose process is gone is taken over, so the
// journal it guards is known to belong to a write cut short. QtCore cannot sync an
// open file: the bytes written in place are with the system, which no kill undoes,
// before the journal goes, but not yet on the disk.
#include "journalformat.h"
#include "mapformat.h"
#include "platformfile.h"
#include "qtfile.h"
#include "userfolders.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace amp::platform {

namespace {

constexpr qint64 BlockSize = 64 * 1024;
constexpr QFileDevice::Permissions PrivateFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
constexpr QFileDevice::Permissions PrivateFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr char LockSuffix[] = ".lock";
constexpr int LockWait = 10'000; // milliseconds: far longer than the largest map takes

using Journal = journalformat::Header;

// ~/.local/share/ampedit/journal, or wherever the system keeps a user's data.
QString journalFolder() {
    const QString data = userDataFolder();
    return data.isEmpty() || !QDir::isAbsolutePath(data) ? QString()
                                                         : data + QStringLiteral("/ampedit/journal");
}

// Takes the lock, trying every few milliseconds for a bounded while: QLockFile's
// own wait sleeps ever longer between tries, so a writer would starve behind
// readers that take and leave the lock in quick turns.
bool lockWithin(QLockFile& lock) {
    constexpr int Pause = 5; // milliseconds
    for (int waited = 0;; waited += Pause) {
        if (lock.tryLock(0)) {
            return true;
        }
        if (waited >= LockWait || lock.error() != QLockFile::LockFailedError) {
            return false;
        }
        QThread::msleep(Pause);
    }
}

// Makes the journal folder, private to the user.
bool makeJournalFolder(const QString& folder) {
    const QString program = QFileInfo(folder).path();
    if (!QDir().mkpath(QFileInfo(program).path())) {
        return false;
    }
    for (const QString& each : {program, folder}) {
        if (!QDir().mkdir(each, PrivateFolder) && !QFileInfo(each).isDir()) {
            return false;
        }
    }
    return true;
}

// What tells the file from one put in its place since: its birth time, where
// the system keeps one (QtCore sees no devices and inodes).
journalformat::Identity identityOf(const QString& path) {
    const QDateTime born = QFileInfo(path).birthTime();
    return {0, 0, born.isValid() ? static_cast<std::uint64_t>(born.toMSecsSinceEpoch()) : 0};
}

// The name of the journal and the lock of a file, after its canonical path.
QString keyOf(const QString& canonical) {
    return QString::fromLatin1(
        QCryptographicHash::hash(QFile::encodeName(canonical), QCryptographicHash::Sha1).toHex());
}

QStringList journalsIn(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*") + journalformat::Suffix},
                                  QDir::Files | QDir::NoSymLinks);
}

// A journal that others may write, or one another user put in the folder, is not
// this user's: its bytes never go into a file.
bool isOwnPrivate(const QFile& journal) {
#ifdef Q_OS_WIN
    // Windows keeps no permission bits: Qt reports every writable file as
    // writable by all. Who may write the journal is the user's AppData folder's
    // access list, which is the user's alone.
    Q_UNUSED(journal);
    return true;
#else
    const QFileInfo file(journal.fileName());
    const QFileInfo folder(file.absolutePath());
    constexpr QFile::Permissions OpenToOthers = QFile::WriteGroup | QFile::WriteOther;
    return !(file.permissions() & OpenToOthers) && !(folder.permissions() & OpenToOthers) &&
           file.ownerId() == folder.ownerId();
#endif
}

// The journal's header, when it holds together and names the file at hand.
bool readJournal(QFile& journal, const QString& canonical, Journal& said) {
    if (!isOwnPrivate(journal)) {
        return false;
    }
    std::array<std::uint8_t, journalformat::FixedSize> fixed{};
    const auto fixedSize = static_cast<qint64>(fixed.size());
    if (journal.read(reinterpret_cast<char*>(fixed.data()), fixedSize) != fixedSize ||
        !journalformat::decodeFixed(fixed, static_cast<std::uint64_t>(journal.size()), said)) {
        return false;
    }
    std::vector<std::uint8_t> rest(static_cast<std::size_t>(journalformat::restSize(said)));
    const auto restSize = static_cast<qint64>(rest.size());
    if (journal.read(reinterpret_cast<char*>(rest.data()), restSize) != restSize ||
        !journalformat::decodeRest(rest, said)) {
        return false;
    }
    const QString named = QFile::decodeName(QByteArray::fromStdString(said.path));
    return QDir::isAbsolutePath(named) && QFileInfo(named).canonicalFilePath() == canonical;
}

// Whether the file holds nothing but the journal's own write, cut short.
bool holdsOnlyItsWrite(QFile& journal, const Journal& said, QFile& file) {
    const auto readAt = [](QFile& from, qint64 at, std::uint8_t* to, std::size_t size) {
        const auto length = static_cast<qint64>(size);
        return from.seek(at) && from.read(reinterpret_cast<char*>(to), length) == length;
    };
    return journalformat::holdsOnlyItsWrite(
        said, static_cast<std::uint64_t>(file.size()),
        [&](std::uint64_t at, std::uint8_t* to, std::size_t size) {
            return readAt(file, static_cast<qint64>(at), to, size);
        },
        [&](std::uint64_t at, std::uint8_t* to, std::size_t size) {
            return readAt(journal, static_cast<qint64>(said.bytesAt + at), to, size);
        });
}

// Renames a journal the file no longer matches, so that it is never applied;
// the name it now has, or empty.
QString setAside(const QString& journalName) {
    const QString aside = journalName.chopped(static_cast<qsizetype>(std::strlen(journalformat::Suffix))) +
                          QLatin1String(journalformat::SetAsideSuffix);
    return replaceFile(journalName, aside) ? aside : QString();
}

bool copyBlocks(QFileDevice& from, QFileDevice& to, qint64 size) {
    std::vector<char> block(static_cast<std::size_t>(std::min(size, BlockSize)));
    for (qint64 done = 0; done < size;) {
        const qint64 part = std::min(size - done, BlockSize);
        if (from.read(block.data(), part) != part || !writeWhole(to, block.data(), part)) {
            return false;
        }
        done += part;
    }
    return true;
}

// Puts the journal's old bytes back into the file.
bool putBack(QFile& journal, const Journal& said, QFile& file) {
    const auto oldSize = static_cast<qint64>(said.oldSize);
    return journal.seek(static_cast<qint64>(said.bytesAt)) && file.seek(0) &&
           copyBlocks(journal, file, oldSize) && file.resize(oldSize) && file.flush();
}

// With the file's lock held: puts back a journal that names the file and that
// the file still matches, and sets aside those it does not.
Result<Restored> putBackLocked(const QString& folder, const QString& path, const QString& canonical) {
    Restored done;
    const journalformat::Identity identity = identityOf(canonical);
    for (const QString& name : journalsIn(folder)) {
        const QString journalName = folder + "/" + name;
        QFile journal(journalName);
        Journal said;
        if (!journalformat::isJournalName(name.toStdString()) || !journal.open(QIODevice::ReadOnly) ||
            !readJournal(journal, canonical, said)) {
            continue; // another file's, or not a journal of ours
        }
        // A file made read-only since is still read: a journal that is not its
        // own goes aside without writing it.
        QFile file(canonical);
        const bool writable = file.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
        const QString openError = file.errorString();
        if (!writable && !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            continue;
        }
        if (!journalformat::isSameIdentity(said.identity, identity) ||
            !holdsOnlyItsWrite(journal, said, file)) {
            journal.close();
            if (const QString aside = setAside(journalName); !aside.isEmpty()) {
                done.setAside.push_back(QFile::encodeName(aside).toStdString());
            }
            continue;
        }
        if (!writable) {
            return failure(MapErrorKind::CannotOpen, path,
                           "a write of it was cut short, and its old content cannot be put back (" +
                               openError + "); the journal " + journalName + " keeps it");
        }
        if (!putBack(journal, said, file)) {
            return failure(MapErrorKind::WriteError, path,
                           "a write of it was cut short, and putting its old content back failed (" +
                               file.errorString() + "); the journal " + journalName + " keeps it");
        }
        journal.close();
        QFile::remove(journalName);
        done.putBack = true;
        return done;
    }
    return done;
}

} // namespace

Result<Restored> restoreInterruptedWrite(const QString& path) {
    const QString folder = journalFolder();
    const QFileInfo info(path);
    if (folder.isEmpty() || journalsIn(folder).isEmpty() || !info.isFile()) {
        return Restored{};
    }
    const QString canonical = info.canonicalFilePath();
    QLockFile lock(folder + "/" + keyOf(canonical) + LockSuffix);
    if (!lockWithin(lock)) {
        return Restored{}; // a live process is writing it and will remove its journal itself
    }
    return putBackLocked(folder, path, canonical);
}

bool lockForReading(const QString& path, std::unique_ptr<QLockFile>& lock) {
    const QString folder = journalFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return true; // nothing has been written in place: no journal folder yet
    }
    lock =
        std::make_unique<QLockFile>(folder + "/" + keyOf(QFileInfo(path).canonicalFilePath()) + LockSuffix);
    if (!lockWithin(*lock)) {
        const bool heldByAnother = lock->error() == QLockFile::LockFailedError;
        lock.reset();
        return !heldByAnother; // a folder this user cannot lock in holds no write of theirs
    }
    return true;
}

Status writeInPlaceJournaled(const QString& target, std::span<const std::uint8_t> bytes, const QString& why) {
    QFile file(target);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        return failure(MapErrorKind::CannotOpen, target,
                       why + ", and it cannot be written in place either (" + file.errorString() + ")");
    }
    const QString folder = journalFolder();
    if (folder.isEmpty() || !makeJournalFolder(folder)) {
        return failure(
            MapErrorKind::CannotOpen, target,
            why + ", and no journal for writing it in place can be kept in the user's data folder " + folder);
    }
    const QString canonical = QFileInfo(target).canonicalFilePath();
    const QString key = keyOf(canonical);
    QLockFile lock(folder + "/" + key + LockSuffix);
    if (!lockWithin(lock)) {
        return failure(MapErrorKind::CannotOpen, target,
                       why + ", and another program has been reading or writing it for too long");
    }
    // Under the lock, a journal of this file belongs to a write cut short since it
    // was read, and a temporary one to a journal's writer that is gone.
    if (const auto restored = putBackLocked(folder, target, canonical); !restored) {
        return restored.error();
    }
    const QString journalName = folder + "/" + key + journalformat::Suffix;
    for (const QString& leftover : QDir(folder).entryList(
             {key + journalformat::Suffix + QStringLiteral(".*")}, QDir::Files | QDir::Hidden)) {
        QFile::remove(folder + "/" + leftover);
    }
    const qint64 oldSize = file.size();
    if (oldSize > MaxFileSize) {
        return failure(MapErrorKind::CannotOpen, target,
                       why + "; at " + QString::number(oldSize) +
                           " bytes it is larger than any map, so it is not written in place either");
    }

    // The journal, through the replace way: whole on disk or absent.
    const std::vector<std::uint8_t> header =
        journalformat::encodeHeader(QFile::encodeName(canonical).toStdString(), identityOf(canonical),
                                    static_cast<std::uint64_t>(oldSize), bytes);
    const auto headerSize = static_cast<qint64>(header.size());
    QSaveFile journal(journalName);
    journal.setDirectWriteFallback(false);
    if (!journal.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !journal.setPermissions(PrivateFile) ||
        !writeWhole(journal, reinterpret_cast<const char*>(header.data()), headerSize) || !file.seek(0) ||
        !copyBlocks(file, journal, oldSize) || journal.size() != headerSize + oldSize || !journal.commit()) {
        const QString reason =
            journal.error() != QFileDevice::NoError ? journal.errorString() : file.errorString();
        return failure(
            MapErrorKind::WriteError, target,
            why + ", and the journal of its old bytes for writing it in place could not be written (" +
                reason + "); it was left as it was");
    }

    // The new bytes in place; on a failure the old ones go back at once.
    const auto size = static_cast<qint64>(bytes.size());
    if (file.seek(0) && writeWhole(file, reinterpret_cast<const char*>(bytes.data()), size) &&
        file.resize(size) && file.flush()) {
        QFile::remove(journalName);
        return Done{};
    }
    const QString written = file.errorString() + " (" + why + ", so it was written in place)";
    QFile saved(journalName);
    Journal said;
    said.oldSize = static_cast<std::uint64_t>(oldSize);
    said.bytesAt = header.size();
    if (saved.open(QIODevice::ReadOnly) && putBack(saved, said, file)) {
        saved.close();
        QFile::remove(journalName);
        return failure(MapErrorKind::WriteError, target, written + ", and its old content was put back");
    }
    return failure(MapErrorKind::WriteError, target,
                   written + ", and putting its old content back failed too; it goes back from the journal " +
                       journalName + " the next time the file is read");
}

} // namespace amp::platform
