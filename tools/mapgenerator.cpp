// SPDX-License-Identifier: MIT
#include "mapgenerator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace amp {

namespace {

// Terrain values by layer 0's name table.
enum Terrain : std::uint8_t {
    Clear = 0,
    City = 1,
    Forest = 3,
    Sand = 4,
    Swamp = 5,
    Ocean = 6,
    River = 7,
    Port = 9,
    Stream = 10,
    Rough = 13,
    Lakes = 14,
    Bocage = 16,
};

enum Layer {
    TerrainType = 0,
    HeightLow = 4,
    HeightHigh = 5,
    Roads = 6,
    CityLow = 7,
    CityHigh = 8,
    TextId = 9
};

class Generator {
public:
    Generator(int columns, int rows, std::uint32_t seed) : columns_(columns), rows_(rows), random_(seed) {
        image_.header.bytes = {
            below(256), below(256), static_cast<std::uint8_t>(columns), 0, static_cast<std::uint8_t>(rows),
            0,          5};
        image_.records.resize(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
    }

    MapImage run() {
        if (image_.records.empty()) {
            return image_;
        }
        regions();
        heights();
        rivers();
        cities();
        return image_;
    }

private:
    std::uint8_t below(int n) { return static_cast<std::uint8_t>(random_() % static_cast<unsigned>(n)); }
    int belowInt(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
    CellRecord& at(int column, int row) {
        return image_.records[static_cast<std::size_t>(recordOfCell(column, row, rows_))];
    }

    // Each hex takes the terrain of the nearest of a few region centres.
    void regions() {
        static constexpr std::array<std::uint8_t, 10> kinds = {Clear, Clear, Clear, Forest, Forest,
                                                               Rough, Sand,  Swamp, Bocage, Lakes};
        const int count = std::max(3, columns_ * rows_ / 60);
        struct Centre {
            int column, row;
            std::uint8_t terrain;
        };
        std::vector<Centre> centres;
        for (int i = 0; i < count; ++i) {
            centres.push_back({belowInt(columns_), belowInt(rows_), kinds[below(kinds.size())]});
        }
        // An ocean along the western edge on larger maps.
        const int coast = columns_ >= 20 ? std::max(1, columns_ / 12) : 0;
        for (int c = 0; c < columns_; ++c) {
            for (int r = 0; r < rows_; ++r) {
                const auto nearest = std::min_element(centres.begin(), centres.end(), [&](auto& a, auto& b) {
                    return (a.column - c) * (a.column - c) + (a.row - r) * (a.row - r) <
                           (b.column - c) * (b.column - c) + (b.row - r) * (b.row - r);
                });
                at(c, r)[TerrainType] = c < coast ? std::uint8_t{Ocean} : nearest->terrain;
            }
        }
    }

    void heights() {
        const double phase = below(100) / 10.0;
        for (int c = 0; c < columns_; ++c) {
            for (int r = 0; r < rows_; ++r) {
                auto& record = at(c, r);
                if (record[TerrainType] == Ocean) {
                    continue;
                }
                const double h = 60 + 50 * std::sin(c * 0.21 + phase) + 40 * std::cos(r * 0.17 - phase) +
                                 20 * std::sin((c + r) * 0.5);
                record[HeightLow] = static_cast<std::uint8_t>(std::clamp(h, 0.0, 255.0));
                record[HeightHigh] = record[HeightLow] > 120 ? 1 : 0;
            }
        }
    }

    // Rivers wander from the top edge downwards.
    void rivers() {
        const int count = std::max(1, columns_ / 15);
        for (int i = 0; i < count; ++i) {
            int c = belowInt(columns_);
            const auto kind = below(3) == 0 ? Stream : River;
            for (int r = 0; r < rows_; ++r) {
                auto& terrain = at(c, r)[TerrainType];
                if (terrain != Ocean) {
                    terrain = kind;
                }
                c = std::clamp(c + belowInt(3) - 1, 0, columns_ - 1);
            }
        }
    }

    // Cities with names (text ids), joined in turn by roads (layer 6 holds a
    // direction bit per hex side).
    void cities() {
        const int count = std::max(2, columns_ * rows_ / 150);
        int lastColumn = -1, lastRow = -1;
        for (int i = 0; i < count; ++i) {
            const int c = belowInt(columns_), r = belowInt(rows_);
            auto& record = at(c, r);
            record[TerrainType] = record[TerrainType] == Ocean ? Port : City;
            record[CityLow] = static_cast<std::uint8_t>(i + 1);
            record[CityHigh] = static_cast<std::uint8_t>((i + 1) >> 8);
            record[TextId] = static_cast<std::uint8_t>(100 + i);
            record[TextId + 1] = static_cast<std::uint8_t>((100 + i) >> 8);
            if (lastColumn >= 0) {
                road(lastColumn, lastRow, c, r);
            }
            lastColumn = c;
            lastRow = r;
        }
    }

    void road(int c, int r, int toColumn, int toRow) {
        while (c != toColumn || r != toRow) {
            auto& roads = at(c, r)[Roads];
            if (c != toColumn) {
                roads |= c < toColumn ? 0x02 : 0x10;
                c += c < toColumn ? 1 : -1;
            } else {
                roads |= r < toRow ? 0x04 : 0x01;
                r += r < toRow ? 1 : -1;
            }
        }
    }

    int columns_;
    int rows_;
    std::mt19937 random_;
    MapImage image_;
};

} // namespace

MapImage generateMap(int columns, int rows, std::uint32_t seed) {
    columns = std::clamp(columns, 0, MaxDimension);
    rows = std::clamp(rows, 0, MaxDimension);
    return Generator(columns, rows, seed).run();
}

} // namespace amp
