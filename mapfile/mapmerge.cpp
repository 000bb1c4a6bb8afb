// SPDX-License-Identifier: MIT
#include "mapmerge.h"

#include <algorithm>

namespace amp {

namespace {

// A map's byte of a hex's layer: NoByte beyond its shape, zero for a hex its
// file lacks.
int byteAt(const MapView& map, int column, int row, int layer) {
    if (column < 0 || row < 0 || column >= map.header.columns() || row >= map.header.rows()) {
        return MergeConflict::NoByte;
    }
    const std::size_t record =
        static_cast<std::size_t>(column) * static_cast<std::size_t>(map.header.rows()) +
        static_cast<std::size_t>(row);
    if (record >= map.recordCount()) {
        return 0;
    }
    return map.records[record * RecordSize + static_cast<std::size_t>(layer)];
}

bool sameShape(const MapHeader& a, const MapHeader& b) {
    return a.columns() == b.columns() && a.rows() == b.rows();
}

std::string shapeText(const MapHeader& header) {
    return std::to_string(header.columns()) + " x " + std::to_string(header.rows());
}

} // namespace

std::string mergeLayerName(int layer) {
    if (layer >= 1 && layer <= 3) {
        return "byte " + std::to_string(layer);
    }
    return std::string(LayerNames[static_cast<std::size_t>(layer)]);
}

Result<MergeResult> mergeMaps(const MapView& base, const MapView& ours, const MapView& theirs) {
    MergeResult result;
    const bool oursResized = !sameShape(ours.header, base.header);
    const bool theirsResized = !sameShape(theirs.header, base.header);
    if (oursResized && theirsResized && !sameShape(ours.header, theirs.header)) {
        return MapError{MapErrorKind::NotAMap,
                        "both sides changed the map's shape: base " + shapeText(base.header) + ", ours " +
                            shapeText(ours.header) + ", theirs " + shapeText(theirs.header)};
    }
    const MapView& shaped = theirsResized && !oursResized ? theirs : ours;
    result.shape = oursResized     ? MergeResult::Shape::Ours
                   : theirsResized ? MergeResult::Shape::Theirs
                                   : MergeResult::Shape::Same;

    MapHeader header = ours.header;
    header.bytes[ColumnsByte] = shaped.header.bytes[ColumnsByte];
    header.bytes[RowsByte] = shaped.header.bytes[RowsByte];
    for (int i = 0; i < HeaderSize; ++i) {
        if (i == ColumnsByte || i == RowsByte) {
            continue;
        }
        const auto at = static_cast<std::size_t>(i);
        const int b = base.header.bytes[at], o = ours.header.bytes[at], t = theirs.header.bytes[at];
        if (o == b || o == t) {
            header.bytes[at] = static_cast<std::uint8_t>(t);
        } else if (t != b) {
            MergeConflict conflict;
            conflict.isHeader = true;
            conflict.headerByte = i;
            conflict.base = b;
            conflict.ours = o;
            conflict.theirs = t;
            result.conflicts.push_back(conflict);
        }
    }
    result.merged = makeMap(header, header.columns(), header.rows());

    const int columns = std::max({base.header.columns(), ours.header.columns(), theirs.header.columns()});
    const int rows = std::max({base.header.rows(), ours.header.rows(), theirs.header.rows()});
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            const bool inMerged = column < header.columns() && row < header.rows();
            const bool inBase = column < base.header.columns() && row < base.header.rows();
            if (!inMerged && !inBase) {
                continue;
            }
            CellRecord* record =
                inMerged ? &result.merged.records[static_cast<std::size_t>(column * header.rows() + row)]
                         : nullptr;
            bool fromTheirs = false;
            bool conflicted = false;
            for (int layer = 0; layer < LayerCount; ++layer) {
                const int b = byteAt(base, column, row, layer);
                const int o = byteAt(ours, column, row, layer);
                const int t = byteAt(theirs, column, row, layer);
                int merged = o;
                bool conflict = false;
                if (b == MergeConflict::NoByte) {
                    // Added by the resize of the side whose shape the map has.
                    merged = byteAt(shaped, column, row, layer);
                    fromTheirs = fromTheirs || &shaped == &theirs;
                } else if (o == b || o == t) {
                    merged = t;
                    fromTheirs = fromTheirs || (o == b && t != b);
                } else if (t != b) {
                    conflict = true;
                }
                if (conflict) {
                    conflicted = true;
                    MergeConflict found;
                    found.column = column;
                    found.row = row;
                    found.layer = layer;
                    found.base = b;
                    found.ours = o;
                    found.theirs = t;
                    result.conflicts.push_back(found);
                }
                if (record != nullptr && merged != MergeConflict::NoByte) {
                    (*record)[static_cast<std::size_t>(layer)] = static_cast<std::uint8_t>(merged);
                }
            }
            result.hexesFromTheirs += inMerged && fromTheirs ? 1 : 0;
            result.conflictHexes += conflicted ? 1 : 0;
        }
    }
    return result;
}

} // namespace amp
