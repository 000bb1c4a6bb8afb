// SPDX-License-Identifier: MIT
#include "picturelayers.h"
#include "celltext.h"
#include "layermodel.h"

#include <vector>

namespace {

constexpr int HeightLayer = 4;
constexpr int RoadsLayer = 6;
constexpr int CityLayer = 7;
constexpr int SecondCityLayer = 8;
constexpr int ByteValues = 256;

} // namespace

PictureLayers PictureLayers::defaults() {
    PictureLayers picture;
    picture.layers[HeightLayer] = {true, MapRenderer::OverlayStyle::Shade, 1.0};
    for (const int marked : {RoadsLayer, CityLayer, SecondCityLayer}) {
        picture.layers[static_cast<std::size_t>(marked)] = {true, MapRenderer::OverlayStyle::Marks, 1.0};
    }
    return picture;
}

MapRenderer PictureLayers::renderer(const HexGeometry& geometry, const LayerValues& values,
                                    const LayerScales& colours, std::optional<int> shown) const {
    const auto at = [](int layer) { return static_cast<std::size_t>(layer); };
    MapRenderer map(geometry, values[at(base)], colours[at(base)]);
    const auto add = [&](int layer) {
        const Layer& how = layers[at(layer)];
        map.addOverlay({values[at(layer)], colours[at(layer)], how.style, how.opacity});
    };
    // Shades first, as they change the base under the marks.
    for (const bool shades : {true, false}) {
        for (int layer = 0; layer < amp::LayerCount; ++layer) {
            if (isOverlay(layer) && (layers[at(layer)].style == MapRenderer::OverlayStyle::Shade) == shades) {
                add(layer);
            }
        }
    }
    if (shown && *shown != base && !isOverlay(*shown)) {
        add(*shown);
    }
    map.setOutlines(outlines);
    map.setCoordinates(coordinates);
    if (valuesOf >= 0 && valuesOf < amp::LayerCount) {
        map.setValueLabels(values[at(valuesOf)]);
    }
    return map;
}

QStringList overlayStyleNames() {
    return {QStringLiteral("marks"), QStringLiteral("shade"), QStringLiteral("values")};
}

palettes::LayerColours layerColours(int layer, const MapRenderer::Values& values, int columns, int rows,
                                    palettes::Palette palette) {
    if (layer == amp::TerrainLayer) {
        return palettes::LayerColours::terrain(palette);
    }
    std::array<bool, ByteValues> held{};
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            held[amp::lowByte(values(column, row))] = true;
        }
    }
    return palettes::LayerColours::scale(held, palette);
}

palettes::LayerColours layerColours(int layer, const LayerModel& model, palettes::Palette palette) {
    if (layer == amp::TerrainLayer) {
        return palettes::LayerColours::terrain(palette);
    }
    // Each value 0-255 by its count; a typed value outside them by its byte.
    std::vector<int> counts(ByteValues + 1);
    model.countValues(counts);
    std::array<bool, ByteValues> held{};
    for (int value = 0; value < ByteValues; ++value) {
        held[static_cast<std::size_t>(value)] = counts[static_cast<std::size_t>(value)] > 0;
    }
    if (counts.back() > 0) {
        for (const auto& [slot, text] : model.typedCells()) {
            held[amp::lowByte(LayerModel::textValue(text))] = true;
        }
    }
    return palettes::LayerColours::scale(held, palette);
}
