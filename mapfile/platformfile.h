// SPDX-License-Identifier: MIT
// The seam between the file code and the operating system. Two builds of it
// exist: one on POSIX calls (non-blocking open, fstat, unbuffered writes, fsync,
// rename, fchown, extended attributes, flock, a journal for writes in place),
// plain C++ with file names as the system's bytes, declared here; and a portable
// one on QtCore alone, declared in qtfile.h. CMake picks one at compile time.
// The callers (diskio.cpp, or mapfileio.cpp for the portable one) have already
// refused empty names and checked what stands at a write's target.
#pragma once

#include "diskio.h"
#include "maperror.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace amp::platform {

// At most `limit` bytes from the start of a regular file; anything else (a
// folder, a pipe, a device) is refused as CannotOpen without waiting on it.
Result<std::vector<std::uint8_t>> readRegularFile(const std::string& path, std::size_t limit);

// What both builds read with: at most `limit` bytes through `readSome(at, size)`
// (the bytes read, 0 at the end, below 0 on an error) into a buffer as long as
// the file says it is and one byte more, grown for a file that holds more than it
// says (a file that grows while it is read, or one of the kernel's that says 0).
// False on an error, with `bytes` as far as it got.
template <typename ReadSome>
bool readUpTo(std::vector<std::uint8_t>& bytes, std::size_t limit, std::size_t length, ReadSome readSome) {
    bytes.assign(length < limit ? length + 1 : limit, 0);
    std::size_t filled = 0;
    bool ok = true;
    while (filled < limit) {
        if (filled == bytes.size()) {
            bytes.resize(std::min(limit, std::max(bytes.size() * 2, std::size_t{4096})));
        }
        const long long got = readSome(bytes.data() + filled, bytes.size() - filled);
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return ok;
}

// What readFileAtMost gives for the read of at most `limit` + 1 bytes: the first
// `limit`, and whether that was all.
inline Result<ReadBytes> cutAtLimit(Result<std::vector<std::uint8_t>> read, std::size_t limit,
                                    bool restored) {
    if (!read) {
        return read.error();
    }
    ReadBytes result{std::move(read).value(), true, restored};
    if (result.bytes.size() > limit) {
        result.bytes.resize(limit);
        result.complete = false;
    }
    return result;
}

// Writes `target` whole by one of the two ways (see writeFileSafely); the caller
// has undone an interrupted write of it first. `target` is no link.
Result<Written> writeFile(const std::string& target, std::span<const std::uint8_t> bytes, NewFileMode mode);

// What was done before a read or write of a file with the journals of its
// interrupted writes in place.
struct Restored {
    bool putBack = false;              // its old bytes went back
    std::vector<std::string> setAside; // journals of writes the file no longer holds
};

// Puts back the old bytes of an interrupted in-place write of `path` when its
// journal is still there, no live process is writing it, and the file holds
// nothing but that write (see journalformat.h); a journal of `path` that the file
// no longer matches is set aside. Fails only when the file holds a write cut
// short and its old bytes cannot be put back.
Result<Restored> restoreInterruptedWrite(const std::string& path);

// What both builds do with a restore's outcome before a read or write: tell the
// notice, when there is one, of each journal set aside and of old bytes put
// back; true when they were.
template <typename Path, typename Notice>
Result<bool> restoreAndTell(const Result<Restored>& restored, const Path& path, const Notice& notice) {
    if (!restored) {
        return restored.error();
    }
    if (notice) {
        for (const std::string& journal : restored.value().setAside) {
            notice(path, {JournalNotice::Kind::SetAside, journal});
        }
        if (restored.value().putBack) {
            notice(path, {JournalNotice::Kind::PutBack, {}});
        }
    }
    return restored.value().putBack;
}

} // namespace amp::platform
