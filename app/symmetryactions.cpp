// SPDX-License-Identifier: MIT
#include "symmetryactions.h"
#include "hexmapview.h"
#include "mapdocument.h"
#include "stamptool.h"
#include "tfrmmaped.h"
#include "userdialogs.h"

#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

// Menus belong to the menu bar, where Help > Keyboard Shortcuts finds them.
QWidget* menuBarOf(QWidget* window) {
    auto* main = qobject_cast<QMainWindow*>(window);
    return main ? static_cast<QWidget*>(main->menuBar()) : window;
}

} // namespace

SymmetryActions::SymmetryActions(MapDocument& document, TfrmMapEd& form, HexMapView& picture,
                                 UserDialogs& dialogs, QWidget* window)
    : QObject(window), document_(document), form_(form), picture_(picture), dialogs_(dialogs),
      window_(window), menu_(new QMenu(tr("S&ymmetry"), menuBarOf(window))),
      stampTool_(new StampTool(document, picture)) {
    connect(stampTool_, &StampTool::message, this, &SymmetryActions::message);
    using hexsymmetry::Flip;
    using hexsymmetry::Mode;
    using hexsymmetry::Side;
    const auto add = [this](QMenu* menu, const QString& text, const QKeySequence& key, auto slot) {
        QAction* action = menu->addAction(text);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    const auto flip = [this](Flip kind) {
        SymmetryRequest request;
        request.flip = kind;
        request.selectionOnly = true; // the map when nothing is selected
        run(request);
    };
    add(menu_, tr("Flip &Left–Right…"), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_H),
        [flip] { flip(Flip::LeftRight); });
    add(menu_, tr("Flip &Top–Bottom…"), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_V),
        [flip] { flip(Flip::TopBottom); });
    add(menu_, tr("&Rotate 180°…"), QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_R),
        [flip] { flip(Flip::Point); });
    menu_->addSeparator();
    QMenu* make = menu_->addMenu(tr("Make &Symmetric"));
    const struct {
        const char* text;
        Side side;
        Mode mode;
    } symmetries[] = {{QT_TR_NOOP("&Left Half onto Right…"), Side::Left, Mode::Mirror},
                      {QT_TR_NOOP("&Right Half onto Left…"), Side::Right, Mode::Mirror},
                      {QT_TR_NOOP("&Top Half onto Bottom…"), Side::Top, Mode::Mirror},
                      {QT_TR_NOOP("&Bottom Half onto Top…"), Side::Bottom, Mode::Mirror},
                      {QT_TR_NOOP("Top-Left &Quarter onto the Rest…"), Side::TopLeft, Mode::Mirror},
                      {QT_TR_NOOP("180° &Point Symmetry, Left Half Kept…"), Side::Left, Mode::Point}};
    for (const auto& symmetry : symmetries) {
        add(make, tr(symmetry.text), {}, [this, side = symmetry.side, mode = symmetry.mode] {
            SymmetryRequest request;
            request.action = SymmetryRequest::Action::Symmetrize;
            request.side = side;
            request.mode = mode;
            run(request);
        });
    }
    QMenu* brush = menu_->addMenu(tr("Symmetric &Brush"));
    auto* group = new QActionGroup(this);
    const struct {
        const char* text;
        std::optional<BrushSymmetry> symmetry;
    } brushes[] = {{QT_TR_NOOP("&Off"), std::nullopt},
                   {QT_TR_NOOP("&Left–Right"), BrushSymmetry{Side::Left, Mode::Mirror}},
                   {QT_TR_NOOP("&Top–Bottom"), BrushSymmetry{Side::Top, Mode::Mirror}},
                   {QT_TR_NOOP("&Four Quarters"), BrushSymmetry{Side::TopLeft, Mode::Mirror}},
                   {QT_TR_NOOP("180° &Point"), BrushSymmetry{Side::Left, Mode::Point}}};
    for (const auto& choice : brushes) {
        QAction* action =
            add(brush, tr(choice.text), {}, [this, symmetry = choice.symmetry] { setBrush(symmetry); });
        action->setCheckable(true);
        action->setChecked(!choice.symmetry);
        group->addAction(action);
    }
}

bool SymmetryActions::run(SymmetryRequest request) {
    const bool even = picture_.evenColumnsLower();
    if (!document_.hasMap() ||
        !dialogs_.askSymmetry(window_, request, symmetryedits::usesSelection(document_, true),
                              [this, even](const SymmetryRequest& r) {
                                  return symmetryedits::countWithoutImage(document_, r, even);
                              })) {
        return false;
    }
    const QString done = symmetryedits::apply(document_, form_.CurrentLayer(), request, even);
    emit message(done.isEmpty() ? tr("%1 changes no cell.").arg(symmetryedits::describe(request)) : done);
    return !done.isEmpty();
}

void SymmetryActions::setBrush(std::optional<BrushSymmetry> symmetry) {
    symmetryedits::setSymmetricBrush(document_, symmetry, [this] { return picture_.evenColumnsLower(); });
    emit message(symmetry ? tr("The brush paints symmetrically.")
                          : tr("The brush paints one hex at a time."));
}

void SymmetryActions::addStampItems(QMenu* edit) {
    const auto add = [this](QMenu* menu, const QString& text, const QKeySequence& key, auto slot) {
        QAction* action = menu->addAction(text);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
    };
    edit->addSeparator();
    add(edit, tr("Cop&y as Stamp"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C),
        [this] { copyAsStamp(false); });
    add(edit, tr("Copy All Layers as Sta&mp"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_C),
        [this] { copyAsStamp(true); });
    QMenu* kept = edit->addMenu(tr("R&ecent Stamps"));
    static constexpr Qt::Key digits[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5,
                                         Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9};
    for (std::size_t i = 0; i < StampTool::Kept; ++i) {
        add(kept, tr("Stamp %1").arg(i + 1), QKeySequence(Qt::CTRL | digits[i]),
            [this, i] { stampTool_->choose(i); });
    }
}

bool SymmetryActions::copyAsStamp(bool allLayers) {
    auto stamp =
        symmetryedits::copyAsStamp(document_, form_.CurrentLayer(), allLayers, picture_.evenColumnsLower());
    if (!stamp) {
        emit message(tr("Select the hexes of a stamp first."));
        return false;
    }
    stampTool_->addStamp(std::move(*stamp));
    return true;
}
