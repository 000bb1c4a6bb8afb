// SPDX-License-Identifier: MIT
// The ".amp" map file: a 7-byte header, then one 13-byte record per hex.
// Every field is a single unsigned byte, so byte order never matters, and the
// file carries no magic number, count or checksum.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace amp {

inline constexpr int HeaderSize = 7;
inline constexpr int RecordSize = 13;
inline constexpr int LayerCount = RecordSize; // byte i of a record is layer i
inline constexpr int MaxDimension = 255;      // columns and rows are single bytes
inline constexpr int MaxHexCount = MaxDimension * MaxDimension;
inline constexpr int MaxFileSize = HeaderSize + RecordSize * MaxHexCount; // 845,332 bytes
inline constexpr int ColumnsByte = 2;
inline constexpr int RowsByte = 4;
inline constexpr int TerrainLayer = 0;

using CellRecord = std::array<std::uint8_t, RecordSize>;
static_assert(sizeof(CellRecord) == RecordSize, "records are copied as plain bytes");

// The header is kept verbatim and written back unchanged; only bytes 2 and 4 mean
// anything to the editor.
struct MapHeader {
    std::array<std::uint8_t, HeaderSize> bytes{};

    constexpr int columns() const { return bytes[ColumnsByte]; }
    constexpr int rows() const { return bytes[RowsByte]; }
    constexpr int hexCount() const { return columns() * rows(); }
    friend bool operator==(const MapHeader&, const MapHeader&) = default;
};

// The cell rule: records run column after column with the row advancing fastest,
// so the hex in column c, row r is record c * rows + r. A map with 0 rows or 0
// columns has no hexes.
constexpr int recordOfCell(int column, int row, int rows) {
    return column * rows + row;
}
constexpr std::size_t recordOffset(int record) {
    return HeaderSize + static_cast<std::size_t>(RecordSize) * static_cast<std::size_t>(record);
}
constexpr std::size_t completeFileSize(const MapHeader& header) {
    return recordOffset(header.hexCount());
}

inline constexpr std::array<std::string_view, LayerCount> LayerNames = {
    "Terraintype", "??????",  "??????",     "??????",     "height b1",  "height b2",  "roads",
    "city b1",     "city b2", "Text ID b1", "Text ID b2", "Text ID b3", "Text ID b4",
};

inline constexpr std::array<std::string_view, 19> TerrainNames = {
    "Clear",
    "City",
    "Airfield",
    "Forest",
    "Sand",
    "Swamp",
    "Ocean",
    "River",
    "Fortification",
    "Port",
    "Stream",
    "Escarpment",
    "Impassable River",
    "Rough",
    "Lakes",
    "Lake Region",
    "Bocage",
    "Ravine",
    "Blackout",
};

// The terrain name of a value, or an empty view for a value that has none
// (below 0 or above 18).
constexpr std::string_view terrainName(int value) {
    if (value < 0 || value >= static_cast<int>(TerrainNames.size())) {
        return {};
    }
    return TerrainNames[static_cast<std::size_t>(value)];
}

} // namespace amp
