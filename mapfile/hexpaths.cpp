// SPDX-License-Identifier: MIT
#include "hexpaths.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>
#include <utility>

namespace amp {

using hexsymmetry::Offset;

namespace {

// Calls `visit(slot)` for each neighbour of the hex in slot `slot` that lies on
// the map: a lowered column's side neighbours are its own row and the one
// below, a raised column's the row above and its own.
template <typename Visit> void forNeighbours(const hexsymmetry::MapShape& shape, int slot, Visit visit) {
    const int rows = shape.rows;
    const int c = slot / rows;
    const int r = slot % rows;
    const bool lowered = ((c & 1) != 0) != shape.evenColumnsLower; // as hexsymmetry::isLowered, inlined
    const int up = lowered ? 0 : -1;
    if (r > 0) {
        visit(slot - 1);
    }
    if (r + 1 < rows) {
        visit(slot + 1);
    }
    for (const int side : {c - 1, c + 1}) {
        if (side < 0 || side >= shape.columns) {
            continue;
        }
        for (const int row : {r + up, r + up + 1}) {
            if (row >= 0 && row < rows) {
                visit(side * rows + row);
            }
        }
    }
}

struct Entry {
    double cost; // so far
    int slot;
};
struct Later {
    bool operator()(const Entry& a, const Entry& b) const { return a.cost > b.cost; }
};
// A binary heap, cheapest on top; an entry whose cost a cheaper way has beaten
// since is skipped when it comes up.
class Heap : public std::priority_queue<Entry, std::vector<Entry>, Later> {
public:
    explicit Heap(std::size_t room) { c.reserve(room); }
};

int slotOf(const hexsymmetry::MapShape& shape, Offset hex) {
    return hex.column * shape.rows + hex.row;
}

} // namespace

CostGrid costGrid(const MapLayers& map, const CostTable& table) {
    CostGrid grid;
    grid.shape = {map.columns, map.rows, map.evenColumnsLower};
    const int count = map.hexCount();
    grid.cost.resize(static_cast<std::size_t>(count));
    const LayerBytes& terrain = map.layers[TerrainLayer];
    const LayerBytes& roads = map.layers[RoadsLayer];
    for (int slot = 0; slot < count; ++slot) {
        grid.cost[static_cast<std::size_t>(slot)] = table.costOf(terrain.at(slot), roads.at(slot));
    }
    return grid;
}

bool sameCost(double a, double b) {
    if (a == b) {
        return true;
    }
    if (std::isinf(a) || std::isinf(b)) {
        return false;
    }
    return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b));
}

namespace {

// Steps between two hexes, in "doubled" coordinates (X the column, Y twice the
// row plus one in a lowered column): each step moves X by 1 and Y by 1, or Y
// by 2 alone.
int stepsBetween(const hexsymmetry::MapShape& shape, int a, int b) {
    const int rows = shape.rows;
    const auto doubledY = [&](int slot) {
        const int c = slot / rows;
        return 2 * (slot % rows) + ((((c & 1) != 0) != shape.evenColumnsLower) ? 1 : 0);
    };
    const int dx = std::abs(a / rows - b / rows);
    const int dy = std::abs(doubledY(a) - doubledY(b));
    return dx + std::max(0, (dy - dx) / 2);
}

// The search from `from`, stopping once `goal` is settled (never when it is
// -1); fills the least costs and each hex's predecessor. Toward a goal it is
// A*: a hex is ranked by its cost so far plus the cheapest any hex costs times
// its steps to the goal, which never overestimates the rest of the way and
// grows by at most a step's cost from a hex to its neighbour, so the first time
// the goal comes up its cost is the least. Without a goal it is Dijkstra's.
void search(const CostGrid& grid, int from, int goal, std::vector<double>& best, std::vector<int>* previous) {
    const std::size_t count = grid.cost.size();
    best.assign(count, ImpassableCost);
    if (previous) {
        previous->assign(count, -1);
    }
    double cheapest = 0;
    if (goal != -1) {
        cheapest = ImpassableCost;
        for (const double cost : grid.cost) {
            cheapest = std::min(cheapest, cost);
        }
        cheapest = cheapest == ImpassableCost ? 0 : cheapest;
    }
    const auto rest = [&](int slot) {
        return goal == -1 ? 0.0 : cheapest * stepsBetween(grid.shape, slot, goal);
    };
    Heap heap(count);
    best[static_cast<std::size_t>(from)] = 0;
    heap.push({rest(from), from});
    while (!heap.empty()) {
        const auto [rank, slot] = heap.top();
        heap.pop();
        const double cost = best[static_cast<std::size_t>(slot)];
        if (rank > cost + rest(slot)) {
            continue; // reached since by a cheaper way
        }
        if (slot == goal) {
            return;
        }
        forNeighbours(grid.shape, slot, [&](int next) {
            const double through = cost + grid.cost[static_cast<std::size_t>(next)];
            if (through < best[static_cast<std::size_t>(next)]) {
                best[static_cast<std::size_t>(next)] = through;
                if (previous) {
                    (*previous)[static_cast<std::size_t>(next)] = slot;
                }
                heap.push({through + rest(next), next});
            }
        });
    }
}

} // namespace

std::optional<Path> shortestPath(const CostGrid& grid, Offset from, Offset to) {
    if (!grid.shape.contains(from) || !grid.shape.contains(to)) {
        return std::nullopt;
    }
    const int start = slotOf(grid.shape, from);
    const int goal = slotOf(grid.shape, to);
    std::vector<double> best;
    std::vector<int> previous;
    search(grid, start, goal, best, &previous);
    if (best[static_cast<std::size_t>(goal)] == ImpassableCost) {
        return std::nullopt;
    }
    Path path;
    path.cost = best[static_cast<std::size_t>(goal)];
    for (int slot = goal; slot != -1; slot = previous[static_cast<std::size_t>(slot)]) {
        path.hexes.push_back({slot / grid.shape.rows, slot % grid.shape.rows});
    }
    std::reverse(path.hexes.begin(), path.hexes.end());
    return path;
}

std::vector<double> costsFrom(const CostGrid& grid, Offset from) {
    std::vector<double> best;
    if (!grid.shape.contains(from)) {
        best.assign(grid.cost.size(), ImpassableCost);
        return best;
    }
    search(grid, slotOf(grid.shape, from), -1, best, nullptr);
    return best;
}

Territories territories(const CostGrid& grid, const std::vector<Offset>& starts) {
    // One search from all starts at once. A hex's owner is the union of its
    // cheapest predecessors' owners: one start, or Contested once two differ.
    // Costs are positive, so every such predecessor is settled before the hex.
    const std::size_t count = grid.cost.size();
    Territories result;
    result.owner.assign(count, Unreached);
    result.cost.assign(count, ImpassableCost);
    result.hexes.assign(starts.size(), 0);
    Heap heap(count);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        if (!grid.shape.contains(starts[i])) {
            continue;
        }
        const auto slot = static_cast<std::size_t>(slotOf(grid.shape, starts[i]));
        const bool taken = result.owner[slot] != Unreached;
        result.owner[slot] = taken ? Contested : static_cast<std::int32_t>(i);
        if (!taken) {
            result.cost[slot] = 0;
            heap.push({0.0, static_cast<int>(slot)});
        }
    }
    while (!heap.empty()) {
        const auto [cost, slot] = heap.top();
        heap.pop();
        if (cost > result.cost[static_cast<std::size_t>(slot)]) {
            continue;
        }
        const std::int32_t owner = result.owner[static_cast<std::size_t>(slot)];
        forNeighbours(grid.shape, slot, [&](int next) {
            const auto n = static_cast<std::size_t>(next);
            const double through = cost + grid.cost[n];
            if (through == ImpassableCost) {
                return;
            }
            if (sameCost(through, result.cost[n])) {
                if (result.owner[n] != owner) {
                    result.owner[n] = Contested;
                }
            } else if (through < result.cost[n]) {
                result.cost[n] = through;
                result.owner[n] = owner;
                heap.push({through, next});
            }
        });
    }
    for (const std::int32_t owner : result.owner) {
        if (owner == Contested) {
            ++result.contested;
        } else if (owner == Unreached) {
            ++result.unreached;
        } else {
            ++result.hexes[static_cast<std::size_t>(owner)];
        }
    }
    return result;
}

} // namespace amp
