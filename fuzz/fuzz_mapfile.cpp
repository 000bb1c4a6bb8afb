// SPDX-License-Identifier: MIT
// libFuzzer target over the Qt-free map code: decoding any bytes, encoding what
// was decoded, the text-to-byte rule on any text, and the grid importer on any
// text (whatever it accepts, formatted again, reads back the same).
#include "celltext.h"
#include "mapgrid.h"
#include "mapimage.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The rule, restated the slow way: the text must be blanks, one optional sign,
// then digits only, with a value inside 32 bits; its byte is the low 8 bits.
template <typename CharT> void checkConversion(std::basic_string_view<CharT> text) {
    const auto parsed = amp::parseWholeNumber(text);
    std::size_t i = 0;
    while (i < text.size() && (text[i] == CharT(' ') || text[i] == CharT('\t'))) {
        ++i;
    }
    const bool negative = i < text.size() && text[i] == CharT('-');
    if (i < text.size() && (text[i] == CharT('+') || text[i] == CharT('-'))) {
        ++i;
    }
    bool digits = i < text.size();
    long double value = 0;
    for (std::size_t j = i; j < text.size(); ++j) {
        if (text[j] < CharT('0') || text[j] > CharT('9')) {
            digits = false;
            break;
        }
        value = value * 10 + static_cast<int>(text[j] - CharT('0'));
    }
    if (negative) {
        value = -value;
    }
    const bool fits = digits && value >= -2147483648.0L && value <= 2147483647.0L;
    check(parsed.has_value() == fits);
    if (fits) {
        check(static_cast<long double>(*parsed) == value);
    }
    const auto byte = amp::textToByte(text);
    check(byte == static_cast<std::uint8_t>(static_cast<std::uint32_t>(parsed.value_or(0)) & 0xFF));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto decoded = amp::decodeMap(bytes);
    if (size < static_cast<std::size_t>(amp::HeaderSize)) {
        check(!decoded.ok() && decoded.error().kind == amp::MapErrorKind::NotAMap);
    } else {
        check(decoded.ok());
        const amp::MapImage& image = decoded.value();
        check(std::memcmp(image.header.bytes.data(), data, amp::HeaderSize) == 0);
        const std::size_t complete = (size - amp::HeaderSize) / amp::RecordSize;
        const std::size_t kept = std::min<std::size_t>(complete, image.header.hexCount());
        check(image.records.size() == kept);

        // Decode then encode gives back the header and every complete record
        // inside columns x rows; the rest of a complete file is zero.
        const auto encoded = amp::encodeMap(image);
        check(encoded.size() == amp::completeFileSize(image.header));
        const std::size_t same = amp::HeaderSize + kept * amp::RecordSize;
        check(std::memcmp(encoded.data(), data, same) == 0);
        static const std::vector<std::uint8_t> zeros(amp::MaxFileSize, 0);
        check(std::memcmp(encoded.data() + same, zeros.data(), encoded.size() - same) == 0);
    }

    checkConversion(std::string_view(reinterpret_cast<const char*>(data), size));
    checkConversion(std::u16string_view(reinterpret_cast<const char16_t*>(data), size / 2));

    // The grid's shape from the first two bytes, the text from the rest.
    if (size >= 2) {
        const int columns = data[0] % 16, rows = data[1] % 16;
        const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
        const auto grid = amp::parseGrid(text, columns, rows);
        if (const auto* cells = std::get_if<std::vector<std::uint8_t>>(&grid)) {
            check(cells->size() == static_cast<std::size_t>(columns * rows));
            amp::MapImage map = amp::makeMap({}, columns, rows);
            for (std::size_t k = 0; k < cells->size(); ++k) {
                map.records[k][3] = (*cells)[k];
            }
            const auto again = amp::parseGrid(amp::formatGrid(map, 3, ','), columns, rows);
            check(std::holds_alternative<std::vector<std::uint8_t>>(again) &&
                  std::get<std::vector<std::uint8_t>>(again) == *cells);
        } else {
            const auto& error = std::get<amp::GridError>(grid);
            check(error.line >= 1 && error.column >= 0 && !error.message.empty());
        }
    }
    return 0;
}
