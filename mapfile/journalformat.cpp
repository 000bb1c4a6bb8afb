// SPDX-License-Identifier: MIT
#include "journalformat.h"

#include "mapformat.h"

#include <algorithm>
#include <array>

namespace amp::journalformat {

namespace {

constexpr int BitsPerByte = 8;
constexpr std::uint64_t ByteMask = 0xFF;

void putNumber(std::vector<std::uint8_t>& to, std::uint64_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        to.push_back(static_cast<std::uint8_t>((value >> (BitsPerByte * i)) & ByteMask));
    }
}

std::uint64_t takeNumber(const std::uint8_t* from, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        value |= static_cast<std::uint64_t>(from[i]) << (BitsPerByte * i);
    }
    return value;
}

// Whether `size` bytes at `offset` of the file equal those of the old bytes.
bool sameAsOld(std::uint64_t offset, std::size_t size, const ReadAt& fileAt, const ReadAt& oldAt) {
    std::array<std::uint8_t, BlockSize> file{}, old{};
    return size <= BlockSize && fileAt(offset, file.data(), size) && oldAt(offset, old.data(), size) &&
           std::equal(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size), old.begin());
}

} // namespace

std::size_t blockCount(std::uint64_t size) {
    return static_cast<std::size_t>((size + BlockSize - 1) / BlockSize);
}

std::uint64_t hashBlock(std::span<const std::uint8_t> block) {
    // FNV-1a, 64 bits: a block another program wrote is told from the new one
    // by chance alone.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const std::uint8_t byte : block) {
        hash = (hash ^ byte) * 0x100000001b3ULL;
    }
    return hash;
}

std::vector<std::uint8_t> encodeHeader(std::string_view path, const Identity& identity, std::uint64_t oldSize,
                                       std::span<const std::uint8_t> newBytes) {
    std::vector<std::uint8_t> header(Magic, Magic + MagicSize);
    putNumber(header, identity.device, NumberSize);
    putNumber(header, identity.inode, NumberSize);
    putNumber(header, identity.birth, NumberSize);
    putNumber(header, oldSize, NumberSize);
    putNumber(header, newBytes.size(), NumberSize);
    putNumber(header, path.size(), PathLengthSize);
    header.insert(header.end(), path.begin(), path.end());
    for (std::size_t at = 0; at < newBytes.size(); at += BlockSize) {
        putNumber(header, hashBlock(newBytes.subspan(at, std::min(BlockSize, newBytes.size() - at))),
                  HashSize);
    }
    return header;
}

bool decodeFixed(std::span<const std::uint8_t> fixed, std::uint64_t journalSize, Header& header) {
    if (fixed.size() < FixedSize || journalSize < FixedSize ||
        !std::equal(Magic, Magic + MagicSize, fixed.begin())) {
        return false;
    }
    const std::uint8_t* at = fixed.data() + MagicSize;
    header.identity.device = takeNumber(at, NumberSize);
    header.identity.inode = takeNumber(at + NumberSize, NumberSize);
    header.identity.birth = takeNumber(at + 2 * NumberSize, NumberSize);
    header.oldSize = takeNumber(at + 3 * NumberSize, NumberSize);
    header.newSize = takeNumber(at + 4 * NumberSize, NumberSize);
    const std::uint64_t pathLength = takeNumber(at + NumberCount * NumberSize, PathLengthSize);
    constexpr auto Largest = static_cast<std::uint64_t>(MaxFileSize);
    if (pathLength == 0 || pathLength > LongestPath || header.oldSize > Largest || header.newSize > Largest) {
        return false;
    }
    header.path.assign(static_cast<std::size_t>(pathLength), '\0');
    header.bytesAt = FixedSize + restSize(header);
    return journalSize == header.bytesAt + header.oldSize; // a journal is whole or absent: else neither
}

std::uint64_t restSize(const Header& header) {
    return header.path.size() + blockCount(header.newSize) * HashSize;
}

bool decodeRest(std::span<const std::uint8_t> rest, Header& header) {
    if (rest.size() != restSize(header)) {
        return false;
    }
    const std::size_t pathLength = header.path.size();
    header.path.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(pathLength));
    header.newHashes.clear();
    for (std::size_t at = pathLength; at < rest.size(); at += HashSize) {
        header.newHashes.push_back(takeNumber(rest.data() + at, HashSize));
    }
    return isUsablePath(header.path);
}

bool isUsablePath(std::string_view path) {
    return !path.empty() && path.find('\0') == std::string_view::npos;
}

bool isJournalName(std::string_view name) {
    const std::string_view suffix(Suffix);
    return name.size() > suffix.size() && name.front() != '.' && name.ends_with(suffix);
}

bool holdsOnlyItsWrite(const Header& header, std::uint64_t size, const ReadAt& fileAt, const ReadAt& oldAt) {
    // The write puts the new bytes over the old from the start, a page after the
    // other, then sets the length. So the file is new pages, then old ones; it is
    // as long as the old file, or (growing) ends at the last new page written,
    // or, once its length is set, it is the new bytes alone.
    const std::uint64_t oldSize = header.oldSize, newSize = header.newSize;
    const bool lengthSet = size == newSize && newSize != oldSize;
    const bool growing = size > oldSize && size < newSize && size % BlockSize == 0;
    if ((size != oldSize && !lengthSet && !growing) || header.newHashes.size() != blockCount(newSize)) {
        return false;
    }
    std::array<std::uint8_t, BlockSize> block{};
    bool oldSeen = false; // a page that holds the old bytes and not the new
    for (std::uint64_t start = 0; start < size; start += BlockSize) {
        const std::uint64_t end = std::min<std::uint64_t>(start + BlockSize, size);
        const auto length = static_cast<std::size_t>(end - start);
        const bool isOld = end <= oldSize && sameAsOld(start, length, fileAt, oldAt);
        // The new bytes of this page, and past the new end the old ones not yet cut off.
        const std::uint64_t newEnd = std::min<std::uint64_t>(start + BlockSize, newSize);
        bool isNew = start < newSize && end >= newEnd && fileAt(start, block.data(), newEnd - start) &&
                     hashBlock(std::span(block.data(), static_cast<std::size_t>(newEnd - start))) ==
                         header.newHashes[static_cast<std::size_t>(start / BlockSize)];
        if (isNew && end > newEnd) {
            isNew =
                end <= oldSize && sameAsOld(newEnd, static_cast<std::size_t>(end - newEnd), fileAt, oldAt);
        }
        if ((!isOld && !isNew) || (isNew && !isOld && oldSeen)) {
            return false;
        }
        oldSeen = oldSeen || (isOld && !isNew);
    }
    return !(lengthSet && oldSeen);
}

bool isSameIdentity(const Identity& recorded, const Identity& now) {
    // A seam that cannot see devices and inodes records 0 for both, and finds 0.
    return recorded.device == now.device && recorded.inode == now.inode &&
           (recorded.birth == 0 || now.birth == 0 || recorded.birth == now.birth);
}

} // namespace amp::journalformat
