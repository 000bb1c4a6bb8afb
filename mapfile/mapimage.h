// SPDX-License-Identifier: MIT
// A map as bytes: its header and the records that land on a hex. Decoding and
// encoding are pure byte work, shared by the window, the tools and the fuzzer.
#pragma once

#include "maperror.h"
#include "mapformat.h"

#include <cstdint>
#include <span>
#include <vector>

namespace amp {

struct MapImage {
    MapHeader header;
    // Record k belongs to the hex in column k / rows, row k % rows. A file shorter
    // than its header promises gives fewer records than header.hexCount(); records
    // beyond the map's hexes are not kept.
    std::vector<CellRecord> records;
};

// Reads a file's bytes as a map: the header, then the complete records in order.
// A trailing record of 1 to 12 bytes is dropped (MapView tells how many bytes it
// had), and so is every byte beyond columns x rows. Fewer than 7 bytes is not a map.
Result<MapImage> decodeMap(std::span<const std::uint8_t> bytes);

// The same reading without a copy: the header, and the records as they lie in
// the file's bytes, which must outlive the view.
struct MapView {
    MapHeader header;
    std::span<const std::uint8_t> records; // whole records only, in order
    // The bytes of a record the file cuts short (1 to 12; 0 when none is): they
    // are dropped, and that hex holds zeros, as every hex the file lacks.
    std::size_t cutRecordBytes = 0;
    std::size_t recordCount() const { return records.size() / RecordSize; }
};
Result<MapView> viewMap(std::span<const std::uint8_t> bytes);
MapView viewOf(const MapImage& image);

// The complete file of a map: the header as it stands, then columns x rows
// records in the cell rule's order. Hexes the image has no record for are zero.
std::vector<std::uint8_t> encodeMap(const MapImage& image);

// A complete map of columns x rows zero hexes (each 0..255) whose other header
// bytes are those of `like`.
MapImage makeMap(const MapHeader& like, int columns, int rows);

} // namespace amp
