// SPDX-License-Identifier: MIT
// Stepping through the layers, picking one by name, and the terrain name of the
// selected hex, all through the real widgets.
#include "windowfixture.h"

#include <QScrollArea>

#include <QAbstractItemView>

class NavigationTest : public QObject {
    Q_OBJECT

private slots:
    void buttonsWrapAtBothEndsAndShowOneView();
    void buttonsWorkBeforeAnyMap();
    void theLayerBoxPicksByNameAndKeepsTheTerrainName();
    void aTextThatNamesNoLayerChangesNothing();
    void aLoadKeepsTheLayerOnShowInFront();
    void selectingAHexNamesItsTerrain();
    void otherLayersLeaveTheTerrainNameAlone();

private:
    static void checkOneViewShown(const WindowFixture& f, int layer) {
        QCOMPARE(f.visibleLayers(), QList<int>{layer});
        QCOMPARE(f.window->CurrentLayer(), layer);
        QCOMPARE(f.textOf("edtLevel"), QString::number(layer));
    }
};

void NavigationTest::buttonsWrapAtBothEndsAndShowOneView() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    auto* box = f.control<QComboBox>("cmbLayerName");

    f.click("btnMinus");
    checkOneViewShown(f, 12);
    QCOMPARE(box->currentText(), QStringLiteral("Text ID b4"));
    QCOMPARE(f.textOf("edtLayerName"), QStringLiteral("Text ID b4"));
    f.click("btnPlus");
    checkOneViewShown(f, 0);
    QCOMPARE(box->currentText(), QStringLiteral("Terraintype"));

    for (const char* button : {"btnPlus", "btnMinus"}) {
        const int step = QByteArray(button) == "btnPlus" ? 1 : -1;
        for (int press = 1; press <= amp::LayerCount; ++press) {
            f.control<QLineEdit>("edtTerrainType")->setText("Forest");
            f.click(button);
            const int expected = ((press * step) % amp::LayerCount + amp::LayerCount) % amp::LayerCount;
            checkOneViewShown(f, expected);
            QCOMPARE(box->currentIndex(), expected);
            QCOMPARE(f.textOf("edtTerrainType"), QString()); // the buttons empty the name
        }
        checkOneViewShown(f, 0);
    }
}

void NavigationTest::buttonsWorkBeforeAnyMap() {
    WindowFixture f;
    f.open();
    f.click("btnPlus");
    checkOneViewShown(f, 1);
    QCOMPARE(f.model(1)->columns(), 39);
    QCOMPARE(f.model(1)->rows(), 34);
    QCOMPARE(f.model(1)->cellText(38, 33), QString());
    // And it is on screen: the scroll area shows the view's zero markers, teal
    // octagons from the cell's top-left corner (its centre 7 pixels in).
    auto* scroller = f.window->findChild<QScrollArea*>("mapScroller");
    QVERIFY(scroller);
    const QImage screen = scroller->grab().toImage();
    for (const QPoint cell : {QPoint(0, 0), QPoint(3, 2), QPoint(10, 5)}) {
        const QRect rect = f.view(1)->visualRect(f.model(1)->index(cell.y(), cell.x()));
        const QPoint centre = f.view(1)->viewport()->mapTo(scroller, rect.topLeft() + QPoint(7, 7));
        QCOMPARE(screen.pixelColor(centre), QColor(0, 128, 128));
    }
}

void NavigationTest::theLayerBoxPicksByNameAndKeepsTheTerrainName() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.document().typeIntoCell(0, 2, 2, "7");
    f.clickCell(f.view(0), 2, 2);
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("River"));

    // A pick from the drop-down list.
    auto* box = f.control<QComboBox>("cmbLayerName");
    box->showPopup();
    QAbstractItemView* list = box->view();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(4, 0)).center());
    checkOneViewShown(f, 4);
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("River")); // the box leaves the name on show

    // The arrow keys in the box pick the next item.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Down);
    checkOneViewShown(f, 5);

    // Typing a layer's name picks it too.
    box->lineEdit()->clear();
    QTest::keyClicks(box->lineEdit(), "roads");
    checkOneViewShown(f, 6);
}

void NavigationTest::aTextThatNamesNoLayerChangesNothing() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.click("btnPlus");
    f.click("btnPlus");
    auto* box = f.control<QComboBox>("cmbLayerName");
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), "nonsense");
    checkOneViewShown(f, 2);
    QCOMPARE(box->currentText(), QStringLiteral("nonsense"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    checkOneViewShown(f, 2);
    QCOMPARE(box->count(), amp::LayerCount); // nothing typed becomes an item
    f.click("btnPlus");
    checkOneViewShown(f, 3);
}

void NavigationTest::aLoadKeepsTheLayerOnShowInFront() {
    WindowFixture f;
    f.open();
    for (int i = 0; i < 5; ++i) {
        f.click("btnPlus");
    }
    f.readMap(f.write("ten.amp", patternFile(TenByEight, 80)));
    QCOMPARE(f.visibleLayers(), (QList<int>{0, 5}));
    QCOMPARE(f.window->CurrentLayer(), 5);
    QCOMPARE(f.textOf("edtLevel"), QStringLiteral("5"));
    // What the user sees is layer 5: it lies in front of layer 0.
    QWidget* area = f.view(0)->parentWidget();
    QCOMPARE(area->childAt(QPoint(10, 10))->parentWidget(), static_cast<QWidget*>(f.view(5)));
    f.click("btnPlus");
    checkOneViewShown(f, 6);
}

void NavigationTest::selectingAHexNamesItsTerrain() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    const QStringList texts = {"7", "0", "18", "", "abc", "19", "-1", "3"};
    const QStringList names = {"River", "Clear", "Blackout", "Clear", "Clear", "", "", "Forest"};
    for (int column = 0; column < texts.size(); ++column) {
        f.document().typeIntoCell(0, column, 1, texts[column]);
    }
    // By mouse.
    for (int column = 0; column < texts.size(); ++column) {
        f.control<QLineEdit>("edtTerrainType")->setText("before");
        f.clickCell(f.view(0), column, 1);
        QCOMPARE(f.textOf("edtTerrainType"), names[column]);
        QCOMPARE(f.view(0)->currentIndex(), f.view(0)->model()->index(1, column)); // never refused
    }
    // By keyboard: arrows and Tab name the cell moved to.
    f.clickCell(f.view(0), 0, 0);
    QTest::keyClick(f.view(0), Qt::Key_Down);
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("River"));
    for (int column = 1; column < texts.size(); ++column) {
        QTest::keyClick(f.view(0), column % 2 ? Qt::Key_Right : Qt::Key_Tab);
        QCOMPARE(f.view(0)->currentIndex().column(), column);
        QCOMPARE(f.textOf("edtTerrainType"), names[column]);
    }
}

void NavigationTest::otherLayersLeaveTheTerrainNameAlone() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.click("btnPlus");
    f.document().typeIntoCell(1, 0, 0, "7");
    f.control<QLineEdit>("edtTerrainType")->setText("Sand");
    f.clickCell(f.view(1), 0, 0);
    QTest::keyClick(f.view(1), Qt::Key_Right);
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("Sand"));
}

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
