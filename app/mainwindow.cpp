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
#include "filenames.h"
#include "hexmapview.h"
#include "layermodel.h"
#include "layerspanel.h"
#include "layerview.h"
#include "mapdocument.h"
#include "mapeditor.h"
#include "mapfileio.h"
#include "mappanel.h"
#include "mapselection.h"
#include "maptab.h"
#include "noticebar.h"
#include "picturefile.h"
#include "recoverykeeper.h"
#include "scriptfolders.h"
#include "scripttools.h"
#include "statisticsdock.h"
#include "symmetryactions.h"
#include "tfrmmaped.h"
#include "userdialogs.h"
#include "valuebox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
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
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QUndoGroup>
#include <QUndoStack>
#include <QUndoView>
#include <QVBoxLayout>

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
      program_(arguments.value(0)), hexLabel_(new QLabel(this)), hoverLabel_(new QLabel(this)),
      selectionLabel_(new QLabel(this)), fileLabel_(new QLabel(this)) {
    statusBar()->addWidget(hexLabel_, 1);
    for (QLabel* label : {hoverLabel_, selectionLabel_}) {
        label->setContentsMargins(12, 0, 12, 0); // apart from their neighbours
    }
    statusBar()->addPermanentWidget(hoverLabel_);
    statusBar()->addPermanentWidget(selectionLabel_);
    statusBar()->addPermanentWidget(fileLabel_);
    // A tab per open map over the stack of their forms; the Map dock stacks their
    // pictures the same way. With one map open the bar is hidden: the window is
    // the form and its picture, as it always was.
    auto* centre = new QWidget(this);
    auto* column = new QVBoxLayout(centre);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    tabBar_ = new QTabBar(centre);
    tabBar_->setObjectName(QStringLiteral("mapTabs"));
    tabBar_->setMovable(true);
    tabBar_->setTabsClosable(true);
    tabBar_->setDocumentMode(true);
    tabBar_->setExpanding(false);
    tabBar_->setContextMenuPolicy(Qt::CustomContextMenu);
    tabBar_->installEventFilter(this);
    tabBar_->hide();
    forms_ = new QStackedWidget(centre);
    column->addWidget(tabBar_);
    column->addWidget(forms_, 1);
    panels_ = new QStackedWidget(this);
    undoGroup_ = new QUndoGroup(this);
    notices_ = new NoticeBar(this);
    addToolBar(Qt::BottomToolBarArea, notices_);
    notices_->installEventFilter(this);
    mapDock_ = new QDockWidget(tr("Map"), this);
    mapDock_->setObjectName(QStringLiteral("mapDock"));
    mapDock_->setWidget(panels_);
    mapDock_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetFloatable |
                          QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::RightDockWidgetArea, mapDock_);
    undoDock_ = new QDockWidget(tr("Undo History"), this);
    undoDock_->setObjectName(QStringLiteral("undoDock"));
    history_ = new QUndoView(undoGroup_, undoDock_);
    history_->setEmptyLabel(tr("<the map as read>"));
    undoDock_->setWidget(history_);
    addDockWidget(Qt::RightDockWidgetArea, undoDock_);
    undoDock_->hide();
    statistics_ = new StatisticsDock(this);
    fairness_ = new FairnessTools(dialogs_, this);
    actions_ = new ActionTable(*this);
    createMenus();
    connect(tabBar_, &QTabBar::currentChanged, this, [this](int index) {
        if (MapTab* tab = tabAt(index)) {
            showTab(tab);
        }
    });
    connect(tabBar_, &QTabBar::tabCloseRequested, this, [this](int index) { closeTab(tabAt(index)); });
    connect(tabBar_, &QTabBar::customContextMenuRequested, this, &MainWindow::showTabMenu);
    // The first tab: the form loads a map named on the command line as it is
    // built, after the recovery question.
    showTab(makeTab());
    // The picture and the form of the first map set the window's icon and size.
    setCentralWidget(centre);
    // The title is the form's caption, with "*" after it while edits are unwritten.
    setWindowTitle(form_->windowTitle() + QStringLiteral("[*]"));
    setWindowIcon(form_->windowIcon());
    QApplication::setWindowIcon(form_->windowIcon()); // for windows of their own, such as dialogs
    // The Symmetry menu, before Help.
    symmetry_ = new SymmetryActions(*editor_, *mapPanel_->view(), dialogs_, this);
    symmetry_->addActions(*actions_);
    connect(symmetry_, &SymmetryActions::message, this,
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
    connect(scripts_, &ScriptTools::aboutToRun, this, [this] { keeper_->flush(); });
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
    // The picture's choices of the last run; the form starts as it always does.
    PictureLayers picture = mapPanel_->view()->pictureLayers();
    settings_->readPictureLayers(picture);
    mapPanel_->view()->setPictureLayers(picture);
    evenAction_->setChecked(settings_->evenColumnsLower());
    colourBlindAction_->setChecked(settings_->colourBlind());
    restorePaintChoices();
    differences_ = new DifferencesDock(*editor_, current_->views, *mapPanel_->view(), dialogs_, this);
    conflicts_ = new ConflictsDock(*editor_, current_->views, *mapPanel_->view(), dialogs_, this);
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
    if (!recovered || !namesSameFile(named, document_->fileName())) {
        form_->openFromArguments(arguments);
    }
    // Further maps named open behind the first, which stays on show.
    openInTabs(arguments.mid(2), false);
    fitClientHeight(form_->height()); // the bars too stay on the desktop
    if (!restoreWindow()) {
        if (const QScreen* display = screen()) { // the window opens in the middle of the desktop
            move(display->availableGeometry().center() - rect().center());
        }
    }
}

// A tab of its own for a map: its session, form and picture, wired to each
// other here once; what the shell shows of it (the status line, the caption's
// "*", the Undo History) follows only the tab on show.
MapTab* MainWindow::makeTab() {
    auto* tab = new MapTab(this);
    tab->editor = new MapEditor(tab);
    MapEditor* editor = tab->editor;
    MapDocument* document = &editor->document();
    tab->panel = new MapPanel(*document, panels_);
    MapPanel* panel = tab->panel;
    panels_->addWidget(panel);
    if (fairness_) {
        fairness_->attach(*panel->view(), *editor);
    }
    undoGroup_->addStack(document->undoStack());
    connect(document, &MapDocument::modifiedChanged, this, [this, tab](bool modified) {
        if (tab == current_) {
            setWindowModified(modified);
        }
        refreshTabText(tab);
    });
    connect(document, &MapDocument::fileNameChanged, this, [this, tab] {
        if (tab == current_) {
            refreshFileName();
        }
        refreshTabText(tab);
        rememberFile(tab->path());
    });
    const auto refreshIfShown = [this, tab] {
        if (tab == current_) {
            refreshHexStatus();
        }
    };
    connect(document, &MapDocument::cellsChanged, this, refreshIfShown);
    connect(editor, &MapEditor::currentHexChanged, this, refreshIfShown);
    connect(document, &MapDocument::mapReset, this, [this, tab] {
        if (tab == current_) {
            refreshHistoryLabel();
        }
    });
    connect(document, &MapDocument::noted, this, [this](const QString& text) {
        notices_->setNotice(QStringLiteral("read"), text);
        if (!text.isEmpty()) {
            statusBar()->showMessage(text, 8000);
        }
    });
    tab->form = new TfrmMapEd(dialogs_, *editor, {program_}, forms_);
    TfrmMapEd* form = tab->form;
    tab->views = {[form](int layer) { return form->layerGrid(layer); },
                  [form](int layer) { form->showLayerNumber(layer); },
                  [form](int column, int row) { form->selectHex(column, row); },
                  [form] { return form->mayDiscardEdits(); }};
    forms_->addWidget(form);
    form->setDialogFolder(settings_->lastFolder());
    connect(form, &TfrmMapEd::clientHeightChanged, this, [this, tab](int height) {
        if (tab == current_) {
            fitClientHeight(height);
        }
    });
    connect(form, &TfrmMapEd::linesShownChanged, this, [this, tab](bool shown) {
        if (tab == current_) {
            linesAction_->setChecked(shown);
        }
    });
    // The picture and the form show the same layer and the same hex.
    connect(form, &TfrmMapEd::layerShown, panel, &MapPanel::setLayer);
    connect(form, &TfrmMapEd::layerShown, this, refreshIfShown);
    connect(editor, &MapEditor::currentHexChanged, panel->view(), [panel](int column, int row) {
        if (column >= 0) {
            panel->view()->setSelectedHex(column, row);
        }
    });
    connect(panel->view(), &HexMapView::hexChosen, form, &TfrmMapEd::selectHex);
    connect(panel->view(), &HexMapView::viewChanged, this, [this, tab] { followLinkedView(tab); });
    tab->bulkEdits = new BulkEdits(*editor, tab->views, dialogs_, this);
    tab->bulkEdits->setBrushValue(
        [panel] { return int(amp::lowByte(LayerModel::textValue(panel->view()->brushText()))); });
    tab->bulkEdits->setValueNames([panel](int layer) { return panel->valueNames(layer); });
    connect(tab->bulkEdits, &BulkEdits::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    connect(panel->view(), &HexMapView::rectangleChosen, tab->bulkEdits, &BulkEdits::selectRectangle);
    connect(panel->view(), &HexMapView::floodRequested, editor, [panel, editor](int column, int row) {
        editor->setBrushText(panel->view()->brushText());
        editor->floodFill(HexCell{column, row});
    });
    connect(panel->view(), &HexMapView::selectNoneRequested, this, &MainWindow::selectNone);
    connect(panel->view(), &HexMapView::hexHovered, this, [this](int column, int row) {
        hoverLabel_->setText(column < 0 ? QString() : hexName(column, row));
    });
    // The picture shows the form's selection of the layer on show.
    connect(&document->selection(), &MapSelection::changed, this, [this, tab] { showPictureSelection(tab); });
    connect(form, &TfrmMapEd::layerShown, this, [this, tab] { refreshPictureSelection(tab); });
    connect(form, &TfrmMapEd::gridSelectionChanged, this, [this, tab] { refreshPictureSelection(tab); });
    tab->keeper = new RecoveryKeeper(*document, tab);
    connect(tab->keeper, &RecoveryKeeper::protectionChanged, this, [this](const QString& notice) {
        notices_->setNotice(QStringLiteral("recovery"), notice);
        if (!notice.isEmpty()) {
            statusBar()->showMessage(notice, 8000);
        }
    });
    // Each map's own bar for changes on disk; only the tab on show shows it.
    tab->diskBar = new QToolBar(tr("Changed on Disk"), this);
    tab->diskBar->setObjectName(current_ || tabBar_->count() > 0
                                    ? QStringLiteral("changedOnDisk%1").arg(++tabsMade_)
                                    : QStringLiteral("changedOnDisk"));
    tab->diskBar->setMovable(false);
    addToolBar(Qt::BottomToolBarArea, tab->diskBar);
    tab->diskBar->installEventFilter(this);
    tab->watcher = new DiskWatcher(*editor, tab->diskBar);
    connect(tab->watcher, &DiskWatcher::message, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    // The program's choices of the picture (what it draws, the tool, the brush)
    // are the tab on show's, which a new tab takes on.
    if (current_) {
        carryPictureChoices(*current_->panel, *panel);
        editor->setEvenColumnsLower(editor_->evenColumnsLower());
        form->setLinesShown(form_->linesShown());
    }
    const int index = tabBar_->addTab(tab->title());
    tabBar_->setTabData(index, QVariant::fromValue(static_cast<QObject*>(tab)));
    refreshTabText(tab);
    tabBar_->setVisible(tabBar_->count() > 1);
    return tab;
}

MapTab* MainWindow::tabAt(int index) const {
    return qobject_cast<MapTab*>(tabBar_->tabData(index).value<QObject*>());
}

int MainWindow::indexOf(const MapTab* tab) const {
    for (int i = 0; i < tabBar_->count(); ++i) {
        if (tabAt(i) == tab) {
            return i;
        }
    }
    return -1;
}

QList<MapTab*> MainWindow::tabs() const {
    QList<MapTab*> all;
    for (int i = 0; i < tabBar_->count(); ++i) {
        all.append(tabAt(i));
    }
    return all;
}

QList<MapEditor*> MainWindow::editors() const {
    QList<MapEditor*> all;
    for (const MapTab* tab : tabs()) {
        all.append(tab->editor);
    }
    return all;
}

void MainWindow::refreshTabText(MapTab* tab) {
    const int index = indexOf(tab);
    if (index < 0) {
        return;
    }
    tabBar_->setTabText(index, tab->title());
    tabBar_->setTabToolTip(index, QDir::toNativeSeparators(tab->path()));
}

// What the picture draws and the tool with its brush are the program's: the
// picture of the tab coming on show takes them from the one going.
void MainWindow::carryPictureChoices(MapPanel& from, MapPanel& to) {
    HexMapView* source = from.view();
    HexMapView* target = to.view();
    target->setPictureLayers(source->pictureLayers());
    target->setHexValues(source->hexValues());
    target->setEvenColumnsLower(source->evenColumnsLower());
    to.setColourBlind(colourBlindAction_ && colourBlindAction_->isChecked());
    to.setShape(source->shape());
    to.setBrushRadius(source->brushRadius());
    to.brushValue()->setValue(from.brushValue()->value());
    target->setBrushText(source->brushText());
    to.setTool(source->tool()); // its buttons show the tool it has
}

// Shows a tab: the form and picture of its session come on show, and everything
// the shell keeps for the session on show (the menus' commands, Edit > Undo, the
// docks, the status line) is pointed at it here, in this one place.
void MainWindow::showTab(MapTab* tab) {
    if (!tab) {
        return;
    }
    MapTab* old = current_;
    if (tab == besideTab_) { // the two pictures change places
        showBeside(old);
    }
    if (old && old != tab) {
        carryPictureChoices(*old->panel, *tab->panel);
        old->diskBarWanted = !old->diskBar->isHidden();
        old->diskBar->hide();
    }
    current_ = tab;
    editor_ = tab->editor;
    document_ = &editor_->document();
    form_ = tab->form;
    mapPanel_ = tab->panel;
    bulkEdits_ = tab->bulkEdits;
    keeper_ = tab->keeper;
    watcher_ = tab->watcher;
    if (const int index = indexOf(tab); index >= 0 && tabBar_->currentIndex() != index) {
        const QSignalBlocker quiet(tabBar_);
        tabBar_->setCurrentIndex(index);
    }
    forms_->setCurrentWidget(form_);
    panels_->setCurrentWidget(mapPanel_);
    undoGroup_->setActiveStack(document_->undoStack());
    if (old && old != tab) {
        tab->diskBar->setVisible(tab->diskBarWanted);
    }
    if (symmetry_) {
        symmetry_->setEditor(editor_, mapPanel_->view());
    }
    if (scripts_) {
        scripts_->setEditor(editor_);
    }
    if (differences_) {
        differences_->setEditor(editor_, tab->views, mapPanel_->view());
    }
    if (conflicts_) {
        conflicts_->setEditor(editor_, tab->views, mapPanel_->view());
    }
    if (statistics_) {
        statistics_->setEditor(editor_);
    }
    if (fairness_) {
        fairness_->setEditor(editor_);
    }
    setWindowModified(document_->isModified());
    linesAction_->setChecked(form_->linesShown());
    refreshFileName();
    refreshHexStatus();
    refreshHistoryLabel();
    showPictureSelection(tab);
    hoverLabel_->clear();
    emit currentEditorChanged(editor_);
}

MapPanel* MainWindow::besidePanel() const {
    return besideTab_ ? besideTab_->panel : nullptr;
}

// The picture of `tab` goes into the Side by Side dock, the one there before
// back into the Map dock's stack; null puts it back and ends side by side.
void MainWindow::showBeside(MapTab* tab) {
    if (besideTab_) {
        panels_->addWidget(besideTab_->panel);
    }
    besideTab_ = tab;
    if (tab) {
        panels_->removeWidget(tab->panel);
        sideArea_->layout()->addWidget(tab->panel);
        tab->panel->show();
        sideDock_->setWindowTitle(tr("Beside: %1").arg(tab->title()));
    }
    if (panels_->indexOf(mapPanel_) >= 0) {
        panels_->setCurrentWidget(mapPanel_);
    }
}

void MainWindow::setSideBySide(bool on) {
    if (on && !besideTab_ && tabBar_->count() > 1) {
        sizeBeforeSide_ = size();
        if (!sideDock_) {
            sideDock_ = new QDockWidget(tr("Beside"), this);
            sideDock_->setObjectName(QStringLiteral("sideBySideDock"));
            sideArea_ = new QWidget(sideDock_);
            auto* layout = new QVBoxLayout(sideArea_);
            layout->setContentsMargins(0, 0, 0, 0);
            auto* linked = new QCheckBox(tr("&Link zoom and scroll"), sideArea_);
            linked->setObjectName(QStringLiteral("linkViews"));
            linked->setChecked(linkAction_->isChecked());
            connect(linked, &QCheckBox::toggled, linkAction_, &QAction::setChecked);
            connect(linkAction_, &QAction::toggled, linked, &QCheckBox::setChecked);
            layout->addWidget(linked);
            sideDock_->setWidget(sideArea_);
            addDockWidget(Qt::RightDockWidgetArea, sideDock_);
            splitDockWidget(mapDock_, sideDock_, Qt::Horizontal);
            connect(sideDock_, &QDockWidget::visibilityChanged, this, [this](bool visible) {
                if (!visible && !sideDock_->isFloating() && besideTab_ && isVisible()) {
                    setSideBySide(false);
                }
            });
        }
        // The tab after the one on show, or the one before the last.
        const int index = tabBar_->currentIndex();
        showBeside(tabAt(index + 1 < tabBar_->count() ? index + 1 : index - 1));
        sideDock_->show();
        mapDock_->show();
        followLinkedView(current_);
    } else if (!on && besideTab_) {
        showBeside(nullptr);
        sideDock_->hide();
        // The second picture may have made the window larger than the room it
        // had; without it, the window goes back to no more than that size.
        if (!isMaximized() && !isFullScreen() && sizeBeforeSide_.isValid()) {
            layout()->activate();
            resize(size().boundedTo(sizeBeforeSide_));
        }
    }
    const QSignalBlocker quiet(sideAction_);
    sideAction_->setChecked(besideTab_ != nullptr);
}

void MainWindow::setViewsLinked(bool linked) {
    linkAction_->setChecked(linked);
}

// While linked, a zoom or scroll of either picture side by side is the other's too.
void MainWindow::followLinkedView(MapTab* moved) {
    if (!besideTab_ || linking_ || !linkAction_->isChecked()) {
        return;
    }
    MapTab* other = moved == current_ ? besideTab_ : moved == besideTab_ ? current_ : nullptr;
    if (!other) {
        return;
    }
    linking_ = true;
    const HexMapView* source = moved->panel->view();
    HexMapView* target = other->panel->view();
    target->zoomAt(source->hexSize(), QPointF(0, 0));
    target->scrollTo(-source->origin());
    linking_ = false;
}

void MainWindow::refreshHistoryLabel() {
    // The history's first entry is where it starts: a map read, or a new one.
    history_->setEmptyLabel(document_->hasMap() && document_->fileName().isEmpty() ? tr("<a new map>")
                                                                                   : tr("<the map as read>"));
}

void MainWindow::showTab(int index) {
    showTab(tabAt(index));
}

// Closes a tab, asking first about unwritten edits (Save / Discard / Cancel);
// the last tab stays: the window always shows a form.
bool MainWindow::closeTab(MapTab* tab) {
    if (!tab || tabBar_->count() < 2) {
        return false;
    }
    if (tab != current_) {
        showTab(tab); // the question is about the map on show
    }
    if (!form_->mayDiscardEdits()) {
        return false;
    }
    setSideBySide(false);
    tab->keeper->removeCopy(); // written or discarded: nothing to recover
    const int index = indexOf(tab);
    showTab(tabAt(index + 1 < tabBar_->count() ? index + 1 : index - 1));
    {
        const QSignalBlocker quiet(tabBar_);
        tabBar_->removeTab(index);
    }
    undoGroup_->removeStack(tab->editor->document().undoStack());
    tab->diskBar->deleteLater();
    tab->bulkEdits->deleteLater();
    tab->form->deleteLater();
    tab->panel->deleteLater();
    tab->deleteLater();
    tabBar_->setVisible(tabBar_->count() > 1);
    return true;
}

void MainWindow::showTabMenu(const QPoint& position) {
    MapTab* tab = tabAt(tabBar_->tabAt(position));
    if (!tab) {
        return;
    }
    QMenu menu(this);
    menu.addAction(tr("&Close"), this, [this, tab] { closeTab(tab); });
    menu.addAction(tr("Close &Others"), this, [this, tab] { closeOtherTabs(tab); })
        ->setEnabled(tabBar_->count() > 1);
    menu.addAction(tr("Copy &Path"), this,
                   [tab] { QApplication::clipboard()->setText(QDir::toNativeSeparators(tab->path())); })
        ->setEnabled(!tab->path().isEmpty());
    menu.exec(tabBar_->mapToGlobal(position));
}

bool MainWindow::closeOtherTabs(MapTab* kept) {
    for (MapTab* tab : tabs()) {
        if (tab != kept && !closeTab(tab)) {
            return false;
        }
    }
    showTab(kept);
    return true;
}

// A map opened beside the others: a tab that shows the file already comes on
// show; an empty first tab takes the map; otherwise a new tab does. A map that
// cannot be read is told, and leaves no tab behind.
// A map is open already under any of its names: through a link, a hard link,
// or on Windows in other letter case.
bool MainWindow::openInTabs(const QStringList& paths, bool show) {
    bool opened = false;
    MapTab* shown = current_;
    for (const QString& path : paths) {
        MapTab* found = nullptr;
        for (MapTab* tab : tabs()) {
            if (namesSameFile(path, tab->path())) {
                found = tab;
            }
        }
        if (found) {
            shown = found;
            opened = true;
            continue;
        }
        const bool reuse = tabBar_->count() == 1 && !document_->hasMap() && !document_->isModified();
        MapTab* tab = reuse ? current_ : makeTab();
        tab->form->LoadMap(path);
        if (!tab->editor->document().hasMap() || tab->path().isEmpty()) {
            if (!reuse) {
                MapTab* back = current_;
                showTab(tab);
                closeTab(tab);
                showTab(back);
            }
            continue;
        }
        opened = true;
        if (show || reuse) {
            shown = tab;
        }
    }
    showTab(shown);
    return opened;
}

bool MainWindow::openInNewTabs(const QStringList& paths) {
    const bool opened = openInTabs(paths, true);
    if (opened) {
        raise();
        activateWindow();
    }
    return opened;
}

// File > Open in New Tab…: the file dialog as Read Map asks it.
void MainWindow::chooseAndOpenInNewTab() {
    const FileDialogRequest request{tr("Open in New Tab"), tr("Map files (*.amp)"), QStringLiteral("amp"),
                                    settings_->lastFolder()};
    const QString fileName = dialogs_.openFileName(this, request);
    if (!fileName.isEmpty()) {
        openInTabs({fileName}, true);
    }
}

// File > New Map in New Tab…: the form's New Map, in a tab of its own while the
// tab on show holds a map; a map not made takes its tab away again.
void MainWindow::newMapInNewTab() {
    if (!document_->hasMap()) {
        form_->newMap();
        return;
    }
    MapTab* back = current_;
    MapTab* tab = makeTab();
    showTab(tab);
    tab->form->newMap();
    if (!tab->editor->document().hasMap()) {
        closeTab(tab);
        showTab(back);
    }
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
    // So do the lists of a merge's conflicts and a comparison's differences.
    if (!editor_->isMerging()) {
        conflicts_->hide();
    }
    if (!editor_->isComparing()) {
        differences_->hide();
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
void MainWindow::rememberFile(const QString& name) {
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
    openInTabs({path}, true); // a tab of its own, unless the tab on show holds no map
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
    t.add(QStringLiteral("file"), QStringLiteral("file.newInTab"), tr("New Map in New Ta&b…"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)}, [this](bool) { newMapInNewTab(); });
    t.add(QStringLiteral("file"), QStringLiteral("file.read"), tr("&Read Map…"),
          QKeySequence::keyBindings(QKeySequence::Open), [this](bool) { form_->btnOpenMapClick(); });
    t.add(QStringLiteral("file"), QStringLiteral("file.openInTab"), tr("&Open in New Tab…"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)}, [this](bool) { chooseAndOpenInNewTab(); });
    // The other open maps come first, as they are on disk.
    QMenu* compareOpen =
        t.addMenu(QStringLiteral("file.compareOpen"), tr("Compare Wit&h Open Map"), QStringLiteral("file"));
    connect(compareOpen, &QMenu::aboutToShow, this, [this, compareOpen] {
        compareOpen->clear();
        for (const MapTab* tab : tabs()) {
            if (tab != current_ && !tab->path().isEmpty()) {
                compareOpen
                    ->addAction(QFileInfo(tab->path()).fileName(), this,
                                [this, path = tab->path()] { compareWith(path); })
                    ->setToolTip(QDir::toNativeSeparators(tab->path()));
            }
        }
        if (compareOpen->isEmpty()) {
            compareOpen->addAction(tr("No Other Open Map"))->setEnabled(false);
        }
    });
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
    t.add(QStringLiteral("file"), QStringLiteral("file.reopenSession"), tr("Reopen &Last Session"), {},
          [this](bool) { reopenLastSession(); });
    t.add(QStringLiteral("file"), QStringLiteral("file.closeTab"), tr("&Close Tab"),
          {QKeySequence(Qt::CTRL | Qt::Key_W)}, [this](bool) { closeTab(current_); });
    t.add(QStringLiteral("file"), QStringLiteral("file.quit"), tr("&Quit"),
          {QKeySequence(Qt::CTRL | Qt::Key_Q)}, [this](bool) { close(); });

    t.addMenu(QStringLiteral("edit"), tr("&Edit"));
    undoAction_ = undoGroup_->createUndoAction(this, tr("Undo"));
    undoAction_->setShortcuts(ActionTable::keysOnKeyboards(QKeySequence::keyBindings(QKeySequence::Undo)));
    t.place(QStringLiteral("edit"), QStringLiteral("edit.undo"), undoAction_, tr("Undo"));
    redoAction_ = undoGroup_->createRedoAction(this, tr("Redo"));
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
                                  for (MapTab* tab : tabs()) {
                                      tab->editor->setEvenColumnsLower(checked);
                                      tab->panel->view()->setEvenColumnsLower(checked);
                                  }
                              });
    colourBlindAction_ =
        t.addToggle(QStringLiteral("view"), QStringLiteral("view.colourBlind"), tr("&Colour-Blind Palette"),
                    {}, [this](bool checked) {
                        mapPanel_->setColourBlind(checked);
                        if (MapPanel* beside = besidePanel()) { // the picture beside on show too
                            beside->setColourBlind(checked);
                        }
                    });
    t.addSeparator(QStringLiteral("view"));
    t.add(QStringLiteral("view"), QStringLiteral("view.nextDifference"), tr("Next &Difference"),
          {QKeySequence(Qt::Key_F8)}, [this](bool) { stepDifferenceOrConflict(1); });
    t.add(QStringLiteral("view"), QStringLiteral("view.previousDifference"), tr("Pre&vious Difference"),
          {QKeySequence(Qt::SHIFT | Qt::Key_F8)}, [this](bool) { stepDifferenceOrConflict(-1); });
    // What the picture draws: the Layers list, hex labels and outlines.
    t.addSeparator(QStringLiteral("view"));
    LayersPanel::addViewActions(t, QStringLiteral("view"), [this] { return mapPanel_; });
    t.addSeparator(QStringLiteral("view"));
    sideAction_ = t.addToggle(QStringLiteral("view"), QStringLiteral("view.sideBySide"), tr("Side b&y Side"),
                              {}, [this](bool on) { setSideBySide(on); });
    linkAction_ = t.addToggle(QStringLiteral("view"), QStringLiteral("view.linkViews"),
                              tr("Lin&k Side by Side Views"), {}, [this](bool linked) {
                                  if (linked) {
                                      followLinkedView(current_);
                                  }
                              });
    linkAction_->setChecked(true);
    t.add(QStringLiteral("view"), QStringLiteral("view.nextTab"), tr("Ne&xt Tab"),
          {QKeySequence(Qt::CTRL | Qt::Key_Tab)},
          [this](bool) { showTab((tabBar_->currentIndex() + 1) % tabBar_->count()); });
    t.add(QStringLiteral("view"), QStringLiteral("view.previousTab"), tr("Previous Ta&b"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab)},
          [this](bool) { showTab((tabBar_->currentIndex() + tabBar_->count() - 1) % tabBar_->count()); });

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
    bool recovered = false;
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
        // The first map recovered goes into the tab on show, each further one
        // into a tab of its own behind it.
        MapTab* tab = recovered ? makeTab() : current_;
        if (!tab->editor->recover(copy->bytes, typed, copy->fileName)) {
            if (tab != current_) {
                MapTab* back = current_;
                showTab(tab);
                closeTab(tab);
                showTab(back);
            }
            continue;
        }
        tab->keeper->writeNow(); // this editor's own copy first, then the old one goes
        RecoveryKeeper::discard(claim);
        recovered = true;
    }
    return recovered;
}

// The form's selection on the layer on show is the document's, which the picture
// shows.
void MainWindow::refreshPictureSelection(MapTab* tab) {
    std::vector<QRect> rectangles;
    if (const QItemSelectionModel* chosen = tab->form->currentGrid()->selectionModel()) {
        for (const QItemSelectionRange& range : chosen->selection()) {
            rectangles.emplace_back(QPoint(range.left(), range.top()), QPoint(range.right(), range.bottom()));
        }
    }
    tab->editor->document().selection().select(tab->form->CurrentLayer(), rectangles);
    showPictureSelection(tab);
}

void MainWindow::showPictureSelection(MapTab* tab) {
    const MapSelection& selection = tab->editor->document().selection();
    if (tab == current_) {
        selectionLabel_->setText(selectionStatus());
    }
    tab->panel->view()->setSelectionMask(
        selection.layer() == tab->form->CurrentLayer() ? selection.mask() : std::vector<bool>());
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
    // A typed value that a write cannot keep: the byte it becomes. A text that
    // is no number at all (a terrain's name, say) is written as 0.
    const LayerModel* shown = document_->layer(form_->CurrentLayer());
    const std::int32_t value = shown->cellValue(column, row);
    const std::uint8_t byte = shown->cellByte(column, row);
    const QString text = shown->cellText(column, row);
    const std::u16string_view units(reinterpret_cast<const char16_t*>(text.utf16()),
                                    static_cast<std::size_t>(text.size()));
    if (text.isEmpty()) {
        status += tr(" · empty → writes %1").arg(byte);
    } else if (!amp::parseWholeNumber(units)) {
        status += tr(" · \"%1\" is not a number → writes %2").arg(text).arg(byte);
    } else if (value != byte) {
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
    if (!tabBar_->isHidden()) {
        height += tabBar_->sizeHint().height();
    }
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
    if (watched == tabBar_ && event->type() == QEvent::MouseButtonRelease) {
        const auto* click = static_cast<QMouseEvent*>(event);
        if (click->button() == Qt::MiddleButton) {
            closeTab(tabAt(tabBar_->tabAt(click->position().toPoint())));
            return true;
        }
    }
    if (watched == tabBar_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide) &&
        formHeight_ > 0) {
        QMetaObject::invokeMethod(
            this, [this] { fitClientHeight(formHeight_); }, Qt::QueuedConnection);
    }
    if (event->type() == QEvent::Show && current_) {
        // A map behind the one on show that changed on disk tells so when its tab comes on show.
        for (MapTab* tab : tabs()) {
            if (tab != current_ && watched == tab->diskBar) {
                tab->diskBarWanted = true;
                tab->diskBar->hide();
                return false;
            }
        }
    }
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && formHeight_ > 0) {
        QMetaObject::invokeMethod(
            this, [this] { fitClientHeight(formHeight_); }, Qt::QueuedConnection);
    }
    return QMainWindow::eventFilter(watched, event);
}

// One map with unwritten edits is asked about as the form asks (Save / Discard
// / Cancel); several are listed in one question, a check box each.
void MainWindow::closeEvent(QCloseEvent* event) {
    QList<MapTab*> unwritten;
    QStringList names;
    for (MapTab* tab : tabs()) {
        if (tab->editor->document().isModified()) {
            unwritten.append(tab);
            names.append(tab->path().isEmpty() ? tr("Untitled")
                                               : QDir::toNativeSeparators(wholePath(tab->path())));
        }
    }
    if (unwritten.size() == 1 || tabBar_->count() == 1) {
        if (!unwritten.isEmpty()) {
            showTab(unwritten.first());
        }
        if (!form_->mayDiscardEdits()) {
            event->ignore();
            return;
        }
    } else if (unwritten.size() > 1) {
        QList<bool> chosen(unwritten.size(), true);
        switch (dialogs_.askUnwrittenMaps(this, names, chosen)) {
        case UnwrittenMapsChoice::Cancel:
            event->ignore();
            return;
        case UnwrittenMapsChoice::DiscardAll:
            break;
        case UnwrittenMapsChoice::WriteSelected:
            for (qsizetype i = 0; i < unwritten.size(); ++i) {
                if (!chosen.value(i)) {
                    continue;
                }
                showTab(unwritten[i]);
                if (!form_->writeToCurrentFile()) { // told already; the window stays
                    event->ignore();
                    return;
                }
            }
            break;
        }
    }
    QStringList session;
    for (MapTab* tab : tabs()) {
        tab->keeper->removeCopy(); // written or discarded: nothing to recover
        if (!tab->path().isEmpty()) {
            session.append(tab->path());
        }
    }
    // A quit with no map open leaves the session before it to be reopened.
    if (!session.isEmpty()) {
        settings_->setLastSession(session);
    }
    saveSettings();
    event->accept();
}

// File > Reopen Last Session: the maps that were open at the last quit.
void MainWindow::reopenLastSession() {
    QStringList found;
    for (const QString& path : settings_->lastSession()) {
        if (QFileInfo(path).isFile()) {
            found.append(path);
        }
    }
    if (found.isEmpty()) {
        dialogs_.inform(this, tr("Reopen Last Session"), tr("No map of the last session is there to open."));
        return;
    }
    openInTabs(found, true);
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
