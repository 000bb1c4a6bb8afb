// SPDX-License-Identifier: MIT
// Cheapest paths and territories, against the rule as stated: a path costs the
// sum of the costs of the hexes it enters (its first hex is free); a hex
// belongs to the start with the least such cost to it, and is contested when
// two starts tie. Small maps are worked out on paper; random ones are checked
// against a brute-force search (Bellman-Ford over the lattice's neighbours as
// the layout places them, see layeredmap.h).
#include "hexpaths.h"

#include "layeredmap.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace {

using hexsymmetry::Offset;
constexpr double Wall = amp::ImpassableCost;
constexpr int Clear = 0, Forest = 3, Ocean = 6;

amp::CostGrid gridOf(int columns, int rows, bool even, std::vector<double> costs) {
    return amp::CostGrid{{columns, rows, even}, std::move(costs)};
}

// Least costs from `from` to every hex by relaxing every neighbouring pair
// until nothing changes.
std::vector<double> bellmanFord(const amp::CostGrid& grid, Offset from) {
    const int columns = grid.shape.columns, rows = grid.shape.rows;
    std::vector<double> best(grid.cost.size(), Wall);
    best[static_cast<std::size_t>(from.column * rows + from.row)] = 0;
    for (bool changed = true; changed;) {
        changed = false;
        for (int a = 0; a < columns * rows; ++a) {
            for (int b = 0; b < columns * rows; ++b) {
                if (!centresOneWidthApart(a / rows, a % rows, b / rows, b % rows,
                                          grid.shape.evenColumnsLower)) {
                    continue;
                }
                const double through =
                    best[static_cast<std::size_t>(a)] + grid.cost[static_cast<std::size_t>(b)];
                if (through < best[static_cast<std::size_t>(b)]) {
                    best[static_cast<std::size_t>(b)] = through;
                    changed = true;
                }
            }
        }
    }
    return best;
}

// Costs in halves up to 3, and walls: every sum is exact, so ties are exact.
amp::CostGrid randomGrid(std::mt19937& random, int columns, int rows, bool even) {
    const double choices[] = {0.5, 1, 1, 1, 1.5, 2, 3, Wall};
    std::uniform_int_distribution<int> pick(0, 7);
    std::vector<double> costs(static_cast<std::size_t>(columns * rows));
    for (double& cost : costs) {
        cost = choices[pick(random)];
    }
    return gridOf(columns, rows, even, costs);
}

// The path leads from `from` to `to` through neighbours and costs what it says.
void expectValidPath(const amp::CostGrid& grid, const amp::Path& path, Offset from, Offset to) {
    ASSERT_FALSE(path.hexes.empty());
    EXPECT_EQ(path.hexes.front(), from);
    EXPECT_EQ(path.hexes.back(), to);
    double sum = 0;
    for (std::size_t i = 1; i < path.hexes.size(); ++i) {
        const Offset a = path.hexes[i - 1], b = path.hexes[i];
        EXPECT_TRUE(centresOneWidthApart(a.column, a.row, b.column, b.row, grid.shape.evenColumnsLower))
            << a.column << "," << a.row << " -> " << b.column << "," << b.row;
        sum += grid.at(b);
    }
    EXPECT_EQ(sum, path.cost);
}

TEST(ShortestPath, GoesAroundAForestWhenThatIsCheaper) {
    // Two columns of three rows, column 1 lowered half a hex. (0,0) to (0,2):
    // straight down enters (0,1) and (0,2); around enters (1,0), (1,1) (the
    // lowered hexes beside them) and (0,2). With the forest at (0,1) costing 3
    // the straight way costs 4 and the way around 3.
    LayeredMap map(2, 3);
    map.at(amp::TerrainLayer, 0, 1) = Forest;
    auto table = std::get<amp::CostTable>(amp::parseCostTable(R"({"costs": {"Forest": 3}})"));
    const amp::CostGrid grid = amp::costGrid(map.layers(), table);
    const auto path = amp::shortestPath(grid, {0, 0}, {0, 2});
    ASSERT_TRUE(path);
    EXPECT_EQ(path->cost, 3);
    EXPECT_EQ(path->hexes, (std::vector<Offset>{{0, 0}, {1, 0}, {1, 1}, {0, 2}}));

    // At a forest cost of 1.5 the straight way (2.5) is the cheaper.
    table = std::get<amp::CostTable>(amp::parseCostTable(R"({"costs": {"Forest": 1.5}})"));
    const auto straight = amp::shortestPath(amp::costGrid(map.layers(), table), {0, 0}, {0, 2});
    ASSERT_TRUE(straight);
    EXPECT_EQ(straight->cost, 2.5);
    EXPECT_EQ(straight->hexes, (std::vector<Offset>{{0, 0}, {0, 1}, {0, 2}}));
}

TEST(ShortestPath, TakesTheRoadOverWaterAndFindsNoWayWithoutIt) {
    // Three columns of one row: (0,0), (1,0), (2,0) in a line, each the next's
    // neighbour, the middle one Ocean. The only way enters (1,0) and (2,0).
    LayeredMap map(3, 1);
    map.at(amp::TerrainLayer, 1, 0) = Ocean;
    map.at(amp::TerrainLayer, 2, 0) = Forest;
    const auto table = std::get<amp::CostTable>(
        amp::parseCostTable(R"({"road": 0.5, "costs": {"Ocean": null, "Forest": 2}})"));
    EXPECT_FALSE(amp::shortestPath(amp::costGrid(map.layers(), table), {0, 0}, {2, 0}));

    map.at(amp::RoadsLayer, 1, 0) = 9; // a bridge
    const auto path = amp::shortestPath(amp::costGrid(map.layers(), table), {0, 0}, {2, 0});
    ASSERT_TRUE(path);
    EXPECT_EQ(path->cost, 0.5 + 2);
    EXPECT_EQ(path->hexes.size(), 3u);

    // The start is free: leaving the forest for the bridge costs the bridge only.
    const auto back = amp::shortestPath(amp::costGrid(map.layers(), table), {2, 0}, {1, 0});
    ASSERT_TRUE(back);
    EXPECT_EQ(back->cost, 0.5);
}

TEST(ShortestPath, FromAHexToItselfIsFreeAndOffTheMapIsNoWay) {
    const amp::CostGrid grid = gridOf(2, 2, false, {Wall, 1, 1, 1});
    const auto same = amp::shortestPath(grid, {0, 0}, {0, 0});
    ASSERT_TRUE(same);
    EXPECT_EQ(same->cost, 0);
    EXPECT_EQ(same->hexes, (std::vector<Offset>{{0, 0}}));
    // Standing on a wall, one may still leave it.
    const auto out = amp::shortestPath(grid, {0, 0}, {0, 1});
    ASSERT_TRUE(out);
    EXPECT_EQ(out->cost, 1);
    EXPECT_FALSE(amp::shortestPath(grid, {0, 1}, {0, 0})) << "a wall is never entered";
    EXPECT_FALSE(amp::shortestPath(grid, {0, 0}, {2, 0}));
    EXPECT_FALSE(amp::shortestPath(grid, {-1, 0}, {0, 0}));
}

TEST(ShortestPath, MatchesBruteForceForEveryPairOfRandomSmallMaps) {
    std::mt19937 random(42);
    for (int round = 0; round < 12; ++round) {
        const bool even = round % 2 == 1;
        const amp::CostGrid grid = randomGrid(random, 5, 4, even);
        for (int a = 0; a < 20; ++a) {
            const Offset from{a / 4, a % 4};
            const std::vector<double> expected = bellmanFord(grid, from);
            EXPECT_EQ(amp::costsFrom(grid, from), expected);
            for (int b = 0; b < 20; ++b) {
                const Offset to{b / 4, b % 4};
                const auto path = amp::shortestPath(grid, from, to);
                if (expected[static_cast<std::size_t>(b)] == Wall) {
                    EXPECT_FALSE(path) << "round " << round << " " << a << " -> " << b;
                    continue;
                }
                ASSERT_TRUE(path) << "round " << round << " " << a << " -> " << b;
                EXPECT_EQ(path->cost, expected[static_cast<std::size_t>(b)]);
                expectValidPath(grid, *path, from, to);
            }
        }
    }
}

TEST(ShortestPath, TowardOneGoalCostsWhatTheSearchOfEveryHexFinds) {
    // On larger maps, mostly at the cheapest cost with a few dearer hexes: the
    // search toward one goal must find what the search of every hex (checked
    // against brute force above) finds, for every pair.
    std::mt19937 random(5);
    const double choices[] = {0.5, 0.5, 0.5, 0.5, 0.5, 1, 3, Wall};
    std::uniform_int_distribution<int> pick(0, 7);
    for (int round = 0; round < 4; ++round) {
        const int columns = 14, rows = 11;
        std::vector<double> costs(static_cast<std::size_t>(columns * rows));
        for (double& cost : costs) {
            cost = choices[pick(random)];
        }
        const amp::CostGrid grid = gridOf(columns, rows, round % 2 == 1, costs);
        for (int a = 0; a < columns * rows; ++a) {
            const Offset from{a / rows, a % rows};
            const std::vector<double> everyHex = amp::costsFrom(grid, from);
            for (int b = 0; b < columns * rows; ++b) {
                const auto path = amp::shortestPath(grid, from, {b / rows, b % rows});
                ASSERT_EQ(path ? path->cost : Wall, everyHex[static_cast<std::size_t>(b)])
                    << "round " << round << " " << a << " -> " << b;
            }
        }
    }
}

TEST(Territories, SplitALineAtItsMiddleAndStopAtWater) {
    // One column of five hexes, starts at both ends: rows 0-1 and 3-4 are each
    // one's, row 2 is two steps from both.
    LayeredMap map(1, 5);
    const amp::CostTable steps = amp::uniformCosts();
    auto split = amp::territories(amp::costGrid(map.layers(), steps), {{0, 0}, {0, 4}});
    EXPECT_EQ(split.owner, (std::vector<std::int32_t>{0, 0, amp::Contested, 1, 1}));
    EXPECT_EQ(split.hexes, (std::vector<int>{2, 2}));
    EXPECT_EQ(split.contested, 1);
    EXPECT_EQ(split.unreached, 0);

    // Water at row 3 cuts the second start off: it holds its own hex only.
    map.at(amp::TerrainLayer, 0, 3) = Ocean;
    const auto table = std::get<amp::CostTable>(amp::parseCostTable(R"({"costs": {"Ocean": null}})"));
    split = amp::territories(amp::costGrid(map.layers(), table), {{0, 0}, {0, 4}});
    EXPECT_EQ(split.owner, (std::vector<std::int32_t>{0, 0, 0, amp::Unreached, 1}));
    EXPECT_EQ(split.hexes, (std::vector<int>{3, 1}));
    EXPECT_EQ(split.contested, 0);
    EXPECT_EQ(split.unreached, 1);
    EXPECT_EQ(split.cost, (std::vector<double>{0, 1, 2, Wall, 0}));
}

TEST(Territories, MatchBruteForceOnRandomSmallMaps) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> anyHex(0, 19);
    for (int round = 0; round < 60; ++round) {
        const amp::CostGrid grid = randomGrid(random, 5, 4, round % 3 == 0);
        std::vector<Offset> starts;
        const int count = 2 + round % 3;
        for (int i = 0; i < count; ++i) {
            const int slot = anyHex(random);
            starts.push_back({slot / 4, slot % 4});
        }
        std::vector<std::vector<double>> costs;
        for (const Offset& start : starts) {
            costs.push_back(bellmanFord(grid, start));
        }
        const amp::Territories found = amp::territories(grid, starts);
        std::vector<int> hexes(starts.size(), 0);
        int contested = 0, unreached = 0;
        for (std::size_t slot = 0; slot < 20; ++slot) {
            double least = Wall;
            std::vector<std::size_t> nearest;
            for (std::size_t i = 0; i < starts.size(); ++i) {
                if (costs[i][slot] < least) {
                    least = costs[i][slot];
                    nearest = {i};
                } else if (costs[i][slot] == least && least != Wall) {
                    nearest.push_back(i);
                }
            }
            std::int32_t owner = amp::Unreached;
            if (nearest.size() == 1) {
                owner = static_cast<std::int32_t>(nearest[0]);
                ++hexes[nearest[0]];
            } else if (nearest.size() > 1) {
                owner = amp::Contested;
                ++contested;
            } else {
                ++unreached;
            }
            EXPECT_EQ(found.owner[slot], owner) << "round " << round << " slot " << slot;
            EXPECT_EQ(found.cost[slot], least) << "round " << round << " slot " << slot;
        }
        EXPECT_EQ(found.hexes, hexes) << "round " << round;
        EXPECT_EQ(found.contested, contested) << "round " << round;
        EXPECT_EQ(found.unreached, unreached) << "round " << round;
    }
}

} // namespace
