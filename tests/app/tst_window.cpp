// SPDX-License-Identifier: MIT
// The main window: start-up, the form's controls, loading a map, "Show Lines".
#include "windowfixture.h"

#include <QDir>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include <sys/stat.h>

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsWithTheFormsControlsAndNoMap();
    void theFirstArgumentLongerThanFiveCharactersIsLoadedAsGiven_data();
    void theFirstArgumentLongerThanFiveCharactersIsLoadedAsGiven();
    void placesEveryRecordByTheCellRule();
    void shortLongAndEmptyMapsFillWhatTheirRecordsReach();
    void aRefusedFileChangesNothing_data();
    void aRefusedFileChangesNothing();
    void typingIntoACellChangesTheDocument();
    void showLinesResizesViewsAndWindow();
    void showLinesBeforeAnyMap();
    void theLargestMapScrollsInsideTheScreen();
    void cancellingTheOpenDialogChangesNothing();
};

void WindowTest::startsWithTheFormsControlsAndNoMap() {
    WindowFixture f;
    TfrmMapEd& window = f.open();
    QCOMPARE(f.main->windowTitle(), QStringLiteral("Veldrock          Map Edit 0.1     by Tamsk[*]"));
    QVERIFY(!f.main->isWindowModified());
    QCOMPARE(window.MapColumns(), 0);
    QCOMPARE(f.visibleLayers(), QList<int>{});
    QCOMPARE(f.metricBoxes(), (QStringList{"590", "380", "6", "15", "15"}));
    QVERIFY(!f.control<QLineEdit>("Edit8")->isVisible());
    auto* layers = f.control<QComboBox>("cmbLayerName");
    QCOMPARE(layers->count(), 13);
    QCOMPARE(layers->currentText(), QStringLiteral("Terraintype"));
    for (int i = 0; i < amp::LayerCount; ++i) {
        QCOMPARE(f.model(i)->columns(), 39);
        QCOMPARE(f.model(i)->rows(), 34);
    }
    // With no map on show there is nothing to scroll.
    QVERIFY(!f.control<QScrollArea>("mapScroller")->verticalScrollBar()->isVisible());
    QVERIFY(f.dialogs.boxes.isEmpty());
    QVERIFY(f.dialogs.plainMessages.isEmpty());
}

void WindowTest::theFirstArgumentLongerThanFiveCharactersIsLoadedAsGiven_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("box");
    QTest::newRow("none") << QString() << 0 << QString();
    QTest::newRow("five characters") << "a.amp" << 0 << QString();
    QTest::newRow("six characters") << "ab.amp" << 10 << QString();
    QTest::newRow("capital letters, spaces") << "North Front.AMP" << 10 << QString();
    QTest::newRow("missing") << "missing.amp" << 0 << "AMP File Error";
}

void WindowTest::theFirstArgumentLongerThanFiveCharactersIsLoadedAsGiven() {
    QFETCH(QString, argument);
    QFETCH(int, columns);
    QFETCH(QString, box);
    WindowFixture f;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(f.dir.path());
    for (const char* name : {"a.amp", "ab.amp", "North Front.AMP"}) {
        f.write(name, patternFile(TenByEight, 80));
    }
    TfrmMapEd& window = f.open(argument.isNull() ? QStringList{"ampedit"} : QStringList{"ampedit", argument});
    QDir::setCurrent(previous);
    QVERIFY(window.isVisible());
    QCOMPARE(window.MapColumns(), columns);
    QCOMPARE(f.visibleLayers(), columns ? QList<int>{0} : QList<int>{});
    if (columns) {
        // Lower-cased on Windows only: elsewhere that would name another file.
        QCOMPARE(f.textOf("edtFileName"), asArgument(argument));
    }
    QCOMPARE(f.dialogs.boxes.size(), box.isEmpty() ? 0 : 1);
    if (!box.isEmpty()) {
        QCOMPARE(f.dialogs.boxes[0].caption, box);
        QCOMPARE(f.dialogs.boxes[0].text, asArgument(argument) + "  Open unsuccessful.");
    }
}

void WindowTest::placesEveryRecordByTheCellRule() {
    WindowFixture f;
    const QString path = f.write("ten.amp", patternFile(TenByEight, 80));
    TfrmMapEd& window = f.open();
    f.readMap(path);
    QCOMPARE(f.textsOf({"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7"}),
             (QStringList{"42", "0", "10", "0", "8", "0", "5"}));
    QCOMPARE(window.MapHeader(), TenByEight);
    QCOMPARE(f.textOf("edtFileName"), shown(path));
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
    // Over a full, edited map: a second load starts from empty cells, so nothing of
    // the first map survives into the second.
    f.readMap(f.write("full.amp", patternFile(TenByEight, 80)));
    f.document().typeIntoCell(2, 9, 7, QStringLiteral("abc"));
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
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
    // The two ways a read is refused; the kinds of file behind each are the
    // file code's own tests.
    QTest::newRow("6-byte file") << "six.amp"
                                 << "File Error"
                                 << "  is not a map file.";
    QTest::newRow("folder") << "folder.amp"
                            << "AMP File Error"
                            << "  Open unsuccessful.";
}

void WindowTest::aRefusedFileChangesNothing() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, textAfterName);
    WindowFixture f;
    f.write("six.amp", {1, 2, 3, 4, 5, 6});
    QVERIFY(QDir(f.dir.path()).mkdir("folder.amp"));
    const QString good = f.write("ten.amp", patternFile(TenByEight, 80));
    f.open();
    f.readMap(good);
    f.document().typeIntoCell(4, 2, 3, QStringLiteral("edited"));
    f.click("btnPlus");

    const QString refused = f.dir.filePath(name);
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard}; // what the read would replace
    f.readMap(refused);
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].caption, caption);
    QCOMPARE(f.dialogs.boxes[0].text, shown(refused) + textAfterName);
    QVERIFY(!f.dialogs.boxes[0].detail.isEmpty()); // why, in the system's words
    QCOMPARE(f.textOf("edtFileName"), shown(good));
    QCOMPARE(f.textOf("Edit3"), QStringLiteral("10"));
    QCOMPARE(f.window->MapHeader(), TenByEight);
    QCOMPARE(f.model(4)->cellText(2, 3), QStringLiteral("edited"));
    QCOMPARE(f.model(0)->cellText(9, 7), QString::number(patternByte(79, 0)));
    QCOMPARE(f.visibleLayers(), QList<int>{1});
}

void WindowTest::typingIntoACellChangesTheDocument() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.typeIntoCell(f.view(0), 3, 2, "007");
    QCOMPARE(f.model(0)->cellText(3, 2), QStringLiteral("007")); // kept exactly as typed
    QCOMPARE(f.model(0)->cellValue(3, 2), 7);
    f.typeIntoCell(f.view(0), 0, 0, "Forest ");
    QCOMPARE(f.model(0)->cellText(0, 0), QStringLiteral("Forest "));
    QCOMPARE(f.model(0)->cellText(3, 2), QStringLiteral("007"));
}

void WindowTest::showLinesResizesViewsAndWindow() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    for (int j = 0; j < amp::LayerCount; ++j) {
        QCOMPARE(f.view(j)->size(), QSize(185, 133));
        QCOMPARE(f.view(j)->defaultColumnWidth(), 18);
        QCOMPARE(f.view(j)->defaultRowHeight(), 16);
        QVERIFY(!f.view(j)->linesShown());
    }
    QCOMPARE(f.metricBoxes(), (QStringList{"185", "133", "6", "18", "16"}));
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
    QCOMPARE(f.metricBoxes(), (QStringList{"195", "141", "6", "18", "16"}));

    // A map tall enough for the views' own height to govern: 40 rows, 40 * 16 + 50.
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
    f.dialogs.openAnswers = {QString()}; // the user cancels
    f.click("btnOpenMap");
    QCOMPARE(f.dialogs.openRequests.size(), 1);
    const FileDialogRequest& request = f.dialogs.openRequests[0];
    QCOMPARE(request.title, QStringLiteral("Open Veldrock Map file"));
    QCOMPARE(request.filter, QStringLiteral("Map files (*.amp)"));
    QCOMPARE(request.defaultSuffix, QStringLiteral("amp"));
    QCOMPARE(f.visibleLayers(), QList<int>{});
    QCOMPARE(withDefaultSuffix("north", "amp"), QStringLiteral("north.amp"));
    QCOMPARE(withDefaultSuffix("north.amp", "amp"), QStringLiteral("north.amp"));
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
