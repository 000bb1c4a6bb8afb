// SPDX-License-Identifier: MIT
#include "hexshapes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>

namespace hexsymmetry {

namespace {

// A brush wider than this covers the largest map from any hex near it; a wider
// one is this one, which keeps the sums below far from overflowing.
constexpr int LargestRadius = 1 << 20;

int cubeDistance(const Cube& a, const Cube& b) {
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

// Hexes of the map, each once, in the order first met.
class HexList {
public:
    explicit HexList(const MapShape& map)
        : map_(map), seen_(static_cast<std::size_t>(std::max(map.columns, 0)) *
                               static_cast<std::size_t>(std::max(map.rows, 0)),
                           false) {}

    void add(Offset hex) {
        if (!map_.contains(hex)) {
            return;
        }
        const auto slot = static_cast<std::size_t>(hex.column) * static_cast<std::size_t>(map_.rows) +
                          static_cast<std::size_t>(hex.row);
        if (!seen_[slot]) {
            seen_[slot] = true;
            hexes_.push_back(hex);
        }
    }
    // Column by column (cube x is the column), the rows of the column that lie
    // within the radius and on the map: work in proportion to what is painted,
    // however wide the brush.
    void addBrush(const Cube& centre, int radius) {
        radius = std::clamp(radius, 0, LargestRadius);
        const int first = std::max(-radius, -centre.x);
        const int last = std::min(radius, map_.columns - 1 - centre.x);
        for (int dx = first; dx <= last; ++dx) {
            // Along a column, one more of cube y is one row up.
            const int yFirst = std::max(-radius, -dx - radius);
            const int yLast = std::min(radius, -dx + radius);
            const Offset top = toOffset(centre + Cube{dx, yLast, -dx - yLast}, map_.evenColumnsLower);
            const Offset bottom = toOffset(centre + Cube{dx, yFirst, -dx - yFirst}, map_.evenColumnsLower);
            for (int row = std::max(top.row, 0); row <= std::min(bottom.row, map_.rows - 1); ++row) {
                add({top.column, row});
            }
        }
    }
    std::vector<Offset> take() { return std::move(hexes_); }

private:
    const MapShape& map_;
    std::vector<bool> seen_;
    std::vector<Offset> hexes_;
};

} // namespace

int distance(Offset a, Offset b, bool evenColumnsLower) {
    return cubeDistance(toCube(a, evenColumnsLower), toCube(b, evenColumnsLower));
}

std::vector<Offset> neighbours(const MapShape& map, Offset hex) {
    // A lowered column's side neighbours are its own row and the one below;
    // a raised column's are the row above and its own.
    const int c = hex.column;
    const int r = hex.row;
    const int up = isLowered(c, map.evenColumnsLower) ? 0 : -1;
    const Offset around[] = {{c, r - 1}, {c + 1, r + up},     {c + 1, r + up + 1},
                             {c, r + 1}, {c - 1, r + up + 1}, {c - 1, r + up}};
    std::vector<Offset> inside;
    for (const Offset& next : around) {
        if (map.contains(next)) {
            inside.push_back(next);
        }
    }
    return inside;
}

std::vector<Offset> brush(const MapShape& map, Offset centre, int radius) {
    HexList hexes(map);
    hexes.addBrush(toCube(centre, map.evenColumnsLower), radius);
    return hexes.take();
}

std::vector<Offset> line(const MapShape& map, Offset from, Offset to, int radius) {
    const Cube a = toCube(from, map.evenColumnsLower);
    const Cube b = toCube(to, map.evenColumnsLower);
    const int steps = cubeDistance(a, b);
    // A nudge off the edges between hexes, so that a line along an edge takes the
    // same side all the way.
    constexpr double NudgeX = 1e-6;
    constexpr double NudgeY = 2e-6;
    constexpr double NudgeZ = -3e-6;
    HexList hexes(map);
    for (int step = 0; step <= steps; ++step) {
        const double t = steps == 0 ? 0.0 : static_cast<double>(step) / steps;
        const Cube hex = roundCube(a.x + (b.x - a.x) * t + NudgeX, a.y + (b.y - a.y) * t + NudgeY,
                                   a.z + (b.z - a.z) * t + NudgeZ);
        hexes.addBrush(hex, radius);
    }
    return hexes.take();
}

std::vector<Offset> rectangle(const MapShape& map, Offset corner1, Offset corner2) {
    std::vector<Offset> hexes;
    const int left = std::max(std::min(corner1.column, corner2.column), 0);
    const int right = std::min(std::max(corner1.column, corner2.column), map.columns - 1);
    const int top = std::max(std::min(corner1.row, corner2.row), 0);
    const int bottom = std::min(std::max(corner1.row, corner2.row), map.rows - 1);
    for (int column = left; column <= right; ++column) {
        for (int row = top; row <= bottom; ++row) {
            hexes.push_back({column, row});
        }
    }
    return hexes;
}

std::vector<Offset> floodRegion(const MapShape& map, Offset start, const std::function<bool(Offset)>& joins) {
    if (!map.contains(start)) {
        return {};
    }
    const auto slotOf = [&map](Offset hex) {
        return static_cast<std::size_t>(hex.column) * static_cast<std::size_t>(map.rows) +
               static_cast<std::size_t>(hex.row);
    };
    std::vector<bool> seen(static_cast<std::size_t>(map.columns) * static_cast<std::size_t>(map.rows), false);
    std::vector<Offset> region;
    std::deque<Offset> queue = {start};
    seen[slotOf(start)] = true;
    while (!queue.empty()) {
        const Offset hex = queue.front();
        queue.pop_front();
        region.push_back(hex);
        for (const Offset& next : neighbours(map, hex)) {
            if (!seen[slotOf(next)] && joins(next)) {
                seen[slotOf(next)] = true;
                queue.push_back(next);
            }
        }
    }
    return region;
}

} // namespace hexsymmetry
