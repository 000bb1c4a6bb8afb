// SPDX-License-Identifier: MIT
// Ways across the map: the cheapest path between two hexes and the territory of
// each of a set of start hexes, by Dijkstra's search over the six neighbours
// with a binary heap (toward one goal, ranked A*-wise by the least the rest of
// the way can cost).
// A path costs the sum of the costs of the hexes it enters: the hex it starts on
// is free, so a path from a hex to itself costs 0, and a start stands on its hex
// even when no one could enter it. Costs are positive; sums that differ by less
// than a billionth of their size count as equal (a sum of 0.1 costs depends on
// the order it is added in).
#pragma once

#include "costtable.h"
#include "hexshapes.h"
#include "maplayers.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace amp {

// The cost of entering each hex of a map, by slot (column * rows + row).
struct CostGrid {
    hexsymmetry::MapShape shape;
    std::vector<double> cost; // ImpassableCost for a hex no one enters
    double at(hexsymmetry::Offset hex) const {
        return cost[static_cast<std::size_t>(hex.column * shape.rows + hex.row)];
    }
};

// Terrain and "roads" of each hex through the table.
CostGrid costGrid(const MapLayers& map, const CostTable& table);

// Whether two sums of costs count as equal.
bool sameCost(double a, double b);

struct Path {
    double cost = 0;
    std::vector<hexsymmetry::Offset> hexes; // from the start to the goal, both included
};

// The least cost path between two hexes of the map, or none when no way leads
// there (or either hex is off the map). Of equally cheap paths, any one.
std::optional<Path> shortestPath(const CostGrid& grid, hexsymmetry::Offset from, hexsymmetry::Offset to);

// The least cost from `from` to every hex (ImpassableCost where no way leads).
std::vector<double> costsFrom(const CostGrid& grid, hexsymmetry::Offset from);

inline constexpr std::int32_t Contested = -1; // equally near two starts or more
inline constexpr std::int32_t Unreached = -2; // impassable, or no start reaches it

struct Territories {
    // By slot: the index of the start the hex belongs to, Contested or Unreached.
    std::vector<std::int32_t> owner;
    // By slot: the least cost from the nearest start (ImpassableCost when unreached).
    std::vector<double> cost;
    std::vector<int> hexes; // by start: how many hexes it holds, its own included
    int contested = 0;
    int unreached = 0;
};

// Each passable hex goes to the start with the least path cost to it; a hex
// equally near two starts is contested. A start always holds its own hex (unless
// another start stands there too: then the hex is contested). Starts off the map
// hold nothing and reach nothing.
Territories territories(const CostGrid& grid, const std::vector<hexsymmetry::Offset>& starts);

} // namespace amp
