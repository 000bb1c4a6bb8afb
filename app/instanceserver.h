// SPDX-License-Identifier: MIT
// One program for all maps. The first ampedit a user starts on a display
// serves a local socket (a named pipe on Windows) that only that user may
// reach; a later start hands the maps named on its command line to it, as
// absolute paths, and ends. The message is small and checked whole before
// anything is opened: a word that says what it is, a version, a length no larger
// than a megabyte, and absolute paths in UTF-8. Anything else is refused and the
// connection closed; a connection that does not finish in time is dropped. A
// start whose server does not answer in time starts on its own.
#pragma once

#include <QByteArray>
#ifdef Q_OS_WIN
#include "localpipe_win.h"
#else
#include <QLocalServer>
#endif
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QLocalSocket;

namespace handover {

// "AMPH", the version (4 bytes, big-endian), the length of the rest (4 bytes,
// big-endian), then each path in UTF-8 followed by a zero byte. No path: the
// running program comes forward and opens nothing.
constexpr char Magic[4] = {'A', 'M', 'P', 'H'};
constexpr quint32 Version = 1;
constexpr qsizetype HeaderSize = 12;
constexpr qsizetype LargestBody = 1 << 20;
constexpr int MostPaths = 1000;
// The server's one-byte answers.
constexpr char Taken = '\x06';
constexpr char Refused = '\x15';

QByteArray encode(const QStringList& paths);

enum class State { Incomplete, Whole, Refused };
struct Reading {
    State state = State::Incomplete;
    QStringList paths; // when whole
    QString why;       // when refused
};
// Reads what arrived so far: more may be needed, it is whole, or it is refused.
Reading decode(const QByteArray& received);

} // namespace handover

class InstanceServer : public QObject {
    Q_OBJECT

public:
    // The server's name: a socket in the user's runtime folder, or on Windows a
    // pipe named after the user; per display where the system has several.
    static QString defaultName();

    explicit InstanceServer(const QString& name, QObject* parent = nullptr);
    ~InstanceServer() override;

    enum class Start { HandedOver, Serving, Alone };
    // Hands the paths to the program serving the name (HandedOver); when none
    // answers, serves the name itself (Serving), taking over a socket a killed
    // program left; Alone, with the reason in `why`, when it can do neither.
    Start start(const QStringList& paths, QString* why = nullptr);
    bool isServing() const;
    // Where handed-over paths go; what came before waits for it.
    void setReceiver(std::function<void(const QStringList&)> receiver);

    // Sends the paths to the program serving `name`: true when it took them,
    // false when none answers within `wait` milliseconds or it refused them.
    static bool handOver(const QString& name, const QStringList& paths, int wait);

    // How long a start waits for the running program's answer, and how long a
    // connection may take to send its message.
    static constexpr int AnswerWait = 3000;
    static constexpr int MessageWait = 5000;
    static constexpr int MostConnections = 16;

private:
#ifndef Q_OS_WIN
    void acceptConnections();
#endif
    void deliver(const QStringList& paths);
    // Serves the name from now on; false, saying why, when it cannot.
    bool listen(QString* why);

    QString name_;
    QString lockPath_;
#ifndef Q_OS_WIN
    QLocalServer server_;
    int connections_ = 0;
#endif
    std::function<void(const QStringList&)> receiver_;
    QList<QStringList> waiting_;
#ifdef Q_OS_WIN
    // Last: its thread stops first, before what it hands messages to goes.
    localpipe::Server pipe_;
#endif
};
