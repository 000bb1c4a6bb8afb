// SPDX-License-Identifier: MIT
// The file seam on POSIX calls. Reading opens without blocking and checks the
// type on the open descriptor, so nothing can swap the file in between. Writing
// never goes through a buffer: every write(2) is checked, the file is synced and
// its size measured before it may replace the target. The in-place way and its
// journal are in journal_posix.cpp.
#include "platformfile.h"
#include "posixfile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace amp::platform {

std::string systemReason(int error) {
    return std::strerror(error);
}

MapError failure(MapErrorKind kind, const std::string& path, const std::string& reason) {
    return {kind, path + ": " + reason};
}

std::string cleanPath(const std::string& path) {
    const bool absolute = path.starts_with('/');
    std::vector<std::string> parts;
    for (std::size_t at = 0; at <= path.size();) {
        std::size_t end = path.find('/', at);
        end = end == std::string::npos ? path.size() : end;
        const std::string part = path.substr(at, end - at);
        if (part == ".." && !parts.empty() && parts.back() != "..") {
            parts.pop_back();
        } else if (part == ".." && absolute) {
            // nothing above the root
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string clean = absolute ? "/" : "";
    for (const std::string& part : parts) {
        clean += (clean.empty() || clean == "/" ? "" : "/") + part;
    }
    return clean.empty() ? "." : clean;
}

std::string absolutePath(const std::string& path) {
    if (path.starts_with('/')) {
        return cleanPath(path);
    }
    std::string folder(PATH_MAX, '\0');
    if (::getcwd(folder.data(), folder.size()) == nullptr) {
        return path;
    }
    folder.resize(std::strlen(folder.c_str()));
    return cleanPath(folder + "/" + path);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

int FileDescriptor::close() {
    const int result = fd_ >= 0 ? ::close(fd_) : 0;
    fd_ = -1;
    return result;
}

void FileDescriptor::reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

int writeAllAt(int fd, std::span<const std::uint8_t> bytes, off_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
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

int readAllAt(int fd, std::uint8_t* to, std::size_t size, off_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, to + done, size - done, offset + static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            return EIO;
        }
        done += static_cast<std::size_t>(got);
    }
    return 0;
}

int copyBlocks(int from, off_t fromOffset, int to, off_t toOffset, std::uint64_t size) {
    constexpr std::size_t BlockSize = 64 * 1024;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(std::min<std::uint64_t>(size, BlockSize)));
    for (std::uint64_t done = 0; done < size;) {
        const std::size_t part = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, BlockSize));
        const off_t at = static_cast<off_t>(done);
        if (const int error = readAllAt(from, block.data(), part, fromOffset + at)) {
            return error;
        }
        if (const int error = writeAllAt(to, std::span(block.data(), part), toOffset + at)) {
            return error;
        }
        done += part;
    }
    return 0;
}

bool isSameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int lockWithin(int fd, int op, int milliseconds) {
    constexpr int Pause = 5; // milliseconds
    for (int waited = 0;; waited += Pause) {
        if (::flock(fd, op | LOCK_NB) == 0) {
            return 0;
        }
        const int error = errno;
        if (error == ENOLCK || error == EOPNOTSUPP) {
            return 0;
        }
        if (error != EWOULDBLOCK && error != EINTR) {
            return error;
        }
        if (waited >= milliseconds) {
            return EWOULDBLOCK;
        }
        ::usleep(Pause * 1000);
    }
}

void syncFolder(const std::string& folder) {
    const FileDescriptor handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.get() >= 0) {
        ::fsync(handle.get());
    }
}

int replaceFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    syncFolder(folderOf(to));
    return 0;
}

namespace {

// ".ampedit-" and 12 random letters or digits and ".tmp": 25 bytes, whatever the
// target is called, and not to be guessed by whoever else may write the folder.
constexpr char TemporaryPrefix[] = ".ampedit-";
constexpr char TemporarySuffix[] = ".tmp";
constexpr std::size_t RandomLength = 12;
constexpr int NameAttempts = 100;
constexpr char NameLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";

std::string randomLetters() {
    static std::random_device source;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof NameLetters - 2);
    std::string letters(RandomLength, '0');
    for (char& letter : letters) {
        letter = NameLetters[pick(source)];
    }
    return letters;
}

bool isTemporaryName(const char* name) {
    const std::size_t prefix = sizeof TemporaryPrefix - 1, suffix = sizeof TemporarySuffix - 1;
    if (std::strlen(name) != prefix + RandomLength + suffix ||
        std::strncmp(name, TemporaryPrefix, prefix) != 0 ||
        std::strcmp(name + prefix + RandomLength, TemporarySuffix) != 0) {
        return false;
    }
    return std::all_of(name + prefix, name + prefix + RandomLength,
                       [](char c) { return std::strchr(NameLetters, c) != nullptr && c != 0; });
}

// The older writer named its temporary files ".NAME.PID-N.tmp"; true, with the
// PID, for such a name of `target`.
bool isOlderTemporaryName(const char* name, const std::string& target, pid_t& pid) {
    const std::string_view entry(name);
    const std::string start = "." + target + ".";
    if (target.empty() || !entry.starts_with(start) || !entry.ends_with(TemporarySuffix) ||
        entry.size() < start.size() + sizeof TemporarySuffix - 1) {
        return false;
    }
    const std::string_view middle =
        entry.substr(start.size(), entry.size() - start.size() - (sizeof TemporarySuffix - 1));
    const std::size_t dash = middle.find('-');
    if (dash == std::string_view::npos || dash == 0) {
        return false;
    }
    // Both numbers whole, in decimal digits.
    const auto number = [](std::string_view digits, auto& value) {
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return !digits.empty() && digits.front() != '-' && error == std::errc{} &&
               end == digits.data() + digits.size();
    };
    unsigned counter = 0;
    return number(middle.substr(0, dash), pid) && number(middle.substr(dash + 1), counter) && pid > 0;
}

// Removes `name` in `folder` if it is a regular file that nobody holds locked.
void removeIfUnlocked(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {
    }, named{};
    if (file.get() < 0 || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        ::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        return;
    }
    if (::lstat(path.c_str(), &named) == 0 && isSameFile(opened, named)) {
        ::unlink(path.c_str());
    }
}

} // namespace

void removeLeftoverTemporaries(const std::string& folder, const std::string& name) {
    DIR* entries = ::opendir(folder.c_str());
    if (entries == nullptr) {
        return;
    }
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(entries)) {
        pid_t pid = 0;
        if (isTemporaryName(entry->d_name)) {
            leftovers.push_back(folder + "/" + entry->d_name);
        } else if (isOlderTemporaryName(entry->d_name, name, pid) && pid != ::getpid() &&
                   ::kill(pid, 0) != 0 && errno == ESRCH) {
            ::unlink((folder + "/" + entry->d_name).c_str());
        }
    }
    ::closedir(entries);
    for (const std::string& leftover : leftovers) {
        removeIfUnlocked(leftover);
    }
}

TemporaryFile::TemporaryFile(const std::string& folder, mode_t mode) : folder_(folder) {
    error_ = EEXIST;
    for (int attempt = 0; attempt < NameAttempts && error_ == EEXIST; ++attempt) {
        path_ = folder + "/" + TemporaryPrefix + randomLetters() + TemporarySuffix;
        file_.reset(::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (file_.get() < 0) {
            error_ = errno;
            continue;
        }
        // Between the open and the lock another writer may have taken the file
        // for a leftover and removed it: then it is tried again under a new name.
        struct stat opened {
        }, named{};
        if (::flock(file_.get(), LOCK_EX | LOCK_NB) == 0 && ::fstat(file_.get(), &opened) == 0 &&
            ::lstat(path_.c_str(), &named) == 0 && isSameFile(opened, named)) {
            error_ = 0;
        } else {
            file_.reset();
            error_ = EEXIST;
        }
    }
}

TemporaryFile::~TemporaryFile() {
    if (!renamed_ && error_ == 0) {
        ::unlink(path_.c_str());
    }
    file_.reset();
}

int TemporaryFile::commit(const std::string& name, std::uint64_t expectedSize, bool keepOpen,
                          const std::function<void()>& beforeRename) {
    // Whatever the file system held back is forced out now; a late failure shows here.
    if (::fsync(file_.get()) != 0) {
        return errno;
    }
    struct stat written {};
    if (::fstat(file_.get(), &written) != 0) {
        return errno;
    }
    if (static_cast<std::uint64_t>(written.st_size) != expectedSize) {
        return EIO;
    }
    // The file stays open, and so locked, through the rename: another writer's
    // sweep of this folder takes an unlocked temporary file for a dead one's.
    if (beforeRename) {
        beforeRename();
    }
    if (const int error = replaceFile(path_, name); error != 0) {
        return error;
    }
    renamed_ = true;
    if (!keepOpen) {
        file_.close(); // its bytes were synced above: a failing close loses nothing
    }
    return 0;
}

Result<std::vector<std::uint8_t>> readRegularFile(const std::string& path, std::size_t limit) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
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
    // A write in place holds the file locked; what it shows meanwhile is a mixture.
    if (const int error = lockWithin(file.get(), LOCK_SH, LockWait)) {
        return failure(MapErrorKind::ReadError, path,
                       error == EWOULDBLOCK ? "another program has been writing it for too long; try again"
                                            : systemReason(error));
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

namespace {

// A replace that could not be done, and whether the in-place way may take over.
struct Refusal {
    bool wayClosed = false; // the file is intact and may be written in place
    int error = 0;
    std::string why;
    MapErrorKind kind = MapErrorKind::WriteError;
};

// Errors of making a file in a folder that say the folder cannot take one
// (rather than that the target is wrong).
bool folderRefuses(int error) {
    return error == EACCES || error == EPERM || error == ENOSPC || error == EDQUOT || error == ENAMETOOLONG ||
           error == EROFS || error == EMLINK || error == EEXIST;
}

// A rename refused for what the target is (a bind mount, another file system,
// a sticky folder), not for a failure of the disk.
bool renameRefuses(int error) {
    return error == EBUSY || error == EXDEV || error == EPERM || error == EACCES;
}

// Gives the new file every extended attribute the old one has (an ACL is one),
// and takes away those it got on its own (a folder's default ACL) that the old one
// lacks. 0, or the error and the attribute that could not be given.
int copyAttributes(const char* from, int to, std::string& failedName) {
    const auto names = [](ssize_t length, auto list) {
        std::vector<char> buffer;
        while (length > 0) {
            buffer.resize(static_cast<std::size_t>(length));
            length = list(buffer.data(), buffer.size());
            if (length >= 0) {
                buffer.resize(static_cast<std::size_t>(length));
                break;
            }
            length = errno == ERANGE ? list(nullptr, 0) : -1;
        }
        std::vector<std::string> split;
        for (std::size_t at = 0; at < buffer.size();) {
            split.emplace_back(buffer.data() + at);
            at += split.back().size() + 1;
        }
        return std::pair(length, split);
    };
    const auto [oldLength, oldNames] =
        names(::listxattr(from, nullptr, 0),
              [from](char* list, std::size_t size) { return ::listxattr(from, list, size); });
    if (oldLength < 0 && errno != ENOTSUP) {
        failedName = "(the list)";
        return errno;
    }
    for (const std::string& name : oldNames) {
        std::vector<char> value;
        ssize_t length = ::getxattr(from, name.c_str(), nullptr, 0);
        while (length >= 0) {
            value.resize(static_cast<std::size_t>(length));
            const ssize_t got = ::getxattr(from, name.c_str(), value.data(), value.size());
            if (got >= 0) {
                value.resize(static_cast<std::size_t>(got));
                break;
            }
            length = errno == ERANGE ? ::getxattr(from, name.c_str(), nullptr, 0) : -1;
        }
        if (length < 0 || ::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) {
            failedName = name;
            return errno;
        }
    }
    const auto [newLength, newNames] =
        names(::flistxattr(to, nullptr, 0),
              [to](char* list, std::size_t size) { return ::flistxattr(to, list, size); });
    for (const std::string& name : newNames) {
        if (newLength > 0 && std::find(oldNames.begin(), oldNames.end(), name) == oldNames.end()) {
            ::fremovexattr(to, name.c_str()); // the kernel's own (a security label) may stay
        }
    }
    return 0;
}

// The process's umask, read without changing it (umask(2) can only set it, and
// setting it back would race with other threads making files).
mode_t currentUmask() {
    constexpr mode_t Usual = 022;
    const FileDescriptor status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    std::string text(4096, '\0');
    const ssize_t got = status.get() >= 0 ? ::read(status.get(), text.data(), text.size()) : -1;
    const std::size_t at = got > 0 ? text.find("Umask:") : std::string::npos;
    if (at == std::string::npos || at >= static_cast<std::size_t>(got)) {
        return Usual;
    }
    return static_cast<mode_t>(std::strtoul(text.c_str() + at + 6, nullptr, 8)) & 0777;
}

// The mode a new file gets: what was asked, under the umask.
mode_t modeOfNewFile(NewFileMode mode) {
    constexpr mode_t Usual = 0666, OwnerOnly = 0600, PermissionBits = 0777;
    const mode_t asked = mode.kind == NewFileMode::Kind::OwnerOnly ? OwnerOnly
                         : mode.kind == NewFileMode::Kind::Like
                             ? static_cast<mode_t>(mode.bits) & PermissionBits
                             : Usual;
    return asked & ~currentUmask();
}

// The replace way. `old` is the target's status when it exists. The temporary
// file is the owner's alone until it is complete: only then does it get the old
// file's mode (or a new file's), so nobody reads a private map through it.
Refusal replaceWhole(const std::string& target, std::span<const std::uint8_t> bytes, const struct stat* old,
                     NewFileMode mode) {
    constexpr mode_t WhileWritten = 0600;
    const std::string folder = folderOf(target);
    removeLeftoverTemporaries(folder, target.substr(target.rfind('/') + 1));
    TemporaryFile temporary(folder, WhileWritten);
    if (const int error = temporary.openError()) {
        if (old == nullptr) {
            return {false, error, systemReason(error), MapErrorKind::CannotOpen};
        }
        return {folderRefuses(error), error,
                "no new file can be made in its folder (" + systemReason(error) + ")"};
    }
    const int fd = temporary.fd();
    if (old != nullptr) {
        struct stat made {};
        if (::fstat(fd, &made) != 0) {
            return {false, errno, systemReason(errno)};
        }
        if ((made.st_uid != old->st_uid || made.st_gid != old->st_gid) &&
            ::fchown(fd, old->st_uid, old->st_gid) != 0) {
            return {true, errno,
                    "its owner and group cannot be given to a new file (" + systemReason(errno) + ")"};
        }
    }
    if (const int error = writeAllAt(fd, bytes, 0)) {
        return {false, error, systemReason(error)};
    }
    if (::fchmod(fd, old != nullptr ? old->st_mode & 07777 : modeOfNewFile(mode)) != 0) {
        return {false, errno, systemReason(errno)};
    }
    if (old != nullptr) {
        std::string attribute;
        if (const int error = copyAttributes(target.c_str(), fd, attribute)) {
            return {true, error,
                    "its attribute " + attribute + " cannot be given to a new file (" + systemReason(error) +
                        ")"};
        }
    }
    if (const int error = temporary.commit(target, bytes.size())) {
        if (old != nullptr && renameRefuses(error)) {
            return {true, error, "it cannot be replaced (" + systemReason(error) + ")"};
        }
        return {false, error,
                error == EIO ? "the file did not reach the disk whole (" + systemReason(error) + ")"
                             : systemReason(error)};
    }
    return {};
}

} // namespace

Result<Written> writeFile(const std::string& target, std::span<const std::uint8_t> bytes, NewFileMode mode) {
    Written written;
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    std::string why;
    if (replacing && old.st_nlink > 1) {
        why = "it has " + std::to_string(old.st_nlink) + " names (hard links) that a new file would not keep";
    } else {
        const Refusal refusal = replaceWhole(target, bytes, replacing ? &old : nullptr, mode);
        if (refusal.error == 0) {
            return written;
        }
        if (!refusal.wayClosed) {
            return failure(refusal.kind, target, refusal.why);
        }
        why = refusal.why;
    }
    const Status inPlace = writeInPlaceJournaled(target, bytes, why);
    if (!inPlace) {
        return inPlace.error();
    }
    written.way = WriteWay::InPlace;
    return written;
}

} // namespace amp::platform
