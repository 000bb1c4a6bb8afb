// SPDX-License-Identifier: MIT
// What a command prints, gathered in one buffer: to standard output it goes in
// blocks of 256 KiB as the buffer fills, to a named file whole through the
// safe writer at the end. Numbers 0-255 are copied from a table of their decimal
// texts, so printing a map costs a copy per value and one write per block.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace amptool {

// The decimal text of each byte value, padded to four characters so that one
// fixed-size copy places any of them.
struct DecimalText {
    char text[4];
    std::uint8_t length;
};

inline constexpr std::array<DecimalText, 256> DecimalTexts = [] {
    std::array<DecimalText, 256> all{};
    for (int value = 0; value < 256; ++value) {
        DecimalText& entry = all[static_cast<std::size_t>(value)];
        const int hundreds = value / 100, tens = value / 10 % 10, ones = value % 10;
        int at = 0;
        if (hundreds > 0) {
            entry.text[at++] = static_cast<char>('0' + hundreds);
        }
        if (hundreds > 0 || tens > 0) {
            entry.text[at++] = static_cast<char>('0' + tens);
        }
        entry.text[at++] = static_cast<char>('0' + ones);
        entry.length = static_cast<std::uint8_t>(at);
    }
    return all;
}();

// Places the decimal text of `value` at `at` (which has room for four
// characters) and gives the position after it.
inline char* putByte(char* at, std::uint8_t value) {
    const DecimalText& entry = DecimalTexts[value];
    std::memcpy(at, entry.text, sizeof entry.text);
    return at + entry.length;
}

class TextSink {
public:
    static constexpr std::size_t BlockSize = std::size_t{256} * 1024;

    // `target` is a file name, or "-" for `out`.
    // A new file made from the map `madeFrom` gets that map's permission bits.
    TextSink(std::string target, std::FILE* out, std::string madeFrom = {});

    // Room for `size` more characters; `commit` takes what was placed there.
    char* room(std::size_t size) {
        if (used_ + size > capacity_) {
            makeRoom(size);
        }
        return buffer_.get() + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

    void put(std::string_view text) {
        std::memcpy(room(text.size()), text.data(), text.size());
        used_ += text.size();
    }
    void put(char c) {
        *room(1) = c;
        ++used_;
    }
    void putNumber(long long value) { put(std::to_string(value)); }

    // Whether anything was printed at all.
    bool isEmpty() const { return used_ == 0 && !flushed_; }
    // Writes what is left; a failure throws as the commands' failures do.
    void finish();

private:
    void makeRoom(std::size_t size);
    void flush();

    std::string target_;
    std::string madeFrom_;
    std::FILE* out_;
    // Not cleared first: only what was placed is ever written.
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = BlockSize;
    std::size_t used_ = 0;
    bool flushed_ = false;
};

} // namespace amptool
