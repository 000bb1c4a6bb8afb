// SPDX-License-Identifier: MIT
// The map picture: its pixels, a click that selects the cell in the form, a
// stroke that is one undo step, zoom and export, which never shows the
// selection.
#include "../document/hexmaths.h"
#include "hexmapview.h"
#include "layerspanel.h"
#include "mapgenerator.h"
#include "mappanel.h"
#include "palettes.h"
#include "shellrun.h"
#include "valuebox.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QUndoStack>
#include <QWheelEvent>

#include <cmath>

class PictureTest : public QObject {
    Q_OBJECT

private slots:
    void hexesShowTheirColoursOddColumnsLower();
    void anExportShowsNoSelection();
    void anExportIsWhatAmptoolRenderDraws();
    void theLegendCountsTerrainsAndPicksTheBrush();
    void aClickSelectsTheCellInTheForm();
    void aStrokeIsOneUndoStep();
    void zoomFitAndExport();
    void centringOnACornerHexLeavesNoEmptyBand();
    void undoWhileTheButtonIsHeldEndsTheStroke();
    void aLargerMapGetsASelectionOfItsOwn();
    void theFillToolFloodsTheRegionAndEscSelectsNothing();
    void beforeAMapThePictureShowsAHint();
    void theLayersListTogglesOverlaysAndTheMenuLabels();
    void aLineAndARectangleAreOneStepEach();
    void escWhileDraggingChangesNothing();
    void theBrushValueIsChosenByNameOnTheTerrainLayer();
    void scrollBarsShowWhenTheMapIsLargerThanThePicture();

private:
    // A 6 x 4 map whose terrain is Forest (3) but for [1][0], Ocean (6).
    static HexMapView* openForest(WindowFixture& f) {
        amp::MapImage map = amp::makeMap(amp::MapHeader{}, 6, 4);
        for (auto& record : map.records) {
            record[0] = 3;
        }
        map.records[amp::recordOfCell(1, 0, 4)][0] = 6;
        f.openOn("forest.amp", amp::encodeMap(map));
        HexMapView* view = f.main->mapPanel().view();
        view->resize(400, 300);
        view->fitMap();
        return view;
    }
    static QAction* action(WindowFixture& f) {
        for (QAction* found : f.main->findChildren<QAction*>()) {
            if (found->text().remove('&').startsWith("Export Picture")) {
                return found;
            }
        }
        qFatal("no Export Picture");
    }
    // The 6 x 4 map's terrain after a paint of `value` on `painted`.
    static void expectPainted(WindowFixture& f, const QList<QPoint>& painted, const QString& value) {
        for (int column = 0; column < 6; ++column) {
            for (int row = 0; row < 4; ++row) {
                const QString before = column == 1 && row == 0 ? "6" : "3";
                QCOMPARE(f.model(0)->cellText(column, row),
                         painted.contains(QPoint(column, row)) ? value : before);
            }
        }
    }
    static void drag(HexMapView* view, QPoint from, QPoint to) {
        QTest::mousePress(view, Qt::LeftButton, {}, onScreen(view, from.x(), from.y()));
        QTest::mouseMove(view, onScreen(view, (from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
        QTest::mouseMove(view, onScreen(view, to.x(), to.y()));
    }
    static QPoint onScreen(HexMapView* view, int column, int row) {
        return (view->geometryNow().centre(column, row) + view->origin()).toPoint();
    }
    // A point of a hex's own colour: right of its number, inside its outline.
    static QPoint inFill(HexMapView* view, int column, int row) {
        return onScreen(view, column, row) + QPoint(qRound(view->hexSize() * 0.6), 0);
    }
};

void PictureTest::hexesShowTheirColoursOddColumnsLower() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    const QImage image = view->grab().toImage();
    QVERIFY(view->hexSize() >= HexMapView::NumbersFrom); // numbers on, and still the colours around them
    QCOMPARE(image.pixel(inFill(view, 0, 0)), QRgb(0xFF2E7D32)); // Forest
    QCOMPARE(image.pixel(inFill(view, 1, 0)), QRgb(0xFF1F4E9A)); // Ocean
    QCOMPARE(image.pixel(inFill(view, 5, 3)), QRgb(0xFF2E7D32));
    // Just below the top edge of column 0, column 1 has not begun: it sits half
    // a hex lower.
    const HexGeometry geometry = view->geometryNow();
    const int top = qRound(geometry.bounds(0, 0).top() + view->origin().y()) + 2;
    const QColor background = view->palette().color(QPalette::Window);
    QCOMPARE(image.pixelColor(onScreen(view, 0, 0).x(), top), QColor(0x2E, 0x7D, 0x32));
    QCOMPARE(image.pixelColor(onScreen(view, 1, 0).x(), top), background);
    // Another layer on show lies over the terrain as marks: none where it holds
    // 0; a mark in the first categorical colour (#4E79A7) where it holds a
    // value of its own.
    f.click("btnPlus");
    QCOMPARE(view->layer(), 1);
    QCOMPARE(view->grab().toImage().pixel(onScreen(view, 2, 2)), QRgb(0xFF2E7D32));
    f.document().typeIntoCell(1, 2, 2, "9");
    QTRY_COMPARE(view->grab().toImage().pixel(onScreen(view, 2, 2)), QRgb(0xFFF28E2B));
    f.document().typeIntoCell(1, 2, 2, "0");
    // So does the bar under the picture, and it follows a change of palette:
    // Okabe and Ito's orange (#E69F00) comes first there.
    const auto barStart = [&f] {
        for (const QLabel* label : f.main->mapPanel().findChildren<QLabel*>()) {
            if (label->isVisible() && !label->pixmap().isNull()) {
                return label->pixmap().toImage().pixel(0, 0);
            }
        }
        return QRgb(0);
    };
    QTRY_COMPARE(barStart(), QRgb(0xFF4E79A7)); // the legends come right after the first paint
    // A palette chosen while the bar is hidden is the bar's when it shows again.
    f.click("btnMinus");
    f.main->mapPanel().setColourBlind(true);
    f.click("btnPlus");
    QCOMPARE(barStart(), QRgb(0xFFE69F00));
    f.main->mapPanel().setColourBlind(false); // and at once while it shows
    QCOMPARE(barStart(), QRgb(0xFF4E79A7));
}

void PictureTest::theLegendCountsTerrainsAndPicksTheBrush() {
    WindowFixture f;
    HexMapView* view = openForest(f); // 23 Forest hexes, one Ocean
    QListWidget* legend = nullptr;
    QTRY_VERIFY((legend = f.main->mapPanel().findChild<QListWidget*>()) != nullptr);
    QCOMPARE(legend->count(), 20); // 19 terrains and "unknown"
    // Every entry shows, and under the last line is no more than a margin.
    const auto laidOut = [legend] {
        int bottom = 0, outside = 0;
        for (int row = 0; row < legend->count(); ++row) {
            const QRect entry = legend->visualItemRect(legend->item(row));
            outside += !legend->viewport()->rect().contains(entry);
            bottom = std::max(bottom, entry.bottom());
        }
        const int margin = legend->viewport()->height() - bottom;
        return outside == 0 && margin >= 0 && margin < legend->visualItemRect(legend->item(0)).height();
    };
    QTRY_VERIFY(laidOut());
    QCOMPARE(legend->item(3)->text(), QStringLiteral("Forest  23"));
    QCOMPARE(legend->item(6)->text(), QStringLiteral("Ocean  1"));
    QCOMPARE(legend->item(0)->text(), QStringLiteral("Clear  0"));
    f.document().typeIntoCell(0, 0, 0, "6");
    f.document().typeIntoCell(0, 0, 1, "200");
    QTRY_COMPARE(legend->item(6)->text(), QStringLiteral("Ocean  2"));
    QCOMPARE(legend->item(3)->text(), QStringLiteral("Forest  21"));
    QCOMPARE(legend->item(19)->text(), QStringLiteral("unknown (19-255)  1"));
    legend->setCurrentRow(6);
    QCOMPARE(view->brushText(), QStringLiteral("6"));
}

void PictureTest::anExportShowsNoSelection() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    QTest::mouseClick(view, Qt::LeftButton, {}, onScreen(view, 2, 1));
    QCOMPARE(view->selectedHex(), std::optional(HexCell{2, 1}));
    // On screen the selected Forest hex keeps its colour inside an outline of
    // black and white, colours no terrain has.
    const QImage shown = view->grab().toImage();
    QCOMPARE(shown.pixel(inFill(view, 2, 1)), QRgb(0xFF2E7D32));
    const QPoint topEdge = onScreen(view, 2, 1) - QPoint(0, qRound(view->hexSize() * std::sqrt(3.0) / 2));
    QVERIFY(shown.pixel(topEdge) == 0xFF000000 || shown.pixel(topEdge) == 0xFFFFFFFF);
    // The exported picture shows the map alone: Forest at the hex's centre and
    // next to its corners, where the outline of the current hex would be.
    const QString png = f.dir.filePath("selected.png");
    f.dialogs.numbers = {10};
    f.dialogs.saveAnswers = {png};
    action(f)->trigger();
    const QImage exported(png);
    QVERIFY(!exported.isNull());
    const QPoint centre(int(hexmaths::centreX(10, 2)), int(hexmaths::centreY(10, 2, 1, false)));
    QCOMPARE(exported.pixel(centre), QRgb(0xFF2E7D32));
    QCOMPARE(exported.pixel(centre + QPoint(8, 0)), QRgb(0xFF2E7D32));
    QCOMPARE(exported.pixel(centre - QPoint(8, 0)), QRgb(0xFF2E7D32));
    // The selection's rectangle alone, columns 1-2 and rows 0-1: a map of 2 x 2
    // hexes whose first column is lowered, Ocean's [1][0] first.
    f.document().selection().select(0, {QRect(QPoint(1, 0), QPoint(2, 1))});
    const QString part = f.dir.filePath("part.png");
    f.dialogs.numbers = {10};
    f.dialogs.saveAnswers = {part};
    for (QAction* found : f.main->findChildren<QAction*>()) {
        if (found->text().remove('&').startsWith(QStringLiteral("Export Selection"))) {
            found->trigger();
        }
    }
    const QImage region(part);
    QCOMPARE(region.size(), QSize(qCeil(10 * 3.5), qCeil(10 * std::sqrt(3.0) * 2.5)));
    QCOMPARE(region.pixel(10, int(10 * std::sqrt(3.0))), QRgb(0xFF1F4E9A));
    QCOMPARE(region.pixel(25, int(10 * std::sqrt(3.0) / 2)), QRgb(0xFF2E7D32));
}

// Export Picture and `amptool render` draw one map with the same choices pixel
// for pixel: the picture's first layers (terrain, heights as relief, roads and
// both city layers as marks), with outlines, coordinates and the colour-blind palette.
void PictureTest::anExportIsWhatAmptoolRenderDraws() {
    WindowFixture f;
    const QString map = f.write("made.amp", amp::encodeMap(amp::generateMap(14, 9, 1986)));
    f.open();
    f.readMap(map);
    HexMapView* view = f.main->mapPanel().view();
    PictureLayers picture = view->pictureLayers();
    picture.outlines = true;
    picture.coordinates = true;
    picture.palette = palettes::Palette::ColourBlind;
    view->setPictureLayers(picture);
    const QString exported = f.dir.filePath("exported.png");
    f.dialogs.numbers = {20};
    f.dialogs.saveAnswers = {exported};
    action(f)->trigger();
    const QString rendered = f.dir.filePath("rendered.png");
    const Outcome run =
        runShell(f.dir, AMPTOOL_PATH " render '" + map.toStdString() + "' -o '" + rendered.toStdString() +
                            "' --size 20 --overlay 4:shade --overlay 6 --overlay 7 --overlay 8 --outlines "
                            "--coordinates --colour-blind");
    QVERIFY2(run.status == 0, run.err.c_str());
    const QImage window = QImage(exported).convertToFormat(QImage::Format_ARGB32);
    const QImage console = QImage(rendered).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!window.isNull());
    QCOMPARE(window.size(), QSize(qCeil(20 * (1.5 * 14 + 0.5)), qCeil(20 * std::sqrt(3.0) * 9.5)));
    QCOMPARE(console.size(), window.size());
    QVERIFY(console == window);
}

void PictureTest::aClickSelectsTheCellInTheForm() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    QTest::mouseClick(view, Qt::LeftButton, {}, onScreen(view, 1, 0));
    QCOMPARE(f.view(0)->currentIndex(), f.model(0)->index(0, 1));
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("Ocean"));
    QVERIFY(f.main->hexStatus().startsWith("hex 1,0 · Ocean"));
    // Arrow keys in the picture move on; a cell chosen in the form shows there.
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(f.view(0)->currentIndex(), f.model(0)->index(1, 1));
    f.clickCell(f.view(0), 4, 2);
    QCOMPARE(view->selectedHex(), std::optional(HexCell{4, 2}));
    // The hex under the mouse is named as it moves, and no more once it leaves.
    const auto hover = [view](int column, int row) {
        const QPointF at = onScreen(view, column, row);
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at), Qt::NoButton, Qt::NoButton, {});
        QCoreApplication::sendEvent(view, &move);
    };
    hover(1, 0);
    QCOMPARE(f.main->hoverStatus(), QString::fromUtf8("hex 1,0 · Ocean"));
    hover(3, 2);
    QCOMPARE(f.main->hoverStatus(), QString::fromUtf8("hex 3,2 · Forest"));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(view, &leave);
    QVERIFY(f.main->hoverStatus().isEmpty());
    // The eyedropper: Alt+click, or I over a hex, takes its value for the brush.
    QTest::mouseClick(view, Qt::LeftButton, Qt::AltModifier, onScreen(view, 1, 0));
    QCOMPARE(view->brushText(), QStringLiteral("6"));
    QCOMPARE(f.view(0)->currentIndex(), f.model(0)->index(2, 4)); // it chose no hex
    QCursor::setPos(view->mapToGlobal(onScreen(view, 0, 2)));
    QTest::keyClick(view, Qt::Key_I);
    QCOMPARE(view->brushText(), QStringLiteral("3"));
    // Zoom in and out (Ctrl+= and Ctrl+-), about the middle of the picture;
    // triggered at once, before the window lays the picture out again.
    const auto trigger = [&f](const QString& text) {
        for (QAction* action : f.main->findChildren<QAction*>()) {
            if (action->text() == text) {
                action->trigger();
            }
        }
    };
    const double size = view->hexSize();
    trigger(QStringLiteral("Zoom &In"));
    QCOMPARE(view->hexSize(), size * 1.25);
    trigger(QStringLiteral("Zoom &Out"));
    QCOMPARE(view->hexSize(), size);
}

void PictureTest::aStrokeIsOneUndoStep() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    view->setPainting(true);
    view->setBrushRadius(1);
    view->setBrushText(QStringLiteral("13"));
    QTest::mousePress(view, Qt::LeftButton, {}, onScreen(view, 2, 1));
    QTest::mouseMove(view, onScreen(view, 3, 1));
    QTest::mouseRelease(view, Qt::LeftButton, {}, onScreen(view, 3, 1));
    // [2][1] and [3][1] with their neighbours: columns 1-4 around rows 0-2.
    const QList<QPoint> painted = {{2, 0}, {2, 1}, {2, 2}, {1, 0}, {1, 1},
                                   {3, 1}, {3, 0}, {3, 2}, {4, 1}, {4, 2}};
    for (int column = 0; column < 6; ++column) {
        for (int row = 0; row < 4; ++row) {
            const bool inside = painted.contains(QPoint(column, row));
            const QString before = column == 1 && row == 0 ? "6" : "3";
            QCOMPARE(f.model(0)->cellText(column, row), inside ? QStringLiteral("13") : before);
        }
    }
    QCOMPARE(f.document().undoStack()->count(), 1);
    QCOMPARE(f.document().undoStack()->undoText(), QStringLiteral("Paint 10 hexes"));
    f.document().undoStack()->undo();
    QCOMPARE(f.model(0)->cellText(1, 0), QStringLiteral("6"));
    QCOMPARE(f.model(0)->cellText(2, 1), QStringLiteral("3"));
    QVERIFY(!f.main->isWindowModified());
}

void PictureTest::zoomFitAndExport() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    const double fitted = view->hexSize();
    const QPoint at = onScreen(view, 3, 2);
    QWheelEvent wheel(at, view->mapToGlobal(at), {}, {0, 240}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    QVERIFY(view->hexSize() > fitted * 1.5);
    QCOMPARE(view->geometryNow().hexAt(QPointF(at) - view->origin()),
             std::optional(HexCell{3, 2})); // stays put
    f.press(QKeySequence(Qt::CTRL | Qt::Key_0));
    QCOMPARE(view->hexSize(), fitted);
    // Panning: the middle button, or Space and the left button, move the map along.
    const QPointF before = view->origin();
    QTest::mousePress(view, Qt::MiddleButton, {}, QPoint(50, 50));
    QTest::mouseMove(view, QPoint(80, 70));
    QTest::mouseRelease(view, Qt::MiddleButton, {}, QPoint(80, 70));
    QCOMPARE(view->origin(), before + QPointF(30, 20));
    QTest::keyPress(view, Qt::Key_Space);
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(80, 70));
    QTest::mouseMove(view, QPoint(70, 70));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(70, 70));
    QTest::keyRelease(view, Qt::Key_Space);
    QCOMPARE(view->origin(), before + QPointF(20, 20));
    QCOMPARE(f.document().undoStack()->count(), 0); // panning selected and painted nothing

    const QString png = f.dir.filePath("map.png");
    f.dialogs.numbers = {10};
    f.dialogs.saveAnswers = {png};
    action(f)->trigger();
    const QImage exported(png);
    QCOMPARE(exported.size(), QSize(95, qCeil(10 * std::sqrt(3.0) * 4.5)));
    QCOMPARE(exported.pixel(31, qRound(10 * std::sqrt(3.0))), QRgb(0xFF1F4E9A)); // [1][0], Ocean
}

// Go to Hex centres the picture on the hex only as far as the map reaches: a
// corner hex of a map that fits keeps the map centred, and when zoomed in, the
// map's edge stays at the view's edge.
void PictureTest::centringOnACornerHexLeavesNoEmptyBand() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    const QPointF fitted = view->origin();
    view->centreOn(0, 0);
    QCOMPARE(view->origin(), fitted);
    view->centreOn(5, 3);
    QCOMPARE(view->origin(), fitted);
    view->zoomAt(view->hexSize() * 3, QPointF(200, 150));
    view->centreOn(0, 0);
    QCOMPARE(view->origin(), QPointF(0, 0));
    view->centreOn(5, 3);
    const QRectF bounds = view->geometryNow().mapBounds();
    QCOMPARE(view->origin(), QPointF(view->width() - bounds.width(), view->height() - bounds.height()));
}

void PictureTest::undoWhileTheButtonIsHeldEndsTheStroke() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    f.typeIntoCell(f.view(0), 2, 1, QStringLiteral("5"));
    view->setPainting(true);
    view->setBrushText(QStringLiteral("13"));
    QTest::mousePress(view, Qt::LeftButton, {}, onScreen(view, 2, 1));
    QCOMPARE(f.model(0)->cellText(2, 1), QStringLiteral("13"));
    f.press(QKeySequence::Undo); // the stroke goes, and with it the rest of the drag
    QTest::mouseMove(view, onScreen(view, 3, 1));
    QTest::mouseRelease(view, Qt::LeftButton, {}, onScreen(view, 3, 1));
    QCOMPARE(f.model(0)->cellText(2, 1), QStringLiteral("5"));
    QCOMPARE(f.model(0)->cellText(3, 1), QStringLiteral("3"));
    f.press(QKeySequence::Undo); // the typing: the file's 3, and nothing unwritten
    QCOMPARE(f.model(0)->cellText(2, 1), QStringLiteral("3"));
    QVERIFY(!f.main->isWindowModified());
    QVERIFY(f.document().undoStack()->canRedo());
    f.document().undoStack()->redo();
    QCOMPARE(f.model(0)->cellText(2, 1), QStringLiteral("5"));
}

void PictureTest::aLargerMapGetsASelectionOfItsOwn() {
    WindowFixture f;
    HexMapView* view = openForest(f); // 6 x 4
    QTest::mouseClick(view, Qt::LeftButton, {}, onScreen(view, 1, 1));
    QTest::keyClick(f.view(0), Qt::Key_A, Qt::ControlModifier); // every hex selected
    QCOMPARE(f.document().selection().cellCount(), 24);
    f.readMap(f.write("clear.amp", amp::encodeMap(amp::makeMap({}, 40, 30)))); // all Clear
    QVERIFY(f.document().selection().isEmpty());
    view->resize(400, 300);
    view->fitMap();
    // No hex is drawn as selected: each shows Clear's own colour, and nowhere
    // is the black and white of a selection's edge.
    const QImage image = view->grab().toImage();
    int selected = 0;
    for (int column = 0; column < 40; ++column) {
        for (int row = 0; row < 30; ++row) {
            selected += image.pixel(onScreen(view, column, row)) != palettes::terrain(0);
        }
    }
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            selected += image.pixel(x, y) == 0xFF000000 || image.pixel(x, y) == 0xFFFFFFFF;
        }
    }
    QCOMPARE(selected, 0);
}

void PictureTest::theFillToolFloodsTheRegionAndEscSelectsNothing() {
    WindowFixture f;
    HexMapView* view = openForest(f);                                  // 23 Forest hexes around one Ocean
    QTest::mouseClick(view, Qt::LeftButton, {}, onScreen(view, 3, 2)); // a one-hex selection
    view->setTool(HexMapView::Tool::Fill);
    view->setBrushText(QStringLiteral("7"));
    QTest::mouseClick(view, Qt::LeftButton, {}, onScreen(view, 4, 1));
    QCOMPARE(f.document().undoStack()->undoText(), QStringLiteral("Fill 23 hexes"));
    QCOMPARE(f.model(0)->cellText(0, 3), QStringLiteral("7"));
    QCOMPARE(f.model(0)->cellText(1, 0), QStringLiteral("6"));
    // Shift+drag selects a rectangle; Esc in the picture selects nothing again.
    view->setTool(HexMapView::Tool::Select);
    QTest::mousePress(view, Qt::LeftButton, Qt::ShiftModifier, onScreen(view, 0, 0));
    QTest::mouseMove(view, onScreen(view, 2, 2));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::ShiftModifier, onScreen(view, 2, 2));
    QCOMPARE(f.document().selection().cellCount(), 9);
    QVERIFY(f.view(0)->selectionModel()->hasSelection());
    QTest::keyClick(view, Qt::Key_Escape);
    QVERIFY(f.document().selection().isEmpty());
    QVERIFY(!f.view(0)->selectionModel()->hasSelection());
}

void PictureTest::beforeAMapThePictureShowsAHint() {
    WindowFixture f;
    f.open();
    HexMapView* view = f.main->mapPanel().view();
    const auto* hint = f.main->mapPanel().findChild<QLabel*>("noMapHint");
    QVERIFY(hint);
    QVERIFY(hint->isVisible());
    QVERIFY(!view->isVisible());
    // Nor does the legend count the views' empty cells as hexes.
    QListWidget* legend = nullptr;
    QTRY_VERIFY((legend = f.main->mapPanel().findChild<QListWidget*>()) != nullptr && legend->count() > 0);
    QCOMPARE(legend->item(0)->text(), QStringLiteral("Clear  0"));
    // Typed into the empty cells the views show: a write holds no hex, says so,
    // and leaves the change unwritten.
    f.document().typeIntoCell(0, 1, 1, QStringLiteral("4"));
    const QString path = f.dir.filePath("nothing.amp");
    f.dialogs.saveAnswers = {path};
    f.press(QKeySequence::Save);
    QVERIFY(f.read(path) == std::vector<std::uint8_t>(7, 0));
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY(f.dialogs.boxes[0].text.contains("not part of the file"));
    QVERIFY(f.main->isWindowModified());
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
    f.readMap(f.write("forest.amp", amp::encodeMap(amp::makeMap({}, 6, 4))));
    QVERIFY(!hint->isVisible());
    QVERIFY(view->isVisible());
    QCOMPARE(legend->item(0)->text(), QStringLiteral("Clear  24"));
}

void PictureTest::theLayersListTogglesOverlaysAndTheMenuLabels() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    f.document().typeIntoCell(6, 2, 2, "5"); // a road: marked at first sight
    const auto at = [view](int column, int row) {
        return view->grab().toImage().pixel(onScreen(view, column, row));
    };
    QTRY_VERIFY(at(2, 2) != 0xFF2E7D32);
    QCOMPARE(at(3, 2), QRgb(0xFF2E7D32));
    f.main->mapPanel().setLayersShown(true);
    const LayersPanel* layers = f.main->mapPanel().layersPanel();
    QTableWidget* table = layers->table();
    QVERIFY(table->item(0, 0)->text().startsWith(QStringLiteral("▶")));
    QCOMPARE(table->item(6, 0)->checkState(), Qt::Checked);
    table->item(6, 0)->setCheckState(Qt::Unchecked);
    QCOMPARE(at(2, 2), QRgb(0xFF2E7D32));
    // The layer on show is marked, and drawn though not checked.
    f.click("btnPlus");
    QVERIFY(table->item(1, 0)->text().startsWith(QStringLiteral("▶")));
    QVERIFY(!table->item(0, 0)->text().startsWith(QStringLiteral("▶")));
    for (int i = 0; i < 5; ++i) {
        f.click("btnPlus");
    }
    QCOMPARE(view->layer(), 6);
    QVERIFY(at(2, 2) != 0xFF2E7D32);
    // View > Hex Values writes the numbers of the layer on show: ink in the
    // Forest hex [0][0], whose road is 0; none when the hexes are too small.
    const auto ink = [view] {
        const QImage image = view->grab().toImage();
        const QPoint centre = onScreen(view, 0, 0);
        int inked = 0;
        for (int dy = -3; dy <= 3; ++dy) {
            for (int dx = -3; dx <= 3; ++dx) {
                inked += image.pixel(centre + QPoint(dx, dy)) != 0xFF2E7D32;
            }
        }
        return inked;
    };
    QCOMPARE(ink(), 0);
    for (QAction* found : f.main->findChildren<QAction*>()) {
        if (found->text().remove('&') == QStringLiteral("Hex Values")) {
            found->trigger();
        }
    }
    QVERIFY(view->hexValues());
    QVERIFY(ink() > 0);
    view->zoomAt(MapRenderer::NumbersFrom - 1, QPointF(0, 0));
    QCOMPARE(ink(), 0);
}

QTEST_MAIN(PictureTest)
#include "tst_picture.moc"

void PictureTest::aLineAndARectangleAreOneStepEach() {
    for (const int radius : {0, 1}) {
        WindowFixture f;
        HexMapView* view = openForest(f);
        f.main->mapPanel().setShape(HexMapView::Shape::Line); // paints, with the line
        QCOMPARE(view->tool(), HexMapView::Tool::Paint);
        view->setBrushRadius(radius);
        view->setBrushText(QStringLiteral("13"));
        // From [0][3] to [5][0]: five steps apart, so six points evenly along the
        // line between their centres, each in the hex whose centre is nearest,
        // and with radius 1 every hex whose centre lies one hex's width from one.
        QList<QPoint> line;
        for (int step = 0; step <= 5; ++step) {
            const double t = step / 5.0;
            const double x =
                hexmaths::centreX(1, 0) + (hexmaths::centreX(1, 5) - hexmaths::centreX(1, 0)) * t;
            const double y = hexmaths::centreY(1, 0, 3, false) +
                             (hexmaths::centreY(1, 5, 0, false) - hexmaths::centreY(1, 0, 3, false)) * t;
            const hexmaths::Finding found = hexmaths::find(6, 4, 1, false, x, y);
            QVERIFY(found.hex && !found.onEdge);
            line.append({found.hex->column, found.hex->row});
        }
        QList<QPoint> painted;
        for (int column = 0; column < 6; ++column) {
            for (int row = 0; row < 4; ++row) {
                for (const QPoint& on : line) {
                    const double apart =
                        std::hypot(hexmaths::centreX(1, column) - hexmaths::centreX(1, on.x()),
                                   hexmaths::centreY(1, column, row, false) -
                                       hexmaths::centreY(1, on.x(), on.y(), false));
                    if (apart < radius * std::sqrt(3.0) + 0.1 && !painted.contains(QPoint(column, row))) {
                        painted.append({column, row});
                    }
                }
            }
        }
        drag(view, {0, 3}, {5, 0});
        expectPainted(f, {}, {}); // shown while dragging, not yet painted
        QCOMPARE(view->shapeCells().size(), static_cast<std::size_t>(painted.size()));
        QTest::mouseRelease(view, Qt::LeftButton, {}, onScreen(view, 5, 0));
        expectPainted(f, painted, QStringLiteral("13"));
        QCOMPARE(f.document().undoStack()->count(), 1);
        f.document().undoStack()->undo();
        expectPainted(f, {}, {});

        // A rectangle of cells, [1][1] to [4][3]: columns 1-4, rows 1-3, whatever
        // the radius; the symmetric brush's images join the same step.
        f.main->mapPanel().setShape(HexMapView::Shape::Rectangle);
        f.document().setBrushImages([](HexCell cell) { return std::vector<HexCell>{{cell.column, 0}}; });
        drag(view, {4, 3}, {1, 1});
        QTest::mouseRelease(view, Qt::LeftButton, {}, onScreen(view, 1, 1));
        QList<QPoint> rectangle;
        for (int column = 1; column <= 4; ++column) {
            for (const int row : {0, 1, 2, 3}) {
                rectangle.append({column, row});
            }
        }
        expectPainted(f, rectangle, QStringLiteral("13"));
        QCOMPARE(f.document().undoStack()->count(), 1); // the line's step, undone, gave way
        QCOMPARE(f.document().undoStack()->undoText(), QStringLiteral("Paint 16 hexes"));
    }
}

void PictureTest::escWhileDraggingChangesNothing() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    view->setPainting(true);
    view->setBrushText(QStringLiteral("13"));
    QSignalSpy selectNone(view, &HexMapView::selectNoneRequested);
    for (const auto shape :
         {HexMapView::Shape::Brush, HexMapView::Shape::Line, HexMapView::Shape::Rectangle}) {
        view->setShape(shape);
        drag(view, {0, 0}, {4, 3});
        QTest::keyClick(view, Qt::Key_Escape);
        QTest::mouseRelease(view, Qt::LeftButton, {}, onScreen(view, 4, 3));
        expectPainted(f, {}, {});
        QVERIFY(!f.document().undoStack()->canUndo());
        QVERIFY(!f.main->isWindowModified());
        QCOMPARE(selectNone.count(), 0); // Esc dropped the drag only
    }
}

// Forest is terrain 3 and Ocean 6 in the list of terrain names.
void PictureTest::theBrushValueIsChosenByNameOnTheTerrainLayer() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    ValueBox* value = f.main->mapPanel().brushValue();
    QVERIFY(value->isNamed());
    QCOMPARE(value->nameBox()->count(), 19);
    QComboBox* names = value->nameBox();
    const auto type = [names](const QString& text) {
        names->lineEdit()->selectAll();
        QTest::keyClicks(names->lineEdit(), text);
        QTest::keyClick(names->lineEdit(), Qt::Key_Return);
    };
    type(QStringLiteral("forest"));
    QCOMPARE(view->brushText(), QStringLiteral("3"));
    QCOMPARE(names->currentText(), QStringLiteral("Forest"));
    type(QStringLiteral("200")); // a number, named or not
    QCOMPARE(view->brushText(), QStringLiteral("200"));
    QCOMPARE(names->currentText(), QStringLiteral("200"));
    type(QStringLiteral("Mountains")); // no such terrain: the value stays
    QCOMPARE(view->brushText(), QStringLiteral("200"));
    QCOMPARE(names->currentText(), QStringLiteral("200"));
    QTest::mouseClick(view, Qt::LeftButton, Qt::AltModifier, onScreen(view, 1, 0)); // the eyedropper
    QCOMPARE(names->currentText(), QStringLiteral("Ocean"));
    QCOMPARE(view->brushText(), QStringLiteral("6"));
    // Each swatch is the terrain's colour in the picture.
    QCOMPARE(names->itemIcon(3).pixmap(8, 8).toImage().pixel(4, 4), QRgb(0xFF2E7D32));
    // Another layer has numbers only.
    f.main->mapPanel().setLayer(4);
    QVERIFY(!value->isNamed());
    value->numberBox()->setValue(41);
    QCOMPARE(view->brushText(), QStringLiteral("41"));
}

void PictureTest::scrollBarsShowWhenTheMapIsLargerThanThePicture() {
    WindowFixture f;
    HexMapView* view = openForest(f);
    MapPanel& panel = f.main->mapPanel();
    QScrollBar* across = panel.scrollBar(Qt::Horizontal);
    QScrollBar* down = panel.scrollBar(Qt::Vertical);
    QVERIFY(!across->isVisibleTo(&panel) && !down->isVisibleTo(&panel)); // the whole map fits
    view->zoomAt(view->hexSize() * 4, QPointF(view->width() / 2.0, view->height() / 2.0));
    QVERIFY(across->isVisibleTo(&panel) && down->isVisibleTo(&panel));
    // The bar spans the map at this zoom: 6 columns of flat-topped hexes are
    // 2 + 1.5 x 5 hex sizes wide.
    QVERIFY(std::abs(across->maximum() + across->pageStep() - view->hexSize() * 9.5) <= 1);
    across->setValue(0);
    down->setValue(0);
    QCOMPARE(view->origin(), QPointF(0, 0));
    QCOMPARE(view->geometryNow().hexAt(QPointF(view->hexSize(), view->hexSize()) - view->origin()),
             std::optional(HexCell{0, 0}));
    // Ctrl+0 fits the map again, and the bars go.
    f.press(QKeySequence(Qt::CTRL | Qt::Key_0));
    QVERIFY(!across->isVisibleTo(&panel) && !down->isVisibleTo(&panel));
}
