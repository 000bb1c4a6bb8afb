// SPDX-License-Identifier: MIT
// What the POSIX file seam's two write ways share: descriptors that close
// themselves, checked writes and reads at an offset, and the locked temporary
// files of the replace way, with the removal of those a gone process left.
#pragma once

#include "maperror.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

namespace amp::platform {

std::string systemReason(int error);
MapError failure(MapErrorKind kind, const std::string& path, const std::string& reason);

// Paths as bytes, taken apart the way QDir and QFileInfo do it, so that both
// builds name the same places. cleanPath drops empty and "." parts and a ".." with
// the part before it, without asking the system; absolutePath puts the working
// folder before a relative path and cleans it; folderOf is what stands before the
// last "/" ("." for a bare name, "/" for a name in the root).
std::string cleanPath(const std::string& path);
std::string absolutePath(const std::string& path);
std::string folderOf(const std::string& path);

// The folder the journals of writes in place are kept in: "ampedit/journal" in
// the user's data folder, $XDG_DATA_HOME or else $HOME/.local/share, where
// QStandardPaths::GenericDataLocation puts it (so the editor and every build find
// the same journals); empty where that is not an absolute path.
std::string journalFolder();

// Closes a descriptor on every way out (and with it any flock held through it).
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and says whether the close reported a failure.
    int close();
    void reset(int fd = -1);

private:
    int fd_;
};

// Every byte at its offset, retried on a short write; 0 or the system's error.
int writeAllAt(int fd, std::span<const std::uint8_t> bytes, off_t offset);
// `size` bytes from `offset` into `to`; 0, or the system's error (EIO for a file
// that ends early).
int readAllAt(int fd, std::uint8_t* to, std::size_t size, off_t offset);
// Copies `size` bytes from one file to another in small blocks, so that copying
// costs no more memory for a large file than for a small one.
int copyBlocks(int from, off_t fromOffset, int to, off_t toOffset, std::uint64_t size);

bool isSameFile(const struct stat& a, const struct stat& b);

// How long a reader waits for a write in place to end, and a writer in place for
// the readers and writers before it: far longer than the largest map takes.
inline constexpr int LockWait = 10'000; // milliseconds
// flock(fd, op) tried until it is had or `milliseconds` have passed; 0, or
// EWOULDBLOCK when another holds the file that long, or the system's error. A
// file system that keeps no such locks (ENOLCK, EOPNOTSUPP) counts as had.
int lockWithin(int fd, int op, int milliseconds);
// Makes a rename or an unlink in the folder durable; best effort.
void syncFolder(const std::string& folder);
// The one "replace this file by that one" of the POSIX seam: puts the file
// `from` at the name `to` in one step (rename), replacing what stood there, and
// makes that durable; 0 or the system's error.
int replaceFile(const std::string& from, const std::string& to);

// A new file with a short random name in `folder`, made with O_EXCL (a name that
// is taken is tried again with another) and locked with flock for as long as it
// is open, so that a file of this form that can be locked belongs to nobody.
// Removed again unless it was renamed.
class TemporaryFile {
public:
    TemporaryFile(const std::string& folder, mode_t mode);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int openError() const { return error_; }
    int fd() const { return file_.get(); }
    const std::string& path() const { return path_; }
    // Synced, measured and renamed to `name`; 0 or the system's error. The
    // descriptor (and so the lock) is held through the rename, and stays open
    // after it when `keepOpen` says so. `beforeRename` runs just before the
    // rename (the tests put another writer's sweep there).
    int commit(const std::string& name, std::uint64_t expectedSize, bool keepOpen = false,
               const std::function<void()>& beforeRename = {});
    FileDescriptor& file() { return file_; }

private:
    std::string folder_;
    std::string path_;
    FileDescriptor file_;
    int error_ = 0;
    bool renamed_ = false;
};

// Removes the temporary files of this writer that no live process holds in
// `folder`, and the older writer's `.NAME.PID-N.tmp` of a gone process for the
// file name `name`.
void removeLeftoverTemporaries(const std::string& folder, const std::string& name);

// The journaled in-place way: the old bytes go to a journal in the user's data
// folder, the new ones over the file, then the journal goes. `why` says why the
// file is not replaced. Holds an flock on the file throughout.
Status writeInPlaceJournaled(const std::string& target, std::span<const std::uint8_t> bytes,
                             const std::string& why);

} // namespace amp::platform
