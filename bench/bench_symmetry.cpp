// SPDX-License-Identifier: MIT
// Flips and symmetries of all 13 layers of the largest map in the real window
// (views and picture updated), their undo, and the stamp preview following the
// cursor over an 800 x 800 picture.
#include "hexmapview.h"
#include "mainwindow.h"
#include "mapdocument.h"
#include "mapfileio.h"
#include "mappanel.h"
#include "ratioreporter.h"
#include "silentdialogs.h"
#include "stamptool.h"
#include "symmetryedits.h"
#include "tfrmmaped.h"
#include "userdialogs.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QUndoStack>

#include <random>

namespace {

constexpr int PictureSide = 800;
constexpr int StampSide = 10;

// The largest map, every byte random, open in a shown window with its picture.
struct LargestWindow {
    QTemporaryDir dir;
    SilentDialogs dialogs;
    MainWindow window{dialogs, {QStringLiteral("ampedit")}};
    HexMapView* picture = window.mapPanel().view();
    LargestWindow() {
        std::vector<std::uint8_t> bytes = {1, 2, 255, 0, 255, 0, 5};
        std::mt19937 random(26);
        bytes.resize(amp::completeFileSize(amp::MapHeader{{1, 2, 255, 0, 255, 0, 5}}));
        for (std::size_t i = amp::HeaderSize; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(random());
        }
        const QString path = dir.filePath(QStringLiteral("largest.amp"));
        amp::writeFileSafely(path, bytes);
        window.form().LoadMap(path);
        window.show();
        picture->resize(PictureSide, PictureSide);
        picture->fitMap();
        QCoreApplication::processEvents();
    }
    MapDocument& document() { return window.document(); }
};

SymmetryRequest flip() {
    return {};
}

SymmetryRequest symmetrize() {
    SymmetryRequest request;
    request.action = SymmetryRequest::Action::Symmetrize;
    request.side = hexsymmetry::Side::TopLeft;
    return request;
}

// Applies the request (timed, with views and picture updated) and undoes it
// between rounds (not timed).
void timeApply(benchmark::State& state, const SymmetryRequest& request) {
    LargestWindow w;
    for (auto _ : state) {
        symmetryedits::apply(w.document(), 0, request, false);
        QCoreApplication::processEvents();
        state.PauseTiming();
        w.document().undoStack()->undo();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void timeUndo(benchmark::State& state, const SymmetryRequest& request) {
    LargestWindow w;
    symmetryedits::apply(w.document(), 0, request, false);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        w.document().undoStack()->undo();
        QCoreApplication::processEvents();
        state.PauseTiming();
        w.document().undoStack()->redo();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void FlipAllLayers(benchmark::State& state) {
    timeApply(state, flip());
}
void UndoFlipAllLayers(benchmark::State& state) {
    timeUndo(state, flip());
}
void SymmetrizeAllLayers(benchmark::State& state) {
    timeApply(state, symmetrize());
}
void UndoSymmetrizeAllLayers(benchmark::State& state) {
    timeUndo(state, symmetrize());
}

// A 10 x 10 stamp under a cursor that moves a hex at a time: the preview drawn
// again where it left and where it went.
void StampPreviewMove(benchmark::State& state) {
    LargestWindow w;
    w.document().selection().select(0, {QRect(0, 0, StampSide, StampSide)});
    auto* tool = w.picture->findChild<StampTool*>();
    tool->addStamp(*symmetryedits::copyAsStamp(w.document(), 0, true, false));
    QCoreApplication::processEvents();
    int step = 0;
    for (auto _ : state) {
        const QPointF at = w.picture->origin() + w.picture->geometryNow().centre(100 + step % 50, 100);
        ++step;
        QMouseEvent move(QEvent::MouseMove, at, tool->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(tool, &move);
        QCoreApplication::processEvents();
    }
}

} // namespace

#define SYMMETRY_BENCH(name)                                                                                 \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)
SYMMETRY_BENCH(FlipAllLayers);
SYMMETRY_BENCH(UndoFlipAllLayers);
SYMMETRY_BENCH(SymmetrizeAllLayers);
SYMMETRY_BENCH(UndoSymmetrizeAllLayers);
SYMMETRY_BENCH(StampPreviewMove);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication application(argc, argv);
    RatioReporter reporter;
    runWithRatios(argc, argv, reporter, {}, {});
    std::printf("  all 13 layers of the largest map, views and picture updated: flip left-right %.2f ms "
                "(undo %.2f ms), top-left quarter onto the rest %.2f ms (undo %.2f ms) (goal <= 50 ms, undo "
                "no slower)\n",
                reporter.nanoseconds("FlipAllLayers") / 1e6, reporter.nanoseconds("UndoFlipAllLayers") / 1e6,
                reporter.nanoseconds("SymmetrizeAllLayers") / 1e6,
                reporter.nanoseconds("UndoSymmetrizeAllLayers") / 1e6);
    std::printf("  stamp of 10 x 10 hexes, preview following the cursor: %.3f ms a move (goal <= 4 ms)\n",
                reporter.nanoseconds("StampPreviewMove") / 1e6);
    return 0;
}
