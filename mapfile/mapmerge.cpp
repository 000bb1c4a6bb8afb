// SPDX-License-Identifier: MIT
// The three-way merge (mapmerge.h). One pass over the hexes of the larger of the
// base's and the merged map's shapes, column after column and row after row, so
// that conflicts come out in file order whether the merged map keeps their hex
// or a resize removed it.
#include "mapmerge.h"

#include <algorithm>
#include <cstring>

namespace amp {

namespace {

struct Shape {
    int columns = 0;
    int rows = 0;
    bool has(int column, int row) const { return column < columns && row < rows; }
    friend bool operator==(const Shape&, const Shape&) = default;
};

Shape shapeOf(const MapView& map) {
    return {map.header.columns(), map.header.rows()};
}

std::string shapeText(const Shape& shape) {
    return std::to_string(shape.columns) + " x " + std::to_string(shape.rows);
}

// The record of a hex the map has, or zeros where a short file lacks it.
const std::uint8_t* recordOf(const MapView& map, int column, int row) {
    static constexpr CellRecord Missing{};
    const auto at = static_cast<std::size_t>(recordOfCell(column, row, map.header.rows()));
    return at < map.recordCount() ? map.records.data() + at * RecordSize : Missing.data();
}

enum class Pick { Ours, Theirs, Conflict };

Pick pick(std::uint8_t base, std::uint8_t ours, std::uint8_t theirs) {
    if (ours == base || ours == theirs) {
        return ours == base && theirs != base ? Pick::Theirs : Pick::Ours;
    }
    return theirs == base ? Pick::Ours : Pick::Conflict;
}

} // namespace

Result<MergeResult> mergeMaps(const MapView& base, const MapView& ours, const MapView& theirs,
                              const std::function<void(const MergeConflict&)>& told) {
    const Shape baseShape = shapeOf(base), ourShape = shapeOf(ours), theirShape = shapeOf(theirs);
    MergeResult result;
    Shape shape = baseShape;
    if (ourShape != baseShape && theirShape != baseShape && ourShape != theirShape) {
        // The three together make no map; the message says why.
        return MapError{MapErrorKind::NotAMap, "both sides changed the map's shape, each differently: base " +
                                                   shapeText(baseShape) + ", ours " + shapeText(ourShape) +
                                                   ", theirs " + shapeText(theirShape)};
    }
    if (ourShape != baseShape) {
        // Both sides resized the same way, or ours alone did.
        shape = ourShape;
        result.shape = MergeResult::Shape::Ours;
    } else if (theirShape != baseShape) {
        shape = theirShape;
        result.shape = MergeResult::Shape::Theirs;
    }

    // The header: every byte but the shape's two by the rule, those two from the shape.
    result.merged.header = ours.header;
    for (int i = 0; i < HeaderSize; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (i == ColumnsByte || i == RowsByte) {
            continue;
        }
        const std::uint8_t b = base.header.bytes[at], o = ours.header.bytes[at], t = theirs.header.bytes[at];
        const Pick picked = pick(b, o, t);
        if (picked == Pick::Theirs) {
            result.merged.header.bytes[at] = t;
        } else if (picked == Pick::Conflict) {
            MergeConflict conflict;
            conflict.isHeader = true;
            conflict.headerByte = i;
            conflict.base = b;
            conflict.ours = o;
            conflict.theirs = t;
            told(conflict);
        }
    }
    result.merged.header.bytes[ColumnsByte] = static_cast<std::uint8_t>(shape.columns);
    result.merged.header.bytes[RowsByte] = static_cast<std::uint8_t>(shape.rows);
    result.merged.records.resize(static_cast<std::size_t>(shape.columns) *
                                 static_cast<std::size_t>(shape.rows));

    const auto conflictAt = [&told](int column, int row, int layer, int b, int o, int t) {
        MergeConflict conflict;
        conflict.column = column;
        conflict.row = row;
        conflict.layer = layer;
        conflict.base = b;
        conflict.ours = o;
        conflict.theirs = t;
        told(conflict);
    };
    // A new hex that both sides' resizes added is merged against the zeros a
    // resize gives it.
    static constexpr CellRecord NewHex{};
    const int columns = std::max(baseShape.columns, shape.columns);
    const int rows = std::max(baseShape.rows, shape.rows);
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            const bool inBase = baseShape.has(column, row), inOurs = ourShape.has(column, row),
                       inTheirs = theirShape.has(column, row);
            if (!shape.has(column, row)) {
                if (!inBase || (!inOurs && !inTheirs)) {
                    continue; // outside every map, or removed by both sides
                }
                // One side's resize removed it: what the other changed cannot be kept.
                const std::uint8_t* b = recordOf(base, column, row);
                const std::uint8_t* kept =
                    inOurs ? recordOf(ours, column, row) : recordOf(theirs, column, row);
                bool conflicting = false;
                for (int layer = 0; layer < LayerCount; ++layer) {
                    if (kept[layer] != b[layer]) {
                        conflicting = true;
                        conflictAt(column, row, layer, b[layer], inOurs ? kept[layer] : MergeConflict::NoByte,
                                   inOurs ? MergeConflict::NoByte : kept[layer]);
                    }
                }
                result.conflictHexes += conflicting ? 1 : 0;
                continue;
            }
            CellRecord& merged =
                result.merged.records[static_cast<std::size_t>(recordOfCell(column, row, shape.rows))];
            if (!inBase && inOurs != inTheirs) {
                // Added by one side's resize: that side's hex, whole.
                const std::uint8_t* from =
                    inOurs ? recordOf(ours, column, row) : recordOf(theirs, column, row);
                std::memcpy(merged.data(), from, RecordSize);
                result.hexesFromTheirs += inTheirs ? 1 : 0;
                continue;
            }
            const std::uint8_t* b = inBase ? recordOf(base, column, row) : NewHex.data();
            const std::uint8_t* o = recordOf(ours, column, row);
            const std::uint8_t* t = recordOf(theirs, column, row);
            if (std::memcmp(t, b, RecordSize) == 0 || std::memcmp(o, t, RecordSize) == 0) {
                std::memcpy(merged.data(), o, RecordSize);
                continue;
            }
            if (std::memcmp(o, b, RecordSize) == 0) {
                std::memcpy(merged.data(), t, RecordSize);
                ++result.hexesFromTheirs;
                continue;
            }
            bool fromTheirs = false, conflicting = false;
            for (int layer = 0; layer < LayerCount; ++layer) {
                const Pick picked = pick(b[layer], o[layer], t[layer]);
                merged[static_cast<std::size_t>(layer)] = picked == Pick::Theirs ? t[layer] : o[layer];
                fromTheirs |= picked == Pick::Theirs;
                if (picked == Pick::Conflict) {
                    conflicting = true;
                    conflictAt(column, row, layer, b[layer], o[layer], t[layer]);
                }
            }
            result.hexesFromTheirs += fromTheirs ? 1 : 0;
            result.conflictHexes += conflicting ? 1 : 0;
        }
    }
    return result;
}

Result<MergeResult> mergeMaps(const MapView& base, const MapView& ours, const MapView& theirs) {
    // The list is made at its full length at once: the largest maps can have
    // 845,325 conflicting bytes, and a list grown step by step copies them again
    // and again. Counted over the hexes all three maps have, where all but a
    // few header bytes and removed hexes' conflicts lie.
    const int columns = std::min({base.header.columns(), ours.header.columns(), theirs.header.columns()});
    const int rows = std::min({base.header.rows(), ours.header.rows(), theirs.header.rows()});
    std::size_t expected = 0;
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            const std::uint8_t *b = recordOf(base, column, row), *o = recordOf(ours, column, row),
                               *t = recordOf(theirs, column, row);
            for (int layer = 0; layer < LayerCount; ++layer) {
                expected += o[layer] != b[layer] && t[layer] != b[layer] && o[layer] != t[layer] ? 1 : 0;
            }
        }
    }
    std::vector<MergeConflict> conflicts;
    conflicts.reserve(expected);
    auto merged = mergeMaps(base, ours, theirs,
                            [&conflicts](const MergeConflict& conflict) { conflicts.push_back(conflict); });
    if (merged) {
        MergeResult result = std::move(merged).value();
        result.conflicts = std::move(conflicts);
        return result;
    }
    return merged;
}

std::string mergeLayerName(int layer) {
    if (layer >= 1 && layer <= 3) {
        return "byte " + std::to_string(layer);
    }
    if (layer < 0 || layer >= LayerCount) {
        return "layer " + std::to_string(layer);
    }
    return std::string(LayerNames[static_cast<std::size_t>(layer)]);
}

} // namespace amp
