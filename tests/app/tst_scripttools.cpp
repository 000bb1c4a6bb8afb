// SPDX-License-Identifier: MIT
// The Tools menu in the real window: a script chosen from the menu is one undo
// step, its problems fill the Problems list (a re-run replaces them) and a click
// on one selects its hex; a failing script changes nothing and tells its line in
// the console; the console's line evaluates against the open map; Check Map runs
// every check script. Scripts run in the scripting module, which the window
// loads on the first one: without it a run says why and changes nothing.
#include "problemlist.h"
#include "recoverykeeper.h"
#include "scripttools.h"
#include "windowfixture.h"

#include <QDockWidget>
#include <QFile>
#include <QLibrary>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUndoStack>

class ScriptToolsTest : public QObject {
    Q_OBJECT

private slots:
    void aScriptFromTheMenuIsOneStep();
    void aFailingScriptChangesNothing();
    void theConsoleLineAndCheckMap();
    void withoutItsModuleAScriptSaysWhyAndChangesNothing();
    void aRunKeepsTheWindowTurningAndStopEndsIt();

private:
    static QString script(WindowFixture& f, const QString& folder, const QString& name,
                          const QByteArray& source) {
        QDir().mkpath(f.dir.filePath(folder));
        const QString path = f.dir.filePath(folder + QLatin1Char('/') + name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(source) != source.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }
    // Opens the window on the 10 x 8 pattern map with the scripts of `folder`.
    static ScriptTools& openWith(WindowFixture& f, const QString& folder) {
        f.openOn("ten.amp", patternFile(TenByEight, 80));
        ScriptTools& tools = f.main->scripts();
        tools.setFolders({f.dir.filePath(folder)}, {f.dir.filePath(QStringLiteral("checks"))});
        return tools;
    }
    static QAction* menuItem(ScriptTools& tools, const QString& text) {
        emit tools.menu()->aboutToShow();
        for (QAction* action : tools.menu()->actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        return nullptr;
    }
};

void ScriptToolsTest::aScriptFromTheMenuIsOneStep() {
    WindowFixture f;
    script(f, "mine", "mark.js",
           "map.set(0, 3, 2, 200); map.set(\"roads\", 4, 5, \"007\");\n"
           "report(3, 2, 'marked'); report(1, 6, 'also'); report('the whole map');\n");
    ScriptTools& tools = openWith(f, QStringLiteral("mine"));
    QAction* item = menuItem(tools, QStringLiteral("mark.js"));
    QVERIFY(item);
    item->trigger();
    // Both cells in one step named after the script ("roads" is byte 6); the
    // typed text stays as typed.
    QCOMPARE(f.document().undoStack()->count(), 1);
    QVERIFY(f.document().undoStack()->undoText().contains(QStringLiteral("mark.js")));
    QCOMPARE(f.model(0)->cellByte(3, 2), 200);
    QCOMPARE(f.model(6)->cellText(4, 5), QStringLiteral("007"));
    QCOMPARE(tools.problems().count(), 3);
    QVERIFY(tools.problemsDock()->isVisible());
    // Again: its problems replace the earlier ones rather than adding to them.
    item->trigger();
    QCOMPARE(tools.problems().count(), 3);
    // The list sorts the whole-map problem first, then by column: 1,6 before 3,2.
    QTableView* table = tools.problemsTable();
    QCOMPARE(table->model()->index(0, ProblemList::HexColumn).data().toString(), QStringLiteral("map"));
    const QModelIndex second = table->model()->index(1, ProblemList::HexColumn);
    QCOMPARE(second.data().toString(), QStringLiteral("1,6"));
    QCOMPARE(table->model()->index(1, ProblemList::ScriptColumn).data().toString(),
             QStringLiteral("mark.js"));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(second).center());
    QCOMPARE(f.document().selection().currentHex(), std::optional<HexCell>(HexCell{1, 6}));
    // Undo gives every byte back.
    f.document().undoStack()->undo();
    f.document().undoStack()->undo();
    QCOMPARE(f.document().encode(), patternFile(TenByEight, 80));
}

void ScriptToolsTest::aFailingScriptChangesNothing() {
    WindowFixture f;
    const QString path = script(f, "mine", "broken.js", "map.set(0, 0, 0, 1);\n\nnoSuchFunction();\n");
    ScriptTools& tools = openWith(f, QStringLiteral("mine"));
    f.dialogs.openAnswers.append(path);
    tools.chooseAndRun(); // Tools > Run Script…
    QCOMPARE(f.document().undoStack()->count(), 0);
    QCOMPARE(f.document().encode(), patternFile(TenByEight, 80));
    // The console tells the file and line 3, and shows itself.
    const QString console = tools.consoleOutput()->toPlainText();
    QVERIFY2(console.contains(QStringLiteral("broken.js:3")), qPrintable(console));
    QVERIFY(tools.consoleDock()->isVisible());
    QCOMPARE(tools.problems().count(), 0);
}

void ScriptToolsTest::theConsoleLineAndCheckMap() {
    WindowFixture f;
    script(f, "checks", "a.js",
           "map.set(0, 0, 0, 99); for (let c = 0; c < map.columns; ++c) report(c, 0, 'top');\n");
    script(f, "checks", "b.js", "if (map.get(0, 9, 7) === 7) report(9, 7, 'seven');\n");
    ScriptTools& tools = openWith(f, QStringLiteral("mine"));
    // The console's line: record 9 * 8 + 7 = 79, byte 0 of the pattern.
    tools.consoleDock()->show();
    QLineEdit* line = tools.consoleLine();
    line->setText(QStringLiteral("map.get(0, 9, 7)"));
    QTest::keyClick(line, Qt::Key_Return);
    QVERIFY(tools.consoleOutput()->toPlainText().endsWith(QString::number(patternByte(79, 0))));
    line->setText(QStringLiteral("map.set(0, 9, 7, 7)"));
    QTest::keyClick(line, Qt::Key_Return);
    QCOMPARE(f.document().undoStack()->count(), 1);
    QCOMPARE(f.model(0)->cellByte(9, 7), 7);
    // Up brings the last expression back.
    QTest::keyClick(line, Qt::Key_Up);
    QCOMPARE(line->text(), QStringLiteral("map.set(0, 9, 7, 7)"));
    // Check Map (F7): ten from a.js, one from b.js; a second run replaces them.
    QCOMPARE(tools.checkMap(), 11);
    QCOMPARE(tools.checkMap(), 11);
    QCOMPARE(tools.problems().count(), 11);
    // A check tells; what it changes is dropped.
    QCOMPARE(f.document().undoStack()->count(), 1);
    QCOMPARE(f.model(0)->cellByte(0, 0), patternByte(0, 0));
}

void ScriptToolsTest::withoutItsModuleAScriptSaysWhyAndChangesNothing() {
    const QByteArray module = qgetenv("AMPEDIT_SCRIPT_MODULE");
    QVERIFY(!module.isEmpty());
    WindowFixture f;
    const QString path = script(f, "mine", "set.js", "map.set(0, 0, 0, 201);\n");
    ScriptTools& tools = openWith(f, QStringLiteral("mine"));
    const QString missing = f.dir.filePath(QStringLiteral("gone/ampedit-scripting.so"));
    const QString notALibrary = script(f, "mine", "ampedit-scripting.so", "not a library\n");
    for (const QString& place : {missing, notALibrary}) {
        qputenv("AMPEDIT_SCRIPT_MODULE", place.toLocal8Bit());
        const ScriptOutcome outcome = tools.runScript(path);
        QVERIFY(!outcome.ok());
        QVERIFY2(outcome.error.contains(place) && outcome.error.contains(QStringLiteral("scripting module")),
                 qPrintable(outcome.error));
        QVERIFY(tools.consoleOutput()->toPlainText().contains(place));
        QCOMPARE(f.document().undoStack()->count(), 0);
        QCOMPARE(f.document().encode(), patternFile(TenByEight, 80));
    }
    // Once it is there the same window runs the script.
    qputenv("AMPEDIT_SCRIPT_MODULE", module);
    const ScriptOutcome after = tools.runScript(path);
    QVERIFY2(after.changed, qPrintable(after.error));
    QCOMPARE(f.model(0)->cellByte(0, 0), 201);

    // The module makes engines for the program of its own version only.
    QLibrary library(QString::fromLocal8Bit(module));
    const auto entry = reinterpret_cast<ScriptEngineEntryFunction>(library.resolve(ScriptEngineEntry));
    QVERIFY2(entry, qPrintable(library.errorString()));
    QCOMPARE(entry("0.0.0.0"), nullptr);
    QCOMPARE(entry(nullptr), nullptr);
    const std::unique_ptr<ScriptEngine> engine(entry(AMPEDIT_VERSION));
    QVERIFY(engine);
}

void ScriptToolsTest::aRunKeepsTheWindowTurningAndStopEndsIt() {
    WindowFixture f;
    const QString path = script(f, "mine", "slow.js", "map.set(0, 0, 0, 1);\nfor (;;) {}\n");
    ScriptTools& tools = openWith(f, QStringLiteral("mine"));
    RecoveryKeeper& keeper = f.main->recoveryKeeper();
    keeper.setDelay(60 * 60 * 1000); // its timer never writes the copy in this test
    // An edit, and at once a run: the recovery copy holds the edit before the
    // script starts.
    QVERIFY(f.document().typeIntoCell(2, 5, 5, QStringLiteral("77")));
    QVERIFY(keeper.copyPath().isEmpty());
    const std::vector<std::uint8_t> edited = f.document().encode();
    bool turned = false, running = false, said = false, stoppable = false, kept = false, stayed = false;
    QTimer::singleShot(50, f.main.get(), [&] {
        // The event loop turns while the script runs.
        turned = true;
        running = tools.isRunning();
        said = tools.consoleOutput()->toPlainText().endsWith(QStringLiteral("running slow.js…"));
        stoppable = tools.stopButton()->isEnabled();
        const auto copy = RecoveryKeeper::readCopy(keeper.copyPath());
        kept = copy && copy->bytes == edited;
        // Closing the window while it runs stops the run; the window stays.
        stayed = !f.main->close();
        QTest::mouseClick(tools.stopButton(), Qt::LeftButton);
    });
    const ScriptOutcome outcome = tools.runScript(path);
    QVERIFY(turned && running && said && stoppable);
    QVERIFY2(kept, "the recovery copy did not hold the edit as the script ran");
    QVERIFY(stayed && f.main->isVisible());
    QCOMPARE(outcome.kind, ScriptOutcome::Kind::Stopped);
    QVERIFY(tools.consoleOutput()->toPlainText().contains(
        QStringLiteral("slow.js: stopped; nothing was changed")));
    QVERIFY(!tools.stopButton()->isEnabled());
    // Nothing of the run reached the map: the edit is the one step.
    QCOMPARE(f.document().undoStack()->count(), 1);
    QCOMPARE(f.document().encode(), edited);
    // The next run goes as ever.
    const QString quick = script(f, "mine", "quick.js", "map.set(0, 0, 0, 3);\n");
    QVERIFY(tools.runScript(quick).changed);
    QCOMPARE(f.model(0)->cellByte(0, 0), 3);
}

QTEST_MAIN(ScriptToolsTest)
#include "tst_scripttools.moc"
