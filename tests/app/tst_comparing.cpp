// SPDX-License-Identifier: MIT
// Comparing in the real window: File > Compare With…, the Differences dock and
// the status line's count, F8 / Shift+F8, a click on a row, the marks in the
// picture and the number views, taking theirs from the dock, swapping the maps,
// and the command line's --compare.
#include "differencemarks.h"
#include "differencemodel.h"
#include "differencesdock.h"
#include "hexmapview.h"
#include "mappanel.h"
#include "windowfixture.h"

#include <QAction>
#include <QProcess>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <QUndoStack>

namespace {

// The pattern map with three cells changed: hex 2,3 on layers 0 and 6, hex 7,1 on layer 0.
std::vector<std::uint8_t> changedFile() {
    std::vector<std::uint8_t> bytes = patternFile(TenByEight, 80);
    const auto at = [](int column, int row, int layer) {
        return static_cast<std::size_t>(7 + 13 * (column * 8 + row) + layer);
    };
    bytes[at(2, 3, 0)] = 200;
    bytes[at(2, 3, 6)] = 201;
    bytes[at(7, 1, 0)] = 202;
    bytes[0] = 0x2B;
    return bytes;
}

QAction* action(WindowFixture& f, const QString& text) {
    for (QAction* found : f.main->findChildren<QAction*>()) {
        if (found->text().remove('&') == text) {
            return found;
        }
    }
    qFatal("no action %s", qPrintable(text));
}

int outlinePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixel(x, y) == differencemarks::OutlineColor ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class ComparingTest : public QObject {
    Q_OBJECT

private slots:
    void theDockListsMarksAndSteps();
    void theirsAreTakenAndTheMapsSwapped();
    void mapsOfOtherSizesAreToldAtTheTop();
    void theCommandLineNamesTheOtherMap();
    void aFileLargerThanAnyMapIsNotCompared();
};

void ComparingTest::theDockListsMarksAndSteps() {
    WindowFixture f;
    const QString mine = f.write("mine.amp", patternFile(TenByEight, 80));
    const QString theirs = f.write("b-v2.amp", changedFile());
    f.open({"ampedit", mine});
    f.dialogs.openAnswers << theirs;
    action(f, "Compare With…")->trigger();
    DifferencesDock& dock = f.main->differences();
    QVERIFY(dock.isVisible());
    QCOMPARE(dock.model()->rowCount(), 3);
    QCOMPARE(dock.countText(), "2 hexes differ in 2 layers");
    const auto* count = f.main->statusBar()->findChild<QToolButton*>("differenceCount");
    QVERIFY(count && count->isVisible());
    QCOMPARE(count->text(), "2 hexes differ in 2 layers");
    QVERIFY2(dock.summary().contains("Header byte 0: 42 here, 43 in b-v2.amp"), qPrintable(dock.summary()));

    // The picture outlines the hexes that differ on the layer on show.
    HexMapView* picture = f.main->mapPanel().view();
    QVERIFY(outlinePixels(picture->grab().toImage()) > 0);
    // F8 from no row: the first in file order; Shift+F8 from it wraps to the last.
    action(f, "Next Difference")->trigger();
    QCOMPARE(f.window->CurrentLayer(), 0);
    QCOMPARE(f.window->currentGrid()->currentIndex(), f.model(0)->index(3, 2));
    action(f, "Next Difference")->trigger();
    QCOMPARE(f.window->CurrentLayer(), 6); // the row's layer is shown
    QCOMPARE(f.window->currentGrid()->currentIndex(), f.model(6)->index(3, 2));
    action(f, "Previous Difference")->trigger();
    action(f, "Previous Difference")->trigger();
    QCOMPARE(f.window->currentGrid()->currentIndex(), f.model(0)->index(1, 7)); // wrapped
    // The view on show frames its differing cell.
    const QImage cells = f.view(0)->viewport()->grab().toImage();
    const QRect cell = f.view(0)->visualRect(f.model(0)->index(1, 7));
    QCOMPARE(cells.pixel(cell.left() + 1, cell.center().y()), differencemarks::OutlineColor);
    // A click on a row selects its hex.
    QTableView* table = dock.table();
    const QRect row = table->visualRect(dock.model()->index(0, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(f.window->currentGrid()->currentIndex(), f.model(0)->index(3, 2));

    // Typing what the other map holds takes the rows out at once, and the marks.
    f.document().typeIntoCell(0, 2, 3, "200");
    f.document().typeIntoCell(0, 7, 1, "202");
    QCOMPARE(dock.model()->rowCount(), 1);
    QCOMPARE(dock.countText(), "1 hex differs in 1 layer");
    QCOMPARE(outlinePixels(picture->grab().toImage()), 0); // nothing differs on the terrain layer
    dock.setMarkingEveryLayer(true);
    QVERIFY(outlinePixels(picture->grab().toImage()) > 0); // hex 2,3 still does on roads
}

void ComparingTest::theirsAreTakenAndTheMapsSwapped() {
    WindowFixture f;
    const QString mine = f.write("mine.amp", patternFile(TenByEight, 80));
    const QString theirs = f.write("b-v2.amp", changedFile());
    f.open({"ampedit", mine});
    QVERIFY(f.main->compareWith(theirs));
    DifferencesDock& dock = f.main->differences();
    dock.findChild<QPushButton*>("takeAll")->click();
    QCOMPARE(f.document().undoStack()->undoText(), "Take 2 hexes from b-v2.amp");
    QCOMPARE(dock.model()->rowCount(), 0);
    QVERIFY(f.main->isWindowModified());
    f.document().undoStack()->undo();
    QCOMPARE(dock.model()->rowCount(), 3);
    // Swapping asks about the unwritten edits first; after it the other file is edited.
    f.document().typeIntoCell(3, 0, 0, "9");
    f.dialogs.unwrittenAnswers << UnwrittenChoice::Discard;
    dock.swapMaps();
    QCOMPARE(f.dialogs.unwrittenQuestions, 1);
    QCOMPARE(f.document().fileName(), theirs);
    QCOMPARE(dock.other().fileName(), asArgument(mine)); // named on the command line
    QCOMPARE(f.document().encode(), changedFile());
    QCOMPARE(dock.model()->rowCount(), 3);
    QVERIFY2(dock.summary().contains("Header byte 0: 43 here, 42 in mine.amp"), qPrintable(dock.summary()));
    // A map that cannot be read is told, and the comparison stays.
    QVERIFY(!f.main->compareWith(f.dir.filePath("missing.amp")));
    QCOMPARE(f.dialogs.boxes.last().caption, "AMP File Error");
    QCOMPARE(dock.other().fileName(), asArgument(mine));
}

void ComparingTest::mapsOfOtherSizesAreToldAtTheTop() {
    WindowFixture f;
    const QString mine = f.write("mine.amp", patternFile(TenByEight, 80));
    const amp::MapHeader eightByNine{{0x2A, 0x00, 0x08, 0x00, 0x09, 0x00, 0x05}};
    const QString theirs = f.write("small.amp", patternFile(eightByNine, 72));
    f.open({"ampedit", mine});
    QVERIFY(f.main->compareWith(theirs));
    DifferencesDock& dock = f.main->differences();
    QCOMPARE(dock.summary(), "Size: 10 × 8 here, 8 × 9 in small.amp\n"
                             "Only in this map: columns 8–9, rows 0–7\n"
                             "Only in the other: columns 0–7, rows 8–8");
    // Record k is hex [k / 8][k % 8] in one map and [k / 9][k % 9] in the other:
    // from hex 0,8 on the two patterns part.
    QVERIFY(!dock.comparison()->hexDiffers(0, 7));
    QVERIFY(dock.comparison()->hexDiffers(1, 0));
    auto* filter = dock.findChild<QComboBox*>();
    filter->setCurrentIndex(1 + 6); // roads
    QVERIFY(dock.model()->rowCount() > 0);
    QCOMPARE(dock.model()->rowCount(), dock.comparison()->cellCount(6));
    QCOMPARE(dock.model()->index(0, DifferenceModel::LayerColumn).data().toString(), "roads");
    // Closing the dock ends the comparison: no count, no marks.
    dock.close();
    QVERIFY(!dock.isComparing());
    QVERIFY(!f.main->statusBar()->findChild<QToolButton*>("differenceCount")->isVisible());
    QCOMPARE(outlinePixels(f.main->mapPanel().view()->grab().toImage()), 0);
}

void ComparingTest::theCommandLineNamesTheOtherMap() {
    QProcess program;
    program.start(QStringLiteral(AMPEDIT_PATH), {QStringLiteral("--compare")});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 2);
    QVERIFY(program.readAllStandardError().contains("--compare needs the map to compare with"));
    program.start(QStringLiteral(AMPEDIT_PATH), {QStringLiteral("--help")});
    QVERIFY(program.waitForFinished(30000));
    QVERIFY(program.readAllStandardOutput().contains("--compare <OTHER>"));
    // A name that is not UTF-8 would come to the editor as another file's (its
    // invalid byte as U+FFFD): refused before any window, the map or the other.
    // Not on Windows, whose names are UTF-16: no such name reaches a program.
#ifndef Q_OS_WIN
    for (const char* words :
         {" \"$(printf 'x\\377.amp')\"", " --compare \"$(printf 'o\\377.amp')\" mine.amp"}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral("/bin/sh"),
                      {QStringLiteral("-c"), QStringLiteral(AMPEDIT_PATH) + words});
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY2(program.readAllStandardError().contains("the name is not UTF-8"), words);
    }
#endif
}

// A gigabyte of zeros (sparse: it costs no disk) is no map, as the reader says:
// not a map of 0 x 0 hexes to compare with.
void ComparingTest::aFileLargerThanAnyMapIsNotCompared() {
    WindowFixture f;
    const QString mine = f.write("mine.amp", patternFile(TenByEight, 80));
    QFile big(f.dir.filePath("big.amp"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(qint64(1) << 30));
    big.close();
    f.open({"ampedit", mine});
    QVERIFY(!f.main->compareWith(big.fileName()));
    QCOMPARE(f.dialogs.boxes.last().caption, "File Error");
    QVERIFY(f.dialogs.boxes.last().text.endsWith("is not a map file."));
    QVERIFY(f.dialogs.boxes.last().detail.contains("larger than the largest map"));
}

QTEST_MAIN(ComparingTest)
#include "tst_comparing.moc"
