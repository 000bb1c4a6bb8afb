// SPDX-License-Identifier: MIT
// The checks before the POSIX seam (platformfile.h), on the system's own calls:
// what stands at a name, where its links lead, and an interrupted write undone
// before anything reads or writes the file.
#include "diskio.h"
#include "mapformat.h"
#include "platformfile.h"
#include "posixfile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace amp::diskio {

namespace {

// Links followed to the file they name, as the system does before giving up.
constexpr int MostLinks = 40;

MapError openError(const std::string& path, const std::string& reason) {
    return {MapErrorKind::CannotOpen, path + ": " + reason};
}

using Notice = std::function<void(const std::string&, const JournalNotice&)>;

Notice& restoreNotice() {
    static Notice notice;
    return notice;
}

// Undoes an interrupted write of the file before anything reads it; true when it did.
Result<bool> restoreFirst(const std::string& path) {
    return platform::restoreAndTell(platform::restoreInterruptedWrite(path), path, restoreNotice());
}

bool isSymLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// The file a dangling symbolic link names, followed through further links; a
// link's relative target is taken from the link's own folder.
std::string danglingTarget(const std::string& path) {
    std::string target = platform::absolutePath(path);
    for (int hop = 0; hop < MostLinks && isSymLink(target); ++hop) {
        std::string named(PATH_MAX, '\0');
        const ssize_t length = ::readlink(target.c_str(), named.data(), named.size());
        if (length <= 0) {
            break;
        }
        named.resize(static_cast<std::size_t>(length));
        target = named.front() == '/' ? named : platform::folderOf(target) + "/" + named;
    }
    return target;
}

} // namespace

void setRestoreNotice(Notice notice) {
    restoreNotice() = std::move(notice);
}

Status waitForWritesInPlace(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return Done{};
    }
    if (const int error = platform::lockWithin(fd, LOCK_SH, platform::LockWait)) {
        return MapError{MapErrorKind::ReadError,
                        error == EWOULDBLOCK ? "another program has been writing it for too long; try again"
                                             : platform::systemReason(error)};
    }
    return Done{};
}

NewFileMode modeMadeFrom(const std::string& source) {
    constexpr mode_t PermissionBits = 0777;
    struct stat info {};
    if (source.empty() || ::stat(source.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return NewFileMode::Usual;
    }
    return NewFileMode::like(info.st_mode & PermissionBits);
}

Result<std::vector<std::uint8_t>> readMapFile(const std::string& path) {
    if (path.empty()) {
        return openError(path, "no file name was given");
    }
    if (const auto restored = restoreFirst(path); !restored) {
        return restored.error();
    }
    return notLargerThanAMap(platform::readRegularFile(path, MaxFileSize + 1), path);
}

Result<ReadBytes> readFileAtMost(const std::string& path, std::size_t limit) {
    if (path.empty()) {
        return openError(path, "no file name was given");
    }
    const auto restored = restoreFirst(path);
    if (!restored) {
        return restored.error();
    }
    return platform::cutAtLimit(platform::readRegularFile(path, limit + 1), limit, restored.value());
}

Result<Written> writeFileSafely(const std::string& path, std::span<const std::uint8_t> bytes,
                                NewFileMode mode) {
    if (path.empty()) {
        return openError(path, "no file name was given");
    }
    // A rename would replace whatever stands at the name, destroying a FIFO or a
    // device node; only regular files are replaced. stat follows links, so a link
    // to a map is judged by the map.
    struct stat existing {};
    std::string target = path;
    if (::stat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            return openError(path, "it is a folder, not a file");
        }
        if (!S_ISREG(existing.st_mode)) {
            return openError(path, "it is not a regular file (a pipe, device or socket)");
        }
        if (::access(path.c_str(), W_OK) != 0) {
            return openError(path, "the file is read-only");
        }
        // The link stays, its target is replaced.
        char* canonical = ::realpath(path.c_str(), nullptr);
        if (canonical == nullptr) {
            return openError(path, platform::systemReason(errno));
        }
        target = canonical;
        std::free(canonical);
    } else if (isSymLink(path)) {
        target = danglingTarget(path); // the link stays, the file it names is made
        if (isSymLink(target)) {
            return openError(path, "its symbolic links go round in a circle");
        }
    }
    const auto restored = restoreFirst(target);
    if (!restored) {
        return restored.error();
    }
    auto written = platform::writeFile(target, bytes, mode);
    if (!written) {
        return written;
    }
    return Written{written.value().way, restored.value()};
}

} // namespace amp::diskio
