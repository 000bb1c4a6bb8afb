// SPDX-License-Identifier: MIT
#include "mapgrid.h"
#include "celltext.h"

namespace amp {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

} // namespace

std::variant<std::vector<std::uint8_t>, GridError> parseGrid(std::string_view text, int columns, int rows,
                                                             bool emptyIsZero) {
    if (text.starts_with(ByteOrderMark)) {
        text.remove_prefix(ByteOrderMark.size());
    }
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    // The separator is the grid's own: a tab anywhere makes it a tab-separated grid.
    const char separator =
        text.find('\t') != std::string_view::npos && text.find(',') == std::string_view::npos ? '\t' : ',';
    int row = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool last = end == std::string_view::npos;
        std::string_view line = text.substr(start, last ? std::string_view::npos : end - start);
        start = last ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const int lineNumber = row + 1;
        if (row == rows) {
            if (line.find_first_not_of(" \t") == std::string_view::npos && start >= text.size()) {
                break; // an empty last line
            }
            return GridError{lineNumber, 0, "more than " + std::to_string(rows) + " lines"};
        }
        int column = 0;
        std::size_t at = 0;
        while (true) {
            const std::size_t next = line.find(separator, at);
            std::string_view field =
                line.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at);
            while (!field.empty() && isBlank(field.front())) {
                field.remove_prefix(1);
            }
            while (!field.empty() && isBlank(field.back())) {
                field.remove_suffix(1);
            }
            if (column == columns) {
                return GridError{lineNumber, column + 1,
                                 "more than " + std::to_string(columns) + " values on the line"};
            }
            bool digits = !field.empty() && field.size() <= 3;
            for (const char c : field) {
                digits = digits && c >= '0' && c <= '9';
            }
            const int value = digits ? textValue(field) : field.empty() && emptyIsZero ? 0 : -1;
            if (value < 0 || value > 255) {
                return GridError{lineNumber, column + 1,
                                 field.empty() ? std::string("a value is missing")
                                               : "\"" + std::string(field.substr(0, 20)) +
                                                     "\" is not a whole number 0-255"};
            }
            cells[static_cast<std::size_t>(recordOfCell(column, row, rows))] =
                static_cast<std::uint8_t>(value);
            ++column;
            if (next == std::string_view::npos) {
                break;
            }
            at = next + 1;
        }
        if (column < columns) {
            return GridError{lineNumber, column + 1,
                             "only " + std::to_string(column) + " of " + std::to_string(columns) + " values"};
        }
        ++row;
    }
    if (row < rows) {
        return GridError{row + 1, 0,
                         "only " + std::to_string(row) + " of " + std::to_string(rows) + " lines"};
    }
    return cells;
}

std::string formatGrid(const MapImage& map, int layer, char separator) {
    const int columns = map.header.columns();
    const int rows = map.header.rows();
    std::string out;
    out.reserve(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) * 4);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const auto k = static_cast<std::size_t>(recordOfCell(column, row, rows));
            const std::uint8_t value =
                k < map.records.size() ? map.records[k][static_cast<std::size_t>(layer)] : 0;
            if (column > 0) {
                out += separator;
            }
            out += byteText(value);
        }
        out += '\n';
    }
    return out;
}

} // namespace amp
