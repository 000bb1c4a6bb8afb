// SPDX-License-Identifier: MIT
// What the window's parts show follows the document whatever changed it: Hex
// Info names the terrain its hex holds now, the colour bar describes the map and
// the way the picture draws it, the legend marks the brush, and a new map is
// unwritten from the start.
#include "hexmapview.h"
#include "mappanel.h"
#include "picturelayers.h"
#include "valuebox.h"
#include "windowfixture.h"

#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QUndoView>

class FollowingTest : public QObject {
    Q_OBJECT

private slots:
    void hexInfoNamesWhatItsHexHoldsNow();
    void theColourBarDescribesThePicture();
    void theLegendMarksTheBrushAndANewMapIsUnwritten();

private:
    // A 10 x 8 map whose layer `layer` holds value(record) in every hex.
    template <typename Rule>
    static QString mapWith(WindowFixture& f, const QString& name, int layer, Rule value) {
        amp::MapImage map = amp::makeMap(TenByEight, 10, 8);
        for (std::size_t k = 0; k < map.records.size(); ++k) {
            map.records[k][static_cast<std::size_t>(layer)] =
                static_cast<std::uint8_t>(value(static_cast<int>(k)));
        }
        return f.write(name, amp::encodeMap(map));
    }
    static QLabel* colourBar(WindowFixture& f) {
        // The legends come right after the window's first paint.
        QLabel* bar = nullptr;
        for (int wait = 0; wait < 100 && !bar; ++wait) {
            QTest::qWait(50);
            bar = f.main->mapPanel().findChild<QLabel*>("rampBar");
        }
        return bar;
    }
};

// Sand on a hex, then Fill Selection, Undo, Redo, Replace and an Undo on another
// layer: the name is always what the hex holds.
void FollowingTest::hexInfoNamesWhatItsHexHoldsNow() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.document().typeIntoCell(amp::TerrainLayer, 2, 3, QStringLiteral("4"));
    f.clickCell(f.view(0), 2, 3);
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("Sand"));
    f.dialogs.numbers = {14};
    f.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    QCOMPARE(f.model(0)->cellText(2, 3), QStringLiteral("14"));
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("Lakes"));
    f.press(QKeySequence::Undo);
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("Sand"));
    f.press(QKeySequence(Qt::CTRL | Qt::Key_Y));
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("Lakes"));
    f.dialogs.replaceAnswers = {ReplaceRequest{14, 1, ReplaceRequest::Scope::Layer}};
    f.press(QKeySequence(Qt::CTRL | Qt::Key_H));
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("City"));
    // With a Text ID layer on show the name stays, and follows its hex still.
    f.window->showLayerNumber(9);
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("City"));
    f.press(QKeySequence::Undo);
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("Lakes"));
    // A change of another hex, or of another layer of that hex, leaves it be.
    f.document().typeIntoCell(amp::TerrainLayer, 3, 3, QStringLiteral("6"));
    f.document().typeIntoCell(9, 2, 3, QStringLiteral("6"));
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("Lakes"));
    // A new map has no hex chosen, so no name; a click names its Clear.
    f.window->showLayerNumber(0);
    f.dialogs.mapSizes = {QSize(4, 3)};
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
    f.press(QKeySequence::New);
    QCOMPARE(f.textOf("edtTerrainType"), QString());
    f.clickCell(f.view(0), 1, 1);
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("Clear"));
}

void FollowingTest::theColourBarDescribesThePicture() {
    WindowFixture f;
    f.open();
    // Roads of three values, then of five: the bar takes the second map's range
    // at once.
    f.readMap(mapWith(f, "three.amp", 6, [](int k) { return k % 3 == 0 ? 5 : k % 3 == 1 ? 2 : 0; }));
    QLabel* bar = colourBar(f);
    QVERIFY(bar);
    f.window->showLayerNumber(6);
    QCOMPARE(bar->toolTip(), QStringLiteral("roads, a mark in each hex: 0 to 5"));
    f.readMap(mapWith(f, "five.amp", 6, [](int k) { return k % 5 == 4 ? 9 : k % 5; }));
    QCOMPARE(bar->toolTip(), QStringLiteral("roads, a mark in each hex: 0 to 9"));

    // "height b1" is a shade over the terrain: the bar shows greys from dark to
    // light, not the layer's own colours.
    f.readMap(mapWith(f, "heights.amp", 4, [](int k) { return k * 168 / 79; }));
    f.window->showLayerNumber(4);
    QCOMPARE(bar->toolTip(), QStringLiteral("height b1 shades the picture: 0 darkest, 168 lightest"));
    const QImage shade = bar->pixmap().toImage();
    const QColor left = shade.pixelColor(0, 2), right = shade.pixelColor(shade.width() - 1, 2);
    for (const QColor& grey : {left, right}) {
        QVERIFY(grey.red() == grey.green() && grey.green() == grey.blue());
    }
    QVERIFY(left.lightness() + 60 < right.lightness());
    // Drawn as marks, it is the layer's own scale; written as values, a word.
    HexMapView* picture = f.main->mapPanel().view();
    PictureLayers layers = picture->pictureLayers();
    layers.layers[4].style = MapRenderer::OverlayStyle::Marks;
    picture->setPictureLayers(layers);
    QCOMPARE(bar->toolTip(), QStringLiteral("height b1, a mark in each hex: 0 to 168"));
    QCOMPARE(bar->pixmap().toImage().pixel(0, 2), palettes::rampAt(palettes::Ramp::Viridis, 0));
    layers.layers[4].style = MapRenderer::OverlayStyle::Values;
    picture->setPictureLayers(layers);
    QVERIFY(bar->pixmap().isNull());
    QCOMPARE(bar->text(), QStringLiteral("height b1: the values are written in the hexes"));
    // As the base, it is drawn in its colours.
    layers.base = 4;
    picture->setPictureLayers(layers);
    QCOMPARE(bar->toolTip(), QStringLiteral("height b1: 0 to 168"));
}

void FollowingTest::theLegendMarksTheBrushAndANewMapIsUnwritten() {
    WindowFixture f;
    f.open();
    f.readMap(mapWith(f, "forest.amp", 0, [](int k) { return k == 8 ? 6 : 3; })); // [1][0] is Ocean
    QListWidget* legend = nullptr;
    QTRY_VERIFY((legend = f.main->mapPanel().findChild<QListWidget*>()) != nullptr);
    HexMapView* picture = f.main->mapPanel().view();
    picture->resize(400, 300);
    picture->fitMap();
    legend->setCurrentRow(3); // Forest picked in the legend
    QCOMPARE(f.main->mapPanel().brushValue()->value(), 3);
    const QPoint ocean = (picture->geometryNow().centre(1, 0) + picture->origin()).toPoint();
    QTest::mouseClick(picture, Qt::LeftButton, Qt::AltModifier, ocean); // the eyedropper
    QCOMPARE(f.main->mapPanel().brushValue()->value(), 6);
    QCOMPARE(legend->currentRow(), 6);
    QCOMPARE(legend->selectedItems().size(), 1);
    QCOMPARE(legend->selectedItems().constFirst(), legend->item(6));
    // A value without a terrain of its own marks no entry.
    f.main->mapPanel().brushValue()->setValue(40);
    QVERIFY(legend->selectedItems().isEmpty());

    auto* history = f.main->findChild<QUndoView*>();
    QVERIFY(history);
    QCOMPARE(history->emptyLabel(), QStringLiteral("<the map as read>"));
    f.dialogs.mapSizes = {QSize(3, 2)};
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
    f.press(QKeySequence::New);
    QVERIFY(f.main->isWindowModified());
    QCOMPARE(history->emptyLabel(), QStringLiteral("<a new map>"));
    // Written, it is the written state; an edit and its undo come back to it.
    const QString path = f.dir.filePath("new.amp");
    f.dialogs.saveAnswers = {path};
    f.press(QKeySequence::Save);
    QVERIFY(!f.main->isWindowModified());
    f.typeIntoCell(f.view(0), 1, 1, "4");
    QVERIFY(f.main->isWindowModified());
    f.press(QKeySequence::Undo);
    QVERIFY(!f.main->isWindowModified());
    // Before it is written, undoing every step leaves it unwritten.
    f.dialogs.mapSizes = {QSize(3, 2)};
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
    f.press(QKeySequence::New);
    f.typeIntoCell(f.view(0), 1, 1, "4");
    f.press(QKeySequence::Undo);
    QVERIFY(f.main->isWindowModified());
    f.readMap(path);
    QCOMPARE(history->emptyLabel(), QStringLiteral("<the map as read>"));
}

QTEST_MAIN(FollowingTest)
#include "tst_following.moc"
