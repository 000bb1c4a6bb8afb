// SPDX-License-Identifier: MIT
// The ruler and the Statistics dock in the real window on the largest map: the
// ruler's far end dragged a hex at a time (its line, distance and cheapest path
// found, the status line and the picture updated), a drag begun (the costs from
// its start found), and the dock counting the whole map, its halves and the
// symmetry of all 13 layers.
#include "fairnesstools.h"
#include "hexmapview.h"
#include "mainwindow.h"
#include "mapeditor.h"
#include "mapfileio.h"
#include "mappanel.h"
#include "ratioreporter.h"
#include "silentdialogs.h"
#include "statisticsdock.h"
#include "tfrmmaped.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <random>

namespace {

constexpr int PictureSide = 800;

// The largest map, every byte random but the terrain (one of the 19 named
// kinds) and the roads (one hex in eight), open in a shown window with its
// picture, the shipped cost table chosen.
struct LargestWindow {
    QTemporaryDir dir;
    SilentDialogs dialogs;
    MainWindow window{dialogs, {QStringLiteral("ampedit")}};
    HexMapView* picture = window.mapPanel().view();
    LargestWindow() {
        const amp::MapHeader header{{1, 2, 255, 0, 255, 0, 5}};
        std::vector<std::uint8_t> bytes(header.bytes.begin(), header.bytes.end());
        std::mt19937 random(42);
        bytes.resize(amp::completeFileSize(header));
        for (std::size_t i = amp::HeaderSize; i < bytes.size(); ++i) {
            const std::size_t layer = (i - amp::HeaderSize) % amp::RecordSize;
            const auto value = static_cast<std::uint8_t>(random());
            bytes[i] = layer == amp::TerrainLayer                           ? value % 19
                       : layer == static_cast<std::size_t>(amp::RoadsLayer) ? (value % 8 == 0 ? 1 : 0)
                                                                            : value;
        }
        const QString path = dir.filePath(QStringLiteral("largest.amp"));
        amp::writeFileSafely(path, bytes);
        window.form().LoadMap(path);
        window.show();
        picture->resize(PictureSide, PictureSide);
        picture->fitMap();
        window.editor().fairness().chooseCostTable(
            QStringLiteral(AMPEDIT_SOURCE_DIR "/share/costs/default.json"));
        window.mapPanel().setTool(HexMapView::Tool::Ruler);
        QCoreApplication::processEvents();
    }
    // A cell typed (not timed): the next count reads the map's bytes again.
    void change(benchmark::State& state, int round) {
        state.PauseTiming();
        window.document().typeIntoCell(amp::TerrainLayer, 100, 100, QString::number(round % 19));
        state.ResumeTiming();
    }
    void send(QEvent::Type type, int column, int row, Qt::MouseButtons buttons) {
        const QPointF at = picture->origin() + picture->geometryNow().centre(column, row);
        QMouseEvent event(type, at, picture->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(picture, &event);
    }
};

// The far end moves a hex at a time along a row across the map, from a start
// near a corner: each move finds the line, the distance and the path anew.
void RulerMove(benchmark::State& state) {
    LargestWindow w;
    w.send(QEvent::MouseButtonPress, 2, 2, Qt::LeftButton);
    QCoreApplication::processEvents();
    int step = 0;
    for (auto _ : state) {
        w.send(QEvent::MouseMove, 60 + step % 190, 200, Qt::LeftButton);
        ++step;
        QCoreApplication::processEvents();
    }
    w.send(QEvent::MouseButtonRelease, 60, 200, Qt::NoButton);
    if (!w.window.editor().fairness().ruler()) {
        state.SkipWithError("no ruler on show");
    }
}

// A drag begun at another hex each time: the least costs from it to every hex.
void RulerPress(benchmark::State& state) {
    LargestWindow w;
    int step = 0;
    for (auto _ : state) {
        w.send(QEvent::MouseButtonPress, 10 + step % 200, 10, Qt::LeftButton);
        ++step;
        QCoreApplication::processEvents();
        state.PauseTiming();
        w.send(QEvent::MouseButtonRelease, 10, 10, Qt::NoButton);
        state.ResumeTiming();
    }
}

// The dock counts everything again: the map's bytes read, the whole map, the
// two halves and the symmetry of all 13 layers, the table filled.
void StatisticsDockRefresh(benchmark::State& state) {
    LargestWindow w;
    w.window.statistics().show();
    QCoreApplication::processEvents();
    int round = 0;
    for (auto _ : state) {
        w.change(state, ++round);
        w.window.statistics().refresh();
    }
}

// The dock's counts without the symmetry: the whole map and its halves, the
// map's bytes read after a change.
void WholeMapStatistics(benchmark::State& state) {
    LargestWindow w;
    MapFairness& fairness = w.window.editor().fairness();
    int round = 0;
    for (auto _ : state) {
        w.change(state, ++round);
        const amp::HexStats whole = amp::statsOfMap(fairness.layers());
        const auto halves = amp::statsOfHalves(fairness.layers(), amp::Half::LeftRight);
        benchmark::DoNotOptimize(whole.hexes + halves[0].hexes);
    }
}

// The whole largest map on show with two territories shaded: one paint.
void PaintTerritories(benchmark::State& state) {
    LargestWindow w;
    w.window.editor().fairness().setSides({{HexCell{10, 10}}, {HexCell{240, 240}}});
    QCoreApplication::processEvents();
    for (auto _ : state) {
        w.picture->repaint();
    }
}

} // namespace

#define FAIRNESS_BENCH(name)                                                                                 \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)
FAIRNESS_BENCH(RulerMove);
FAIRNESS_BENCH(RulerPress);
FAIRNESS_BENCH(StatisticsDockRefresh);
FAIRNESS_BENCH(WholeMapStatistics);
FAIRNESS_BENCH(PaintTerritories);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication application(argc, argv);
    RatioReporter reporter;
    runWithRatios(argc, argv, reporter, {}, {});
    std::printf(
        "  the ruler on the largest map, the picture drawn: a move to another hex %.3f ms (goal <= 16 ms), "
        "a drag begun %.2f ms\n",
        reporter.nanoseconds("RulerMove") / 1e6, reporter.nanoseconds("RulerPress") / 1e6);
    std::printf(
        "  the Statistics dock on the largest map: map and halves counted %.2f ms (goal <= 10 ms), the "
        "whole dock with 13 symmetry scores %.2f ms\n",
        reporter.nanoseconds("WholeMapStatistics") / 1e6,
        reporter.nanoseconds("StatisticsDockRefresh") / 1e6);
    std::printf("  the whole largest map painted with two territories shaded: %.2f ms\n",
                reporter.nanoseconds("PaintTerritories") / 1e6);
    return 0;
}
