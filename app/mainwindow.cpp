// SPDX-License-Identifier: MIT
#include "mainwindow.h"
#include "bulkedits.h"
#include "diskwatcher.h"
#include "hexmapview.h"
#include "layermodel.h"
#include "layerspanel.h"
#include "layerview.h"
#include "mapdocument.h"
#include "mapfileio.h"
#include "mappanel.h"
#include "noticebar.h"
#include "picturefile.h"
#include "recoverykeeper.h"
#include "tfrmmaped.h"
#include "userdialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>

#include <algorithm>

namespace {

constexpr int MapDockWidth = 380;
constexpr int NarrowestDockWidth = 200;

} // namespace

MainWindow::MainWindow(UserDialogs& dialogs, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), document_(new MapDocument(this)), hexLabel_(new QLabel(this)),
      fileLabel_(new QLabel(this)) {
    statusBar()->addWidget(hexLabel_, 1);
    statusBar()->addPermanentWidget(fileLabel_);
    mapPanel_ = new MapPanel(*document_, this);
    mapDock_ = new QDockWidget(tr("Map"), this);
    mapDock_->setObjectName(QStringLiteral("mapDock"));
    mapDock_->setWidget(mapPanel_);
    mapDock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetFloatable |
                          QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::RightDockWidgetArea, mapDock_);
    createMenus();
    // The form loads a map named on the command line as it is built: what follows
    // the document is connected first, and the window takes the form's size after.
    connect(document_, &MapDocument::modifiedChanged, this, &QWidget::setWindowModified);
    connect(document_, &MapDocument::fileNameChanged, this, &MainWindow::refreshFileName);
    connect(document_, &MapDocument::cellsChanged, this, &MainWindow::refreshHexStatus);
    connect(document_, &MapDocument::mapReset, this, [this] { showHex(-1, -1); });
    // The recovery question comes before a map named on the command line.
    form_ = new TfrmMapEd(dialogs, *document_, {arguments.value(0)}, this);
    connect(form_, &TfrmMapEd::hexSelected, this, &MainWindow::showHex);
    connect(form_, &TfrmMapEd::clientHeightChanged, this, &MainWindow::fitClientHeight);
    connect(form_, &TfrmMapEd::linesShownChanged, linesAction_, &QAction::setChecked);
    // The picture and the form show the same layer and the same hex.
    connect(form_, &TfrmMapEd::layerShown, mapPanel_, &MapPanel::setLayer);
    connect(form_, &TfrmMapEd::hexSelected, mapPanel_->view(), &HexMapView::setSelectedHex);
    connect(form_, &TfrmMapEd::hexSelected, this, [this](int column, int row) {
        document_->selection().setCurrentHex(HexCell{column, row});
    });
    connect(mapPanel_->view(), &HexMapView::hexChosen, form_, &TfrmMapEd::selectHex);
    bulkEdits_ = new BulkEdits(*document_, *form_, dialogs_, this);
    connect(bulkEdits_, &BulkEdits::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    connect(mapPanel_->view(), &HexMapView::rectangleChosen, bulkEdits_, &BulkEdits::selectRectangle);
    connect(mapPanel_->view(), &HexMapView::floodRequested, this, [this](int column, int row) {
        const HexMapView* view = mapPanel_->view();
        document_->floodFill(form_->CurrentLayer(), column, row, view->evenColumnsLower(), view->brushText());
    });
    connect(mapPanel_->view(), &HexMapView::selectNoneRequested, this, &MainWindow::selectNone);
    connect(&document_->selection(), &MapSelection::changed, this, &MainWindow::showPictureSelection);
    // The picture shows the form's selection of the layer on show.
    connect(form_, &TfrmMapEd::layerShown, this, &MainWindow::refreshPictureSelection);
    connect(form_, &TfrmMapEd::gridSelectionChanged, this, &MainWindow::refreshPictureSelection);
    setCentralWidget(form_);
    // The title is the form's caption, with "*" after it while edits are unwritten.
    setWindowTitle(form_->windowTitle() + QStringLiteral("[*]"));
    setWindowIcon(form_->windowIcon());
    QApplication::setWindowIcon(form_->windowIcon()); // for windows of their own, such as dialogs
    // Never wider than the desktop: on a narrow one the picture gives way first,
    // and where it does not fit beside the form it floats.
    form_->setMinimumWidth(form_->minimumClientWidth());
    int dockWidth = MapDockWidth;
    int width = form_->width() + dockWidth;
    if (const QScreen* display = screen()) {
        const int available = display->availableGeometry().width();
        const int narrowest = std::max(NarrowestDockWidth, mapDock_->minimumSizeHint().width());
        dockWidth = std::clamp(available - form_->width(), narrowest, MapDockWidth);
        if (form_->width() + dockWidth > available) {
            mapDock_->setFloating(true);
            mapDock_->resize(MapDockWidth, MapDockWidth);
            dockWidth = 0;
        }
        width = std::min(form_->width() + dockWidth, available);
    }
    resize(width, height());
    fitClientHeight(form_->height());
    if (!mapDock_->isFloating()) {
        resizeDocks({mapDock_}, {dockWidth}, Qt::Horizontal);
    }
    notices_ = new NoticeBar(this);
    addToolBar(Qt::TopToolBarArea, notices_);
    // A write cut short by a crash is undone by the next read or write of that
    // file, whoever makes it: the user hears of it.
    amp::setRestoreNotice([this](const QString& path) {
        const QString text = tr("A write of %1 was cut short; its old content was put back first.")
                                 .arg(QDir::toNativeSeparators(path));
        notices_->setNotice(QStringLiteral("restored ") + path, text);
        statusBar()->showMessage(text, 8000);
    });
    keeper_ = new RecoveryKeeper(*document_, this);
    connect(keeper_, &RecoveryKeeper::protectionChanged, this, [this](const QString& notice) {
        notices_->setNotice(QStringLiteral("recovery"), notice);
        if (!notice.isEmpty()) {
            statusBar()->showMessage(notice, 8000);
        }
    });
    auto* changedOnDisk = new QToolBar(tr("Changed on Disk"), this);
    changedOnDisk->setObjectName(QStringLiteral("changedOnDisk"));
    changedOnDisk->setMovable(false);
    addToolBar(Qt::TopToolBarArea, changedOnDisk);
    watcher_ = new DiskWatcher(*document_, *form_, changedOnDisk);
    connect(watcher_, &DiskWatcher::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    offerRecovery();
    form_->openFromArguments(arguments);
    fitClientHeight(form_->height());        // the bars too stay on the desktop
    if (const QScreen* display = screen()) { // the window opens in the middle of the desktop
        move(display->availableGeometry().center() - rect().center());
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!picturePlaced_) { // once the form has laid out its views
        picturePlaced_ = true;
        placeFloatingPicture();
    }
}

// A picture that floats because the desktop is too narrow for it beside the form
// lies over the lower left of the layer views, which scroll: never over the
// menus, the bars, the header boxes or the command column with Write Map.
void MainWindow::placeFloatingPicture() {
    if (!mapDock_->isFloating()) {
        return;
    }
    const QWidget* area = form_->findChild<QWidget*>(QStringLiteral("mapArea"));
    const QWidget* column = form_->findChild<QWidget*>(QStringLiteral("pnlInfo"));
    if (!area || !column) {
        return;
    }
    const QPoint areaTopLeft = area->mapTo(this, QPoint(0, 0));
    const int bottom = std::min(areaTopLeft.y() + area->height(), statusBar()->y());
    const int top = areaTopLeft.y();
    const int right = column->mapTo(this, QPoint(0, 0)).x();
    const int width = std::min(MapDockWidth, right - areaTopLeft.x());
    const int height = std::min(MapDockWidth, bottom - top);
    if (width <= 0 || height <= 0) {
        return;
    }
    mapDock_->resize(width, height);
    mapDock_->move(mapToGlobal(QPoint(areaTopLeft.x(), bottom - mapDock_->frameGeometry().height())));
}

MainWindow::~MainWindow() {
    amp::setRestoreNotice({});
    // Children still send signals while they are torn down (a view's selection,
    // a layer's reset); by then this window no longer listens.
    for (QObject* child : findChildren<QObject*>()) {
        child->blockSignals(true);
    }
}

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
    add(file, tr("&Read Map…"), QKeySequence::keyBindings(QKeySequence::Open),
        [this] { form_->btnOpenMapClick(); });
    add(file, tr("&Write Map"), QKeySequence::keyBindings(QKeySequence::Save),
        [this] { form_->writeToCurrentFile(); });
    add(file, tr("Write Map &As…"), {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
        [this] { form_->btnSaveMapClick(); });
    add(file, tr("&Export Picture…"), {}, [this] { exportPicture(); });
    add(file, tr("Export &Selection as Picture…"), {}, [this] { exportPicture(true); });
    file->addSeparator();
    add(file, tr("&Quit"), {QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this] { close(); });

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    QAction* undo = document_->undoStack()->createUndoAction(this, tr("Undo"));
    undo->setShortcuts(QKeySequence::Undo);
    QAction* redo = document_->undoStack()->createRedoAction(this, tr("Redo"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    add(edit, tr("Cu&t"), QKeySequence::keyBindings(QKeySequence::Cut), [this] { bulkEdits_->cut(); });
    add(edit, tr("&Copy"), QKeySequence::keyBindings(QKeySequence::Copy), [this] { bulkEdits_->copy(); });
    add(edit, tr("Copy &All Layers"), {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)},
        [this] { bulkEdits_->copyAllLayers(); });
    add(edit, tr("&Paste"), QKeySequence::keyBindings(QKeySequence::Paste), [this] { bulkEdits_->paste(); });
    edit->addSeparator();
    add(edit, tr("&Fill Selection…"), {}, [this] { bulkEdits_->fillSelection(); });
    add(edit, tr("&Replace…"), {QKeySequence(Qt::CTRL | Qt::Key_H)}, [this] { bulkEdits_->replace(); });
    add(edit, tr("Select &Same Value"), {}, [this] { bulkEdits_->selectSameValue(); });
    add(edit, tr("Select &None"), {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)}, [this] { selectNone(); });

    QMenu* view = menuBar()->addMenu(tr("&View"));
    add(view, tr("&Previous Layer"), {QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
        [this] { form_->btnMinusClick(); });
    add(view, tr("&Next Layer"), {QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
        [this] { form_->btnPlusClick(); });
    view->addSeparator();
    linesAction_ = add(view, tr("Show &Lines"), {}, [this](bool checked) { form_->setLinesShown(checked); });
    linesAction_->setCheckable(true);
    view->addSeparator();
    QAction* picture = mapDock_->toggleViewAction();
    picture->setText(tr("&Map Picture"));
    picture->setShortcut(QKeySequence(Qt::Key_F3));
    view->addAction(picture);
    add(view, tr("&Fit Map"), {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { mapPanel_->view()->fitMap(); });
    QAction* even = add(view, tr("&Even Columns Lower"), {},
                        [this](bool checked) { mapPanel_->view()->setEvenColumnsLower(checked); });
    even->setCheckable(true);
    QAction* cividis = add(view, tr("&Colour-Blind Palette"), {},
                           [this](bool checked) { mapPanel_->setColourBlind(checked); });
    cividis->setCheckable(true);
    // What the picture draws: the Layers list, hex labels and outlines.
    view->addSeparator();
    LayersPanel::addViewActions(*view, *mapPanel_);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    add(help, tr("&Keyboard Shortcuts"), {QKeySequence(QKeySequence::HelpContents)},
        [this] { showShortcuts(); });
    add(help, tr("&About"), {}, [this] {
        dialogs_.showMessage(this,
                             tr("ampedit %1\nThe map editor of Veldrock: reads, edits and writes \".amp\" "
                                "map files byte for byte.")
                                 .arg(QApplication::applicationVersion()));
    });
}

// The picture as it is on show (of the selection's rectangle alone, when asked),
// at a hex size the user picks, as a PNG through the safe writer.
void MainWindow::exportPicture(bool selectionOnly) {
    const QRect cells = selectionOnly ? mapPanel_->view()->selectionBounds() : QRect();
    if (selectionOnly && cells.isEmpty()) {
        dialogs_.messageBox(this, tr("Export Picture"), tr("Nothing is selected."));
        return;
    }
    int size = 12;
    if (!dialogs_.askNumber(this, tr("Export Picture"), tr("Hex size in pixels (centre to corner):"), size, 1,
                            64)) {
        return;
    }
    const QString fileName = dialogs_.saveFileName(
        this, {tr("Export Picture"), tr("PNG images (*.png)"), QStringLiteral("png"), QString()});
    if (fileName.isEmpty()) {
        return;
    }
    const DocumentResult written = writePicture(mapPanel_->view()->renderMap(size, cells), fileName);
    if (written.kind == DocumentResult::Kind::CannotWrite) {
        dialogs_.messageBox(this, tr("File Error"), tr("Write unsuccessful. The picture was not written."),
                            written.message);
    } else if (!written) {
        dialogs_.messageBox(this, tr("File Error"), written.message);
    }
}

bool MainWindow::offerRecovery() {
    for (const QString& path : RecoveryKeeper::orphans()) {
        QString why;
        const auto copy = RecoveryKeeper::readCopy(path, &why);
        if (!copy) {
            // Not a copy this program wrote whole: kept aside, never offered again.
            notices_->setNotice(path, RecoveryKeeper::setAside(path, why));
            continue;
        }
        const QString name = copy->fileName.isEmpty() ? tr("an unnamed map") : copy->fileName;
        switch (dialogs_.askRecover(this, name, copy->saved)) {
        case RecoveryChoice::Later:
            continue;
        case RecoveryChoice::Discard:
            RecoveryKeeper::discard(path);
            continue;
        case RecoveryChoice::Recover:
            break;
        }
        std::vector<MapDocument::TypedCell> typed;
        for (const auto& cell : copy->typed) {
            typed.push_back({cell.layer, cell.slot, cell.text});
        }
        if (!document_->recover(copy->bytes, typed, copy->fileName)) {
            continue;
        }
        RecoveryKeeper::discard(path);
        keeper_->writeNow(); // this editor's own copy, at once
        return true;
    }
    return false;
}

// The form's selection on the layer on show is the document's, which the picture
// shows.
void MainWindow::refreshPictureSelection() {
    std::vector<QRect> rectangles;
    if (const QItemSelectionModel* chosen = form_->currentGrid()->selectionModel()) {
        for (const QItemSelectionRange& range : chosen->selection()) {
            rectangles.emplace_back(QPoint(range.left(), range.top()), QPoint(range.right(), range.bottom()));
        }
    }
    document_->selection().select(form_->CurrentLayer(), rectangles);
    showPictureSelection();
}

void MainWindow::showPictureSelection() {
    const MapSelection& selection = document_->selection();
    mapPanel_->view()->setSelectionMask(selection.layer() == form_->CurrentLayer() ? selection.mask()
                                                                                   : std::vector<bool>());
}

// Edit > Select None and Esc in the picture: the current cell stays.
void MainWindow::selectNone() {
    if (QItemSelectionModel* chosen = form_->currentGrid()->selectionModel()) {
        chosen->clearSelection();
    }
    document_->selection().clear();
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
    lines << tr(
        "In the views: arrows move (Shift: select); typing replaces a cell; Enter and Tab keep it and "
        "move down or right (Shift: up or left); Ctrl+Enter gives it to every selected cell; Esc cancels; "
        "F2 or a double-click edits in place; Delete or Backspace sets the selected cells to 0; Ctrl+A "
        "selects all.");
    lines << tr(
        "In the picture: the wheel zooms; the middle button or Space and the left button pan; Shift+drag "
        "selects a rectangle; arrows move the selected hex.");
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
        status +=
            QStringLiteral(" · ") + QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
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

void MainWindow::refreshHexStatus() {
    hexLabel_->setText(hexStatus());
}

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
        keeper_->removeCopy(); // written or discarded: nothing to recover
        event->accept();
    } else {
        event->ignore();
    }
}
