// SPDX-License-Identifier: MIT
#include "recoverykeeper.h"
#include "filenames.h"
#include "mapdocument.h"
#include "mapfileio.h"
#include "userfolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QSysInfo>

namespace {

constexpr int DefaultDelay = 2000;
// A long run of changes with no pause is kept after this many delays at the most.
constexpr int LongestWait = 5;
const QString Suffix = QStringLiteral(".amprec");
const QString BrokenSuffix = QStringLiteral(".broken");
constexpr QFile::Permissions FolderMode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions CopyMode = QFile::ReadOwner | QFile::WriteOwner;

QString lockOf(const QString& copy) {
    return copy + QStringLiteral(".lock");
}

// The lock files this program has taken. A lock names its process by number.
QSet<QString>& takenHere() {
    static QSet<QString> locks;
    return locks;
}

// A lock that names this process, but that this program never took, was left
// by an editor that ended before this one began under the same process number
// (Wine hands the same few numbers out again and again): its editor is gone.
bool leftUnderThisProcessNumber(const QLockFile& lock, const QString& lockPath) {
    qint64 pid = 0;
    QString host;
    QString program;
    if (takenHere().contains(lockPath) || !lock.getLockInfo(&pid, &host, &program) ||
        pid != QCoreApplication::applicationPid()) {
        return false;
    }
    // The host as a lock names it: on Windows the computer name, in capitals.
    return host.isEmpty() || host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0 ||
           host == qEnvironmentVariable("COMPUTERNAME");
}

// The folder, made (or tightened) so that only the user may enter it.
bool makePrivateFolder(const QString& path) {
    return QDir().mkpath(path) && QFile::setPermissions(path, FolderMode);
}

} // namespace

RecoveryKeeper::RecoveryKeeper(MapDocument& document, QObject* parent)
    : QObject(parent), document_(document) {
    timer_.setSingleShot(true);
    timer_.setInterval(DefaultDelay);
    connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::writeNow);
    connect(document_.undoStack(), &QUndoStack::indexChanged, this, &RecoveryKeeper::changed);
    connect(&document_, &MapDocument::modifiedChanged, this, &RecoveryKeeper::changed);
}

// The copy stays; its lock goes with the keeper, so the next start offers it.
RecoveryKeeper::~RecoveryKeeper() = default;

QString RecoveryKeeper::folder() {
#ifndef Q_OS_WIN
    // Without HOME the data folder would be taken from the root of the disk.
    if (!QDir::isAbsolutePath(qEnvironmentVariable("XDG_DATA_HOME")) && qEnvironmentVariableIsEmpty("HOME")) {
        return {};
    }
#endif
    const QString data = amp::userFolder("XDG_DATA_HOME", QStandardPaths::AppLocalDataLocation,
                                         QLatin1Char('/') + QCoreApplication::applicationName());
    return data.isEmpty() ? QString() : data + QStringLiteral("/recovery");
}

QString RecoveryKeeper::copyPath() const {
    return path_;
}

// A moment after the last change; and during a long run of changes with no
// pause, every five such moments, so that a busy hour is not at risk either.
void RecoveryKeeper::changed() {
    if (document_.isModified()) {
        if (!timer_.isActive()) {
            pendingSince_.start();
        }
        if (pendingSince_.elapsed() >= LongestWait * timer_.interval()) {
            timer_.stop();
            writeNow();
        } else {
            timer_.start(); // again from the last change
        }
    } else {
        timer_.stop();
        removeCopy();
        setProtected({}); // nothing is left to protect
    }
}

void RecoveryKeeper::writeNow() {
    pendingSince_.invalidate();
    if (document_.isModified()) {
        setProtected(keepCopy());
    }
}

void RecoveryKeeper::flush() {
    if (timer_.isActive()) {
        timer_.stop();
        writeNow();
    }
}

QString RecoveryKeeper::keepCopy() {
    const QString dir = folder();
    if (dir.isEmpty()) {
        return tr("there is no data folder to keep a recovery copy in (HOME is not set)");
    }
    if (!makePrivateFolder(dir)) {
        return tr("the folder %1 cannot be made").arg(QDir::toNativeSeparators(dir));
    }
    if (path_.isEmpty()) {
        // Several maps of one editor keep copies side by side: a count tells
        // those made in the same millisecond apart.
        static int made = 0;
        path_ = dir + QStringLiteral("/%1-%2-%3%4")
                          .arg(QCoreApplication::applicationPid())
                          .arg(QDateTime::currentMSecsSinceEpoch())
                          .arg(++made)
                          .arg(Suffix);
        lock_ = std::make_unique<QLockFile>(lockOf(path_));
        if (!lock_->tryLock(0)) {
            const QString failed = path_;
            path_.clear();
            lock_.reset();
            return tr("no lock can be made for %1").arg(QDir::toNativeSeparators(failed));
        }
        takenHere().insert(lockOf(path_));
    }
    RecoveryCopy copy;
    // The whole path: the next start may be in another working folder, where a
    // name given relative to this one would lead to another file.
    copy.fileName = wholePath(document_.fileName());
    copy.saved = QDateTime::currentDateTimeUtc();
    copy.bytes = document_.encode();
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        for (const auto& [slot, text] : document_.layer(layer)->typedCells()) {
            copy.typed.push_back({layer, static_cast<std::uint32_t>(slot), text});
        }
    }
    const QByteArray data = encodeRecoveryCopy(copy);
    // Through the safe writer: a copy is whole or the one before stays, and a new
    // one is made readable by its owner alone.
    const auto written =
        amp::writeFileSafely(path_,
                             std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                       static_cast<std::size_t>(data.size())),
                             amp::NewFileMode::OwnerOnly);
    if (!written) {
        return tr("the recovery copy %1 cannot be written: %2")
            .arg(QDir::toNativeSeparators(path_), QString::fromStdString(written.error().message));
    }
    // A copy an older editor left open to all is closed too (the writer keeps a
    // replaced file's mode).
    if (!QFile::setPermissions(path_, CopyMode)) {
        return tr("the recovery copy %1 cannot be made private").arg(QDir::toNativeSeparators(path_));
    }
    return {};
}

void RecoveryKeeper::setProtected(const QString& failure) {
    const bool changes = failure.isEmpty() != failure_.isEmpty();
    failure_ = failure;
    if (changes) {
        emit protectionChanged(failure.isEmpty() ? QString()
                                                 : tr("Unwritten changes are not protected: %1. "
                                                      "Trying again at the next change.")
                                                       .arg(failure));
    }
}

void RecoveryKeeper::removeCopy() {
    if (!path_.isEmpty()) {
        QFile::remove(path_);
        lock_.reset(); // unlocks and removes the lock file
        path_.clear();
    }
}

std::vector<RecoveryKeeper::Claim> RecoveryKeeper::claimOrphans() {
    std::vector<Claim> found;
    if (folder().isEmpty()) {
        return found;
    }
    QDir dir(folder());
    if (dir.exists()) {
        QFile::setPermissions(dir.path(), FolderMode); // an older folder open to all is closed first
    }
    for (const QFileInfo& copy :
         dir.entryInfoList({QStringLiteral("*") + Suffix}, QDir::Files, QDir::Time | QDir::Reversed)) {
        // A lock that can be taken belongs to no running editor. Only a lock whose
        // program is gone is taken over, never one that is merely old: where the
        // system cannot lock the file itself (some network folders), the age alone
        // would hand a long-running editor's copy to another.
        const QString lockPath = lockOf(copy.filePath());
        auto lock = std::make_unique<QLockFile>(lockPath);
        lock->setStaleLockTime(0);
        bool taken = lock->tryLock(0);
        if (!taken && leftUnderThisProcessNumber(*lock, lockPath)) {
            taken = lock->removeStaleLockFile() && lock->tryLock(0);
        }
        if (taken) {
            takenHere().insert(lockPath);
            found.push_back({copy.filePath(), std::move(lock)});
        }
    }
    return found;
}

std::vector<QString> RecoveryKeeper::orphans() {
    std::vector<QString> paths;
    for (const Claim& claim : claimOrphans()) {
        paths.push_back(claim.path);
    }
    return paths;
}

std::optional<RecoveryKeeper::Copy> RecoveryKeeper::readCopy(const QString& path, QString* why) {
    const auto read = amp::readFileAtMost(path, LargestRecoveryCopy + 1);
    if (!read) {
        if (why) {
            *why = QString::fromStdString(read.error().message);
        }
        return std::nullopt;
    }
    auto copy = decodeRecoveryCopy(read.value().bytes, why);
    if (copy) {
        copy->path = path;
    }
    return copy;
}

void RecoveryKeeper::discard(Claim& claim) {
    QFile::remove(claim.path);
    claim.lock.reset(); // unlocks and removes the lock file
}

QString RecoveryKeeper::setAside(Claim& claim, const QString& why) {
    const QString aside = claim.path + BrokenSuffix;
    const bool kept = amp::replaceFile(claim.path, aside).ok(); // only the latest is kept
    discard(claim);
    const QString refused =
        tr("The recovery copy %1 was refused (%2)").arg(QDir::toNativeSeparators(claim.path), why);
    return kept ? tr("%1 and set aside as %2.").arg(refused, QDir::toNativeSeparators(aside))
                : tr("%1 and removed.").arg(refused);
}
