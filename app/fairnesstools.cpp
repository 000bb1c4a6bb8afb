// SPDX-License-Identifier: MIT
#include "fairnesstools.h"

#include "actiontable.h"
#include "hexmapview.h"
#include "mapeditor.h"
#include "scriptfolders.h"
#include "userdialogs.h"

#include <QActionGroup>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// Below this size (centre to corner, in pixels) a territory's hexes are filled
// as boxes.
constexpr double SmallHex = 3;

} // namespace

FairnessTools::FairnessTools(UserDialogs& dialogs, QWidget* window)
    : QObject(window), dialogs_(dialogs), window_(window) {}

void FairnessTools::attach(HexMapView& picture, MapEditor& editor) {
    MapFairness* fairness = &editor.fairness();
    connect(&picture, &HexMapView::rulerMoved, fairness, [fairness](int c1, int r1, int c2, int r2) {
        fairness->setRuler(HexCell{c1, r1}, HexCell{c2, r2});
    });
    connect(&picture, &HexMapView::rulerDropped, fairness, [fairness] { fairness->clearRuler(); });
    connect(fairness, &MapFairness::rulerChanged, &picture, qOverload<>(&QWidget::update));
    connect(fairness, &MapFairness::territoriesChanged, &picture, qOverload<>(&QWidget::update));
    QPointer<MapFairness> drawn(fairness);
    picture.addMapPass([drawn](QPainter& painter, const HexGeometry& geometry) {
        if (drawn) {
            draw(painter, geometry, *drawn);
        }
    });
}

void FairnessTools::setEditor(MapEditor* editor) {
    for (const auto& connection : followed_) {
        disconnect(connection);
    }
    followed_.clear();
    editor_ = editor;
    if (editor) {
        MapFairness* fairness = &editor->fairness();
        followed_ << connect(fairness, &MapFairness::rulerChanged, this, &FairnessTools::rulerChanged);
        followed_ << connect(fairness, &MapFairness::costTableChanged, this, &FairnessTools::refreshCostMenu);
    }
    rulerChanged();
    refreshCostMenu();
}

void FairnessTools::rulerChanged() {
    emit rulerText(editor_ ? editor_->fairness().rulerText() : QString());
}

QList<FairnessTools::Offered> FairnessTools::offeredTables() {
    QList<Offered> offered;
    QStringList names;
    for (const QString& folder : scriptfolders::costTableFolders()) {
        const QDir dir(folder);
        for (const QFileInfo& file : dir.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
            const QString name = file.completeBaseName();
            if (!names.contains(name)) {
                names << name;
                offered.push_back({name, file.filePath()});
            }
        }
    }
    return offered;
}

bool FairnessTools::chooseCostTable(const QString& fileName) {
    if (!editor_) {
        return false;
    }
    const DocumentResult chosen = editor_->fairness().chooseCostTable(fileName);
    if (!chosen) {
        dialogs_.showMessage(window_, tr("The cost table was not taken.\n%1").arg(chosen.message));
        refreshCostMenu(); // the check mark stays on the table in use
        return false;
    }
    return true;
}

bool FairnessTools::territoriesOfSelection() {
    if (!editor_) {
        return false;
    }
    std::vector<std::vector<HexCell>> sides;
    const std::vector<bool> mask = editor_->selection().mask();
    const int rows = editor_->document().rows();
    for (std::size_t slot = 0; slot < mask.size(); ++slot) {
        if (mask[slot]) {
            sides.push_back({HexCell{static_cast<int>(slot) / rows, static_cast<int>(slot) % rows}});
        }
    }
    const DocumentResult set = editor_->fairness().setSides(sides);
    if (!set) {
        dialogs_.showMessage(window_, tr("Select two start hexes or more first.\n%1").arg(set.message));
    }
    return set.ok();
}

bool FairnessTools::territoriesOfCities(amp::Half half) {
    if (!editor_) {
        return false;
    }
    MapFairness& fairness = editor_->fairness();
    const DocumentResult set = fairness.setSides(fairness.citySidesOfHalves(half));
    if (!set) {
        dialogs_.showMessage(window_, tr("Each half needs a hex of \"city b1\".\n%1").arg(set.message));
    }
    return set.ok();
}

void FairnessTools::hideTerritories() {
    if (editor_) {
        editor_->fairness().clearSides();
    }
}

void FairnessTools::addActions(ActionTable& table, const QString& menu,
                               const std::function<void()>& chooseRuler) {
    table.addSeparator(menu);
    table.add(menu, QStringLiteral("map.ruler"), tr("R&uler (M in the Picture)"), {},
              [chooseRuler](bool) { chooseRuler(); });
    costMenu_ = table.addMenu(QStringLiteral("map.costTable"), tr("&Cost Table"), menu);
    connect(costMenu_, &QMenu::aboutToShow, this, &FairnessTools::refreshCostMenu);
    const QString territories = QStringLiteral("map.territories");
    table.addMenu(territories, tr("&Territories"), menu);
    table.add(territories, QStringLiteral("map.territories.selection"), tr("Of the &Selected Hexes"), {},
              [this](bool) { territoriesOfSelection(); });
    table.add(territories, QStringLiteral("map.territories.citiesLeftRight"),
              tr("Of \"city b1\", &Left and Right Halves"), {},
              [this](bool) { territoriesOfCities(amp::Half::LeftRight); });
    table.add(territories, QStringLiteral("map.territories.citiesTopBottom"),
              tr("Of \"city b1\", &Top and Bottom Halves"), {},
              [this](bool) { territoriesOfCities(amp::Half::TopBottom); });
    table.add(territories, QStringLiteral("map.territories.hide"), tr("&Hide Territories"), {},
              [this](bool) { hideTerritories(); });
    refreshCostMenu();
}

// The tables as they are in the folders now, the one in use checked.
void FairnessTools::refreshCostMenu() {
    if (!costMenu_) {
        return;
    }
    costMenu_->clear();
    auto* group = new QActionGroup(costMenu_);
    const QString inUse =
        editor_ && editor_->fairness().hasCostTable() ? editor_->fairness().costTableFile() : QString();
    QAction* none = costMenu_->addAction(tr("None: Every Step Counts 1"));
    none->setCheckable(true);
    none->setChecked(inUse.isEmpty());
    group->addAction(none);
    connect(none, &QAction::triggered, this, [this] {
        if (editor_) {
            editor_->fairness().clearCostTable();
        }
    });
    costMenu_->addSeparator();
    for (const Offered& table : offeredTables()) {
        QAction* item = costMenu_->addAction(table.name);
        item->setCheckable(true);
        item->setChecked(QFileInfo(table.fileName) == QFileInfo(inUse));
        item->setToolTip(QDir::toNativeSeparators(table.fileName));
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, file = table.fileName] { chooseCostTable(file); });
    }
}

QColor FairnessTools::sideColour(int side) {
    static const QColor colours[] = {QColor(230, 60, 60),  QColor(50, 110, 230), QColor(40, 170, 70),
                                     QColor(230, 160, 20), QColor(160, 60, 200), QColor(20, 180, 190)};
    return colours[static_cast<std::size_t>(side) % std::size(colours)];
}

// Territories under the ruler: a colour per side, contested hexes crossed; then
// the ruler's line of hexes outlined, its path through the hexes' centres and
// its two ends. Only hexes in the painter's view are drawn.
void FairnessTools::draw(QPainter& painter, const HexGeometry& geometry, MapFairness& fairness) {
    const QRectF view = painter.transform().inverted().mapRect(
        QRectF(0, 0, painter.device()->width(), painter.device()->height()));
    const auto polygon = [&](int column, int row) {
        const auto corners = geometry.corners(column, row);
        return QPolygonF(QList<QPointF>(corners.begin(), corners.end()));
    };
    const std::vector<std::int32_t>& owners = fairness.owners();
    const int columns = geometry.columns();
    const int rows = geometry.rows();
    if (!owners.empty() &&
        owners.size() == static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows)) {
        painter.setPen(Qt::NoPen);
        const bool small = geometry.size() < SmallHex;
        const QBrush contested(QColor(20, 20, 20, 170), Qt::DiagCrossPattern);
        for (int column = 0; column < columns; ++column) {
            if (!geometry.bounds(column, 0).united(geometry.bounds(column, rows - 1)).intersects(view)) {
                continue;
            }
            for (int row = 0; row < rows; ++row) {
                if (!geometry.bounds(column, row).intersects(view)) {
                    continue;
                }
                const std::int32_t owner =
                    owners[static_cast<std::size_t>(column) * static_cast<std::size_t>(rows) +
                           static_cast<std::size_t>(row)];
                if (owner >= 0) {
                    QColor colour = sideColour(owner);
                    colour.setAlpha(110);
                    painter.setBrush(colour);
                } else if (owner == amp::Contested) {
                    painter.setBrush(contested);
                } else {
                    continue;
                }
                if (small) { // a few pixels: the hex's box is as good, and far quicker
                    painter.fillRect(geometry.bounds(column, row), painter.brush());
                } else {
                    painter.drawPolygon(polygon(column, row));
                }
            }
        }
        for (std::size_t side = 0; side < fairness.sides().size(); ++side) {
            painter.setBrush(sideColour(static_cast<int>(side)));
            painter.setPen(QPen(Qt::white, 1));
            for (const HexCell& start : fairness.sides()[side]) {
                painter.drawEllipse(geometry.centre(start.column, start.row), geometry.size() * 0.4,
                                    geometry.size() * 0.4);
            }
        }
    }
    const auto& ruler = fairness.ruler();
    if (!ruler) {
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(255, 255, 255, 200), std::max(1.0, geometry.size() / 8)));
    for (const HexCell& hex : ruler->line) {
        painter.drawPolygon(polygon(hex.column, hex.row));
    }
    const double width = std::max(2.0, geometry.size() / 3);
    if (ruler->path) {
        QPainterPath path;
        bool first = true;
        for (const hexsymmetry::Offset& hex : ruler->path->hexes) {
            const QPointF centre = geometry.centre(hex.column, hex.row);
            if (first) {
                path.moveTo(centre);
                first = false;
            } else {
                path.lineTo(centre);
            }
        }
        painter.setPen(QPen(QColor(20, 20, 20), width + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
        painter.setPen(QPen(QColor(255, 200, 0), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(path);
    } else {
        painter.setPen(QPen(QColor(20, 20, 20), width / 2, Qt::DashLine, Qt::RoundCap));
        painter.drawLine(geometry.centre(ruler->from.column, ruler->from.row),
                         geometry.centre(ruler->to.column, ruler->to.row));
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    for (const HexCell& end : {ruler->from, ruler->to}) {
        painter.drawEllipse(geometry.centre(end.column, end.row), width, width);
    }
}
