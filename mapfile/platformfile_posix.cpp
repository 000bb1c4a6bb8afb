// The file seam on POSIX calls. Reading opens without blocking and checks the
// type on the open descriptor, so nothing can swap the file in between. Writing
// never goes through a buffer: every write(2) is checked, the file is synced and
// its size measured before it may replace the target.
#include "platformfile.h"

#include <algorithm>

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace amp::platform {

namespace {

std::string systemReason(int error) { return std::strerror(error); }

MapError failure(MapErrorKind kind, const QString& path, const std::string& reason) {
    return {kind, path.toStdString() + ": " + reason};
}

// Closes a descriptor on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and says whether the close reported a failure.
    int close() {
        const int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result;
    }
    void reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

// A temporary file beside the target, removed again unless it was renamed.
class TemporaryFile {
public:
    explicit TemporaryFile(const QString& target) {
        const QFileInfo info(target);
        const QByteArray folder = QFile::encodeName(info.absolutePath());
        const QByteArray name = QFile::encodeName(info.fileName());
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100; ++attempt) {
            // Hidden, and named after the target so that a left-over is recognised.
            path_ = folder + "/." + name + "." + QByteArray::number(::getpid()) + "-" +
                    QByteArray::number(counter++) + ".tmp";
            // 0666: the process's umask gives a new file its usual bits.
            file_.reset(::open(path_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (file_.get() >= 0 || errno != EEXIST) {
                error_ = file_.get() >= 0 ? 0 : errno;
                return;
            }
        }
        error_ = EEXIST;
    }
    ~TemporaryFile() {
        file_.reset();
        if (!renamed_ && error_ == 0) {
            ::unlink(path_.constData());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int openError() const { return error_; }
    FileDescriptor& file() { return file_; }
    const QByteArray& path() const { return path_; }
    void markRenamed() { renamed_ = true; }

private:
    QByteArray path_;
    FileDescriptor file_;
    int error_ = 0;
    bool renamed_ = false;
};

// Writes every byte at its offset, from `offset` on, or says why not: a short
// write is retried, a failing one reports the system's reason.
int writeAllAt(int fd, std::span<const std::uint8_t> bytes, off_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (wrote == 0) {
            return EIO;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return 0;
}

// The way for a folder where no temporary file can be made: the old bytes are
// kept in memory, the new ones written over them; if that fails, the old bytes
// go back.
Status writeInPlace(const QString& target, std::span<const std::uint8_t> bytes, int temporaryError) {
    const QByteArray name = QFile::encodeName(target);
    const FileDescriptor file(::open(name.constData(), O_RDWR | O_CLOEXEC));
    if (file.get() < 0) {
        return failure(MapErrorKind::CannotOpen, target,
                       "no temporary file can be made beside it (" + systemReason(temporaryError) +
                           ") and it cannot be written in place (" + systemReason(errno) + ")");
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return failure(MapErrorKind::CannotOpen, target, "it cannot be written in place");
    }
    std::vector<std::uint8_t> old(static_cast<std::size_t>(info.st_size));
    for (std::size_t got = 0; got < old.size();) {
        const ssize_t n = ::pread(file.get(), old.data() + got, old.size() - got, static_cast<off_t>(got));
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return failure(MapErrorKind::ReadError, target, n < 0 ? systemReason(errno) : "it shrank while read");
        }
        got += static_cast<std::size_t>(n);
    }
    int error = writeAllAt(file.get(), bytes, 0);
    if (error == 0 && ::ftruncate(file.get(), static_cast<off_t>(bytes.size())) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(file.get()) != 0) {
        error = errno;
    }
    if (error == 0) {
        return Done{};
    }
    const std::string why = systemReason(error) + "; no temporary file could be made beside it, so it was written in place";
    const bool restored = writeAllAt(file.get(), old, 0) == 0 && ::ftruncate(file.get(), info.st_size) == 0 &&
                          ::fsync(file.get()) == 0;
    return failure(MapErrorKind::WriteError, target,
                   why + (restored ? ", and its old content was put back" : ", and putting its old content back failed too"));
}

} // namespace

Result<std::vector<std::uint8_t>> readRegularFile(const QString& path, std::size_t limit) {
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const FileDescriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        return failure(MapErrorKind::CannotOpen, path, systemReason(errno));
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return failure(MapErrorKind::CannotOpen, path, systemReason(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return failure(MapErrorKind::CannotOpen, path,
                       S_ISDIR(info.st_mode) ? "it is a folder, not a file"
                                             : "it is not a regular file (a pipe, device or socket)");
    }
    std::vector<std::uint8_t> bytes;
    int error = 0;
    const bool read = readUpTo(bytes, limit, static_cast<std::size_t>(std::max<off_t>(info.st_size, 0)),
                               [&](std::uint8_t* at, std::size_t size) -> long long {
                                   for (;;) {
                                       const ssize_t got = ::read(file.get(), at, size);
                                       if (got < 0 && errno == EINTR) {
                                           continue;
                                       }
                                       error = got < 0 ? errno : 0;
                                       return got;
                                   }
                               });
    if (!read) {
        return failure(MapErrorKind::ReadError, path, systemReason(error));
    }
    return bytes;
}

Status replaceFile(const QString& target, std::span<const std::uint8_t> bytes) {
    const QByteArray targetName = QFile::encodeName(target);
    struct stat old {};
    const bool replacing = ::stat(targetName.constData(), &old) == 0;

    TemporaryFile temporary(target);
    if (temporary.openError() != 0) {
        if (replacing) {
            return writeInPlace(target, bytes, temporary.openError());
        }
        return failure(MapErrorKind::CannotOpen, target, systemReason(temporary.openError()));
    }
    const int fd = temporary.file().get();
    const auto writeError = [&](int error) { return failure(MapErrorKind::WriteError, target, systemReason(error)); };
    if (const int error = writeAllAt(fd, bytes, 0)) {
        return writeError(error);
    }
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0) {
        return writeError(errno);
    }
    // Whatever the file system held back is forced out now; a late failure shows here.
    if (::fsync(fd) != 0) {
        return writeError(errno);
    }
    struct stat written {};
    if (::fstat(fd, &written) != 0) {
        return writeError(errno);
    }
    if (written.st_size != static_cast<off_t>(bytes.size())) {
        return failure(MapErrorKind::WriteError, target,
                       "only " + std::to_string(written.st_size) + " of " + std::to_string(bytes.size()) +
                           " bytes reached the disk");
    }
    if (temporary.file().close() != 0) {
        return writeError(errno);
    }
    if (::rename(temporary.path().constData(), targetName.constData()) != 0) {
        return writeError(errno);
    }
    temporary.markRenamed();
    // Make the rename itself durable; the new file is complete either way.
    const FileDescriptor folder(
        ::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) {
        ::fsync(folder.get());
    }
    return Done{};
}

} // namespace amp::platform
