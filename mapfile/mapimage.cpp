// SPDX-License-Identifier: MIT
#include "mapimage.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace amp {

Result<MapView> viewMap(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < static_cast<std::size_t>(HeaderSize)) {
        return MapError{MapErrorKind::NotAMap, "The file is " + std::to_string(bytes.size()) +
                                                   " bytes long, shorter than the 7-byte map header."};
    }
    MapView view;
    std::memcpy(view.header.bytes.data(), bytes.data(), HeaderSize);
    const std::size_t complete = (bytes.size() - HeaderSize) / RecordSize;
    const std::size_t placed = std::min(complete, static_cast<std::size_t>(view.header.hexCount()));
    view.records = bytes.subspan(HeaderSize, placed * RecordSize);
    if (complete < static_cast<std::size_t>(view.header.hexCount())) {
        view.cutRecordBytes = (bytes.size() - HeaderSize) % RecordSize;
    }
    return view;
}

MapView viewOf(const MapImage& image) {
    const auto* first = reinterpret_cast<const std::uint8_t*>(image.records.data());
    return {image.header, std::span<const std::uint8_t>(first, image.records.size() * RecordSize), 0};
}

Result<MapImage> decodeMap(std::span<const std::uint8_t> bytes) {
    auto view = viewMap(bytes);
    if (!view) {
        return view.error();
    }
    MapImage image;
    image.header = view.value().header;
    image.records.resize(view.value().recordCount());
    if (!image.records.empty()) {
        std::memcpy(image.records.data(), view.value().records.data(), view.value().records.size());
    }
    return image;
}

std::vector<std::uint8_t> encodeMap(const MapImage& image) {
    std::vector<std::uint8_t> bytes(completeFileSize(image.header), 0);
    std::memcpy(bytes.data(), image.header.bytes.data(), HeaderSize);
    const std::size_t records =
        std::min(image.records.size(), static_cast<std::size_t>(image.header.hexCount()));
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

} // namespace amp
