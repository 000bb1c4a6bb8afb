// SPDX-License-Identifier: MIT
// The Tools menu and its two docks: Run Script… and the scripts of the user's
// and the program's scripts folders, Check Map (every check script), the
// Console (what scripts print, their errors, and a line to evaluate one
// expression against the open map) and the Problems list (what checks report;
// clicking a problem selects its hex). Running is the script library's
// (ScriptRunner); every run is one undo step, and a failed run changes nothing.
#pragma once

#include "scriptrunner.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class QAction;
class MapDocument;
class MapEditor;
class ProblemList;
class QDockWidget;
class ActionTable;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class TfrmMapEd;
class UserDialogs;

class ScriptTools : public QObject {
    Q_OBJECT

public:
    ScriptTools(MapEditor& session, UserDialogs& dialogs, QMainWindow* window);
    ~ScriptTools() override;
    // The session the scripts, the checks and the console act on from now on (a
    // run going on is stopped first); each session keeps its console's names.
    void setEditor(MapEditor* session);

    // Declares the Tools menu and its commands.
    void addActions(ActionTable& table);
    QMenu* menu() const { return menu_; }
    QDockWidget* consoleDock() const { return consoleDock_; }
    QDockWidget* problemsDock() const { return problemsDock_; }
    ProblemList& problems() const { return *problems_; }
    // The docks' insides, made on their first use.
    QTableView* problemsTable();
    QPlainTextEdit* consoleOutput();
    QLineEdit* consoleLine();

    // The folders searched, the user's first; tests point them elsewhere.
    void setFolders(const QStringList& scripts, const QStringList& checks);
    QStringList scriptFiles() const;
    QStringList checkFiles() const;

    // Runs a script file on the open map: its output and error go to the
    // console, its problems to the list (in place of its earlier ones).
    ScriptOutcome runScript(const QString& path);
    // Tools > Run Script…: asks for the file first.
    void chooseAndRun();
    // Tools > Check Map: every check script; the number of problems found, or -1
    // when there was no map or a check failed.
    int checkMap();
    // The console's line: one expression against the open map.
    ScriptOutcome evaluate(const QString& expression);

    // Whether a script or console line is running now; stopRun() ends it.
    bool isRunning() const { return runner_ && runner_->isRunning(); }
    void stopRun();
    QPushButton* stopButton();

signals:
    void message(const QString& text);
    // A run is about to start: whatever keeps the unwritten edits keeps them now,
    // before a script can take the program down.
    void aboutToRun();
    // A problem was chosen: the window selects its hex and shows it.
    void hexChosen(int column, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool haveMap(const QString& caption);
    bool mayStart(const QString& name);
    void beginRun(const QString& name, bool say = true);
    void endRun(const ScriptOutcome& outcome);
    void showPrinted(const QStringList& lines);
    ScriptOptions options() const;
    ScriptOutcome runOne(const QString& path);
    // A run's problems in the list, in place of its earlier ones.
    void showOutcome(const QString& name, const ScriptOutcome& outcome);
    void refreshMenu();
    void appendOutput(const QString& text);
    void showProblems();
    void tellFailure(const QString& caption, const ScriptOutcome& outcome);
    void keepOnScreen(QDockWidget* dock);

    MapDocument* document_ = nullptr;
    UserDialogs& dialogs_;
    QMainWindow* window_;
    QPointer<ScriptRunner> runner_; // the session's own, which keeps the console's names
    QStringList scriptFolders_;
    QStringList checkFolders_;
    QMenu* menu_ = nullptr;
    QAction* listStart_ = nullptr;
    QString lastFolder_;
    QDockWidget* consoleDock_;
    QPlainTextEdit* output_ = nullptr;
    QLineEdit* line_ = nullptr;
    QPushButton* stop_ = nullptr;
    QStringList history_;
    int historyAt_ = 0;
    QDockWidget* problemsDock_;
    ProblemList* problems_;
    QTableView* problemsTable_ = nullptr;
};
