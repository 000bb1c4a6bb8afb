// SPDX-License-Identifier: MIT
#include "layerspanel.h"
#include "actiontable.h"
#include "hexmapview.h"
#include "mappanel.h"
#include "picturelayers.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int NameColumn = 0;
constexpr int StyleColumn = 1;
constexpr int OpacityColumn = 2;
constexpr int Percent = 100;
constexpr int ShownRows = 6;

QString layerName(int layer) {
    const auto name = amp::LayerNames[static_cast<std::size_t>(layer)];
    return QStringLiteral("%1 %2").arg(layer).arg(
        QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
}

} // namespace

LayersPanel::LayersPanel(HexMapView& view, QWidget* parent)
    : QWidget(parent), view_(view), base_(new QComboBox(this)),
      table_(new QTableWidget(amp::LayerCount, 3, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* baseLine = new QHBoxLayout;
    baseLine->addWidget(new QLabel(tr("Base"), this));
    baseLine->addWidget(base_, 1);
    layout->addLayout(baseLine);
    layout->addWidget(table_, 1);
    table_->setHorizontalHeaderLabels({tr("Layer"), tr("Style"), tr("Opacity")});
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setToolTip(tr("Checked layers are drawn over the base; the layer marked ▶ is the one on show, "
                          "which painting edits"));
    const QStringList styles = {tr("marks"), tr("shade"), tr("values")};
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        base_->addItem(layerName(layer));
        auto* item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        table_->setItem(layer, NameColumn, item);
        auto* style = new QComboBox(table_);
        style->addItems(styles);
        auto* opacity = new QSpinBox(table_);
        opacity->setRange(0, Percent);
        opacity->setSuffix(QStringLiteral(" %"));
        table_->setCellWidget(layer, StyleColumn, style);
        table_->setCellWidget(layer, OpacityColumn, opacity);
        styles_[static_cast<std::size_t>(layer)] = style;
        opacities_[static_cast<std::size_t>(layer)] = opacity;
        connect(style, &QComboBox::currentIndexChanged, this, &LayersPanel::apply);
        connect(opacity, &QSpinBox::valueChanged, this, &LayersPanel::apply);
    }
    table_->resizeColumnsToContents();
    // Room for a few rows at least, for all of them at most.
    const int rowHeight = table_->rowHeight(0);
    const int frame = table_->horizontalHeader()->sizeHint().height() + 2 * table_->frameWidth();
    table_->setMinimumHeight(ShownRows * rowHeight + frame);
    table_->setMaximumHeight(amp::LayerCount * rowHeight + frame);
    table_->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    connect(table_, &QTableWidget::itemChanged, this, &LayersPanel::apply);
    connect(base_, &QComboBox::currentIndexChanged, this, &LayersPanel::apply);
    connect(&view_, &HexMapView::layerShown, this, &LayersPanel::setShownLayer);
    shown_ = view_.layer();
    refreshRows();
}

void LayersPanel::addViewActions(ActionTable& table, const QString& menu, std::function<MapPanel*()> panel) {
    // The picture of the tab on show, whichever that is when the action fires.
    table.addToggle(menu, QStringLiteral("view.layers"), tr("Layer&s"), {QKeySequence(Qt::Key_F4)},
                    [panel](bool on) { panel()->setLayersShown(on); });
    const auto toggle = [&table, &menu, panel](const QString& id, const QString& text, const char* name,
                                               auto set) {
        table.addToggle(menu, id, text, {}, [panel, set](bool on) { set(*panel()->view(), on); })
            ->setObjectName(QString::fromLatin1(name));
    };
    const auto picture = [](bool PictureLayers::*choice) {
        return [choice](HexMapView& view, bool on) {
            PictureLayers layers = view.pictureLayers();
            layers.*choice = on;
            view.setPictureLayers(layers);
        };
    };
    toggle(QStringLiteral("view.coordinates"), tr("Hex Coo&rdinates"), CoordinatesAction,
           picture(&PictureLayers::coordinates));
    toggle(QStringLiteral("view.values"), tr("Hex V&alues"), ValuesAction,
           [](HexMapView& view, bool on) { view.setHexValues(on); });
    toggle(QStringLiteral("view.outlines"), tr("Hex Ou&tlines"), OutlinesAction,
           picture(&PictureLayers::outlines));
}

void LayersPanel::setShownLayer(int layer) {
    shown_ = layer;
    refreshRows();
}

// The rows as the picture has them; the base can lie over nothing.
void LayersPanel::refreshRows() {
    filling_ = true;
    const PictureLayers& picture = view_.pictureLayers();
    base_->setCurrentIndex(picture.base);
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        const auto& how = picture.layers[static_cast<std::size_t>(layer)];
        QTableWidgetItem* item = table_->item(layer, NameColumn);
        item->setText((layer == shown_ ? QStringLiteral("▶ ") : QString()) + layerName(layer));
        QFont font = item->font();
        font.setBold(layer == shown_);
        item->setFont(font);
        item->setCheckState(picture.isOverlay(layer) ? Qt::Checked : Qt::Unchecked);
        item->setFlags(layer == picture.base ? Qt::NoItemFlags : Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        styles_[static_cast<std::size_t>(layer)]->setEnabled(layer != picture.base);
        opacities_[static_cast<std::size_t>(layer)]->setEnabled(layer != picture.base);
        styles_[static_cast<std::size_t>(layer)]->setCurrentIndex(static_cast<int>(how.style));
        opacities_[static_cast<std::size_t>(layer)]->setValue(
            static_cast<int>(std::lround(how.opacity * Percent)));
    }
    filling_ = false;
}

void LayersPanel::apply() {
    if (filling_) {
        return;
    }
    PictureLayers picture = view_.pictureLayers();
    picture.base = base_->currentIndex();
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        auto& how = picture.layers[static_cast<std::size_t>(layer)];
        how.overlay = table_->item(layer, NameColumn)->checkState() == Qt::Checked;
        how.style =
            static_cast<MapRenderer::OverlayStyle>(styles_[static_cast<std::size_t>(layer)]->currentIndex());
        how.opacity = opacities_[static_cast<std::size_t>(layer)]->value() / double(Percent);
    }
    view_.setPictureLayers(picture);
    refreshRows();
}
