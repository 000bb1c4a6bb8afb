// SPDX-License-Identifier: MIT
// The edits the recovery target makes, one after another, and the map they give:
// edit i (from 1) types i % 256 into layer i % 13, column 7i, row 3i (modulo the
// map's shape). A recovered map must be the map after some edit k.
#pragma once

#include "mapformat.h"
#include "mapimage.h"

struct SequenceEdit {
    int layer, column, row, value;
};

inline SequenceEdit sequenceEdit(int i, int columns, int rows) {
    return {i % amp::LayerCount, (i * 7) % columns, (i * 3) % rows, i % 256};
}

// The file after edits 1..k on `base`.
inline std::vector<std::uint8_t> afterEdits(amp::MapImage base, int k) {
    const int columns = base.header.columns(), rows = base.header.rows();
    for (int i = 1; i <= k; ++i) {
        const SequenceEdit e = sequenceEdit(i, columns, rows);
        base.records[static_cast<std::size_t>(amp::recordOfCell(e.column, e.row, rows))]
                    [static_cast<std::size_t>(e.layer)] = static_cast<std::uint8_t>(e.value);
    }
    return amp::encodeMap(base);
}
