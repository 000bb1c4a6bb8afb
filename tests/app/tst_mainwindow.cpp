// SPDX-License-Identifier: MIT
// The main window through the keyboard: typing, undo and redo, writes and the
// clean state, the question before unwritten changes are lost, Delete, Enter and
// Tab, the layer shortcuts and the status line.
#include "bulkedits.h"
#include "dialogforms.h"
#include "filesizelimit.h"
#include "hexmapview.h"
#include "mappanel.h"
#include "windowfixture.h"

#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QHash>
#include <QLabel>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QUndoStack>
#include <QUndoView>

#include <functional>

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void typingUndoAndRedoByKeys();
    void writesMarkTheMapCleanAndFailuresDoNot();
    void writeMapWritesToTheCurrentFileOrAsks();
    void unwrittenChangesAskSaveDiscardOrCancel_data();
    void unwrittenChangesAskSaveDiscardOrCancel();
    void deleteClearsTheSelectionInOneStep();
    void enterAndTabMoveTheCurrentCell();
    void layerShortcutsWorkWhereverTheFocusIs();
    void theStatusLineNamesTheSelectedHex();
    void aReadMapSelectsNothingByItself();
    void newMapTakesTheHeaderOfTheMapOnShow();
    void helpListsEveryShortcut();
    void helpOpensTheSampleMap();
    void theWindowOpensOnTheDesktop();
    void selectAllInAViewAndInThePicture();
    void headerBytesChangeAsOneStep();
    void eachMenuHasEachMnemonicOnce();

private:
    static QString tenByEight(WindowFixture& f) { return f.write("ten.amp", patternFile(TenByEight, 80)); }
    static QAction* action(WindowFixture& f, const QString& text) {
        for (QAction* found : f.main->findChildren<QAction*>()) {
            if (found->text().remove('&').startsWith(text)) {
                return found;
            }
        }
        qFatal("no action %s", qPrintable(text));
    }
};

void MainWindowTest::typingUndoAndRedoByKeys() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.typeIntoCell(f.view(0), 3, 2, "42");
    QCOMPARE(f.model(0)->cellText(3, 2), QStringLiteral("42"));
    QVERIFY(f.main->isWindowModified());
    QCOMPARE(action(f, "Undo Typing")->text(), QStringLiteral("Undo Typing in hex 3,2"));

    f.press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(f.model(0)->cellText(3, 2), QString::number(patternByte(3 * 8 + 2, 0)));
    QVERIFY(!f.main->isWindowModified());
    f.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    QCOMPARE(f.model(0)->cellText(3, 2), QStringLiteral("42"));
    f.press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    f.press(QKeySequence(Qt::CTRL | Qt::Key_Y));
    QCOMPARE(f.model(0)->cellText(3, 2), QStringLiteral("42"));
    QCOMPARE(f.document().undoStack()->count(), 1);
    // Typing the text a cell already holds is no step.
    f.typeIntoCell(f.view(0), 3, 2, "42");
    QCOMPARE(f.document().undoStack()->count(), 1);
}

void MainWindowTest::writesMarkTheMapCleanAndFailuresDoNot() {
#ifdef _WIN32
    QSKIP("Windows has no per-process limit on a file's size (RLIMIT_FSIZE) to make a write fail as on a "
          "full disk");
#else
    WindowFixture f;
    f.open();
    const QString path = tenByEight(f);
    f.readMap(path);
    f.typeIntoCell(f.view(0), 1, 1, "9");
    {
        const FileSizeLimit diskFull(100); // the map's 1,047 bytes do not fit
        f.press(QKeySequence::Save);
    }
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].caption, QStringLiteral("File Error"));
    QVERIFY(f.dialogs.boxes[0].text.startsWith("Write unsuccessful."));
    QVERIFY2(f.dialogs.boxes[0].detail.contains("too large"), qPrintable(f.dialogs.boxes[0].detail));
    QVERIFY(f.read(path) == patternFile(TenByEight, 80));
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"ten.amp"});
    QCOMPARE(f.model(0)->cellText(1, 1), QStringLiteral("9"));
    QVERIFY(f.main->isWindowModified());
    f.press(QKeySequence::Save);
    QVERIFY(!f.main->isWindowModified());
    QCOMPARE(int(f.read(path)[7 + 13 * 9]), 9);
    // Undo after the write is a change again, to be written.
    f.press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QVERIFY(f.main->isWindowModified());
#endif
}

void MainWindowTest::writeMapWritesToTheCurrentFileOrAsks() {
    WindowFixture f;
    f.open();
    // No file yet: Write Map asks for a name, as Write Map As does.
    const QString first = f.dir.filePath("first.amp");
    f.dialogs.saveAnswers = {first};
    f.press(QKeySequence::Save);
    QCOMPARE(f.dialogs.saveRequests.size(), 1);
    QVERIFY(f.read(first) == std::vector<std::uint8_t>(7, 0));

    const QString path = tenByEight(f);
    f.readMap(path);
    f.typeIntoCell(f.view(0), 0, 0, "77");
    f.press(QKeySequence::Save);
    QCOMPARE(f.dialogs.saveRequests.size(), 1); // no dialog
    QCOMPARE(int(f.read(path)[7]), 77);
    QCOMPARE(f.main->statusBar()->findChildren<QLabel*>().last()->text(), QStringLiteral("ten.amp"));

    // Write Map As proposes the current file and names a new one.
    const QString other = f.dir.filePath("other.amp");
    f.dialogs.saveAnswers = {other};
    f.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    QCOMPARE(f.dialogs.saveRequests.last().directory, path);
    f.typeIntoCell(f.view(0), 0, 0, "78");
    f.press(QKeySequence::Save);
    QCOMPARE(int(f.read(other)[7]), 78);
    QCOMPARE(int(f.read(path)[7]), 77);
}

void MainWindowTest::unwrittenChangesAskSaveDiscardOrCancel_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("viaClose");
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<int>("written");
    const auto save = int(UnwrittenChoice::Save), discard = int(UnwrittenChoice::Discard),
               cancel = int(UnwrittenChoice::Cancel);
    QTest::newRow("close, save") << save << true << true << 61;
    QTest::newRow("close, discard") << discard << true << true << -1;
    QTest::newRow("close, cancel") << cancel << true << false << -1;
    QTest::newRow("read map, save") << save << false << true << 61;
    QTest::newRow("read map, discard") << discard << false << true << -1;
    QTest::newRow("read map, cancel") << cancel << false << false << -1;
}

void MainWindowTest::unwrittenChangesAskSaveDiscardOrCancel() {
    QFETCH(int, choice);
    QFETCH(bool, viaClose);
    QFETCH(bool, goesOn);
    QFETCH(int, written);
    WindowFixture f;
    f.open();
    const QString path = tenByEight(f);
    const int before = f.read(path)[7 + 13 * 2 + 0 + 13 * 8 * 2];
    f.readMap(path);
    // Typed and still in the editor: it counts before the question.
    f.typeIntoCell(f.view(0), 2, 2, "61", false);
    f.dialogs.unwrittenAnswers = {UnwrittenChoice(choice)};
    if (viaClose) {
        QCOMPARE(f.main->close(), goesOn);
    } else {
        f.dialogs.openAnswers = {path};
        f.press(QKeySequence::Open);
        QCOMPARE(f.dialogs.openRequests.size(), goesOn ? 2 : 1);
    }
    QCOMPARE(f.dialogs.unwrittenQuestions, 1);
    QCOMPARE(int(f.read(path)[amp::recordOffset(amp::recordOfCell(2, 2, 8))]),
             written < 0 ? before : written);
    if (!goesOn) {
        QCOMPARE(f.model(0)->cellText(2, 2), QStringLiteral("61"));
        QVERIFY(f.main->isWindowModified());
    } else if (!viaClose) {
        // The map read again is clean: closing now asks nothing.
        QVERIFY(!f.main->isWindowModified());
        QVERIFY(f.main->close());
        QCOMPARE(f.dialogs.unwrittenQuestions, 1);
    }
}

void MainWindowTest::deleteClearsTheSelectionInOneStep() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    LayerView* view = f.view(0);
    f.clickCell(view, 1, 1);
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier); // columns 1-2, rows 1-2
    QTest::keyClick(view, Qt::Key_Delete);
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            const bool inside = column >= 1 && column <= 2 && row >= 1 && row <= 2;
            QCOMPARE(f.model(0)->cellText(column, row),
                     inside ? QStringLiteral("0") : QString::number(patternByte(column * 8 + row, 0)));
        }
    }
    QCOMPARE(f.document().undoStack()->count(), 1);
    QCOMPARE(f.document().undoStack()->undoText(), QStringLiteral("Delete 4 hexes"));
    f.press(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(f.model(0)->cellText(2, 2), QString::number(patternByte(2 * 8 + 2, 0)));
    // Backspace on one cell.
    f.clickCell(view, 5, 5);
    QTest::keyClick(view, Qt::Key_Backspace);
    QCOMPARE(f.model(0)->cellText(5, 5), QStringLiteral("0"));
    QCOMPARE(f.document().undoStack()->undoText(), QStringLiteral("Delete in hex 5,5"));
}

void MainWindowTest::enterAndTabMoveTheCurrentCell() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    LayerView* view = f.view(0);
    const auto current = [view] { return QPoint(view->currentIndex().column(), view->currentIndex().row()); };
    f.typeIntoCell(view, 4, 4, "1"); // ends with Enter
    QCOMPARE(current(), QPoint(4, 5));
    const auto typeThen = [&](const QString& text, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClicks(view, text);
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };
    typeThen("2", Qt::Key_Tab);
    QCOMPARE(current(), QPoint(5, 5));
    typeThen("3", Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(current(), QPoint(5, 4));
    typeThen("4", Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(current(), QPoint(4, 4));
    QCOMPARE(f.model(0)->cellText(4, 5), QStringLiteral("2"));
    QCOMPARE(f.model(0)->cellText(5, 5), QStringLiteral("3"));
    QCOMPARE(f.model(0)->cellText(5, 4), QStringLiteral("4"));
    // Esc drops what was typed; Enter without an edit moves down; the edge stops it.
    typeThen("9", Qt::Key_Escape);
    QCOMPARE(f.model(0)->cellText(4, 4), QStringLiteral("1"));
    QCOMPARE(current(), QPoint(4, 4));
    f.clickCell(view, 9, 7);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(current(), QPoint(9, 7));
    QTest::keyClick(view, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(current(), QPoint(9, 6));
    QCOMPARE(f.document().undoStack()->count(), 4);
    // F2 keeps the text and puts the caret after it.
    f.clickCell(view, 4, 4);
    QTest::keyClick(view, Qt::Key_F2);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(f.model(0)->cellText(4, 4), QStringLiteral("17"));
}

void MainWindowTest::layerShortcutsWorkWhereverTheFocusIs() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.clickCell(f.view(0), 0, 0);
    f.press(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    QCOMPARE(f.visibleLayers(), QList<int>{1});
    QCOMPARE(f.textOf("edtLevel"), QStringLiteral("1"));
    f.control<QComboBox>("cmbLayerName")->setFocus();
    f.press(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    f.press(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    QCOMPARE(f.visibleLayers(), QList<int>{12});
    QCOMPARE(f.control<QComboBox>("cmbLayerName")->currentText(), QStringLiteral("Text ID b4"));
    // Show Lines in the menu and the box are one setting.
    action(f, "Show Lines")->trigger();
    QVERIFY(f.control<QCheckBox>("chkLines")->isChecked());
    f.control<QCheckBox>("chkLines")->click();
    QVERIFY(!action(f, "Show Lines")->isChecked());
}

void MainWindowTest::theStatusLineNamesTheSelectedHex() {
    WindowFixture f;
    f.open();
    amp::MapImage map = amp::decodeMap(patternFile(TenByEight, 80)).value();
    map.records[amp::recordOfCell(6, 3, 8)] = {3, 0, 0, 0, 41, 0, 2, 0, 0, 0, 0, 0, 255};
    f.readMap(f.write("forest.amp", amp::encodeMap(map)));
    f.clickCell(f.view(0), 6, 3);
    QCOMPARE(f.main->hexStatus(), QString::fromUtf8("hex 6,3 · Forest · 3 0 0 0 41 0 2 0 0 0 0 0 255"));
    // It follows edits of that hex, on any layer, names a terrain value without a
    // name as such, and tells the byte a typed value will be written as.
    f.document().typeIntoCell(0, 6, 3, QStringLiteral("19"));
    QCOMPARE(f.main->hexStatus(),
             QString::fromUtf8("hex 6,3 · unknown terrain 19 · 19 0 0 0 41 0 2 0 0 0 0 0 255"));
    f.document().typeIntoCell(0, 6, 3, QStringLiteral("300"));
    QVERIFY2(f.main->hexStatus().endsWith(QString::fromUtf8(" 255 · 300 → writes 44")),
             qPrintable(f.main->hexStatus()));
    // A name is no number: it counts as 0, and the line says so.
    f.document().typeIntoCell(0, 6, 3, QStringLiteral("Forest"));
    QVERIFY2(f.main->hexStatus().endsWith(QString::fromUtf8(" 255 · \"Forest\" is not a number → writes 0")),
             qPrintable(f.main->hexStatus()));

    // A selection's size; Esc lets it go and keeps the current cell.
    QVERIFY(f.main->selectionStatus().isEmpty()); // one hex clicked
    f.main->bulkEdits().selectRectangle(1, 2, 3, 3);
    QCOMPARE(f.main->selectionStatus(), QString::fromUtf8("3 × 2 hexes selected"));
    f.view(0)->setFocus();
    QTest::keyClick(f.view(0), Qt::Key_Escape);
    QVERIFY(f.document().selection().isEmpty());
    QVERIFY(f.main->selectionStatus().isEmpty());
    QVERIFY(f.view(0)->currentIndex().isValid());

    // Go to Hex takes "column,row" or "column row", and refuses a hex off the map.
    f.dialogs.texts = {QStringLiteral(" 4 2 "), QStringLiteral("10,2"), QStringLiteral("4;2")};
    for (int i = 0; i < 3; ++i) {
        f.press(QKeySequence(Qt::CTRL | Qt::Key_G));
    }
    QCOMPARE(f.view(0)->currentIndex(), f.model(0)->index(2, 4));
    QCOMPARE(f.dialogs.boxes.size(), 2);
    QVERIFY2(f.dialogs.boxes[0].text.contains("no hex 10,2: the map has 10 columns and 8 rows"),
             qPrintable(f.dialogs.boxes[0].text));
    QVERIFY(f.dialogs.boxes[1].text.contains("\"4;2\" names no hex"));

    // The undo history goes back to a step clicked in it.
    QUndoStack* stack = f.document().undoStack();
    action(f, "Undo History")->trigger();
    auto* history = f.main->findChild<QUndoView*>();
    QVERIFY(history && history->isVisible());
    QCOMPARE(history->model()->rowCount(), stack->count() + 1);
    history->setCurrentIndex(history->model()->index(0, 0));
    QCOMPARE(stack->index(), 0);
    QCOMPARE(f.model(0)->cellText(6, 3), QStringLiteral("3"));
}

void MainWindowTest::aReadMapSelectsNothingByItself() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.view(0)->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    QCOMPARE(f.view(0)->currentIndex(), f.model(0)->index(0, 0));
    QCOMPARE(f.textOf("edtTerrainType"), QStringLiteral("edtTerrainType"));
    QVERIFY(f.main->hexStatus().isEmpty());
    // Switching layers from the keyboard in a view moves no cell (a view losing
    // the focus to being hidden would step to its next cell as Tab does), and the
    // view of a layer first shown after the read selects nothing either.
    f.press(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    f.press(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    QCOMPARE(QApplication::focusWidget(), f.view(2));
    QCOMPARE(f.view(0)->currentIndex(), f.model(0)->index(0, 0));
    QCOMPARE(f.view(2)->currentIndex(), f.model(2)->index(0, 0));
    QVERIFY(f.main->hexStatus().isEmpty());
    f.press(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    f.press(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    // The layer box completes nothing: a part of a name names no layer.
    auto* box = f.control<QComboBox>("cmbLayerName");
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), "Text ID b");
    QCOMPARE(box->lineEdit()->text(), QStringLiteral("Text ID b"));
    QCOMPARE(f.visibleLayers(), QList<int>{0});
    QTest::keyClicks(QApplication::focusWidget(), "2");
    QCOMPARE(f.visibleLayers(), QList<int>{10});
}

void MainWindowTest::newMapTakesTheHeaderOfTheMapOnShow() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.typeIntoCell(f.view(0), 0, 0, "5");
    f.dialogs.mapSizes = {QSize(3, 2)};
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
    f.press(QKeySequence::New);
    QCOMPARE(f.dialogs.unwrittenQuestions, 1);
    QCOMPARE(f.textsOf({"Edit1", "Edit3", "Edit5", "Edit7"}), (QStringList{"42", "3", "2", "5"}));
    QCOMPARE(f.model(12)->cellText(2, 1), QStringLiteral("0"));
    QVERIFY(f.main->isWindowModified()); // unwritten until written
    // A new map has no file yet: Write Map asks for one.
    const QString path = f.dir.filePath("new.amp");
    f.dialogs.saveAnswers = {path};
    f.press(QKeySequence::Save);
    std::vector<std::uint8_t> expected = {0x2A, 0, 3, 0, 2, 0, 5};
    expected.resize(7 + 13 * 6, 0);
    QVERIFY(f.read(path) == expected);
    // Map > Resize gives the header boxes and the views the new size.
    f.dialogs.resizeAnswers = {FakeDialogs::ResizeAnswer{5, 4, 0}};
    action(f, "Resize")->trigger();
    QCOMPARE(f.textsOf({"Edit3", "Edit5"}), (QStringList{"5", "4"}));
    QCOMPARE(f.model(0)->columnCount(), 5);
    // Rows typed as 0: a map of no hexes, written as its header alone.
    f.dialogs.mapSizes = {QSize(4, 0)};
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard}; // the resize
    f.press(QKeySequence::New);
    const QString none = f.dir.filePath("none.amp");
    f.dialogs.saveAnswers = {none};
    f.press(QKeySequence::Save);
    QVERIFY(f.read(none) == (std::vector<std::uint8_t>{0x2A, 0, 4, 0, 0, 0, 5}));
}

// The sample map shipped beside the program opens from the Help menu, as a
// map read from the disk: 10 x 10 hexes, its terrain on show.
void MainWindowTest::helpOpensTheSampleMap() {
    WindowFixture f;
    f.open();
    action(f, "Open Sample Map")->trigger();
    QCOMPARE(QFileInfo(f.document().fileName()).fileName(), QStringLiteral("demo.amp"));
    QFile sample(f.document().fileName());
    QVERIFY(sample.open(QIODevice::ReadOnly));
    const QByteArray bytes = sample.readAll();
    QVERIFY(bytes.size() >= 7);
    const int columns = static_cast<unsigned char>(bytes[2]) | static_cast<unsigned char>(bytes[3]) << 8;
    const int rows = static_cast<unsigned char>(bytes[4]) | static_cast<unsigned char>(bytes[5]) << 8;
    QCOMPARE(f.model(0)->columnCount() * f.model(0)->rowCount(), columns * rows);
    QCOMPARE(f.model(0)->cellText(0, 0), QString::number(static_cast<unsigned char>(bytes[7])));
    QVERIFY(!f.main->isWindowModified());
    // Edited, it is written where the user says, never over the shipped file.
    f.document().typeIntoCell(0, 0, 0, QStringLiteral("7"));
    const QString mine = f.dir.filePath(QStringLiteral("mine.amp"));
    f.dialogs.saveAnswers << mine;
    f.press(QKeySequence::Save);
    QCOMPARE(f.dialogs.saveRequests.size(), 1);
    QCOMPARE(f.read(mine).at(7), std::uint8_t{7});
    QVERIFY(sample.seek(0));
    QCOMPARE(sample.readAll(), bytes);
}

void MainWindowTest::helpListsEveryShortcut() {
    WindowFixture f;
    f.open();
    f.press(QKeySequence::HelpContents);
    QCOMPARE(f.dialogs.shortcutTables.size(), 1);
    const QList<ShortcutRow>& rows = f.dialogs.shortcutTables[0];
    // Every key of every action the window has is in the list, beside its action.
    int listed = 0;
    for (const QAction* action : f.main->findChildren<QAction*>()) {
        for (const QKeySequence& key : action->shortcuts()) {
            const QString text = key.toString(QKeySequence::NativeText);
            const int code = key[0].key();
            QVERIFY2(code < Qt::Key_F13 || code > Qt::Key_F35, qPrintable(text)); // no Sun keyboard's keys
            QVERIFY2(std::any_of(rows.begin(), rows.end(),
                                 [&](const ShortcutRow& row) { return row.keys.split(", ").contains(text); }),
                     qPrintable(action->text() + ": " + text));
            ++listed;
        }
    }
    QVERIFY(listed >= 25);
    for (const char* name : {"Fill Selection", "Select Same Value", "Export Picture", "Show Lines", "Undo",
                             "Go to Hex", "Paint Shape: Line"}) {
        QVERIFY2(
            std::any_of(rows.begin(), rows.end(), [&](const ShortcutRow& row) { return row.action == name; }),
            name);
    }
    // Each row names where its command is, submenus too, menu by menu in the
    // order of the menu bar; the picture's own keys come after every menu.
    const auto where = [&rows](const QString& action) {
        const auto row =
            std::find_if(rows.begin(), rows.end(), [&](const ShortcutRow& r) { return r.action == action; });
        return row == rows.end() ? QString() : row->menu;
    };
    QCOMPARE(where(QStringLiteral("Stamp 1")), QStringLiteral("Edit > Recent Stamps"));
    QCOMPARE(where(QStringLiteral("Check Map")), QStringLiteral("Tools"));
    QCOMPARE(where(QStringLiteral("Paint Shape: Line")), QStringLiteral("In the picture"));
    QStringList menus;
    for (const ShortcutRow& row : rows) {
        const QString top = row.menu.section(QStringLiteral(" > "), 0, 0);
        if (menus.isEmpty() || menus.constLast() != top) {
            menus << top;
        }
    }
    QCOMPARE(menus.mid(0, 7),
             QStringList({"File", "Edit", "View", "Symmetry", "Tools", "Help", "In the picture"}));
    // The table keeps the rows that hold what is searched for.
    dialogforms::ShortcutsForm table(nullptr, rows);
    table.searchBox()->setText(QStringLiteral("ctrl+h"));
    QCOMPARE(table.shownRows(), 1);
    table.searchBox()->setText(QStringLiteral("symm")); // the menu's name finds its actions
    QVERIFY(table.shownRows() >= 3);
    // Any word of an action's text, or its key, finds it; every word counts.
    const auto onlyRow = [&table, &rows] {
        QStringList shown;
        for (int i = 0; i < rows.size(); ++i) {
            if (!table.findChild<QTableWidget*>()->isRowHidden(i)) {
                shown << rows[i].action;
            }
        }
        return shown;
    };
    table.searchBox()->setText(QStringLiteral("eye"));
    QCOMPARE(onlyRow().size(), 1);
    QVERIFY2(onlyRow().constFirst().contains(QStringLiteral("value under the cursor")),
             qPrintable(onlyRow().join('|')));
    table.searchBox()->setText(QStringLiteral("shape LINE"));
    QCOMPARE(onlyRow(), QStringList{QStringLiteral("Paint Shape: Line")});
    table.searchBox()->setText(QStringLiteral("F4"));
    QCOMPARE(onlyRow(), QStringList{QStringLiteral("Layers")});
    table.searchBox()->setText(QStringLiteral("layer zebra"));
    QCOMPARE(table.shownRows(), 0);
    action(f, "About")->trigger();
    QVERIFY(f.dialogs.plainMessages.last().startsWith("ampedit "));
}

void MainWindowTest::theWindowOpensOnTheDesktop() {
    // The largest map asks for more height than any desktop has, and the form and
    // the picture for more width than this one (800 x 800) has.
    WindowFixture f;
    std::vector<std::uint8_t> largest = {0, 0, 255, 0, 255, 0, 0};
    largest.resize(7 + 13 * 255 * 255, 1);
    f.open({QStringLiteral("ampedit"), f.write("largest.amp", largest)});
    QCOMPARE(f.model(0)->columns(), 255);
    // The window's own area; the frame around it is the window manager's.
    const QSize desktop = f.main->screen()->availableGeometry().size();
    QVERIFY2(f.main->width() <= desktop.width() && f.main->height() <= desktop.height(),
             qPrintable(QStringLiteral("%1 x %2").arg(f.main->width()).arg(f.main->height())));
    // On this narrow desktop the picture gives way: the form keeps the width that
    // holds the header boxes clear of the command column ("Y Size" and its box).
    const QWidget* info = f.window->findChild<QWidget*>("pnlInfo");
    const QWidget* ySizeBox = f.window->findChild<QWidget*>("Edit5");
    QVERIFY(info && ySizeBox);
    QVERIFY2(ySizeBox->mapTo(f.window, QPoint(ySizeBox->width(), 0)).x() <= info->x(),
             qPrintable(QStringLiteral("form %1 wide").arg(f.window->width())));
    // The picture floats over the lower left of the views: never over the menus,
    // the bars, the header boxes or the command column.
    const QDockWidget* picture = f.main->findChild<QDockWidget*>();
    QVERIFY(picture && picture->isFloating());
    const QRect pictureOnScreen = picture->frameGeometry();
    const QWidget* views = f.window->findChild<QWidget*>("mapArea");
    const QRect viewsOnScreen(views->mapToGlobal(QPoint(0, 0)), views->size());
    QVERIFY2(viewsOnScreen.contains(pictureOnScreen), qPrintable(QStringLiteral("picture %1,%2 %3x%4")
                                                                     .arg(pictureOnScreen.x())
                                                                     .arg(pictureOnScreen.y())
                                                                     .arg(pictureOnScreen.width())
                                                                     .arg(pictureOnScreen.height())));
    QVERIFY(!pictureOnScreen.intersects(QRect(info->mapToGlobal(QPoint(0, 0)), info->size())));
    // A small map's window is as high as the form with the menu bar and status line.
    f.readMap(tenByEight(f));
    QCOMPARE(f.main->height(),
             f.window->height() + f.main->menuBar()->height() + f.main->statusBar()->height());
}

// Ctrl+A selects every hex of the layer on show, from a view or the picture.
void MainWindowTest::selectAllInAViewAndInThePicture() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    QVERIFY(action(f, "Select All"));
    f.clickCell(f.view(0), 2, 2);
    f.press(QKeySequence::SelectAll);
    QCOMPARE(f.document().selection().cellCount(), 80);
    QCOMPARE(f.view(0)->selectionModel()->selectedIndexes().size(), 80);
    f.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    QCOMPARE(f.document().selection().cellCount(), 0);
    f.main->mapPanel().view()->setFocus();
    f.press(QKeySequence::SelectAll);
    QCOMPARE(f.document().selection().cellCount(), 80);
    QCOMPARE(f.main->selectionStatus(), QStringLiteral("10 × 8 hexes selected"));
    QCOMPARE(f.view(0)->currentIndex(), f.model(0)->index(2, 2));
}

// Bytes 0, 1, 3, 5 and 6 change together, in one step that undo takes back;
// the shape's bytes stay whatever the dialog says; the boxes stay read-only.
void MainWindowTest::headerBytesChangeAsOneStep() {
    WindowFixture f;
    f.open();
    action(f, "Header Bytes")->trigger(); // no map yet: told so
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY(f.dialogs.offeredHeaders.isEmpty());
    const QString path = tenByEight(f);
    f.readMap(path);
    f.dialogs.headerAnswers = {amp::MapHeader{{9, 8, 99, 7, 99, 6, 5}}};
    action(f, "Header Bytes")->trigger();
    QVERIFY(f.dialogs.offeredHeaders.constLast() == TenByEight);
    const QStringList boxes = {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7"};
    QCOMPARE(f.textsOf({"Edit1", "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "Edit7"}),
             (QStringList{"9", "8", "10", "7", "8", "6", "5"}));
    for (const QString& box : boxes) {
        QVERIFY(f.control<QLineEdit>(qPrintable(box))->isReadOnly());
    }
    QCOMPARE(f.document().undoStack()->count(), 1);
    QCOMPARE(f.document().undoStack()->undoText(), QStringLiteral("Header bytes"));
    QVERIFY(f.main->isWindowModified());
    f.press(QKeySequence::Save);
    const auto written = f.read(path);
    QVERIFY(written.size() == 7 + 13 * 80);
    QVERIFY((std::vector<std::uint8_t>(written.begin(), written.begin() + 7) ==
             std::vector<std::uint8_t>{9, 8, 10, 7, 8, 6, 5}));
    f.press(QKeySequence::Undo);
    QCOMPARE(f.textsOf({"Edit1", "Edit2", "Edit4", "Edit6", "Edit7"}),
             (QStringList{"42", "0", "0", "0", "5"}));
    // The form of the desktop's dialog: a box for each byte it may change.
    dialogforms::HeaderBytesForm form(nullptr, TenByEight);
    QVERIFY(!form.byteBox(2) && !form.byteBox(4));
    form.byteBox(6)->setValue(200);
    form.byteBox(0)->setValue(1);
    QVERIFY((form.header() == amp::MapHeader{{1, 0, 10, 0, 8, 0, 200}}));
}

// No two items of a menu (or two menus of the menu bar) share their
// underlined letter, so Alt and the letter always means one thing.
void MainWindowTest::eachMenuHasEachMnemonicOnce() {
    WindowFixture f;
    f.open();
    const std::function<void(const QList<QAction*>&, const QString&)> check =
        [&check](const QList<QAction*>& items, const QString& where) {
            QHash<QChar, QString> taken;
            for (const QAction* item : items) {
                const QString text = item->text();
                const qsizetype at = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
                if (at >= 0) {
                    const QChar letter = text.at(at + 1).toLower();
                    QVERIFY2(!taken.contains(letter),
                             qPrintable(where + ": " + taken.value(letter) + " and " + text));
                    taken.insert(letter, text);
                }
                if (item->menu()) {
                    item->menu()->aboutToShow(); // menus filled as they open
                    check(item->menu()->actions(), where + " > " + text);
                }
            }
        };
    check(f.main->menuBar()->actions(), QStringLiteral("menu bar"));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
