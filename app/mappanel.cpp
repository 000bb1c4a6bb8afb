// SPDX-License-Identifier: MIT
#include "mappanel.h"
#include "hexmapview.h"
#include "layerspanel.h"
#include "mapdocument.h"
#include "maprenderer.h"
#include "valuebox.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <vector>

namespace {

constexpr int BarWidth = 256;
constexpr int BarHeight = 12;
// Room around each legend entry, in pixels.
constexpr int LegendSpacing = 8;
// The legend goes beside the picture in a dock this many times wider than high.
constexpr double BesideRatio = 1.3;
// The legend shows lines enough for a few entries in any case.
constexpr int LegendLeastLines = 2;
// The picture is never smaller than this, so that a small map shows large enough.
constexpr int LeastPictureSide = 160;

// An arrow of a scroll bar moves the picture by this share of what is on show.
constexpr int ScrollSteps = 10;

} // namespace

MapPanel::MapPanel(MapDocument& document, QWidget* parent)
    : QWidget(parent), document_(document), view_(new HexMapView(document, this)),
      tools_(new QButtonGroup(this)), shape_(new QComboBox(this)), brushSize_(new QComboBox(this)),
      brushValue_(new ValueBox(this)), horizontal_(new QScrollBar(Qt::Horizontal, view_)),
      vertical_(new QScrollBar(Qt::Vertical, view_)), layout_(new QVBoxLayout(this)),
      recount_(new QTimer(this)) {
    auto* tools = new QHBoxLayout;
    const std::array<std::pair<QString, QString>, 4> toolTexts = {{
        {tr("Select"), tr("Click to select a hex; Shift+drag selects a rectangle")},
        {tr("Paint"), tr("Drag with the left button to paint the brush value")},
        {tr("Fill"), tr("Click to fill the connected hexes of the same value with the brush value")},
        {tr("Ruler"), tr("Drag from hex to hex to measure the distance and, with a cost table, the cheapest "
                         "path (M); Esc takes the ruler away")},
    }};
    for (int i = 0; i < static_cast<int>(toolTexts.size()); ++i) {
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
    brushValue_->setToolTip(tr("Brush value: a terrain by name, or any value 0-255 typed"));
    // The paint tool's shapes, also on keys while the picture has the focus.
    const std::array<std::tuple<QString, QString, Qt::Key>, 3> shapes = {{
        {tr("Brush"), tr("Paint where the pointer goes"), Qt::Key_B},
        {tr("Line"), tr("Drag a line from hex to hex, painted with the brush size"), Qt::Key_L},
        {tr("Rectangle"),
         tr("Drag a filled rectangle of cells: every hex of the columns and rows between the two corners"),
         Qt::Key_R},
    }};
    for (int i = 0; i < 3; ++i) {
        const auto& [text, tip, key] = shapes[static_cast<std::size_t>(i)];
        shape_->addItem(text);
        shape_->setItemData(i, tip, Qt::ToolTipRole);
        auto* action = new QAction(tr("Paint Shape: %1").arg(text), this);
        action->setShortcut(QKeySequence(key));
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this,
                [this, i] { setShape(static_cast<HexMapView::Shape>(i)); });
        addAction(action);
    }
    // The ruler on a key too, while the picture has the focus.
    auto* ruler = new QAction(tr("Ruler"), this);
    ruler->setShortcut(QKeySequence(Qt::Key_M));
    ruler->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(ruler, &QAction::triggered, this, [this] { setTool(HexMapView::Tool::Ruler); });
    addAction(ruler);
    shape_->setToolTip(tr("What a drag of the paint tool paints (B, L, R): the brush, a line, or a "
                          "rectangle of [column][row] cells"));
    tools->addWidget(shape_);
    tools->addStretch(1);
    auto* value = new QHBoxLayout;
    value->addWidget(brushSize_);
    value->addWidget(new QLabel(tr("Value"), this));
    value->addWidget(brushValue_);
    value->addStretch(1);

    layout_->setContentsMargins(2, 2, 2, 2);
    layout_->addLayout(tools);
    layout_->addLayout(value);
    horizontal_->hide();
    vertical_->hide();
    view_->setMinimumSize(LeastPictureSide, LeastPictureSide);
    // The picture (and the Layers list under it) with the legend under them, or
    // beside them in a dock much wider than high.
    body_ = new QBoxLayout(QBoxLayout::TopToBottom);
    column_ = new QVBoxLayout;
    column_->addWidget(view_, 1);
    body_->addLayout(column_, 1);
    layout_->addLayout(body_, 1);
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
    // A tool chosen, a shape or a brush size picked: the keys go to the picture,
    // whose tools are in use now (B, L, R, I, and the stamp's), never to the
    // cell of a view that had the focus.
    const auto focusPicture = [this] { view_->setFocus(Qt::OtherFocusReason); };
    connect(tools_, &QButtonGroup::idClicked, this, focusPicture);
    connect(shape_, &QComboBox::activated, this, focusPicture);
    connect(brushSize_, &QComboBox::activated, this, focusPicture);
    connect(brushSize_, &QComboBox::currentIndexChanged, this,
            [this](int radius) { view_->setBrushRadius(radius); });
    connect(shape_, &QComboBox::currentIndexChanged, this, [this](int shape) {
        view_->setShape(static_cast<HexMapView::Shape>(shape));
        if (view_->tool() != HexMapView::Tool::Paint) { // a shape is for painting
            tools_->button(static_cast<int>(HexMapView::Tool::Paint))->setChecked(true);
            view_->setTool(HexMapView::Tool::Paint);
        }
    });
    connect(brushValue_, &ValueBox::valueChanged, this, &MapPanel::refreshBrush);
    connect(brushValue_, &ValueBox::valueChanged, this, &MapPanel::markBrushInLegend);
    connect(view_, &HexMapView::valuePicked, brushValue_, &ValueBox::setValue);
    connect(view_, &HexMapView::viewChanged, this, &MapPanel::refreshScrollBars);
    connect(horizontal_, &QScrollBar::valueChanged, this, &MapPanel::scrolled);
    connect(vertical_, &QScrollBar::valueChanged, this, &MapPanel::scrolled);
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
    // Another map, or another way of drawing it: the bar describes what is on show.
    const auto refreshBar = [this] {
        if (legends_ && legends_->currentWidget() == rampBar_) {
            refreshRampBar();
            legends_->setFixedHeight(rampBar_->sizeHint().height());
        }
    };
    connect(&document_, &MapDocument::mapReset, this, refreshBar);
    connect(view_, &HexMapView::pictureLayersChanged, this, refreshBar);
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
    rampBar_->setObjectName(QStringLiteral("rampBar"));
    terrainLegend_->setToolTip(tr("Pick a terrain to paint with"));
    // The entries flow in lines as wide as the dock, and the legend is as high
    // as its lines.
    terrainLegend_->setFlow(QListView::LeftToRight);
    terrainLegend_->setWrapping(true);
    terrainLegend_->setResizeMode(QListView::Adjust);
    terrainLegend_->setUniformItemSizes(true);
    terrainLegend_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    terrainLegend_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    rampBar_->setMinimumHeight(24);
    legends_->addWidget(terrainLegend_);
    legends_->addWidget(rampBar_);
    body_->addWidget(legends_);
    connect(terrainLegend_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < palettes::TerrainCount) {
            brushValue_->setValue(row);
        }
    });
    connect(terrainLegend_, &QListWidget::itemClicked, this,
            [this] { view_->setFocus(Qt::OtherFocusReason); });
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
    // Beside the picture: one entry a line, as high as the dock, scrolling.
    const bool beside = legends_->currentWidget() == terrainLegend_ && width() > height() * BesideRatio;
    body_->setDirection(beside ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    for (QWidget* widget : {static_cast<QWidget*>(terrainLegend_), static_cast<QWidget*>(legends_)}) {
        if (beside) {
            widget->setMinimumHeight(0);
            widget->setMaximumHeight(QWIDGETSIZE_MAX);
            widget->setFixedWidth(grid.width() + frame + LegendSpacing +
                                  terrainLegend_->verticalScrollBar()->sizeHint().width());
        } else {
            widget->setMinimumWidth(0);
            widget->setMaximumWidth(QWIDGETSIZE_MAX);
        }
    }
    if (beside) {
        return;
    }
    const int perLine = std::max(1, (width() - frame - LegendSpacing) / grid.width());
    const int lines = (terrainLegend_->count() + perLine - 1) / perLine;
    // In a narrow or low dock the legend scrolls rather than squeeze the picture
    // below its least size.
    const int room = std::min(height(), heightLimit_ - y()) - view_->y() - LeastPictureSide;
    const int highest = std::max(room, LegendLeastLines * grid.height());
    terrainLegend_->setFixedHeight(std::min(lines * grid.height(), highest) + frame + LegendSpacing / 2);
    if (legends_->currentWidget() == terrainLegend_) {
        legends_->setFixedHeight(terrainLegend_->height());
    }
}

// The bar is drawn when it is first shown and again when the palette changes.
void MapPanel::setTool(HexMapView::Tool tool) {
    tools_->button(static_cast<int>(tool))->setChecked(true);
    view_->setTool(tool);
}

void MapPanel::setLayer(int layer) {
    view_->setLayer(layer);
    brushValue_->setNames(valueNames(layer));
    if (!legends_) {
        return;
    }
    if (layer != amp::TerrainLayer) {
        refreshRampBar();
    }
    legends_->setCurrentIndex(layer == amp::TerrainLayer ? 0 : 1);
    fitLegend(); // the terrains' legend under the picture or beside it, the bar under it
    if (layer != amp::TerrainLayer) {
        legends_->setFixedHeight(rampBar_->sizeHint().height());
    }
}

void MapPanel::setColourBlind(bool cividis) {
    // A tab coming on show keeps its legend as it is; its picture may have
    // taken the palette already with the other picture choices.
    if (cividis == swatchesColourBlind_ &&
        cividis == (view_->pictureLayers().palette == palettes::Palette::ColourBlind)) {
        return;
    }
    swatchesColourBlind_ = cividis;
    view_->setRamp(cividis ? palettes::Ramp::Cividis : palettes::Ramp::Viridis);
    brushValue_->setNames(valueNames(view_->layer())); // the swatches in the new palette
    if (terrainLegend_) {
        terrainLegend_->clear(); // its swatches in the new palette
        refreshLegend();
    }
    if (legends_ && legends_->currentWidget() == rampBar_) {
        refreshRampBar();
    }
}

// The list scrolls in a dock too low for its 13 rows beside the picture, so
// that showing it never makes the window higher than the desktop.
void MapPanel::setLayersShown(bool shown) {
    if (shown && !layers_) {
        layersScroller_ = new QScrollArea(this);
        layersScroller_->setObjectName(QStringLiteral("layersScroller"));
        layersScroller_->setFrameShape(QFrame::NoFrame);
        layersScroller_->setWidgetResizable(true);
        layersScroller_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        layers_ = new LayersPanel(*view_, layersScroller_);
        layersScroller_->setWidget(layers_);
        layersScroller_->setMinimumWidth(layers_->minimumSizeHint().width() +
                                         layersScroller_->verticalScrollBar()->sizeHint().width());
        column_->addWidget(layersScroller_);
    }
    if (layersScroller_) {
        layersScroller_->setVisible(shown);
    }
}

ValueNames MapPanel::valueNames(int layer) const {
    return ValueBox::namesOf(layer, view_->pictureLayers().palette);
}

void MapPanel::setHeightLimit(int height) {
    heightLimit_ = height;
    fitLegend();
}

void MapPanel::setShape(HexMapView::Shape shape) {
    shape_->setCurrentIndex(static_cast<int>(shape));
}

void MapPanel::setBrushRadius(int radius) {
    brushSize_->setCurrentIndex(std::clamp(radius, 0, HexMapView::MaximumBrushRadius));
}

QScrollBar* MapPanel::scrollBar(Qt::Orientation orientation) const {
    return orientation == Qt::Horizontal ? horizontal_ : vertical_;
}

// A bar for each way the map is larger than the picture: its range the map's
// extent at this zoom (a pan beyond it widens it), its handle the part on show.
// The bars lie over the picture's edges (they are its children), so that showing
// them never resizes the picture, which would fit the map anew; each bar's range
// reaches past the other bar's strip.
void MapPanel::refreshScrollBars() {
    const QRectF bounds = view_->geometryNow().mapBounds();
    const QPointF at = -view_->origin();
    const int wide = view_->width();
    const int high = view_->height();
    const int across = horizontal_->sizeHint().height();
    const int down = vertical_->sizeHint().width();
    // A map that fits on an axis needs no bar there, wherever a pan left it.
    const bool acrossNeeded = document_.hasMap() && bounds.width() > wide + 0.5;
    const bool downNeeded = document_.hasMap() && bounds.height() > high + 0.5;
    const auto fit = [this](QScrollBar* bar, bool needed, double extent, int shown, double position) {
        const int last = static_cast<int>(std::lround(extent)) - shown;
        const int now = static_cast<int>(std::lround(position));
        scrolling_ = true;
        bar->setRange(std::min(0, now), std::max(last, now));
        bar->setPageStep(std::max(shown, 1));
        bar->setSingleStep(std::max(shown / ScrollSteps, 1));
        bar->setValue(now);
        scrolling_ = false;
        bar->setVisible(needed);
        bar->raise();
    };
    fit(horizontal_, acrossNeeded, bounds.width(), wide - (downNeeded ? down : 0), at.x());
    fit(vertical_, downNeeded, bounds.height(), high - (acrossNeeded ? across : 0), at.y());
    horizontal_->setGeometry(0, high - across, wide - (downNeeded ? down : 0), across);
    vertical_->setGeometry(wide - down, 0, down, high - (acrossNeeded ? across : 0));
}

void MapPanel::scrolled() {
    if (!scrolling_) {
        view_->scrollTo(QPointF(horizontal_->value(), vertical_->value()));
    }
}

// The legend marks the terrain the brush holds, however it was chosen (a pick in
// the legend, the eyedropper, a name typed), and none for a value without one.
void MapPanel::markBrushInLegend() {
    if (!terrainLegend_) {
        return;
    }
    const int value = brushValue_->value();
    const QSignalBlocker quiet(terrainLegend_);
    if (value >= 0 && value < palettes::TerrainCount) {
        terrainLegend_->setCurrentRow(value);
    } else {
        terrainLegend_->setCurrentRow(-1);
        terrainLegend_->clearSelection();
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
        markBrushInLegend();
    }
}

// The bar of the layer on show, as the picture draws it: its scale from the
// lowest value it holds on the left to the highest on the right, or a swatch
// for each value it holds, for a layer drawn in colours (the base, or marks);
// for a shade, how the values lighten and darken what lies under them; for
// values written in the hexes, a word.
void MapPanel::refreshRampBar() {
    const int layer = view_->layer();
    const palettes::LayerColours& colours = view_->coloursOf(layer);
    const PictureLayers& picture = view_->pictureLayers();
    const std::string_view name = amp::LayerNames[static_cast<std::size_t>(layer)];
    const QString layerName = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    const MapRenderer::OverlayStyle style = layer == picture.base
                                                ? MapRenderer::OverlayStyle::Marks
                                                : picture.layers[static_cast<std::size_t>(layer)].style;
    if (style == MapRenderer::OverlayStyle::Values) {
        rampBar_->setText(tr("%1: the values are written in the hexes").arg(layerName));
        rampBar_->setToolTip(rampBar_->text());
        return;
    }
    QPixmap shown(QSize(BarWidth, 2 * BarHeight));
    shown.fill(palette().color(QPalette::Window));
    QPainter painter(&shown);
    painter.setPen(palette().color(QPalette::WindowText));
    if (style == MapRenderer::OverlayStyle::Shade) {
        // The shade over a middle grey, darkest at the lowest value held.
        constexpr QRgb Grey = 0xFF808080;
        const MapRenderer::Overlay shade{
            {}, colours, style, picture.layers[static_cast<std::size_t>(layer)].opacity};
        for (int x = 0; x < BarWidth; ++x) {
            const int value = colours.low() + (colours.high() - colours.low()) * x / (BarWidth - 1);
            const double step = MapRenderer::shadeAmount(shade, static_cast<std::uint8_t>(value));
            painter.fillRect(QRect(x, 0, 1, BarHeight),
                             QColor(MapRenderer::shaded(Grey, step * palettes::ShadeStrength)));
        }
        const QRect labels(0, BarHeight, BarWidth, BarHeight);
        painter.drawText(labels, Qt::AlignLeft, QString::number(colours.low()));
        painter.drawText(labels, Qt::AlignRight, QString::number(colours.high()));
        rampBar_->setToolTip(tr("%1 shades the picture: %2 darkest, %3 lightest")
                                 .arg(layerName)
                                 .arg(colours.low())
                                 .arg(colours.high()));
        rampBar_->setPixmap(shown);
        return;
    }
    rampBar_->setToolTip((layer == picture.base ? tr("%1: %2 to %3") : tr("%1, a mark in each hex: %2 to %3"))
                             .arg(layerName)
                             .arg(colours.low())
                             .arg(colours.high()));
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
