// SPDX-License-Identifier: MIT
// The POSIX build's look at names for the front half of the reader and writer
// (filefront.h), on the system's own calls: what stands at a name and where its
// links lead; and the calls of diskio.h over it.
#include "diskio.h"
#include "filefront.h"
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

struct PosixNames {
    using Path = std::string;

    static bool isEmpty(const std::string& path) { return path.empty(); }
    static std::string shown(const std::string& path) { return path; }

    static platform::Standing standing(const std::string& path) {
        struct stat existing {};
        if (::stat(path.c_str(), &existing) != 0) { // stat follows links
            return platform::Standing::Nothing;
        }
        if (S_ISDIR(existing.st_mode)) {
            return platform::Standing::Folder;
        }
        if (!S_ISREG(existing.st_mode)) {
            return platform::Standing::NotAFile;
        }
        return ::access(path.c_str(), W_OK) == 0 ? platform::Standing::WritableFile
                                                 : platform::Standing::ReadOnlyFile;
    }

    static Result<std::string> canonical(const std::string& path) {
        char* canonical = ::realpath(path.c_str(), nullptr);
        if (canonical == nullptr) {
            return MapError{MapErrorKind::CannotOpen, platform::systemReason(errno)};
        }
        std::string target = canonical;
        std::free(canonical);
        return target;
    }

    static bool isSymLink(const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    }

    // The file a dangling symbolic link names, followed through further links; a
    // link's relative target is taken from the link's own folder.
    static std::string danglingTarget(const std::string& path) {
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

    static Result<std::vector<std::uint8_t>> read(const std::string& path, std::size_t limit) {
        return platform::readRegularFile(path, limit);
    }
    static Result<platform::Restored> restore(const std::string& path) {
        return platform::restoreInterruptedWrite(path);
    }
    static Result<Written> write(const std::string& target, std::span<const std::uint8_t> bytes,
                                 NewFileMode mode) {
        return platform::writeFile(target, bytes, mode);
    }
};

using Front = platform::FileFront<PosixNames>;

} // namespace

void setRestoreNotice(std::function<void(const std::string&, const JournalNotice&)> notice) {
    Front::setRestoreNotice(std::move(notice));
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
    return Front::readMapFile(path);
}

Result<ReadBytes> readFileAtMost(const std::string& path, std::size_t limit) {
    return Front::readFileAtMost(path, limit);
}

Result<Written> writeFileSafely(const std::string& path, std::span<const std::uint8_t> bytes,
                                NewFileMode mode) {
    return Front::writeFileSafely(path, bytes, mode);
}

Status replaceFile(const std::string& from, const std::string& to) {
    if (const int error = platform::replaceFile(from, to); error != 0) {
        return MapError{MapErrorKind::WriteError, to + ": it could not be replaced by " + from + " (" +
                                                      platform::systemReason(error) + ")"};
    }
    return Done{};
}

} // namespace amp::diskio
