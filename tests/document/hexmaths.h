// SPDX-License-Identifier: MIT
// Hex maths written out from the rule, apart from the program's own: the hex in
// column c, row r of a map of flat-topped hexes of size s (centre to corner) has
// its centre at x = s (1 + 1.5 c), y = s sqrt(3)/2 (1 + 2 r + 1 if column c is
// the lowered kind). A point belongs to the hex with the nearest centre, and to
// none when it lies outside that hex's six sides.
#pragma once

#include <cmath>
#include <limits>
#include <optional>

namespace hexmaths {

struct Hex {
    int column = -1;
    int row = -1;
    friend bool operator==(const Hex&, const Hex&) = default;
};

inline bool lowered(int column, bool evenColumnsLower) {
    return (column % 2 != 0) != evenColumnsLower;
}

inline double centreX(double size, int column) {
    return size * (1 + 1.5 * column);
}
inline double centreY(double size, int column, int row, bool evenColumnsLower) {
    return size * std::sqrt(3.0) / 2 * (1 + 2 * row + (lowered(column, evenColumnsLower) ? 1 : 0));
}

// What a brute-force search of every hex says of a point: the hex that holds
// it (if any), and whether a second centre lies almost as near (a point on an
// edge, which either side may take).
struct Finding {
    std::optional<Hex> hex;
    bool onEdge = false;
};

inline Finding find(int columns, int rows, double size, bool evenColumnsLower, double x, double y) {
    double best = std::numeric_limits<double>::infinity(), second = best;
    Hex nearest;
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            const double dx = x - centreX(size, c), dy = y - centreY(size, c, r, evenColumnsLower);
            const double d = std::hypot(dx, dy);
            if (d < best) {
                second = best;
                best = d;
                nearest = {c, r};
            } else if (d < second) {
                second = d;
            }
        }
    }
    const double margin = 1e-6 * size;
    Finding finding;
    finding.onEdge = second - best < margin;
    // Inside the six sides: within half a hex's height above and below, and
    // inside the four slanted sides, whose distance from the centre is the same.
    const double dx = std::abs(x - centreX(size, nearest.column));
    const double dy = std::abs(y - centreY(size, nearest.column, nearest.row, evenColumnsLower));
    const double apothem = size * std::sqrt(3.0) / 2;
    const double slanted = dx * std::sqrt(3.0) / 2 + dy / 2;
    if (dy <= apothem - margin && slanted <= apothem - margin) {
        finding.hex = nearest;
    } else if (dy < apothem + margin && slanted < apothem + margin) {
        finding.onEdge = true; // on the map's outer edge
    }
    return finding;
}

} // namespace hexmaths
