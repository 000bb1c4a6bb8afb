// SPDX-License-Identifier: MIT
// Mirrors, half turns and symmetries of the map or of the selection, on all 13
// layers or on one, as calls on a document that need no window; each is one undo
// step named for what it did and for how many hexes had no image (those keep
// their cells). Also the symmetric brush, which gives every dab, fill and typed
// cell its images, and stamps taken from the selection and placed anywhere.
#pragma once

#include "hexsymmetry.h"

#include <QString>

#include <functional>
#include <optional>

class MapDocument;

struct SymmetryRequest {
    enum class Action { Flip, Symmetrize };
    Action action = Action::Flip;
    hexsymmetry::Flip flip = hexsymmetry::Flip::LeftRight;
    hexsymmetry::Side side = hexsymmetry::Side::Left;
    hexsymmetry::Mode mode = hexsymmetry::Mode::Mirror;
    bool allLayers = true;
    // The selection's bounding rectangle; the map when no more than one hex is selected.
    bool selectionOnly = false;
};

// The symmetry a symmetric brush follows.
struct BrushSymmetry {
    hexsymmetry::Side side = hexsymmetry::Side::Left;
    hexsymmetry::Mode mode = hexsymmetry::Mode::Mirror;
};

namespace symmetryedits {

// Whether a request for the selection goes to it: more than one hex is selected.
bool usesSelection(const MapDocument& document, bool selectionOnly);

// What the request does, in words: "Flip left–right", "Mirror left half onto right".
QString describe(const SymmetryRequest& request);
// What the request would do to the document's map (nothing for a request that
// cannot be done: a point symmetry of a quarter).
std::optional<hexsymmetry::Mapping> mappingFor(const MapDocument& document, const SymmetryRequest& request,
                                               bool evenColumnsLower);
// How many hexes would have no image and keep their cells; -1 for a request
// that cannot be done.
int countWithoutImage(const MapDocument& document, const SymmetryRequest& request, bool evenColumnsLower);
// Applies it to `layer` or to all layers as one step, named "DESCRIPTION of the
// map, all layers (N hexes without an image)"; the step's name, or an empty text
// when no cell changed.
QString apply(MapDocument& document, int layer, const SymmetryRequest& request, bool evenColumnsLower);

// Turns the document's symmetric brush on (with a symmetry) or off; the layout
// is asked at each use, as the picture's setting may change meanwhile.
void setSymmetricBrush(MapDocument& document, std::optional<BrushSymmetry> symmetry,
                       std::function<bool()> evenColumnsLower);
// The brush's symmetry as a stroke's step names it: "symmetric left–right".
QString describe(BrushSymmetry symmetry);

// The selection's bounding rectangle (of the layer on show, or all 13 layers)
// as a stamp; nothing when nothing is selected.
std::optional<hexsymmetry::Stamp> copyAsStamp(const MapDocument& document, int layer, bool allLayers,
                                              bool evenColumnsLower);
// The stamp's cells with its anchor on [column][row], cut at the map's edges, on
// `layer` (all 13 for a stamp of all) as the step "Stamp N cells"; false when no
// cell changed.
bool placeStamp(MapDocument& document, const hexsymmetry::Stamp& stamp, int layer, int column, int row,
                bool evenColumnsLower);

} // namespace symmetryedits
