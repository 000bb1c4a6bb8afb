// SPDX-License-Identifier: MIT
// A small map for the tests of paths, territories and statistics: each layer a
// run of bytes in slot order (column * rows + row), and the lattice as it is
// laid out: flat-topped hexes, the centre of [c][r] at x = 1.5 c,
// y = sqrt(3) (r + 1/2 when column c is lowered), two hexes neighbours when
// their centres are sqrt(3) apart. Nothing here asks the code under test.
#pragma once

#include "maplayers.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

struct LayeredMap {
    int columns = 0;
    int rows = 0;
    bool evenColumnsLower = false;
    std::array<std::vector<std::uint8_t>, amp::LayerCount> bytes;

    LayeredMap(int c, int r, bool even = false) : columns(c), rows(r), evenColumnsLower(even) {
        for (auto& layer : bytes) {
            layer.assign(static_cast<std::size_t>(c * r), 0);
        }
    }
    std::uint8_t& at(int layer, int column, int row) {
        return bytes[static_cast<std::size_t>(layer)][static_cast<std::size_t>(column * rows + row)];
    }
    amp::MapLayers layers() const {
        amp::MapLayers view;
        view.columns = columns;
        view.rows = rows;
        view.evenColumnsLower = evenColumnsLower;
        for (int layer = 0; layer < amp::LayerCount; ++layer) {
            const auto& run = bytes[static_cast<std::size_t>(layer)];
            view.layers[static_cast<std::size_t>(layer)] = {run.data(), 1, static_cast<int>(run.size())};
        }
        return view;
    }
};

inline bool centresOneWidthApart(int c1, int r1, int c2, int r2, bool evenColumnsLower) {
    const auto y = [&](int c, int r) {
        const bool lowered = (c % 2 != 0) != evenColumnsLower;
        return std::sqrt(3.0) * (r + (lowered ? 0.5 : 0.0));
    };
    const double apart = std::hypot(1.5 * (c1 - c2), y(c1, r1) - y(c2, r2));
    return std::abs(apart - std::sqrt(3.0)) < 1e-9;
}
