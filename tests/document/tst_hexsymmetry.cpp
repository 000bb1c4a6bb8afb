// SPDX-License-Identifier: MIT
// The lattice's mirrors and turns against the picture's geometry written out
// apart: a hex's centre at u = 2 + 3 column, v = 1 + 2 row (+1 when lowered), in
// halves of a size across and halves of a hex height down, so that every mirror
// and half turn is exact in whole numbers, and 4 d^2 = du^2 + 3 dv^2.
#include "hexmaths.h"
#include "hexsymmetry.h"

#include <QTest>

#include <algorithm>
#include <map>
#include <set>

using namespace hexsymmetry;

namespace {

struct Point {
    int u = 0;
    int v = 0;
    auto operator<=>(const Point&) const = default;
};

Point centreOf(Offset hex, bool even) {
    return {2 + 3 * hex.column, 1 + 2 * hex.row + (hexmaths::lowered(hex.column, even) ? 1 : 0)};
}

int distance4(Point a, Point b) {
    return (a.u - b.u) * (a.u - b.u) + 3 * (a.v - b.v) * (a.v - b.v);
}

struct Map {
    int columns;
    int rows;
    bool even;
    std::vector<Point> centres; // in the file's order
    std::set<Point> all;
    Map(int c, int r, bool e) : columns(c), rows(r), even(e) {
        for (int column = 0; column < c; ++column) {
            for (int row = 0; row < r; ++row) {
                centres.push_back(centreOf({column, row}, e));
            }
        }
        all = {centres.begin(), centres.end()};
    }
    // How many centres a pixel transform sends off the map's centres.
    template <typename T> int lost(T transform) const {
        return static_cast<int>(std::count_if(centres.begin(), centres.end(),
                                              [&](Point p) { return !all.contains(transform(p)); }));
    }
};

// The least loss over every mirror axis (or centre) halfway between two centres.
int bruteForce(const Map& map, Flip flip) {
    int least = static_cast<int>(map.centres.size());
    for (const Point& p : map.centres) {
        for (const Point& q : map.centres) {
            const int su = p.u + q.u, sv = p.v + q.v;
            least = std::min(least, map.lost([&](Point x) {
                return flip == Flip::LeftRight   ? Point{su - x.u, x.v}
                       : flip == Flip::TopBottom ? Point{x.u, sv - x.v}
                                                 : Point{su - x.u, sv - x.v};
            }));
        }
    }
    return least;
}

// The least number of hexes with one of their three images off the map, over
// every pair of a vertical and a horizontal axis.
int bruteForceQuarter(const Map& map) {
    int least = static_cast<int>(map.centres.size());
    for (const Point& p : map.centres) {
        for (const Point& q : map.centres) {
            const int su = p.u + q.u, sv = p.v + q.v;
            least = std::min(
                least, static_cast<int>(std::count_if(map.centres.begin(), map.centres.end(), [&](Point x) {
                    return !map.all.contains({su - x.u, x.v}) || !map.all.contains({x.u, sv - x.v}) ||
                           !map.all.contains({su - x.u, sv - x.v});
                })));
        }
    }
    return least;
}

struct Shape {
    int columns;
    int rows;
};
const Shape shapes[] = {{1, 1}, {2, 2}, {4, 3}, {5, 4}, {6, 5}, {7, 2}, {9, 2}, {3, 6}};

} // namespace

class HexSymmetryTest : public QObject {
    Q_OBJECT

private slots:
    void cubeCoordinatesFollowTheLayout();
    void flipsLoseTheLeastAndKeepDistances();
    void symmetriesLoseTheLeastAndCopyFromTheSource();
    void stampsKeepTheirShape();
};

void HexSymmetryTest::cubeCoordinatesFollowTheLayout() {
    for (const bool even : {false, true}) {
        for (int column = -3; column < 4; ++column) {
            for (int row = -3; row < 4; ++row) {
                const Cube cube = toCube({column, row}, even);
                QCOMPARE(cube.x + cube.y + cube.z, 0);
                QCOMPARE(toOffset(cube, even), (Offset{column, row}));
                // Hexes a step apart in cube coordinates are neighbours in the picture.
                const Cube step = toCube({column + 1, row}, even) - cube;
                const int steps = (std::abs(step.x) + std::abs(step.y) + std::abs(step.z)) / 2;
                QCOMPARE(steps, 1);
                QCOMPARE(distance4(centreOf({column, row}, even), centreOf({column + 1, row}, even)), 12);
            }
        }
    }
    // Odd columns lowered: column 1 row 0 is below-right of column 0 row 0; even
    // columns lowered: above-right.
    QCOMPARE(toCube({1, 0}, false), (Cube{1, -1, 0}));
    QCOMPARE(toCube({1, 0}, true), (Cube{1, 0, -1}));
}

void HexSymmetryTest::flipsLoseTheLeastAndKeepDistances() {
    for (const Shape& shape : shapes) {
        for (const bool even : {false, true}) {
            const Map map(shape.columns, shape.rows, even);
            for (const Flip flip : {Flip::LeftRight, Flip::TopBottom, Flip::Point}) {
                const QByteArray where = QStringLiteral("%1x%2 even %3 flip %4")
                                             .arg(shape.columns)
                                             .arg(shape.rows)
                                             .arg(even)
                                             .arg(static_cast<int>(flip))
                                             .toUtf8();
                const Mapping mapping = flipMapping(flip, {0, 0, shape.columns, shape.rows}, even);
                QVERIFY2(mapping.withoutImage == bruteForce(map, flip), where);
                // The hexes that move: an involution that keeps every distance.
                std::vector<int> moved;
                for (int i = 0; i < static_cast<int>(mapping.from.size()); ++i) {
                    const int from = mapping.from[static_cast<std::size_t>(i)];
                    if (from != i) {
                        QVERIFY2(mapping.from[static_cast<std::size_t>(from)] == i, where);
                        moved.push_back(i);
                    }
                }
                for (const int p : moved) {
                    for (const int q : moved) {
                        const auto at = [&](int i) { return map.centres[static_cast<std::size_t>(i)]; };
                        const int fp = mapping.from[static_cast<std::size_t>(p)];
                        const int fq = mapping.from[static_cast<std::size_t>(q)];
                        QVERIFY2(distance4(at(p), at(q)) == distance4(at(fp), at(fq)), where);
                    }
                }
            }
        }
    }
    // Known shapes: 5 columns flip left-right exactly; 4 lose a column; a half turn
    // of an even number of columns is exact, of an odd number loses a hex from each
    // column of the kind there are fewer of, or a whole column when that is less.
    QCOMPARE(flipMapping(Flip::LeftRight, {0, 0, 5, 4}, false).withoutImage, 0);
    QCOMPARE(flipMapping(Flip::LeftRight, {0, 0, 4, 3}, false).withoutImage, 3);
    QCOMPARE(flipMapping(Flip::Point, {0, 0, 6, 5}, true).withoutImage, 0);
    QCOMPARE(flipMapping(Flip::Point, {0, 0, 5, 4}, false).withoutImage, 2);
    QCOMPARE(flipMapping(Flip::Point, {0, 0, 9, 2}, false).withoutImage, 2);
    QCOMPARE(flipMapping(Flip::TopBottom, {0, 0, 5, 4}, false).withoutImage, 2);
}

void HexSymmetryTest::symmetriesLoseTheLeastAndCopyFromTheSource() {
    for (const Shape& shape : shapes) {
        for (const bool even : {false, true}) {
            const Map map(shape.columns, shape.rows, even);
            const HexRect rect{0, 0, shape.columns, shape.rows};
            const struct {
                Side side;
                Mode mode;
                int least;
            } cases[] = {{Side::Left, Mode::Mirror, bruteForce(map, Flip::LeftRight)},
                         {Side::Bottom, Mode::Mirror, bruteForce(map, Flip::TopBottom)},
                         {Side::Right, Mode::Point, bruteForce(map, Flip::Point)},
                         {Side::TopLeft, Mode::Mirror, bruteForceQuarter(map)}};
            for (const auto& c : cases) {
                const auto mapping = symmetryMapping(c.side, c.mode, rect, even);
                QVERIFY(mapping);
                QCOMPARE(mapping->withoutImage, c.least);
                // The group keeps distances; after the copy every hex whose images
                // are all inside shows what they show; hexes take from the part copied.
                int notWhole = 0;
                for (int i = 0; i < rect.count(); ++i) {
                    const Offset hex{i / shape.rows, i % shape.rows};
                    const int from = mapping->from[static_cast<std::size_t>(i)];
                    bool whole = true;
                    for (const Isometry& g : mapping->images) {
                        const Offset image = g.apply(hex, even);
                        QCOMPARE(distance4(centreOf(image, even), centreOf(g.apply({0, 0}, even), even)),
                                 distance4(centreOf(hex, even), centreOf({0, 0}, even)));
                        whole = whole && rect.contains(image);
                    }
                    for (const Isometry& g : mapping->images) {
                        const Offset image = g.apply(hex, even);
                        QVERIFY(!whole ||
                                mapping->from[static_cast<std::size_t>(rect.indexOf(image))] == from);
                    }
                    notWhole += whole ? 0 : 1;
                    if (from != i && c.side == Side::Left) {
                        QVERIFY(from / shape.rows < hex.column);
                    }
                    if (from != i && c.side == Side::Bottom) {
                        QVERIFY(from / shape.rows == hex.column && from % shape.rows > hex.row);
                    }
                }
                QCOMPARE(notWhole, c.least);
            }
        }
    }
    QVERIFY(!symmetryMapping(Side::TopLeft, Mode::Point, {0, 0, 4, 4}, false));
    // Of two equally good axes, the one inside the part copied.
    const auto fromLeft = symmetryMapping(Side::Left, Mode::Mirror, {0, 0, 4, 3}, false);
    const auto fromRight = symmetryMapping(Side::Right, Mode::Mirror, {0, 0, 4, 3}, false);
    QCOMPARE(fromLeft->from[3 * 2 + 0], 0);          // column 2 takes column 0 about column 1
    QCOMPARE(fromRight->from[3 * 1 + 0], 3 * 3 + 0); // column 1 takes column 3 about column 2
}

void HexSymmetryTest::stampsKeepTheirShape() {
    for (const bool even : {false, true}) {
        Stamp stamp = stampOf({1, 1, 3, 2}, 1, 4, even, [](int, Offset hex) {
            return static_cast<std::uint8_t>(hex.column * 10 + hex.row);
        });
        QCOMPARE(stamp.cells.size(), std::size_t{6});
        const Stamp original = stamp;
        for (int turn = 0; turn < 6; ++turn) {
            stamp.rotate();
            QCOMPARE(stamp == original, turn == 5);
        }
        stamp.flipLeftRight();
        QVERIFY(!(stamp == original));
        stamp.flipLeftRight();
        stamp.flipTopBottom();
        stamp.flipTopBottom();
        QVERIFY(stamp == original);
        // Placed on a raised and on a lowered column, the picture shows the same
        // shape moved; turned, every distance stays.
        Stamp turned = original;
        turned.rotate();
        const auto raised = original.placedAt({4, 4}, even), lowered = original.placedAt({5, 4}, even);
        const auto turnedAt = turned.placedAt({5, 4}, even);
        const Point r0 = centreOf(raised[0], even), l0 = centreOf(lowered[0], even);
        for (std::size_t i = 0; i < raised.size(); ++i) {
            const Point r = centreOf(raised[i], even), l = centreOf(lowered[i], even);
            QCOMPARE(r.u - r0.u, l.u - l0.u);
            QCOMPARE(r.v - r0.v, l.v - l0.v);
            for (std::size_t j = 0; j < raised.size(); ++j) {
                QCOMPARE(distance4(centreOf(turnedAt[i], even), centreOf(turnedAt[j], even)),
                         distance4(l, centreOf(lowered[j], even)));
            }
        }
    }
}

QTEST_GUILESS_MAIN(HexSymmetryTest)
#include "tst_hexsymmetry.moc"
