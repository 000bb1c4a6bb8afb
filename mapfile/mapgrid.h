// SPDX-License-Identifier: MIT
// One layer as a grid of text, the form spreadsheets and the console tool use:
// one line per map row, top to bottom, each holding that row's values column by
// column, separated by a comma or a tab.
#pragma once

#include "mapimage.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace amp {

// Where a grid is wrong: a 1-based line, a 1-based position of the value on that
// line (0 for the line as a whole) and what is wrong.
struct GridError {
    int line = 0;
    int column = 0;
    std::string message;
};

// The cells of a grid in the cell rule's order (column * rows + row), or the
// first thing wrong with it. Strict: exactly `rows` lines of exactly `columns`
// whole numbers 0..255, separated by commas or by tabs (one kind per grid);
// blanks around a number, a carriage return before a line's end, an empty last
// line and a UTF-8 byte-order mark before the first line (spreadsheets write one
// in "CSV UTF-8") are allowed. With `emptyIsZero`, an empty value (two
// separators in a row, as a spreadsheet copies an empty cell) is 0, as an empty
// cell text reads.
std::variant<std::vector<std::uint8_t>, GridError> parseGrid(std::string_view text, int columns, int rows,
                                                             bool emptyIsZero = false);

// Layer `layer` of the map as a grid, separated by `separator`; hexes without a
// record are 0.
std::string formatGrid(const MapImage& map, int layer, char separator);

} // namespace amp
