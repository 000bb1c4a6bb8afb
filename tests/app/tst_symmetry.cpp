// SPDX-License-Identifier: MIT
// The Symmetry menu in the real window: its keys and items ask first (telling the
// count of hexes without an image), then make one undo step; the symmetric brush
// reaches a typed cell's image; the form SymmetryForm tells the count it is given.
#include "bulkedits.h"
#include "hexmapview.h"
#include "mappanel.h"
#include "stamptool.h"
#include "symmetryform.h"
#include "windowfixture.h"

#include <QLabel>
#include <QMenuBar>
#include <QRadioButton>
#include <QUndoStack>

class SymmetryTest : public QObject {
    Q_OBJECT

private slots:
    void flipAndSymmetryAskThenStep();
    void theBrushAndTheForm();
    void aStampPreviewsTurnsAndPlaces();

private:
    static QAction* item(WindowFixture& f, const QString& text) {
        for (QAction* action : f.main->findChildren<QAction*>()) {
            if (action->text().remove('&') == text) {
                return action;
            }
        }
        qFatal("no menu item %s", qPrintable(text));
    }
};

void SymmetryTest::flipAndSymmetryAskThenStep() {
    WindowFixture f;
    const QString path = f.openOn("ten.amp", patternFile(TenByEight, 80));
    const auto before = f.document().encode();
    f.clickCell(f.view(0), 2, 2); // one hex selected: the map is flipped, not that hex
    // Cancelled: the dialog was told the count (10 columns lose one), nothing changes.
    f.dialogs.symmetryAnswers = {std::nullopt};
    f.press(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_H));
    QCOMPARE(f.dialogs.symmetryCounts, QList<int>{8});
    QCOMPARE(f.document().undoStack()->count(), 0);
    SymmetryRequest request;
    request.flip = hexsymmetry::Flip::LeftRight;
    f.dialogs.symmetryAnswers = {request};
    f.press(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_H));
    QCOMPARE(f.document().undoStack()->undoText(),
             QStringLiteral("Flip left–right of the map, all layers (8 hexes without an image)"));
    // About column 4: column 1 shows column 7, every layer; column 9 has no image.
    for (int layer : {0, 12}) {
        QCOMPARE(f.model(layer)->cellByte(1, 3), patternByte(7 * 8 + 3, layer));
        QCOMPARE(f.model(layer)->cellByte(9, 5), patternByte(9 * 8 + 5, layer));
    }
    f.document().undoStack()->undo();
    QCOMPARE(f.document().encode(), before);

    request = {};
    request.action = SymmetryRequest::Action::Symmetrize;
    request.side = hexsymmetry::Side::Top;
    request.allLayers = false;
    f.dialogs.symmetryAnswers = {request};
    item(f, QStringLiteral("Top Half onto Bottom…"))->trigger();
    QCOMPARE(f.dialogs.symmetryCounts.last(), 5); // the lowered columns' last row
    QCOMPARE(f.model(0)->cellByte(0, 7), patternByte(0, 0));
    QCOMPARE(f.model(1)->cellByte(0, 7), patternByte(7, 1));
}

void SymmetryTest::theBrushAndTheForm() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    item(f, QStringLiteral("Left–Right"))->trigger();
    f.typeIntoCell(f.view(0), 2, 3, QStringLiteral("77"));
    QCOMPARE(f.model(0)->cellText(6, 3), QStringLiteral("77")); // about column 4
    QCOMPARE(f.document().undoStack()->count(), 1);
    f.document().beginStroke(0, QStringLiteral("88"));
    f.document().paintDab({{1, 2}});
    f.document().endStroke();
    QCOMPARE(f.document().undoStack()->undoText(), QStringLiteral("Paint 2 hexes, symmetric left–right"));
    item(f, QStringLiteral("Off"))->trigger();
    f.typeIntoCell(f.view(0), 1, 3, QStringLiteral("66"));
    QCOMPARE(f.model(0)->cellByte(7, 3), patternByte(7 * 8 + 3, 0));

    SymmetryRequest request;
    QList<SymmetryRequest> asked;
    SymmetryForm form(nullptr, request, false, [&asked](const SymmetryRequest& r) {
        asked.append(r);
        return r.allLayers ? 3 : 0;
    });
    QCOMPARE(form.countLabel()->text(), SymmetryForm::countText(3));
    form.layerOnShowButton()->setChecked(true);
    QCOMPARE(form.countLabel()->text(), SymmetryForm::countText(0));
    QVERIFY(!form.request().allLayers);
    QVERIFY(!form.selectionBox()->isEnabled());
    QVERIFY(SymmetryForm::countText(3).startsWith(QStringLiteral("3 hexes")));
    // A long title is not cut short: the dialog is as wide as it needs.
    SymmetryRequest point;
    point.action = SymmetryRequest::Action::Symmetrize;
    point.mode = hexsymmetry::Mode::Point;
    SymmetryForm pointForm(nullptr, point, false, [](const SymmetryRequest&) { return 0; });
    QCOMPARE(pointForm.windowTitle(), QStringLiteral("Point symmetry from the left half"));
    pointForm.adjustSize();
    QVERIFY(pointForm.width() >=
            QFontMetrics(pointForm.font()).horizontalAdvance(pointForm.windowTitle()) + 100);
    const auto* operation = form.findChild<QLabel*>(QStringLiteral("operation"));
    QVERIFY(operation && !form.windowTitle().isEmpty() && operation->text().startsWith(form.windowTitle()));
}

void SymmetryTest::aStampPreviewsTurnsAndPlaces() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    HexMapView* picture = f.main->mapPanel().view();
    const auto at = [picture](int column, int row) {
        return (picture->origin() + picture->geometryNow().centre(column, row)).toPoint();
    };
    f.press(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C));
    StampTool* tool = picture->findChild<StampTool*>();
    QVERIFY(tool && !tool->isActive()); // nothing selected: no stamp
    f.view(0)->setCurrentIndex(f.model(0)->index(1, 1));
    f.main->bulkEdits().selectRectangle(1, 1, 3, 2); // 3 x 2 hexes, anchored on [2][2]
    const QPoint lowerLeft(3, picture->height() - 3);
    const int plain = qGray(picture->grab().toImage().pixel(lowerLeft));
    f.press(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C));
    QVERIFY(tool->isActive());
    QTest::mouseMove(tool, at(6, 4));
    const auto preview = tool->previewCells();
    QCOMPARE(preview.size(), std::size_t{6});
    // [2][2] is raised, [6][4] too: the stamp lands as the rectangle moved by 4, 2.
    QVERIFY(std::find(preview.begin(), preview.end(), HexCell{5, 3}) != preview.end());
    QTest::keyClick(tool, Qt::Key_Z);
    QVERIFY(tool->previewCells() != preview);
    QTest::keyClick(tool, Qt::Key_Z, Qt::ShiftModifier);
    QCOMPARE(tool->previewCells(), preview);
    QTest::mouseClick(tool, Qt::LeftButton, {}, at(6, 4));
    QCOMPARE(f.document().undoStack()->undoText(), QStringLiteral("Stamp 6 cells"));
    QCOMPARE(f.model(0)->cellByte(5, 3), patternByte(1 * 8 + 1, 0));
    QCOMPARE(f.model(1)->cellByte(5, 3), patternByte(5 * 8 + 3, 1)); // one layer's stamp
    // The hint stays over the picture's lower edge after a placement.
    QVERIFY(tool->hint().startsWith(QStringLiteral("Stamp 1 of 6 hexes")));
    QVERIFY(qGray(picture->grab().toImage().pixel(lowerLeft)) < plain);
    QTest::keyClick(tool, Qt::Key_Escape);
    QVERIFY(!tool->isActive());
    f.press(QKeySequence(Qt::CTRL | Qt::Key_1));
    QVERIFY(tool->isActive());
    QCOMPARE(tool->stamps().size(), std::size_t{1});
    QVERIFY(!tool->choose(1));
}

QTEST_MAIN(SymmetryTest)
#include "tst_symmetry.moc"
