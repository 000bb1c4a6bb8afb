// SPDX-License-Identifier: MIT
// The layout of a journal of an in-place write, the same for both file seams:
// "ampedit journal 2\n"; the file's device, inode and birth time, its old length
// and the new length (8 bytes each, least significant first); the length of its
// absolute path (4 bytes) and the path; a hash of each 4 KiB block of the new
// bytes (8 bytes each); then the old bytes.
//
// A journal may put the old bytes back only onto the very write it journaled:
// the file must still be the one written (device, inode and birth time, where the
// seam and the system know them) and must hold, block by block, exactly the old
// bytes or the bytes that write was putting there. A file another program saved
// since holds neither, and its journal is set aside, never applied.
// Journals are read as hostile input: a header that does not hold together, or
// whose length does not match the journal's, is refused.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace amp::journalformat {

inline constexpr char Magic[] = "ampedit journal 2\n";
inline constexpr std::size_t MagicSize = sizeof Magic - 1;
inline constexpr std::size_t NumberSize = 8;
inline constexpr std::size_t PathLengthSize = 4;
inline constexpr std::size_t NumberCount = 5; // device, inode, birth, old size, new size
inline constexpr std::size_t FixedSize = MagicSize + NumberCount * NumberSize + PathLengthSize;
inline constexpr std::size_t LongestPath = 4096; // PATH_MAX
inline constexpr std::size_t BlockSize = 4096;   // a page: what a write puts in place at once
inline constexpr std::size_t HashSize = 8;
inline constexpr char Suffix[] = ".journal";
// A journal that does not belong to the file as it is now is renamed to this.
inline constexpr char SetAsideSuffix[] = ".journal-set-aside";

// Which file a journal was written for. A birth time the system does not keep
// is 0 and is not compared; the portable seam, which sees no devices and inodes,
// records 0 for both.
struct Identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t birth = 0; // nanoseconds (POSIX) or milliseconds (portable) since 1970
};

// What a journal says, once it has been found to hold together.
struct Header {
    std::string path;
    Identity identity;
    std::uint64_t oldSize = 0;
    std::uint64_t newSize = 0;
    std::vector<std::uint64_t> newHashes; // one a block of the new bytes
    std::uint64_t bytesAt = 0;            // where the old bytes start
};

std::size_t blockCount(std::uint64_t size);
std::uint64_t hashBlock(std::span<const std::uint8_t> block);

// Everything of a journal before the old bytes.
std::vector<std::uint8_t> encodeHeader(std::string_view path, const Identity& identity, std::uint64_t oldSize,
                                       std::span<const std::uint8_t> newBytes);

// Reads the first FixedSize bytes of a journal `journalSize` bytes long into
// `header` (all but the path and the hashes, which follow them and are read by
// decodeRest); false for one that is not ours, is torn or holds more than the
// largest map.
bool decodeFixed(std::span<const std::uint8_t> fixed, std::uint64_t journalSize, Header& header);
// How many bytes follow the fixed part before the old bytes: the path and the hashes.
std::uint64_t restSize(const Header& header);
// The path and the hashes from `rest` (restSize bytes); false for an unusable path.
bool decodeRest(std::span<const std::uint8_t> rest, Header& header);

// A path read back from a journal that may be used: no NUL within it.
bool isUsablePath(std::string_view path);

// A journal's file name: "NAME.journal", not hidden.
bool isJournalName(std::string_view name);

// Whether the old bytes may go back into a file `size` bytes long: it is the
// journal's own write, cut short, when every block holds the old bytes or the new
// ones (or, at the new end, the new bytes followed by the old). `fileAt` and
// `oldAt` read `size` bytes at an offset of the file and of the old bytes; they
// return false on an error, which counts as no match.
using ReadAt = std::function<bool(std::uint64_t offset, std::uint8_t* to, std::size_t size)>;
bool holdsOnlyItsWrite(const Header& header, std::uint64_t size, const ReadAt& fileAt, const ReadAt& oldAt);

// The same device and inode, and the same birth time where both know one.
bool isSameIdentity(const Identity& recorded, const Identity& now);

} // namespace amp::journalformat
