// SPDX-License-Identifier: MIT
// The "Map" dock: the hex picture with its tools (select or paint, brush size,
// brush value) and, from right after the window's first paint, a legend: each terrain's colour, name and
// count on the terrain layer, a colour bar on the others. Picking a terrain in the legend makes it the brush.
#pragma once

#include <QWidget>

class HexMapView;
class LayersPanel;
class MapDocument;
class QComboBox;
class QLabel;
class QListWidget;
class QSpinBox;
class QStackedWidget;
class QTimer;
class QVBoxLayout;
class QButtonGroup;

class MapPanel : public QWidget {
    Q_OBJECT

public:
    explicit MapPanel(MapDocument& document, QWidget* parent = nullptr);

    HexMapView* view() const { return view_; }
    void setLayer(int layer);
    void setColourBlind(bool cividis);
    // The Layers list under the picture, made when it is first shown.
    void setLayersShown(bool shown);
    LayersPanel* layersPanel() const { return layers_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildLegends();
    void refreshLegend();
    void refreshRampBar();
    void refreshBrush();
    void fitLegend();

    MapDocument& document_;
    HexMapView* view_;
    QLabel* hint_;
    QButtonGroup* tools_;
    QComboBox* brushSize_;
    QSpinBox* brushValue_;
    QVBoxLayout* layout_;
    QStackedWidget* legends_ = nullptr; // made after the window's first paint
    QListWidget* terrainLegend_ = nullptr;
    QLabel* rampBar_ = nullptr;
    QTimer* recount_;
    LayersPanel* layers_ = nullptr;
};
