// SPDX-License-Identifier: MIT
// Merging in the real window: File > Merge… and the window's merge that
// --merge calls, the Conflicts dock's rows, F8 / Shift+F8 over the conflicts
// left, the marks in the picture and the number view, the status line's count,
// the take buttons and menu items, a write that asks while conflicts are left,
// and the command line's --merge refused when it lacks a map.
#include "actiontable.h"
#include "conflictmodel.h"
#include "conflictsdock.h"
#include "differencemarks.h"
#include "hexmapview.h"
#include "mappanel.h"
#include "windowfixture.h"

#include <QAction>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <QUndoStack>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The file offset of a layer of hex [column][row] of a map of 8 rows.
std::size_t at(int column, int row, int layer) {
    return static_cast<std::size_t>(7 + 13 * (column * 8 + row) + layer);
}

// The base is the pattern map. Ours: header byte 0 is 0x2B, hex 2,3 layer 0 is
// 3 (Forest), hex 5,5 layer 6 is 101. Theirs: header byte 0 is 0x2C, hex 2,3 layer 0
// is 7 (River), hex 5,5 layer 6 is 151, hex 7,1 layer 0 is 152. So three conflicts
// (the header byte, 2,3 on layer 0, 5,5 on layer 6) and one change from theirs.
struct Maps {
    QString base, ours, theirs, output;
    Bytes merged; // ours at each conflict
};

Maps makeMaps(WindowFixture& f) {
    Maps maps;
    const Bytes base = patternFile(TenByEight, 80);
    Bytes ours = base, theirs = base;
    ours[0] = 0x2B;
    ours[at(2, 3, 0)] = 3;
    ours[at(5, 5, 6)] = 101;
    theirs[0] = 0x2C;
    theirs[at(2, 3, 0)] = 7;
    theirs[at(5, 5, 6)] = 151;
    theirs[at(7, 1, 0)] = 152;
    maps.base = f.write("base.amp", base);
    maps.ours = f.write("ours.amp", ours);
    maps.theirs = f.write("theirs.amp", theirs);
    maps.output = f.dir.filePath("merged.amp");
    maps.merged = ours;
    maps.merged[at(7, 1, 0)] = 152;
    return maps;
}

// A command of the window by its id in the action table.
QAction* action(WindowFixture& f, const char* id) {
    QAction* found = f.main->actions().action(QString::fromLatin1(id));
    if (!found) {
        qFatal("no action %s", id);
    }
    return found;
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

QString countOnStatusLine(WindowFixture& f) {
    const auto* count = f.main->statusBar()->findChild<QToolButton*>("conflictCount");
    return count && count->isVisible() ? count->text() : QString();
}

} // namespace

class MergingWindowTest : public QObject {
    Q_OBJECT

private slots:
    void theDockListsMarksStepsAndCounts();
    void theirsTakenOnAHexIsWrittenAfterTheQuestion();
    void theMenusTakeEverySideAndUndo();
    void aMergeThatFailsIsToldAndChangesNothing();
    void theCommandLineNeedsThreeMapsAndAnOutput();
};

void MergingWindowTest::theDockListsMarksStepsAndCounts() {
    WindowFixture f;
    const Maps maps = makeMaps(f);
    f.open();
    f.dialogs.openAnswers << maps.base << maps.ours << maps.theirs;
    f.dialogs.saveAnswers << maps.output;
    action(f, "file.merge")->trigger();
    QCOMPARE(f.dialogs.openRequests.size(), 3);
    ConflictsDock& dock = f.main->conflicts();
    QVERIFY(dock.isVisible());
    QCOMPARE(f.document().fileName(), maps.output);
    QCOMPARE(f.document().encode(), maps.merged);
    QCOMPARE(dock.model()->rowCount(), 3);
    const auto cell = [&dock](int row, int column) {
        return dock.model()->index(row, column).data().toString();
    };
    QCOMPARE(cell(1, ConflictModel::ColumnColumn), "2");
    QCOMPARE(cell(1, ConflictModel::RowColumn), "3");
    QCOMPARE(cell(1, ConflictModel::BaseColumn), QString::number(patternByte(2 * 8 + 3, 0)));
    QCOMPARE(cell(1, ConflictModel::OursColumn), "3 (Forest)");
    QCOMPARE(cell(1, ConflictModel::TheirsColumn), "7 (River)");
    QCOMPARE(cell(0, ConflictModel::OursColumn), "43"); // the header byte, 0x2B
    QCOMPARE(countOnStatusLine(f), "3 conflicts left");

    // The picture outlines the hex with a conflict on the layer on show; the view frames its cell.
    HexMapView* picture = f.main->mapPanel().view();
    QVERIFY(outlinePixels(picture->grab().toImage()) > 0);
    const QImage cells = f.view(0)->viewport()->grab().toImage();
    const QRect framed = f.view(0)->visualRect(f.model(0)->index(3, 2));
    QCOMPARE(cells.pixel(framed.left() + 1, framed.center().y()), differencemarks::OutlineColor);
    const QRect plain = f.view(0)->visualRect(f.model(0)->index(1, 7)); // taken from theirs cleanly
    QVERIFY(cells.pixel(plain.left() + 1, plain.center().y()) != differencemarks::OutlineColor);

    // F8: the header's row first (no hex to show), then 2,3 on layer 0, then 5,5 on layer 6.
    action(f, "view.nextDifference")->trigger();
    QCOMPARE(dock.table()->currentIndex().row(), 0);
    action(f, "view.nextDifference")->trigger();
    QCOMPARE(f.window->CurrentLayer(), 0);
    QCOMPARE(f.window->currentGrid()->currentIndex(), f.model(0)->index(3, 2));
    action(f, "view.nextDifference")->trigger();
    QCOMPARE(f.window->CurrentLayer(), 6);
    QCOMPARE(f.window->currentGrid()->currentIndex(), f.model(6)->index(5, 5));
    action(f, "view.nextDifference")->trigger(); // wraps to the header's row
    QCOMPARE(dock.table()->currentIndex().row(), 0);
    action(f, "view.previousDifference")->trigger(); // and back round to the last
    QCOMPARE(dock.table()->currentIndex().row(), 2);

    // Theirs for the hex on show: its row is settled, F8 passes it by.
    dock.findChild<QPushButton*>("takeTheirsHex")->click();
    QCOMPARE(f.model(6)->cellByte(5, 5), std::uint8_t{151});
    QCOMPARE(countOnStatusLine(f), "2 conflicts left");
    action(f, "view.nextDifference")->trigger();
    QCOMPARE(dock.table()->currentIndex().row(), 0);
    action(f, "view.nextDifference")->trigger();
    QCOMPARE(dock.table()->currentIndex().row(), 1);
    action(f, "view.nextDifference")->trigger();
    QCOMPARE(dock.table()->currentIndex().row(), 0); // row 2 is settled
    f.document().undoStack()->undo();
    QCOMPARE(countOnStatusLine(f), "3 conflicts left");

    // Quit with the dock open: the next start, with no merge, does not show it.
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
    QVERIFY(f.main->close());
    f.open();
    QVERIFY(!f.main->conflicts().isVisible());
}

void MergingWindowTest::theirsTakenOnAHexIsWrittenAfterTheQuestion() {
    WindowFixture f;
    const Maps maps = makeMaps(f);
    f.open();
    QVERIFY(f.main->merge(maps.base, maps.ours, maps.theirs, maps.output));
    f.window->selectHex(2, 3);
    f.main->conflicts().findChild<QPushButton*>("takeTheirsHex")->click();
    QCOMPARE(countOnStatusLine(f), "2 conflicts left");

    // Conflicts are left: the write asks, and No writes nothing.
    f.dialogs.yesNoAnswers << false;
    action(f, "file.write")->trigger();
    QCOMPARE(f.dialogs.questions.size(), 1);
    QVERIFY2(f.dialogs.questions.first().text.contains("2 conflicts left"),
             qPrintable(f.dialogs.questions.first().text));
    QVERIFY(!QFile::exists(maps.output));
    f.dialogs.yesNoAnswers << true;
    action(f, "file.write")->trigger();
    Bytes expected = maps.merged;
    expected[at(2, 3, 0)] = 7;
    QCOMPARE(f.read(maps.output), expected);

    // Everything left from theirs: the header and hex 5,5 too; no question then.
    action(f, "edit.takeTheirs.all")->trigger();
    QCOMPARE(countOnStatusLine(f), "All 3 conflicts settled");
    action(f, "file.write")->trigger();
    QCOMPARE(f.dialogs.questions.size(), 2);
    expected[0] = 0x2C;
    expected[at(5, 5, 6)] = 151;
    QCOMPARE(f.read(maps.output), expected);
}

void MergingWindowTest::theMenusTakeEverySideAndUndo() {
    WindowFixture f;
    const Maps maps = makeMaps(f);
    f.open();
    QVERIFY(f.main->merge(maps.base, maps.ours, maps.theirs, maps.output));
    f.window->selectHex(2, 3);
    action(f, "edit.takeBase.hex")->trigger();
    QCOMPARE(f.model(0)->cellByte(2, 3), patternByte(2 * 8 + 3, 0));
    QCOMPARE(f.document().undoStack()->undoText(), "Take the base for 1 conflict");
    action(f, "edit.takeOurs.hex")->trigger();
    QCOMPARE(f.model(0)->cellByte(2, 3), std::uint8_t{3});
    QCOMPARE(countOnStatusLine(f), "2 conflicts left");
    f.document().undoStack()->undo();
    f.document().undoStack()->undo();
    QCOMPARE(f.model(0)->cellByte(2, 3), std::uint8_t{3});
    QCOMPARE(countOnStatusLine(f), "3 conflicts left");
    // The layer on show: 5,5 on layer 6 only.
    f.window->showLayerNumber(6);
    action(f, "edit.takeTheirs.layer")->trigger();
    QCOMPARE(f.model(6)->cellByte(5, 5), std::uint8_t{151});
    QCOMPARE(f.model(0)->cellByte(2, 3), std::uint8_t{3});
    QCOMPARE(countOnStatusLine(f), "2 conflicts left");
}

void MergingWindowTest::aMergeThatFailsIsToldAndChangesNothing() {
    WindowFixture f;
    const Maps maps = makeMaps(f);
    const QString mine = f.write("mine.amp", patternFile(TenByEight, 80));
    f.open({"ampedit", mine});
    QVERIFY(!f.main->merge(maps.base, f.dir.filePath("gone.amp"), maps.theirs, maps.output));
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY2(f.dialogs.boxes.first().detail.contains("gone.amp"), qPrintable(f.dialogs.boxes.first().detail));
    QCOMPARE(f.document().fileName(), asArgument(mine));
    QVERIFY(!f.main->conflicts().isVisible());
    QCOMPARE(countOnStatusLine(f), QString());
}

void MergingWindowTest::theCommandLineNeedsThreeMapsAndAnOutput() {
    QProcess program;
    program.start(QStringLiteral(AMPEDIT_PATH), {"--merge", "base.amp", "ours.amp", "-o", "merged.amp"});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 2);
    QVERIFY(program.readAllStandardError().contains("--merge needs three maps"));
    program.start(QStringLiteral(AMPEDIT_PATH), {"--merge", "base.amp", "ours.amp", "theirs.amp"});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitCode(), 2);
    program.start(QStringLiteral(AMPEDIT_PATH), {"--help"});
    QVERIFY(program.waitForFinished(30000));
    const QByteArray help = program.readAllStandardOutput();
    QVERIFY(help.contains("--merge") && help.contains("<MERGED>"));
}

QTEST_MAIN(MergingWindowTest)
#include "tst_conflicts.moc"
