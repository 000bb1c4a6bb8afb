// SPDX-License-Identifier: MIT
// Mirrors and turns that respect the hex lattice, in plain C++ (the console tool
// uses them without Qt). Hexes are flat-topped, every other column half a hex
// lower (odd columns, or even ones when asked). Two coordinate systems carry the
// maths:
// - cube coordinates (x + y + z = 0), where a sixth of a turn and the mirrors
//   about the origin hex are permutations and sign changes;
// - "doubled" coordinates X = column, Y = 2 * row + (1 when the column is
//   lowered), in half hexes, where a mirror or a half turn is X -> ±X + a,
//   Y -> ±Y + b: it keeps the lattice exactly when a + b is even.
// A map rectangle of an even number of columns, or a lowered column flipped top
// to bottom, cannot be mirrored onto itself exactly: of every isometry of the
// kind asked for, the one that leaves the fewest hexes without an image inside
// the rectangle is chosen, and those hexes are left as they were and counted.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace hexsymmetry {

struct Offset {
    int column = 0;
    int row = 0;
    friend bool operator==(const Offset&, const Offset&) = default;
};

struct Cube {
    int x = 0;
    int y = 0;
    int z = 0;
    friend bool operator==(const Cube&, const Cube&) = default;
    Cube operator+(const Cube& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Cube operator-(const Cube& o) const { return {x - o.x, y - o.y, z - o.z}; }
};

bool isLowered(int column, bool evenColumnsLower);
Cube toCube(Offset hex, bool evenColumnsLower);
Offset toOffset(Cube hex, bool evenColumnsLower);

// About the origin hex: a sixth of a turn clockwise, and the two mirrors.
Cube rotated60(Cube hex);
Cube mirroredLeftRight(Cube hex);
Cube mirroredTopBottom(Cube hex);

// A rectangle of hexes by column and row; hexes inside it are indexed as the
// file orders them, (column - left) * rows + (row - top).
struct HexRect {
    int left = 0;
    int top = 0;
    int columns = 0;
    int rows = 0;
    bool contains(Offset hex) const {
        return hex.column >= left && hex.row >= top && hex.column < left + columns && hex.row < top + rows;
    }
    int count() const { return columns * rows; }
    int indexOf(Offset hex) const { return (hex.column - left) * rows + (hex.row - top); }
};

// X -> xSign * X + a, Y -> ySign * Y + b in doubled coordinates (a + b even).
struct Isometry {
    int xSign = 1;
    int ySign = 1;
    int a = 0;
    int b = 0;
    Offset apply(Offset hex, bool evenColumnsLower) const;
    // How many hexes of the rectangle land inside it.
    int insideCount(const HexRect& rect, bool evenColumnsLower) const;
};

enum class Flip { LeftRight, TopBottom, Point };
enum class Side { Left, Right, Top, Bottom, TopLeft };
enum class Mode { Mirror, Point };

// For every hex of a rectangle, the index of the hex whose values it takes (its
// own when it keeps them), and how many of the rectangle's hexes have no image
// inside it: those were left as they were.
struct Mapping {
    HexRect rect;
    std::vector<std::int32_t> from;
    int withoutImage = 0;
    // The group's elements besides the identity.
    std::vector<Isometry> images;
};

// The flip of the rectangle onto itself: a mirror (never a glide, so flipping
// twice gives back the map) or a half turn, of all of its kind the one that
// leaves the fewest hexes without an image.
Mapping flipMapping(Flip flip, const HexRect& rect, bool evenColumnsLower);
// One part copied onto the rest: the left half onto the right (Side::Left), ...,
// the top-left quarter onto the other three (mirror only), or by a half turn
// about the centre from the given side. Nothing for a point symmetry of a
// quarter. Of equally good choices, the one whose axis lies in the part copied.
// Without `withCells` only the group is worked out (`from` stays empty).
std::optional<Mapping> symmetryMapping(Side from, Mode mode, const HexRect& rect, bool evenColumnsLower,
                                       bool withCells = true);

// The images of a hex under a mapping's group that lie inside its rectangle,
// the hex itself not included.
std::vector<Offset> imagesOf(const Mapping& mapping, Offset hex, bool evenColumnsLower);

// A shape of hexes carried by cube offsets from its anchor, with values per hex
// (`layers` values each, layer after layer in the hex's slot). It keeps its shape
// wherever it is placed, as it never looks at column parity but at placement.
struct Stamp {
    int layers = 1;
    int layer = 0; // the layer of a one-layer stamp
    std::vector<Cube> cells;
    std::vector<std::uint8_t> values; // cells.size() * layers, cell after cell

    void rotate(); // a sixth of a turn clockwise
    void flipLeftRight();
    void flipTopBottom();
    // The hex each cell covers with the anchor on `anchor`.
    std::vector<Offset> placedAt(Offset anchor, bool evenColumnsLower) const;
    friend bool operator==(const Stamp&, const Stamp&) = default;
};

// The hexes of the rectangle as a stamp anchored at its centre hex; values come
// from value(layer, hex).
template <typename Value>
Stamp stampOf(const HexRect& rect, int layers, int layer, bool evenColumnsLower, Value value) {
    Stamp stamp;
    stamp.layers = layers;
    stamp.layer = layer;
    const Cube anchor = toCube({rect.left + rect.columns / 2, rect.top + rect.rows / 2}, evenColumnsLower);
    for (int c = 0; c < rect.columns; ++c) {
        for (int r = 0; r < rect.rows; ++r) {
            const Offset hex{rect.left + c, rect.top + r};
            stamp.cells.push_back(toCube(hex, evenColumnsLower) - anchor);
            for (int l = 0; l < layers; ++l) {
                stamp.values.push_back(value(layers == 1 ? layer : l, hex));
            }
        }
    }
    return stamp;
}

} // namespace hexsymmetry
