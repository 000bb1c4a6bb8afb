// SPDX-License-Identifier: MIT
// The window the user sees: the map form in the middle, a menu bar with the
// program's commands and their shortcuts, and a status line that names the
// selected hex and the file. It owns the map document that the form shows.
#pragma once

#include <QMainWindow>
#include <QStringList>

class BulkEdits;
class DiskWatcher;
class RecoveryKeeper;
class MapDocument;
class MapPanel;
class NoticeBar;
class QDockWidget;
class QAction;
class QLabel;
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
    // The status line's text for the selected hex, empty before a hex is chosen.
    QString hexStatus() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createMenus();
    void showHex(int column, int row);
    void refreshHexStatus();
    void refreshFileName();
    void fitClientHeight(int formHeight);
    void showShortcuts();
    void exportPicture(bool selectionOnly = false);
    void refreshPictureSelection();
    void showPictureSelection();
    void selectNone();
    // Offers the copies that editors which are gone left behind; true when one
    // was recovered into this window.
    bool offerRecovery();

    UserDialogs& dialogs_;
    MapDocument* document_;
    TfrmMapEd* form_;
    MapPanel* mapPanel_;
    void placeFloatingPicture();
    bool picturePlaced_ = false;

    QDockWidget* mapDock_;
    BulkEdits* bulkEdits_ = nullptr;
    RecoveryKeeper* keeper_ = nullptr;
    DiskWatcher* watcher_ = nullptr;
    NoticeBar* notices_ = nullptr;
    QLabel* hexLabel_;
    QLabel* fileLabel_;
    QAction* linesAction_ = nullptr;
    int hexColumn_ = -1;
    int hexRow_ = -1;
};
