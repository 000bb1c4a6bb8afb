// SPDX-License-Identifier: MIT
// Merging three of the largest maps (255 x 255 hexes) in which both sides
// changed every byte, each its own way (845,325 conflicts), in the real window on
// the offscreen platform:
//   the window's merge (--merge, File > Merge…): three files read, merged, the
//     result shown and the Conflicts dock filled
//   the Conflicts dock's list alone filled over that merge and painted once
// scripts/bench runs it.
#include "conflictmodel.h"
#include "conflictsdock.h"
#include "mainwindow.h"
#include "mapeditor.h"
#include "mapfileio.h"
#include "mapimage.h"
#include "ratioreporter.h"
#include "silentdialogs.h"

#include <QApplication>
#include <QTableView>
#include <QTemporaryDir>

#include <memory>
#include <random>

namespace {

// The base of random bytes; ours has every byte one higher, theirs two higher.
struct Maps {
    QTemporaryDir dir;
    QString base, ours, theirs, output;
};

Maps& maps() {
    static Maps made = [] {
        Maps m;
        amp::MapImage base;
        base.header.bytes = {1, 2, 255, 0, 255, 0, 5};
        base.records.resize(amp::MaxHexCount);
        std::mt19937 random(17);
        for (auto& record : base.records) {
            for (auto& byte : record) {
                byte = static_cast<std::uint8_t>(random());
            }
        }
        const auto shifted = [&base](int by) {
            amp::MapImage map = base;
            for (auto& record : map.records) {
                for (auto& byte : record) {
                    byte = static_cast<std::uint8_t>(byte + by);
                }
            }
            return map;
        };
        m.base = m.dir.filePath(QStringLiteral("base.amp"));
        m.ours = m.dir.filePath(QStringLiteral("ours.amp"));
        m.theirs = m.dir.filePath(QStringLiteral("theirs.amp"));
        m.output = m.dir.filePath(QStringLiteral("merged.amp"));
        if (!amp::writeFileSafely(m.base, amp::encodeMap(base)) ||
            !amp::writeFileSafely(m.ours, amp::encodeMap(shifted(1))) ||
            !amp::writeFileSafely(m.theirs, amp::encodeMap(shifted(2)))) {
            qFatal("cannot write the maps");
        }
        return m;
    }();
    return made;
}

struct Window {
    SilentDialogs dialogs;
    std::unique_ptr<MainWindow> main;

    Window() {
        main = std::make_unique<MainWindow>(dialogs, QStringList{QStringLiteral("ampedit")});
        main->show();
        QApplication::processEvents();
    }
};

void MergeAndList(benchmark::State& state) {
    Window window;
    for (auto _ : state) {
        if (!window.main->merge(maps().base, maps().ours, maps().theirs, maps().output)) {
            state.SkipWithError("no merge");
        }
        benchmark::DoNotOptimize(window.main->conflicts().model()->rowCount());
    }
    state.counters["rows"] = window.main->conflicts().model()->rowCount();
}

// The list as the dock shows it: a model over the merge, a view of the dock's
// size given it and painted.
void FillConflictList(benchmark::State& state) {
    Window window;
    window.main->merge(maps().base, maps().ours, maps().theirs, maps().output);
    const MapMerge& merge = *window.main->editor().merge();
    QTableView view;
    view.resize(window.main->conflicts().table()->size());
    view.show();
    for (auto _ : state) {
        ConflictModel model(merge);
        view.setModel(&model);
        view.repaint();
        benchmark::DoNotOptimize(model.rowCount());
        view.setModel(nullptr);
    }
    state.counters["rows"] = static_cast<double>(merge.conflictCount());
}

} // namespace

BENCHMARK(MergeAndList)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(FillConflictList)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication application(argc, argv);
    RatioReporter reporter;
    runWithRatios(argc, argv, reporter, {}, {});
    std::printf("merge three largest maps that conflict everywhere (845,325 conflicts): the window's merge "
                "with the Conflicts dock filled %.1f ms; the Conflicts list alone filled and painted %.1f ms "
                "(goal <= 100 ms)\n",
                reporter.nanoseconds("MergeAndList") / 1e6, reporter.nanoseconds("FillConflictList") / 1e6);
    return 0;
}
