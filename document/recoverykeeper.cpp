#include "recoverykeeper.h"
#include "mapdocument.h"
#include "mapfileio.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstring>

namespace {

constexpr char Magic[] = "ampedit recovery 1";
constexpr int DefaultDelay = 2000;
const QString Suffix = QStringLiteral(".amprec");

QString lockOf(const QString& copy) { return copy + QStringLiteral(".lock"); }

} // namespace

RecoveryKeeper::RecoveryKeeper(MapDocument& document, QObject* parent) : QObject(parent), document_(document) {
    timer_.setSingleShot(true);
    timer_.setInterval(DefaultDelay);
    connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::writeNow);
    connect(document_.undoStack(), &QUndoStack::indexChanged, this, &RecoveryKeeper::changed);
    connect(&document_, &MapDocument::modifiedChanged, this, &RecoveryKeeper::changed);
}

RecoveryKeeper::~RecoveryKeeper() { removeCopy(); }

QString RecoveryKeeper::folder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/recovery");
}

QString RecoveryKeeper::copyPath() const { return path_; }

// A moment after the last change; and during a long run of changes with no
// pause, every five such moments, so that a busy hour is not at risk either.
void RecoveryKeeper::changed() {
    if (document_.isModified()) {
        if (!timer_.isActive()) {
            pendingSince_.start();
        }
        if (pendingSince_.elapsed() >= 5 * timer_.interval()) {
            timer_.stop();
            writeNow();
        } else {
            timer_.start(); // again from the last change
        }
    } else {
        timer_.stop();
        removeCopy();
    }
}

void RecoveryKeeper::writeNow() {
    pendingSince_.invalidate();
    if (!document_.isModified()) {
        return;
    }
    if (path_.isEmpty()) {
        if (!QDir().mkpath(folder())) {
            return;
        }
        path_ = folder() + QStringLiteral("/%1-%2%3")
                               .arg(QCoreApplication::applicationPid())
                               .arg(QDateTime::currentMSecsSinceEpoch())
                               .arg(Suffix);
        lock_ = std::make_unique<QLockFile>(lockOf(path_));
        if (!lock_->tryLock(0)) {
            path_.clear();
            lock_.reset();
            return;
        }
    }
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    const std::vector<std::uint8_t> bytes = document_.encode();
    out.writeRawData(Magic, sizeof Magic);
    out << document_.fileName() << QDateTime::currentDateTimeUtc()
        << QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    qint32 typedCount = 0;
    QByteArray typed;
    QDataStream typedOut(&typed, QIODevice::WriteOnly);
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        for (const auto& [slot, text] : document_.layer(layer)->typedCells()) {
            typedOut << static_cast<quint8>(layer) << static_cast<quint32>(slot) << text;
            ++typedCount;
        }
    }
    out << typedCount;
    out.writeRawData(typed.constData(), static_cast<int>(typed.size()));
    // Through the safe writer: a copy is whole or the one before stays.
    amp::writeFileSafely(path_, std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                          static_cast<std::size_t>(data.size())));
}

void RecoveryKeeper::removeCopy() {
    if (!path_.isEmpty()) {
        QFile::remove(path_);
        lock_.reset(); // unlocks and removes the lock file
        path_.clear();
    }
}

std::vector<QString> RecoveryKeeper::orphans() {
    QDir dir(folder());
    std::vector<QString> found;
    for (const QFileInfo& copy : dir.entryInfoList({QStringLiteral("*") + Suffix}, QDir::Files, QDir::Time | QDir::Reversed)) {
        // A lock that can be taken belongs to no running editor.
        QLockFile lock(lockOf(copy.filePath()));
        if (lock.tryLock(0)) {
            lock.unlock();
            found.push_back(copy.filePath());
        }
    }
    return found;
}

std::optional<RecoveryKeeper::Copy> RecoveryKeeper::readCopy(const QString& path) {
    const auto read = amp::readFileAtMost(path, 64 * 1024 * 1024);
    if (!read || !read.value().complete) {
        return std::nullopt;
    }
    const QByteArray data(reinterpret_cast<const char*>(read.value().bytes.data()),
                          static_cast<qsizetype>(read.value().bytes.size()));
    QDataStream in(data);
    char magic[sizeof Magic] = {};
    if (in.readRawData(magic, sizeof Magic) != sizeof Magic || std::memcmp(magic, Magic, sizeof Magic) != 0) {
        return std::nullopt;
    }
    Copy copy;
    copy.path = path;
    QByteArray bytes;
    qint32 typedCount = 0;
    in >> copy.fileName >> copy.saved >> bytes >> typedCount;
    copy.bytes.assign(bytes.begin(), bytes.end());
    for (qint32 i = 0; i < typedCount && in.status() == QDataStream::Ok; ++i) {
        quint8 layer = 0;
        quint32 slot = 0;
        QString text;
        in >> layer >> slot >> text;
        copy.typed.push_back({layer, slot, text});
    }
    if (in.status() != QDataStream::Ok || !in.atEnd() || copy.bytes.size() < 7) {
        return std::nullopt;
    }
    return copy;
}

void RecoveryKeeper::discard(const QString& path) {
    QFile::remove(path);
    QFile::remove(lockOf(path));
}
