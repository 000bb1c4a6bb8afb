// SPDX-License-Identifier: MIT
#include "statisticsdock.h"

#include "fairnesstools.h"
#include "mapeditor.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Counting waits for the map to be quiet; a selection dragged changes often too.
constexpr int QuietMilliseconds = 100;

QString percent(double share) {
    return QStringLiteral("%1%").arg(share * 100, 0, 'f', 1);
}

QString signedNumber(double value, int decimals) {
    const QString text = QString::number(std::abs(value), 'f', decimals);
    return value > 0 ? QStringLiteral("+") + text : value < 0 ? QStringLiteral("−") + text : text;
}

// Runs of selected rows in each column, one rectangle of cells each.
std::vector<QRect> rectanglesOf(const std::vector<std::int32_t>& held, int rows) {
    std::vector<QRect> rectangles;
    for (std::size_t k = 0; k < held.size();) {
        const int column = held[k] / rows;
        const int first = held[k] % rows;
        std::size_t end = k + 1;
        while (end < held.size() && held[end] == held[end - 1] + 1 && held[end] / rows == column) {
            ++end;
        }
        rectangles.emplace_back(column, first, 1, static_cast<int>(end - k));
        k = end;
    }
    return rectangles;
}

} // namespace

StatisticsDock::StatisticsDock(QMainWindow* window)
    : QDockWidget(tr("Statistics"), window), half_(new QComboBox), flip_(new QComboBox),
      counts_(new QTableWidget), symmetry_(new QTableWidget), later_(new QTimer(this)) {
    setObjectName(QStringLiteral("statisticsDock"));
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    auto* choices = new QHBoxLayout;
    half_->addItem(tr("Left and right halves"));
    half_->addItem(tr("Top and bottom halves"));
    half_->setToolTip(tr("How the map is cut into two halves (of an odd count, the middle column or row "
                         "belongs to neither)"));
    flip_->addItem(tr("Mirror left–right"));
    flip_->addItem(tr("Mirror top–bottom"));
    flip_->addItem(tr("Half turn"));
    flip_->setToolTip(tr("The symmetry scored: the share of hexes equal to their image"));
    choices->addWidget(half_);
    choices->addWidget(flip_);
    layout->addLayout(choices);
    counts_->setObjectName(QStringLiteral("statisticsCounts"));
    counts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    counts_->setSelectionMode(QAbstractItemView::SingleSelection);
    counts_->setToolTip(tr("Click a count to select its hexes"));
    layout->addWidget(counts_, 3);
    symmetry_->setObjectName(QStringLiteral("statisticsSymmetry"));
    symmetry_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    symmetry_->setColumnCount(1);
    symmetry_->setHorizontalHeaderLabels({tr("Symmetry")});
    layout->addWidget(symmetry_, 2);
    // Rows as high as a line of text, so that the dock shows many at its first size.
    for (QTableWidget* table : {counts_, symmetry_}) {
        table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    }
    symmetry_->horizontalHeader()->setStretchLastSection(true);
    setWidget(content);
    setFeatures(DockWidgetClosable | DockWidgetFloatable | DockWidgetMovable);
    window->addDockWidget(Qt::RightDockWidgetArea, this);
    hide();

    later_->setSingleShot(true);
    later_->setInterval(QuietMilliseconds);
    connect(later_, &QTimer::timeout, this, &StatisticsDock::refresh);
    connect(half_, &QComboBox::currentIndexChanged, this, &StatisticsDock::refreshLater);
    connect(flip_, &QComboBox::currentIndexChanged, this, &StatisticsDock::refreshLater);
    connect(this, &QDockWidget::visibilityChanged, this, [this, window](bool visible) {
        if (visible) {
            refreshLater();
        }
        // Shown the first time below the picture, the dock takes half the
        // window's height rather than the few rows the picture leaves it.
        if (visible && !sized_ && !isFloating()) {
            sized_ = true;
            window->resizeDocks({this}, {window->height() / 2}, Qt::Vertical);
        }
    });
    connect(counts_, &QTableWidget::cellClicked, this,
            [this](int row, int column) { selectCounted(row, column); });
}

void StatisticsDock::setEditor(MapEditor* editor) {
    for (const auto& connection : followed_) {
        disconnect(connection);
    }
    followed_.clear();
    editor_ = editor;
    if (editor) {
        followed_ << connect(&editor->fairness(), &MapFairness::mapSettled, this,
                             &StatisticsDock::refreshLater);
        followed_ << connect(&editor->fairness(), &MapFairness::territoriesChanged, this,
                             &StatisticsDock::refreshLater);
        followed_ << connect(&editor->selection(), &MapSelection::changed, this,
                             &StatisticsDock::refreshLater);
        followed_ << connect(editor, &MapEditor::layoutChanged, this, &StatisticsDock::refreshLater);
    }
    refreshLater();
}

void StatisticsDock::refreshLater() {
    if (isVisible()) {
        later_->start();
    }
}

void StatisticsDock::refresh() {
    later_->stop();
    counts_->clear();
    parts_.clear();
    partOfColumn_.clear();
    rows_.clear();
    if (!editor_ || !editor_->document().hasMap()) {
        counts_->setRowCount(0);
        counts_->setColumnCount(0);
        symmetry_->setRowCount(0);
        return;
    }
    MapFairness& fairness = editor_->fairness();
    const amp::MapLayers& map = fairness.layers();

    // The parts, and after each pair of sides, their difference.
    std::vector<int> differences; // the first part of each pair
    parts_.push_back({tr("Map"), true, {}, amp::statsOfMap(map)});
    const std::vector<bool> mask = editor_->selection().mask();
    if (!mask.empty()) {
        Part selected{tr("Selection"), false, {}, {}};
        for (std::size_t slot = 0; slot < mask.size() && slot < static_cast<std::size_t>(map.hexCount());
             ++slot) {
            if (mask[slot]) {
                selected.held.push_back(static_cast<std::int32_t>(slot));
            }
        }
        selected.stats = amp::statsOfHexes(map, selected.held);
        parts_.push_back(std::move(selected));
    }
    const amp::Half half = half_->currentIndex() == 1 ? amp::Half::TopBottom : amp::Half::LeftRight;
    const QString halfNames[2][2] = {{tr("Left"), tr("Right")}, {tr("Top"), tr("Bottom")}};
    differences.push_back(static_cast<int>(parts_.size()));
    for (int which = 0; which < 2; ++which) {
        Part part{halfNames[half_->currentIndex() == 1 ? 1 : 0][which],
                  false,
                  amp::slotsOfHalf(map, half, which),
                  {}};
        part.stats = amp::statsOfHexes(map, part.held);
        parts_.push_back(std::move(part));
    }
    const std::size_t sides = fairness.owners().empty() ? 0 : fairness.sides().size();
    if (sides == 2) {
        differences.push_back(static_cast<int>(parts_.size()));
    }
    for (std::size_t side = 0; side < sides; ++side) {
        Part part{tr("Territory %1").arg(side + 1), false, fairness.slotsOfSide(static_cast<int>(side)), {}};
        part.stats = amp::statsOfHexes(map, part.held);
        parts_.push_back(std::move(part));
    }

    // The columns: each part, a difference after each pair.
    QStringList titles;
    for (std::size_t part = 0; part < parts_.size(); ++part) {
        titles << parts_[part].title;
        partOfColumn_.push_back(static_cast<int>(part));
        const int first = static_cast<int>(part) - 1;
        if (std::find(differences.begin(), differences.end(), first) != differences.end()) {
            titles << tr("%1 − %2").arg(parts_[part - 1].title, parts_[part].title);
            partOfColumn_.push_back(-first - 1); // a difference: -(its first part) - 1
        }
    }

    // The rows: hexes, the terrains the map holds, cities, roads, heights.
    const amp::HexStats& whole = parts_.front().stats;
    rows_.push_back({Measure::Hexes});
    for (int value = 0; value < 256; ++value) {
        if (whole.terrain[static_cast<std::size_t>(value)] > 0) {
            rows_.push_back({Measure::Terrain, value});
        }
    }
    rows_.push_back({Measure::Cities});
    rows_.push_back({Measure::Roads});
    rows_.push_back({Measure::HeightMin});
    rows_.push_back({Measure::HeightMean});
    rows_.push_back({Measure::HeightMax});
    QStringList rowTitles;
    for (const Row& row : rows_) {
        switch (row.measure) {
        case Measure::Hexes:
            rowTitles << tr("Hexes");
            break;
        case Measure::Terrain: {
            const std::string_view name = amp::terrainName(row.terrain);
            rowTitles << (name.empty()
                              ? tr("Terrain %1").arg(row.terrain)
                              : tr("%1 (%2)")
                                    .arg(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())))
                                    .arg(row.terrain));
            break;
        }
        case Measure::Cities:
            rowTitles << tr("Cities");
            break;
        case Measure::Roads:
            rowTitles << tr("Road hexes");
            break;
        case Measure::HeightMin:
            rowTitles << tr("Height b1 lowest");
            break;
        case Measure::HeightMean:
            rowTitles << tr("Height b1 mean");
            break;
        case Measure::HeightMax:
            rowTitles << tr("Height b1 highest");
            break;
        }
    }

    counts_->setColumnCount(static_cast<int>(titles.size()));
    counts_->setRowCount(static_cast<int>(rowTitles.size()));
    counts_->setHorizontalHeaderLabels(titles);
    counts_->setVerticalHeaderLabels(rowTitles);
    const auto count = [](const amp::HexStats& stats, const Row& row) -> double {
        switch (row.measure) {
        case Measure::Hexes:
            return stats.hexes;
        case Measure::Terrain:
            return stats.terrain[static_cast<std::size_t>(row.terrain)];
        case Measure::Cities:
            return stats.cities;
        case Measure::Roads:
            return stats.roads;
        case Measure::HeightMin:
            return stats.heightMin;
        case Measure::HeightMean:
            return stats.heightMean;
        case Measure::HeightMax:
            return stats.heightMax;
        }
        return 0;
    };
    for (int column = 0; column < counts_->columnCount(); ++column) {
        const int part = partOfColumn_[static_cast<std::size_t>(column)];
        for (int r = 0; r < counts_->rowCount(); ++r) {
            const Row& row = rows_[static_cast<std::size_t>(r)];
            const bool height = row.measure == Measure::HeightMin || row.measure == Measure::HeightMean ||
                                row.measure == Measure::HeightMax;
            const int decimals = row.measure == Measure::HeightMean ? 2 : 0;
            QString text;
            if (part >= 0) {
                const amp::HexStats& stats = parts_[static_cast<std::size_t>(part)].stats;
                if (height && stats.hexes == 0) {
                    text = QStringLiteral("–");
                } else {
                    text = QString::number(count(stats, row), 'f', decimals);
                    if (row.measure == Measure::Terrain && stats.hexes > 0) {
                        text += QStringLiteral(" (%1)").arg(percent(count(stats, row) / stats.hexes));
                    }
                }
            } else {
                const amp::HexStats& a = parts_[static_cast<std::size_t>(-part - 1)].stats;
                const amp::HexStats& b = parts_[static_cast<std::size_t>(-part)].stats;
                text = height && (a.hexes == 0 || b.hexes == 0)
                           ? QStringLiteral("–")
                           : signedNumber(count(a, row) - count(b, row), decimals);
            }
            auto* item = new QTableWidgetItem(text);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            counts_->setItem(r, column, item);
        }
    }
    counts_->resizeColumnsToContents();
    refreshSymmetry();
}

void StatisticsDock::refreshSymmetry() {
    const amp::MapLayers& map = editor_->fairness().layers();
    const hexsymmetry::Flip flips[] = {hexsymmetry::Flip::LeftRight, hexsymmetry::Flip::TopBottom,
                                       hexsymmetry::Flip::Point};
    const amp::SymmetryScore score = amp::symmetryScore(map, flips[std::clamp(flip_->currentIndex(), 0, 2)]);
    symmetry_->setRowCount(amp::LayerCount + 1);
    QStringList names;
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        const std::string_view name = amp::LayerNames[static_cast<std::size_t>(layer)];
        names << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        symmetry_->setItem(layer, 0,
                           new QTableWidgetItem(percent(score.layer[static_cast<std::size_t>(layer)])));
    }
    names << tr("All 13 layers");
    symmetry_->setItem(amp::LayerCount, 0, new QTableWidgetItem(percent(score.all)));
    symmetry_->setVerticalHeaderLabels(names);
}

bool StatisticsDock::selectCounted(int row, int column) {
    if (!editor_ || row < 0 || column < 0 || static_cast<std::size_t>(row) >= rows_.size() ||
        static_cast<std::size_t>(column) >= partOfColumn_.size()) {
        return false;
    }
    const int part = partOfColumn_[static_cast<std::size_t>(column)];
    const Row& what = rows_[static_cast<std::size_t>(row)];
    if (part < 0 || what.measure == Measure::HeightMin || what.measure == Measure::HeightMean ||
        what.measure == Measure::HeightMax) {
        return false;
    }
    const amp::MapLayers& map = editor_->fairness().layers();
    const Part& counted = parts_[static_cast<std::size_t>(part)];
    std::vector<std::int32_t> all;
    if (counted.whole) {
        all.resize(static_cast<std::size_t>(map.hexCount()));
        std::iota(all.begin(), all.end(), 0);
    }
    const std::vector<std::int32_t>& held = counted.whole ? all : counted.held;
    std::vector<std::int32_t> chosen;
    for (const std::int32_t slot : held) {
        const bool counts =
            what.measure == Measure::Hexes ||
            (what.measure == Measure::Terrain && map.at(amp::TerrainLayer, slot) == what.terrain) ||
            (what.measure == Measure::Cities &&
             (map.at(amp::CityLayer1, slot) != 0 || map.at(amp::CityLayer2, slot) != 0)) ||
            (what.measure == Measure::Roads && map.at(amp::RoadsLayer, slot) != 0);
        if (counts) {
            chosen.push_back(slot);
        }
    }
    std::sort(chosen.begin(), chosen.end());
    editor_->selection().select(editor_->layer(), rectanglesOf(chosen, map.rows));
    return true;
}
