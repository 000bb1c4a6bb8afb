// SPDX-License-Identifier: MIT
// Three maps merged: a base and two maps made from it ("ours" and "theirs"), the
// one rule for `amptool merge` (and so git's merge driver) and the editor's
// Merge. Byte by byte, for each hex all three maps have and for each header byte
// but the shape's two: where ours still holds the base's byte, theirs is taken;
// where theirs does, ours is kept; where both made the same change, it is kept;
// otherwise the byte is a conflict, and the merged map holds ours there.
//
// Shapes: when only one side changed the number of columns or rows, the merged
// map has that side's shape; its hexes keep their column and row. A hex that
// side's resize removed is gone, unless the other side changed it: that is a
// conflict on each byte it changed (the merged map cannot hold it). A hex the
// resize added comes from that side. When both sides changed the shape, each
// differently, nothing is merged.
#pragma once

#include "maperror.h"
#include "mapimage.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace amp {

// One byte the two sides changed, each in its own way.
struct MergeConflict {
    // A header byte (0..6, never the shape's two), or a byte of a hex.
    bool isHeader = false;
    int headerByte = 0; // when isHeader
    int column = 0;     // otherwise: the hex and its layer (0..12)
    int row = 0;
    int layer = 0;
    // The three maps' bytes there. A side that removed the hex by a resize holds
    // none there (NoByte), and neither does the merged map.
    static constexpr int NoByte = -1;
    int base = 0;
    int ours = 0;
    int theirs = 0;
    friend bool operator==(const MergeConflict&, const MergeConflict&) = default;
};

struct MergeResult {
    // The merged map, complete (header, then columns x rows records). At a
    // conflict it holds ours.
    MapImage merged;
    // Every conflict: the header's first, then the hexes' in file order (column,
    // then row, then layer).
    std::vector<MergeConflict> conflicts;
    // Hexes that took at least one byte from theirs (counted in the merged map's
    // shape; a hex that came whole from theirs by a resize counts too), and hexes
    // with a conflict.
    long long hexesFromTheirs = 0;
    long long conflictHexes = 0;
    // Whose shape the merged map has.
    enum class Shape { Same, Ours, Theirs };
    Shape shape = Shape::Same;

    bool clean() const { return conflicts.empty(); }
};

// Merges the three maps. A hex that a short file lacks holds zeros, as it does
// on every read. Fails (MapError) only when both sides changed the shape
// differently; the message names the three shapes ("base 40 x 30, ours 41 x 30,
// theirs 40 x 32").
Result<MergeResult> mergeMaps(const MapView& base, const MapView& ours, const MapView& theirs);

// The same merge, with each conflict handed to `conflict` as it is found (in the
// order above) instead of kept: the result's list stays empty, and clean() says
// nothing. For a list that need not stay in memory (amptool prints it as it goes).
Result<MergeResult> mergeMaps(const MapView& base, const MapView& ours, const MapView& theirs,
                              const std::function<void(const MergeConflict&)>& conflict);

// The name a conflict's layer goes by in messages: the layer's name as the
// format gives it, the unnamed layers told apart by their byte ("??????" is
// byte 1, 2 or 3): "Terraintype", "byte 1", "height b1", ...
std::string mergeLayerName(int layer);

} // namespace amp
