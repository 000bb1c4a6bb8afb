// SPDX-License-Identifier: MIT
// The "Map" dock: the hex picture, with scroll bars when it is larger than the
// dock, and its tools (select, paint or fill; the paint shape and brush size; the
// brush value, by name on the terrain layer) and, from right after the window's first paint, a legend: each
// terrain's colour, name and count on the terrain layer, a colour bar on the others. Picking a terrain in the
// legend makes it the brush.
#pragma once

#include "hexmapview.h"
#include "userdialogs.h"

#include <QWidget>

class LayersPanel;
class MapDocument;
class QComboBox;
class QLabel;
class QListWidget;
class QScrollArea;
class QScrollBar;
class ValueBox;
class QStackedWidget;
class QTimer;
class QBoxLayout;
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
    // The brush value, its shape and size, as the tool bar shows them.
    ValueBox* brushValue() const { return brushValue_; }
    void setShape(HexMapView::Shape shape);
    // The tool the left button uses, as the tool buttons show it.
    void setTool(HexMapView::Tool tool);
    void setBrushRadius(int radius);
    // The names of a layer's values in the picture's colours (the terrains).
    ValueNames valueNames(int layer) const;
    QScrollBar* scrollBar(Qt::Orientation orientation) const;
    // The height of the dock the panel lies in (its title bar included) that the
    // window means to keep: the legend never makes the dock, and so the window,
    // higher than that.
    void setHeightLimit(int height);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildLegends();
    void refreshLegend();
    void refreshRampBar();
    void refreshBrush();
    void markBrushInLegend();
    void fitLegend();
    void refreshScrollBars();
    void scrolled();

    MapDocument& document_;
    HexMapView* view_;
    QLabel* hint_;
    QButtonGroup* tools_;
    QComboBox* shape_;
    QComboBox* brushSize_;
    ValueBox* brushValue_;
    QScrollBar* horizontal_;
    QScrollBar* vertical_;
    int heightLimit_ = QWIDGETSIZE_MAX;
    bool swatchesColourBlind_ = false; // the palette the legend's and the brush's swatches are in
    bool scrolling_ = false;           // the bars follow the picture, not the other way
    QVBoxLayout* layout_;
    QBoxLayout* body_;                  // the picture's column and the legend
    QVBoxLayout* column_;               // the picture and the Layers list
    QStackedWidget* legends_ = nullptr; // made after the window's first paint
    QListWidget* terrainLegend_ = nullptr;
    QLabel* rampBar_ = nullptr;
    QTimer* recount_;
    LayersPanel* layers_ = nullptr;
    QScrollArea* layersScroller_ = nullptr;
};
