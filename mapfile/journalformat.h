// SPDX-License-Identifier: MIT
// The layout of a journal of an in-place write, the same for both file seams:
// "ampedit journal 1\n", the file's identity and its old length (8 bytes each,
// least significant first), the length of its absolute path (4 bytes) and the
// path, then the old bytes. The identity tells the file that was written from
// one put in its place since: the POSIX seam keeps the inode, the portable one
// the file's birth time in milliseconds (0 where the system keeps none).
// Journals are read as hostile input: a header that does not hold together, or
// whose length does not match the journal's, is refused.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace amp::journalformat {

inline constexpr char Magic[] = "ampedit journal 1\n";
inline constexpr std::size_t MagicSize = sizeof Magic - 1;
inline constexpr std::size_t NumberSize = 8;
inline constexpr std::size_t PathLengthSize = 4;
inline constexpr std::size_t FixedSize = MagicSize + 2 * NumberSize + PathLengthSize;
inline constexpr std::size_t LongestPath = 4096; // PATH_MAX
inline constexpr char Suffix[] = ".journal";

// What a journal says, once it has been found to hold together.
struct Header {
    std::string path;
    std::uint64_t identity = 0;
    std::uint64_t oldSize = 0;
    std::uint64_t bytesAt = 0; // where the old bytes start
};

// Everything of a journal before the old bytes.
std::vector<std::uint8_t> encodeHeader(std::string_view path, std::uint64_t identity, std::uint64_t oldSize);

// Reads the first FixedSize bytes of a journal `journalSize` bytes long into
// `header` (all but the path, which follows them, header.bytesAt - FixedSize
// bytes long); false for one that is not ours, is torn or holds more than the
// largest map.
bool decodeFixed(std::span<const std::uint8_t> fixed, std::uint64_t journalSize, Header& header);

// A path read back from a journal that may be used: no NUL within it.
bool isUsablePath(std::string_view path);

// A journal's file name: "NAME.journal", not hidden.
bool isJournalName(std::string_view name);

} // namespace amp::journalformat
