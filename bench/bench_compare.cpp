// SPDX-License-Identifier: MIT
// Comparing two of the largest maps (255 x 255 hexes) that differ in every cell
// (845,325 differences), in the real window on the offscreen platform:
//   File > Compare With… : the other file read, compared, the list filled
//   the picture (its dock 800 x 800) repainted with every differing hex outlined, beside
//     the same repaint without a comparison
//   F8: the next difference chosen in the list, its layer shown, its hex selected
//   the document's next difference once around the map, when only one cell differs
// scripts/bench runs it.
#include "differencemodel.h"
#include "differencesdock.h"
#include "hexmapview.h"
#include "mainwindow.h"
#include "mapcomparison.h"
#include "mapdocument.h"
#include "mapfileio.h"
#include "mapimage.h"
#include "mappanel.h"
#include "ratioreporter.h"
#include "silentdialogs.h"

#include <QApplication>
#include <QDockWidget>
#include <QTemporaryDir>

#include <memory>
#include <random>

namespace {

constexpr int PictureSide = 800;

// The largest map of random bytes, and the same map with every byte one higher.
struct Maps {
    QTemporaryDir dir;
    QString mine;
    QString theirs;
    amp::MapImage map;
};

Maps& maps() {
    static Maps made = [] {
        Maps m;
        m.map.header.bytes = {1, 2, 255, 0, 255, 0, 5};
        m.map.records.resize(amp::MaxHexCount);
        std::mt19937 random(11);
        for (auto& record : m.map.records) {
            for (auto& byte : record) {
                byte = static_cast<std::uint8_t>(random());
            }
        }
        amp::MapImage other = m.map;
        for (auto& record : other.records) {
            for (auto& byte : record) {
                ++byte;
            }
        }
        m.mine = m.dir.filePath(QStringLiteral("mine.amp"));
        m.theirs = m.dir.filePath(QStringLiteral("theirs.amp"));
        if (!amp::writeFileSafely(m.mine, amp::encodeMap(m.map)) ||
            !amp::writeFileSafely(m.theirs, amp::encodeMap(other))) {
            qFatal("cannot write the maps");
        }
        return m;
    }();
    return made;
}

struct Window {
    SilentDialogs dialogs;
    std::unique_ptr<MainWindow> main;
    HexMapView* picture = nullptr;

    Window() {
        main = std::make_unique<MainWindow>(dialogs, QStringList{QStringLiteral("ampedit"), maps().mine});
        main->show();
        auto* dock = main->findChild<QDockWidget*>(QStringLiteral("mapDock"));
        dock->setFloating(true);
        dock->resize(PictureSide, PictureSide);
        picture = main->mapPanel().view();
        QApplication::processEvents();
        picture->fitMap();
        QApplication::processEvents();
    }
};

void CompareAndList(benchmark::State& state) {
    Window window;
    for (auto _ : state) {
        if (!window.main->compareWith(maps().theirs)) {
            state.SkipWithError("no comparison");
        }
        benchmark::DoNotOptimize(window.main->differences().model()->rowCount());
    }
    state.counters["rows"] = window.main->differences().model()->rowCount();
}

void PictureRepaint(benchmark::State& state, bool comparing) {
    Window window;
    if (comparing) {
        window.main->compareWith(maps().theirs);
        window.main->differences().setMarkingEveryLayer(true);
    }
    for (auto _ : state) {
        window.picture->repaint();
    }
    state.counters["width"] = window.picture->width();
    state.counters["height"] = window.picture->height();
}
void PictureMarked(benchmark::State& state) {
    PictureRepaint(state, true);
}
void PictureUnmarked(benchmark::State& state) {
    PictureRepaint(state, false);
}

// F8 as the window does it: the list's next row chosen, its layer shown, its hex
// selected; the paints that follow are the picture's and the view's own.
void stepThrough(benchmark::State& state, int layer) {
    Window window;
    window.main->compareWith(maps().theirs);
    DifferencesDock& dock = window.main->differences();
    dock.model()->setLayerFilter(layer);
    for (auto _ : state) {
        dock.stepDifference(1);
    }
}
void NextDifference(benchmark::State& state) {
    stepThrough(state, -1); // every step shows another layer
}
void NextOnOneLayer(benchmark::State& state) {
    stepThrough(state, 0);
}

void NextAroundTheMap(benchmark::State& state) {
    MapDocument mine, theirs;
    amp::MapImage other = maps().map;
    mine.load(maps().map, {});
    ++other.records.front()[0];
    theirs.load(other, {});
    const MapComparison comparison(mine, theirs);
    // Every hex is looked at before the search comes back to the first one.
    for (auto _ : state) {
        benchmark::DoNotOptimize(comparison.step(Difference{0, 0, 0}, 1));
    }
}

} // namespace

BENCHMARK(CompareAndList)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(PictureMarked)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(PictureUnmarked)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(NextDifference)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(NextOnOneLayer)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(NextAroundTheMap)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication application(argc, argv);
    RatioReporter reporter;
    runWithRatios(argc, argv, reporter, {{{"PictureMarked", "PictureUnmarked"}, "the marks' cost"}},
                  {"picture with every hex outlined vs without"});
    const double compare = reporter.nanoseconds("CompareAndList") / 1e6;
    const double marked = reporter.nanoseconds("PictureMarked") / 1e6;
    std::printf("compare two largest maps that differ everywhere: compare and fill the list %.1f ms + mark "
                "the picture %.1f ms = %.1f ms (goal <= 100 ms)\n",
                compare, marked, compare + marked);
    std::printf("next difference: F8 in the window %.3f ms (to another layer), %.3f ms (on one layer); the "
                "document's step once around the map %.3f ms (goal <= 1 ms)\n",
                reporter.nanoseconds("NextDifference") / 1e6, reporter.nanoseconds("NextOnOneLayer") / 1e6,
                reporter.nanoseconds("NextAroundTheMap") / 1e6);
    return 0;
}
