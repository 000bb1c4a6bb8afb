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
    // File > Open Recent: opens the map, or takes a map that is gone off the list.
    void openRecent(const QString& path);
    void openSampleMap();
    // Maps handed over by a later start of the program or by the file manager:
    // each is to open in a tab of its own. Until the window has tabs, the first
    // replaces the map on show as Open Recent does, and the others are named in
    // the status line.
    void openInNewTabs(const QStringList& paths);
    // A later start's hand-over: the window comes to the front, then opens the maps.
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

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createMenus();
    // The form's number views, for the helpers that follow the session.
    LayerViews layerViews() const;
    void refreshRecentMenu();
    void rememberFile();
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
    void refreshPictureSelection();
    void showPictureSelection();
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
    MapEditor* editor_;
    MapDocument* document_;
    TfrmMapEd* form_;
    MapPanel* mapPanel_;
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
