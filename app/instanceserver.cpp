// SPDX-License-Identifier: MIT
#include "instanceserver.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#ifndef Q_OS_WIN
#include <QLocalSocket>
#endif
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#include <memory>
#include <utility>

namespace handover {

namespace {

quint32 wordAt(const QByteArray& bytes, qsizetype offset) {
    return qFromBigEndian<quint32>(bytes.constData() + offset);
}

Reading refused(const QString& why) {
    return {State::Refused, {}, why};
}

} // namespace

QByteArray encode(const QStringList& paths) {
    QByteArray body;
    for (const QString& path : paths) {
        body += path.toUtf8();
        body += '\0';
    }
    QByteArray message(Magic, sizeof Magic);
    char word[4];
    qToBigEndian(Version, word);
    message.append(word, sizeof word);
    qToBigEndian(static_cast<quint32>(body.size()), word);
    message.append(word, sizeof word);
    return message + body;
}

Reading decode(const QByteArray& received) {
    const QByteArray magic(Magic, sizeof Magic);
    if (!received.startsWith(magic.left(received.size()))) {
        return refused(QObject::tr("not a hand-over"));
    }
    if (received.size() < HeaderSize) {
        return {};
    }
    if (wordAt(received, sizeof Magic) != Version) {
        return refused(QObject::tr("version %1 is not known").arg(wordAt(received, sizeof Magic)));
    }
    const quint32 length = wordAt(received, sizeof Magic + 4);
    if (length > LargestBody) {
        return refused(QObject::tr("%1 bytes are more than a hand-over holds").arg(length));
    }
    if (received.size() < HeaderSize + qsizetype(length)) {
        return {};
    }
    if (received.size() > HeaderSize + qsizetype(length)) {
        return refused(QObject::tr("bytes follow the message"));
    }
    const QByteArray body = received.mid(HeaderSize);
    if (!body.isEmpty() && !body.endsWith('\0')) {
        return refused(QObject::tr("the last path is not ended"));
    }
    Reading reading;
    qsizetype start = 0;
    while (start < body.size()) {
        const qsizetype end = body.indexOf('\0', start);
        const QByteArray bytes = body.mid(start, end - start);
        start = end + 1;
        const QString path = QString::fromUtf8(bytes);
        if (path.toUtf8() != bytes) {
            return refused(QObject::tr("a path is not UTF-8"));
        }
        if (path.isEmpty() || !QDir::isAbsolutePath(path)) {
            return refused(QObject::tr("'%1' is not an absolute path").arg(path));
        }
        if (reading.paths.size() == MostPaths) {
            return refused(QObject::tr("more than %1 paths").arg(MostPaths));
        }
        reading.paths.append(path);
    }
    reading.state = State::Whole;
    return reading;
}

} // namespace handover

namespace {

// The display a window would open on: a second X server or Wayland compositor
// of the same user has a program of its own.
QString displayName() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        QString display = qEnvironmentVariable("DISPLAY");
        const qsizetype colon = display.lastIndexOf(QLatin1Char(':'));
        const qsizetype screen = display.indexOf(QLatin1Char('.'), colon);
        return platform + (screen > colon && colon >= 0 ? display.left(screen) : display);
    }
    if (platform.startsWith(QLatin1String("wayland"))) {
        return platform + qEnvironmentVariable("WAYLAND_DISPLAY");
    }
    return platform;
}

QString shortHash(const QString& text) {
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
}

} // namespace

QString InstanceServer::defaultName() {
#ifdef Q_OS_WIN
    // Pipes are named machine-wide; the pipe itself admits only its user.
    return QStringLiteral("ampedit-") + shortHash(qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\') +
                                                  qEnvironmentVariable("USERNAME") + displayName());
#else
    // The runtime folder is the user's alone (0700), which Qt checks.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QString() : runtime + QStringLiteral("/ampedit-") + shortHash(displayName());
#endif
}

InstanceServer::InstanceServer(const QString& name, QObject* parent) : QObject(parent), name_(name) {
    lockPath_ = (QDir::isAbsolutePath(name) ? name : QDir::tempPath() + QLatin1Char('/') + name) +
                QStringLiteral(".lock");
#ifndef Q_OS_WIN
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &InstanceServer::acceptConnections);
#endif
}

InstanceServer::~InstanceServer() = default;

#ifdef Q_OS_WIN
// Windows: a named pipe of our own, read on its thread; the paths of a whole
// message go to this object's thread.

bool InstanceServer::isServing() const {
    return pipe_.isListening();
}

bool InstanceServer::handOver(const QString& name, const QStringList& paths, int wait) {
    char answer = 0;
    return localpipe::send(name, handover::encode(paths), wait, &answer) == localpipe::Sent::Answered &&
           answer == handover::Taken;
}

bool InstanceServer::listen(QString* why) {
    const auto judge = [this](const QByteArray& received) -> std::optional<char> {
        const handover::Reading reading = handover::decode(received);
        switch (reading.state) {
        case handover::State::Incomplete:
            return std::nullopt;
        case handover::State::Whole:
            QMetaObject::invokeMethod(
                this, [this, paths = reading.paths] { deliver(paths); }, Qt::QueuedConnection);
            return handover::Taken;
        case handover::State::Refused:
            break;
        }
        qWarning("ampedit: a hand-over was refused: %s", qPrintable(reading.why));
        return handover::Refused;
    };
    return pipe_.listen(name_, judge, MessageWait, handover::HeaderSize + handover::LargestBody, why);
}
#else
bool InstanceServer::isServing() const {
    return server_.isListening();
}

bool InstanceServer::handOver(const QString& name, const QStringList& paths, int wait) {
    const QDeadlineTimer deadline(wait);
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        return false;
    }
    socket.write(handover::encode(paths));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime()))) {
            return false;
        }
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime()))) {
            return false;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == handover::Taken;
}

bool InstanceServer::listen(QString* why) {
    if (!server_.listen(name_) && server_.serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(name_);
        server_.listen(name_);
    }
    if (!server_.isListening() && why) {
        *why = server_.errorString();
    }
    return server_.isListening();
}
#endif

InstanceServer::Start InstanceServer::start(const QStringList& paths, QString* why) {
    if (name_.isEmpty()) {
        if (why) {
            *why = tr("the user has no runtime folder");
        }
        return Start::Alone;
    }
    // Two starts at once must not both take the name: the one that holds the lock
    // asks and serves, the other asks after it. A lock whose program is gone is
    // taken over; one held too long is passed by.
    QLockFile lock(lockPath_);
    lock.setStaleLockTime(0);
    const bool locked = lock.tryLock(AnswerWait);
    if (handOver(name_, paths, AnswerWait)) {
        return Start::HandedOver;
    }
    // No answer: the socket is a killed program's, or its program hangs. Either
    // way this start serves from now on.
    const bool serving = listen(why);
    if (locked) {
        lock.unlock();
    }
    return serving ? Start::Serving : Start::Alone;
}

void InstanceServer::setReceiver(std::function<void(const QStringList&)> receiver) {
    receiver_ = std::move(receiver);
    for (const QStringList& paths : std::exchange(waiting_, {})) {
        deliver(paths);
    }
}

#ifndef Q_OS_WIN
void InstanceServer::acceptConnections() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        if (connections_ >= MostConnections) { // a flood is not read
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++connections_;
        connect(socket, &QObject::destroyed, this, [this] { --connections_; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(MessageWait, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        auto received = std::make_shared<QByteArray>();
        auto answered = std::make_shared<bool>(false);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, received, answered] {
            if (*answered) { // whatever follows the message is dropped
                socket->readAll();
                return;
            }
            // Never more than the largest message is kept.
            received->append(
                socket->read(handover::HeaderSize + handover::LargestBody + 1 - received->size()));
            const handover::Reading reading = handover::decode(*received);
            if (reading.state == handover::State::Incomplete) {
                return;
            }
            *answered = true;
            socket->putChar(reading.state == handover::State::Whole ? handover::Taken : handover::Refused);
            socket->flush();
            socket->disconnectFromServer();
            if (reading.state == handover::State::Whole) {
                // After this connection is done with: opening a map may ask the user.
                QMetaObject::invokeMethod(
                    this, [this, paths = reading.paths] { deliver(paths); }, Qt::QueuedConnection);
            } else {
                qWarning("ampedit: a hand-over was refused: %s", qPrintable(reading.why));
            }
        });
        if (socket->bytesAvailable() > 0) {
            emit socket->readyRead();
        }
    }
}

#endif

void InstanceServer::deliver(const QStringList& paths) {
    if (receiver_) {
        receiver_(paths);
    } else {
        waiting_.append(paths);
    }
}
