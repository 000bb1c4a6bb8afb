// SPDX-License-Identifier: MIT
// One value replaced by another, the one rule of Edit > Replace and `amptool
// replace`: on the layers asked for, every cell whose byte is `from` takes `to`,
// and a value replaced by itself changes nothing. The editor leaves some cells out
// (those outside the selection, and typed texts such as "007", which stay as
// typed); amptool takes every hex, those a short file lacks as zeros.
#pragma once

#include "mapimage.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace amp {

struct ValueReplace {
    std::uint8_t from = 0;
    std::uint8_t to = 0;
    std::array<bool, LayerCount> layers{}; // the layers replaced on

    static ValueReplace onLayer(int layer, std::uint8_t from, std::uint8_t to) {
        ValueReplace replace{from, to, {}};
        replace.layers[static_cast<std::size_t>(layer)] = true;
        return replace;
    }
    static ValueReplace onEveryLayer(std::uint8_t from, std::uint8_t to) {
        ValueReplace replace{from, to, {}};
        replace.layers.fill(true);
        return replace;
    }
};

// Calls `change(layer, slot)` for every cell the replace changes, layer by layer
// and slot by slot (column * rows + row), over `cells` slots a layer; the byte of a
// cell is `byteAt(layer, slot)`, and `takes(layer, slot)` may leave a cell out.
template <typename ByteAt, typename Takes, typename Change>
void forEachReplaced(const ValueReplace& rule, std::size_t cells, ByteAt&& byteAt, Takes&& takes,
                     Change&& change) {
    if (rule.from == rule.to) {
        return;
    }
    for (int layer = 0; layer < LayerCount; ++layer) {
        if (!rule.layers[static_cast<std::size_t>(layer)]) {
            continue;
        }
        for (std::size_t slot = 0; slot < cells; ++slot) {
            if (byteAt(layer, slot) == rule.from && takes(layer, slot)) {
                change(layer, slot);
            }
        }
    }
}

// The replace on a map's records; how many cells changed. Hexes without a record
// are not touched: a caller that counts them as zeros completes the map first.
long long replaceValues(MapImage& map, const ValueReplace& rule);

} // namespace amp
