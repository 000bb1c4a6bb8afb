#include "mapimage.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace amp {

Result<MapImage> decodeMap(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < static_cast<std::size_t>(HeaderSize)) {
        return MapError{MapErrorKind::NotAMap, "The file is " + std::to_string(bytes.size()) +
                                                   " bytes long, shorter than the 7-byte map header."};
    }
    MapImage image;
    std::memcpy(image.header.bytes.data(), bytes.data(), HeaderSize);

    const std::size_t complete = (bytes.size() - HeaderSize) / RecordSize;
    const std::size_t placed = std::min(complete, static_cast<std::size_t>(image.header.hexCount()));
    image.records.resize(placed);
    if (placed > 0) {
        std::memcpy(image.records.data(), bytes.data() + HeaderSize, placed * RecordSize);
    }
    return image;
}

std::vector<std::uint8_t> encodeMap(const MapImage& image) {
    std::vector<std::uint8_t> bytes(completeFileSize(image.header), 0);
    std::memcpy(bytes.data(), image.header.bytes.data(), HeaderSize);
    const std::size_t records = std::min(image.records.size(), static_cast<std::size_t>(image.header.hexCount()));
    if (records > 0) {
        std::memcpy(bytes.data() + HeaderSize, image.records.data(), records * RecordSize);
    }
    return bytes;
}

MapImage makeMap(const MapHeader& like, int columns, int rows) {
    MapImage map;
    map.header = like;
    map.header.bytes[ColumnsByte] = static_cast<std::uint8_t>(columns);
    map.header.bytes[RowsByte] = static_cast<std::uint8_t>(rows);
    map.records.assign(static_cast<std::size_t>(map.header.hexCount()), CellRecord{});
    return map;
}

MapImage resizeMap(const MapImage& map, int columns, int rows) {
    MapImage resized = makeMap(map.header, columns, rows);
    const int oldRows = map.header.rows();
    const int keptColumns = std::min(columns, map.header.columns());
    const int keptRows = std::min(rows, oldRows);
    for (int column = 0; column < keptColumns; ++column) {
        for (int row = 0; row < keptRows; ++row) {
            const auto from = static_cast<std::size_t>(recordOfCell(column, row, oldRows));
            if (from < map.records.size()) {
                resized.records[static_cast<std::size_t>(recordOfCell(column, row, rows))] = map.records[from];
            }
        }
    }
    return resized;
}

} // namespace amp
