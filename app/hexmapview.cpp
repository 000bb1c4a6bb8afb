// SPDX-License-Identifier: MIT
#include "hexmapview.h"
#include "mapdocument.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUndoStack>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// How much of the map shows through a dragged shape.
constexpr double ShapeOpacity = 0.7;

} // namespace

HexMapView::HexMapView(MapDocument& document, QWidget* parent)
    : QWidget(parent), document_(document), builder_(document) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // the status line names the hex under the mouse
    setMinimumSize(120, 120);
    connect(&document_, &MapDocument::cellsChanged, this, &HexMapView::cellsChanged);
    // A new map, or a new shape: fit it again, and nothing of the old one stays
    // selected.
    connect(&document_, &MapDocument::mapReset, this, [this] {
        finishStroke();
        shapeFrom_.reset();
        fitted_ = false;
        userView_ = false;
        selected_.reset();
        selectionMask_.clear();
        builder_.mapChanged();
        ++content_;
        // A map read once the window is up is drawn at once: the wait for the
        // window's first paint is over.
        shownOnce_ = shownOnce_ || window()->isVisible();
        update();
    });
}

void HexMapView::setLayer(int layer) {
    if (layer != layer_) {
        finishStroke();
        shapeFrom_.reset();
        layer_ = layer;
        update();
        emit layerShown(layer);
    }
}

// The same tool again keeps what it is doing: a tab coming on show keeps its ruler.
void HexMapView::setTool(Tool tool) {
    if (tool == tool_) {
        return;
    }
    finishStroke();
    if (shapeFrom_) {
        cancelDrag();
    }
    rulerFrom_.reset();
    tool_ = tool;
}

void HexMapView::setShape(Shape shape) {
    if (shapeFrom_) {
        cancelDrag();
    }
    shape_ = shape;
}

hexsymmetry::MapShape HexMapView::mapShape() const {
    const LayerModel* model = document_.layer(layer_);
    return {model->columns(), model->rows(), evenLower_};
}

std::vector<HexCell> HexMapView::shapeCells() const {
    if (!shapeFrom_) {
        return {};
    }
    const hexsymmetry::Offset from = offsetOf(*shapeFrom_);
    return cellsOf(shape_ == Shape::Line
                       ? hexsymmetry::line(mapShape(), from, offsetOf(shapeTo_), brushRadius_)
                       : hexsymmetry::rectangle(mapShape(), from, offsetOf(shapeTo_)));
}

void HexMapView::scrollTo(QPointF mapPoint) {
    origin_ = -mapPoint;
    fitted_ = true;
    userView_ = true;
    update();
    emit viewChanged();
}

void HexMapView::setSelectionMask(std::vector<bool> mask) {
    selectionMask_ = std::move(mask);
    selectionBounds_ = {};
    const int rows = document_.layer(layer_)->rows();
    for (std::size_t slot = 0; rows > 0 && slot < selectionMask_.size(); ++slot) {
        if (selectionMask_[slot]) {
            const QRect cell(static_cast<int>(slot) / rows, static_cast<int>(slot) % rows, 1, 1);
            selectionBounds_ = selectionBounds_.united(cell);
        }
    }
    update();
}

void HexMapView::setEvenColumnsLower(bool lower) {
    if (lower == evenLower_) {
        return;
    }
    evenLower_ = lower;
    update();
}

void HexMapView::setRamp(palettes::Ramp ramp) {
    PictureLayers picture = picture_;
    picture.palette =
        ramp == palettes::Ramp::Cividis ? palettes::Palette::ColourBlind : palettes::Palette::Standard;
    setPictureLayers(picture);
}

void HexMapView::setPictureLayers(const PictureLayers& picture) {
    if (picture == picture_) {
        return;
    }
    picture_ = picture;
    update();
    emit pictureLayersChanged();
}

void HexMapView::setHexValues(bool shown) {
    if (shown == hexValues_) {
        return;
    }
    hexValues_ = shown;
    update();
}

const palettes::LayerColours& HexMapView::coloursOf(int layer) const {
    return builder_.colours(layer, picture_.palette);
}

PictureChoices HexMapView::choices(double size) const {
    PictureChoices choices{picture_, size, evenLower_, layer_, {}};
    choices.layers.valuesOf = hexValues_ ? layer_ : -1;
    return choices;
}

bool HexMapView::draws(int layer) const {
    return layer == layer_ || layer == picture_.base || picture_.isOverlay(layer);
}

HexGeometry HexMapView::geometryNow() const {
    const LayerModel* model = document_.layer(layer_);
    return {model->columns(), model->rows(), size_, evenLower_};
}

void HexMapView::zoomAt(double size, QPointF anchor) {
    size = std::clamp(size, MinimumSize, MaximumSize);
    // The map point under the anchor, in units of the hex size, stays put.
    const QPointF mapPoint = (anchor - origin_) / size_;
    size_ = size;
    origin_ = anchor - mapPoint * size_;
    fitted_ = true; // the user's zoom holds until the next fit
    userView_ = true;
    update();
    emit viewChanged();
}

// The hex comes to the middle as far as the map allows: on an axis where the whole
// map fits, the map stays centred; elsewhere the map's edge stops at the view's
// edge, so the picture never shows an empty band beside the map.
void HexMapView::centreOn(int column, int row) {
    const HexGeometry geometry = geometryNow();
    const QPointF wanted = QPointF(width() / 2.0, height() / 2.0) - geometry.centre(column, row);
    const QRectF bounds = geometry.mapBounds();
    const auto axis = [](double origin, double extent, double view) {
        return extent <= view ? (view - extent) / 2 : std::clamp(origin, view - extent, 0.0);
    };
    origin_ = QPointF(axis(wanted.x(), bounds.width(), width()), axis(wanted.y(), bounds.height(), height()));
    update();
    emit viewChanged();
}

void HexMapView::fitMap() {
    const HexGeometry unit(document_.layer(layer_)->columns(), document_.layer(layer_)->rows(), 1.0,
                           evenLower_);
    const QRectF bounds = unit.mapBounds();
    if (bounds.isEmpty() || width() <= 0 || height() <= 0) {
        return;
    }
    size_ =
        std::clamp(std::min(width() / bounds.width(), height() / bounds.height()), MinimumSize, MaximumSize);
    origin_ = QPointF((width() - bounds.width() * size_) / 2, (height() - bounds.height() * size_) / 2);
    fitted_ = true;
    userView_ = false;
    update();
    emit viewChanged();
}

void HexMapView::setSelectedHex(int column, int row) {
    const HexCell cell{column, row};
    if (selected_ == cell) {
        return;
    }
    const HexGeometry geometry = geometryNow();
    if (selected_) {
        update(widgetRect(geometry.bounds(selected_->column, selected_->row)));
    }
    selected_ = cell;
    update(widgetRect(geometry.bounds(column, row)));
}

QImage HexMapView::renderMap(double size, const QRect& cells) const {
    PictureChoices picture = choices(size);
    picture.cells = cells;
    return builder_.renderer(picture).image();
}

bool HexMapView::isSelected(HexCell cell) const {
    const LayerModel* model = document_.layer(layer_);
    // A mask made for a map of another shape selects nothing.
    if (selectionMask_.size() != model->cellCount() || cell.column < 0 || cell.row < 0 ||
        cell.column >= model->columns() || cell.row >= model->rows()) {
        return false;
    }
    return selectionMask_[model->slotOf(cell.column, cell.row)];
}

void HexMapView::drawSelection(QPainter& painter, const HexGeometry& geometry, const QRectF& view) const {
    const double size = geometry.size();
    // The selection's edge: each side of a selected hex whose neighbour there is
    // not selected, in black under white dashes, a pattern no map colour has.
    const QRect cells = selectionBounds();
    if (!cells.isEmpty()) {
        QList<QLineF> edges;
        for (int column = cells.left(); column <= cells.right(); ++column) {
            if (geometry.centre(column, 0).x() + size < view.left() ||
                geometry.centre(column, 0).x() - size > view.right()) {
                continue;
            }
            // A lowered column's side neighbours are its own row and the one below.
            const int up = geometry.isLowered(column) ? 0 : -1;
            for (int row = cells.top(); row <= cells.bottom(); ++row) {
                if (!isSelected({column, row})) {
                    continue;
                }
                const auto corners = geometry.corners(column, row);
                // Clockwise from the right-hand corner: the sides down-right,
                // down, down-left, up-left, up and up-right.
                const HexCell across[6] = {{column + 1, row + up + 1}, {column, row + 1},
                                           {column - 1, row + up + 1}, {column - 1, row + up},
                                           {column, row - 1},          {column + 1, row + up}};
                for (std::size_t side = 0; side < 6; ++side) {
                    if (!isSelected(across[side])) {
                        edges.append(QLineF(corners[side], corners[(side + 1) % 6]));
                    }
                }
            }
        }
        const double width = std::max(2.0, size / 6);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Qt::black, width, Qt::SolidLine, Qt::FlatCap));
        painter.drawLines(edges);
        QPen dashes(Qt::white, width / 2, Qt::CustomDashLine, Qt::FlatCap);
        dashes.setDashPattern({3, 3});
        painter.setPen(dashes);
        painter.drawLines(edges);
    }
    if (selected_ && geometry.contains(selected_->column, selected_->row)) {
        const auto corners = geometry.corners(selected_->column, selected_->row);
        const QPolygonF outline(QList<QPointF>(corners.begin(), corners.end()));
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, std::max(1.5, size / 6)));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolygon(outline);
        painter.setPen(QPen(Qt::black, std::max(0.75, size / 12)));
        painter.drawPolygon(outline);
    }
}

void HexMapView::paintEvent(QPaintEvent* event) {
    // The window's first paint shows the form at once; the picture follows.
    if (!shownOnce_) {
        shownOnce_ = true;
        QPainter(this).fillRect(event->rect(), palette().color(QPalette::Window));
        QTimer::singleShot(0, this, qOverload<>(&QWidget::update));
        return;
    }
    if (!fitted_) {
        fitMap();
    }
    const QRect area = event->rect();
    if (canvas_.size() != area.size()) {
        canvas_ = QImage(area.size(), QImage::Format_RGB32);
    }
    const QPointF mapOrigin = QPointF(area.topLeft()) - origin_;
    // A layer whose scale changed with an edit is drawn anew everywhere.
    const PictureChoices picture = choices(size_);
    if (builder_.refreshColours(picture) && area != rect()) {
        update();
    }
    const MapRenderer map = builder_.renderer(picture);
    MapImageKey key{area,
                    mapOrigin,
                    size_,
                    layer_,
                    evenLower_,
                    hexValues_,
                    palette().color(QPalette::Window).rgb(),
                    content_,
                    picture_,
                    builder_.scales()};
    if (mapImageKey_ && *mapImageKey_ == key) {
        canvas_ = mapImage_; // shared until the marks below go over it
    } else {
        map.draw(canvas_, mapOrigin, key.background);
        mapImage_ = canvas_.copy();
        mapImageKey_ = std::move(key);
    }
    {
        QPainter over(&canvas_);
        over.translate(-mapOrigin);
        for (const MapPass& pass : passes_) {
            over.save();
            pass(over, map.geometry());
            over.restore();
        }
        drawShape(over, map.geometry());
        drawSelection(over, map.geometry(), QRectF(mapOrigin, QSizeF(area.size())));
    }
    for (const Overlay& overlay : overlays_) { // last: over everything else the picture shows
        if (overlay) {
            overlay(canvas_, mapOrigin, map.geometry());
        }
    }
    QPainter painter(this);
    painter.drawImage(area.topLeft(), canvas_);
}

void HexMapView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!userView_) {
        fitted_ = false; // a new size fits the map again until the user zooms
    }
    emit viewChanged();
}

QRect HexMapView::widgetRect(const QRectF& mapRect) const {
    return mapRect.translated(origin_).toAlignedRect().adjusted(-3, -3, 3, 3);
}

// Only the hexes of the changed cells are drawn again, where the picture draws
// their layer (marks, shades and labels stay inside their hexes).
void HexMapView::cellsChanged(int layer, const QRect& cells) {
    ++content_;
    builder_.layerChanged(layer);
    if (!draws(layer)) {
        return;
    }
    if (!cells.isValid()) {
        update();
        return;
    }
    updateCells(cells);
}

QRect HexMapView::boundsOf(const std::vector<HexCell>& cells) const {
    QRect bounds;
    for (const HexCell& cell : cells) {
        bounds = bounds.united(QRect(cell.column, cell.row, 1, 1));
    }
    return bounds;
}

void HexMapView::updateCells(const QRect& cells) {
    if (cells.isEmpty()) {
        return;
    }
    const HexGeometry geometry = geometryNow();
    const QRectF first = geometry.bounds(cells.left(), cells.top());
    const QRectF last = geometry.bounds(cells.right(), cells.bottom());
    // Lowered columns reach half a hex further down.
    update(widgetRect(first.united(last).adjusted(0, -first.height() / 2, 0, first.height() / 2)));
}

void HexMapView::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    zoomAt(size_ * std::pow(1.25, steps), event->position());
}

void HexMapView::choose(HexCell cell) {
    setSelectedHex(cell.column, cell.row);
    emit hexChosen(cell.column, cell.row);
}

void HexMapView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && spaceHeld_)) {
        panFrom_ = event->position();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const auto cell = geometryNow().hexAt(event->position() - origin_);
    if (event->modifiers() & Qt::AltModifier) { // the eyedropper, whatever the tool
        pickValue(cell);
        return;
    }
    if (tool_ == Tool::Paint && shape_ != Shape::Brush) {
        if (cell && document_.hasMap()) {
            shapeFrom_ = cell;
            shapeTo_ = *cell;
            updateCells(boundsOf(shapeCells()));
        }
    } else if (tool_ == Tool::Paint) {
        document_.beginStroke(layer_, brushText_);
        stroking_ = document_.isStroking();
        paintStroke(event->position());
    } else if (!cell) {
        return;
    } else if (tool_ == Tool::Fill) {
        emit floodRequested(cell->column, cell->row);
    } else if (tool_ == Tool::Ruler) {
        rulerFrom_ = cell;
        rulerTo_ = *cell;
        emit rulerMoved(cell->column, cell->row, cell->column, cell->row);
    } else if (event->modifiers() & Qt::ShiftModifier) {
        rectangleFrom_ = cell;
        emit rectangleChosen(cell->column, cell->row, cell->column, cell->row);
    } else {
        choose(*cell);
    }
}

// The value of the layer on show under the eyedropper becomes the brush's.
void HexMapView::pickValue(std::optional<HexCell> cell) {
    if (cell) {
        emit valuePicked(document_.layer(layer_)->cellByte(cell->column, cell->row));
    }
}

void HexMapView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    emit hexHovered(-1, -1);
}

void HexMapView::mouseMoveEvent(QMouseEvent* event) {
    const auto hovered = geometryNow().hexAt(event->position() - origin_);
    emit hexHovered(hovered ? hovered->column : -1, hovered ? hovered->row : -1);
    if (panFrom_) {
        origin_ += event->position() - *panFrom_;
        panFrom_ = event->position();
        fitted_ = true;
        userView_ = true;
        update();
        emit viewChanged();
    } else if (stroking_) {
        paintStroke(event->position());
    } else if (rulerFrom_) {
        if (hovered && !(*hovered == rulerTo_)) { // the same hex again: nothing to find anew
            rulerTo_ = *hovered;
            emit rulerMoved(rulerFrom_->column, rulerFrom_->row, hovered->column, hovered->row);
        }
    } else if (shapeFrom_) {
        if (hovered && !(*hovered == shapeTo_)) {
            const QRect before = boundsOf(shapeCells());
            shapeTo_ = *hovered;
            updateCells(before.united(boundsOf(shapeCells())));
        }
    } else if (rectangleFrom_) {
        if (const auto cell = geometryNow().hexAt(event->position() - origin_)) {
            emit rectangleChosen(rectangleFrom_->column, rectangleFrom_->row, cell->column, cell->row);
        }
    }
}

void HexMapView::mouseReleaseEvent(QMouseEvent* event) {
    if (panFrom_ && (event->button() == Qt::MiddleButton || event->button() == Qt::LeftButton)) {
        panFrom_.reset();
    } else if (stroking_ && event->button() == Qt::LeftButton) {
        finishStroke();
    } else if (shapeFrom_ && event->button() == Qt::LeftButton) {
        finishShape();
    } else if (rulerFrom_ && event->button() == Qt::LeftButton) {
        rulerFrom_.reset(); // the ruler stays on show
    } else if (event->button() == Qt::LeftButton) {
        rectangleFrom_.reset();
    }
}

// A picture put away (another tab shown, the picture hidden) ends what the
// pointer was doing there, as letting go of the button would: the pointer's
// next moves belong to what is on show now, never to this map.
void HexMapView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    panFrom_.reset();
    spaceHeld_ = false;
    finishStroke();
    if (shapeFrom_) {
        cancelDrag(); // a line or rectangle is drawn only when let go over the picture
    }
    rulerFrom_.reset(); // the ruler stays on show
    rectangleFrom_.reset();
}

void HexMapView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        spaceHeld_ = true;
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        if (tool_ == Tool::Ruler) {
            rulerFrom_.reset();
            emit rulerDropped();
        } else if (isDragging()) {
            cancelDrag();
        } else {
            emit selectNoneRequested();
        }
        return;
    }
    if (event->key() == Qt::Key_I && event->modifiers() == Qt::NoModifier) { // the eyedropper
        pickValue(geometryNow().hexAt(QPointF(mapFromGlobal(QCursor::pos())) - origin_));
        return;
    }
    const HexGeometry geometry = geometryNow();
    int dc = 0, dr = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        dc = -1;
        break;
    case Qt::Key_Right:
        dc = 1;
        break;
    case Qt::Key_Up:
        dr = -1;
        break;
    case Qt::Key_Down:
        dr = 1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (geometry.columns() == 0 || geometry.rows() == 0) {
        return;
    }
    const HexCell from = selected_.value_or(HexCell{0, 0});
    choose({std::clamp(from.column + dc, 0, geometry.columns() - 1),
            std::clamp(from.row + dr, 0, geometry.rows() - 1)});
}

void HexMapView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        spaceHeld_ = false;
        panFrom_.reset();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

// Each hex the pointer crosses is a dab of the document's stroke: it shows at
// once and joins the stroke's one undo step. A stroke the document ended (an
// undo, a reload, typing) takes no more dabs until the button is pressed again.
void HexMapView::paintStroke(QPointF at) {
    if (!stroking_) {
        return;
    }
    const auto cell = geometryNow().hexAt(at - origin_);
    if (!cell) {
        return;
    }
    const std::vector<HexCell> cells = cellsOf(hexsymmetry::brush(mapShape(), offsetOf(*cell), brushRadius_));
    if (document_.paintDab(cells).kind == DocumentResult::Kind::NoStroke) {
        stroking_ = false;
    }
}

void HexMapView::finishStroke() {
    if (stroking_) {
        stroking_ = false;
        document_.endStroke();
    }
}

void HexMapView::cancelDrag() {
    if (stroking_) {
        stroking_ = false;
        document_.cancelStroke();
    }
    if (shapeFrom_) {
        const QRect shown = boundsOf(shapeCells());
        shapeFrom_.reset();
        updateCells(shown);
    }
}

// The line or rectangle as one stroke of one dab: one undo step, the symmetric
// brush's images included.
void HexMapView::finishShape() {
    const std::vector<HexCell> cells = shapeCells();
    const QRect shown = boundsOf(cells);
    shapeFrom_.reset();
    updateCells(shown);
    document_.beginStroke(layer_, brushText_);
    document_.paintDab(cells);
    document_.endStroke();
}

// The shape being dragged: its hexes in the brush's colour, outlined.
void HexMapView::drawShape(QPainter& painter, const HexGeometry& geometry) const {
    if (!shapeFrom_) {
        return;
    }
    QColor fill(coloursOf(layer_).colour(brushText_.toInt()));
    fill.setAlphaF(ShapeOpacity);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, std::max(1.0, geometry.size() / 10)));
    painter.setBrush(fill);
    for (const HexCell& cell : shapeCells()) {
        const auto corners = geometry.corners(cell.column, cell.row);
        painter.drawPolygon(QPolygonF(QList<QPointF>(corners.begin(), corners.end())));
    }
}
