// SPDX-License-Identifier: MIT
// Two maps compared, the one rule for `amptool diff` (every format) and the
// editor's Compare With: cells compare by the byte a write stores for them (a hex
// a short file lacks holds zeros), over the hexes both maps have, column after
// column and row after row; the header bytes other than the shape's compare on
// their own; the hexes beyond the other map's edges are only in one of them.
#pragma once

#include "mapimage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace amp {

struct MapDifferences {
    std::vector<int> headerBytes; // the header bytes that differ, the shape's two left out
    bool sameShape = true;
    int commonColumns = 0;
    int commonRows = 0;
    long long onlyInA = 0; // hexes of A beyond B's edges
    long long onlyInB = 0;
    std::array<long long, LayerCount> layerCells{}; // differing cells of each layer
    long long hexes = 0;                            // hexes that differ on some layer
    long long cells = 0;

    // Whether the maps are the same map (their files may still differ in bytes
    // no hex holds: see MapView).
    bool same() const { return headerBytes.empty() && sameShape && cells == 0; }
};

// What can be told before any cell: the header bytes, the shapes, the hexes
// only one map has.
inline MapDifferences compareOutlines(const MapView& a, const MapView& b) {
    MapDifferences result;
    for (int i = 0; i < HeaderSize; ++i) {
        if (i != ColumnsByte && i != RowsByte &&
            a.header.bytes[static_cast<std::size_t>(i)] != b.header.bytes[static_cast<std::size_t>(i)]) {
            result.headerBytes.push_back(i);
        }
    }
    result.sameShape = a.header.columns() == b.header.columns() && a.header.rows() == b.header.rows();
    result.commonColumns = std::min(a.header.columns(), b.header.columns());
    result.commonRows = std::min(a.header.rows(), b.header.rows());
    const long long common = static_cast<long long>(result.commonColumns) * result.commonRows;
    result.onlyInA = a.header.hexCount() - common;
    result.onlyInB = b.header.hexCount() - common;
    return result;
}

// Compares the maps, calling `hex(column, row, a, b)` for each hex both have that
// differs, with its two records (13 bytes each), in order of column, then row.
template <typename Hex> MapDifferences compareMaps(const MapView& a, const MapView& b, Hex&& hex) {
    MapDifferences result = compareOutlines(a, b);
    const int rowsA = a.header.rows(), rowsB = b.header.rows();
    static constexpr CellRecord Missing{};
    const auto record = [](const MapView& map, int k) {
        const auto at = static_cast<std::size_t>(k);
        return at < map.recordCount() ? map.records.data() + at * RecordSize : Missing.data();
    };
    for (int column = 0; column < result.commonColumns; ++column) {
        for (int row = 0; row < result.commonRows; ++row) {
            const std::uint8_t* x = record(a, recordOfCell(column, row, rowsA));
            const std::uint8_t* y = record(b, recordOfCell(column, row, rowsB));
            if (std::equal(x, x + RecordSize, y)) {
                continue;
            }
            for (std::size_t j = 0; j < RecordSize; ++j) {
                if (x[j] != y[j]) {
                    ++result.layerCells[j];
                    ++result.cells;
                }
            }
            ++result.hexes;
            hex(column, row, x, y);
        }
    }
    return result;
}

inline MapDifferences compareMaps(const MapView& a, const MapView& b) {
    return compareMaps(a, b, [](int, int, const std::uint8_t*, const std::uint8_t*) {});
}

} // namespace amp
