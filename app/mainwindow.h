// SPDX-License-Identifier: MIT
// The window the user sees: the map form in the middle, a menu bar with the
// program's commands and their shortcuts, and a status line that names the
// selected hex and the file. It owns the map document that the form shows.
#pragma once

#include "layerviews.h"
#include "userdialogs.h"

#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QStringList>

#include <memory>

class ActionTable;
class BulkEdits;
class EditorSettings;
class ConflictsDock;
class DifferencesDock;
class FairnessTools;
class StatisticsDock;
class DiskWatcher;
class RecoveryKeeper;
class ScriptTools;
class MapDocument;
class MapEditor;
class MapPanel;
class MapTab;
class QStackedWidget;
class QTabBar;
class QUndoGroup;
class QUndoView;
class SymmetryActions;
class NoticeBar;
class QDockWidget;
class QAction;
class QLabel;
class QMenu;
class TfrmMapEd;
class UserDialogs;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Builds the document, the form (which loads a map named on the command line)
    // and the menus.
    MainWindow(UserDialogs& dialogs, const QStringList& arguments, QWidget* parent = nullptr);
    ~MainWindow() override;

    TfrmMapEd& form() const { return *form_; }
    MapPanel& mapPanel() const { return *mapPanel_; }
    BulkEdits& bulkEdits() const { return *bulkEdits_; }
    RecoveryKeeper& recoveryKeeper() const { return *keeper_; }
    DiskWatcher& diskWatcher() const { return *watcher_; }
    MapDocument& document() const { return *document_; }
    // The session the window shows: its map, layer, current hex, layout and brush.
    MapEditor& editor() const { return *editor_; }
    EditorSettings& settings() const { return *settings_; }
    // File > Open Recent: opens the map in a tab, or takes a map that is gone off the list.
    void openRecent(const QString& path);
    void openSampleMap();
    // A later start's hand-over (or the file manager's): the window comes to the
    // front, then opens the maps, each in a tab of its own (openInNewTabs).
    void takeHandOver(const QStringList& paths);
    // The comparison with another map (File > Compare With…, --compare).
    DifferencesDock& differences() const { return *differences_; }
    StatisticsDock& statistics() const { return *statistics_; }
    FairnessTools& fairness() const { return *fairness_; }
    // The Tools menu: scripts, map checks, the Console and Problems docks.
    ScriptTools& scripts() const { return *scripts_; }
    bool compareWith(const QString& fileName);
    // The merge of three maps (File > Merge…, --merge) and its Conflicts dock.
    ConflictsDock& conflicts() const { return *conflicts_; }
    bool merge(const QString& base, const QString& ours, const QString& theirs, const QString& output);
    // The status line's text for the selected hex, empty before a hex is chosen.
    QString hexStatus() const;
    QString selectionStatus() const;
    QString hexName(int column, int row) const;
    // The status line's name of the hex under the mouse in the picture.
    QString hoverStatus() const;
    // Help > Keyboard Shortcuts: every key the window answers.
    QList<ShortcutRow> shortcutRows() const;
    // Every command of the window, declared once.
    ActionTable& actions() const { return *actions_; }

    // The open maps, a tab each, in the tab bar's order; the accessors above
    // (form, editor, document, picture, …) give those of the tab on show.
    QList<MapEditor*> editors() const;
    QTabBar& tabBar() const { return *tabBar_; }
    void showTab(int index);
    // Opens maps a tab each and shows the last one, raising the window: what a
    // map handed to the running program and File > Open in New Tab do. A map
    // open already has its tab shown; one that cannot be read is told and
    // leaves no tab. True when a map was opened or shown.
    bool openInNewTabs(const QStringList& paths);
    // View > Side by Side: the picture of another tab beside the one on show,
    // zoom and scroll linked while the dock's check box is on; each stays editable.
    void setSideBySide(bool on);
    bool isSideBySide() const { return besideTab_ != nullptr; }
    // The picture shown beside the tab on show; null while side by side is off.
    MapPanel* besidePanel() const;
    void setViewsLinked(bool linked);
    // Ctrl+W: asks about unwritten edits first; the last tab stays. True when closed.
    bool closeCurrentTab() { return closeTab(current_); }

signals:
    // Another tab came on show: the shell's docks and commands follow its session.
    void currentEditorChanged(MapEditor* editor);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createMenus();
    MapTab* makeTab();
    MapTab* tabAt(int index) const;
    int indexOf(const MapTab* tab) const;
    QList<MapTab*> tabs() const;
    void showTab(MapTab* tab);
    bool closeTab(MapTab* tab);
    bool closeOtherTabs(MapTab* kept);
    void showTabMenu(const QPoint& position);
    void refreshTabText(MapTab* tab);
    void carryPictureChoices(MapPanel& from, MapPanel& to);
    void refreshHistoryLabel();
    void showBeside(MapTab* tab);
    void followLinkedView(MapTab* moved);
    // Opens each map in a tab; `show`: the last one comes on show, else they wait behind.
    bool openInTabs(const QStringList& paths, bool show);
    void chooseAndOpenInNewTab();
    void newMapInNewTab();
    void reopenLastSession();
    void refreshRecentMenu();
    void rememberFile(const QString& name);
    // Puts the window and its docks where the last run left them, when that fits
    // the screen; true when it did.
    bool restoreWindow();
    void saveSettings();
    void restorePaintChoices();
    void refreshHexStatus();
    void refreshFileName();
    void fitClientHeight(int formHeight);
    void keepOnScreen();
    void showShortcuts();
    void exportPicture(bool selectionOnly = false);
    void refreshPictureSelection(MapTab* tab);
    void showPictureSelection(MapTab* tab);
    void selectNone();
    void selectAll();
    void editHeaderBytes();
    void goToHex();
    void resizeMap();
    void stepDifferenceOrConflict(int step);
    // Offers the copies that editors which are gone left behind; true when one
    // was recovered into this window.
    bool offerRecovery();

    UserDialogs& dialogs_;
    std::unique_ptr<EditorSettings> settings_;
    ActionTable* actions_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QAction* evenAction_ = nullptr;
    QAction* colourBlindAction_ = nullptr;
    QString program_; // the program's name, as the first argument
    QTabBar* tabBar_ = nullptr;
    QStackedWidget* forms_ = nullptr;
    QStackedWidget* panels_ = nullptr;
    QUndoGroup* undoGroup_ = nullptr;
    QUndoView* history_ = nullptr;
    int tabsMade_ = 0;
    // The tab on show and its parts.
    MapTab* current_ = nullptr;
    MapEditor* editor_ = nullptr;
    MapDocument* document_ = nullptr;
    TfrmMapEd* form_ = nullptr;
    MapPanel* mapPanel_ = nullptr;
    SymmetryActions* symmetry_ = nullptr;
    MapTab* besideTab_ = nullptr; // the tab whose picture is shown side by side
    QDockWidget* sideDock_ = nullptr;
    QSize sizeBeforeSide_; // the window's size when Side by Side began
    QWidget* sideArea_ = nullptr;
    QAction* sideAction_ = nullptr;
    QAction* linkAction_ = nullptr;
    bool linking_ = false;
    void placeFloatingPicture();
    bool picturePlaced_ = false;

    QDockWidget* mapDock_;
    QDockWidget* undoDock_ = nullptr;
    bool pictureShown_ = true;
    int hiddenDockWidth_ = 0;
    int widthWithPicture_ = 0;
    BulkEdits* bulkEdits_ = nullptr;
    RecoveryKeeper* keeper_ = nullptr;
    DiskWatcher* watcher_ = nullptr;
    DifferencesDock* differences_ = nullptr;
    ConflictsDock* conflicts_ = nullptr;
    StatisticsDock* statistics_ = nullptr;
    FairnessTools* fairness_ = nullptr;
    ScriptTools* scripts_ = nullptr;
    NoticeBar* notices_ = nullptr;
    QLabel* hexLabel_;
    QLabel* hoverLabel_;
    QLabel* selectionLabel_;
    QLabel* fileLabel_;
    QAction* linesAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QString goToText_;
    int formHeight_ = 0;    // the height the form asked for last
    int fittedHeight_ = -1; // the height the window took from the form last
    bool heightByHand_ = false;
    bool keepQueued_ = false;
};
