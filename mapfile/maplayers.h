// SPDX-License-Identifier: MIT
// A map's layers as the rules that count and walk it read them: for each layer,
// where its byte of slot 0 lies and how far apart consecutive slots' bytes are
// (slot = column * rows + row, the file's order). Records in a file put a
// layer's bytes 13 apart; a script keeps each layer as one run of bytes. Nothing
// is copied: the bytes must outlive the view.
#pragma once

#include "mapformat.h"
#include "mapimage.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace amp {

// The layers the counting and walking rules read, besides the terrain.
inline constexpr int HeightLayer = 4; // "height b1"
inline constexpr int RoadsLayer = 6;
inline constexpr int CityLayer1 = 7; // "city b1"
inline constexpr int CityLayer2 = 8; // "city b2"

struct LayerBytes {
    const std::uint8_t* first = nullptr;
    std::ptrdiff_t stride = 1;
    int count = 0; // slots that have a byte; the rest read 0, as a hex the file lacks

    std::uint8_t at(int slot) const { return slot < count ? first[slot * stride] : 0; }
};

struct MapLayers {
    int columns = 0;
    int rows = 0;
    bool evenColumnsLower = false;
    std::array<LayerBytes, LayerCount> layers{};

    int hexCount() const { return columns * rows; }
    std::uint8_t at(int layer, int slot) const { return layers[static_cast<std::size_t>(layer)].at(slot); }
};

// The layers of a map read from a file (the records as they lie there).
inline MapLayers layersOf(const MapView& map, bool evenColumnsLower) {
    MapLayers view;
    view.columns = map.header.columns();
    view.rows = map.header.rows();
    view.evenColumnsLower = evenColumnsLower;
    const int records = static_cast<int>(map.recordCount());
    for (int layer = 0; layer < LayerCount; ++layer) {
        view.layers[static_cast<std::size_t>(layer)] = {map.records.data() + layer, RecordSize, records};
    }
    return view;
}

} // namespace amp
