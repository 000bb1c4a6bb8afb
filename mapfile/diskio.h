// SPDX-License-Identifier: MIT
// Reading and writing files on disk, with file names as the system's bytes (a
// name need not be UTF-8). Reading takes at most what the largest map needs and
// never blocks on a pipe or a device; writing leaves the old file or the new one,
// never a mixture, whenever the program is stopped. On POSIX systems this is
// plain C++ with no Qt, so amptool loads no Qt library; mapfileio.h offers the
// same calls with QString names for the document and the window.
#pragma once

#include "maperror.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace amp {

// What readFileAtMost gives: `complete` says whether the file ended within the
// limit.
struct ReadBytes {
    std::vector<std::uint8_t> bytes;
    bool complete = true;
    bool restored = false; // an interrupted write was undone before the read
};

// The way a write took (see writeFileSafely).
enum class WriteWay { Replaced, InPlace };
struct Written {
    WriteWay way = WriteWay::Replaced;
    bool restored = false; // an interrupted write was undone first
};
// The permission bits a file gets when there was none at the target, always
// under the umask: the usual ones (0666), only the owner's (for what holds a
// user's private data), or those of the file it is made from (a map's picture, a
// grid or a resized map made from a map), as cp gives them, so nothing made from
// a private map is readable by more users than the map. A file is only ever
// readable by its owner until it is complete.
struct NewFileMode {
    enum class Kind : std::uint8_t { Usual, OwnerOnly, Like };
    Kind kind = Kind::Usual;
    unsigned bits = 0; // of the file it is made from, for Like

    static const NewFileMode Usual;
    static const NewFileMode OwnerOnly;
    static NewFileMode like(unsigned permissionBits) { return {Kind::Like, permissionBits}; }
    friend bool operator==(const NewFileMode&, const NewFileMode&) = default;
};
inline const NewFileMode NewFileMode::Usual{NewFileMode::Kind::Usual, 0};
inline const NewFileMode NewFileMode::OwnerOnly{NewFileMode::Kind::OwnerOnly, 0};

// What a read, write or check of a file did with a journal of an interrupted
// write of it: put its old bytes back, or set the journal aside (renamed, never
// applied) because the file holds what another program wrote since.
struct JournalNotice {
    enum class Kind : std::uint8_t { PutBack, SetAside };
    Kind kind = Kind::PutBack;
    std::string journal; // where a journal set aside now is
};

namespace diskio {

// The bytes of a map file, at most MaxFileSize of them: a file larger than the
// largest map is no map, and is refused as NotAMap once one byte past that size is
// read. A folder, a pipe, a device or a socket is refused as CannotOpen without
// being read.
Result<std::vector<std::uint8_t>> readMapFile(const std::string& path);

// The same for any file the programs read whole (a grid, a recovery copy): at most
// `limit` bytes, with the same refusals.
Result<ReadBytes> readFileAtMost(const std::string& path, std::size_t limit);

// The one writer of files: maps, recovery copies, exported pictures and grids all
// go through it, and it takes one of two ways.
//
// Replaced: the bytes go to a temporary file beside the target (a short random
// name), every write checked unbuffered, then synced and measured; only a complete
// file is renamed over the target, so a failure at any point (a full disk
// included) leaves an existing file byte for byte as it was and reports WriteError
// with the system's reason. The new file gets the old one's mode and, where the
// process may give them, its owner, group and extended attributes (its ACL too).
//
// InPlace: where replacing would lose something (a second hard link, an owner or
// an attribute the process cannot give a new file) or cannot be done (a folder the
// user may not write to or that has no inode to spare, a name too long for a
// temporary beside it, a bind-mounted file), the old bytes first go to a journal
// in the user's data folder, then the new ones over the file; the journal goes
// once they are on disk. A journal left by a write that was cut short is undone
// the next time either program reads, writes or checks that file: the old bytes
// go back first, but only while the file holds nothing but that write; one the
// file no longer matches (another program saved it since) is set aside. A file
// larger than the largest map is never written this way. Readers wait (a bounded
// while) for a write in place to end, so none reads a mixture.
//
// A symbolic link is followed: its target gets the new content (a dangling link's
// target is made) and the link stays. An existing name that is not a regular
// file, or that cannot be written, is refused as CannotOpen.
Result<Written> writeFileSafely(const std::string& path, std::span<const std::uint8_t> bytes,
                                NewFileMode mode = NewFileMode::Usual);

// The one "replace this file by that one" of the programs: puts the file `from`
// at the name `to` in one step, replacing a file that stands there (where the
// system allows it, durably). std::rename cannot stand in for it: Windows
// refuses to rename onto an existing file. A failure (WriteError, with the
// system's reason) leaves both names as they were.
Status replaceFile(const std::string& from, const std::string& to);

// For a map read from an open descriptor (standard input redirected from a
// file): waits, a bounded while, until no write in place holds that file, and
// keeps writes in place out of it until the descriptor is closed, as a read by
// name does. Nothing to wait for on a pipe or where the system keeps no locks.
Status waitForWritesInPlace(int fd);

// The mode of a file made from `source`: its permission bits, or the usual ones
// where it cannot be seen (gone, or no name: standard input).
NewFileMode modeMadeFrom(const std::string& source);

// Told of every file whose journal was put back or set aside, whatever read,
// wrote or checked it (the editor shows it, amptool prints it). One for the
// process, shared with mapfileio.h's; empty by default.
void setRestoreNotice(std::function<void(const std::string& path, const JournalNotice& notice)> notice);

} // namespace diskio

} // namespace amp
