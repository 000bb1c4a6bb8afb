// SPDX-License-Identifier: MIT
// The hexes a paint shape covers on a map of columns x rows hexes: the brush (a
// hex and those within a radius of it, by the lattice's own distance), a line
// between two hexes drawn with the brush, and a rectangle of [column][row]
// cells. Hexes off the map are left out; each hex is named once.
#pragma once

#include "hexgeometry.h"

#include <vector>

namespace paintshapes {

struct MapShape {
    int columns = 0;
    int rows = 0;
    bool evenColumnsLower = false;
    bool contains(HexCell hex) const {
        return hex.column >= 0 && hex.row >= 0 && hex.column < columns && hex.row < rows;
    }
};

std::vector<HexCell> brush(const MapShape& map, HexCell centre, int radius);
// The hexes a straight line from the centre of `from` to the centre of `to`
// passes through, as many as its length in hex steps plus one, each widened by
// the brush of `radius`.
std::vector<HexCell> line(const MapShape& map, HexCell from, HexCell to, int radius);
// Every hex of the columns between the two corners' columns and the rows between
// their rows, the corners included: a rectangle of the cell grid, which in the
// picture is a band with a jagged top and bottom edge.
std::vector<HexCell> rectangle(const MapShape& map, HexCell corner1, HexCell corner2);

} // namespace paintshapes
