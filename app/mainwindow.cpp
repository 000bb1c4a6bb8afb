// SPDX-License-Identifier: MIT
#include "mainwindow.h"
#include "actiontable.h"
#include "bulkedits.h"
#include "celltext.h"
#include "conflictsdock.h"
#include "differencesdock.h"
#include "diskwatcher.h"
#include "editorsettings.h"
#include "fairnesstools.h"
#include "hexmapview.h"
#include "layermodel.h"
#include "layerspanel.h"
#include "layerview.h"
#include "mapdocument.h"
#include "mapeditor.h"
#include "mapfileio.h"
#include "mappanel.h"
#include "mapselection.h"
#include "noticebar.h"
#include "picturefile.h"
#include "recoverykeeper.h"
#include "scriptfolders.h"
#include "scripttools.h"
#include "statisticsdock.h"
#include "symmetryactions.h"
#include "tfrmmaped.h"
#include "userdialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>
#include <QUndoView>

#include <algorithm>
#include <functional>

namespace {

constexpr int MapDockWidth = 380;
// Where the desktop has room to spare beside the form, the picture takes up to this.
constexpr int WidestDockWidth = 560;
constexpr int NarrowestDockWidth = 200;
// Each Zoom In or Out changes the picture's hex size by this factor.
constexpr double ZoomStep = 1.25;

} // namespace

MainWindow::MainWindow(UserDialogs& dialogs, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), settings_(std::make_unique<EditorSettings>()),
      editor_(new MapEditor(this)), document_(&editor_->document()), hexLabel_(new QLabel(this)),
      hoverLabel_(new QLabel(this)), selectionLabel_(new QLabel(this)), fileLabel_(new QLabel(this)) {
    statusBar()->addWidget(hexLabel_, 1);
    for (QLabel* label : {hoverLabel_, selectionLabel_}) {
        label->setContentsMargins(12, 0, 12, 0); // apart from their neighbours
    }
    statusBar()->addPermanentWidget(hoverLabel_);
    statusBar()->addPermanentWidget(selectionLabel_);
    statusBar()->addPermanentWidget(fileLabel_);
    mapPanel_ = new MapPanel(*document_, this);
    mapDock_ = new QDockWidget(tr("Map"), this);
    mapDock_->setObjectName(QStringLiteral("mapDock"));
    mapDock_->setWidget(mapPanel_);
    mapDock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetFloatable |
                          QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::RightDockWidgetArea, mapDock_);
    undoDock_ = new QDockWidget(tr("Undo History"), this);
    undoDock_->setObjectName(QStringLiteral("undoDock"));
    auto* history = new QUndoView(document_->undoStack(), undoDock_);
    history->setEmptyLabel(tr("<the map as read>"));
    undoDock_->setWidget(history);
    addDockWidget(Qt::RightDockWidgetArea, undoDock_);
    undoDock_->hide();
    statistics_ = new StatisticsDock(this);
    fairness_ = new FairnessTools(*mapPanel_->view(), dialogs_, this);
    actions_ = new ActionTable(*this);
    createMenus();
    // The form loads a map named on the command line as it is built: what follows
    // the document is connected first, and the window takes the form's size after.
    connect(document_, &MapDocument::modifiedChanged, this, &QWidget::setWindowModified);
    connect(document_, &MapDocument::fileNameChanged, this, &MainWindow::refreshFileName);
    connect(document_, &MapDocument::fileNameChanged, this, &MainWindow::rememberFile);
    connect(document_, &MapDocument::cellsChanged, this, &MainWindow::refreshHexStatus);
    // The status line and the picture follow the session's current hex.
    connect(editor_, &MapEditor::currentHexChanged, this, &MainWindow::refreshHexStatus);
    // The history's first entry is where it starts: a map read, or a new one.
    connect(document_, &MapDocument::mapReset, this, [this, history] {
        history->setEmptyLabel(document_->hasMap() && document_->fileName().isEmpty()
                                   ? tr("<a new map>")
                                   : tr("<the map as read>"));
    });
    // The recovery question comes before a map named on the command line.
    form_ = new TfrmMapEd(dialogs, *editor_, {arguments.value(0)}, this);
    form_->setDialogFolder(settings_->lastFolder());
    connect(form_, &TfrmMapEd::clientHeightChanged, this, &MainWindow::fitClientHeight);
    connect(form_, &TfrmMapEd::linesShownChanged, linesAction_, &QAction::setChecked);
    // The picture and the form show the same layer and the same hex.
    connect(form_, &TfrmMapEd::layerShown, mapPanel_, &MapPanel::setLayer);
    connect(form_, &TfrmMapEd::layerShown, this, &MainWindow::refreshHexStatus);
    connect(editor_, &MapEditor::currentHexChanged, mapPanel_->view(), [this](int column, int row) {
        if (column >= 0) {
            mapPanel_->view()->setSelectedHex(column, row);
        }
    });
    connect(mapPanel_->view(), &HexMapView::hexChosen, form_, &TfrmMapEd::selectHex);
    bulkEdits_ = new BulkEdits(*editor_, layerViews(), dialogs_, this);
    bulkEdits_->setBrushValue(
        [this] { return int(amp::lowByte(LayerModel::textValue(mapPanel_->view()->brushText()))); });
    bulkEdits_->setValueNames([this](int layer) { return mapPanel_->valueNames(layer); });
    connect(bulkEdits_, &BulkEdits::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    connect(mapPanel_->view(), &HexMapView::rectangleChosen, bulkEdits_, &BulkEdits::selectRectangle);
    connect(mapPanel_->view(), &HexMapView::floodRequested, this, [this](int column, int row) {
        const HexMapView* view = mapPanel_->view();
        editor_->setBrushText(view->brushText());
        editor_->floodFill(HexCell{column, row});
    });
    connect(mapPanel_->view(), &HexMapView::selectNoneRequested, this, &MainWindow::selectNone);
    connect(mapPanel_->view(), &HexMapView::hexHovered, this, [this](int column, int row) {
        hoverLabel_->setText(column < 0 ? QString() : hexName(column, row));
    });
    // The Symmetry menu, before Help.
    auto* symmetry = new SymmetryActions(*editor_, *mapPanel_->view(), dialogs_, this);
    symmetry->addActions(*actions_);
    connect(symmetry, &SymmetryActions::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    // The Tools menu (scripts and map checks), before Help, and its docks.
    scripts_ = new ScriptTools(*editor_, dialogs_, this);
    scripts_->addActions(*actions_);
    for (QAction* action : mapPanel_->actions()) { // the picture's own keys
        actions_->list(QStringLiteral("picture.") + action->text(), action, tr("In the picture"));
    }
    connect(scripts_, &ScriptTools::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    connect(scripts_, &ScriptTools::hexChosen, this, [this](int column, int row) {
        form_->selectHex(column, row);
        mapPanel_->view()->centreOn(column, row);
    });
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
    // then the form down to its narrowest (its views scroll), and only where the
    // picture does not fit beside that it floats.
    form_->setMinimumWidth(form_->minimumClientWidth());
    int dockWidth = MapDockWidth;
    int width = form_->width() + dockWidth;
    if (const QScreen* display = screen()) {
        const int available = display->availableGeometry().width();
        const int narrowest = std::max(NarrowestDockWidth, mapDock_->minimumSizeHint().width());
        dockWidth = std::clamp(available - form_->width(), narrowest, WidestDockWidth);
        if (form_->minimumWidth() + dockWidth > available) {
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
    // Hiding the docked picture (F3) gives its width back instead of leaving a
    // grey hole beside the form, and showing it takes it again; the focus never
    // falls on a header box, where the next key would change the map's header.
    // A picture that shares its place with other docks as a tab, or a window
    // maximised, keeps the window's size: only the tab changes.
    connect(mapDock_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (mapDock_->isFloating() || !isVisible() || visible == pictureShown_ ||
            !tabifiedDockWidgets(mapDock_).isEmpty() ||
            (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
            return;
        }
        pictureShown_ = visible;
        if (!visible) {
            hiddenDockWidth_ = mapDock_->width();
            widthWithPicture_ = this->width();
            resize(this->width() - hiddenDockWidth_, height());
            form_->currentGrid()->setFocus();
        } else if (hiddenDockWidth_ > 0) {
            resize(widthWithPicture_, height()); // as it was, form and picture
            resizeDocks({mapDock_}, {hiddenDockWidth_}, Qt::Horizontal);
        }
    });
    // The bars that tell of the file lie under the form, over the status line,
    // and the window grows by them: the views neither move nor lose a row.
    notices_ = new NoticeBar(this);
    addToolBar(Qt::BottomToolBarArea, notices_);
    connect(document_, &MapDocument::noted, this, [this](const QString& text) {
        notices_->setNotice(QStringLiteral("read"), text);
        if (!text.isEmpty()) {
            statusBar()->showMessage(text, 8000);
        }
    });
    // A write cut short by a crash is undone by the next read or write of that
    // file, whoever makes it: the user hears of it.
    amp::setRestoreNotice([this](const QString& path, const amp::JournalNotice& notice) {
        const QString text =
            notice.kind == amp::JournalNotice::Kind::PutBack
                ? tr("A write of %1 was cut short; its old content was put back first.")
                      .arg(QDir::toNativeSeparators(path))
                : tr("A write of %1 was cut short, but another program has written it since: its content "
                     "stays, and the journal of the old content was set aside as %2.")
                      .arg(QDir::toNativeSeparators(path),
                           QDir::toNativeSeparators(QFile::decodeName(notice.journal.c_str())));
        notices_->setNotice(QStringLiteral("restored ") + path, text);
        statusBar()->showMessage(text, 8000);
    });
    keeper_ = new RecoveryKeeper(*document_, this);
    connect(scripts_, &ScriptTools::aboutToRun, keeper_, &RecoveryKeeper::flush);
    connect(keeper_, &RecoveryKeeper::protectionChanged, this, [this](const QString& notice) {
        notices_->setNotice(QStringLiteral("recovery"), notice);
        if (!notice.isEmpty()) {
            statusBar()->showMessage(notice, 8000);
        }
    });
    auto* changedOnDisk = new QToolBar(tr("Changed on Disk"), this);
    changedOnDisk->setObjectName(QStringLiteral("changedOnDisk"));
    changedOnDisk->setMovable(false);
    addToolBar(Qt::BottomToolBarArea, changedOnDisk);
    for (QToolBar* bar : {static_cast<QToolBar*>(notices_), changedOnDisk}) {
        bar->installEventFilter(this);
    }
    watcher_ = new DiskWatcher(*editor_, changedOnDisk);
    connect(watcher_, &DiskWatcher::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    // The picture's choices of the last run; the form starts as it always does.
    PictureLayers picture = mapPanel_->view()->pictureLayers();
    settings_->readPictureLayers(picture);
    mapPanel_->view()->setPictureLayers(picture);
    evenAction_->setChecked(settings_->evenColumnsLower());
    colourBlindAction_->setChecked(settings_->colourBlind());
    restorePaintChoices();
    differences_ = new DifferencesDock(*editor_, layerViews(), *mapPanel_->view(), dialogs_, this);
    conflicts_ = new ConflictsDock(*editor_, layerViews(), *mapPanel_->view(), dialogs_, this);
    statistics_->setEditor(editor_);
    fairness_->setEditor(editor_);
    connect(fairness_, &FairnessTools::rulerText, this, [this](const QString& text) {
        if (text.isEmpty()) {
            statusBar()->clearMessage();
        } else {
            statusBar()->showMessage(text);
        }
    });
    // A map recovered from its copy is the map named on the command line, when
    // they are one file: reading that again would only ask to drop what was
    // just recovered.
    const bool recovered = offerRecovery();
    const QString named = arguments.value(1);
    const QString recoveredFile = QFileInfo(document_->fileName()).canonicalFilePath();
    if (!recovered || named.isEmpty() || recoveredFile.isEmpty() ||
        QFileInfo(named).canonicalFilePath() != recoveredFile) {
        form_->openFromArguments(arguments);
    }
    fitClientHeight(form_->height()); // the bars too stay on the desktop
    if (!restoreWindow()) {
        if (const QScreen* display = screen()) { // the window opens in the middle of the desktop
            move(display->availableGeometry().center() - rect().center());
        }
    }
}

LayerViews MainWindow::layerViews() const {
    TfrmMapEd* form = form_;
    return {[form](int layer) { return form->layerGrid(layer); },
            [form](int layer) { form->showLayerNumber(layer); },
            [form](int column, int row) { form->selectHex(column, row); },
            [form] { return form->mayDiscardEdits(); }};
}

bool MainWindow::restoreWindow() {
    const QByteArray geometry = settings_->windowGeometry();
    if (geometry.isEmpty()) {
        return false;
    }
    const QByteArray before = saveGeometry();
    const QRect placed = restoreGeometry(geometry) ? frameGeometry() : QRect();
    // The screen the window was left on, or the one that shows most of it; a
    // window left partly off it comes back whole on it, at its size where that fits.
    const QScreen* display = placed.isValid() ? QApplication::screenAt(placed.center()) : nullptr;
    for (const QScreen* other : QApplication::screens()) {
        const QRect shared = other->availableGeometry().intersected(placed);
        if (!display && !shared.isEmpty()) {
            display = other;
        }
    }
    if (!display) {
        restoreGeometry(before); // no screen shows any of it now: the usual place
        return false;
    }
    const QRect desktop = display->availableGeometry();
    const QSize frame = placed.size() - QWidget::geometry().size();
    resize(QWidget::geometry().size().boundedTo(desktop.size() - frame));
    const QSize outer = size() + frame;
    move(std::clamp(placed.left(), desktop.left(),
                    std::max(desktop.left(), desktop.right() + 1 - outer.width())),
         std::clamp(placed.top(), desktop.top(),
                    std::max(desktop.top(), desktop.bottom() + 1 - outer.height())));
    // The docks come back where they were; the bars that tell of a file show
    // only while they have something to tell, whatever the last run left.
    QHash<QToolBar*, bool> shown;
    for (QToolBar* bar : findChildren<QToolBar*>()) {
        shown.insert(bar, !bar->isHidden());
    }
    restoreState(settings_->windowState());
    for (auto bar = shown.cbegin(); bar != shown.cend(); ++bar) {
        bar.key()->setVisible(bar.value());
    }
    return true;
}

void MainWindow::saveSettings() {
    settings_->setWindow(saveGeometry(), saveState());
    settings_->setPicture(evenAction_->isChecked(), colourBlindAction_->isChecked());
    settings_->setPictureLayers(mapPanel_->view()->pictureLayers());
    EditorSettings::PaintChoices choices;
    const auto toggled = [this](const char* name) {
        const QAction* action = findChild<QAction*>(QString::fromLatin1(name));
        return action && action->isChecked();
    };
    choices.coordinates = toggled(LayersPanel::CoordinatesAction);
    choices.values = toggled(LayersPanel::ValuesAction);
    choices.outlines = toggled(LayersPanel::OutlinesAction);
    choices.shape = static_cast<int>(mapPanel_->view()->shape());
    choices.brushRadius = mapPanel_->view()->brushRadius();
    settings_->setPaintChoices(choices);
    settings_->sync();
}

// The View menu's toggles through their actions, so that the menu shows them.
void MainWindow::restorePaintChoices() {
    EditorSettings::PaintChoices choices;
    settings_->readPaintChoices(choices);
    const std::pair<const char*, bool> toggles[] = {{LayersPanel::CoordinatesAction, choices.coordinates},
                                                    {LayersPanel::ValuesAction, choices.values},
                                                    {LayersPanel::OutlinesAction, choices.outlines}};
    for (const auto& [name, on] : toggles) {
        if (QAction* action = findChild<QAction*>(QString::fromLatin1(name))) {
            action->setChecked(on);
        }
    }
    mapPanel_->setShape(static_cast<HexMapView::Shape>(choices.shape));
    mapPanel_->setBrushRadius(choices.brushRadius);
}

// A map read or written is the newest of the recent maps, and its folder is where
// the next file dialog starts.
void MainWindow::rememberFile() {
    const QString& name = document_->fileName();
    if (!name.isEmpty() && QFileInfo(name).isFile()) {
        settings_->addRecentMap(name);
        form_->setDialogFolder(settings_->lastFolder());
    }
}

void MainWindow::openRecent(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        settings_->removeRecentMap(path);
        dialogs_.inform(
            this, tr("Open Recent"),
            tr("%1 is no longer there; it was taken off the list.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (form_->mayDiscardEdits()) {
        form_->LoadMap(path);
    }
}

void MainWindow::openInNewTabs(const QStringList& paths) {
    if (paths.isEmpty() || !form_->mayDiscardEdits()) {
        return;
    }
    form_->LoadMap(paths.first());
    if (paths.size() > 1) {
        statusBar()->showMessage(tr("%n more map(s) not opened: the window shows one map at a time", nullptr,
                                    int(paths.size() - 1)),
                                 8000);
    }
}

// Window managers may only mark a window that asks for the focus from the
// background (X11's focus stealing prevention); it is asked all the same.
void MainWindow::takeHandOver(const QStringList& paths) {
    if (isMinimized()) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    }
    show();
    raise();
    activateWindow();
    openInNewTabs(paths);
}

// The map shipped with the program, to try the editor on; it opens as any map
// does (its folder is the system's, so it is written under another name).
void MainWindow::openSampleMap() {
    const QString sample = scriptfolders::sampleMap();
    if (sample.isEmpty()) {
        dialogs_.inform(this, tr("Open Sample Map"),
                        tr("The sample map is not installed: it is looked for as "
                           "share/ampedit/samples/demo.amp beside the program's folder."));
        return;
    }
    if (form_->mayDiscardEdits()) {
        form_->LoadMap(sample);
    }
}

void MainWindow::refreshRecentMenu() {
    recentMenu_->clear();
    const QStringList paths = settings_->recentMaps();
    for (int i = 0; i < paths.size(); ++i) {
        // &1 … &9, then &0 for the tenth, as menus of recent files number them.
        const QString text = QStringLiteral("&%1 %2").arg((i + 1) % 10).arg(QFileInfo(paths[i]).fileName());
        QAction* action = recentMenu_->addAction(text, this, [this, path = paths[i]] { openRecent(path); });
        action->setToolTip(QDir::toNativeSeparators(paths[i]));
        action->setStatusTip(action->toolTip());
    }
    if (paths.isEmpty()) {
        recentMenu_->addAction(tr("No Recent Maps"))->setEnabled(false);
    }
    recentMenu_->addSeparator();
    QAction* clear =
        recentMenu_->addAction(tr("&Clear Recent"), this, [this] { settings_->clearRecentMaps(); });
    clear->setEnabled(!paths.isEmpty());
}

bool MainWindow::compareWith(const QString& fileName) {
    return differences_->compareWith(fileName);
}

bool MainWindow::merge(const QString& base, const QString& ours, const QString& theirs,
                       const QString& output) {
    return conflicts_->merge(base, ours, theirs, output);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!picturePlaced_) { // once the form has laid out its views
        picturePlaced_ = true;
        placeFloatingPicture();
    }
    QMetaObject::invokeMethod(this, &MainWindow::keepOnScreen, Qt::QueuedConnection);
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
    // A dock that cannot be as low as that keeps its top on the views' top.
    mapDock_->move(
        mapToGlobal(QPoint(areaTopLeft.x(), std::max(top, bottom - mapDock_->frameGeometry().height()))));
}

MainWindow::~MainWindow() {
    amp::setRestoreNotice({});
    // Children still send signals while they are torn down (a view's selection,
    // a layer's reset); by then this window no longer listens.
    for (QObject* child : findChildren<QObject*>()) {
        child->blockSignals(true);
    }
}

// The window's own commands; symmetry, the tools and the picture's choices
// declare theirs where they are wired.
void MainWindow::createMenus() {
    ActionTable& t = *actions_;
    t.addMenu(QStringLiteral("file"), tr("&File"));
    t.add(QStringLiteral("file"), QStringLiteral("file.new"), tr("&New Map…"),
          QKeySequence::keyBindings(QKeySequence::New), [this](bool) { form_->newMap(); });
    t.add(QStringLiteral("file"), QStringLiteral("file.read"), tr("&Read Map…"),
          QKeySequence::keyBindings(QKeySequence::Open), [this](bool) { form_->btnOpenMapClick(); });
    recentMenu_ = t.addMenu(QStringLiteral("file.recent"), tr("Open Recen&t"), QStringLiteral("file"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::refreshRecentMenu);
    t.add(QStringLiteral("file"), QStringLiteral("file.write"), tr("&Write"),
          QKeySequence::keyBindings(QKeySequence::Save), [this](bool) { form_->writeToCurrentFile(); });
    t.add(QStringLiteral("file"), QStringLiteral("file.writeAs"), tr("Write Map &As…"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}, [this](bool) { form_->btnSaveMapClick(); });
    t.add(QStringLiteral("file"), QStringLiteral("file.exportPicture"), tr("&Export Picture…"),
          {QKeySequence(Qt::CTRL | Qt::Key_E)}, [this](bool) { exportPicture(); });
    t.add(QStringLiteral("file"), QStringLiteral("file.compare"), tr("Co&mpare With…"), {},
          [this](bool) { differences_->chooseAndCompare(); });
    t.add(QStringLiteral("file"), QStringLiteral("file.swapCompared"), tr("Swa&p Compared Maps"), {},
          [this](bool) { differences_->swapMaps(); });
    t.add(QStringLiteral("file"), QStringLiteral("file.merge"), tr("Mer&ge…"), {},
          [this](bool) { conflicts_->chooseAndMerge(); });
    t.add(QStringLiteral("file"), QStringLiteral("file.exportSelection"), tr("Export &Selection as Picture…"),
          {}, [this](bool) { exportPicture(true); });
    t.addSeparator(QStringLiteral("file"));
    t.add(QStringLiteral("file"), QStringLiteral("file.quit"), tr("&Quit"),
          {QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this](bool) { close(); });

    t.addMenu(QStringLiteral("edit"), tr("&Edit"));
    undoAction_ = document_->undoStack()->createUndoAction(this, tr("Undo"));
    undoAction_->setShortcuts(ActionTable::keysOnKeyboards(QKeySequence::keyBindings(QKeySequence::Undo)));
    t.place(QStringLiteral("edit"), QStringLiteral("edit.undo"), undoAction_, tr("Undo"));
    redoAction_ = document_->undoStack()->createRedoAction(this, tr("Redo"));
    redoAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    t.place(QStringLiteral("edit"), QStringLiteral("edit.redo"), redoAction_, tr("Redo"));
    QAction* history = undoDock_->toggleViewAction();
    history->setText(tr("Undo &History"));
    t.place(QStringLiteral("edit"), QStringLiteral("edit.history"), history);
    t.addSeparator(QStringLiteral("edit"));
    t.add(QStringLiteral("edit"), QStringLiteral("edit.cut"), tr("Cu&t"),
          QKeySequence::keyBindings(QKeySequence::Cut), [this](bool) { bulkEdits_->cut(); });
    t.add(QStringLiteral("edit"), QStringLiteral("edit.copy"), tr("&Copy"),
          QKeySequence::keyBindings(QKeySequence::Copy), [this](bool) { bulkEdits_->copy(); });
    t.add(QStringLiteral("edit"), QStringLiteral("edit.copyAllLayers"), tr("Copy &All Layers"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)}, [this](bool) { bulkEdits_->copyAllLayers(); });
    t.add(QStringLiteral("edit"), QStringLiteral("edit.paste"), tr("&Paste"),
          QKeySequence::keyBindings(QKeySequence::Paste), [this](bool) { bulkEdits_->paste(); });
    t.addSeparator(QStringLiteral("edit"));
    t.add(QStringLiteral("edit"), QStringLiteral("edit.fill"), tr("&Fill Selection…"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}, [this](bool) { bulkEdits_->fillSelection(); });
    t.add(QStringLiteral("edit"), QStringLiteral("edit.replace"), tr("&Replace…"),
          {QKeySequence(Qt::CTRL | Qt::Key_H)}, [this](bool) { bulkEdits_->replace(); });
    t.add(QStringLiteral("edit"), QStringLiteral("edit.selectSame"), tr("Select &Same Value"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M)}, [this](bool) { bulkEdits_->selectSameValue(); });
    t.add(QStringLiteral("edit"), QStringLiteral("edit.selectAll"), tr("Select A&ll"),
          QKeySequence::keyBindings(QKeySequence::SelectAll), [this](bool) { selectAll(); });
    t.add(QStringLiteral("edit"), QStringLiteral("edit.selectNone"), tr("Select &None"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)}, [this](bool) { selectNone(); });
    t.add(QStringLiteral("edit"), QStringLiteral("edit.goToHex"), tr("&Go to Hex…"),
          {QKeySequence(Qt::CTRL | Qt::Key_G)}, [this](bool) { goToHex(); });
    t.addMenu(QStringLiteral("edit.takeTheirs"), tr("Ta&ke Theirs"), QStringLiteral("edit"));
    const struct {
        const char* id;
        const char* text;
        MapComparison::Scope scope;
    } takes[] = {{"edit.takeTheirs.hex", QT_TR_NOOP("&Hex"), MapComparison::Scope::Hex},
                 {"edit.takeTheirs.selection", QT_TR_NOOP("&Selection"), MapComparison::Scope::Selection},
                 {"edit.takeTheirs.layer", QT_TR_NOOP("&Layer"), MapComparison::Scope::Layer},
                 {"edit.takeTheirs.all", QT_TR_NOOP("&All"), MapComparison::Scope::All}};
    // While a merge is settled, theirs is the merge's; otherwise the compared map's.
    for (const auto& take : takes) {
        t.add(QStringLiteral("edit.takeTheirs"), QString::fromLatin1(take.id), tr(take.text), {},
              [this, scope = take.scope](bool) {
                  if (editor_->isMerging()) {
                      conflicts_->take(MapMerge::Side::Theirs, scope);
                  } else {
                      differences_->takeTheirs(scope);
                  }
              });
    }
    // The merge's other two sides.
    const struct {
        const char* menu;
        const char* title;
        MapMerge::Side side;
    } sides[] = {{"edit.takeOurs", QT_TR_NOOP("Take O&urs"), MapMerge::Side::Ours},
                 {"edit.takeBase", QT_TR_NOOP("Take &Base"), MapMerge::Side::Base}};
    for (const auto& side : sides) {
        const QString menu = QString::fromLatin1(side.menu);
        t.addMenu(menu, tr(side.title), QStringLiteral("edit"));
        for (const auto& take : takes) {
            const QString id =
                menu + QString::fromLatin1(take.id).mid(QStringLiteral("edit.takeTheirs").size());
            t.add(menu, id, tr(take.text), {},
                  [this, s = side.side, scope = take.scope](bool) { conflicts_->take(s, scope); });
        }
    }

    t.addMenu(QStringLiteral("view"), tr("&View"));
    t.add(QStringLiteral("view"), QStringLiteral("view.previousLayer"), tr("&Previous Layer"),
          {QKeySequence(Qt::CTRL | Qt::Key_PageUp)}, [this](bool) { form_->btnMinusClick(); });
    t.add(QStringLiteral("view"), QStringLiteral("view.nextLayer"), tr("&Next Layer"),
          {QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, [this](bool) { form_->btnPlusClick(); });
    t.addSeparator(QStringLiteral("view"));
    linesAction_ =
        t.add(QStringLiteral("view"), QStringLiteral("view.lines"), tr("Show &Lines"),
              {QKeySequence(Qt::CTRL | Qt::Key_L)}, [this](bool checked) { form_->setLinesShown(checked); });
    linesAction_->setCheckable(true);
    t.addSeparator(QStringLiteral("view"));
    QAction* picture = mapDock_->toggleViewAction();
    picture->setText(tr("&Map Picture"));
    picture->setShortcut(QKeySequence(Qt::Key_F3));
    t.place(QStringLiteral("view"), QStringLiteral("view.picture"), picture);
    t.add(QStringLiteral("view"), QStringLiteral("view.fitMap"), tr("&Fit Map"),
          {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this](bool) { mapPanel_->view()->fitMap(); });
    const auto zoom = [this](double factor) {
        HexMapView* picture = mapPanel_->view();
        picture->zoomAt(picture->hexSize() * factor,
                        QPointF(picture->width() / 2.0, picture->height() / 2.0));
    };
    t.add(QStringLiteral("view"), QStringLiteral("view.zoomIn"), tr("Zoom &In"),
          {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)},
          [zoom](bool) { zoom(ZoomStep); });
    t.add(QStringLiteral("view"), QStringLiteral("view.zoomOut"), tr("Zoom &Out"),
          {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [zoom](bool) { zoom(1 / ZoomStep); });
    evenAction_ = t.addToggle(QStringLiteral("view"), QStringLiteral("view.evenColumnsLower"),
                              tr("&Even Columns Lower"), {}, [this](bool checked) {
                                  editor_->setEvenColumnsLower(checked);
                                  mapPanel_->view()->setEvenColumnsLower(checked);
                              });
    colourBlindAction_ =
        t.addToggle(QStringLiteral("view"), QStringLiteral("view.colourBlind"), tr("&Colour-Blind Palette"),
                    {}, [this](bool checked) { mapPanel_->setColourBlind(checked); });
    t.addSeparator(QStringLiteral("view"));
    t.add(QStringLiteral("view"), QStringLiteral("view.nextDifference"), tr("Next &Difference"),
          {QKeySequence(Qt::Key_F8)}, [this](bool) { stepDifferenceOrConflict(1); });
    t.add(QStringLiteral("view"), QStringLiteral("view.previousDifference"), tr("Pre&vious Difference"),
          {QKeySequence(Qt::SHIFT | Qt::Key_F8)}, [this](bool) { stepDifferenceOrConflict(-1); });
    // What the picture draws: the Layers list, hex labels and outlines.
    t.addSeparator(QStringLiteral("view"));
    LayersPanel::addViewActions(t, QStringLiteral("view"), *mapPanel_);

    t.addMenu(QStringLiteral("map"), tr("&Map"));
    t.add(QStringLiteral("map"), QStringLiteral("map.resize"), tr("&Resize…"), {},
          [this](bool) { resizeMap(); });
    t.add(QStringLiteral("map"), QStringLiteral("map.headerBytes"), tr("Header &Bytes…"), {},
          [this](bool) { editHeaderBytes(); });
    fairness_->addActions(t, QStringLiteral("map"), [this] { mapPanel_->setTool(HexMapView::Tool::Ruler); });
    QAction* statistics = statistics_->toggleViewAction();
    statistics->setText(tr("&Statistics"));
    t.place(QStringLiteral("map"), QStringLiteral("map.statistics"), statistics);

    t.addMenu(QStringLiteral("help"), tr("&Help"));
    t.add(QStringLiteral("help"), QStringLiteral("help.shortcuts"), tr("&Keyboard Shortcuts"),
          {QKeySequence(QKeySequence::HelpContents)}, [this](bool) { showShortcuts(); });
    t.add(QStringLiteral("help"), QStringLiteral("help.sample"), tr("Open &Sample Map"), {},
          [this](bool) { openSampleMap(); });
    t.add(QStringLiteral("help"), QStringLiteral("help.about"), tr("&About"), {}, [this](bool) {
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
    // A picture of a private map is as private as the map.
    const DocumentResult written = writePicture(mapPanel_->view()->renderMap(size, cells), fileName,
                                                amp::modeMadeFrom(document_->fileName()));
    if (written.kind == DocumentResult::Kind::CannotWrite) {
        dialogs_.inform(this, tr("File Error"), tr("Write unsuccessful. The picture was not written."),
                        written.message);
    } else if (!written) {
        dialogs_.inform(this, tr("File Error"), written.message);
    }
}

// The copies are held while they are offered: an editor started meanwhile
// (with --new-instance) neither offers nor removes them.
bool MainWindow::offerRecovery() {
    for (RecoveryKeeper::Claim& claim : RecoveryKeeper::claimOrphans()) {
        QString why;
        const auto copy = RecoveryKeeper::readCopy(claim.path, &why);
        if (!copy) {
            // Not a copy this program wrote whole: kept aside, never offered again.
            const QString path = claim.path;
            notices_->setNotice(path, RecoveryKeeper::setAside(claim, why));
            continue;
        }
        const QString name =
            copy->fileName.isEmpty() ? tr("an unnamed map") : QDir::toNativeSeparators(copy->fileName);
        switch (dialogs_.askRecover(this, name, copy->saved)) {
        case RecoveryChoice::Later:
            continue;
        case RecoveryChoice::Discard:
            RecoveryKeeper::discard(claim);
            continue;
        case RecoveryChoice::Recover:
            break;
        }
        std::vector<MapDocument::TypedCell> typed;
        for (const auto& cell : copy->typed) {
            typed.push_back({cell.layer, cell.slot, cell.text});
        }
        if (!editor_->recover(copy->bytes, typed, copy->fileName)) {
            continue;
        }
        keeper_->writeNow(); // this editor's own copy first, then the old one goes
        RecoveryKeeper::discard(claim);
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
    selectionLabel_->setText(selectionStatus());
    mapPanel_->view()->setSelectionMask(selection.layer() == form_->CurrentLayer() ? selection.mask()
                                                                                   : std::vector<bool>());
}

// Edit > Select All (Ctrl+A in a view or the picture): every hex of the layer on
// show, the current one staying.
void MainWindow::selectAll() {
    form_->currentGrid()->selectAll();
}

// Map > Header Bytes: the bytes other than the shape (0, 1, 3, 5 and 6), as one
// undo step; the form's boxes show them and stay read-only.
void MainWindow::editHeaderBytes() {
    if (!document_->hasMap()) {
        dialogs_.inform(this, tr("Header Bytes"),
                        tr("There is no map yet: read a map or make a new one first."));
        return;
    }
    amp::MapHeader header = document_->header();
    if (!dialogs_.askHeaderBytes(this, header)) {
        return;
    }
    if (!document_->editMap(tr("Header bytes"), {}, header)) {
        statusBar()->showMessage(tr("The header bytes are as they were."), 8000);
    }
}

// Edit > Select None and Esc in the picture: the current cell stays.
void MainWindow::selectNone() {
    if (QItemSelectionModel* chosen = form_->currentGrid()->selectionModel()) {
        chosen->clearSelection();
    }
    document_->selection().clear();
}

// The commands of the table, then the keys of the views and of the picture
// that no action holds.
QList<ShortcutRow> MainWindow::shortcutRows() const {
    QList<ShortcutRow> rows = actions_->shortcutRows();
    rows.append({tr("Fill the selected cells with what is typed"), tr("Ctrl+Enter"), tr("In a view")});
    rows.append({tr("Edit the cell, keeping its text"), tr("F2, double-click"), tr("In a view")});
    rows.append({tr("Keep what is typed and move down or right (Shift: up or left)"), tr("Enter, Tab"),
                 tr("In a view")});
    rows.append({tr("Set the selected cells to 0"), tr("Delete, Backspace"), tr("In a view")});
    rows.append({tr("Drop what is typed, or the selection"), tr("Esc"), tr("In a view")});
    rows.append({tr("Select all; move (Shift: select)"), tr("Ctrl+A; arrows"), tr("In a view")});
    rows.append(
        {tr("Zoom; pan"), tr("wheel; middle button, or Space and the left button"), tr("In the picture")});
    rows.append({tr("Select a rectangle"), tr("Shift+drag"), tr("In the picture")});
    rows.append({tr("Eyedropper: take the value under the cursor for the brush"), tr("Alt+click, I"),
                 tr("In the picture")});
    rows.append({tr("Move the selected hex; select nothing"), tr("arrows; Esc"), tr("In the picture")});
    rows.append({tr("Turn the stamp a sixth; the other way"), tr("Z, Shift+Z"), tr("While stamping")});
    rows.append({tr("Flip the stamp left–right; top–bottom"), tr("X, Y"), tr("While stamping")});
    rows.append({tr("Put the stamp away"), tr("Esc"), tr("While stamping")});
    return rows;
}

void MainWindow::showShortcuts() {
    dialogs_.showShortcuts(this, shortcutRows());
}

// "hex 12,7 · Forest · 3 0 0 0 41 0 2 0 0 0 0 0 0": the hex, its terrain name
// (left out for a value without one) and the values of its 13 cells.
QString MainWindow::hexStatus() const {
    const LayerModel* terrain = document_->layer(amp::TerrainLayer);
    const std::optional<HexCell> hex = editor_->currentHex();
    if (!hex || hex->column >= terrain->columns() || hex->row >= terrain->rows()) {
        return {};
    }
    const int column = hex->column;
    const int row = hex->row;
    QString status = hexName(column, row) + QStringLiteral(" ·");
    for (int i = 0; i < amp::LayerCount; ++i) {
        status += ' ' + QString::number(document_->layer(i)->cellValue(column, row));
    }
    // A typed value that a write cannot keep: the byte it becomes.
    const LayerModel* shown = document_->layer(form_->CurrentLayer());
    const std::int32_t value = shown->cellValue(column, row);
    const std::uint8_t byte = shown->cellByte(column, row);
    if (value != byte) {
        status += tr(" · %1 → writes %2").arg(value).arg(byte);
    }
    return status;
}

// "hex 12,7 · Forest", or "hex 12,7 · unknown terrain 81" for a value without a name.
QString MainWindow::hexName(int column, int row) const {
    const std::int32_t value = document_->layer(amp::TerrainLayer)->cellValue(column, row);
    const std::string_view name = amp::terrainName(value);
    return tr("hex %1,%2").arg(column).arg(row) + QStringLiteral(" · ") +
           (name.empty() ? tr("unknown terrain %1").arg(value)
                         : QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
}

QString MainWindow::hoverStatus() const {
    return hoverLabel_->text();
}

// "3 × 2 hexes selected" for a rectangle, "7 hexes selected" for several; nothing
// for the one hex the cursor stands on.
QString MainWindow::selectionStatus() const {
    const MapSelection& selection = document_->selection();
    const int count = selection.cellCount();
    if (count <= 1) {
        return {};
    }
    if (selection.rectangles().size() == 1) {
        const QRect& only = selection.rectangles().front();
        return tr("%1 × %2 hexes selected").arg(only.width()).arg(only.height());
    }
    return tr("%1 hexes selected").arg(count);
}

// Map > Resize: the new size and the part that stays put, one undo step.
void MainWindow::resizeMap() {
    int columns = document_->columns();
    int rows = document_->rows();
    int anchor = 0;
    if (!dialogs_.askResize(this, columns, rows, anchor)) {
        return;
    }
    const DocumentResult resized =
        document_->resize(columns, rows, static_cast<MapDocument::Anchor>(std::clamp(anchor, 0, 8)));
    if (!resized && resized.kind != DocumentResult::Kind::Unchanged) {
        dialogs_.inform(this, tr("Resize Map"), resized.message);
    }
}

// Edit > Go to Hex: "12,7" or "12 7" selects that hex in the view on show and
// centres the picture on it.
void MainWindow::goToHex() {
    QString text = goToText_;
    if (!dialogs_.askText(this, tr("Go to Hex"), tr("Hex (column,row):"), text)) {
        return;
    }
    // The session reads the text and makes the hex the current one.
    const DocumentResult went = editor_->goToHex(text);
    if (!went) {
        dialogs_.inform(this, tr("Go to Hex"), went.message);
        return;
    }
    goToText_ = text;
    const HexCell hex = editor_->currentHex().value_or(HexCell{0, 0});
    form_->selectHex(hex.column, hex.row); // scrolled into view even when it was the current hex already
    mapPanel_->view()->centreOn(hex.column, hex.row);
    // What is typed next goes into that hex's cell.
    form_->currentGrid()->setFocus(Qt::OtherFocusReason);
}

void MainWindow::refreshHexStatus() {
    hexLabel_->setText(hexStatus());
}

void MainWindow::refreshFileName() {
    const QString& name = document_->fileName();
    fileLabel_->setText(QFileInfo(name).fileName());
    fileLabel_->setToolTip(QDir::toNativeSeparators(name));
}

// The form asks for its client height; the window adds its bars, but never grows
// past the screen.
void MainWindow::fitClientHeight(int formHeight) {
    formHeight_ = formHeight;
    // A docked picture is as high as the form; its legend does not stretch the window.
    mapPanel_->setHeightLimit(mapDock_->isFloating() ? QWIDGETSIZE_MAX : formHeight);
    int height = formHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    for (const QToolBar* bar : findChildren<QToolBar*>()) {
        if (!bar->isHidden() && toolBarArea(bar) == Qt::BottomToolBarArea) {
            height += bar->sizeHint().height();
        }
    }
    if (const QScreen* display = screen()) {
        const int frame = std::max(frameGeometry().height() - geometry().height(), 0);
        height = std::min(height, display->availableGeometry().height() - frame);
    }
    // A maximised or full-screen window stays so; a height the user gave the
    // window stays while it shows the whole form.
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen) ||
        (heightByHand_ && this->height() >= height)) {
        return;
    }
    heightByHand_ = false;
    fittedHeight_ = height;
    resize(width(), height);
}

// A height the window did not take from the form is the user's.
void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // Grown by its layout past the desktop (a dock shown): made to fit again.
    if (const QScreen* display = screen(); display && !keepQueued_ &&
                                           (event->size().height() > display->availableGeometry().height() ||
                                            event->size().width() > display->availableGeometry().width())) {
        keepQueued_ = true;
        QMetaObject::invokeMethod(this, &MainWindow::keepOnScreen, Qt::QueuedConnection);
    }
    if (isVisible() && !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) &&
        event->size().height() != fittedHeight_ && event->oldSize().height() != event->size().height()) {
        heightByHand_ = true;
    }
}

// The window never grows past the room the desktop has for it, whatever is
// shown: docks beside the form that would make it too large share the picture's
// place as tabs, and a window that grew anyway (a dock shown, a list opened in
// the picture's dock) is made no larger than the room again, on the desktop.
void MainWindow::keepOnScreen() {
    keepQueued_ = false;
    const QScreen* display = screen();
    if (!display || !isVisible()) {
        return;
    }
    const QRect desktop = display->availableGeometry();
    const QSize frame = (frameGeometry().size() - QWidget::geometry().size()).expandedTo(QSize(0, 0));
    const QSize room = desktop.size() - frame;
    const auto fits = [this, room] {
        const QSize least = minimumSizeHint().expandedTo(minimumSize());
        return least.width() <= room.width() && least.height() <= room.height();
    };
    if (QLayout* laidOut = layout()) {
        laidOut->activate(); // the sizes of what was just shown
    }
    for (QDockWidget* dock : findChildren<QDockWidget*>()) {
        if (fits()) {
            break;
        }
        if (dock != mapDock_ && !dock->isHidden() && !dock->isFloating() && !mapDock_->isFloating() &&
            dockWidgetArea(dock) == dockWidgetArea(mapDock_) &&
            !tabifiedDockWidgets(mapDock_).contains(dock)) {
            tabifyDockWidget(mapDock_, dock);
            dock->raise();
        }
    }
    if (const QSize fitted = size().boundedTo(room); fitted != size()) {
        // A maximised window too, when its layout grew it past the desktop; it
        // stays maximised.
        const Qt::WindowStates state = windowState();
        resize(fitted);
        setWindowState(state);
    }
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        return;
    }
    const QRect outer = frameGeometry();
    const QPoint inside(std::clamp(outer.left(), desktop.left(),
                                   std::max(desktop.left(), desktop.right() + 1 - outer.width())),
                        std::clamp(outer.top(), desktop.top(),
                                   std::max(desktop.top(), desktop.bottom() + 1 - outer.height())));
    if (inside != outer.topLeft()) {
        move(inside);
    }
}

bool MainWindow::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    // A dock shown or hidden, a panel opened in one: the sizes were laid out anew.
    if (event->type() == QEvent::LayoutRequest && !keepQueued_) {
        keepQueued_ = true;
        QMetaObject::invokeMethod(this, &MainWindow::keepOnScreen, Qt::QueuedConnection);
    }
    return handled;
}

// A bar under the form that shows or goes: the window's height follows it.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && formHeight_ > 0) {
        QMetaObject::invokeMethod(
            this, [this] { fitClientHeight(formHeight_); }, Qt::QueuedConnection);
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (form_->mayDiscardEdits()) {
        keeper_->removeCopy(); // written or discarded: nothing to recover
        saveSettings();
        event->accept();
    } else {
        event->ignore();
    }
}

// F8 steps through the conflicts left while a merge is settled, through the
// differences otherwise.
void MainWindow::stepDifferenceOrConflict(int step) {
    if (editor_->isMerging()) {
        conflicts_->stepConflict(step);
    } else {
        differences_->stepDifference(step);
    }
}
