// SPDX-License-Identifier: MIT
#include "hexsymmetry.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <tuple>

namespace hexsymmetry {

namespace {

int offsetOf(bool evenColumnsLower) {
    return evenColumnsLower ? 1 : 0;
}

int lowered(int column, bool evenColumnsLower) {
    return isLowered(column, evenColumnsLower) ? 1 : 0;
}

int doubledY(Offset hex, bool evenColumnsLower) {
    return 2 * hex.row + lowered(hex.column, evenColumnsLower);
}

// The first and last doubled coordinate of the rectangle: a mirror or half turn
// that maps it onto itself sends the sum of the two to itself.
int xSum(const HexRect& rect) {
    return 2 * rect.left + rect.columns - 1;
}
int ySum(const HexRect& rect) {
    return 2 * rect.top + 2 * (rect.top + rect.rows - 1) + 1;
}

// Ranks candidates: fewest hexes without an image, then the caller's order.
using Rank = std::tuple<int, int, int>;

Isometry best(const std::vector<Isometry>& candidates, const HexRect& rect, bool evenColumnsLower,
              const std::function<Rank(const Isometry&, int lost)>& rank) {
    Isometry chosen = candidates.front();
    std::optional<Rank> top;
    for (const Isometry& candidate : candidates) {
        const Rank r = rank(candidate, rect.count() - candidate.insideCount(rect, evenColumnsLower));
        if (!top || r < *top) {
            top = r;
            chosen = candidate;
        }
    }
    return chosen;
}

// Every mirror or half turn of the kind with some hex of the rectangle inside
// it: mirrors about each column (left-right) or each half row (top-bottom),
// half turns about the centre of every hex and every pair of neighbours near the
// middle (farther out, each column loses more than a nearer centre would).
std::vector<Isometry> candidates(Flip flip, const HexRect& rect) {
    std::vector<Isometry> all;
    const int lastA = 2 * (rect.left + rect.columns - 1);
    const int lastB = 4 * (rect.top + rect.rows - 1) + 2;
    const int middleB = ySum(rect) - 1;
    for (int a = 2 * rect.left; a <= lastA; ++a) {
        if (flip == Flip::LeftRight && a % 2 == 0) {
            all.push_back({-1, 1, a, 0});
        } else if (flip == Flip::Point) {
            for (int b = middleB - 2; b <= middleB + 4; ++b) {
                if ((a + b) % 2 == 0) {
                    all.push_back({-1, -1, a, b});
                }
            }
        }
    }
    if (flip == Flip::TopBottom) {
        for (int b = 4 * rect.top; b <= lastB; b += 2) {
            all.push_back({1, -1, 0, b});
        }
    }
    return all;
}

bool inSource(Side from, Mode mode, const Isometry& axes, int x, int y) {
    const int ax = axes.a, by = axes.b; // the axes or the centre, doubled again
    if (mode == Mode::Mirror) {
        switch (from) {
        case Side::Left:
            return 2 * x <= ax;
        case Side::Right:
            return 2 * x >= ax;
        case Side::Top:
            return 2 * y <= by;
        case Side::Bottom:
            return 2 * y >= by;
        case Side::TopLeft:
            return 2 * x <= ax && 2 * y <= by;
        }
    }
    switch (from) {
    case Side::Left:
        return 2 * x < ax || (2 * x == ax && 2 * y <= by);
    case Side::Right:
        return 2 * x > ax || (2 * x == ax && 2 * y >= by);
    case Side::Top:
        return 2 * y < by || (2 * y == by && 2 * x <= ax);
    default:
        return 2 * y > by || (2 * y == by && 2 * x >= ax);
    }
}

} // namespace

bool isLowered(int column, bool evenColumnsLower) {
    return ((column & 1) == 1) != evenColumnsLower; // -1 is odd too
}

Cube toCube(Offset hex, bool evenColumnsLower) {
    const int z = (doubledY(hex, evenColumnsLower) - hex.column - offsetOf(evenColumnsLower)) / 2;
    return {hex.column, -hex.column - z, z};
}

Offset toOffset(Cube hex, bool evenColumnsLower) {
    const int y = 2 * hex.z + hex.x + offsetOf(evenColumnsLower);
    return {hex.x, (y - lowered(hex.x, evenColumnsLower)) / 2};
}

Cube rotated60(Cube hex) {
    return {-hex.z, -hex.x, -hex.y};
}
Cube mirroredLeftRight(Cube hex) {
    return {-hex.x, -hex.z, -hex.y};
}
Cube mirroredTopBottom(Cube hex) {
    return {hex.x, hex.z, hex.y};
}

Offset Isometry::apply(Offset hex, bool evenColumnsLower) const {
    const int x = xSign * hex.column + a;
    const int y = ySign * doubledY(hex, evenColumnsLower) + b;
    return {x, (y - lowered(x, evenColumnsLower)) / 2};
}

int Isometry::insideCount(const HexRect& rect, bool evenColumnsLower) const {
    const int bottom = rect.top + rect.rows - 1;
    int inside = 0;
    for (int column = rect.left; column < rect.left + rect.columns; ++column) {
        const int image = xSign * column + a;
        if (image < rect.left || image >= rect.left + rect.columns) {
            continue;
        }
        // The rows whose image row lies in [top, bottom]; a + b even makes the
        // halves exact.
        const int l = lowered(column, evenColumnsLower), li = lowered(image, evenColumnsLower);
        int first = 0, last = 0;
        if (ySign > 0) {
            first = rect.top + (li - l - b) / 2;
            last = bottom + (li - l - b) / 2;
        } else {
            first = (b - l - li) / 2 - bottom;
            last = (b - l - li) / 2 - rect.top;
        }
        first = std::max(first, rect.top);
        last = std::min(last, bottom);
        inside += std::max(0, last - first + 1);
    }
    return inside;
}

Mapping flipMapping(Flip flip, const HexRect& rect, bool evenColumnsLower) {
    Mapping mapping;
    mapping.rect = rect;
    if (rect.count() <= 0) {
        return mapping;
    }
    const int x0 = xSum(rect), y0 = ySum(rect);
    const Isometry chosen =
        best(candidates(flip, rect), rect, evenColumnsLower, [&](const Isometry& i, int lost) {
            const int fromMiddle = (flip == Flip::TopBottom ? 0 : std::abs(i.a - x0)) +
                                   (flip == Flip::LeftRight ? 0 : std::abs(i.b - y0));
            return Rank{lost, fromMiddle, i.a * 4096 + i.b};
        });
    mapping.images = {chosen};
    mapping.from.resize(static_cast<std::size_t>(rect.count()));
    for (int c = 0; c < rect.columns; ++c) {
        for (int r = 0; r < rect.rows; ++r) {
            const Offset hex{rect.left + c, rect.top + r};
            const int own = rect.indexOf(hex);
            const Offset source = chosen.apply(hex, evenColumnsLower); // a flip is its own inverse
            const bool inside = rect.contains(source);
            mapping.from[static_cast<std::size_t>(own)] = inside ? rect.indexOf(source) : own;
            mapping.withoutImage += inside ? 0 : 1;
        }
    }
    return mapping;
}

std::optional<Mapping> symmetryMapping(Side from, Mode mode, const HexRect& rect, bool evenColumnsLower,
                                       bool withCells) {
    if (mode == Mode::Point && from == Side::TopLeft) {
        return std::nullopt;
    }
    Mapping mapping;
    mapping.rect = rect;
    if (rect.count() <= 0) {
        return mapping;
    }
    // Of equally good axes, the one in the part copied: the lower coordinate for
    // the left or top part.
    const int xOrder = from == Side::Right ? -1 : from == Side::Left || from == Side::TopLeft ? 1 : 0;
    const int yOrder = from == Side::Bottom ? -1 : from == Side::Top || from == Side::TopLeft ? 1 : 0;
    const auto rank = [&](const Isometry& i, int lost) { return Rank{lost, xOrder * i.a, yOrder * i.b}; };
    Isometry axes; // the mirror axes or the centre of the half turn, as a and b
    if (mode == Mode::Point || from == Side::TopLeft) {
        std::vector<Isometry> turns = candidates(Flip::Point, rect);
        if (mode == Mode::Mirror) { // two mirrors about a column and a half row
            std::erase_if(turns, [](const Isometry& i) { return i.a % 2 != 0 || i.b % 2 != 0; });
        }
        axes = best(turns, rect, evenColumnsLower, rank);
        mapping.images = {axes};
        if (mode == Mode::Mirror) {
            mapping.images = {{-1, 1, axes.a, 0}, {1, -1, 0, axes.b}, axes};
        }
    } else {
        const Flip flip = from == Side::Left || from == Side::Right ? Flip::LeftRight : Flip::TopBottom;
        axes = best(candidates(flip, rect), rect, evenColumnsLower, rank);
        mapping.images = {axes};
    }
    if (!withCells) {
        return mapping;
    }
    mapping.from.resize(static_cast<std::size_t>(rect.count()));
    for (int c = 0; c < rect.columns; ++c) {
        for (int r = 0; r < rect.rows; ++r) {
            const Offset hex{rect.left + c, rect.top + r};
            const int own = rect.indexOf(hex);
            int source = own;
            bool whole = true;
            const bool copied = inSource(from, mode, axes, hex.column, doubledY(hex, evenColumnsLower));
            for (const Isometry& image : mapping.images) {
                const Offset other = image.apply(hex, evenColumnsLower);
                const bool inside = rect.contains(other);
                whole = whole && inside;
                if (!copied && inside && source == own &&
                    inSource(from, mode, axes, other.column, doubledY(other, evenColumnsLower))) {
                    source = rect.indexOf(other);
                }
            }
            mapping.from[static_cast<std::size_t>(own)] = source;
            mapping.withoutImage += whole ? 0 : 1;
        }
    }
    return mapping;
}

std::vector<Offset> imagesOf(const Mapping& mapping, Offset hex, bool evenColumnsLower) {
    std::vector<Offset> images;
    for (const Isometry& image : mapping.images) {
        const Offset other = image.apply(hex, evenColumnsLower);
        if (mapping.rect.contains(other) && other != hex &&
            std::find(images.begin(), images.end(), other) == images.end()) {
            images.push_back(other);
        }
    }
    return images;
}

void Stamp::rotate() {
    std::transform(cells.begin(), cells.end(), cells.begin(), rotated60);
}
void Stamp::flipLeftRight() {
    std::transform(cells.begin(), cells.end(), cells.begin(), mirroredLeftRight);
}
void Stamp::flipTopBottom() {
    std::transform(cells.begin(), cells.end(), cells.begin(), mirroredTopBottom);
}

std::vector<Offset> Stamp::placedAt(Offset anchor, bool evenColumnsLower) const {
    const Cube origin = toCube(anchor, evenColumnsLower);
    std::vector<Offset> placed;
    placed.reserve(cells.size());
    for (const Cube& cell : cells) {
        placed.push_back(toOffset(origin + cell, evenColumnsLower));
    }
    return placed;
}

} // namespace hexsymmetry
