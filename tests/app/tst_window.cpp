// The main window: start-up, the form's controls, loading a map, "Show Lines".
#include "windowfixture.h"

#include <QDir>
#include <QScrollArea>
#include <QScrollBar>
#include <QScreen>

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsWithTheFormsControlsAndNoMap();
    void loadsTheFileNamedOnTheCommandLineAsGiven();
    void shortArgumentsLoadNothing();
    void aMissingFileOnTheCommandLineStillOpensTheWindow();
    void placesEveryRecordByTheCellRule();
    void shortLongAndEmptyMapsFillWhatTheirRecordsReach();
    void aRefusedFileChangesNothing_data();
    void aRefusedFileChangesNothing();
    void aSecondLoadStartsFromEmptyCells();
    void typingIntoACellChangesTheDocument();
    void showLinesResizesViewsAndWindow();
    void showLinesBeforeAnyMap();
    void theLargestMapScrollsInsideTheScreen();
    void cancellingTheOpenDialogChangesNothing();
};

void WindowTest::startsWithTheFormsControlsAndNoMap() {
    WindowFixture f;
    TfrmMapEd& window = f.open();
    QCOMPARE(window.windowTitle(), QStringLiteral("Veldrock          Map Edit 0.1     by Tamsk"));
    QCOMPARE(f.visibleLayers(), QList<int>{});
    QCOMPARE(f.textOf("Edit1"), QStringLiteral("Edit1"));
    QCOMPARE(f.textOf("edtFileName"), QStringLiteral("edtFileName"));
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("edtTerrainType"));
    QCOMPARE(f.textOf("edtLevel"), QStringLiteral("0"));
    QStringList metrics;
    for (const char* box : {"Edit8", "Edit9", "Edit10", "Edit11", "Edit12"}) {
        metrics << f.textOf(box);
        QVERIFY(!f.control<QLineEdit>(box)->isVisible());
    }
    QCOMPARE(metrics, (QStringList{"590", "380", "6", "15", "15"}));
    auto* layers = f.control<QComboBox>("cmbLayerName");
    QCOMPARE(layers->count(), 13);
    QCOMPARE(layers->currentText(), QStringLiteral("Terraintype"));
    QCOMPARE(layers->itemText(4), QStringLiteral("height b1"));
    QCOMPARE(f.control<QLineEdit>("Edit1")->toolTip(), QStringLiteral("Name ID 0"));
    QCOMPARE(f.control<QPushButton>("btnMinus")->toolTip(), QStringLiteral("One Maplayer down"));
    QVERIFY(f.control<QLineEdit>("Edit3")->isReadOnly());
    QVERIFY(!f.control<QLineEdit>("Edit4")->isVisible());
    QVERIFY(!f.control<QLineEdit>("Edit6")->isVisible());
    QVERIFY(!f.control<QPushButton>("Button1")->isVisible());
    QVERIFY(f.control<QPushButton>("btnSaveMap")->isVisible());
    for (int i = 0; i < amp::LayerCount; ++i) {
        QCOMPARE(f.view(i)->objectName(), QStringLiteral("grd%1").arg(i + 1));
        QCOMPARE(f.model(i)->columns(), 39);
        QCOMPARE(f.model(i)->rows(), 34);
    }
    // Stacking follows the declaration: grd1 at the back, grd8 in front.
    const QObjectList stack = f.view(0)->parentWidget()->children();
    QCOMPARE(stack.indexOf(f.view(0)), 0);
    QCOMPARE(stack.last(), static_cast<QObject*>(f.view(7)));
    QVERIFY(f.dialogs.boxes.isEmpty());
    QVERIFY(f.dialogs.plainMessages.isEmpty());
}

void WindowTest::loadsTheFileNamedOnTheCommandLineAsGiven() {
    WindowFixture f;
    const QString path = f.write("North Front.AMP", patternFile(TenByEight, 80));
    TfrmMapEd& window = f.open({"ampedit", path});
    QCOMPARE(f.textOf("edtFileName"), path); // not lower-cased: that would name another file
    QCOMPARE(window.MapColumns(), 10);
    QCOMPARE(f.visibleLayers(), QList<int>{0});
    QVERIFY(f.dialogs.boxes.isEmpty());
}

void WindowTest::shortArgumentsLoadNothing() {
    WindowFixture f;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(f.dir.path());
    f.write("a.amp", patternFile(TenByEight, 80)); // five characters
    f.write("ab.amp", patternFile(TenByEight, 80)); // six
    f.open({"ampedit", "a.amp"});
    QCOMPARE(f.window->MapColumns(), 0);
    QCOMPARE(f.visibleLayers(), QList<int>{});
    f.open({"ampedit", "ab.amp"});
    QCOMPARE(f.window->MapColumns(), 10);
    QDir::setCurrent(previous);
}

void WindowTest::aMissingFileOnTheCommandLineStillOpensTheWindow() {
    WindowFixture f;
    const QString missing = f.dir.filePath("missing.amp");
    TfrmMapEd& window = f.open({"ampedit", missing});
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].caption, QStringLiteral("AMP File Error"));
    QCOMPARE(f.dialogs.boxes[0].text, missing + "  Open unsuccessful.");
    QVERIFY(!f.dialogs.boxes[0].detail.isEmpty());
    QVERIFY(window.isVisible());
    QCOMPARE(f.visibleLayers(), QList<int>{});
    QCOMPARE(f.textOf("edtFileName"), QStringLiteral("edtFileName"));
}

void WindowTest::placesEveryRecordByTheCellRule() {
    WindowFixture f;
    const QString path = f.write("ten.amp", patternFile(TenByEight, 80));
    TfrmMapEd& window = f.open();
    f.readMap(path);
    QStringList header;
    for (const char* box : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7"}) {
        header << f.textOf(box);
    }
    QCOMPARE(header, (QStringList{"42", "0", "10", "0", "8", "0", "5"}));
    QCOMPARE(window.MapHeader(), TenByEight);
    QCOMPARE(f.textOf("edtFileName"), path);
    QCOMPARE(f.textOf("edtLayerName"), QStringLiteral("Terraintype"));
    for (int j = 0; j < amp::LayerCount; ++j) {
        QCOMPARE(f.model(j)->columns(), 10);
        QCOMPARE(f.model(j)->rows(), 8);
        QCOMPARE(f.model(j)->cellText(0, 0), QString::number(patternByte(0, j)));
        QCOMPARE(f.model(j)->cellText(1, 0), QString::number(patternByte(8, j)));
        QCOMPARE(f.model(j)->cellText(1, 1), QString::number(patternByte(9, j)));
        QCOMPARE(f.model(j)->cellText(9, 7), QString::number(patternByte(79, j)));
        // The view shows the grid by [row, column]: column 1, row 0 is index (0, 1).
        QCOMPARE(f.view(j)->model()->index(0, 1).data().toString(), QString::number(patternByte(8, j)));
    }
    QCOMPARE(f.visibleLayers(), QList<int>{0});
}

void WindowTest::shortLongAndEmptyMapsFillWhatTheirRecordsReach() {
    WindowFixture f;
    f.open();
    f.readMap(f.write("short.amp", patternFile(TenByEight, 5, 12)));
    for (int j = 0; j < amp::LayerCount; ++j) {
        QCOMPARE(f.model(j)->cellText(0, 4), QString::number(patternByte(4, j)));
        QCOMPARE(f.model(j)->cellText(0, 5), QString());
        QCOMPARE(f.model(j)->cellText(9, 7), QString());
    }

    f.readMap(f.write("long.amp", patternFile(TenByEight, 100, 5)));
    QCOMPARE(f.model(3)->columns(), 10);
    QCOMPARE(f.model(3)->cellText(9, 7), QString::number(patternByte(79, 3)));

    const amp::MapHeader noRows{{1, 2, 10, 4, 0, 6, 7}};
    f.readMap(f.write("norows.amp", patternFile(noRows, 20)));
    QCOMPARE(f.window->MapRows(), 0);
    QCOMPARE(f.model(0)->rows(), 0);
    QCOMPARE(f.view(0)->height(), 5);
    QVERIFY(f.dialogs.boxes.isEmpty());
}

void WindowTest::aRefusedFileChangesNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("textAfterName");
    QTest::newRow("4-byte file") << "four.amp" << "File Error" << "  is not a map file.";
    QTest::newRow("empty file") << "empty.amp" << "File Error" << "  is not a map file.";
    QTest::newRow("folder") << "folder.amp" << "AMP File Error" << "  Open unsuccessful.";
    QTest::newRow("missing") << "missing.amp" << "AMP File Error" << "  Open unsuccessful.";
}

void WindowTest::aRefusedFileChangesNothing() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, textAfterName);
    WindowFixture f;
    f.write("four.amp", {1, 2, 3, 4});
    f.write("empty.amp", {});
    QVERIFY(QDir(f.dir.path()).mkdir("folder.amp"));
    const QString good = f.write("ten.amp", patternFile(TenByEight, 80));
    f.open();
    f.readMap(good);
    f.model(4)->setCellText(2, 3, QStringLiteral("edited"));
    f.click("btnPlus");

    const QString refused = f.dir.filePath(name);
    f.readMap(refused);
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].caption, caption);
    QCOMPARE(f.dialogs.boxes[0].text, refused + textAfterName);
    QCOMPARE(f.textOf("edtFileName"), good);
    QCOMPARE(f.textOf("Edit3"), QStringLiteral("10"));
    QCOMPARE(f.window->MapHeader(), TenByEight);
    QCOMPARE(f.model(4)->cellText(2, 3), QStringLiteral("edited"));
    QCOMPARE(f.model(0)->cellText(9, 7), QString::number(patternByte(79, 0)));
    QCOMPARE(f.visibleLayers(), QList<int>{1});
}

void WindowTest::aSecondLoadStartsFromEmptyCells() {
    WindowFixture f;
    f.open();
    f.readMap(f.write("full.amp", patternFile(TenByEight, 80)));
    f.model(2)->setCellText(9, 7, QStringLiteral("abc"));
    f.readMap(f.write("short.amp", patternFile(TenByEight, 5)));
    for (int j = 0; j < amp::LayerCount; ++j) {
        QCOMPARE(f.model(j)->cellText(0, 4), QString::number(patternByte(4, j)));
        QCOMPARE(f.model(j)->cellText(1, 0), QString());
        QCOMPARE(f.model(j)->cellText(9, 7), QString());
    }
}

void WindowTest::typingIntoACellChangesTheDocument() {
    WindowFixture f;
    f.open();
    f.readMap(f.write("ten.amp", patternFile(TenByEight, 80)));
    f.typeIntoCell(f.view(0), 3, 2, "007");
    QCOMPARE(f.model(0)->cellText(3, 2), QStringLiteral("007")); // kept exactly as typed
    QCOMPARE(f.model(0)->cellValue(3, 2), 7);
    f.typeIntoCell(f.view(0), 0, 0, "Forest ");
    QCOMPARE(f.model(0)->cellText(0, 0), QStringLiteral("Forest "));
    QCOMPARE(f.model(0)->cellText(3, 2), QStringLiteral("007"));
}

void WindowTest::showLinesResizesViewsAndWindow() {
    WindowFixture f;
    f.open();
    f.readMap(f.write("ten.amp", patternFile(TenByEight, 80)));
    const auto sizes = [&] {
        QStringList all;
        for (const char* box : {"Edit8", "Edit9", "Edit10", "Edit11", "Edit12"}) {
            all << f.textOf(box);
        }
        return all;
    };
    for (int j = 0; j < amp::LayerCount; ++j) {
        QCOMPARE(f.view(j)->size(), QSize(185, 133));
        QCOMPARE(f.view(j)->defaultColumnWidth(), 18);
        QCOMPARE(f.view(j)->defaultRowHeight(), 16);
        QVERIFY(!f.view(j)->linesShown());
    }
    QCOMPARE(sizes(), (QStringList{"185", "133", "6", "18", "16"}));
    // The formula gives 178, which would cut "Write Map" off.
    QCOMPARE(f.window->height(), f.window->minimumClientHeight());
    QVERIFY(f.control<QPushButton>("btnSaveMap")->geometry().bottom() < f.window->height());

    f.control<QCheckBox>("chkLines")->click();
    for (int j = 0; j < amp::LayerCount; ++j) {
        QCOMPARE(f.view(j)->size(), QSize(195, 141));
        QVERIFY(f.view(j)->linesShown());
        QVERIFY(f.view(j)->showGrid());
        // The cells keep 18 x 16 pixels; the line adds one to each.
        QCOMPARE(f.view(j)->visualRect(f.view(j)->model()->index(0, 0)).size(), QSize(18, 16));
    }
    QCOMPARE(sizes(), (QStringList{"195", "141", "6", "18", "16"}));

    // A map tall enough for the Part's formula to govern: 40 rows, 40 * 16 + 50.
    const amp::MapHeader tall{{0, 0, 3, 0, 40, 0, 0}};
    f.control<QCheckBox>("chkLines")->click();
    f.readMap(f.write("tall.amp", patternFile(tall, 120)));
    const int wanted = 40 * 16 + 5 + 45;
    const int screenHeight = f.window->screen()->availableGeometry().height();
    QCOMPARE(f.window->height(), std::min(wanted, screenHeight));
}

void WindowTest::showLinesBeforeAnyMap() {
    WindowFixture f;
    f.open();
    f.control<QCheckBox>("chkLines")->click();
    for (int j = 0; j < amp::LayerCount; ++j) {
        QCOMPARE(f.model(j)->columns(), 0);
        QCOMPARE(f.model(j)->rows(), 0);
        QCOMPARE(f.view(j)->size(), QSize(5, 5));
    }
    f.control<QCheckBox>("chkLines")->click();
    QCOMPARE(f.view(0)->size(), QSize(5, 5));
    QCOMPARE(f.window->height(), f.window->minimumClientHeight());
    QCOMPARE(f.visibleLayers(), QList<int>{});
}

void WindowTest::theLargestMapScrollsInsideTheScreen() {
    WindowFixture f;
    f.open();
    const amp::MapHeader largest{{0, 0, 255, 0, 255, 0, 0}};
    f.readMap(f.write("largest.amp", patternFile(largest, amp::MaxHexCount)));
    QCOMPARE(f.view(0)->size(), QSize(255 * 18 + 5, 255 * 16 + 5));
    QVERIFY(f.window->height() <= f.window->screen()->availableGeometry().height());
    auto* scroller = f.control<QScrollArea>("mapScroller");
    QVERIFY(scroller->verticalScrollBar()->maximum() > 0);
    QVERIFY(scroller->horizontalScrollBar()->maximum() > 0);
    QCOMPARE(f.model(12)->cellText(254, 254), QString::number(patternByte(amp::MaxHexCount - 1, 12)));
}

void WindowTest::cancellingTheOpenDialogChangesNothing() {
    WindowFixture f;
    f.open();
    f.click("btnOpenMap"); // no answer scripted: the user cancels
    QCOMPARE(f.dialogs.openRequests.size(), 1);
    const FileDialogRequest& request = f.dialogs.openRequests[0];
    QCOMPARE(request.title, QStringLiteral("Open Veldrock Map file"));
    QCOMPARE(request.filter, QStringLiteral("Map files (*.amp)"));
    QCOMPARE(request.defaultSuffix, QStringLiteral("amp"));
    QCOMPARE(f.textOf("edtFileName"), QStringLiteral("edtFileName"));
    QCOMPARE(f.visibleLayers(), QList<int>{});
    QVERIFY(f.dialogs.boxes.isEmpty());
    QCOMPARE(withDefaultSuffix("north", "amp"), QStringLiteral("north.amp"));
    QCOMPARE(withDefaultSuffix("north.amp", "amp"), QStringLiteral("north.amp"));
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
