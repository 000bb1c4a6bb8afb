// SPDX-License-Identifier: MIT
#include "scriptfairness.h"

#include "costtable.h"
#include "hexpaths.h"
#include "mapstats.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// One layer of `count` bytes as the rules read it; a short buffer reads as zeros past its end.
amp::LayerBytes layerOf(const QByteArray& bytes, std::size_t offset, int count) {
    const qsizetype available = bytes.size() - qsizetype(offset);
    const int have = available <= 0 ? 0 : int(std::min<qsizetype>(available, count));
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()) + (have > 0 ? offset : 0), 1, have};
}

} // namespace

int ScriptFairness::distance(int column1, int row1, int column2, int row2) const {
    return hexsymmetry::distance({column1, row1}, {column2, row2}, map_.evenColumnsLower);
}

QVariantMap ScriptFairness::path(const QByteArray& terrain, const QByteArray& roads, int column1, int row1,
                                 int column2, int row2, const QString& table) const {
    amp::CostTable costs = amp::uniformCosts();
    if (!table.isEmpty()) {
        const QByteArray json = table.toUtf8();
        auto parsed = amp::parseCostTable(std::string_view(json.constData(), std::size_t(json.size())));
        if (const auto* error = std::get_if<amp::CostTableError>(&parsed)) {
            return {{QStringLiteral("error"), QString::fromStdString(error->message)}};
        }
        costs = std::get<amp::CostTable>(std::move(parsed));
    }
    amp::MapLayers layers;
    layers.columns = map_.columns;
    layers.rows = map_.rows;
    layers.evenColumnsLower = map_.evenColumnsLower;
    const int count = map_.columns * map_.rows;
    layers.layers[amp::TerrainLayer] = layerOf(terrain, 0, count);
    layers.layers[amp::RoadsLayer] = layerOf(roads, 0, count);
    const auto way = amp::shortestPath(amp::costGrid(layers, costs), {column1, row1}, {column2, row2});
    if (!way) {
        return {};
    }
    std::vector<std::int32_t> slotList;
    for (const hexsymmetry::Offset& hex : way->hexes) {
        slotList.push_back(hex.column * map_.rows + hex.row);
    }
    QByteArray slotBytes(qsizetype(slotList.size() * sizeof(std::int32_t)), Qt::Uninitialized);
    std::memcpy(slotBytes.data(), slotList.data(), slotList.size() * sizeof(std::int32_t));
    return {{QStringLiteral("cost"), way->cost}, {QStringLiteral("slots"), slotBytes}};
}

QVariantMap ScriptFairness::stats(const QByteArray& layers, const QByteArray& slotList, bool whole) const {
    amp::MapLayers view;
    view.columns = map_.columns;
    view.rows = map_.rows;
    view.evenColumnsLower = map_.evenColumnsLower;
    const int count = map_.columns * map_.rows;
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        view.layers[std::size_t(layer)] = layerOf(layers, std::size_t(layer) * std::size_t(count), count);
    }
    amp::HexStats stats;
    if (whole) {
        stats = amp::statsOfMap(view);
    } else {
        std::vector<std::int32_t> chosen(std::size_t(slotList.size()) / sizeof(std::int32_t));
        if (!chosen.empty()) {
            std::memcpy(chosen.data(), slotList.constData(), chosen.size() * sizeof(std::int32_t));
        }
        stats = amp::statsOfHexes(view, chosen);
    }
    QVariantMap terrain;
    for (int value = 0; value < 256; ++value) {
        if (const int n = stats.terrain[std::size_t(value)]; n != 0) {
            terrain.insert(QString::number(value), n);
        }
    }
    const bool any = stats.hexes > 0;
    const QVariant none = QVariant::fromValue(nullptr);
    const QVariantMap height = {{QStringLiteral("min"), any ? QVariant(stats.heightMin) : none},
                                {QStringLiteral("mean"), any ? QVariant(stats.heightMean) : none},
                                {QStringLiteral("max"), any ? QVariant(stats.heightMax) : none}};
    return {{QStringLiteral("hexes"), stats.hexes},
            {QStringLiteral("terrain"), terrain},
            {QStringLiteral("cities"), stats.cities},
            {QStringLiteral("roads"), stats.roads},
            {QStringLiteral("height b1"), height}};
}
