// SPDX-License-Identifier: MIT
// What the map picture shows: the base layer, which of the other layers lie
// over it and in what style and opacity, the outlines, the labels and the
// palette. The editor's Layers list, Export Picture and `amptool render` fill
// one in and get the renderer that draws it.
#pragma once

#include "mapformat.h"
#include "maprenderer.h"
#include "palettes.h"

#include <QStringList>

#include <array>
#include <optional>

class LayerModel;

struct PictureLayers {
    struct Layer {
        bool overlay = false;
        MapRenderer::OverlayStyle style = MapRenderer::OverlayStyle::Marks;
        double opacity = 1.0;
        friend bool operator==(const Layer&, const Layer&) = default;
    };
    int base = amp::TerrainLayer;
    std::array<Layer, amp::LayerCount> layers{};
    bool outlines = false;
    bool coordinates = false;
    int valuesOf = -1; // the layer whose numbers each hex shows, or -1
    palettes::Palette palette = palettes::Palette::Standard;
    friend bool operator==(const PictureLayers&, const PictureLayers&) = default;

    // What a map maker sees first: terrain, the first heights as relief, and
    // roads and both city layers as marks.
    static PictureLayers defaults();
    // Whether layer `layer` is drawn over the base.
    bool isOverlay(int layer) const {
        return layer != base && layers[static_cast<std::size_t>(layer)].overlay;
    }

    using LayerValues = std::array<MapRenderer::Values, amp::LayerCount>;
    using LayerScales = std::array<palettes::LayerColours, amp::LayerCount>;
    // The renderer of this picture over the layers' values and colours;
    // `shown`, when it is neither the base nor an overlay, is drawn over the
    // others in its style, so that what is painted shows.
    MapRenderer renderer(const HexGeometry& geometry, const LayerValues& values, const LayerScales& colours,
                         std::optional<int> shown = std::nullopt) const;
};

// The styles by the names the console tool and the Layers list give them:
// "marks", "shade", "values".
QStringList overlayStyleNames();

// How the values of a layer become colours: terrain's palette, or a scale made
// from the bytes that `values` gives for the map's hexes (a document's layer
// is counted in one pass).
palettes::LayerColours layerColours(int layer, const MapRenderer::Values& values, int columns, int rows,
                                    palettes::Palette palette);
palettes::LayerColours layerColours(int layer, const LayerModel& model, palettes::Palette palette);
