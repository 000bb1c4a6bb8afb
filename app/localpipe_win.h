// SPDX-License-Identifier: MIT
// The local channel of "one program for all maps" on Windows, where the editor
// ships without QtNetwork: a named pipe (\\.\pipe\NAME) that only this machine's
// processes may open, served by a thread of its own. A caller writes one
// message and reads a one-byte answer; the server reads a message until its
// judge says it is whole or refused, or until the time for a message is up, and
// then answers. Only one program can serve a name: the pipe's first instance is
// created with FILE_FLAG_FIRST_PIPE_INSTANCE, and the next instance is made
// before the one in use is let go, so the name never lapses while it serves.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace localpipe {

// What a message has come to so far: more is needed (nullopt), or the answer
// byte to send back. Called on the pipe's own thread.
using Judge = std::function<std::optional<char>(const QByteArray& received)>;

class Server {
public:
    Server();
    ~Server(); // stops serving, waiting for the thread
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Serves `name`; false when another program already serves it, or the pipe
    // cannot be made (`why` says which). A caller that sends more than `largest`
    // bytes is dropped unanswered.
    bool listen(const QString& name, Judge judge, int messageWait, qsizetype largest, QString* why = nullptr);
    bool isListening() const;
    void close();

private:
    struct Worker;
    std::unique_ptr<Worker> worker_;
};

enum class Sent { NoServer, Answered, NoAnswer };
// Sends `message` to the program serving `name` and reads its answer, within
// `wait` milliseconds in all.
Sent send(const QString& name, const QByteArray& message, int wait, char* answer);

} // namespace localpipe
