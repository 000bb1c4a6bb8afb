// SPDX-License-Identifier: MIT
// The hexes a paint shape covers on a map of columns x rows hexes, in plain C++
// (the picture, scripts and the console tool share them): the brush (a hex and
// those within a radius of it, by the lattice's own distance), a line between
// two hexes drawn with the brush, a rectangle of [column][row] cells, and the
// region a flood fill takes. The lattice is hexsymmetry's: flat-topped hexes,
// every other column half a hex lower (odd columns, or even ones when asked).
// Hexes off the map are left out; each hex is named once.
#pragma once

#include "hexsymmetry.h"

#include <functional>
#include <vector>

namespace hexsymmetry {

struct MapShape {
    int columns = 0;
    int rows = 0;
    bool evenColumnsLower = false;
    bool contains(Offset hex) const {
        return hex.column >= 0 && hex.row >= 0 && hex.column < columns && hex.row < rows;
    }
};

// The number of steps between two hexes, each step to a neighbour.
int distance(Offset a, Offset b, bool evenColumnsLower);

// The neighbours on the map, in the order up, up-right, down-right, down,
// down-left, up-left.
std::vector<Offset> neighbours(const MapShape& map, Offset hex);

// The hex and every hex at most `radius` steps from it (a negative radius is 0).
std::vector<Offset> brush(const MapShape& map, Offset centre, int radius);
// The hexes a straight line from the centre of `from` to the centre of `to`
// passes through, as many as its length in hex steps plus one, from `from` to
// `to` in order, each widened by the brush of `radius`.
std::vector<Offset> line(const MapShape& map, Offset from, Offset to, int radius);
// Every hex of the columns between the two corners' columns and the rows between
// their rows, the corners included: a rectangle of the cell grid, which in the
// picture is a band with a jagged top and bottom edge.
std::vector<Offset> rectangle(const MapShape& map, Offset corner1, Offset corner2);

// The hexes a flood fill from `start` takes: `start` itself, and every hex for
// which `joins` holds that is reached from it through neighbours for which it
// holds too; nearest first, each once. Nothing when `start` is off the map.
std::vector<Offset> floodRegion(const MapShape& map, Offset start, const std::function<bool(Offset)>& joins);

} // namespace hexsymmetry
