// SPDX-License-Identifier: MIT
// The journaled in-place way of the POSIX seam, after SQLite's rollback journal.
// A file that must not be replaced is written over in place; before that, its old
// bytes go to a journal in the user's data folder (written whole by the replace
// way, or absent), and the journal goes only once the new bytes are on disk. A
// journal still there belongs to a write that was cut short: the next reader or
// writer of that file puts the old bytes back first, so the file is the old one
// or the new one, never a mixture. While a file is written or put back, an flock
// on it tells every other process of ours that its journal is in use.
//
// The journal's layout is in journalformat.h. Journals are read as hostile
// input: one that does not hold together, or whose path does not name the very
// file at hand, is left alone, and the bytes only ever go into that file's own
// descriptor.
#include "journalformat.h"
#include "mapformat.h"
#include "platformfile.h"
#include "posixfile.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace amp::platform {

namespace {

constexpr mode_t PrivateFolder = 0700;
constexpr mode_t PrivateFile = 0600;
constexpr mode_t UsualFolder = 0777; // under the umask, as QDir::mkpath makes them

// The value of an environment variable, empty when it is not set.
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Makes every folder of an absolute path that is missing; true when it ends in one.
bool makePath(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        struct stat info {};
        if (::mkdir(part.c_str(), UsualFolder) != 0 &&
            (errno != EEXIST || ::stat(part.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))) {
            return false;
        }
        if (slash == std::string::npos) {
            return true;
        }
    }
}

// Only a journal this user made is trusted: one owned by someone else, or one
// others may write, could put anybody's bytes into the user's file.
bool isOwnPrivate(const struct stat& info) {
    constexpr mode_t OthersWrite = S_IWGRP | S_IWOTH;
    return info.st_uid == ::geteuid() && (info.st_mode & OthersWrite) == 0;
}

// Makes the journal folder, private to the user; 0 or the system's error.
int makeJournalFolder(const std::string& folder) {
    const std::string program = folderOf(folder);
    if (!makePath(folderOf(program))) {
        return EACCES;
    }
    for (const std::string& each : {program, folder}) {
        if (::mkdir(each.c_str(), PrivateFolder) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return errno;
    }
    return S_ISDIR(info.st_mode) && isOwnPrivate(info) ? 0 : EPERM; // another user's folder
}

using Journal = journalformat::Header;

bool readJournal(int fd, Journal& said) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || !isOwnPrivate(info) ||
        info.st_size < static_cast<off_t>(journalformat::FixedSize)) {
        return false;
    }
    std::array<std::uint8_t, journalformat::FixedSize> fixed{};
    if (readAllAt(fd, fixed.data(), fixed.size(), 0) != 0 ||
        !journalformat::decodeFixed(fixed, static_cast<std::uint64_t>(info.st_size), said)) {
        return false;
    }
    std::vector<std::uint8_t> rest(static_cast<std::size_t>(journalformat::restSize(said)));
    if (readAllAt(fd, rest.data(), rest.size(), journalformat::FixedSize) != 0 ||
        !journalformat::decodeRest(rest, said)) {
        return false;
    }
    return said.path.starts_with('/');
}

// The device, inode and birth time of an open file (0 where the system keeps none).
journalformat::Identity identityOf(int fd, const struct stat& info) {
    journalformat::Identity identity{static_cast<std::uint64_t>(info.st_dev),
                                     static_cast<std::uint64_t>(info.st_ino), 0};
    struct statx extended {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &extended) == 0 &&
        (extended.stx_mask & STATX_BTIME) != 0) {
        constexpr std::uint64_t NanosecondsPerSecond = 1'000'000'000;
        identity.birth = static_cast<std::uint64_t>(extended.stx_btime.tv_sec) * NanosecondsPerSecond +
                         extended.stx_btime.tv_nsec;
    }
    return identity;
}

// Whether the file holds nothing but the journal's own write, cut short.
bool holdsOnlyItsWrite(int journal, const Journal& said, int file, std::uint64_t size) {
    const auto fileAt = [file](std::uint64_t at, std::uint8_t* to, std::size_t length) {
        return readAllAt(file, to, length, static_cast<off_t>(at)) == 0;
    };
    const auto oldAt = [journal, &said](std::uint64_t at, std::uint8_t* to, std::size_t length) {
        return readAllAt(journal, to, length, static_cast<off_t>(said.bytesAt + at)) == 0;
    };
    return journalformat::holdsOnlyItsWrite(said, size, fileAt, oldAt);
}

// Renames a journal that does not belong to the file as it is now, so that it is
// never applied; the name it now has, or empty when it could not be moved.
std::string setAside(const std::string& journalName) {
    const std::string suffix(journalformat::Suffix);
    const std::string aside =
        journalName.substr(0, journalName.size() - suffix.size()) + journalformat::SetAsideSuffix;
    return replaceFile(journalName, aside) == 0 ? aside : std::string();
}

// Puts the journal's old bytes back into the file and syncs it; 0 or the error.
int putBack(int journal, const Journal& said, int file) {
    int error = copyBlocks(journal, static_cast<off_t>(said.bytesAt), file, 0, said.oldSize);
    if (error == 0 && ::ftruncate(file, static_cast<off_t>(said.oldSize)) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(file) != 0) {
        error = errno;
    }
    return error;
}

// The name a new journal gets: its temporary file's random letters.
std::string journalNameFor(const std::string& folder, const std::string& temporary) {
    constexpr std::size_t Dot = 1, Tmp = 4; // ".ampedit-X.tmp" -> "ampedit-X.journal"
    const std::string base = temporary.substr(temporary.rfind('/') + 1);
    return folder + "/" + base.substr(Dot, base.size() - Dot - Tmp) + journalformat::Suffix;
}

} // namespace

// As QStandardPaths does it on these systems: $XDG_DATA_HOME as it stands when it
// is set and not empty, else the cleaned $HOME and ".local/share". Without HOME,
// the user's home comes from the password database rather than "/".
std::string journalFolder() {
    std::string data = environment("XDG_DATA_HOME");
    if (data.empty()) {
        std::string home = environment("HOME");
        if (home.empty()) {
            const passwd* user = ::getpwuid(::getuid());
            home = user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
        }
        data = home.empty() ? "" : cleanPath(home) + "/.local/share";
    }
    if (!data.starts_with('/')) {
        return {};
    }
    return data + "/ampedit/journal";
}

Result<Restored> restoreInterruptedWrite(const std::string& path) {
    Restored done;
    const std::string folder = journalFolder();
    struct stat folderInfo {};
    if (folder.empty() || ::stat(folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode) ||
        !isOwnPrivate(folderInfo)) {
        return done;
    }
    DIR* entries = ::opendir(folder.c_str());
    if (entries == nullptr) {
        return done;
    }
    std::vector<std::string> journals;
    while (const dirent* entry = ::readdir(entries)) {
        if (journalformat::isJournalName(entry->d_name)) {
            journals.push_back(folder + "/" + entry->d_name);
        }
    }
    ::closedir(entries);
    struct stat target {};
    if (journals.empty() || ::stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) {
        return done;
    }
    for (const std::string& journalName : journals) {
        const FileDescriptor journal(
            ::open(journalName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        // A journal belongs to the file it was written for, whatever its names are
        // now: one that names this path but another file stays for that file,
        // which may live on under another name (a hard link).
        Journal said;
        if (journal.get() < 0 || !readJournal(journal.get(), said) ||
            said.identity.device != static_cast<std::uint64_t>(target.st_dev) ||
            said.identity.inode != static_cast<std::uint64_t>(target.st_ino)) {
            continue; // another file's, or not a journal of ours
        }
        // A file made read-only since is still read: a journal that is not its
        // own goes aside without writing it.
        FileDescriptor file(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        const bool writable = file.get() >= 0;
        const int openError = errno;
        if (!writable) {
            file.reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        }
        struct stat opened {};
        if (file.get() < 0 || ::fstat(file.get(), &opened) != 0 || !isSameFile(opened, target)) {
            continue;
        }
        if (lockWithin(file.get(), LOCK_EX, LockWait) != 0) {
            return done; // a live process is writing it and will remove its journal itself
        }
        // Under the lock: a writer that has just finished removed its journal first.
        struct stat journalNow {
        }, journalOpened{};
        if (::stat(journalName.c_str(), &journalNow) != 0 || ::fstat(journal.get(), &journalOpened) != 0 ||
            !isSameFile(journalNow, journalOpened) || ::fstat(file.get(), &opened) != 0) {
            continue;
        }
        if (!journalformat::isSameIdentity(said.identity, identityOf(file.get(), opened)) ||
            !holdsOnlyItsWrite(journal.get(), said, file.get(), static_cast<std::uint64_t>(opened.st_size))) {
            // Another program has written the file since: its bytes stay.
            if (std::string aside = setAside(journalName); !aside.empty()) {
                done.setAside.push_back(std::move(aside));
            }
            continue;
        }
        if (!writable) {
            return failure(MapErrorKind::CannotOpen, path,
                           "a write of it was cut short, and its old content cannot be put back (" +
                               systemReason(openError) + "); the journal " + journalName + " keeps it");
        }
        if (const int error = putBack(journal.get(), said, file.get())) {
            return failure(MapErrorKind::WriteError, path,
                           "a write of it was cut short, and putting its old content back failed (" +
                               systemReason(error) + "); the journal " + journalName + " keeps it");
        }
        ::unlink(journalName.c_str());
        syncFolder(folder);
        done.putBack = true;
        return done;
    }
    return done;
}

Status writeInPlaceJournaled(const std::string& target, std::span<const std::uint8_t> bytes,
                             const std::string& why) {
    const FileDescriptor file(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        return failure(MapErrorKind::CannotOpen, target,
                       why + ", and it cannot be written in place either (" + systemReason(errno) + ")");
    }
    if (lockWithin(file.get(), LOCK_EX, LockWait) != 0) {
        return failure(MapErrorKind::CannotOpen, target,
                       why + ", and another program has been reading or writing it for too long");
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return failure(MapErrorKind::CannotOpen, target, why + ", and it cannot be written in place either");
    }
    if (info.st_size > static_cast<off_t>(MaxFileSize)) {
        return failure(MapErrorKind::CannotOpen, target,
                       why + "; at " + std::to_string(info.st_size) +
                           " bytes it is larger than any map, so it is not written in place either");
    }
    const std::string folder = journalFolder();
    const int folderError = folder.empty() ? ENOENT : makeJournalFolder(folder);
    if (folderError != 0) {
        return failure(MapErrorKind::CannotOpen, target,
                       why +
                           ", and no journal for writing it in place can be kept in the user's data folder " +
                           folder + " (" + systemReason(folderError) + ")");
    }
    const std::string absolute = absolutePath(target);

    // The journal, through the replace way: whole on disk or absent.
    removeLeftoverTemporaries(folder, {});
    TemporaryFile journal(folder, PrivateFile);
    const std::vector<std::uint8_t> header = journalformat::encodeHeader(
        absolute, identityOf(file.get(), info), static_cast<std::uint64_t>(info.st_size), bytes);
    const std::string journalName = journalNameFor(folder, journal.path());
    int error = journal.openError();
    if (error == 0) {
        error = writeAllAt(journal.fd(), header, 0);
    }
    if (error == 0) {
        error = copyBlocks(file.get(), 0, journal.fd(), static_cast<off_t>(header.size()),
                           static_cast<std::uint64_t>(info.st_size));
    }
    if (error == 0) {
        error = journal.commit(journalName, header.size() + static_cast<std::uint64_t>(info.st_size), true);
    }
    if (error != 0) {
        return failure(
            MapErrorKind::WriteError, target,
            why + ", and the journal of its old bytes for writing it in place could not be written (" +
                systemReason(error) + "); it was left as it was");
    }

    // The new bytes in place; on a failure the old ones go back at once.
    error = writeAllAt(file.get(), bytes, 0);
    if (error == 0 && ::fsync(file.get()) != 0) {
        error = errno;
    }
    if (error == 0 && ::ftruncate(file.get(), static_cast<off_t>(bytes.size())) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(file.get()) != 0) {
        error = errno;
    }
    if (error == 0) {
        ::unlink(journalName.c_str());
        syncFolder(folder);
        return Done{};
    }
    const std::string written = systemReason(error) + " (" + why + ", so it was written in place)";
    Journal said;
    said.oldSize = static_cast<std::uint64_t>(info.st_size);
    said.bytesAt = static_cast<std::uint64_t>(header.size());
    if (putBack(journal.fd(), said, file.get()) == 0) {
        ::unlink(journalName.c_str());
        syncFolder(folder);
        return failure(MapErrorKind::WriteError, target, written + ", and its old content was put back");
    }
    return failure(MapErrorKind::WriteError, target,
                   written + ", and putting its old content back failed too; it goes back from the journal " +
                       journalName + " the next time the file is read");
}

} // namespace amp::platform
