// SPDX-License-Identifier: MIT
#include "journalformat.h"

#include "mapformat.h"

#include <algorithm>

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

} // namespace

std::vector<std::uint8_t> encodeHeader(std::string_view path, std::uint64_t identity, std::uint64_t oldSize) {
    std::vector<std::uint8_t> header(Magic, Magic + MagicSize);
    putNumber(header, identity, NumberSize);
    putNumber(header, oldSize, NumberSize);
    putNumber(header, path.size(), PathLengthSize);
    header.insert(header.end(), path.begin(), path.end());
    return header;
}

bool decodeFixed(std::span<const std::uint8_t> fixed, std::uint64_t journalSize, Header& header) {
    if (fixed.size() < FixedSize || journalSize < FixedSize ||
        !std::equal(Magic, Magic + MagicSize, fixed.begin())) {
        return false;
    }
    header.identity = takeNumber(fixed.data() + MagicSize, NumberSize);
    header.oldSize = takeNumber(fixed.data() + MagicSize + NumberSize, NumberSize);
    const std::uint64_t pathLength = takeNumber(fixed.data() + MagicSize + 2 * NumberSize, PathLengthSize);
    if (pathLength == 0 || pathLength > LongestPath ||
        header.oldSize > static_cast<std::uint64_t>(MaxFileSize)) {
        return false;
    }
    header.bytesAt = FixedSize + pathLength;
    return journalSize == header.bytesAt + header.oldSize; // a journal is whole or absent: else neither
}

bool isUsablePath(std::string_view path) {
    return !path.empty() && path.find('\0') == std::string_view::npos;
}

bool isJournalName(std::string_view name) {
    const std::string_view suffix(Suffix);
    return name.size() > suffix.size() && name.front() != '.' && name.ends_with(suffix);
}

} // namespace amp::journalformat
