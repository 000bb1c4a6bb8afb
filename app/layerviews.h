// SPDX-License-Identifier: MIT
// What the window's helpers (the bulk edits, the Differences dock) need of the
// form's number views, handed in as a few calls so that they follow the session
// and do not depend on the form. The layer on show and the current hex are the
// session's; these are only the views that show them.
#pragma once

#include <functional>

class LayerView;

struct LayerViews {
    // The number view of a layer, made the first time it is asked for.
    std::function<LayerView*(int layer)> view;
    // Shows a layer as the layer box would (the box and the layer's name follow).
    std::function<void(int layer)> showLayer;
    // Makes a hex the current cell of the view on show and scrolls it into view.
    std::function<void(int column, int row)> selectHex;
    // True when nothing unwritten would be lost, or the user had it written or
    // agreed to lose it.
    std::function<bool()> mayDiscardEdits;
};
