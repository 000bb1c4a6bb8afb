// SPDX-License-Identifier: MIT
// The text form of a value: a byte becomes "0".."255" (no sign, no leading zeros
// or blanks); a text comes back to a number by the rule below.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace amp {

// The canonical text of a byte, from a table built once.
std::string_view byteText(std::uint8_t value);

// The whole number a text stands for, or nothing when it is not one. The rule
// the map makers know from the game's own tools:
//   - leading blanks (spaces and tabs) are skipped: " 7" is 7;
//   - then one optional sign, "+" or "-": "+5" is 5, "-0" is 0;
//   - then one or more decimal digits and nothing else: "7 ", "12abc", "0x1F",
//     "" and "-" are not numbers;
//   - the value must fit a signed 32-bit integer: "2147483648" is not a number.
template <typename CharT>
constexpr std::optional<std::int32_t> parseWholeNumber(std::basic_string_view<CharT> text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == CharT(' ') || text[i] == CharT('\t'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == CharT('+') || text[i] == CharT('-'))) {
        negative = text[i] == CharT('-');
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    // Accumulate as a negative number so that -2147483648 fits.
    constexpr std::int64_t limit = -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min());
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const auto c = text[i];
        if (c < CharT('0') || c > CharT('9')) {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + static_cast<int>(c - CharT('0'));
        if (magnitude > limit) {
            return std::nullopt;
        }
    }
    if (!negative && magnitude > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

// The value of a cell text: its whole number, or 0 for a text that is not one.
template <typename CharT> constexpr std::int32_t textValue(std::basic_string_view<CharT> text) {
    return parseWholeNumber(text).value_or(0);
}

// What a value stores in the file: its low 8 bits (two's complement for negative
// values), so 256 is 0, 300 is 44 and -1 is 255.
constexpr std::uint8_t lowByte(std::int32_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
}

// What a cell text stores in the file: the low 8 bits of its value.
template <typename CharT> constexpr std::uint8_t textToByte(std::basic_string_view<CharT> text) {
    return lowByte(textValue(text));
}

inline std::int32_t textValue(std::string_view text) {
    return textValue<char>(text);
}
inline std::uint8_t textToByte(std::string_view text) {
    return textToByte<char>(text);
}

} // namespace amp
