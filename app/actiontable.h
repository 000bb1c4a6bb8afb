// SPDX-License-Identifier: MIT
// The window's commands, declared once each: an id, the menu it appears in, its
// text, its keys and what it does. The menu bar, Help > Keyboard Shortcuts and
// anything later that lists commands are all made from this one table; each
// feature declares its own commands where it is wired.
#pragma once

#include "userdialogs.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;

class ActionTable : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(bool checked)>;
    struct Entry {
        QString id;
        QString menu;   // the id of its menu; empty for keys of no menu
        QString listed; // its name in the list of keys
        QString where;  // for keys of no menu: where they work ("In the picture")
        QAction* action;
    };

    explicit ActionTable(QMainWindow& window);

    // A menu of the menu bar (no parent) or a submenu at the end of its parent.
    // A menu of the bar goes before the menu `before` when that is given.
    QMenu* addMenu(const QString& id, const QString& title, const QString& parent = {},
                   const QString& before = {});
    // A command at the end of its menu, with its keys (those that keyboards of
    // today have), working anywhere in the window.
    QAction* add(const QString& menu, const QString& id, const QString& text, const QList<QKeySequence>& keys,
                 Handler handler);
    // The same, with a check mark that `handler` follows.
    QAction* addToggle(const QString& menu, const QString& id, const QString& text,
                       const QList<QKeySequence>& keys, Handler handler);
    // An action made elsewhere (an undo stack's, a dock's), placed and listed as
    // the rest; `listed` names it in the list of keys when its text changes.
    QAction* place(const QString& menu, const QString& id, QAction* action, const QString& listed = {});
    // Keys of no menu that a widget owns (the picture's): only listed.
    void list(const QString& id, QAction* action, const QString& where);
    void addSeparator(const QString& menu);

    QAction* action(const QString& id) const;
    QMenu* menu(const QString& id) const;
    const std::vector<Entry>& entries() const { return entries_; }
    // Every command that has keys: menu by menu in the order of the menu bar,
    // each with the path of its menu ("Edit > Take Theirs"), then the keys of no
    // menu.
    QList<ShortcutRow> shortcutRows() const;

    // The keys of the desktop's standard bindings that keyboards of today have:
    // Sun keyboards' F13 and above (Undo, Copy, Paste, ... keys) are left out.
    static QList<QKeySequence> keysOnKeyboards(const QList<QKeySequence>& keys);

private:
    struct Menu {
        QString id;
        QString parent;
        QMenu* menu;
    };
    const Menu* findMenu(const QString& id) const;
    QString pathOf(const QString& menu) const;
    int barPosition(const QString& menu) const;

    QMainWindow& window_;
    std::vector<Menu> menus_;
    std::vector<Entry> entries_;
};
