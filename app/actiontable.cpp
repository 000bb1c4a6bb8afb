// SPDX-License-Identifier: MIT
#include "actiontable.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

ActionTable::ActionTable(QMainWindow& window) : QObject(&window), window_(window) {}

QMenu* ActionTable::addMenu(const QString& id, const QString& title, const QString& parent,
                            const QString& before) {
    Q_ASSERT_X(!findMenu(id), "ActionTable::addMenu", qPrintable(id));
    QMenu* made = nullptr;
    if (const Menu* owner = findMenu(parent)) {
        made = owner->menu->addMenu(title);
    } else if (const Menu* next = findMenu(before)) {
        made = new QMenu(title, window_.menuBar());
        window_.menuBar()->insertMenu(next->menu->menuAction(), made);
    } else {
        made = window_.menuBar()->addMenu(title);
    }
    menus_.push_back({id, parent, made});
    return made;
}

QAction* ActionTable::add(const QString& menu, const QString& id, const QString& text,
                          const QList<QKeySequence>& keys, Handler handler) {
    auto* made = new QAction(text, this);
    made->setShortcuts(keysOnKeyboards(keys));
    made->setShortcutContext(Qt::WindowShortcut);
    connect(made, &QAction::triggered, this,
            [handler = std::move(handler)](bool checked) { handler(checked); });
    return place(menu, id, made);
}

QAction* ActionTable::addToggle(const QString& menu, const QString& id, const QString& text,
                                const QList<QKeySequence>& keys, Handler handler) {
    QAction* made = add(menu, id, text, keys, [](bool) {});
    made->setCheckable(true);
    connect(made, &QAction::toggled, this,
            [handler = std::move(handler)](bool checked) { handler(checked); });
    return made;
}

QAction* ActionTable::place(const QString& menu, const QString& id, QAction* action, const QString& listed) {
    Q_ASSERT_X(!this->action(id), "ActionTable::place", qPrintable(id));
    const Menu* owner = findMenu(menu);
    Q_ASSERT_X(owner, "ActionTable::place", qPrintable(menu));
    owner->menu->addAction(action);
    entries_.push_back({id, menu, listed, {}, action});
    return action;
}

void ActionTable::list(const QString& id, QAction* action, const QString& where) {
    Q_ASSERT_X(!this->action(id), "ActionTable::list", qPrintable(id));
    entries_.push_back({id, {}, {}, where, action});
}

void ActionTable::addSeparator(const QString& menu) {
    if (const Menu* owner = findMenu(menu)) {
        owner->menu->addSeparator();
    }
}

QAction* ActionTable::action(const QString& id) const {
    const auto found =
        std::find_if(entries_.begin(), entries_.end(), [&id](const Entry& entry) { return entry.id == id; });
    return found == entries_.end() ? nullptr : found->action;
}

QMenu* ActionTable::menu(const QString& id) const {
    const Menu* found = findMenu(id);
    return found ? found->menu : nullptr;
}

const ActionTable::Menu* ActionTable::findMenu(const QString& id) const {
    if (id.isEmpty()) {
        return nullptr;
    }
    const auto found =
        std::find_if(menus_.begin(), menus_.end(), [&id](const Menu& menu) { return menu.id == id; });
    return found == menus_.end() ? nullptr : &*found;
}

QString ActionTable::pathOf(const QString& menu) const {
    const Menu* found = findMenu(menu);
    if (!found) {
        return {};
    }
    const QString title = found->menu->title().remove(QLatin1Char('&'));
    const QString above = pathOf(found->parent);
    return above.isEmpty() ? title : above + QStringLiteral(" > ") + title;
}

// Where the menu's top menu stands on the menu bar.
int ActionTable::barPosition(const QString& menu) const {
    const Menu* found = findMenu(menu);
    while (found && !found->parent.isEmpty()) {
        found = findMenu(found->parent);
    }
    return found ? int(window_.menuBar()->actions().indexOf(found->menu->menuAction())) : INT_MAX;
}

QList<ShortcutRow> ActionTable::shortcutRows() const {
    std::vector<const Entry*> order;
    for (const Entry& entry : entries_) {
        order.push_back(&entry);
    }
    std::stable_sort(order.begin(), order.end(), [this](const Entry* a, const Entry* b) {
        return barPosition(a->menu) < barPosition(b->menu);
    });
    QList<ShortcutRow> rows;
    for (const Entry* entry : order) {
        if (entry->action->shortcuts().isEmpty()) {
            continue;
        }
        QStringList keys;
        for (const QKeySequence& key : entry->action->shortcuts()) {
            keys << key.toString(QKeySequence::NativeText);
        }
        QString text = entry->listed.isEmpty() ? entry->action->text() : entry->listed;
        text.remove(QLatin1Char('&')).remove(QStringLiteral("…"));
        rows.append({text, keys.join(QStringLiteral(", ")),
                     entry->menu.isEmpty() ? entry->where : pathOf(entry->menu)});
    }
    return rows;
}

QList<QKeySequence> ActionTable::keysOnKeyboards(const QList<QKeySequence>& keys) {
    QList<QKeySequence> kept;
    for (const QKeySequence& key : keys) {
        const int code = key.isEmpty() ? 0 : key[0].key();
        if (code < Qt::Key_F13 || code > Qt::Key_F35) {
            kept.append(key);
        }
    }
    return kept;
}
