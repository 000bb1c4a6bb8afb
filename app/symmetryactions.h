// SPDX-License-Identifier: MIT
// The Symmetry menu: flips and a half turn of the map or the selection, Make
// Symmetric, and the symmetric brush; and the stamps of the Edit menu. Each command asks through the dialogs
// seam (telling how many hexes have no image) and then calls the document.
#pragma once

#include "symmetryedits.h"

#include <QObject>

class ActionTable;
class HexMapView;
class MapDocument;
class MapEditor;
class StampTool;
class UserDialogs;
class QWidget;

class SymmetryActions : public QObject {
    Q_OBJECT

public:
    // The commands act on the session's layer, in its layout.
    SymmetryActions(MapEditor& editor, HexMapView& picture, UserDialogs& dialogs, QWidget* window);
    // The session and picture the commands and the stamps act on from now on.
    void setEditor(MapEditor* editor, HexMapView* picture);
    // Declares the Symmetry menu, before Help, and the stamps of the Edit menu.
    void addActions(ActionTable& table);
    // Asks where the request goes and applies it; false when cancelled or nothing changed.
    bool run(SymmetryRequest request);
    void setBrush(std::optional<BrushSymmetry> symmetry);
    bool copyAsStamp(bool allLayers);
    StampTool& stampTool() const { return *stampTool_; }

signals:
    void message(const QString& text);

private:
    MapEditor* editor_;
    MapDocument* document_;
    HexMapView* picture_;
    UserDialogs& dialogs_;
    QWidget* window_;
    StampTool* stampTool_;
};
