// SPDX-License-Identifier: MIT
#include "scripttools.h"
#include "actiontable.h"

#include "mapdocument.h"
#include "mapeditor.h"
#include "problemlist.h"
#include "scriptfolders.h"
#include "scriptmodule.h"
#include "userdialogs.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

ScriptOutcome failure(const QString& error) {
    ScriptOutcome outcome;
    outcome.kind = ScriptOutcome::Kind::Failed;
    outcome.error = error;
    return outcome;
}

// "1 problem", "3 problems".
QString counted(int count, const char* noun) {
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(noun)).arg(count == 1 ? "" : "s");
}

// The console keeps this many lines; older ones scroll away.
constexpr int ConsoleLines = 5000;
constexpr int HistoryLength = 100;
// The console's output shows at least this many lines.
constexpr int ShownLines = 6;
// A printed line longer than this is cut in the console (amptool writes it whole).
constexpr qsizetype LongestShownLine = 10000;

// The console line's history: Up and Down step through the expressions given.
class HistoryKeys : public QObject {
public:
    HistoryKeys(QLineEdit* line, QStringList& history, int& at)
        : QObject(line), line_(line), history_(history), at_(at) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != line_ || event->type() != QEvent::KeyPress) {
            return false;
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape && !line_->text().isEmpty()) {
            line_->clear();
            at_ = static_cast<int>(history_.size());
            return true;
        }
        if (key != Qt::Key_Up && key != Qt::Key_Down) {
            return false;
        }
        at_ = std::clamp(at_ + (key == Qt::Key_Up ? -1 : 1), 0, static_cast<int>(history_.size()));
        line_->setText(at_ < history_.size() ? history_[at_] : QString());
        return true;
    }

private:
    QLineEdit* line_;
    QStringList& history_;
    int& at_;
};

// What a build without the JavaScript engine says of its script commands.
QString noEngineText() {
    QString text = scriptmodule::notInThisBuild();
    text[0] = text[0].toUpper();
    return text;
}

} // namespace

void ScriptTools::setEditor(MapEditor* session) {
    if (isRunning()) {
        runner_->stop();
    }
    document_ = &session->document();
    runner_ = session->findChild<ScriptRunner*>(QString(), Qt::FindDirectChildrenOnly);
    if (!runner_) {
        runner_ = new ScriptRunner(*session, scriptmodule::newEngine, session);
    }
}

ScriptTools::ScriptTools(MapEditor& session, UserDialogs& dialogs, QMainWindow* window)
    : QObject(window), dialogs_(dialogs), window_(window),
      scriptFolders_(QStringList{scriptfolders::userScripts()} + scriptfolders::shippedScripts()),
      checkFolders_(scriptfolders::checkFolders()), consoleDock_(new QDockWidget(tr("Console"), window)),
      problemsDock_(new QDockWidget(tr("Problems"), window)), problems_(new ProblemList(this)) {
    setEditor(&session);
    // The docks' insides are made when they are first shown or written to: most
    // sessions of the editor never show them.
    consoleDock_->setObjectName(QStringLiteral("consoleDock"));
    problemsDock_->setObjectName(QStringLiteral("problemsDock"));
    // A window closed while a script runs stops the run first.
    window->installEventFilter(this);
    // Under the picture, beside the form: opening them never makes the window
    // higher than the desktop.
    for (QDockWidget* dock : {consoleDock_, problemsDock_}) {
        window->addDockWidget(Qt::RightDockWidgetArea, dock);
        dock->hide();
        connect(dock, &QDockWidget::visibilityChanged, this, [this, dock](bool shown) {
            if (shown && dock == consoleDock_) {
                consoleOutput();
            } else if (shown) {
                problemsTable();
            }
            if (shown) {
                QTimer::singleShot(0, this, [this, dock] { keepOnScreen(dock); });
            }
        });
    }
    window->tabifyDockWidget(consoleDock_, problemsDock_);
}

// The Tools menu, before Help; the scripts found are listed at its end each
// time it opens, not at start-up.
void ScriptTools::addActions(ActionTable& table) {
    const QString tools = QStringLiteral("tools");
    menu_ = table.addMenu(tools, tr("&Tools"), {}, QStringLiteral("help"));
    table.add(tools, QStringLiteral("tools.runScript"), tr("Run &Script…"),
              {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)}, [this](bool) { chooseAndRun(); });
    table.add(tools, QStringLiteral("tools.checkMap"), tr("&Check Map"), {QKeySequence(Qt::Key_F7)},
              [this](bool) { checkMap(); });
    // A build without the JavaScript engine shows the commands greyed, and why.
    if (!scriptmodule::isPartOfThisBuild()) {
        for (const char* id : {"tools.runScript", "tools.checkMap"}) {
            QAction* action = table.action(QString::fromLatin1(id));
            action->setEnabled(false);
            action->setStatusTip(noEngineText());
        }
    }
    table.addSeparator(tools);
    QAction* showConsole = consoleDock_->toggleViewAction();
    showConsole->setText(tr("C&onsole"));
    showConsole->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_J));
    table.place(tools, QStringLiteral("tools.console"), showConsole);
    QAction* showProblems = problemsDock_->toggleViewAction();
    showProblems->setText(tr("&Problems"));
    showProblems->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    table.place(tools, QStringLiteral("tools.problems"), showProblems);
    // Shown from the menu or its key, a dock comes to the front of its tabs, and
    // the console takes the keys for its line.
    connect(showConsole, &QAction::triggered, this, [this](bool shown) {
        if (shown) {
            consoleDock_->raise();
            consoleLine()->setFocus();
        }
    });
    connect(showProblems, &QAction::triggered, this, [this](bool shown) {
        if (shown) {
            problemsDock_->raise();
        }
    });
    listStart_ = menu_->addSeparator();
    connect(menu_, &QMenu::aboutToShow, this, &ScriptTools::refreshMenu);
}

ScriptTools::~ScriptTools() = default;

QPlainTextEdit* ScriptTools::consoleOutput() {
    if (output_) {
        return output_;
    }
    // What scripts print and their errors, over a line for one expression.
    auto* console = new QWidget;
    auto* layout = new QVBoxLayout(console);
    layout->setContentsMargins(0, 0, 0, 0);
    output_ = new QPlainTextEdit;
    line_ = new QLineEdit;
    output_->setReadOnly(true);
    output_->setMaximumBlockCount(ConsoleLines);
    output_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    output_->setMinimumHeight(output_->fontMetrics().lineSpacing() * ShownLines);
    line_->setFont(output_->font());
    line_->setPlaceholderText(tr("An expression, as map.get(\"terrain\", 0, 0); Enter evaluates it"));
    line_->installEventFilter(new HistoryKeys(line_, history_, historyAt_));
    stop_ = new QPushButton(tr("Stop"));
    stop_->setObjectName(QStringLiteral("stopScript"));
    stop_->setToolTip(tr("Stops the script that is running; it changes nothing"));
    stop_->setEnabled(isRunning());
    connect(stop_, &QPushButton::clicked, this, &ScriptTools::stopRun);
    auto* row = new QHBoxLayout;
    row->addWidget(line_);
    row->addWidget(stop_);
    layout->addWidget(output_);
    layout->addLayout(row);
    consoleDock_->setWidget(console);
    connect(line_, &QLineEdit::returnPressed, this, [this] {
        const QString expression = line_->text().trimmed();
        if (expression.isEmpty()) {
            return;
        }
        history_.removeAll(expression);
        history_.append(expression);
        while (history_.size() > HistoryLength) {
            history_.removeFirst();
        }
        historyAt_ = static_cast<int>(history_.size());
        line_->clear();
        evaluate(expression);
    });
    return output_;
}

QLineEdit* ScriptTools::consoleLine() {
    consoleOutput();
    return line_;
}

QPushButton* ScriptTools::stopButton() {
    consoleOutput();
    return stop_;
}

void ScriptTools::stopRun() {
    if (isRunning()) {
        runner_->stop();
        emit message(tr("Stopping the script…"));
    }
}

bool ScriptTools::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Close && isRunning()) {
        // The run is stopped, and the window stays until it has ended.
        event->ignore();
        runner_->stop();
        emit message(tr("A script was running: it was stopped. Close the window again."));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// One run at a time: the window stays responsive while one goes on.
bool ScriptTools::mayStart(const QString& name) {
    if (!isRunning()) {
        return true;
    }
    emit message(tr("%1 did not start: a script is running (Stop in the Console ends it).").arg(name));
    return false;
}

void ScriptTools::beginRun(const QString& name, bool say) {
    emit aboutToRun();
    if (say) {
        appendOutput(tr("running %1…").arg(name));
    }
    stopButton()->setEnabled(true);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    emit message(tr("Running %1… Edits wait until it ends; Stop in the Console ends it.").arg(name));
}

void ScriptTools::endRun(const ScriptOutcome& outcome) {
    QApplication::restoreOverrideCursor();
    stop_->setEnabled(false);
    showPrinted(outcome.printed);
}

// What a run printed, at once: a line per call would lay the console out again each time.
void ScriptTools::showPrinted(const QStringList& lines) {
    if (lines.isEmpty()) {
        return;
    }
    QStringList shown;
    shown.reserve(lines.size());
    for (const QString& line : lines) {
        shown.append(line.size() <= LongestShownLine
                         ? line
                         : line.left(LongestShownLine) +
                               tr("… (%1 more characters)").arg(line.size() - LongestShownLine));
    }
    appendOutput(shown.join(QLatin1Char('\n')));
}

QTableView* ScriptTools::problemsTable() {
    if (problemsTable_) {
        return problemsTable_;
    }
    // The problems, sortable; a click selects the hex.
    problemsTable_ = new QTableView;
    auto* sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(problems_);
    sorted->setSortRole(ProblemList::SortRole);
    problemsTable_->setModel(sorted);
    problemsTable_->setSortingEnabled(true);
    problemsTable_->sortByColumn(ProblemList::HexColumn, Qt::AscendingOrder);
    problemsTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
    problemsTable_->setSelectionMode(QAbstractItemView::SingleSelection);
    problemsTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    problemsTable_->verticalHeader()->hide();
    problemsTable_->setWordWrap(false);
    problemsTable_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    problemsTable_->horizontalHeader()->setSectionResizeMode(ProblemList::MessageColumn,
                                                             QHeaderView::Stretch);
    problemsTable_->resizeColumnsToContents();
    problemsDock_->setWidget(problemsTable_);
    const auto choose = [this, sorted](const QModelIndex& index) {
        const ScriptProblem& found = problems_->problem(sorted->mapToSource(index).row());
        if (found.hex) {
            emit hexChosen(found.hex->column, found.hex->row);
        }
    };
    connect(problemsTable_, &QAbstractItemView::clicked, this, choose);
    connect(problemsTable_, &QAbstractItemView::activated, this, choose);
    return problemsTable_;
}

// A dock that made the window higher than the desktop: the window moves up as
// far as it can, and where it still does not fit the dock shares the picture's
// place as a tab.
void ScriptTools::keepOnScreen(QDockWidget* dock) {
    const QScreen* display = window_->screen();
    if (!display || dock->isFloating() || window_->isMaximized() || window_->isFullScreen()) {
        return;
    }
    const QRect desktop = display->availableGeometry();
    const QRect frame = window_->frameGeometry();
    const int over = frame.bottom() - desktop.bottom();
    if (over <= 0) {
        return;
    }
    window_->move(frame.left(), frame.top() - std::min(over, std::max(0, frame.top() - desktop.top())));
    if (window_->frameGeometry().bottom() > desktop.bottom()) {
        if (auto* picture = window_->findChild<QDockWidget*>(QStringLiteral("mapDock"))) {
            window_->tabifyDockWidget(picture, dock);
            dock->raise();
            window_->resize(window_->width(), window_->minimumSizeHint().height());
        }
    }
}

void ScriptTools::setFolders(const QStringList& scripts, const QStringList& checks) {
    scriptFolders_ = scripts;
    checkFolders_ = checks;
    refreshMenu();
}

QStringList ScriptTools::scriptFiles() const {
    return scriptfolders::scriptFiles(scriptFolders_);
}

QStringList ScriptTools::checkFiles() const {
    return scriptfolders::scriptFiles(checkFolders_);
}

// The scripts of the folders, by name after the fixed items; each runs when chosen.
void ScriptTools::refreshMenu() {
    const QList<QAction*> actions = menu_->actions();
    for (qsizetype i = actions.indexOf(listStart_) + 1; i < actions.size(); ++i) {
        menu_->removeAction(actions[i]);
        actions[i]->deleteLater();
    }
    // The user's folder first, then the program's own, each group apart.
    listStart_->setVisible(false);
    bool first = true;
    for (const QString& folder : scriptFolders_) {
        const QStringList files = scriptfolders::scriptFiles({folder});
        if (files.isEmpty()) {
            continue;
        }
        if (!first) {
            menu_->addSeparator();
        }
        first = false;
        listStart_->setVisible(true);
        for (const QString& path : files) {
            QString text = QFileInfo(path).fileName();
            text.replace(QLatin1Char('&'), QStringLiteral("&&")).replace(QLatin1Char('\n'), QLatin1Char(' '));
            QAction* item = menu_->addAction(text, this, [this, path] { runScript(path); });
            item->setToolTip(QDir::toNativeSeparators(path));
            item->setStatusTip(item->toolTip());
            if (!scriptmodule::isPartOfThisBuild()) {
                item->setEnabled(false);
                item->setStatusTip(noEngineText());
            }
        }
    }
}

bool ScriptTools::haveMap(const QString& caption) {
    if (document_->hasMap()) {
        return true;
    }
    dialogs_.inform(window_, caption,
                    tr("There is no map to run scripts on: read a map or make a new one first."));
    return false;
}

// The layout is the session's, which the runner takes.
ScriptOptions ScriptTools::options() const {
    return {};
}

void ScriptTools::appendOutput(const QString& text) {
    consoleOutput()->appendPlainText(text);
}

void ScriptTools::showProblems() {
    problemsDock_->show();
    problemsDock_->raise();
}

void ScriptTools::tellFailure(const QString& caption, const ScriptOutcome& outcome) {
    appendOutput(outcome.error);
    consoleDock_->show();
    consoleDock_->raise();
    emit message(outcome.error.startsWith(caption) ? outcome.error
                                                   : tr("%1 failed: %2").arg(caption, outcome.error));
}

ScriptOutcome ScriptTools::runOne(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    beginRun(name);
    ScriptOutcome outcome = runner_->runFile(path, options());
    endRun(outcome);
    showOutcome(name, outcome);
    return outcome;
}

// A run that failed still found what it reported before the error.
void ScriptTools::showOutcome(const QString& name, const ScriptOutcome& outcome) {
    problems_->setProblems(name, outcome.problems);
    if (problemsTable_) {
        problemsTable_->resizeColumnsToContents();
    }
}

ScriptOutcome ScriptTools::runScript(const QString& path) {
    if (!haveMap(tr("Run Script"))) {
        return failure(tr("There is no map."));
    }
    const QString name = QFileInfo(path).fileName();
    if (!mayStart(name)) {
        return failure(tr("%1: a script is running").arg(name));
    }
    ScriptOutcome outcome = runOne(path);
    if (!outcome.ok()) {
        tellFailure(name, outcome);
        return outcome;
    }
    const int found = static_cast<int>(outcome.problems.size());
    if (found > 0) {
        showProblems();
    }
    const QString changed = outcome.changed ? tr("changed the map (one undo step)") : tr("changed nothing");
    emit message(found > 0 ? tr("%1 %2 and reported %3.").arg(name, changed, counted(found, "problem"))
                           : tr("%1 %2.").arg(name, changed));
    return outcome;
}

void ScriptTools::chooseAndRun() {
    if (!haveMap(tr("Run Script"))) {
        return;
    }
    FileDialogRequest request{tr("Run Script"), tr("Scripts (*.js)"), QStringLiteral("js"), lastFolder_};
    if (request.directory.isEmpty()) {
        request.directory = scriptFolders_.value(0);
    }
    const QString path = dialogs_.openFileName(window_, request);
    if (path.isEmpty()) {
        return;
    }
    lastFolder_ = QFileInfo(path).absolutePath();
    runScript(path);
}

int ScriptTools::checkMap() {
    if (!haveMap(tr("Check Map"))) {
        return -1;
    }
    const QStringList checks = checkFiles();
    if (checks.isEmpty()) {
        dialogs_.inform(window_, tr("Check Map"),
                        tr("There are no check scripts: put them in %1.")
                            .arg(QDir::toNativeSeparators(scriptfolders::userChecks())));
        return -1;
    }
    if (!mayStart(tr("Check Map"))) {
        return -1;
    }
    const ScriptRunner::CheckSummary checked = runner_->check(
        checks, options(), [this](const QString& path) { beginRun(QFileInfo(path).fileName()); },
        [this](const QString& path, const ScriptOutcome& outcome) {
            endRun(outcome);
            showOutcome(QFileInfo(path).fileName(), outcome);
            if (!outcome.ok()) {
                tellFailure(QFileInfo(path).fileName(), outcome);
            }
        });
    if (checked.stopped) {
        emit message(tr("Check Map was stopped."));
        return -1;
    }
    const int found = checked.problems;
    const int failed = checked.failed;
    if (found > 0) {
        showProblems();
    }
    const QString summary =
        tr("Check Map: %1 from %2")
            .arg(counted(found, "problem"), counted(static_cast<int>(checks.size()), "check"));
    emit message(failed > 0 ? tr("%1; %2 failed (see the console).").arg(summary, counted(failed, "check"))
                            : summary + QLatin1Char('.'));
    return failed > 0 ? -1 : found;
}

ScriptOutcome ScriptTools::evaluate(const QString& expression) {
    appendOutput(QStringLiteral("> ") + expression);
    if (!document_->hasMap()) {
        const ScriptOutcome none = failure(tr("There is no map: read a map or make one first."));
        appendOutput(none.error);
        return none;
    }
    if (!mayStart(tr("The console's line"))) {
        return failure(tr("A script is running."));
    }
    beginRun(tr("the console's line"), false);
    ScriptOutcome outcome = runner_->evaluate(expression, options());
    endRun(outcome);
    if (!outcome.ok()) {
        appendOutput(outcome.error);
        return outcome;
    }
    showPrinted({outcome.value});
    if (!outcome.problems.empty()) {
        problems_->setProblems(tr("Console"), outcome.problems);
        showProblems();
    }
    return outcome;
}
