// SPDX-License-Identifier: MIT
// The window's costs on the largest map (255 x 255 hexes, 13 layers), each beside
// a baseline measured in the same run:
//   placing the map into the 13 views      vs  decoding it alone
//   writing it (texts -> bytes -> commit)  vs  a plain QSaveFile of the same bytes
//   repainting a 900 x 600 part            vs  a stock QTableView, default delegate
//   scrolling that part by one screen      vs  the same stock view
// Run on the offscreen platform (scripts/bench sets it).
#include "bulkedits.h"
#include "hexmapview.h"
#include "layermodel.h"
#include "layerview.h"
#include "mainwindow.h"
#include "mapdocument.h"
#include "mapfileio.h"
#include "mapimage.h"
#include "mappanel.h"
#include "ratioreporter.h"
#include "silentdialogs.h"
#include "tfrmmaped.h"
#include "userdialogs.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QPainter>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QUndoStack>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include <malloc.h>
#include <random>

// Every allocation of the program is counted, so that a repaint can show how many
// it makes, and so are the bytes held, so that an undo step's size is measured
// from outside.
static std::atomic<long> allocations{0};
static std::atomic<long> heldBytes{0};
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size ? size : 1)) {
        heldBytes.fetch_add(static_cast<long>(malloc_usable_size(memory)), std::memory_order_relaxed);
        return memory;
    }
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    if (memory) {
        heldBytes.fetch_sub(static_cast<long>(malloc_usable_size(memory)), std::memory_order_relaxed);
    }
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    operator delete(memory);
}

namespace {

constexpr int ScreenWidth = 900;
constexpr int ScreenHeight = 600;

// The largest map, mixed: about a quarter of the bytes 0, the rest 1..255.
const amp::MapImage& mixedMap() {
    static const amp::MapImage map = [] {
        amp::MapImage image;
        image.header.bytes = {1, 2, 255, 0, 255, 0, 5};
        image.records.resize(amp::MaxHexCount);
        std::mt19937 random(7);
        for (auto& record : image.records) {
            for (auto& byte : record) {
                byte = random() % 4 == 0 ? 0 : static_cast<std::uint8_t>(1 + random() % 255);
            }
        }
        return image;
    }();
    return map;
}

const std::vector<std::uint8_t>& mixedFile() {
    static const auto bytes = amp::encodeMap(mixedMap());
    return bytes;
}

QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

// The stock way: the texts made on demand for the default delegate.
class StockModel : public QAbstractTableModel {
public:
    explicit StockModel(int layer) : layer_(layer) {}
    int rowCount(const QModelIndex& = {}) const override { return amp::MaxDimension; }
    int columnCount(const QModelIndex& = {}) const override { return amp::MaxDimension; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole) {
            return {};
        }
        const auto k = amp::recordOfCell(index.column(), index.row(), amp::MaxDimension);
        return QString::number(
            mixedMap().records[static_cast<std::size_t>(k)][static_cast<std::size_t>(layer_)]);
    }

private:
    int layer_;
};

void styleLikeALayerView(QTableView& view) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(6);
    view.setFont(font);
    view.setShowGrid(false);
    view.setFrameShape(QFrame::NoFrame);
    for (QHeaderView* header : {view.horizontalHeader(), view.verticalHeader()}) {
        header->hide();
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    view.horizontalHeader()->setDefaultSectionSize(18);
    view.verticalHeader()->setDefaultSectionSize(16);
}

// Our view over the mixed map, full size inside a 900 x 600 scroll area, as the
// window holds it.
struct OurScreen {
    QScrollArea area;
    LayerModel model;
    LayerView* view = new LayerView;
    OurScreen() {
        view->setLayerModel(&model);
        view->setFont(QFont(QStringLiteral("DejaVu Sans")));
        view->setFontSize(6);
        view->setDefaultColumnWidth(18);
        view->setDefaultRowHeight(16);
        view->layerModel()->loadLayer(mixedMap(), 4);
        view->resize(255 * 18 + 5, 255 * 16 + 5);
        area.setFrameShape(QFrame::NoFrame);
        area.setWidget(view);
        area.resize(ScreenWidth, ScreenHeight);
        area.show();
    }
    QScrollBar* scrollBar() { return area.verticalScrollBar(); }
    QWidget* canvas() { return view->viewport(); }
};

struct StockScreen {
    StockModel model{4};
    QTableView view;
    StockScreen() {
        view.setModel(&model);
        styleLikeALayerView(view);
        view.resize(ScreenWidth, ScreenHeight);
        view.show();
    }
    QScrollBar* scrollBar() { return view.verticalScrollBar(); }
    QWidget* canvas() { return view.viewport(); }
};

template <typename Screen> double allocationsPerCell = 0;

// Paints the 900 x 600 part on show into an image, as a repaint would.
template <typename Screen> void paintScreen(Screen& screen, QImage& image) {
    QWidget* canvas = screen.canvas();
    const QPoint offset = canvas->mapFrom(canvas->window(), QPoint(0, 0));
    canvas->render(&image, QPoint(), QRegion(QRect(offset, QSize(ScreenWidth, ScreenHeight))));
}

template <typename Screen> void Repaint(benchmark::State& state) {
    Screen screen;
    QImage image(ScreenWidth, ScreenHeight, QImage::Format_ARGB32_Premultiplied);
    paintScreen(screen, image); // the first paint lays out the texts in use
    long before = 0;
    long repaints = 0;
    for (auto _ : state) {
        before = repaints == 0 ? allocations.load() : before;
        paintScreen(screen, image);
        ++repaints;
    }
    const double cells = (ScreenWidth / 18.0) * (ScreenHeight / 16.0);
    allocationsPerCell<Screen> = double(allocations.load() - before) / double(repaints) / cells;
    state.counters["allocs/cell"] = allocationsPerCell<Screen>;
}

template <typename Screen> void Scroll(benchmark::State& state) {
    Screen screen;
    QScrollBar* bar = screen.scrollBar();
    QImage image(ScreenWidth, ScreenHeight, QImage::Format_ARGB32_Premultiplied);
    const int page = bar->pageStep();
    int value = 0;
    for (auto _ : state) {
        value = value + page > bar->maximum() ? 0 : value + page;
        bar->setValue(value);
        QCoreApplication::sendPostedEvents(); // the view lays out its scrolled contents
        paintScreen(screen, image);
    }
}

void RepaintOurs(benchmark::State& state) {
    Repaint<OurScreen>(state);
}
void RepaintStock(benchmark::State& state) {
    Repaint<StockScreen>(state);
}
void ScrollOurs(benchmark::State& state) {
    Scroll<OurScreen>(state);
}
void ScrollStock(benchmark::State& state) {
    Scroll<StockScreen>(state);
}

void DecodeLargest(benchmark::State& state) {
    for (auto _ : state) {
        auto image = amp::decodeMap(mixedFile());
        benchmark::DoNotOptimize(image);
    }
}

void PlaceLargest(benchmark::State& state) {
    std::array<std::unique_ptr<LayerModel>, amp::LayerCount> models;
    for (auto& model : models) {
        model = std::make_unique<LayerModel>();
    }
    for (auto _ : state) {
        const auto image = amp::decodeMap(mixedFile());
        for (int layer = 0; layer < amp::LayerCount; ++layer) {
            models[static_cast<std::size_t>(layer)]->loadLayer(image.value(), layer);
        }
    }
}

void LoadMapLargest(benchmark::State& state) {
    static const QString path = scratch().filePath(QStringLiteral("largest.amp"));
    amp::writeFileSafely(path, mixedFile());
    SilentDialogs dialogs;
    MainWindow window(dialogs, {QStringLiteral("ampedit")});
    for (auto _ : state) {
        window.form().LoadMap(path);
    }
}

void WriteMapLargest(benchmark::State& state) {
    static const QString in = scratch().filePath(QStringLiteral("in.amp"));
    amp::writeFileSafely(in, mixedFile());
    SilentDialogs dialogs;
    MainWindow window(dialogs, {QStringLiteral("ampedit"), in});
    const QString out = scratch().filePath(QStringLiteral("out.amp"));
    for (auto _ : state) {
        window.form().WriteMap(out);
    }
}

// One step that changes every cell of a layer of the largest map, undone or redone
// with the window's views attached, as the program holds them.
struct LayerStep {
    SilentDialogs dialogs;
    MainWindow window{dialogs, {QStringLiteral("ampedit")}};
    double bytesPerCell = 0;
    LayerStep() {
        static const QString path = scratch().filePath(QStringLiteral("step.amp"));
        amp::writeFileSafely(path, mixedFile());
        window.form().LoadMap(path);
        std::vector<CellEdit> edits;
        for (int column = 0; column < amp::MaxDimension; ++column) {
            for (int row = 0; row < amp::MaxDimension; ++row) {
                edits.push_back(
                    {4, column, row, LayerModel::canonicalText(static_cast<std::uint8_t>(column ^ row))});
            }
        }
        const long before = heldBytes.load();
        auto* step = new SetCellsCommand(window.document(), QStringLiteral("layer"), edits);
        bytesPerCell = double(heldBytes.load() - before) / double(step->cellCount());
        window.document().undoStack()->push(step);
    }
};
double stepBytesPerCell = 0;

// A stroke of 1,000 dabs of the 7-hex brush across the largest map, through the
// document as the picture paints it: four sweeps along the rows. The document
// alone, so that the bytes held are the step's and not the views' pending
// repaints.
double strokeBytesPerCell = 0;
int strokeSteps = 0;
std::size_t strokeCells = 0;
void StrokeThousandDabs(benchmark::State& state) {
    MapDocument document;
    document.load(amp::decodeMap(mixedFile()).value(), QStringLiteral("stroke.amp"));
    document.typeIntoCell(4, 0, 0, QStringLiteral("1")); // a step below, as in a session
    const HexGeometry geometry(amp::MaxDimension, amp::MaxDimension, 1);
    constexpr int Dabs = 1000;
    constexpr int Sweep = 250;
    for (auto _ : state) {
        state.PauseTiming();
        document.undoStack()->setIndex(1); // the stroke before goes at the first dab
        const bool fresh = document.undoStack()->count() == 1;
        const int stepsBefore = document.undoStack()->count();
        std::vector<std::uint8_t> layerBefore(static_cast<std::size_t>(document.layer(2)->cellCount()));
        for (std::size_t slot = 0; slot < layerBefore.size(); ++slot) {
            layerBefore[slot] = document.layer(2)->byteAt(slot);
        }
        const long before = heldBytes.load();
        state.ResumeTiming();
        document.beginStroke(2, QStringLiteral("250"));
        for (int dab = 0; dab < Dabs; ++dab) {
            const HexCell centre{2 + dab % Sweep, 20 + 60 * (dab / Sweep)};
            std::vector<HexCell> cells = {centre};
            const auto around = geometry.neighbours(centre.column, centre.row);
            cells.insert(cells.end(), around.begin(), around.end());
            document.paintDab(cells);
        }
        document.endStroke();
        state.PauseTiming();
        if (!fresh) {
            state.ResumeTiming();
            continue; // the bytes and the steps are measured on a stack with nothing above
        }
        const long held = heldBytes.load() - before;
        strokeSteps = document.undoStack()->count() - stepsBefore;
        strokeCells = 0;
        for (std::size_t slot = 0; slot < layerBefore.size(); ++slot) {
            strokeCells += document.layer(2)->byteAt(slot) != layerBefore[slot] ? 1 : 0;
        }
        strokeBytesPerCell = double(held) / double(std::max<std::size_t>(strokeCells, 1));
        state.ResumeTiming();
    }
}

void UndoFullLayer(benchmark::State& state) {
    LayerStep step;
    stepBytesPerCell = step.bytesPerCell;
    QUndoStack* stack = step.window.document().undoStack();
    for (auto _ : state) {
        stack->undo();
        state.PauseTiming();
        stack->redo();
        state.ResumeTiming();
    }
}

void RedoFullLayer(benchmark::State& state) {
    LayerStep step;
    QUndoStack* stack = step.window.document().undoStack();
    for (auto _ : state) {
        state.PauseTiming();
        stack->undo();
        state.ResumeTiming();
        stack->redo();
    }
}

// Allocations of one typed cell: its step and what the step holds.
double typingAllocations = 0;
void TypeIntoCell(benchmark::State& state) {
    LayerStep step;
    MapDocument& document = step.window.document();
    long count = 0;
    long typed = 0;
    for (auto _ : state) {
        const long before = allocations.load();
        document.typeIntoCell(0, 100, 100,
                              LayerModel::canonicalText(static_cast<std::uint8_t>(typed % 2 + 1)));
        count += allocations.load() - before;
        ++typed;
    }
    typingAllocations = double(count) / double(typed);
}

// The picture of the largest map fitted into 800 x 800, as it opens (terrain,
// heights as relief, roads and both city layers as marks) with outlines: a whole
// repaint, and the repaint that one edited cell causes.
struct PictureOfLargest : LayerStep {
    HexMapView* view = window.mapPanel().view();
    PictureOfLargest() {
        PictureLayers shown = view->pictureLayers();
        shown.outlines = true;
        view->setPictureLayers(shown);
        window.show();
        view->resize(800, 800);
        view->fitMap();
        QCoreApplication::processEvents();
    }
};
double pictureBytes = 0;

void PictureFullRepaint(benchmark::State& state) {
    PictureOfLargest picture;
    MapDocument& document = picture.window.document();
    int typed = 0;
    for (auto _ : state) {
        // A repaint with nothing changed takes the last picture again: one cell
        // changes first, so that every hex is drawn.
        document.typeIntoCell(0, 0, 0, LayerModel::canonicalText(static_cast<std::uint8_t>(typed++ % 2 + 3)));
        picture.view->repaint();
    }
    // The picture keeps one image of the area it repaints, whatever the zoom.
    pictureBytes = 800.0 * 800.0 * 4;
}

void PictureOneCell(benchmark::State& state) {
    PictureOfLargest picture;
    MapDocument& document = picture.window.document();
    int typed = 0;
    for (auto _ : state) {
        document.typeIntoCell(0, 127, 127,
                              LayerModel::canonicalText(static_cast<std::uint8_t>(typed++ % 2 + 3)));
        QCoreApplication::processEvents(); // the repaint of what changed
    }
}

// Bulk edits on the largest map with the views and the picture on screen: each
// action, then its undo, with the repaints they cause.
void FillWholeLayer(benchmark::State& state) {
    PictureOfLargest picture;
    LayerView* view = picture.window.form().LayerGrids()[0];
    view->selectAll();
    int round = 0;
    for (auto _ : state) {
        picture.window.form().fillCells(
            0, view->chosenCells(), LayerModel::canonicalText(static_cast<std::uint8_t>(++round % 2 + 7)));
        QCoreApplication::processEvents();
    }
}

void ReplaceWholeLayer(benchmark::State& state) {
    PictureOfLargest picture;
    MapDocument& document = picture.window.document();
    const LayerModel* model = document.layer(0);
    int round = 0;
    for (auto _ : state) {
        // What Edit > Replace does: every cell of the value, one step.
        const int from = round % 256, to = (round + 1) % 256;
        ++round;
        std::vector<CellEdit> edits;
        for (std::size_t slot = 0; slot < model->cellCount(); ++slot) {
            if (model->byteAt(slot) == from) {
                edits.push_back({0, static_cast<int>(slot) / 255, static_cast<int>(slot) % 255,
                                 LayerModel::canonicalText(static_cast<std::uint8_t>(to))});
            }
        }
        document.editCells(QStringLiteral("replace"), edits);
        QCoreApplication::processEvents();
    }
}

// Times the undo of the step on top, with the views and the picture updated; the
// redo that puts it back between rounds is not timed.
void timeUndo(benchmark::State& state, QUndoStack* stack) {
    for (auto _ : state) {
        stack->undo();
        QCoreApplication::processEvents();
        state.PauseTiming();
        stack->redo();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

void UndoFill(benchmark::State& state) {
    PictureOfLargest picture;
    LayerView* view = picture.window.form().LayerGrids()[0];
    view->selectAll();
    picture.window.form().fillCells(0, view->chosenCells(), LayerModel::canonicalText(7));
    timeUndo(state, picture.window.document().undoStack());
}

void CopyPasteAllLayers(benchmark::State& state) {
    PictureOfLargest picture;
    BulkEdits& bulk = picture.window.bulkEdits();
    LayerView* view = picture.window.form().LayerGrids()[0];
    int round = 0;
    for (auto _ : state) {
        view->selectAll();
        bulk.copyAllLayers();
        view->selectionModel()->clearSelection();
        view->setCurrentIndex(view->model()->index(0, ++round % 2)); // a column over, then back
        bulk.paste();
        QCoreApplication::processEvents();
    }
}

void UndoPaste(benchmark::State& state) {
    PictureOfLargest picture;
    BulkEdits& bulk = picture.window.bulkEdits();
    LayerView* view = picture.window.form().LayerGrids()[0];
    view->selectAll();
    bulk.copyAllLayers();
    view->selectionModel()->clearSelection();
    view->setCurrentIndex(view->model()->index(0, 1));
    bulk.paste();
    timeUndo(state, picture.window.document().undoStack());
}

void PlainSaveFile(benchmark::State& state) {
    const QString out = scratch().filePath(QStringLiteral("plain.amp"));
    const auto& bytes = mixedFile();
    for (auto _ : state) {
        QSaveFile file(out);
        file.open(QIODevice::WriteOnly);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        file.commit();
    }
}

} // namespace

#define WINDOW_BENCH(name)                                                                                   \
    BENCHMARK(name)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)
WINDOW_BENCH(DecodeLargest);
WINDOW_BENCH(PlaceLargest);
WINDOW_BENCH(LoadMapLargest);
WINDOW_BENCH(PlainSaveFile);
WINDOW_BENCH(WriteMapLargest);
WINDOW_BENCH(RepaintStock);
WINDOW_BENCH(RepaintOurs);
WINDOW_BENCH(ScrollStock);
WINDOW_BENCH(ScrollOurs);
WINDOW_BENCH(UndoFullLayer);
WINDOW_BENCH(RedoFullLayer);
BENCHMARK(TypeIntoCell)->Unit(benchmark::kMicrosecond)->Iterations(2000);
WINDOW_BENCH(PictureFullRepaint);
WINDOW_BENCH(PictureOneCell);
WINDOW_BENCH(FillWholeLayer);
WINDOW_BENCH(ReplaceWholeLayer);
WINDOW_BENCH(UndoFill);
WINDOW_BENCH(CopyPasteAllLayers);
WINDOW_BENCH(UndoPaste);
WINDOW_BENCH(StrokeThousandDabs);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication application(argc, argv);
    RatioReporter reporter;
    runWithRatios(argc, argv, reporter,
                  {{{"PlaceLargest", "DecodeLargest"}, "<= 10 x"},
                   {{"WriteMapLargest", "PlainSaveFile"}, "<= 2 x"},
                   {{"RepaintOurs", "RepaintStock"}, "<= 0.5 x"},
                   {{"ScrollOurs", "ScrollStock"}, "<= 0.5 x"}},
                  {"place largest map vs decode it", "write largest map vs plain QSaveFile",
                   "repaint 900 x 600 vs stock QTableView", "scroll one screen vs stock QTableView"});
    std::printf("absolute: place %.2f ms (goal < 20), full LoadMap %.2f ms, repaint %.2f ms (goal < 8), "
                "scroll %.2f ms (goal < 8)\n",
                reporter.nanoseconds("PlaceLargest") / 1e6, reporter.nanoseconds("LoadMapLargest") / 1e6,
                reporter.nanoseconds("RepaintOurs") / 1e6, reporter.nanoseconds("ScrollOurs") / 1e6);
    std::printf("allocations per painted cell: ours %.3f, stock %.1f (goal: none beyond a typed text)\n",
                allocationsPerCell<OurScreen>, allocationsPerCell<StockScreen>);
    std::printf("  undo of a whole-layer step %.2f ms, redo %.2f ms (goal <= 5 ms each), %.2f bytes a cell "
                "(goal <= 3)\n",
                reporter.nanoseconds("UndoFullLayer") / 1e6, reporter.nanoseconds("RedoFullLayer") / 1e6,
                stepBytesPerCell);
    std::printf("  picture of the largest map in 800 x 800, terrain + 4 overlays + outlines: full repaint "
                "%.2f ms (goal <= 16 ms), after one edit %.3f ms (goal <= 2 ms), its image %.1f MiB (goal <= "
                "32 MiB)\n",
                reporter.nanoseconds("PictureFullRepaint") / 1e6,
                reporter.nanoseconds("PictureOneCell") / 1e6, pictureBytes / (1 << 20));
    std::printf("  whole layer of the largest map, views and picture updated: fill %.2f ms, replace %.2f ms "
                "(goal <= 10 ms), undo of the fill %.2f ms (goal: no slower than the fill)\n",
                reporter.nanoseconds("FillWholeLayer") / 1e6, reporter.nanoseconds("ReplaceWholeLayer") / 1e6,
                reporter.nanoseconds("UndoFill") / 1e6);
    std::printf("  all 13 layers of the largest map: copy and paste %.2f ms (goal <= 50 ms), undo of the "
                "paste %.2f ms\n",
                reporter.nanoseconds("CopyPasteAllLayers") / 1e6, reporter.nanoseconds("UndoPaste") / 1e6);
    std::printf(
        "  a stroke of 1,000 dabs (7 hexes each) on the largest map: %.2f ms, %d step, %zu cells, %.2f bytes "
        "a cell (goal: one step, <= 3 bytes a cell)\n",
        reporter.nanoseconds("StrokeThousandDabs") / 1e6, strokeSteps, strokeCells, strokeBytesPerCell);
    std::printf(
        "  typing into a cell: %.1f allocations, all of them its undo step (goal: nothing beyond the step)\n",
        typingAllocations);
    return 0;
}
