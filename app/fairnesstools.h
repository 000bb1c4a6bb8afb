// SPDX-License-Identifier: MIT
// The window side of "is this map fair?": the ruler (the picture's M tool) and
// its words on the status line, the cost table chosen from the shipped and the
// user's tables, the territories of the selected hexes or of each half's cities,
// and what the picture draws of them (the ruler's line and path, a colour per
// side, contested hexes crossed). The state is the session's (MapFairness): each
// session's picture is attached once and draws that session's ruler and
// territories; the menus and the status line follow the session on show,
// setEditor() moves them to another.
#pragma once

#include "mapfairness.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class ActionTable;
class HexMapView;
class MapEditor;
class QMenu;
class QPainter;
class HexGeometry;
class UserDialogs;
class QWidget;

class FairnessTools : public QObject {
    Q_OBJECT

public:
    FairnessTools(UserDialogs& dialogs, QWidget* window);

    // The picture of a session: its ruler drags go to that session, and it
    // draws that session's ruler and territories.
    void attach(HexMapView& picture, MapEditor& editor);

    void setEditor(MapEditor* editor);
    MapEditor* editor() const { return editor_; }

    // The cost tables offered, by name: the user's first, then the program's;
    // a name the user's folder holds hides the program's table of that name.
    struct Offered {
        QString name;
        QString fileName;
    };
    static QList<Offered> offeredTables();
    // Makes the table of that file the one in use; a refusal goes to the user.
    bool chooseCostTable(const QString& fileName);
    // The selected hexes, each a side of its own; the cities of "city b1" on
    // each half as two sides. A refusal goes to the user.
    bool territoriesOfSelection();
    bool territoriesOfCities(amp::Half half);
    void hideTerritories();

    // The Map menu's items: the ruler, the cost table and the territories.
    void addActions(ActionTable& table, const QString& menu, const std::function<void()>& chooseRuler);

    // The colour a side's territory is drawn in.
    static QColor sideColour(int side);

signals:
    // What the status line says of the ruler; empty when it is gone.
    void rulerText(const QString& text);

private:
    static void draw(QPainter& painter, const HexGeometry& geometry, MapFairness& fairness);
    void refreshCostMenu();
    void rulerChanged();

    UserDialogs& dialogs_;
    QWidget* window_;
    QPointer<MapEditor> editor_;
    QList<QMetaObject::Connection> followed_;
    QMenu* costMenu_ = nullptr;
};
