// SPDX-License-Identifier: MIT
#include "mapstats.h"

#include <algorithm>

namespace amp {

namespace {

// Adds hexes one by one; the height's mean is made once at the end.
class Counter {
public:
    explicit Counter(const MapLayers& map)
        : terrain_(map.layers[TerrainLayer]), roads_(map.layers[RoadsLayer]), city1_(map.layers[CityLayer1]),
          city2_(map.layers[CityLayer2]), height_(map.layers[HeightLayer]) {}

    void add(int slot) {
        ++stats_.hexes;
        ++stats_.terrain[terrain_.at(slot)];
        stats_.cities += city1_.at(slot) != 0 || city2_.at(slot) != 0 ? 1 : 0;
        stats_.roads += roads_.at(slot) != 0 ? 1 : 0;
        const int height = height_.at(slot);
        stats_.heightMin = stats_.hexes == 1 ? height : std::min(stats_.heightMin, height);
        stats_.heightMax = std::max(stats_.heightMax, height);
        heightSum_ += height;
    }

    HexStats take() {
        stats_.heightMean = stats_.hexes == 0 ? 0.0 : static_cast<double>(heightSum_) / stats_.hexes;
        return stats_;
    }

private:
    LayerBytes terrain_, roads_, city1_, city2_, height_;
    HexStats stats_;
    long long heightSum_ = 0;
};

} // namespace

HexStats statsOfMap(const MapLayers& map) {
    Counter counter(map);
    const int count = map.hexCount();
    for (int slot = 0; slot < count; ++slot) {
        counter.add(slot);
    }
    return counter.take();
}

HexStats statsOfHexes(const MapLayers& map, std::span<const std::int32_t> slots) {
    Counter counter(map);
    const int count = map.hexCount();
    std::vector<bool> counted(static_cast<std::size_t>(count), false);
    for (const std::int32_t slot : slots) {
        if (slot < 0 || slot >= count || counted[static_cast<std::size_t>(slot)]) {
            continue;
        }
        counted[static_cast<std::size_t>(slot)] = true;
        counter.add(slot);
    }
    return counter.take();
}

std::vector<std::int32_t> slotsOfHalf(const MapLayers& map, Half half, int which) {
    // Of n columns (or rows), the first half is 0 .. n/2 - 1 and the second
    // (n+1)/2 .. n - 1: the middle one of an odd count is in neither.
    const bool byColumn = half == Half::LeftRight;
    const int n = byColumn ? map.columns : map.rows;
    const int first = which == 0 ? 0 : (n + 1) / 2;
    const int last = which == 0 ? n / 2 : n; // one past
    std::vector<std::int32_t> slots;
    for (int c = 0; c < map.columns; ++c) {
        for (int r = 0; r < map.rows; ++r) {
            const int along = byColumn ? c : r;
            if (along >= first && along < last) {
                slots.push_back(c * map.rows + r);
            }
        }
    }
    return slots;
}

std::array<HexStats, 2> statsOfHalves(const MapLayers& map, Half half) {
    std::array<HexStats, 2> halves;
    for (int which = 0; which < 2; ++which) {
        Counter counter(map);
        for (const std::int32_t slot : slotsOfHalf(map, half, which)) {
            counter.add(slot);
        }
        halves[static_cast<std::size_t>(which)] = counter.take();
    }
    return halves;
}

SymmetryScore symmetryScore(const MapLayers& map, hexsymmetry::Flip flip) {
    SymmetryScore score;
    score.layer.fill(1);
    const int count = map.hexCount();
    if (count == 0) {
        return score;
    }
    // The mapping gives, for each hex, the hex it would take its values from:
    // its image, or itself when the image is off the map.
    const hexsymmetry::Mapping mapping =
        hexsymmetry::flipMapping(flip, {0, 0, map.columns, map.rows}, map.evenColumnsLower);
    long long equalCells = 0;
    for (int layer = 0; layer < LayerCount; ++layer) {
        const LayerBytes& bytes = map.layers[static_cast<std::size_t>(layer)];
        int equal = 0;
        for (int slot = 0; slot < count; ++slot) {
            equal += bytes.at(slot) == bytes.at(mapping.from[static_cast<std::size_t>(slot)]) ? 1 : 0;
        }
        score.layer[static_cast<std::size_t>(layer)] = static_cast<double>(equal) / count;
        equalCells += equal;
    }
    score.all = static_cast<double>(equalCells) / (static_cast<double>(count) * LayerCount);
    return score;
}

hexsymmetry::Flip flipOfHalf(Half half) {
    return half == Half::LeftRight ? hexsymmetry::Flip::LeftRight : hexsymmetry::Flip::TopBottom;
}

} // namespace amp
