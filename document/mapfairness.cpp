// SPDX-License-Identifier: MIT
#include "mapfairness.h"

#include "mapeditor.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <string_view>

namespace {

// A cost table is a few lines of JSON; anything far larger is not one.
constexpr qint64 LargestCostTable = 1024 * 1024;

// How long the map stays quiet before the territories and counts follow it.
constexpr int QuietMilliseconds = 150;

std::size_t slotOf(const hexsymmetry::MapShape& shape, HexCell hex) {
    return static_cast<std::size_t>(hex.column) * static_cast<std::size_t>(shape.rows) +
           static_cast<std::size_t>(hex.row);
}

} // namespace

MapFairness::MapFairness(MapEditor& editor) : QObject(&editor), editor_(editor), quiet_(new QTimer(this)) {
    quiet_->setSingleShot(true);
    quiet_->setInterval(QuietMilliseconds);
    connect(quiet_, &QTimer::timeout, this, &MapFairness::settle);
    MapDocument& document = editor.document();
    connect(&document, &MapDocument::cellsChanged, this, [this] {
        mapChanged();
        quiet_->start();
    });
    // Another map: the ruler and the sides named its hexes.
    connect(&document, &MapDocument::mapReset, this, [this] {
        mapChanged();
        ruler_.reset();
        fieldFrom_.reset();
        sides_.clear();
        owners_.clear();
        emit rulerChanged();
        emit territoriesChanged();
        settle();
    });
    connect(&editor, &MapEditor::layoutChanged, this, [this] {
        mapChanged();
        settle();
    });
}

MapFairness::~MapFairness() = default;

void MapFairness::mapChanged() {
    ++content_;
}

// The map has been quiet for a moment: the territories and the ruler's path are
// found again, and the counters told.
void MapFairness::settle() {
    quiet_->stop();
    if (ruler_) {
        measure();
        emit rulerChanged();
    }
    if (!sides_.empty()) {
        computeTerritories();
        emit territoriesChanged();
    }
    emit mapSettled();
}

hexsymmetry::MapShape MapFairness::shape() const {
    const MapDocument& document = editor_.document();
    if (!document.hasMap()) {
        return {0, 0, editor_.evenColumnsLower()};
    }
    return {document.columns(), document.rows(), editor_.evenColumnsLower()};
}

const amp::MapLayers& MapFairness::layers() {
    if (layersOf_ == content_) {
        return layers_;
    }
    const hexsymmetry::MapShape now = shape();
    const int hexes = now.columns * now.rows;
    bytes_.assign(amp::recordOffset(hexes), 0);
    const MapDocument& document = editor_.document();
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        document.layer(layer)->exportLayer(bytes_, layer, now.columns, now.rows);
    }
    layers_ = {};
    layers_.columns = now.columns;
    layers_.rows = now.rows;
    layers_.evenColumnsLower = now.evenColumnsLower;
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        layers_.layers[static_cast<std::size_t>(layer)] = {bytes_.data() + amp::HeaderSize + layer,
                                                           amp::RecordSize, hexes};
    }
    layersOf_ = content_;
    return layers_;
}

const amp::CostGrid& MapFairness::grid() {
    if (gridOf_ != content_) {
        grid_ = amp::costGrid(layers(), table_ ? *table_ : amp::uniformCosts());
        gridOf_ = content_;
    }
    return grid_;
}

DocumentResult MapFairness::chooseCostTable(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.isFile()) {
        return {DocumentResult::Kind::CannotOpen, tr("%1 is not a file.").arg(fileName), {}};
    }
    if (info.size() > LargestCostTable) {
        return {DocumentResult::Kind::CannotRead, tr("%1 is too large for a cost table.").arg(fileName), {}};
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return {DocumentResult::Kind::CannotOpen, file.errorString(), {}};
    }
    const QByteArray text = file.read(LargestCostTable + 1);
    if (file.error() != QFileDevice::NoError) {
        return {DocumentResult::Kind::CannotRead, file.errorString(), {}};
    }
    auto parsed =
        amp::parseCostTable(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    if (const auto* error = std::get_if<amp::CostTableError>(&parsed)) {
        return {DocumentResult::Kind::Failed,
                tr("%1 is not a cost table: %2").arg(info.fileName(), QString::fromStdString(error->message)),
                {}};
    }
    table_ = std::get<amp::CostTable>(std::move(parsed));
    tableName_ = info.completeBaseName();
    tableFile_ = fileName;
    gridOf_ = 0;
    fieldFrom_.reset();
    costsChanged();
    return {};
}

void MapFairness::clearCostTable() {
    if (!table_) {
        return;
    }
    table_.reset();
    tableName_.clear();
    tableFile_.clear();
    gridOf_ = 0;
    fieldFrom_.reset();
    costsChanged();
}

void MapFairness::costsChanged() {
    if (ruler_) {
        measure();
        emit rulerChanged();
    }
    if (!sides_.empty()) {
        computeTerritories();
        emit territoriesChanged();
    }
    emit costTableChanged();
}

void MapFairness::setRuler(HexCell from, HexCell to) {
    const hexsymmetry::MapShape now = shape();
    if (!now.contains(offsetOf(from)) || !now.contains(offsetOf(to))) {
        return;
    }
    if (ruler_ && ruler_->from == from && ruler_->to == to) {
        return;
    }
    Ruler ruler;
    ruler.from = from;
    ruler.to = to;
    ruler_ = std::move(ruler);
    measure();
    emit rulerChanged();
}

void MapFairness::clearRuler() {
    if (ruler_) {
        ruler_.reset();
        emit rulerChanged();
    }
}

// The line and distance from the lattice; the path by walking back from the far
// end over the least costs from the start: each step goes to a neighbour whose
// cost, plus that of entering the hex stepped from, is the cost of that hex.
void MapFairness::measure() {
    Ruler& ruler = *ruler_;
    const hexsymmetry::MapShape now = shape();
    if (!now.contains(offsetOf(ruler.from)) || !now.contains(offsetOf(ruler.to))) {
        ruler_.reset();
        return;
    }
    ruler.distance = hexsymmetry::distance(offsetOf(ruler.from), offsetOf(ruler.to), now.evenColumnsLower);
    ruler.line = cellsOf(hexsymmetry::line(now, offsetOf(ruler.from), offsetOf(ruler.to), 0));
    ruler.costed = table_.has_value();
    ruler.path.reset();
    if (!ruler.costed) {
        return;
    }
    const amp::CostGrid& costs = grid();
    if (!fieldFrom_ || !(*fieldFrom_ == ruler.from) || fieldOf_ != gridOf_) {
        field_ = amp::costsFrom(costs, offsetOf(ruler.from));
        fieldFrom_ = ruler.from;
        fieldOf_ = gridOf_;
    }
    const double total = field_[slotOf(now, ruler.to)];
    if (!std::isfinite(total)) {
        return;
    }
    amp::Path path;
    path.cost = total;
    hexsymmetry::Offset at = offsetOf(ruler.to);
    path.hexes.push_back(at);
    while (!(at == offsetOf(ruler.from))) {
        const double here = field_[slotOf(now, {at.column, at.row})];
        const double entering = costs.at(at);
        bool stepped = false;
        for (const hexsymmetry::Offset& next : hexsymmetry::neighbours(now, at)) {
            const double there = field_[slotOf(now, {next.column, next.row})];
            if (std::isfinite(there) && there < here && amp::sameCost(there + entering, here)) {
                at = next;
                stepped = true;
                break;
            }
        }
        if (!stepped || path.hexes.size() > field_.size()) {
            return; // costs that do not add up: no path rather than a wrong one
        }
        path.hexes.push_back(at);
    }
    std::reverse(path.hexes.begin(), path.hexes.end());
    ruler.path = std::move(path);
}

QString MapFairness::rulerText() const {
    if (!ruler_) {
        return {};
    }
    const QString hexes = ruler_->distance == 1 ? tr("1 hex") : tr("%1 hexes").arg(ruler_->distance);
    if (!ruler_->costed) {
        return hexes;
    }
    if (!ruler_->path) {
        return tr("%1 · no way through (%2)").arg(hexes, tableName_);
    }
    return tr("%1 · path cost %2 (%3)").arg(hexes, QString::number(ruler_->path->cost, 'g', 10), tableName_);
}

DocumentResult MapFairness::setSides(const std::vector<std::vector<HexCell>>& sides) {
    const hexsymmetry::MapShape now = shape();
    std::vector<std::vector<HexCell>> kept;
    for (const auto& side : sides) {
        std::vector<HexCell> starts;
        for (const HexCell& hex : side) {
            if (now.contains(offsetOf(hex))) {
                starts.push_back(hex);
            }
        }
        if (!starts.empty()) {
            kept.push_back(std::move(starts));
        }
    }
    if (kept.size() < 2) {
        return {DocumentResult::Kind::Failed,
                tr("Territories need two sides, each with a start hex on the map."),
                {}};
    }
    sides_ = std::move(kept);
    computeTerritories();
    emit territoriesChanged();
    emit mapSettled();
    return {};
}

void MapFairness::clearSides() {
    if (sides_.empty()) {
        return;
    }
    sides_.clear();
    owners_.clear();
    emit territoriesChanged();
    emit mapSettled();
}

// A side with one start is that start's territory; a side of several starts
// holds each hex nearer to one of them than any other side's starts, so each
// side's least costs are found apart and compared hex by hex.
void MapFairness::computeTerritories() {
    const amp::CostGrid& costs = grid();
    const bool single =
        std::all_of(sides_.begin(), sides_.end(), [](const auto& side) { return side.size() == 1; });
    if (single) {
        std::vector<hexsymmetry::Offset> starts;
        for (const auto& side : sides_) {
            starts.push_back(offsetOf(side.front()));
        }
        owners_ = amp::territories(costs, starts).owner;
        return;
    }
    std::vector<double> best;
    owners_.clear();
    for (std::size_t side = 0; side < sides_.size(); ++side) {
        std::vector<hexsymmetry::Offset> starts;
        for (const HexCell& hex : sides_[side]) {
            starts.push_back(offsetOf(hex));
        }
        const amp::Territories own = amp::territories(costs, starts);
        if (side == 0) {
            best = own.cost;
            owners_.assign(own.cost.size(), amp::Unreached);
            for (std::size_t k = 0; k < best.size(); ++k) {
                if (std::isfinite(best[k])) {
                    owners_[k] = 0;
                }
            }
            continue;
        }
        for (std::size_t k = 0; k < best.size(); ++k) {
            const double cost = own.cost[k];
            if (!std::isfinite(cost)) {
                continue;
            }
            if (!std::isfinite(best[k]) || (cost < best[k] && !amp::sameCost(cost, best[k]))) {
                best[k] = cost;
                owners_[k] = static_cast<std::int32_t>(side);
            } else if (amp::sameCost(cost, best[k])) {
                owners_[k] = amp::Contested;
            }
        }
    }
}

std::vector<std::int32_t> MapFairness::slotsOfSide(int side) {
    std::vector<std::int32_t> held;
    const std::vector<std::int32_t>& owner = owners_;
    for (std::size_t k = 0; k < owner.size(); ++k) {
        if (owner[k] == side) {
            held.push_back(static_cast<std::int32_t>(k));
        }
    }
    return held;
}

std::vector<std::vector<HexCell>> MapFairness::citySidesOfHalves(amp::Half half) {
    const amp::MapLayers& map = layers();
    std::vector<std::vector<HexCell>> sides(2);
    for (int which = 0; which < 2; ++which) {
        for (const std::int32_t slot : amp::slotsOfHalf(map, half, which)) {
            if (map.at(amp::CityLayer1, slot) != 0) {
                sides[static_cast<std::size_t>(which)].push_back({slot / map.rows, slot % map.rows});
            }
        }
    }
    return sides;
}
