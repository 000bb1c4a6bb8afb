// SPDX-License-Identifier: MIT
// The shapes the brush, a line, a rectangle and a flood fill cover, checked
// against the lattice as it is laid out rather than against the cube maths the
// code uses: flat-topped hexes of size 1 (centre to corner), the centre of
// [c][r] at x = 1.5 c, y = sqrt(3) (r + 1/2 when column c is lowered), odd
// columns lowered (even ones when asked). Two hexes are neighbours when their
// centres lie one hex's width, sqrt(3), apart, and the distance between two
// hexes is the fewest steps between neighbours that lead from one to the other
// (found by a breadth-first search over that rule, off the map too).
#include "hexshapes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

using hexsymmetry::MapShape;
using hexsymmetry::Offset;
using Cells = std::set<std::pair<int, int>>;

const double Sqrt3 = std::sqrt(3.0);

bool lowered(int column, bool evenColumnsLower) {
    return (column % 2 != 0) != evenColumnsLower;
}

double centreX(int column) {
    return 1.5 * column;
}

double centreY(Offset hex, bool evenColumnsLower) {
    return Sqrt3 * (hex.row + (lowered(hex.column, evenColumnsLower) ? 0.5 : 0.0));
}

double apart(Offset a, Offset b, bool evenColumnsLower) {
    return std::hypot(centreX(a.column) - centreX(b.column),
                      centreY(a, evenColumnsLower) - centreY(b, evenColumnsLower));
}

bool adjacent(Offset a, Offset b, bool evenColumnsLower) {
    return std::abs(apart(a, b, evenColumnsLower) - Sqrt3) < 1e-9;
}

// Every hex whose centre is sqrt(3) from this one's: they lie in the columns
// beside it and its own, at most a row above or below.
std::vector<Offset> around(Offset hex, bool evenColumnsLower) {
    std::vector<Offset> found;
    for (int dc = -1; dc <= 1; ++dc) {
        for (int dr = -1; dr <= 1; ++dr) {
            const Offset other{hex.column + dc, hex.row + dr};
            if (adjacent(hex, other, evenColumnsLower)) {
                found.push_back(other);
            }
        }
    }
    return found;
}

// Steps from `from` to every hex at most `most` steps away, off the map too.
std::map<std::pair<int, int>, int> stepsFrom(Offset from, int most, bool evenColumnsLower) {
    std::map<std::pair<int, int>, int> steps{{{from.column, from.row}, 0}};
    std::vector<Offset> ring = {from};
    for (int step = 1; step <= most; ++step) {
        std::vector<Offset> next;
        for (const Offset& hex : ring) {
            for (const Offset& other : around(hex, evenColumnsLower)) {
                if (steps.emplace(std::make_pair(other.column, other.row), step).second) {
                    next.push_back(other);
                }
            }
        }
        ring = std::move(next);
    }
    return steps;
}

int stepsBetween(Offset a, Offset b, bool evenColumnsLower) {
    for (int most = 0;; ++most) {
        const auto steps = stepsFrom(a, most, evenColumnsLower);
        if (steps.count({b.column, b.row}) > 0) {
            return steps.at({b.column, b.row});
        }
    }
}

Cells cellsOf(const std::vector<Offset>& hexes) {
    Cells cells;
    for (const Offset& hex : hexes) {
        cells.insert({hex.column, hex.row});
    }
    return cells;
}

std::vector<std::pair<int, int>> listOf(const std::vector<Offset>& hexes) {
    std::vector<std::pair<int, int>> list;
    for (const Offset& hex : hexes) {
        list.emplace_back(hex.column, hex.row);
    }
    return list;
}

bool isOnMap(const MapShape& map, int column, int row) {
    return column >= 0 && row >= 0 && column < map.columns && row < map.rows;
}

// The brush of a radius as the rule states it: the hexes of the map at most
// `radius` steps from the centre.
Cells brushByRule(const MapShape& map, Offset centre, int radius) {
    Cells cells;
    for (const auto& [hex, steps] : stepsFrom(centre, radius, map.evenColumnsLower)) {
        if (isOnMap(map, hex.first, hex.second)) {
            cells.insert(hex);
        }
    }
    return cells;
}

TEST(Neighbours, AreEveryHexOneWidthAwayFromUpClockwise) {
    // The direction of each from the centre: up, then a sixth of a turn clockwise each.
    const double directions[6][2] = {{0, -Sqrt3}, {1.5, -Sqrt3 / 2}, {1.5, Sqrt3 / 2},
                                     {0, Sqrt3},  {-1.5, Sqrt3 / 2}, {-1.5, -Sqrt3 / 2}};
    for (const bool even : {false, true}) {
        const MapShape map{6, 5, even};
        for (int c = 0; c < map.columns; ++c) {
            for (int r = 0; r < map.rows; ++r) {
                const std::vector<Offset> found = hexsymmetry::neighbours(map, {c, r});
                Cells expected;
                for (const Offset& other : around({c, r}, even)) {
                    if (map.contains(other)) {
                        expected.insert({other.column, other.row});
                    }
                }
                EXPECT_EQ(cellsOf(found), expected) << c << "," << r << " even " << even;
                // In order: each later one further clockwise from up.
                int last = -1;
                for (const Offset& other : found) {
                    const double dx = centreX(other.column) - centreX(c);
                    const double dy = centreY(other, even) - centreY({c, r}, even);
                    int direction = -1;
                    for (int d = 0; d < 6; ++d) {
                        if (std::hypot(dx - directions[d][0], dy - directions[d][1]) < 1e-9) {
                            direction = d;
                        }
                    }
                    EXPECT_GT(direction, last) << c << "," << r << " even " << even;
                    last = direction;
                }
            }
        }
    }
}

TEST(Distance, IsTheFewestStepsBetweenNeighbours) {
    for (const bool even : {false, true}) {
        for (int c1 = 0; c1 < 5; ++c1) {
            for (int r1 = 0; r1 < 4; ++r1) {
                const auto steps = stepsFrom({c1, r1}, 8, even);
                for (int c2 = 0; c2 < 5; ++c2) {
                    for (int r2 = 0; r2 < 4; ++r2) {
                        EXPECT_EQ(hexsymmetry::distance({c1, r1}, {c2, r2}, even), steps.at({c2, r2}))
                            << c1 << "," << r1 << " to " << c2 << "," << r2 << " even " << even;
                    }
                }
            }
        }
    }
}

TEST(Brush, WorkedCases) {
    // Radius 0, or less: the hex alone.
    EXPECT_EQ(listOf(hexsymmetry::brush({5, 5, false}, {2, 2}, 0)),
              (std::vector<std::pair<int, int>>{{2, 2}}));
    EXPECT_EQ(listOf(hexsymmetry::brush({5, 5, false}, {2, 2}, -3)),
              (std::vector<std::pair<int, int>>{{2, 2}}));
    // Radius 1: the hex and its six neighbours, which depend on the layout.
    EXPECT_EQ(cellsOf(hexsymmetry::brush({5, 5, false}, {2, 2}, 1)),
              (Cells{{2, 2}, {2, 1}, {3, 1}, {3, 2}, {2, 3}, {1, 2}, {1, 1}}));
    EXPECT_EQ(cellsOf(hexsymmetry::brush({5, 5, true}, {2, 2}, 1)),
              (Cells{{2, 2}, {2, 1}, {3, 2}, {3, 3}, {2, 3}, {1, 3}, {1, 2}}));
    // In a corner, what lies off the map is left out.
    EXPECT_EQ(cellsOf(hexsymmetry::brush({5, 5, false}, {0, 0}, 1)), (Cells{{0, 0}, {1, 0}, {0, 1}}));
    EXPECT_EQ(cellsOf(hexsymmetry::brush({5, 5, true}, {0, 0}, 1)), (Cells{{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
    // Radius 2 in the open, around [3][3] (a lowered column): 1 + 6 + 12 hexes.
    // Its own column two rows up and down; the columns beside it hold its two
    // side neighbours (rows 3 and 4) and one hex above and below those; the
    // columns two away, the three hexes beside those (rows 2-4).
    const Cells radius2{{3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {2, 2}, {2, 3}, {2, 4}, {2, 5}, {4, 2},
                        {4, 3}, {4, 4}, {4, 5}, {1, 2}, {1, 3}, {1, 4}, {5, 2}, {5, 3}, {5, 4}};
    const std::vector<Offset> hexes = hexsymmetry::brush({7, 7, false}, {3, 3}, 2);
    EXPECT_EQ(hexes.size(), 19U);
    EXPECT_EQ(cellsOf(hexes), radius2);
    // A radius past the map's far corner covers the map, each hex once, however large.
    for (const int radius : {5, 1000, std::numeric_limits<int>::max()}) {
        EXPECT_EQ(hexsymmetry::brush({5, 4, false}, {0, 0}, radius).size(), 20U) << radius;
        EXPECT_EQ(hexsymmetry::line({5, 4, true}, {4, 3}, {0, 0}, radius).size(), 20U) << radius;
    }
    // [3][3] and [4][3] are five steps from [0][0]: down-right three times, then down.
    EXPECT_EQ(hexsymmetry::brush({5, 4, false}, {0, 0}, 4).size(), 18U);
}

TEST(Brush, IsEveryHexOfTheMapWithinTheRadius) {
    for (const bool even : {false, true}) {
        for (const MapShape& map : {MapShape{7, 6, even}, MapShape{6, 5, even}, MapShape{1, 4, even}}) {
            for (int c = 0; c < map.columns; ++c) {
                for (int r = 0; r < map.rows; ++r) {
                    for (int radius = 0; radius <= 3; ++radius) {
                        const std::vector<Offset> hexes = hexsymmetry::brush(map, {c, r}, radius);
                        EXPECT_EQ(cellsOf(hexes), brushByRule(map, {c, r}, radius))
                            << c << "," << r << " radius " << radius << " even " << even;
                        EXPECT_EQ(cellsOf(hexes).size(), hexes.size()); // each once
                    }
                }
            }
        }
    }
}

TEST(Line, WorkedCases) {
    using List = std::vector<std::pair<int, int>>;
    // Down a column.
    EXPECT_EQ(listOf(hexsymmetry::line({5, 5, false}, {1, 0}, {1, 3}, 0)),
              (List{{1, 0}, {1, 1}, {1, 2}, {1, 3}}));
    // Four steps down to the right: [0][0] is raised with odd columns lowered,
    // so the hex down-right of it is [1][0], then [2][1], [3][1], [4][2]. With
    // even columns lowered the same two ends are joined through other hexes.
    EXPECT_EQ(listOf(hexsymmetry::line({5, 5, false}, {0, 0}, {4, 2}, 0)),
              (List{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    EXPECT_EQ(listOf(hexsymmetry::line({5, 5, true}, {0, 0}, {4, 2}, 0)),
              (List{{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}));
    // Drawn the other way, the same hexes from the other end.
    EXPECT_EQ(listOf(hexsymmetry::line({5, 5, false}, {4, 2}, {0, 0}, 0)),
              (List{{4, 2}, {3, 1}, {2, 1}, {1, 0}, {0, 0}}));
    // From a hex to itself: that hex, widened by the brush.
    EXPECT_EQ(listOf(hexsymmetry::line({5, 5, false}, {2, 2}, {2, 2}, 0)), (List{{2, 2}}));
    EXPECT_EQ(cellsOf(hexsymmetry::line({5, 5, false}, {2, 2}, {2, 2}, 1)),
              cellsOf(hexsymmetry::brush({5, 5, false}, {2, 2}, 1)));
    // With radius 1, the hexes of the column and those beside it (odd columns
    // lowered: column 1 is, so its side neighbours are its own row and the next).
    EXPECT_EQ(cellsOf(hexsymmetry::line({3, 5, false}, {1, 1}, {1, 2}, 1)),
              (Cells{{1, 0}, {1, 1}, {1, 2}, {1, 3}, {0, 1}, {0, 2}, {0, 3}, {2, 1}, {2, 2}, {2, 3}}));
}

// Between two hexes n steps apart: n + 1 hexes, the first and last the ends,
// each a neighbour of the one before, each the hex (or one of two equally near)
// whose centre is nearest the point a step's share of the way along the
// straight line between the ends' centres.
TEST(Line, IsTheHexesNearestEvenStepsAlongTheLine) {
    for (const bool even : {false, true}) {
        const MapShape map{10, 9, even};
        for (int c1 = 2; c1 <= 7; ++c1) {
            for (int r1 = 2; r1 <= 6; ++r1) {
                for (int c2 = 2; c2 <= 7; ++c2) {
                    for (int r2 = 2; r2 <= 6; ++r2) {
                        const Offset from{c1, r1}, to{c2, r2};
                        const std::vector<Offset> hexes = hexsymmetry::line(map, from, to, 0);
                        const int n = stepsBetween(from, to, even);
                        const auto where = [&] {
                            return ::testing::Message()
                                   << c1 << "," << r1 << " to " << c2 << "," << r2 << " even " << even;
                        };
                        ASSERT_EQ(hexes.size(), static_cast<std::size_t>(n + 1)) << where();
                        EXPECT_EQ(hexes.front(), from) << where();
                        EXPECT_EQ(hexes.back(), to) << where();
                        EXPECT_EQ(cellsOf(hexes).size(), hexes.size()) << where();
                        for (int i = 0; i <= n; ++i) {
                            if (i > 0) {
                                EXPECT_TRUE(adjacent(hexes[std::size_t(i) - 1], hexes[std::size_t(i)], even))
                                    << where() << " step " << i;
                            }
                            const double t = n == 0 ? 0.0 : double(i) / n;
                            const double x = centreX(c1) + (centreX(c2) - centreX(c1)) * t;
                            const double y =
                                centreY(from, even) + (centreY(to, even) - centreY(from, even)) * t;
                            double nearest = 1e9;
                            for (int c = 0; c < map.columns; ++c) {
                                for (int r = 0; r < map.rows; ++r) {
                                    nearest = std::min(nearest,
                                                       std::hypot(x - centreX(c), y - centreY({c, r}, even)));
                                }
                            }
                            const Offset hex = hexes[std::size_t(i)];
                            EXPECT_LT(std::hypot(x - centreX(hex.column), y - centreY(hex, even)),
                                      nearest + 1e-6)
                                << where() << " step " << i;
                        }
                    }
                }
            }
        }
    }
}

// Across the map between two hexes of a row whose columns are alike, the line
// runs along the edges between the hexes of the other columns: it keeps to one
// side of them all the way, a straight row rather than a zigzag.
TEST(Line, AlongEdgesKeepsToOneSide) {
    for (const bool even : {false, true}) {
        const MapShape map{12, 7, even};
        for (int row = 1; row <= 5; ++row) {
            for (int c1 = 0; c1 < map.columns; ++c1) {
                for (int c2 = c1 % 2; c2 < map.columns; c2 += 2) {
                    if (std::abs(c2 - c1) < 4) {
                        continue;
                    }
                    std::set<int> sides;
                    for (const Offset& hex : hexsymmetry::line(map, {c1, row}, {c2, row}, 0)) {
                        if (hex.column % 2 != c1 % 2) {
                            sides.insert(hex.row - row);
                        }
                    }
                    EXPECT_EQ(sides.size(), 1U) << c1 << " to " << c2 << " row " << row << " even " << even;
                }
            }
        }
    }
}

// Widened by the brush: every hex of the map within the radius of a hex of the
// thin line, each once, the hexes of the thin line that lie off the map
// included (a line between two hexes of the top row may pass above it).
TEST(Line, WidenedIsTheBrushAroundEveryHexOfTheThinLine) {
    constexpr int Margin = 2; // even: the columns keep their kind
    for (const bool even : {false, true}) {
        const MapShape big{10, 9, even};
        const MapShape small{6, 5, even};
        for (int radius = 1; radius <= 2; ++radius) {
            for (int c1 = 0; c1 < small.columns; ++c1) {
                for (int r1 = 0; r1 < small.rows; r1 += 2) {
                    for (int c2 = 0; c2 < small.columns; c2 += 2) {
                        for (int r2 = 0; r2 < small.rows; ++r2) {
                            // The thin line drawn whole, two columns and rows further in on a
                            // larger map (the same layout there), and moved back.
                            const std::vector<Offset> thin = hexsymmetry::line(
                                big, {c1 + Margin, r1 + Margin}, {c2 + Margin, r2 + Margin}, 0);
                            Cells expected;
                            for (const Offset& hex : thin) {
                                const Cells around =
                                    brushByRule(small, {hex.column - Margin, hex.row - Margin}, radius);
                                expected.insert(around.begin(), around.end());
                            }
                            const std::vector<Offset> wide =
                                hexsymmetry::line(small, {c1, r1}, {c2, r2}, radius);
                            EXPECT_EQ(cellsOf(wide), expected) << c1 << "," << r1 << " to " << c2 << "," << r2
                                                               << " radius " << radius << " even " << even;
                            EXPECT_EQ(cellsOf(wide).size(), wide.size());
                        }
                    }
                }
            }
        }
    }
}

TEST(Rectangle, IsTheCellsBetweenTheCorners) {
    // [3][1] to [1][2]: columns 1-3, rows 1-2, whichever corner comes first.
    const Cells expected{{1, 1}, {1, 2}, {2, 1}, {2, 2}, {3, 1}, {3, 2}};
    EXPECT_EQ(cellsOf(hexsymmetry::rectangle({5, 4, false}, {3, 1}, {1, 2})), expected);
    EXPECT_EQ(cellsOf(hexsymmetry::rectangle({5, 4, true}, {1, 2}, {3, 1})), expected);
    // Corners off the map: the part on it.
    EXPECT_EQ(cellsOf(hexsymmetry::rectangle({2, 2, false}, {-1, 1}, {5, 9})), (Cells{{0, 1}, {1, 1}}));
    EXPECT_TRUE(hexsymmetry::rectangle({2, 2, false}, {3, 0}, {5, 1}).empty());

    for (const bool even : {false, true}) {
        const MapShape map{5, 4, even};
        for (int c1 = -2; c1 <= 6; ++c1) {
            for (int r1 = -2; r1 <= 5; ++r1) {
                for (int c2 = -2; c2 <= 6; ++c2) {
                    for (int r2 = -2; r2 <= 5; ++r2) {
                        Cells between;
                        for (int c = 0; c < map.columns; ++c) {
                            for (int r = 0; r < map.rows; ++r) {
                                if (std::min(c1, c2) <= c && c <= std::max(c1, c2) && std::min(r1, r2) <= r &&
                                    r <= std::max(r1, r2)) {
                                    between.insert({c, r});
                                }
                            }
                        }
                        const std::vector<Offset> hexes = hexsymmetry::rectangle(map, {c1, r1}, {c2, r2});
                        EXPECT_EQ(cellsOf(hexes), between) << c1 << "," << r1 << " to " << c2 << "," << r2;
                        EXPECT_EQ(cellsOf(hexes).size(), hexes.size());
                    }
                }
            }
        }
    }
}

TEST(FloodRegion, FollowsTheLayout) {
    // 3 x 2, [0][0] and [1][1] marked: with odd columns lowered they do not
    // touch ([0][0] is raised, its right-hand neighbours are rows -1 and 0);
    // with even columns lowered they do.
    const Cells marked{{0, 0}, {1, 1}};
    const auto joins = [&marked](Offset hex) { return marked.count({hex.column, hex.row}) > 0; };
    EXPECT_EQ(listOf(hexsymmetry::floodRegion({3, 2, false}, {0, 0}, joins)),
              (std::vector<std::pair<int, int>>{{0, 0}}));
    EXPECT_EQ(cellsOf(hexsymmetry::floodRegion({3, 2, true}, {0, 0}, joins)), marked);
    // The start is taken whatever it holds; off the map, nothing.
    EXPECT_EQ(listOf(hexsymmetry::floodRegion({3, 2, false}, {2, 0}, joins)),
              (std::vector<std::pair<int, int>>{{2, 0}}));
    EXPECT_TRUE(hexsymmetry::floodRegion({3, 2, false}, {3, 0}, joins).empty());
    EXPECT_TRUE(hexsymmetry::floodRegion({3, 2, false}, {0, -1}, joins).empty());
}

// On random patterns: the region is the start and the marked hexes reached
// from it through marked neighbours, nearest first.
TEST(FloodRegion, IsTheConnectedPartOfThePattern) {
    std::mt19937 random(20240611);
    for (const bool even : {false, true}) {
        const MapShape map{9, 7, even};
        for (int round = 0; round < 40; ++round) {
            Cells marked;
            for (int c = 0; c < map.columns; ++c) {
                for (int r = 0; r < map.rows; ++r) {
                    if (random() % 100 < 55) {
                        marked.insert({c, r});
                    }
                }
            }
            const Offset start{int(random() % 9), int(random() % 7)};
            // Grown ring by ring through hexes one width apart.
            std::map<std::pair<int, int>, int> steps{{{start.column, start.row}, 0}};
            std::vector<Offset> ring = {start};
            for (int step = 1; !ring.empty(); ++step) {
                std::vector<Offset> next;
                for (const Offset& hex : ring) {
                    for (const Offset& other : around(hex, even)) {
                        const std::pair<int, int> cell{other.column, other.row};
                        if (marked.count(cell) > 0 && steps.emplace(cell, step).second) {
                            next.push_back(other);
                        }
                    }
                }
                ring = std::move(next);
            }
            const std::vector<Offset> region = hexsymmetry::floodRegion(map, start, [&marked](Offset hex) {
                return marked.count({hex.column, hex.row}) > 0;
            });
            Cells expected;
            for (const auto& [cell, step] : steps) {
                expected.insert(cell);
            }
            EXPECT_EQ(cellsOf(region), expected) << "round " << round << " even " << even;
            EXPECT_EQ(cellsOf(region).size(), region.size());
            for (std::size_t i = 1; i < region.size(); ++i) {
                EXPECT_LE(steps.at({region[i - 1].column, region[i - 1].row}),
                          steps.at({region[i].column, region[i].row}));
            }
        }
    }
}

} // namespace
