// SPDX-License-Identifier: MIT
// A named pipe served by a thread: overlapped calls on every handle, so a wait
// can end on the pipe's event, the server's stop event or a deadline, and a
// caller that connects and never writes holds the server for no longer than the
// time for a message.
#include "localpipe_win.h"

#include <QDeadlineTimer>

#include <future>
#include <thread>

#include <windows.h>

namespace localpipe {
namespace {

// Pipe names are the machine's, so the name takes the log-on session's number:
// two sessions of one user each have their own program.
QString sessionName(const QString& name) {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return name + QLatin1Char('-') + QString::number(session);
}

std::wstring pipePath(const QString& name) {
    return (QStringLiteral("\\\\.\\pipe\\") + sessionName(name)).toStdWString();
}

// Who serves a name is decided by a mutex of the session named after it: its
// owner serves, and when the owner ends, killed or not, the mutex is free again.
// (The pipe's own first-instance flag says the same on Windows, but not under
// Wine.)
std::wstring mutexName(const QString& name) {
    return (QStringLiteral("ampedit-serving-") + sessionName(name)).toStdWString();
}

struct Handle {
    HANDLE value = INVALID_HANDLE_VALUE;
    Handle() = default;
    explicit Handle(HANDLE handle) : value(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : value(std::exchange(other.value, INVALID_HANDLE_VALUE)) {}
    Handle& operator=(Handle&& other) noexcept {
        std::swap(value, other.value);
        return *this;
    }
    ~Handle() {
        if (isOpen()) {
            CloseHandle(value);
        }
    }
    bool isOpen() const { return value != INVALID_HANDLE_VALUE && value != nullptr; }
};

DWORD remaining(const QDeadlineTimer& deadline) {
    const qint64 left = deadline.remainingTime();
    return left < 0 ? INFINITE : static_cast<DWORD>(left);
}

// Waits for an overlapped call on `file` to finish, for the stop event (when
// given) or the deadline; a call that does not finish is cancelled, and
// waited for, so its buffer and OVERLAPPED can go. The bytes moved, or none.
std::optional<DWORD> finish(HANDLE file, OVERLAPPED& overlapped, BOOL started, HANDLE stop,
                            const QDeadlineTimer& deadline) {
    DWORD moved = 0;
    if (started) {
        return GetOverlappedResult(file, &overlapped, &moved, FALSE) ? std::optional(moved) : std::nullopt;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        return std::nullopt;
    }
    const HANDLE events[2] = {overlapped.hEvent, stop};
    const DWORD woke = WaitForMultipleObjects(stop ? 2 : 1, events, FALSE, remaining(deadline));
    if (woke != WAIT_OBJECT_0) {
        CancelIoEx(file, &overlapped);
        GetOverlappedResult(file, &overlapped, &moved, TRUE);
        return std::nullopt;
    }
    return GetOverlappedResult(file, &overlapped, &moved, FALSE) ? std::optional(moved) : std::nullopt;
}

struct Io {
    OVERLAPPED overlapped{};
    Handle event{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    OVERLAPPED* reset() {
        overlapped = {};
        overlapped.hEvent = event.value;
        ResetEvent(event.value);
        return &overlapped;
    }
};

Handle makeInstance(const std::wstring& path, bool first) {
    const DWORD open =
        PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
    const DWORD mode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
    // The default security lets only this user (and the system and
    // administrators) write to the pipe.
    return Handle(
        CreateNamedPipeW(path.c_str(), open, mode, PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr));
}

} // namespace

struct Server::Worker {
    std::wstring path;
    Judge judge;
    int messageWait = 0;
    qsizetype largest = 0;
    Handle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    Handle serving; // the mutex, owned by the thread while it serves
    Handle current;
    std::thread thread;
    std::promise<QString> started; // empty when serving, or why not

    void run() {
        const DWORD owned = WaitForSingleObject(serving.value, 0);
        if (owned != WAIT_OBJECT_0 && owned != WAIT_ABANDONED) {
            started.set_value(QStringLiteral("another program serves it"));
            return;
        }
        current = makeInstance(path, true);
        if (!current.isOpen()) {
            const DWORD error = GetLastError();
            ReleaseMutex(serving.value);
            started.set_value(QStringLiteral("the pipe cannot be made (error %1)").arg(error));
            return;
        }
        started.set_value(QString());
        loop();
        ReleaseMutex(serving.value);
    }

    void loop() {
        Io io;
        while (WaitForSingleObject(stop.value, 0) != WAIT_OBJECT_0) {
            BOOL started = ConnectNamedPipe(current.value, io.reset());
            if (!started && GetLastError() == ERROR_PIPE_CONNECTED) {
                started = TRUE;
            } else if (!finish(current.value, io.overlapped, started, stop.value, QDeadlineTimer::Forever)) {
                if (WaitForSingleObject(stop.value, 0) == WAIT_OBJECT_0) {
                    return;
                }
                DisconnectNamedPipe(current.value);
                continue;
            }
            // The name stays served while this caller is answered.
            Handle next = makeInstance(path, false);
            serve(io);
            DisconnectNamedPipe(current.value);
            if (!next.isOpen()) {
                return;
            }
            current = std::move(next);
        }
    }

    void serve(Io& io) {
        const QDeadlineTimer deadline(messageWait);
        QByteArray received;
        std::optional<char> answer;
        char chunk[4096];
        while (!answer) {
            const BOOL started = ReadFile(current.value, chunk, sizeof chunk, nullptr, io.reset());
            const std::optional<DWORD> read =
                finish(current.value, io.overlapped, started, stop.value, deadline);
            if (!read || *read == 0) {
                return; // gone, stopped or out of time: nothing to answer
            }
            received.append(chunk, static_cast<qsizetype>(*read));
            if (received.size() > largest) {
                return; // far more than any message: dropped unanswered
            }
            answer = judge(received);
        }
        const BOOL started = WriteFile(current.value, &*answer, 1, nullptr, io.reset());
        if (!finish(current.value, io.overlapped, started, stop.value, deadline)) {
            return;
        }
        // Disconnecting drops what the caller has not read yet: wait until it
        // has closed its end (or the time is up).
        while (true) {
            const BOOL more = ReadFile(current.value, chunk, sizeof chunk, nullptr, io.reset());
            const std::optional<DWORD> read =
                finish(current.value, io.overlapped, more, stop.value, deadline);
            if (!read || *read == 0) {
                return;
            }
        }
    }
};

Server::Server() = default;

Server::~Server() {
    close();
}

bool Server::listen(const QString& name, Judge judge, int messageWait, qsizetype largest, QString* why) {
    close();
    auto worker = std::make_unique<Worker>();
    worker->path = pipePath(name);
    worker->judge = std::move(judge);
    worker->messageWait = messageWait;
    worker->largest = largest;
    worker->serving = Handle(CreateMutexW(nullptr, FALSE, mutexName(name).c_str()));
    if (!worker->serving.isOpen()) {
        if (why) {
            *why = QStringLiteral("%1: the mutex cannot be made (error %2)").arg(name).arg(GetLastError());
        }
        return false;
    }
    Worker* running = worker.get();
    std::future<QString> started = worker->started.get_future();
    worker->thread = std::thread([running] { running->run(); });
    const QString failed = started.get();
    if (!failed.isEmpty()) {
        worker->thread.join();
        if (why) {
            *why = name + QStringLiteral(": ") + failed;
        }
        return false;
    }
    worker_ = std::move(worker);
    return true;
}

bool Server::isListening() const {
    return worker_ != nullptr;
}

void Server::close() {
    if (!worker_) {
        return;
    }
    SetEvent(worker_->stop.value);
    worker_->thread.join();
    worker_.reset();
}

Sent send(const QString& name, const QByteArray& message, int wait, char* answer) {
    const QDeadlineTimer deadline(wait);
    const std::wstring path = pipePath(name);
    Handle pipe;
    while (!pipe.isOpen()) {
        pipe = Handle(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr));
        if (pipe.isOpen()) {
            break;
        }
        if (GetLastError() != ERROR_PIPE_BUSY) {
            return Sent::NoServer;
        }
        if (deadline.hasExpired() || !WaitNamedPipeW(path.c_str(), std::max<DWORD>(1, remaining(deadline)))) {
            return Sent::NoAnswer;
        }
    }
    Io io;
    qsizetype written = 0;
    while (written < message.size()) {
        const BOOL started = WriteFile(pipe.value, message.constData() + written,
                                       static_cast<DWORD>(message.size() - written), nullptr, io.reset());
        const std::optional<DWORD> moved = finish(pipe.value, io.overlapped, started, nullptr, deadline);
        if (!moved) {
            return Sent::NoAnswer;
        }
        written += static_cast<qsizetype>(*moved);
    }
    char byte = 0;
    const BOOL started = ReadFile(pipe.value, &byte, 1, nullptr, io.reset());
    const std::optional<DWORD> read = finish(pipe.value, io.overlapped, started, nullptr, deadline);
    if (!read || *read != 1) {
        return Sent::NoAnswer;
    }
    *answer = byte;
    return Sent::Answered;
}

} // namespace localpipe
