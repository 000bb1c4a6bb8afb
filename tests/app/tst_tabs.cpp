// SPDX-License-Identifier: MIT
// Several maps open at once, a tab each: every tab keeps its own map, undo
// history, layer, selection and zoom; Ctrl+W asks about unwritten edits and
// closes only its tab; cells copied in one tab paste into another; a kill loses
// the edits of no tab.
#include "editorsettings.h"
#include "hexmapview.h"
#include "mappanel.h"
#include "recoverykeeper.h"
#include "windowfixture.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QProcess>
#include <QTabBar>
#include <QToolButton>
#include <QUndoStack>

#include <filesystem>

namespace {

// A map of 10 x 8 hexes whose every cell is `fill`.
std::vector<std::uint8_t> filled(std::uint8_t fill) {
    std::vector<std::uint8_t> bytes(TenByEight.bytes.begin(), TenByEight.bytes.end());
    bytes.resize(bytes.size() + 80 * amp::RecordSize, fill);
    return bytes;
}

// Where a cell's byte lies in the file: records go column by column, each
// column's rows in turn, a record holding the 13 layers of one hex.
std::size_t offsetOf(int layer, int column, int row) {
    return static_cast<std::size_t>(amp::HeaderSize + (column * 8 + row) * amp::RecordSize + layer);
}

struct ThreeMaps {
    WindowFixture f;
    QString paths[3];

    ThreeMaps() {
        paths[0] = f.write("first.amp", filled(1));
        paths[1] = f.write("second.amp", filled(2));
        paths[2] = f.write("third.amp", filled(3));
        f.open({QStringLiteral("ampedit"), paths[0], paths[1], paths[2]});
    }
    void show(int index) {
        f.main->showTab(index);
        f.window = &f.main->form();
        QCoreApplication::processEvents();
    }
    std::vector<std::uint8_t> bytesOf(int index) const {
        return f.main->editors()[index]->document().encode();
    }
};

} // namespace

class TabsTest : public QObject {
    Q_OBJECT

private slots:
    // The copies' folder is the editor's, as the killed target keeps them.
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("ampedit")); }
    void furtherMapsOpenBehindTheFirst();
    void undoActsOnTheTabOnShowOnly();
    void switchingKeepsLayerSelectionAndZoom();
    void aPaletteChosenOnOneTabIsEveryTabs();
    void theToolFollowsTheTabOnShowWithItsButton();
    void aStrokeEndsWhenItsTabIsPutAway();
    void closingAsksAndDiscardClosesOnlyThatTab();
    void copyInOneTabPastesIntoAnother();
    void sideBySideLinksZoomAndScrollUntilUnlinked();
    void quittingAsksOnceAboutEveryUnwrittenMap();
    void aKillLeavesACopyOfEveryTab();
};

void TabsTest::furtherMapsOpenBehindTheFirst() {
    ThreeMaps m;
    QCOMPARE(m.f.main->editors().size(), 3);
    QCOMPARE(m.f.document().fileName(), asArgument(m.paths[0])); // the first, as the command line named it
    QTabBar& bar = m.f.main->tabBar();
    QVERIFY(bar.isVisible());
    QCOMPARE(bar.currentIndex(), 0);
    QCOMPARE(bar.tabText(1), QStringLiteral("second.amp"));
    QCOMPARE(bar.tabToolTip(2), shown(m.paths[2]));
    // The caption is the form's own whatever tab is on show.
    const QString caption = m.f.main->windowTitle();
    QTest::keySequence(m.f.main.get(), QKeySequence(Qt::CTRL | Qt::Key_Tab));
    QCOMPARE(bar.currentIndex(), 1);
    QCOMPARE(m.f.document().fileName(), m.paths[1]);
    QCOMPARE(m.f.main->windowTitle(), caption);
    QTest::keySequence(m.f.main.get(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab));
    QTest::keySequence(m.f.main.get(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab));
    QCOMPARE(bar.currentIndex(), 2);
    // A map open already comes on show rather than opening twice.
    QVERIFY(m.f.main->openInNewTabs({m.paths[0]}));
    QCOMPARE(m.f.main->editors().size(), 3);
    QCOMPARE(bar.currentIndex(), 0);
    // So does one named through a hard link, where the file system has them:
    // two tabs on one file would each write over the other's edits.
    const QString linked = m.f.dir.filePath(QStringLiteral("linked.amp"));
    std::error_code error;
    std::filesystem::create_hard_link(QFile::encodeName(m.paths[1]).constData(),
                                      QFile::encodeName(linked).constData(), error);
    if (!error) {
        QVERIFY(m.f.main->openInNewTabs({linked}));
        QCOMPARE(m.f.main->editors().size(), 3);
        QCOMPARE(bar.currentIndex(), 1);
    }
    // A map that cannot be read is told and leaves no tab.
    QVERIFY(!m.f.main->openInNewTabs({m.f.dir.filePath("missing.amp")}));
    QCOMPARE(m.f.main->editors().size(), 3);
    QCOMPARE(m.f.dialogs.boxes.size(), 1);
}

void TabsTest::undoActsOnTheTabOnShowOnly() {
    ThreeMaps m;
    for (int i = 0; i < 3; ++i) {
        m.show(i);
        m.f.typeIntoCell(m.f.view(0), 2, 1, QString::number(40 + i));
        QVERIFY(m.f.main->tabBar().tabText(i).endsWith(QLatin1Char('*')));
    }
    m.show(1);
    m.f.press(QKeySequence::Undo);
    // Tab 1 is as read again; the others keep their edit.
    QVERIFY(m.bytesOf(1) == filled(2));
    QVERIFY(!m.f.main->isWindowModified());
    QCOMPARE(m.f.main->tabBar().tabText(1), QStringLiteral("second.amp"));
    for (int i : {0, 2}) {
        auto expected = filled(static_cast<std::uint8_t>(i + 1));
        expected[offsetOf(0, 2, 1)] = static_cast<std::uint8_t>(40 + i);
        QVERIFY(m.bytesOf(i) == expected);
    }
    m.show(2);
    QVERIFY(m.f.main->isWindowModified());
}

void TabsTest::switchingKeepsLayerSelectionAndZoom() {
    ThreeMaps m;
    m.f.window->showLayerNumber(4);
    m.f.view(4)->selectionModel()->select(
        QItemSelection(m.f.model(4)->index(1, 2), m.f.model(4)->index(3, 5)), QItemSelectionModel::Select);
    HexMapView* picture = m.f.main->mapPanel().view();
    picture->zoomAt(picture->hexSize() * 2, QPointF(10, 10));
    const double zoom = picture->hexSize();
    const QPointF origin = picture->origin();
    m.show(1);
    QCOMPARE(m.f.main->editor().layer(), 0);
    QCOMPARE(m.f.document().selection().cellCount(), 0);
    m.f.window->showLayerNumber(9);
    m.show(0);
    QCOMPARE(m.f.main->editor().layer(), 4);
    QCOMPARE(m.f.document().selection().layer(), 4);
    QCOMPARE(m.f.document().selection().cellCount(), 4 * 3); // columns 2..5, rows 1..3
    QCOMPARE(m.f.main->mapPanel().view(), picture);
    QCOMPARE(picture->hexSize(), zoom);
    QCOMPARE(picture->origin(), origin);
    m.show(1);
    QCOMPARE(m.f.main->editor().layer(), 9);
}

// The terrain legend's swatches in the picture on show, a colour per terrain.
QList<QRgb> swatches(ThreeMaps& m) {
    QList<QRgb> colours;
    for (QListWidget* legend : m.f.main->mapPanel().findChildren<QListWidget*>()) {
        for (int row = 0; row < legend->count(); ++row) {
            colours << legend->item(row)->icon().pixmap(14, 14).toImage().pixel(7, 7);
        }
    }
    return colours;
}

void TabsTest::aPaletteChosenOnOneTabIsEveryTabs() {
    ThreeMaps m;
    m.show(1);
    QTRY_VERIFY(!swatches(m).isEmpty()); // the legend comes after the picture's first paint
    const QList<QRgb> standard = swatches(m);
    m.show(0);
    QTRY_VERIFY(!swatches(m).isEmpty());
    QCOMPARE(swatches(m), standard);
    QAction* colourBlind = nullptr;
    for (QAction* action : m.f.main->findChildren<QAction*>()) {
        colourBlind = action->text() == QStringLiteral("&Colour-Blind Palette") ? action : colourBlind;
    }
    QVERIFY(colourBlind);
    colourBlind->trigger();
    const QList<QRgb> chosen = swatches(m);
    QVERIFY(chosen != standard);
    // The tab behind takes the palette when it comes on show, its legend too.
    m.show(1);
    QCOMPARE(m.f.main->mapPanel().view()->pictureLayers().palette, palettes::Palette::ColourBlind);
    QCOMPARE(swatches(m), chosen);
    colourBlind->trigger();
    m.show(2);
    QTRY_VERIFY(!swatches(m).isEmpty());
    QCOMPARE(swatches(m), standard);
    m.show(1);
    QCOMPARE(swatches(m), standard);
    // The picture beside takes it at once, as the one on show does.
    m.f.main->setSideBySide(true);
    QVERIFY(m.f.main->besidePanel());
    colourBlind->trigger();
    QCOMPARE(m.f.main->besidePanel()->view()->pictureLayers().palette, palettes::Palette::ColourBlind);
}

// The picture's tool button named `name` on the tab on show.
QToolButton* toolButton(ThreeMaps& m, const QString& name) {
    for (QToolButton* button : m.f.main->mapPanel().findChildren<QToolButton*>()) {
        if (button->text() == name) {
            return button;
        }
    }
    return nullptr;
}

// A hex's centre in the picture, in the picture's own coordinates.
QPoint centreOf(HexMapView* picture, int column, int row) {
    return (picture->geometryNow().centre(column, row) + picture->origin()).toPoint();
}

void TabsTest::theToolFollowsTheTabOnShowWithItsButton() {
    ThreeMaps m;
    QToolButton* paint = toolButton(m, QStringLiteral("Paint"));
    QVERIFY(paint);
    QTest::mouseClick(paint, Qt::LeftButton);
    m.show(1);
    // The tool the picture uses is the one its buttons show: a click that looks
    // like choosing a hex never paints.
    QCOMPARE(m.f.main->mapPanel().view()->tool(), HexMapView::Tool::Paint);
    QVERIFY(toolButton(m, QStringLiteral("Paint"))->isChecked());
    QVERIFY(!toolButton(m, QStringLiteral("Select"))->isChecked());
    QTest::mouseClick(toolButton(m, QStringLiteral("Select")), Qt::LeftButton);
    m.show(2);
    QCOMPARE(m.f.main->mapPanel().view()->tool(), HexMapView::Tool::Select);
    QVERIFY(toolButton(m, QStringLiteral("Select"))->isChecked());
}

// A paint stroke begun on one tab and carried on after Ctrl+Tab: the pointer
// still moving over the first tab's picture (it holds the pointer while the
// button is down) paints nothing more there, nor anywhere.
void TabsTest::aStrokeEndsWhenItsTabIsPutAway() {
    ThreeMaps m;
    HexMapView* first = m.f.main->mapPanel().view();
    first->resize(400, 300);
    first->fitMap();
    QTest::mouseClick(toolButton(m, QStringLiteral("Paint")), Qt::LeftButton);
    first->setBrushRadius(0);
    first->setBrushText(QStringLiteral("7"));
    QTest::mousePress(first, Qt::LeftButton, {}, centreOf(first, 0, 0));
    m.f.press(QKeySequence(Qt::CTRL | Qt::Key_Tab));
    QCOMPARE(m.f.main->tabBar().currentIndex(), 1);
    QTest::mouseMove(first, centreOf(first, 3, 3));
    QTest::mouseMove(first, centreOf(first, 6, 5));
    QTest::mouseRelease(first, Qt::LeftButton, {}, centreOf(first, 6, 5));
    std::vector<std::uint8_t> expected = filled(1);
    expected[offsetOf(0, 0, 0)] = 7; // the hex pressed on, and no other
    QVERIFY(m.bytesOf(0) == expected);
    QVERIFY(m.bytesOf(1) == filled(2));
    // The stroke is done: one undo step takes it back.
    QCOMPARE(m.f.main->editors()[0]->document().undoStack()->count(), 1);
}

void TabsTest::closingAsksAndDiscardClosesOnlyThatTab() {
    ThreeMaps m;
    m.show(1);
    m.f.typeIntoCell(m.f.view(0), 0, 0, "9");
    // Cancel keeps the tab and its edit.
    m.f.dialogs.unwrittenAnswers = {UnwrittenChoice::Cancel};
    m.f.press(QKeySequence(Qt::CTRL | Qt::Key_W));
    QCOMPARE(m.f.dialogs.unwrittenQuestions, 1);
    QVERIFY2(m.f.dialogs.unwrittenTexts.constLast().contains(
                 QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(m.paths[1]))),
             qPrintable(m.f.dialogs.unwrittenTexts.constLast()));
    QCOMPARE(m.f.main->editors().size(), 3);
    m.f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
    m.f.press(QKeySequence(Qt::CTRL | Qt::Key_W));
    QCOMPARE(m.f.dialogs.unwrittenQuestions, 2);
    QCOMPARE(m.f.main->editors().size(), 2);
    QCOMPARE(m.f.main->editors()[0]->document().fileName(), asArgument(m.paths[0]));
    QCOMPARE(m.f.main->editors()[1]->document().fileName(), m.paths[2]);
    QVERIFY(m.f.read(m.paths[1]) == filled(2)); // discarded, never written
    // A tab without edits closes without a question; the last one stays.
    m.f.press(QKeySequence(Qt::CTRL | Qt::Key_W));
    m.f.press(QKeySequence(Qt::CTRL | Qt::Key_W));
    QCOMPARE(m.f.dialogs.unwrittenQuestions, 2);
    QCOMPARE(m.f.main->editors().size(), 1);
    QVERIFY(!m.f.main->tabBar().isVisible());
}

void TabsTest::copyInOneTabPastesIntoAnother() {
    ThreeMaps m;
    // Two cells of terrain (values 7 and 8) copied in the first tab …
    m.f.typeIntoCell(m.f.view(0), 0, 0, "7");
    m.f.typeIntoCell(m.f.view(0), 0, 1, "8");
    m.f.view(0)->selectionModel()->select(
        QItemSelection(m.f.model(0)->index(0, 0), m.f.model(0)->index(1, 0)),
        QItemSelectionModel::ClearAndSelect);
    m.f.press(QKeySequence::Copy);
    // … pasted at column 4, row 2 of the third, and written.
    m.show(2);
    m.f.clickCell(m.f.view(0), 4, 2);
    m.f.press(QKeySequence::Paste);
    m.f.press(QKeySequence::Save);
    auto expected = filled(3);
    expected[offsetOf(0, 4, 2)] = 7;
    expected[offsetOf(0, 4, 3)] = 8;
    QVERIFY(m.f.read(m.paths[2]) == expected);
    // The first map's file is as it was: its edits are its tab's.
    QVERIFY(m.f.read(m.paths[0]) == filled(1));
}

void TabsTest::sideBySideLinksZoomAndScrollUntilUnlinked() {
    ThreeMaps m;
    QCoreApplication::processEvents();
    const QSize before = m.f.main->size();
    m.f.main->setSideBySide(true);
    QVERIFY(m.f.main->isSideBySide());
    MapPanel* beside = m.f.main->besidePanel();
    QVERIFY(beside && beside != &m.f.main->mapPanel());
    QVERIFY(beside->isVisible());
    QVERIFY(m.f.main->mapPanel().isVisible());
    HexMapView* shownPicture = m.f.main->mapPanel().view();
    HexMapView* besidePicture = beside->view();
    shownPicture->zoomAt(shownPicture->hexSize() * 2, QPointF(5, 5));
    QCOMPARE(besidePicture->hexSize(), shownPicture->hexSize());
    QCOMPARE(besidePicture->origin(), shownPicture->origin());
    besidePicture->scrollTo(QPointF(30, 20));
    QCOMPARE(shownPicture->origin(), QPointF(-30, -20));
    // Unlinked, each keeps its own.
    m.f.main->setViewsLinked(false);
    const double size = shownPicture->hexSize();
    besidePicture->zoomAt(size * 2, QPointF(0, 0));
    QCOMPARE(shownPicture->hexSize(), size);
    // Showing the tab beside swaps the two pictures.
    m.show(1);
    QCOMPARE(m.f.main->besidePanel()->view(), shownPicture);
    QCOMPARE(m.f.main->mapPanel().view(), besidePicture);
    m.f.main->setSideBySide(false);
    QVERIFY(!m.f.main->isSideBySide());
    QVERIFY(!shownPicture->isVisible());
    // The window is back to the size it had: the picture beside took no room for good.
    QCoreApplication::processEvents();
    QCOMPARE(m.f.main->size(), before);
}

void TabsTest::quittingAsksOnceAboutEveryUnwrittenMap() {
    ThreeMaps m;
    for (int i : {0, 2}) {
        m.show(i);
        m.f.typeIntoCell(m.f.view(0), 1, 1, "60");
    }
    // Cancel: nothing written, the window stays.
    m.f.dialogs.unwrittenMapsAnswers = {{UnwrittenMapsChoice::Cancel, {true, true}}};
    QVERIFY(!m.f.main->close());
    QCOMPARE(m.f.dialogs.unwrittenMapsOffered,
             (QList<QStringList>{{shown(asArgument(m.paths[0])), shown(m.paths[2])}}));
    QCOMPARE(m.f.dialogs.unwrittenQuestions, 0);
    // Write Selected with the first checked: that one is written, the other dropped.
    m.f.dialogs.unwrittenMapsAnswers = {{UnwrittenMapsChoice::WriteSelected, {true, false}}};
    QVERIFY(m.f.main->close());
    auto written = filled(1);
    written[offsetOf(0, 1, 1)] = 60;
    QVERIFY(m.f.read(m.paths[0]) == written);
    QVERIFY(m.f.read(m.paths[2]) == filled(3));
    // The session is remembered in the order of the tabs.
    // Names compared as the system compares them (on Windows, case aside).
    QStringList session = m.f.main->settings().lastSession();
    for (QString& path : session) {
        path = asArgument(path);
    }
    QCOMPARE(session, (QStringList{asArgument(m.paths[0]), asArgument(m.paths[1]), asArgument(m.paths[2])}));
    // A start with no map, and its quit, leave that session to be reopened.
    m.f.main.reset();
    m.f.open();
    QVERIFY(m.f.main->close());
    QCOMPARE(m.f.main->settings().lastSession().size(), 3);
}

void TabsTest::aKillLeavesACopyOfEveryTab() {
    WindowFixture f;
    const QString data = f.dir.filePath("data");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    const QString paths[] = {f.write("first.amp", filled(1)), f.write("second.amp", filled(2)),
                             f.write("third.amp", filled(3))};
    const QString copies = RecoveryKeeper::folder();
    QProcess target;
    target.setProgram(QStringLiteral(RECOVERY_TARGET));
    target.setArguments({paths[0], paths[1], paths[2]});
    target.start();
    QVERIFY(target.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QDir(copies).entryList({"*.amprec"}, QDir::Files).size() == 3, 20000);
    target.kill();
    QVERIFY(target.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(RecoveryKeeper::orphans().size() == 3, 10000);

    f.dataHome = data;
    f.dialogs.recoveryAnswers = {RecoveryChoice::Recover, RecoveryChoice::Recover, RecoveryChoice::Recover};
    f.open();
    QStringList asked = f.dialogs.recoveryQuestions;
    asked.sort();
    QStringList expected{shown(asArgument(paths[0])), shown(paths[1]), shown(paths[2])};
    expected.sort();
    QCOMPARE(asked, expected);
    // Each map came back in a tab of its own, with the edits the target made.
    QCOMPARE(f.main->editors().size(), 3);
    for (MapEditor* editor : f.main->editors()) {
        QVERIFY(editor->document().isModified());
    }
    for (int i = 0; i < 3; ++i) { // the files themselves untouched
        QVERIFY(f.read(paths[i]) == filled(static_cast<std::uint8_t>(i + 1)));
    }
}

QTEST_MAIN(TabsTest)
#include "tst_tabs.moc"
