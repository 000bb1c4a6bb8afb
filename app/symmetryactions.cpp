// SPDX-License-Identifier: MIT
#include "symmetryactions.h"
#include "actiontable.h"
#include "hexmapview.h"
#include "mapdocument.h"
#include "mapeditor.h"
#include "stamptool.h"
#include "userdialogs.h"

#include <QActionGroup>

SymmetryActions::SymmetryActions(MapEditor& editor, HexMapView& picture, UserDialogs& dialogs,
                                 QWidget* window)
    : QObject(window), editor_(&editor), document_(&editor.document()), picture_(&picture), dialogs_(dialogs),
      window_(window), stampTool_(new StampTool(editor.document(), picture)) {
    connect(stampTool_, &StampTool::message, this, &SymmetryActions::message);
}

void SymmetryActions::setEditor(MapEditor* editor, HexMapView* picture) {
    editor_ = editor;
    document_ = &editor->document();
    picture_ = picture;
    stampTool_->setTarget(*document_, *picture);
}

bool SymmetryActions::run(SymmetryRequest request) {
    const bool even = editor_->evenColumnsLower();
    if (!document_->hasMap() ||
        !dialogs_.askSymmetry(window_, request, symmetryedits::usesSelection(*document_, true),
                              [this, even](const SymmetryRequest& r) {
                                  return symmetryedits::countWithoutImage(*document_, r, even);
                              })) {
        return false;
    }
    const QString done = symmetryedits::apply(*document_, editor_->layer(), request, even);
    emit message(done.isEmpty() ? tr("%1 changes no cell.").arg(symmetryedits::describe(request)) : done);
    return !done.isEmpty();
}

void SymmetryActions::setBrush(std::optional<BrushSymmetry> symmetry) {
    symmetryedits::setSymmetricBrush(*document_, symmetry, [this] { return editor_->evenColumnsLower(); });
    emit message(symmetry ? tr("The brush paints symmetrically.")
                          : tr("The brush paints one hex at a time."));
}

void SymmetryActions::addActions(ActionTable& table) {
    using hexsymmetry::Flip;
    using hexsymmetry::Mode;
    using hexsymmetry::Side;
    const QString symmetry = QStringLiteral("symmetry");
    table.addMenu(symmetry, tr("S&ymmetry"), {}, QStringLiteral("help"));
    const auto flip = [this](Flip kind) {
        SymmetryRequest request;
        request.flip = kind;
        request.selectionOnly = true; // the map when nothing is selected
        run(request);
    };
    table.add(symmetry, QStringLiteral("symmetry.flipLeftRight"), tr("Flip &Left–Right…"),
              {QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_H)}, [flip](bool) { flip(Flip::LeftRight); });
    table.add(symmetry, QStringLiteral("symmetry.flipTopBottom"), tr("Flip &Top–Bottom…"),
              {QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_V)}, [flip](bool) { flip(Flip::TopBottom); });
    table.add(symmetry, QStringLiteral("symmetry.rotate"), tr("&Rotate 180°…"),
              {QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_R)}, [flip](bool) { flip(Flip::Point); });
    table.addSeparator(symmetry);
    const QString make = QStringLiteral("symmetry.make");
    table.addMenu(make, tr("Make &Symmetric"), symmetry);
    const struct {
        const char* id;
        const char* text;
        Side side;
        Mode mode;
    } symmetries[] = {
        {"left", QT_TR_NOOP("&Left Half onto Right…"), Side::Left, Mode::Mirror},
        {"right", QT_TR_NOOP("&Right Half onto Left…"), Side::Right, Mode::Mirror},
        {"top", QT_TR_NOOP("&Top Half onto Bottom…"), Side::Top, Mode::Mirror},
        {"bottom", QT_TR_NOOP("&Bottom Half onto Top…"), Side::Bottom, Mode::Mirror},
        {"quarter", QT_TR_NOOP("Top-Left &Quarter onto the Rest…"), Side::TopLeft, Mode::Mirror},
        {"point", QT_TR_NOOP("180° &Point Symmetry, Left Half Kept…"), Side::Left, Mode::Point}};
    for (const auto& choice : symmetries) {
        table.add(make, make + QLatin1Char('.') + QLatin1String(choice.id), tr(choice.text), {},
                  [this, side = choice.side, mode = choice.mode](bool) {
                      SymmetryRequest request;
                      request.action = SymmetryRequest::Action::Symmetrize;
                      request.side = side;
                      request.mode = mode;
                      run(request);
                  });
    }
    const QString brush = QStringLiteral("symmetry.brush");
    table.addMenu(brush, tr("Symmetric &Brush"), symmetry);
    auto* group = new QActionGroup(this);
    const struct {
        const char* id;
        const char* text;
        std::optional<BrushSymmetry> symmetry;
    } brushes[] = {{"off", QT_TR_NOOP("&Off"), std::nullopt},
                   {"leftRight", QT_TR_NOOP("&Left–Right"), BrushSymmetry{Side::Left, Mode::Mirror}},
                   {"topBottom", QT_TR_NOOP("&Top–Bottom"), BrushSymmetry{Side::Top, Mode::Mirror}},
                   {"quarters", QT_TR_NOOP("&Four Quarters"), BrushSymmetry{Side::TopLeft, Mode::Mirror}},
                   {"point", QT_TR_NOOP("180° &Point"), BrushSymmetry{Side::Left, Mode::Point}}};
    for (const auto& choice : brushes) {
        QAction* action =
            table.add(brush, brush + QLatin1Char('.') + QLatin1String(choice.id), tr(choice.text), {},
                      [this, symmetry = choice.symmetry](bool) { setBrush(symmetry); });
        action->setCheckable(true);
        action->setChecked(!choice.symmetry);
        group->addAction(action);
    }

    // Edit > Copy as Stamp (the layer on show, or all layers) and the kept stamps.
    const QString edit = QStringLiteral("edit");
    table.addSeparator(edit);
    table.add(edit, QStringLiteral("edit.copyAsStamp"), tr("Cop&y as Stamp"),
              {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C)}, [this](bool) { copyAsStamp(false); });
    table.add(edit, QStringLiteral("edit.copyAllLayersAsStamp"), tr("Copy All Layers as Sta&mp"),
              {QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_C)},
              [this](bool) { copyAsStamp(true); });
    const QString kept = QStringLiteral("edit.stamps");
    table.addMenu(kept, tr("R&ecent Stamps"), edit);
    static constexpr Qt::Key digits[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5,
                                         Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9};
    for (std::size_t i = 0; i < StampTool::Kept; ++i) {
        table.add(kept, kept + QLatin1Char('.') + QString::number(i + 1), tr("Stamp %1").arg(i + 1),
                  {QKeySequence(Qt::CTRL | digits[i])}, [this, i](bool) { stampTool_->choose(i); });
    }
}

bool SymmetryActions::copyAsStamp(bool allLayers) {
    auto stamp =
        symmetryedits::copyAsStamp(*document_, editor_->layer(), allLayers, editor_->evenColumnsLower());
    if (!stamp) {
        emit message(tr("Select the hexes of a stamp first."));
        return false;
    }
    stampTool_->addStamp(std::move(*stamp));
    return true;
}
