#include "mapfileio.h"
#include "mapformat.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace amp {

namespace {

std::string systemReason(int error) { return std::strerror(error); }

MapError openError(const QString& path, const std::string& reason) {
    return {MapErrorKind::CannotOpen, path.toStdString() + ": " + reason};
}

// Closes a descriptor on every way out of the reader.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

} // namespace

Result<std::vector<std::uint8_t>> readMapFile(const QString& path) {
    if (path.isEmpty()) {
        return openError(path, "no file name was given");
    }
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO must not wait for a writer. The type is checked on
    // the open descriptor, so nothing can swap the file in between.
    const FileDescriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        return openError(path, systemReason(errno));
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) {
        return openError(path, systemReason(errno));
    }
    if (!S_ISREG(info.st_mode)) {
        return openError(path, S_ISDIR(info.st_mode) ? "it is a folder, not a file"
                                                     : "it is not a regular file (a pipe, device or socket)");
    }

    std::vector<std::uint8_t> bytes(MaxFileSize);
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return MapError{MapErrorKind::ReadError, path.toStdString() + ": " + systemReason(errno)};
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

Status writeMapFile(const QString& path, std::span<const std::uint8_t> bytes) {
    if (path.isEmpty()) {
        return openError(path, "no file name was given");
    }
    // QSaveFile would rename its temporary file over whatever stands at the name,
    // destroying a FIFO or a device node; only regular files are replaced.
    const QFileInfo existing(path);
    if (existing.exists()) {
        if (existing.isDir()) {
            return openError(path, "it is a folder, not a file");
        }
        if (!existing.isFile()) {
            return openError(path, "it is not a regular file (a pipe, device or socket)");
        }
        if (!existing.isWritable()) {
            return openError(path, "the file is read-only");
        }
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return openError(path, file.errorString().toStdString());
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        const std::string reason = file.errorString().toStdString();
        file.cancelWriting();
        return MapError{MapErrorKind::WriteError, path.toStdString() + ": " + reason};
    }
    // commit() flushes, syncs and renames; the old file stays until it succeeds.
    if (!file.commit()) {
        return MapError{MapErrorKind::WriteError, path.toStdString() + ": " + file.errorString().toStdString()};
    }
    return Done{};
}

} // namespace amp
