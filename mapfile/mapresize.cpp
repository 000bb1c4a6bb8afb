// SPDX-License-Identifier: MIT
#include "mapresize.h"

#include <array>
#include <string>

namespace amp {

std::optional<ResizeAnchor> anchorNamed(std::string_view given) {
    // In any case, as amptool takes layer and terrain names.
    std::string word(given);
    for (char& c : word) {
        c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    static constexpr std::array<std::string_view, AnchorCount> Names = {
        "top-left", "top", "top-right", "left", "centre", "right", "bottom-left", "bottom", "bottom-right"};
    for (int i = 0; i < AnchorCount; ++i) {
        if (word == Names[static_cast<std::size_t>(i)]) {
            return static_cast<ResizeAnchor>(i);
        }
    }
    if (word == "center") {
        return ResizeAnchor::Centre;
    }
    return {};
}

HexShift resizeShift(int columns, int rows, int newColumns, int newRows, ResizeAnchor anchor) {
    const int index = static_cast<int>(anchor);
    const auto shift = [](int part, int before, int after) {
        return part == 0 ? 0 : part == 1 ? (after - before) / 2 : after - before;
    };
    return {shift(index % 3, columns, newColumns), shift(index / 3, rows, newRows)};
}

MapImage resizeMap(const MapImage& map, int columns, int rows, ResizeAnchor anchor) {
    MapImage resized = makeMap(map.header, columns, rows);
    const int oldColumns = map.header.columns(), oldRows = map.header.rows();
    const HexShift shift = resizeShift(oldColumns, oldRows, columns, rows, anchor);
    for (int column = 0; column < oldColumns; ++column) {
        const int c = column + shift.columns;
        if (c < 0 || c >= columns) {
            continue;
        }
        for (int row = 0; row < oldRows; ++row) {
            const int r = row + shift.rows;
            const auto from = static_cast<std::size_t>(recordOfCell(column, row, oldRows));
            if (r >= 0 && r < rows && from < map.records.size()) {
                resized.records[static_cast<std::size_t>(recordOfCell(c, r, rows))] = map.records[from];
            }
        }
    }
    return resized;
}

} // namespace amp
