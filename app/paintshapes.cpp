// SPDX-License-Identifier: MIT
#include "paintshapes.h"
#include "hexsymmetry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

namespace paintshapes {

namespace {

using hexsymmetry::Cube;

int distance(const Cube& a, const Cube& b) {
    return std::max({std::abs(a.x - b.x), std::abs(a.y - b.y), std::abs(a.z - b.z)});
}

// The hex that holds a point given in fractional cube coordinates: each
// coordinate rounded, and the one that moved most set from the other two, so
// that the three still add up to 0.
Cube roundCube(double x, double y, double z) {
    int rx = static_cast<int>(std::lround(x));
    int ry = static_cast<int>(std::lround(y));
    int rz = static_cast<int>(std::lround(z));
    const double dx = std::abs(rx - x);
    const double dy = std::abs(ry - y);
    const double dz = std::abs(rz - z);
    if (dx > dy && dx > dz) {
        rx = -ry - rz;
    } else if (dy > dz) {
        ry = -rx - rz;
    } else {
        rz = -rx - ry;
    }
    return {rx, ry, rz};
}

// Each hex once, in the order first met.
void addOnce(std::vector<HexCell>& cells, std::set<std::pair<int, int>>& seen, HexCell hex) {
    if (seen.insert({hex.column, hex.row}).second) {
        cells.push_back(hex);
    }
}

void addBrush(std::vector<HexCell>& cells, std::set<std::pair<int, int>>& seen, const MapShape& map,
              const Cube& centre, int radius) {
    for (int dx = -radius; dx <= radius; ++dx) {
        for (int dy = std::max(-radius, -dx - radius); dy <= std::min(radius, -dx + radius); ++dy) {
            const hexsymmetry::Offset hex =
                hexsymmetry::toOffset(centre + Cube{dx, dy, -dx - dy}, map.evenColumnsLower);
            if (map.contains({hex.column, hex.row})) {
                addOnce(cells, seen, {hex.column, hex.row});
            }
        }
    }
}

} // namespace

std::vector<HexCell> brush(const MapShape& map, HexCell centre, int radius) {
    std::vector<HexCell> cells;
    std::set<std::pair<int, int>> seen;
    addBrush(cells, seen, map, hexsymmetry::toCube({centre.column, centre.row}, map.evenColumnsLower),
             std::max(radius, 0));
    return cells;
}

std::vector<HexCell> line(const MapShape& map, HexCell from, HexCell to, int radius) {
    const Cube a = hexsymmetry::toCube({from.column, from.row}, map.evenColumnsLower);
    const Cube b = hexsymmetry::toCube({to.column, to.row}, map.evenColumnsLower);
    const int steps = distance(a, b);
    // A nudge off the edges between hexes, so that a line along an edge takes the
    // same side all the way.
    constexpr double NudgeX = 1e-6;
    constexpr double NudgeY = 2e-6;
    constexpr double NudgeZ = -3e-6;
    std::vector<HexCell> cells;
    std::set<std::pair<int, int>> seen;
    for (int step = 0; step <= steps; ++step) {
        const double t = steps == 0 ? 0.0 : static_cast<double>(step) / steps;
        const Cube hex = roundCube(a.x + (b.x - a.x) * t + NudgeX, a.y + (b.y - a.y) * t + NudgeY,
                                   a.z + (b.z - a.z) * t + NudgeZ);
        addBrush(cells, seen, map, hex, std::max(radius, 0));
    }
    return cells;
}

std::vector<HexCell> rectangle(const MapShape& map, HexCell corner1, HexCell corner2) {
    std::vector<HexCell> cells;
    const int left = std::max(std::min(corner1.column, corner2.column), 0);
    const int right = std::min(std::max(corner1.column, corner2.column), map.columns - 1);
    const int top = std::max(std::min(corner1.row, corner2.row), 0);
    const int bottom = std::min(std::max(corner1.row, corner2.row), map.rows - 1);
    for (int column = left; column <= right; ++column) {
        for (int row = top; row <= bottom; ++row) {
            cells.push_back({column, row});
        }
    }
    return cells;
}

} // namespace paintshapes
