#include "mainwindow.h"
#include "layermodel.h"
#include "mapdocument.h"
#include "tfrmmaped.h"
#include "userdialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QUndoStack>

MainWindow::MainWindow(UserDialogs& dialogs, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), document_(new MapDocument(this)), hexLabel_(new QLabel(this)),
      fileLabel_(new QLabel(this)) {
    statusBar()->addWidget(hexLabel_, 1);
    statusBar()->addPermanentWidget(fileLabel_);
    createMenus();
    // The form loads a map named on the command line as it is built: what follows
    // the document is connected first, and the window takes the form's size after.
    connect(document_, &MapDocument::modifiedChanged, this, &QWidget::setWindowModified);
    connect(document_, &MapDocument::fileNameChanged, this, &MainWindow::refreshFileName);
    for (int i = 0; i < amp::LayerCount; ++i) {
        connect(document_->layer(i), &QAbstractItemModel::dataChanged, this, &MainWindow::refreshHexStatus);
        connect(document_->layer(i), &QAbstractItemModel::modelReset, this, [this] { showHex(-1, -1); });
    }
    form_ = new TfrmMapEd(dialogs, *document_, arguments, this);
    connect(form_, &TfrmMapEd::hexSelected, this, &MainWindow::showHex);
    connect(form_, &TfrmMapEd::clientHeightChanged, this, &MainWindow::fitClientHeight);
    connect(form_, &TfrmMapEd::linesShownChanged, linesAction_, &QAction::setChecked);
    setCentralWidget(form_);
    // The title is the form's caption, with "*" after it while edits are unwritten.
    setWindowTitle(form_->windowTitle() + QStringLiteral("[*]"));
    setWindowIcon(form_->windowIcon());
    resize(form_->width(), form_->height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
    if (const QScreen* display = screen()) { // the window opens in the middle of the desktop
        move(display->availableGeometry().center() - rect().center());
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::createMenus() {
    const auto add = [this](QMenu* menu, const QString& text, const QList<QKeySequence>& keys, auto slot) {
        QAction* action = menu->addAction(text);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    QMenu* file = menuBar()->addMenu(tr("&File"));
    add(file, tr("&New Map…"), QKeySequence::keyBindings(QKeySequence::New), [this] { form_->newMap(); });
    add(file, tr("&Read Map…"), QKeySequence::keyBindings(QKeySequence::Open), [this] { form_->btnOpenMapClick(); });
    add(file, tr("&Write Map"), QKeySequence::keyBindings(QKeySequence::Save), [this] { form_->writeToCurrentFile(); });
    add(file, tr("Write Map &As…"), {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
        [this] { form_->btnSaveMapClick(); });
    file->addSeparator();
    add(file, tr("&Quit"), {QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this] { close(); });

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QAction* undo = document_->undoStack()->createUndoAction(this, tr("Undo"));
    undo->setShortcuts(QKeySequence::Undo);
    QAction* redo = document_->undoStack()->createRedoAction(this, tr("Redo"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addAction(undo);
    edit->addAction(redo);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    add(view, tr("&Previous Layer"), {QKeySequence(Qt::CTRL | Qt::Key_PageUp)}, [this] { form_->btnMinusClick(); });
    add(view, tr("&Next Layer"), {QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, [this] { form_->btnPlusClick(); });
    view->addSeparator();
    linesAction_ = add(view, tr("Show &Lines"), {}, [this](bool checked) { form_->setLinesShown(checked); });
    linesAction_->setCheckable(true);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    add(help, tr("&Keyboard Shortcuts"), {QKeySequence(QKeySequence::HelpContents)}, [this] { showShortcuts(); });
    add(help, tr("&About"), {}, [this] {
        dialogs_.showMessage(this, tr("ampedit %1\nThe map editor of Veldrock: reads, edits and writes \".amp\" "
                                      "map files byte for byte.")
                                       .arg(QApplication::applicationVersion()));
    });
}

void MainWindow::showShortcuts() {
    QStringList lines;
    for (const QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        for (const QAction* action : menu->actions()) {
            if (!action->shortcut().isEmpty()) {
                QStringList keys;
                for (const QKeySequence& key : action->shortcuts()) {
                    keys << key.toString(QKeySequence::NativeText);
                }
                lines << QString(action->text()).remove('&').section(' ', 0, 1) + QStringLiteral(": ") +
                             keys.join(QStringLiteral(", "));
            }
        }
    }
    lines << tr("In the views: arrows move; typing replaces a cell; Enter and Tab keep it and move down or "
                "right (Shift: up or left); Esc cancels; F2 or a double-click edits in place; Delete or "
                "Backspace sets the selected cells to 0.");
    dialogs_.showMessage(this, lines.join('\n'));
}

// "hex 12,7 · Forest · 3 0 0 0 41 0 2 0 0 0 0 0 0": the hex, its terrain name
// (left out for a value without one) and the values of its 13 cells.
QString MainWindow::hexStatus() const {
    const LayerModel* terrain = document_->layer(amp::TerrainLayer);
    if (hexColumn_ < 0 || hexColumn_ >= terrain->columns() || hexRow_ >= terrain->rows()) {
        return {};
    }
    QString status = tr("hex %1,%2").arg(hexColumn_).arg(hexRow_);
    const std::string_view name = amp::terrainName(terrain->cellValue(hexColumn_, hexRow_));
    if (!name.empty()) {
        status += QStringLiteral(" · ") + QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    }
    status += QStringLiteral(" ·");
    for (int i = 0; i < amp::LayerCount; ++i) {
        status += ' ' + QString::number(document_->layer(i)->cellValue(hexColumn_, hexRow_));
    }
    return status;
}

void MainWindow::showHex(int column, int row) {
    hexColumn_ = column;
    hexRow_ = row;
    refreshHexStatus();
}

void MainWindow::refreshHexStatus() { hexLabel_->setText(hexStatus()); }

void MainWindow::refreshFileName() {
    const QString& name = document_->fileName();
    fileLabel_->setText(QFileInfo(name).fileName());
    fileLabel_->setToolTip(name);
}

// The form asks for its client height; the window adds its bars, but never grows
// past the screen.
void MainWindow::fitClientHeight(int formHeight) {
    int height = formHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    if (const QScreen* display = screen()) {
        const int frame = std::max(frameGeometry().height() - geometry().height(), 0);
        height = std::min(height, display->availableGeometry().height() - frame);
    }
    resize(width(), height);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (form_->mayDiscardEdits()) {
        event->accept();
    } else {
        event->ignore();
    }
}
