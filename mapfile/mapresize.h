// SPDX-License-Identifier: MIT
// A map given a new shape, the one rule of Map > Resize and `amptool resize`: the
// anchor is the part that stays put (a corner, the middle of an edge, or the
// centre), and every hex moves by the same number of columns and rows, so a move
// by an odd number of columns puts every hex on a column of the other kind.
#pragma once

#include "mapimage.h"

#include <optional>
#include <string_view>

namespace amp {

// In the order of a 3 x 3 grid, row by row: the index's remainder by 3 is the
// column part (left, middle, right), its quotient the row part (top, middle, bottom).
enum class ResizeAnchor : std::uint8_t {
    TopLeft,
    Top,
    TopRight,
    Left,
    Centre,
    Right,
    BottomLeft,
    Bottom,
    BottomRight
};
inline constexpr int AnchorCount = 9;

// The anchor a word names: top-left, top, top-right, left, centre (or center),
// right, bottom-left, bottom, bottom-right, in any case; none for another word.
std::optional<ResizeAnchor> anchorNamed(std::string_view word);

// How far every hex moves when a map of columns x rows takes the new shape: none
// for a left or top anchor, all the growth (or shrinking) for a right or bottom
// one, half of it for the middle, rounded toward zero.
struct HexShift {
    int columns = 0;
    int rows = 0;
};
HexShift resizeShift(int columns, int rows, int newColumns, int newRows, ResizeAnchor anchor);

// The map with the new shape: the hex [c][r] goes to [c + shift][r + shift] where
// that lies inside; new hexes, and hexes the file had no record for, are 0.
MapImage resizeMap(const MapImage& map, int columns, int rows, ResizeAnchor anchor = ResizeAnchor::TopLeft);

} // namespace amp
