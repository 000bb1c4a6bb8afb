// SPDX-License-Identifier: MIT
// Where the keys go: the picture's tools take them once the user turns to the
// picture, a hex reached by Go to Hex takes what is typed next, and the stamp's
// keys work wherever the focus is while the stamp follows the pointer.
#include "hexmapview.h"
#include "mappanel.h"
#include "stamptool.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QToolButton>

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void aToolButtonGivesThePictureTheKeys();
    void typingAfterGoToHexGoesIntoThatCell();
    void theStampsKeysWorkWhereverTheFocusIs();

private:
    static void openTen(WindowFixture& f) { f.openOn("ten.amp", patternFile(TenByEight, 80)); }
    static QToolButton* toolButton(WindowFixture& f, const QString& text) {
        for (QToolButton* button : f.main->mapPanel().findChildren<QToolButton*>()) {
            if (button->text() == text) {
                return button;
            }
        }
        qFatal("no tool button %s", qPrintable(text));
    }
};

// A cell chosen in a view, then Paint and B: B is the picture's, never a "b"
// typed into the cell.
void KeyboardTest::aToolButtonGivesThePictureTheKeys() {
    WindowFixture f;
    openTen(f);
    HexMapView* picture = f.main->mapPanel().view();
    const QString before = f.model(0)->cellText(2, 2);
    f.clickCell(f.view(0), 2, 2);
    QVERIFY(f.view(0)->hasFocus());
    QTest::mouseClick(toolButton(f, "Paint"), Qt::LeftButton);
    QVERIFY(picture->hasFocus());
    QCOMPARE(picture->tool(), HexMapView::Tool::Paint);
    f.press(QKeySequence(Qt::Key_L));
    QCOMPARE(picture->shape(), HexMapView::Shape::Line);
    f.press(QKeySequence(Qt::Key_R));
    QCOMPARE(picture->shape(), HexMapView::Shape::Rectangle);

    // Back in the view, and then the Select button: the same.
    f.clickCell(f.view(0), 2, 2);
    QTest::mouseClick(toolButton(f, "Select"), Qt::LeftButton);
    f.press(QKeySequence(Qt::Key_B));
    QCOMPARE(picture->shape(), HexMapView::Shape::Brush);
    QCOMPARE(f.model(0)->cellText(2, 2), before);
    QCOMPARE(f.document().undoStack()->count(), 0);
    QVERIFY(!f.view(0)->isPersistentEditorOpen(f.model(0)->index(2, 2)));

    // A shape picked in its box hands the keys back to the picture too.
    const auto shapes = f.main->mapPanel().findChildren<QComboBox*>();
    QComboBox* shapeBox = nullptr;
    for (QComboBox* box : shapes) {
        if (box->count() == 3 && box->itemText(1) == QStringLiteral("Line")) {
            shapeBox = box;
        }
    }
    QVERIFY(shapeBox);
    f.clickCell(f.view(0), 2, 2);
    shapeBox->setFocus();
    emit shapeBox->activated(1);
    QVERIFY(picture->hasFocus());
}

// Ctrl+G "5 5", then 3 and Enter: the cell of hex 5,5 holds 3, wherever the
// focus was before (here the picture).
void KeyboardTest::typingAfterGoToHexGoesIntoThatCell() {
    WindowFixture f;
    openTen(f);
    f.main->mapPanel().view()->setFocus();
    f.dialogs.texts = {QStringLiteral("5 5")};
    f.press(QKeySequence(Qt::CTRL | Qt::Key_G));
    QVERIFY(f.view(0)->hasFocus());
    QCOMPARE(f.view(0)->currentIndex(), f.model(0)->index(5, 5));
    f.press(QKeySequence(Qt::Key_3));
    f.press(QKeySequence(Qt::Key_Return));
    QCOMPARE(f.model(0)->cellText(5, 5), QStringLiteral("3"));
}

// Ctrl+Alt+C from a view: Z turns the stamp, X flips it, Esc ends it, with the
// focus in the view or in the picture; no key reaches a cell meanwhile.
void KeyboardTest::theStampsKeysWorkWhereverTheFocusIs() {
    WindowFixture f;
    openTen(f);
    auto* stamp = f.main->findChild<StampTool*>();
    QVERIFY(stamp);
    const QString before = f.model(0)->cellText(3, 2);
    for (const bool fromPicture : {false, true}) {
        f.clickCell(f.view(0), 3, 2);
        QTest::mouseClick(f.view(0)->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          f.view(0)->visualRect(f.model(0)->index(3, 4)).center());
        f.press(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C));
        QVERIFY(stamp->isActive());
        if (fromPicture) {
            f.main->mapPanel().view()->setFocus();
        } else {
            f.view(0)->setFocus();
        }
        const hexsymmetry::Stamp copied = stamp->current();
        f.press(QKeySequence(Qt::Key_Z));
        QVERIFY(stamp->current() != copied);
        f.press(QKeySequence(Qt::SHIFT | Qt::Key_Z));
        QVERIFY(stamp->current() == copied);
        f.press(QKeySequence(Qt::Key_X));
        QVERIFY(stamp->current() != copied);
        f.press(QKeySequence(Qt::Key_Escape));
        QVERIFY(!stamp->isActive());
        QVERIFY(!stamp->isVisible());
        QCOMPARE(f.model(0)->cellText(3, 2), before);
    }
    // Off, the tool leaves the keys alone: Z is typed into a view again.
    f.typeIntoCell(f.view(0), 0, 0, "z");
    QCOMPARE(f.model(0)->cellText(0, 0), QStringLiteral("z"));
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
