// SPDX-License-Identifier: MIT
// Makes the map renderer from a map and the picture's choices: the one place
// where a map's layers become values and colour scales for MapRenderer. The
// picture and Export Picture build from a document, `amptool render` and ampshot
// from a map as its file holds it; the same map and choices draw the same pixels.
#pragma once

#include "mapformat.h"
#include "mapimage.h"
#include "maprenderer.h"
#include "palettes.h"
#include "picturelayers.h"

#include <QRect>

#include <array>
#include <bitset>
#include <optional>

class MapDocument;

// Everything about a picture that is not the map.
struct PictureChoices {
    PictureLayers layers;     // the base, the overlays, outlines, labels, palette
    double size = 8;          // centre to corner, in pixels
    bool evenLower = false;   // the layout: even columns half a hex lower
    std::optional<int> shown; // the layer on show, drawn over the others when it is neither base nor overlay
    QRect cells;              // the hexes drawn (columns x rows); empty: the whole map
};

class PictureBuilder {
public:
    // A document's layers, read as they are whenever a renderer is made.
    explicit PictureBuilder(const MapDocument& document);
    // A map as its file holds it (kept by reference); a short file's missing hexes are 0.
    explicit PictureBuilder(const amp::MapImage& map);

    int columns() const;
    int rows() const;

    // The cells of a layer changed: its scale is counted again when it is next drawn.
    void layerChanged(int layer) { stale_.set(static_cast<std::size_t>(layer)); }
    void mapChanged() { stale_.set(); }

    // Counts again the scales of the layers the choices draw where their cells
    // or the palette changed; true when one of them came out other than before.
    bool refreshColours(const PictureChoices& choices);
    // The colours of a layer in a palette, counted first when they are not known.
    const palettes::LayerColours& colours(int layer, palettes::Palette palette);
    // The scales as the last renderer drew them (a layer not drawn keeps its last).
    const PictureLayers::LayerScales& scales() const { return colours_; }

    // The renderer of the map with these choices; the scales it draws are
    // refreshed first.
    MapRenderer renderer(const PictureChoices& choices);

private:
    MapRenderer::Values valuesOf(int layer) const;
    bool draws(const PictureChoices& choices, int layer) const;
    bool refresh(int layer, palettes::Palette palette);

    const MapDocument* document_ = nullptr;
    const amp::MapImage* map_ = nullptr;
    PictureLayers::LayerScales colours_{};
    std::array<std::optional<palettes::Palette>, amp::LayerCount> countedIn_{};
    std::bitset<amp::LayerCount> stale_ = std::bitset<amp::LayerCount>().set();
};
