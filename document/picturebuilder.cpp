// SPDX-License-Identifier: MIT
#include "picturebuilder.h"
#include "layermodel.h"
#include "mapdocument.h"

namespace {

std::size_t at(int layer) {
    return static_cast<std::size_t>(layer);
}

} // namespace

PictureBuilder::PictureBuilder(const MapDocument& document) : document_(&document) {}

PictureBuilder::PictureBuilder(const amp::MapImage& map) : map_(&map) {}

int PictureBuilder::columns() const {
    return document_ ? document_->layer(amp::TerrainLayer)->columns() : map_->header.columns();
}

int PictureBuilder::rows() const {
    return document_ ? document_->layer(amp::TerrainLayer)->rows() : map_->header.rows();
}

MapRenderer::Values PictureBuilder::valuesOf(int layer) const {
    if (document_) {
        return MapRenderer::valuesOf(*document_->layer(layer));
    }
    const amp::MapImage& map = *map_;
    const auto rows = static_cast<std::size_t>(map.header.rows());
    return [&map, rows, layer](int column, int row) {
        const std::size_t k = static_cast<std::size_t>(column) * rows + static_cast<std::size_t>(row);
        return k < map.records.size() ? std::int32_t{map.records[k][at(layer)]} : 0;
    };
}

bool PictureBuilder::draws(const PictureChoices& choices, int layer) const {
    return layer == choices.layers.base || choices.layers.isOverlay(layer) || choices.shown == layer;
}

bool PictureBuilder::refresh(int layer, palettes::Palette palette) {
    if (!stale_[at(layer)] && countedIn_[at(layer)] == palette) {
        return false;
    }
    stale_.reset(at(layer));
    countedIn_[at(layer)] = palette;
    // A document's layer is counted in one pass over its cells.
    const auto now = document_ ? layerColours(layer, *document_->layer(layer), palette)
                               : layerColours(layer, valuesOf(layer), columns(), rows(), palette);
    const bool changed = now != colours_[at(layer)];
    colours_[at(layer)] = now;
    return changed;
}

bool PictureBuilder::refreshColours(const PictureChoices& choices) {
    bool changed = false;
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        changed = (draws(choices, layer) && refresh(layer, choices.layers.palette)) || changed;
    }
    return changed;
}

const palettes::LayerColours& PictureBuilder::colours(int layer, palettes::Palette palette) {
    refresh(layer, palette);
    return colours_[at(layer)];
}

MapRenderer PictureBuilder::renderer(const PictureChoices& choices) {
    refreshColours(choices);
    PictureLayers::LayerValues values;
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        values[at(layer)] = valuesOf(layer);
    }
    MapRenderer map = choices.layers.renderer(HexGeometry(columns(), rows(), choices.size, choices.evenLower),
                                              values, colours_, choices.shown);
    if (!choices.cells.isEmpty()) {
        map.setHexes(choices.cells);
    }
    return map;
}
