// SPDX-License-Identifier: MIT
// The fairness rules on the largest map (255 x 255 hexes, a generated one with
// forests, rivers, cities and roads), through the shipped cost table: the
// cheapest path from corner to corner, the territories of two starts and the
// statistics of the whole map, each beside one plain pass over the map's
// terrain bytes, the floor of any work on every hex.
#include "costtable.h"
#include "hexpaths.h"
#include "mapgenerator.h"
#include "mapstats.h"
#include "ratioreporter.h"

#include <fstream>
#include <numeric>
#include <sstream>

namespace {

const amp::MapImage& largestMap() {
    static const amp::MapImage map = amp::generateMap(255, 255, 42);
    return map;
}

amp::MapLayers largestLayers() {
    return amp::layersOf(amp::viewOf(largestMap()), false);
}

const amp::CostTable& shippedTable() {
    static const amp::CostTable table = [] {
        std::ifstream file(SHIPPED_COST_TABLE);
        std::stringstream text;
        text << file.rdbuf();
        auto parsed = amp::parseCostTable(text.str());
        return std::holds_alternative<amp::CostTable>(parsed) ? std::get<amp::CostTable>(parsed)
                                                              : amp::uniformCosts();
    }();
    return table;
}

// The shipped table with its impassable terrains at 4: the generated map's
// corners lie in the sea, and a way from one to the other searches the whole map.
const amp::CostTable& crossingTable() {
    static const amp::CostTable table = [] {
        amp::CostTable crossing = shippedTable();
        for (double& cost : crossing.terrain) {
            cost = cost == amp::ImpassableCost ? 4 : cost;
        }
        crossing.name += ", water at 4";
        return crossing;
    }();
    return table;
}

void TerrainPass(benchmark::State& state) {
    const amp::MapLayers map = largestLayers();
    for (auto _ : state) {
        unsigned sum = 0;
        for (int slot = 0; slot < map.hexCount(); ++slot) {
            sum += map.at(amp::TerrainLayer, slot);
        }
        benchmark::DoNotOptimize(sum);
    }
}

void PathCornerToCorner(benchmark::State& state) {
    const amp::MapLayers map = largestLayers();
    for (auto _ : state) {
        auto way = amp::shortestPath(amp::costGrid(map, crossingTable()), {0, 0}, {254, 254});
        benchmark::DoNotOptimize(way);
    }
}

void TerritoriesOfTwo(benchmark::State& state) {
    const amp::MapLayers map = largestLayers();
    for (auto _ : state) {
        auto split = amp::territories(amp::costGrid(map, shippedTable()), {{20, 127}, {234, 127}});
        benchmark::DoNotOptimize(split);
    }
}

void StatsWholeMap(benchmark::State& state) {
    const amp::MapLayers map = largestLayers();
    for (auto _ : state) {
        auto stats = amp::statsOfMap(map);
        benchmark::DoNotOptimize(stats);
    }
}

void StatsHalvesAndSymmetry(benchmark::State& state) {
    const amp::MapLayers map = largestLayers();
    for (auto _ : state) {
        auto halves = amp::statsOfHalves(map, amp::Half::LeftRight);
        auto score = amp::symmetryScore(map, hexsymmetry::Flip::LeftRight);
        benchmark::DoNotOptimize(halves);
        benchmark::DoNotOptimize(score);
    }
}

} // namespace

BENCHMARK(TerrainPass)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(PathCornerToCorner)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(TerritoriesOfTwo)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(StatsWholeMap)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(StatsHalvesAndSymmetry)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    RatioReporter reporter;
    runWithRatios(argc, argv, reporter,
                  {{{"PathCornerToCorner", "TerrainPass"}, "path <= 20 ms"},
                   {{"TerritoriesOfTwo", "TerrainPass"}, "territories <= 50 ms"},
                   {{"StatsWholeMap", "TerrainPass"}, "statistics <= 10 ms"}},
                  {"path corner to corner vs one pass", "territories of two vs one pass",
                   "statistics of the map vs one pass"});
    const auto way = amp::shortestPath(amp::costGrid(largestLayers(), crossingTable()), {0, 0}, {254, 254});
    std::printf(
        "  largest map: path 0,0 to 254,254 (table \"%s\") %.2f ms (goal <= 20 ms; cost %g, %zu "
        "hexes), territories of 20,127 and 234,127 (table \"%s\") %.2f ms (goal <= 50 ms), statistics "
        "%.2f ms (goal <= 10 ms), halves and symmetry %.2f ms\n",
        crossingTable().name.c_str(), reporter.nanoseconds("PathCornerToCorner") / 1e6,
        way ? way->cost : -1.0, way ? way->hexes.size() : std::size_t(0), shippedTable().name.c_str(),
        reporter.nanoseconds("TerritoriesOfTwo") / 1e6, reporter.nanoseconds("StatsWholeMap") / 1e6,
        reporter.nanoseconds("StatsHalvesAndSymmetry") / 1e6);
    return 0;
}
