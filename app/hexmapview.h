// SPDX-License-Identifier: MIT
// The picture of the map as coloured hexes: the document's layers as the Layers
// list composes them (a base, overlays, labels), zoomable around the cursor, panned with the middle button or
// Space and the left button. A click selects a hex, the arrow keys move the selection, Esc selects nothing,
// and in paint mode a drag with the left button paints the brush onto the hexes
// it crosses on the layer on show: the document's stroke, one undo step. The map
// renderer draws only where the widget needs it, and an edit redraws the hexes it
// changed; passes of other tools, then the selection and the current hex, are
// drawn over the renderer's picture.
#pragma once

#include "hexgeometry.h"
#include "layermodel.h"
#include "maprenderer.h"
#include "palettes.h"
#include "picturebuilder.h"
#include "picturelayers.h"

#include <QImage>
#include <QWidget>

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class MapDocument;

class HexMapView : public QWidget {
    Q_OBJECT

public:
    explicit HexMapView(MapDocument& document, QWidget* parent = nullptr);

    int layer() const { return layer_; }
    void setLayer(int layer);
    bool evenColumnsLower() const { return evenLower_; }
    void setEvenColumnsLower(bool lower);
    palettes::Ramp ramp() const { return palettes::rampOf(picture_.palette); }
    void setRamp(palettes::Ramp ramp);

    // What the picture shows besides the layer on show; labels and outlines too.
    const PictureLayers& pictureLayers() const { return picture_; }
    void setPictureLayers(const PictureLayers& picture);
    // View > Hex Values: the numbers of the layer on show in every hex.
    bool hexValues() const { return hexValues_; }
    void setHexValues(bool shown);
    // The colours of a layer as the picture draws it now.
    const palettes::LayerColours& coloursOf(int layer) const;

    // A pass drawn over the map, under the selection: a painter in map pixels
    // and the geometry of this paint. Differences and previews go here.
    using MapPass = std::function<void(QPainter& painter, const HexGeometry& geometry)>;
    void addMapPass(MapPass pass) { passes_.push_back(std::move(pass)); }

    // The size of a hex on screen (centre to corner, in pixels).
    double hexSize() const { return size_; }
    // Zooms so that the map point under `anchor` (widget pixels) stays there.
    void zoomAt(double size, QPointF anchor);
    // Shows the whole map, centred.
    void fitMap();
    // Pans, at the zoom of now, so that the hex lies in the middle of the picture.
    void centreOn(int column, int row);
    HexGeometry geometryNow() const;
    // Where map pixel (0, 0) lies in the widget.
    QPointF origin() const { return origin_; }

    std::optional<HexCell> selectedHex() const { return selected_; }
    void setSelectedHex(int column, int row);

    // What the left button does: select (Shift+drag: a rectangle), paint
    // `brushText` on 1 hex or 7 (a hex and its neighbours), flood fill, or
    // measure: a drag of the ruler from the hex pressed to the hex under the
    // pointer (told only when that hex changes).
    enum class Tool { Select, Paint, Fill, Ruler };
    Tool tool() const { return tool_; }
    void setTool(Tool tool);
    void setPainting(bool painting) { setTool(painting ? Tool::Paint : Tool::Select); }
    void setBrushText(const QString& text) { brushText_ = text; }
    const QString& brushText() const { return brushText_; }
    // The brush: every hex within `radius` steps of the one under the pointer
    // (0: that hex alone; 1: with its six neighbours; up to MaximumBrushRadius).
    void setBrushRadius(int radius) { brushRadius_ = std::clamp(radius, 0, MaximumBrushRadius); }
    int brushRadius() const { return brushRadius_; }
    static constexpr int MaximumBrushRadius = 4;
    // What a drag of the paint tool paints: the brush where the pointer goes, or
    // a line (drawn with the brush) or a filled rectangle of [column][row] cells
    // from the hex pressed to the hex released, shown while dragging. Each is one
    // undo step; Esc while dragging leaves the map as it was.
    enum class Shape { Brush, Line, Rectangle };
    Shape shape() const { return shape_; }
    void setShape(Shape shape);
    // The hexes the shape being dragged would paint; empty when none is dragged.
    std::vector<HexCell> shapeCells() const;
    bool isDragging() const { return stroking_ || shapeFrom_.has_value(); }

    // Scrolls so that map pixel `mapPoint` lies at the widget's top left.
    void scrollTo(QPointF mapPoint);

    // The cells of the form's selection on this layer, in the cell rule's order
    // (empty: none), drawn lighter.
    void setSelectionMask(std::vector<bool> mask);

    // Drawn last over the picture, over every overlay (the comparison's marks in
    // slot 0, the merge's in slot 1, in that order): the image, where its pixel
    // (0, 0) lies on the map, and the hexes' geometry.
    using Overlay = std::function<void(QImage& image, QPointF mapOrigin, const HexGeometry& geometry)>;
    static constexpr int OverlaySlots = 2;
    void setOverlay(Overlay overlay, int slot = 0) {
        overlays_[static_cast<std::size_t>(slot)] = std::move(overlay);
        update();
    }

    // The whole map as it is on show (or the hexes of `cells` alone), with
    // hexes of `size` pixels, without the selection and the current hex.
    QImage renderMap(double size, const QRect& cells = {}) const;
    // The smallest rectangle of cells that holds the selected ones.
    QRect selectionBounds() const { return selectionBounds_; }

    // Sizes a hex may take on screen, and those from which outlines and numbers
    // are shown.
    static constexpr double MinimumSize = 0.5;
    static constexpr double MaximumSize = 80;
    static constexpr double NumbersFrom = MapRenderer::NumbersFrom;
    static constexpr double OutlinesFrom = MapRenderer::OutlinesFrom;

signals:
    // The layer on show changed.
    void layerShown(int layer);
    // The zoom, the part of the map on show or the widget's size changed.
    void viewChanged();
    // A hex was chosen in the picture (a click or an arrow key).
    void hexChosen(int column, int row);
    // Shift+drag: the rectangle between two hexes.
    void rectangleChosen(int column1, int row1, int column2, int row2);
    // A click with the fill tool.
    void floodRequested(int column, int row);
    // Esc: nothing selected any more.
    void selectNoneRequested();
    // The ruler was dragged to another hex; Esc with the ruler drops it.
    void rulerMoved(int fromColumn, int fromRow, int toColumn, int toRow);
    void rulerDropped();
    // The hex under the mouse, (-1, -1) off the map.
    void hexHovered(int column, int row);
    // Alt+click or the I key: the value of the layer on show under the cursor.
    void valuePicked(int value);
    // What the picture shows changed: its base, overlays, styles or palette.
    void pictureLayersChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void pickValue(std::optional<HexCell> cell);
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // The selection as drawing reads it: whether a cell is chosen, and the
    // smallest rectangle of cells that holds the chosen ones.
    bool isSelected(HexCell cell) const;
    // Over the renderer's picture, through a painter in map pixels: the edge
    // of the selection in black and white dashes, the current hex outlined.
    void drawSelection(QPainter& painter, const HexGeometry& geometry, const QRectF& view) const;
    void cellsChanged(int layer, const QRect& cells);
    // Whether the picture draws the layer.
    bool draws(int layer) const;
    // What the picture draws now, at hex size `size`.
    PictureChoices choices(double size) const;
    void paintStroke(QPointF at);
    void finishStroke();
    // Esc while dragging: the stroke's step is taken back, a shape is dropped.
    void cancelDrag();
    void finishShape();
    void drawShape(QPainter& painter, const HexGeometry& geometry) const;
    // Redraws the hexes of the rectangle of [column][row] cells.
    void updateCells(const QRect& cells);
    QRect boundsOf(const std::vector<HexCell>& cells) const;
    hexsymmetry::MapShape mapShape() const;
    void choose(HexCell cell);
    QRect widgetRect(const QRectF& mapRect) const;

    MapDocument& document_;
    int layer_ = 0;
    bool evenLower_ = false;
    PictureLayers picture_ = PictureLayers::defaults();
    mutable PictureBuilder builder_; // the layers' scales, counted again where their cells changed
    std::vector<MapPass> passes_;
    bool hexValues_ = false;
    double size_ = 8;
    QPointF origin_{0, 0};
    bool fitted_ = false;   // fit the map again at the first showing and each new map
    bool userView_ = false; // zoomed, panned or scrolled by the user: a new size keeps it
    std::optional<HexCell> selected_;
    Tool tool_ = Tool::Select;
    std::vector<bool> selectionMask_;
    QRect selectionBounds_; // in cells
    std::optional<HexCell> rectangleFrom_;
    QString brushText_ = QStringLiteral("0");
    int brushRadius_ = 0;
    bool stroking_ = false; // the left button paints the document's stroke
    Shape shape_ = Shape::Brush;
    std::optional<HexCell> shapeFrom_; // where the dragged line or rectangle began
    std::optional<HexCell> rulerFrom_; // where the dragged ruler began
    HexCell rulerTo_;
    HexCell shapeTo_;
    bool spaceHeld_ = false;
    std::optional<QPointF> panFrom_;
    QImage canvas_; // reused between paints
    // The map as the last paint drew it, before the picture's own marks went
    // over it, and all it was drawn from: a paint of the same map, place and
    // choices (a second expose of the window, a selection that moved) takes it
    // again instead of drawing every hex anew.
    struct MapImageKey {
        QRect area;
        QPointF origin;
        double size = 0;
        int layer = 0;
        bool evenLower = false;
        bool hexValues = false;
        QRgb background = 0;
        std::uint64_t content = 0;
        PictureLayers picture;
        PictureLayers::LayerScales colours{};
        friend bool operator==(const MapImageKey&, const MapImageKey&) = default;
    };
    QImage mapImage_;
    std::optional<MapImageKey> mapImageKey_;
    std::uint64_t content_ = 0; // counts the changes of the document's cells and shape
    bool shownOnce_ = false;
    std::array<Overlay, OverlaySlots> overlays_;
};
