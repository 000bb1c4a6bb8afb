// SPDX-License-Identifier: MIT
#include "mappanel.h"
#include "hexmapview.h"
#include "layerspanel.h"
#include "mapdocument.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int BarWidth = 256;
constexpr int BarHeight = 12;
// Room around each legend entry, in pixels.
constexpr int LegendSpacing = 8;

} // namespace

MapPanel::MapPanel(MapDocument& document, QWidget* parent)
    : QWidget(parent), document_(document), view_(new HexMapView(document, this)),
      tools_(new QButtonGroup(this)), brushSize_(new QComboBox(this)), brushValue_(new QSpinBox(this)),
      layout_(new QVBoxLayout(this)), recount_(new QTimer(this)) {
    auto* tools = new QHBoxLayout;
    const std::array<std::pair<QString, QString>, 3> toolTexts = {{
        {tr("Select"), tr("Click to select a hex; Shift+drag selects a rectangle")},
        {tr("Paint"), tr("Drag with the left button to paint the brush value")},
        {tr("Fill"), tr("Click to fill the connected hexes of the same value with the brush value")},
    }};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QToolButton(this);
        button->setText(toolTexts[static_cast<std::size_t>(i)].first);
        button->setToolTip(toolTexts[static_cast<std::size_t>(i)].second);
        button->setCheckable(true);
        button->setChecked(i == 0);
        tools_->addButton(button, i);
        tools->addWidget(button);
    }
    // Radius 0 to 4: 1, 7, 19, 37 and 61 hexes.
    for (int radius = 0; radius <= HexMapView::MaximumBrushRadius; ++radius) {
        const int hexes = 3 * radius * (radius + 1) + 1;
        brushSize_->addItem(hexes == 1 ? tr("1 hex") : tr("%1 hexes").arg(hexes));
    }
    brushSize_->setToolTip(tr("Brush size: a hex and the hexes up to 4 steps around it"));
    brushValue_->setRange(0, 255);
    brushValue_->setToolTip(tr("Brush value"));
    tools->addWidget(brushSize_);
    tools->addWidget(new QLabel(tr("Value"), this));
    tools->addWidget(brushValue_);
    tools->addStretch(1);

    layout_->setContentsMargins(2, 2, 2, 2);
    layout_->addLayout(tools);
    layout_->addWidget(view_, 1);
    // Before a map there is no hex to show or paint: a word instead of the picture.
    hint_ = new QLabel(tr("No map yet: read a map (Ctrl+O) or make a new one (Ctrl+N)."), this);
    hint_->setObjectName(QStringLiteral("noMapHint"));
    hint_->setAlignment(Qt::AlignCenter);
    hint_->setWordWrap(true);
    layout_->addWidget(hint_, 1);
    const auto showMap = [this] {
        hint_->setVisible(!document_.hasMap());
        view_->setVisible(document_.hasMap());
    };
    showMap();
    connect(&document_, &MapDocument::mapReset, this, showMap);

    connect(tools_, &QButtonGroup::idClicked, this,
            [this](int id) { view_->setTool(static_cast<HexMapView::Tool>(id)); });
    connect(brushSize_, &QComboBox::currentIndexChanged, this,
            [this](int radius) { view_->setBrushRadius(radius); });
    connect(brushValue_, &QSpinBox::valueChanged, this, &MapPanel::refreshBrush);
    connect(view_, &HexMapView::valuePicked, brushValue_, &QSpinBox::setValue);
    // Counting waits for a quiet moment: a stroke or a fill changes many cells.
    recount_->setSingleShot(true);
    recount_->setInterval(150);
    connect(recount_, &QTimer::timeout, this, &MapPanel::refreshLegend);
    connect(recount_, &QTimer::timeout, this, [this] {
        if (legends_ && legends_->currentWidget() == rampBar_) {
            refreshRampBar();
        }
    });
    const auto later = [this] { recount_->start(); };
    connect(&document_, &MapDocument::cellsChanged, this, [this, later](int layer) {
        if (layer == amp::TerrainLayer || layer == view_->layer()) {
            later();
        }
    });
    connect(&document_, &MapDocument::mapReset, this, &MapPanel::refreshLegend);
    refreshBrush();
    setLayer(0);
}

// The window's first paint shows the form and the tools; the legend comes right
// after, as the picture does.
void MapPanel::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!legends_) {
        QTimer::singleShot(0, this, &MapPanel::buildLegends);
    }
}

void MapPanel::buildLegends() {
    if (legends_) {
        return;
    }
    legends_ = new QStackedWidget(this);
    terrainLegend_ = new QListWidget(legends_);
    rampBar_ = new QLabel(legends_);
    terrainLegend_->setToolTip(tr("Pick a terrain to paint with"));
    // The entries flow in lines as wide as the dock, and the legend is as high
    // as its lines.
    terrainLegend_->setFlow(QListView::LeftToRight);
    terrainLegend_->setWrapping(true);
    terrainLegend_->setResizeMode(QListView::Adjust);
    terrainLegend_->setUniformItemSizes(true);
    terrainLegend_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    terrainLegend_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rampBar_->setMinimumHeight(24);
    legends_->addWidget(terrainLegend_);
    legends_->addWidget(rampBar_);
    layout_->addWidget(legends_);
    connect(terrainLegend_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < palettes::TerrainCount) {
            brushValue_->setValue(row);
        }
    });
    refreshLegend();
    setLayer(view_->layer());
}

void MapPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitLegend();
}

void MapPanel::fitLegend() {
    if (!terrainLegend_ || terrainLegend_->count() == 0) {
        return;
    }
    const QSize entry = terrainLegend_->sizeHintForIndex(terrainLegend_->model()->index(0, 0));
    int widest = entry.width();
    for (int row = 0; row < terrainLegend_->count(); ++row) {
        widest = std::max(widest,
                          terrainLegend_->sizeHintForIndex(terrainLegend_->model()->index(row, 0)).width());
    }
    const QSize grid(widest + LegendSpacing, entry.height() + LegendSpacing / 2);
    terrainLegend_->setGridSize(grid);
    const int frame = 2 * terrainLegend_->frameWidth();
    const int perLine = std::max(1, (width() - frame - LegendSpacing) / grid.width());
    const int lines = (terrainLegend_->count() + perLine - 1) / perLine;
    terrainLegend_->setFixedHeight(lines * grid.height() + frame + LegendSpacing / 2);
    if (legends_->currentWidget() == terrainLegend_) {
        legends_->setFixedHeight(terrainLegend_->height());
    }
}

// The bar is drawn when it is first shown and again when the palette changes.
void MapPanel::setLayer(int layer) {
    view_->setLayer(layer);
    if (!legends_) {
        return;
    }
    if (layer != amp::TerrainLayer) {
        refreshRampBar();
    }
    legends_->setCurrentIndex(layer == amp::TerrainLayer ? 0 : 1);
    legends_->setFixedHeight(layer == amp::TerrainLayer ? terrainLegend_->height()
                                                        : rampBar_->sizeHint().height());
}

void MapPanel::setColourBlind(bool cividis) {
    view_->setRamp(cividis ? palettes::Ramp::Cividis : palettes::Ramp::Viridis);
    if (terrainLegend_) {
        terrainLegend_->clear(); // its swatches in the new palette
        refreshLegend();
    }
    if (legends_ && legends_->currentWidget() == rampBar_) {
        refreshRampBar();
    }
}

void MapPanel::setLayersShown(bool shown) {
    if (shown && !layers_) {
        layers_ = new LayersPanel(*view_, this);
        layout_->insertWidget(layout_->indexOf(view_) + 1, layers_);
    }
    if (layers_) {
        layers_->setVisible(shown);
    }
}

void MapPanel::refreshBrush() {
    view_->setBrushText(LayerModel::canonicalText(static_cast<std::uint8_t>(brushValue_->value())));
}

void MapPanel::refreshLegend() {
    if (!terrainLegend_) {
        return; // counted when the legend is built
    }
    std::array<int, palettes::TerrainCount + 1> counts{}; // the last: every value without a colour of its own
    if (document_.hasMap()) {                             // before a map the views' empty cells are no hexes
        document_.layer(amp::TerrainLayer)->countValues(counts);
    }
    const bool fresh = terrainLegend_->count() == 0;
    for (int value = 0; value <= palettes::TerrainCount; ++value) {
        const bool unknown = value == palettes::TerrainCount;
        const std::string_view name =
            unknown ? std::string_view("unknown (19-255)") : amp::terrainName(value);
        const QString text = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())) +
                             QStringLiteral("  ") + QString::number(counts[static_cast<std::size_t>(value)]);
        if (fresh) {
            QPixmap swatch(14, 14);
            swatch.fill(QColor(view_->coloursOf(amp::TerrainLayer).colour(value)));
            auto* item = new QListWidgetItem(QIcon(swatch), text, terrainLegend_);
            if (unknown) {
                item->setFlags(item->flags() & ~Qt::ItemIsSelectable);
            }
        } else {
            terrainLegend_->item(value)->setText(text);
        }
    }
    if (fresh) {
        fitLegend();
    }
}

// The bar of the layer on show: its scale from the lowest value it holds on the
// left to the highest on the right, or a swatch for each value it holds.
void MapPanel::refreshRampBar() {
    const palettes::LayerColours& colours = view_->coloursOf(view_->layer());
    QPixmap shown(QSize(BarWidth, 2 * BarHeight));
    shown.fill(palette().color(QPalette::Window));
    QPainter painter(&shown);
    painter.setPen(palette().color(QPalette::WindowText));
    if (colours.isCategorical()) {
        std::vector<int> held = {colours.low()};
        for (int value = colours.low() + 1; value <= colours.high(); ++value) {
            if (colours.colour(value) != colours.colour(value - 1)) {
                held.push_back(value);
            }
        }
        const int width = BarWidth / static_cast<int>(held.size());
        for (std::size_t i = 0; i < held.size(); ++i) {
            const QRect swatch(static_cast<int>(i) * width, 0, width - 1, BarHeight);
            painter.fillRect(swatch, QColor(colours.colour(held[i])));
            painter.drawText(swatch.translated(0, BarHeight), Qt::AlignHCenter, QString::number(held[i]));
        }
    } else {
        for (int x = 0; x < BarWidth; ++x) {
            const int value = colours.low() + (colours.high() - colours.low()) * x / (BarWidth - 1);
            painter.fillRect(QRect(x, 0, 1, BarHeight), QColor(colours.colour(value)));
        }
        const QRect labels(0, BarHeight, BarWidth, BarHeight);
        painter.drawText(labels, Qt::AlignLeft, QString::number(colours.low()));
        painter.drawText(labels, Qt::AlignRight, QString::number(colours.high()));
    }
    rampBar_->setPixmap(shown);
}
