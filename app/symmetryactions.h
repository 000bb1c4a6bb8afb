// SPDX-License-Identifier: MIT
// The Symmetry menu: flips and a half turn of the map or the selection, Make
// Symmetric, and the symmetric brush; and the stamps of the Edit menu. Each command asks through the dialogs
// seam (telling how many hexes have no image) and then calls the document.
#pragma once

#include "symmetryedits.h"

#include <QObject>

class HexMapView;
class MapDocument;
class QMenu;
class StampTool;
class TfrmMapEd;
class UserDialogs;
class QWidget;

class SymmetryActions : public QObject {
    Q_OBJECT

public:
    SymmetryActions(MapDocument& document, TfrmMapEd& form, HexMapView& picture, UserDialogs& dialogs,
                    QWidget* window);
    // The menu with its items and keys, owned by the window.
    QMenu* menu() const { return menu_; }
    // Asks where the request goes and applies it; false when cancelled or nothing changed.
    bool run(SymmetryRequest request);
    void setBrush(std::optional<BrushSymmetry> symmetry);
    // Edit > Copy as Stamp (the layer on show, or all layers) and the kept stamps
    // on Ctrl+1..9.
    void addStampItems(QMenu* edit);
    bool copyAsStamp(bool allLayers);
    StampTool& stampTool() const { return *stampTool_; }

signals:
    void message(const QString& text);

private:
    MapDocument& document_;
    TfrmMapEd& form_;
    HexMapView& picture_;
    UserDialogs& dialogs_;
    QWidget* window_;
    QMenu* menu_;
    StampTool* stampTool_;
};
