// SPDX-License-Identifier: MIT
// The edits of many cells at once, as calls on a document that need no window:
// replace (counted first, then applied), the cells of one value, a rectangle of
// cells taken as a block (one layer or all 13), a block pasted, cells cleared
// (cut). Each change is one undo step named for what it did; the app only turns
// menu items and the clipboard into these calls.
#pragma once

#include "cellblock.h"

#include <QRect>
#include <QString>

#include <vector>

class MapDocument;

// What Edit > Replace asks for: a value, its replacement and where.
struct ReplaceRequest {
    enum class Scope { Selection, Layer, AllLayers };
    int from = 0;
    int to = 0;
    Scope scope = Scope::Layer;
};

namespace celledits {

// How many cells a replace would change: cells that show `from` (typed texts
// such as "007" are left as typed), on `layer`, inside the document's selection
// for that scope, or on every layer.
int countReplace(const MapDocument& document, int layer, const ReplaceRequest& request);
// Applies it as the step "Replace FROM → TO in N cells"; the step's name, or
// an empty text when nothing changed.
QString replace(MapDocument& document, int layer, const ReplaceRequest& request);

// The cells of `layer` whose text is that of [column][row], as rectangles (runs
// down each column); empty for a cell outside the map.
std::vector<QRect> sameValue(const MapDocument& document, int layer, int column, int row);

// Every cell of `cells` on `layer` takes `text`, in one step named `name`; a whole
// rectangle of one byte goes in as a block. False when no cell changed.
bool fill(MapDocument& document, int layer, const std::vector<QPoint>& cells, const QString& text,
          const QString& name);

// The bytes of the rectangle: of `layer`, or of all 13 layers.
CellBlock takeBlock(const MapDocument& document, int layer, const QRect& cells, bool allLayers);
// Every cell of the rectangles of `layer` becomes "0": the step "Cut N cells".
bool cut(MapDocument& document, int layer, const std::vector<QRect>& cells);

// A block placed with its top-left on [column][row] of `layer` (all 13 layers
// for a block of all), cut at the map's edges: the step "Paste N cells". What
// came of it: the part pasted, and whether some lay beyond the edge.
struct Pasted {
    int columns = 0;
    int rows = 0;
    bool clipped = false;
};
Pasted paste(MapDocument& document, int layer, int column, int row, const CellBlock& block);

} // namespace celledits
