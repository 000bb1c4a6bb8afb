// SPDX-License-Identifier: MIT
// Edits of many cells at once: each action's cells and its one undo step,
// clipping at the map's edge, a spreadsheet's round trip through the clipboard,
// a bad paste, replace, select same value and flood fill by hex neighbours.
#include "bulkedits.h"
#include "hexmapview.h"
#include "mappanel.h"
#include "windowfixture.h"

#include <QClipboard>
#include <QMimeData>
#include <QStatusBar>
#include <QUndoStack>

class BulkEditsTest : public QObject {
    Q_OBJECT

private slots:
    void fillCutAndPasteAreOneStepEach();
    void allLayersTravelTogether();
    void aSpreadsheetsTextComesAndGoes();
    void aBadPasteChangesNothingAndSaysWhere();
    void replaceCountsFirstThenChanges();
    void selectSameValueAndFloodFillFollowTheHexes();

private:
    static QString pattern(int column, int row, int layer = 0) {
        return QString::number(patternByte(column * 8 + row, layer));
    }
    static void select(WindowFixture& f, int c1, int r1, int c2, int r2) {
        f.main->bulkEdits().selectRectangle(c1, r1, c2, r2);
        f.view(f.window->CurrentLayer())->setCurrentIndex(f.model(f.window->CurrentLayer())->index(r1, c1));
        f.main->bulkEdits().selectRectangle(c1, r1, c2, r2);
    }
    static QUndoStack* stack(WindowFixture& f) { return f.document().undoStack(); }
};

void BulkEditsTest::fillCutAndPasteAreOneStepEach() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    LayerView* view = f.view(0);
    select(f, 1, 1, 2, 3);
    // Typed, then Ctrl+Enter: every selected cell.
    view->setFocus();
    QTest::keyClicks(view, "9");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ControlModifier);
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 5; ++row) {
            const bool inside = column >= 1 && column <= 2 && row >= 1 && row <= 3;
            QCOMPARE(f.model(0)->cellText(column, row), inside ? QStringLiteral("9") : pattern(column, row));
        }
    }
    QCOMPARE(stack(f)->count(), 1);
    QCOMPARE(stack(f)->undoText(), QStringLiteral("Fill 6 hexes"));
    // A typed text fills as typed.
    QTest::keyClicks(view, "x");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::ControlModifier);
    QCOMPARE(f.model(0)->cellText(2, 3), QStringLiteral("x"));
    QCOMPARE(f.model(0)->cellValue(2, 3), 0);
    stack(f)->undo();
    QCOMPARE(f.model(0)->cellText(2, 3), QStringLiteral("9"));
    stack(f)->undo();
    QCOMPARE(f.model(0)->cellText(2, 3), pattern(2, 3));

    // Cut leaves "0"; paste near the corner keeps what fits and says so.
    f.press(QKeySequence::Cut);
    QCOMPARE(f.model(0)->cellText(1, 1), QStringLiteral("0"));
    QCOMPARE(QApplication::clipboard()->text(), pattern(1, 1) + "\t" + pattern(2, 1) + "\n" + pattern(1, 2) +
                                                    "\t" + pattern(2, 2) + "\n" + pattern(1, 3) + "\t" +
                                                    pattern(2, 3) + "\n");
    f.view(0)->setCurrentIndex(f.model(0)->index(6, 9)); // [9][6]: one column and two rows fit
    f.view(0)->selectionModel()->clearSelection();
    f.press(QKeySequence::Paste);
    QCOMPARE(f.model(0)->cellText(9, 6), pattern(1, 1));
    QCOMPARE(f.model(0)->cellText(9, 7), pattern(1, 2));
    QCOMPARE(f.model(0)->cellText(8, 6), pattern(8, 6));
    QCOMPARE(stack(f)->undoText(), QStringLiteral("Paste 2 hexes"));
    QVERIFY(f.main->statusBar()->currentMessage().contains("beyond the map's edge"));
    stack(f)->undo();
    QCOMPARE(f.model(0)->cellText(9, 6), pattern(9, 6));
    QCOMPARE(stack(f)->count(), 2); // the undone fills gave way to the cut
}

void BulkEditsTest::allLayersTravelTogether() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    select(f, 0, 0, 1, 1);
    f.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    QVERIFY(QApplication::clipboard()->mimeData()->hasFormat("application/x-ampedit-cells"));
    f.view(0)->selectionModel()->clearSelection();
    f.click("btnPlus"); // paste on another layer's view: all 13 layers still go in
    f.view(1)->setCurrentIndex(f.model(1)->index(4, 5));
    f.press(QKeySequence::Paste);
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        QCOMPARE(f.model(layer)->cellText(5, 4), pattern(0, 0, layer));
        QCOMPARE(f.model(layer)->cellText(6, 5), pattern(1, 1, layer));
    }
    QCOMPARE(stack(f)->undoText(), QStringLiteral("Paste 4 hexes, all layers"));
    stack(f)->undo();
    QCOMPARE(f.model(12)->cellText(6, 5), pattern(6, 5, 12));
}

void BulkEditsTest::aSpreadsheetsTextComesAndGoes() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    // What a spreadsheet puts on the clipboard: tabs, CR LF, a last line end,
    // and nothing between two tabs for an empty cell, which reads as 0.
    QApplication::clipboard()->setText("1\t\t3\r\n4\t5\t255\r\n");
    f.view(0)->setCurrentIndex(f.model(0)->index(2, 3));
    f.press(QKeySequence::Paste);
    QCOMPARE(f.model(0)->cellText(3, 2), QStringLiteral("1"));
    QCOMPARE(f.model(0)->cellValue(4, 2), 0);
    QCOMPARE(f.model(0)->cellText(5, 3), QStringLiteral("255"));
    select(f, 3, 2, 5, 3);
    f.press(QKeySequence::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("1\t0\t3\n4\t5\t255\n"));
}

void BulkEditsTest::aBadPasteChangesNothingAndSaysWhere() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.view(0)->setCurrentIndex(f.model(0)->index(0, 0));
    for (const char* text : {"1\t2\n3\tx\n", "1\t2\n3\t256\n", "1\t2\n3\n"}) {
        QApplication::clipboard()->setText(QString::fromLatin1(text));
        f.press(QKeySequence::Paste);
    }
    QCOMPARE(f.dialogs.boxes.size(), 3);
    QVERIFY(f.dialogs.boxes[0].okOnly); // it only informs: no Cancel to choose
    QVERIFY2(f.dialogs.boxes[0].text.contains("line 2, column 2"), qPrintable(f.dialogs.boxes[0].text));
    QVERIFY(f.dialogs.boxes[1].text.contains("line 2, column 2"));
    QVERIFY(f.dialogs.boxes[2].text.contains("line 2, column 2"));
    QCOMPARE(stack(f)->count(), 0);
    QCOMPARE(f.model(0)->cellText(0, 0), pattern(0, 0));
}

void BulkEditsTest::replaceCountsFirstThenChanges() {
    WindowFixture f;
    f.open();
    amp::MapImage map = amp::makeMap({}, 10, 8);
    for (int k = 0; k < 80; ++k) {
        map.records[static_cast<std::size_t>(k)] = {
            7, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(k < 40 ? 7 : 1)};
    }
    f.readMap(f.write("sevens.amp", amp::encodeMap(map)));
    // The one hex clicked is no region: the dialog opens on the whole layer, on
    // the selection only when it holds more than one hex. Each is cancelled.
    f.dialogs.replaceAnswers = {std::nullopt, std::nullopt, std::nullopt};
    f.dialogs.numbers = {std::nullopt};
    f.clickCell(f.view(0), 2, 2);
    f.press(QKeySequence(Qt::CTRL | Qt::Key_H));
    select(f, 1, 1, 2, 1);
    f.press(QKeySequence(Qt::CTRL | Qt::Key_H));
    QCOMPARE(f.dialogs.offeredScopes,
             (QList<ReplaceRequest::Scope>{ReplaceRequest::Scope::Layer, ReplaceRequest::Scope::Selection}));
    // It replaces the current hex's value (7 on layer 0) with the brush's; Fill
    // starts from the brush's value.
    f.main->mapPanel().view()->setBrushText(QStringLiteral("300")); // writes 44
    f.press(QKeySequence(Qt::CTRL | Qt::Key_H));
    QCOMPARE(f.dialogs.offeredValues.constLast(), (std::pair<int, int>{7, 44}));
    f.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    QCOMPARE(f.dialogs.offeredNumbers, QList<int>{44});
    QCOMPARE(stack(f)->count(), 0);
    // The dialog is shown the count before anything changes; the rule's cases
    // (scopes, typed texts) are the document's tests.
    f.dialogs.replaceAnswers = {ReplaceRequest{7, 4, ReplaceRequest::Scope::AllLayers}};
    f.press(QKeySequence(Qt::CTRL | Qt::Key_H));
    QCOMPARE(f.dialogs.replaceCounts, QList<int>{200}); // 80 on layers 0 and 1, 40 on layer 12
    QCOMPARE(stack(f)->undoText(), QStringLiteral("Replace 7 → 4 in 80 hexes, all layers"));
    QCOMPARE(f.model(12)->cellText(4, 7), QStringLiteral("4")); // record 39
    QCOMPARE(f.model(12)->cellText(5, 0), QStringLiteral("1")); // record 40
    stack(f)->undo();
    QCOMPARE(f.model(1)->cellText(3, 3), QStringLiteral("7"));
}

void BulkEditsTest::selectSameValueAndFloodFillFollowTheHexes() {
    WindowFixture f;
    f.open();
    // 3 x 2: [0][0] and [1][1] hold 5, the rest 0. With odd columns lower they
    // do not touch; with even columns lower they do.
    amp::MapImage map = amp::makeMap({}, 3, 2);
    map.records[amp::recordOfCell(0, 0, 2)][0] = 5;
    map.records[amp::recordOfCell(1, 1, 2)][0] = 5;
    f.readMap(f.write("two.amp", amp::encodeMap(map)));
    f.view(0)->setCurrentIndex(f.model(0)->index(0, 0));
    f.main->bulkEdits().selectSameValue();
    QModelIndexList chosen = f.view(0)->selectionModel()->selectedIndexes();
    std::sort(chosen.begin(), chosen.end());
    QCOMPARE(chosen, (QModelIndexList{f.model(0)->index(0, 0), f.model(0)->index(1, 1)}));
    f.view(0)->selectionModel()->clearSelection();

    f.main->bulkEdits().floodFill(0, 0, false, QStringLiteral("9"));
    QCOMPARE(f.model(0)->cellText(0, 0), QStringLiteral("9"));
    QCOMPARE(f.model(0)->cellText(1, 1), QStringLiteral("5"));
    QCOMPARE(stack(f)->undoText(), QStringLiteral("Fill 1 hex"));
    stack(f)->undo();
    f.main->bulkEdits().floodFill(0, 0, true, QStringLiteral("9"));
    QCOMPARE(f.model(0)->cellText(1, 1), QStringLiteral("9"));
    stack(f)->undo();
    // How a selection holds a fill is the document's test.
    // Shift+drag in the picture selects the rectangle in the form.
    HexMapView* picture = f.main->mapPanel().view();
    picture->resize(300, 200);
    picture->fitMap();
    const auto at = [picture](int c, int r) {
        return (picture->geometryNow().centre(c, r) + picture->origin()).toPoint();
    };
    QTest::mousePress(picture, Qt::LeftButton, Qt::ShiftModifier, at(0, 0));
    QTest::mouseMove(picture, at(1, 1));
    QTest::mouseRelease(picture, Qt::LeftButton, Qt::ShiftModifier, at(1, 1));
    QCOMPARE(f.view(0)->selectionModel()->selectedIndexes().size(), 4);
}

QTEST_MAIN(BulkEditsTest)
#include "tst_bulkedits.moc"
