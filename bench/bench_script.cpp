// SPDX-License-Identifier: MIT
// A script against the largest map: every cell read and one layer set, the
// whole run timed (the map handed to the engine, the script, the changed cells
// compared and pushed as one undo step), against a script that does nothing.
#include "jsengine.h"
#include "mapdocument.h"
#include "ratioreporter.h"
#include "scriptrunner.h"

#include <QCoreApplication>

#include <random>

namespace {

// For each of the 65,025 hexes, `read` layers read and layer 12 set: 12 read
// make 845,325 calls, all 13 read 910,350.
QString everyCell(int read) {
    return QStringLiteral(R"(
        let sum = 0;
        for (let column = 0; column < map.columns; ++column) {
            for (let row = 0; row < map.rows; ++row) {
                for (let layer = 0; layer < %1; ++layer) {
                    sum += map.get(layer, column, row);
                }
                map.set(12, column, row, sum & 255);
            }
        }
    )")
        .arg(read);
}

struct LargestMap {
    MapDocument document;
    ScriptRunner runner{document, linkedScriptEngine};
    LargestMap() {
        const amp::MapHeader header{{1, 2, 255, 0, 255, 0, 5}};
        amp::MapImage map = amp::makeMap(header, header.columns(), header.rows());
        std::mt19937 random(28);
        for (amp::CellRecord& record : map.records) {
            for (std::uint8_t& byte : record) {
                byte = static_cast<std::uint8_t>(random());
            }
        }
        document.load(map, QStringLiteral("largest.amp"));
    }
};

void timeScript(benchmark::State& state, const QString& source) {
    LargestMap map;
    for (auto _ : state) {
        const ScriptOutcome outcome = map.runner.run(source, QStringLiteral("bench.js"));
        if (!outcome.ok()) {
            state.SkipWithError(qPrintable(outcome.error));
            return;
        }
        state.PauseTiming();
        if (outcome.changed) {
            map.document.undoStack()->undo();
        }
        state.ResumeTiming();
    }
}

void ScriptReadTwelveSetOne(benchmark::State& state) {
    timeScript(state, everyCell(12));
}
void ScriptReadAllSetOne(benchmark::State& state) {
    timeScript(state, everyCell(13));
}
void ScriptEmpty(benchmark::State& state) {
    timeScript(state, QString());
}

} // namespace

#define SCRIPT_BENCH(name)                                                                                   \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)
SCRIPT_BENCH(ScriptReadTwelveSetOne);
SCRIPT_BENCH(ScriptReadAllSetOne);
SCRIPT_BENCH(ScriptEmpty);

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    RatioReporter reporter;
    runWithRatios(argc, argv, reporter, {}, {});
    std::printf(
        "  a script on the largest map, 12 layers read and one set (845,325 calls): %.0f ms; all 13 read "
        "and one set (910,350): %.0f ms; an empty script: %.0f ms (goal <= 1 s)\n",
        reporter.nanoseconds("ScriptReadTwelveSetOne") / 1e6,
        reporter.nanoseconds("ScriptReadAllSetOne") / 1e6, reporter.nanoseconds("ScriptEmpty") / 1e6);
    return 0;
}
