#include "hexmapview.h"
#include "mapdocument.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

HexMapView::HexMapView(MapDocument& document, QWidget* parent) : QWidget(parent), document_(document) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setMinimumSize(120, 120);
    connect(&document_, &MapDocument::cellsChanged, this, [this](int layer, const QRect& cells) {
        if (layer == layer_) {
            const LayerModel* model = document_.layer(layer);
            cellsChanged(model->index(cells.top(), cells.left()), model->index(cells.bottom(), cells.right()));
        }
    });
    // A new map, or a new shape: fit it again, and nothing of the old one stays
    // selected.
    connect(&document_, &MapDocument::mapReset, this, [this] {
        finishStroke();
        fitted_ = false;
        selected_.reset();
        selectionMask_.clear();
        // A map read once the window is up is drawn at once: the wait for the
        // window's first paint is over.
        shownOnce_ = shownOnce_ || window()->isVisible();
        update();
    });
}

void HexMapView::setLayer(int layer) {
    if (layer != layer_) {
        finishStroke();
        layer_ = layer;
        update();
    }
}

void HexMapView::setTool(Tool tool) {
    finishStroke();
    tool_ = tool;
}

void HexMapView::setSelectionMask(std::vector<bool> mask) {
    selectionMask_ = std::move(mask);
    update();
}

void HexMapView::setEvenColumnsLower(bool lower) {
    evenLower_ = lower;
    update();
}

void HexMapView::setRamp(palettes::Ramp ramp) {
    ramp_ = ramp;
    update();
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
    update();
}

void HexMapView::fitMap() {
    const HexGeometry unit(document_.layer(layer_)->columns(), document_.layer(layer_)->rows(), 1.0, evenLower_);
    const QRectF bounds = unit.mapBounds();
    if (bounds.isEmpty() || width() <= 0 || height() <= 0) {
        return;
    }
    size_ = std::clamp(std::min(width() / bounds.width(), height() / bounds.height()), MinimumSize, MaximumSize);
    origin_ = QPointF((width() - bounds.width() * size_) / 2, (height() - bounds.height() * size_) / 2);
    fitted_ = true;
    update();
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

QRgb HexMapView::colourOf(int column, int row) const {
    const LayerModel* model = document_.layer(layer_);
    if (layer_ == amp::TerrainLayer) {
        return palettes::terrain(model->cellValue(column, row));
    }
    return palettes::ramp(ramp_, model->cellByte(column, row));
}

void HexMapView::draw(QImage& image, QPointF mapOrigin, const HexGeometry& geometry, bool decorate) const {
    const QRgb background = palette().color(QPalette::Window).rgb();
    const int width = image.width();
    // The hex under a pixel is the nearer of two centres: one in each of the two
    // columns around it. What depends on x alone (the columns, their horizontal
    // distances) is worked out once per paint, what depends on y alone (the
    // nearest row in a raised and in a lowered column) once per line.
    const double size = geometry.size();
    const double half = size * 0.8660254037844386; // half a hex's height
    std::vector<int> leftColumn(static_cast<std::size_t>(width));
    std::vector<double> leftDx2(static_cast<std::size_t>(width)), rightDx2(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        const double mx = mapOrigin.x() + x + 0.5;
        const int left = static_cast<int>(std::floor((mx - size) / (1.5 * size)));
        const double dx = mx - (size + 1.5 * size * left);
        leftColumn[static_cast<std::size_t>(x)] = left;
        leftDx2[static_cast<std::size_t>(x)] = dx * dx;
        rightDx2[static_cast<std::size_t>(x)] = (dx - 1.5 * size) * (dx - 1.5 * size);
    }
    HexCell last{-1, -1};
    QRgb lastColour = background;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double my = mapOrigin.y() + y + 0.5;
        int rowOf[2];
        double dy2[2];
        for (int lowered = 0; lowered < 2; ++lowered) {
            const double offset = half + lowered * half;
            rowOf[lowered] = static_cast<int>(std::lround((my - offset) / (2 * half)));
            const double dy = my - (offset + 2 * half * rowOf[lowered]);
            dy2[lowered] = dy * dy;
        }
        for (int x = 0; x < width; ++x) {
            const int left = leftColumn[static_cast<std::size_t>(x)];
            const int a = geometry.isLowered(left) ? 1 : 0; // neighbouring columns differ
            const double leftDistance = leftDx2[static_cast<std::size_t>(x)] + dy2[a];
            const double rightDistance = rightDx2[static_cast<std::size_t>(x)] + dy2[1 - a];
            const HexCell cell = leftDistance <= rightDistance ? HexCell{left, rowOf[a]} : HexCell{left + 1, rowOf[1 - a]};
            if (cell != last) {
                last = cell;
                lastColour = geometry.contains(cell.column, cell.row) ? colourOf(cell.column, cell.row) : background;
                if (!selectionMask_.empty() && geometry.contains(cell.column, cell.row) &&
                    selectionMask_[static_cast<std::size_t>(cell.column * geometry.rows() + cell.row)]) {
                    // Selected: halfway to the selection blue.
                    lastColour = qRgb((qRed(lastColour) + 0x33) / 2, (qGreen(lastColour) + 0x99) / 2,
                                      (qBlue(lastColour) + 0xFF) / 2);
                }
            }
            line[x] = lastColour;
        }
    }
    if (!decorate || geometry.columns() == 0) {
        return;
    }
    // Outlines, numbers and the selection, for the hexes the image shows.
    const QRectF view(mapOrigin, QSizeF(image.size()));
    const int firstColumn = std::max(0, static_cast<int>((view.left() - size) / (1.5 * size)));
    const int lastColumn = std::min(geometry.columns() - 1, static_cast<int>(view.right() / (1.5 * size)) + 1);
    const double height = size * 1.7320508075688772;
    const int firstRow = std::max(0, static_cast<int>(view.top() / height) - 1);
    const int lastRow = std::min(geometry.rows() - 1, static_cast<int>(view.bottom() / height) + 1);
    QPainter painter(&image);
    painter.translate(-mapOrigin);
    const auto polygon = [&geometry](int column, int row) {
        const auto corners = geometry.corners(column, row);
        return QPolygonF(QList<QPointF>(corners.begin(), corners.end()));
    };
    if (size >= OutlinesFrom) {
        painter.setPen(QPen(QColor(0, 0, 0, 70), 0));
        for (int column = firstColumn; column <= lastColumn; ++column) {
            for (int row = firstRow; row <= lastRow; ++row) {
                painter.drawPolygon(polygon(column, row));
            }
        }
    }
    if (size >= NumbersFrom) {
        QFont font = painter.font();
        font.setPixelSize(std::max(8, static_cast<int>(size * 0.55)));
        painter.setFont(font);
        const LayerModel* model = document_.layer(layer_);
        for (int column = firstColumn; column <= lastColumn; ++column) {
            for (int row = firstRow; row <= lastRow; ++row) {
                const QColor fill(colourOf(column, row));
                painter.setPen(fill.lightnessF() > 0.55 ? Qt::black : Qt::white);
                painter.drawText(geometry.bounds(column, row), Qt::AlignCenter,
                                 QString::number(model->cellValue(column, row)));
            }
        }
    }
    if (selected_ && geometry.contains(selected_->column, selected_->row)) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, std::max(1.5, size / 6)));
        painter.setBrush(Qt::NoBrush);
        painter.drawPolygon(polygon(selected_->column, selected_->row));
        painter.setPen(QPen(Qt::black, std::max(0.75, size / 12)));
        painter.drawPolygon(polygon(selected_->column, selected_->row));
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
    draw(canvas_, QPointF(area.topLeft()) - origin_, geometryNow(), true);
    QPainter painter(this);
    painter.drawImage(area.topLeft(), canvas_);
}

void HexMapView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitted_ = false; // a new size fits the map again until the user zooms
}

QImage HexMapView::renderMap(double size) const {
    const HexGeometry geometry(document_.layer(layer_)->columns(), document_.layer(layer_)->rows(), size, evenLower_);
    const QSize pixels = geometry.mapBounds().size().toSize().expandedTo(QSize(1, 1));
    QImage image(pixels, QImage::Format_RGB32);
    draw(image, QPointF(0, 0), geometry, true);
    return image;
}

QRect HexMapView::widgetRect(const QRectF& mapRect) const {
    return mapRect.translated(origin_).toAlignedRect().adjusted(-3, -3, 3, 3);
}

// Only the hexes of the changed cells are drawn again.
void HexMapView::cellsChanged(const QModelIndex& from, const QModelIndex& to) {
    const HexGeometry geometry = geometryNow();
    if (!from.isValid() || !to.isValid()) {
        update();
        return;
    }
    const QRectF first = geometry.bounds(from.column(), from.row());
    const QRectF last = geometry.bounds(to.column(), to.row());
    // Lowered columns reach half a hex further down.
    update(widgetRect(first.united(last).adjusted(0, -first.height() / 2, 0, first.height() / 2)));
}

void HexMapView::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    zoomAt(size_ * std::pow(1.25, steps), event->position());
    fitted_ = true;
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
    if (tool_ == Tool::Paint) {
        document_.beginStroke(layer_, brushText_);
        stroking_ = document_.isStroking();
        paintStroke(event->position());
    } else if (!cell) {
        return;
    } else if (tool_ == Tool::Fill) {
        emit floodRequested(cell->column, cell->row);
    } else if (event->modifiers() & Qt::ShiftModifier) {
        rectangleFrom_ = cell;
        emit rectangleChosen(cell->column, cell->row, cell->column, cell->row);
    } else {
        choose(*cell);
    }
}

void HexMapView::mouseMoveEvent(QMouseEvent* event) {
    if (panFrom_) {
        origin_ += event->position() - *panFrom_;
        panFrom_ = event->position();
        fitted_ = true;
        update();
    } else if (stroking_) {
        paintStroke(event->position());
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
    } else if (event->button() == Qt::LeftButton) {
        rectangleFrom_.reset();
    }
}

void HexMapView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        spaceHeld_ = true;
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        emit selectNoneRequested();
        return;
    }
    const HexGeometry geometry = geometryNow();
    int dc = 0, dr = 0;
    switch (event->key()) {
    case Qt::Key_Left: dc = -1; break;
    case Qt::Key_Right: dc = 1; break;
    case Qt::Key_Up: dr = -1; break;
    case Qt::Key_Down: dr = 1; break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (geometry.columns() == 0 || geometry.rows() == 0) {
        return;
    }
    const HexCell from = selected_.value_or(HexCell{0, 0});
    choose({std::clamp(from.column + dc, 0, geometry.columns() - 1), std::clamp(from.row + dr, 0, geometry.rows() - 1)});
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
    const HexGeometry geometry = geometryNow();
    const auto cell = geometry.hexAt(at - origin_);
    if (!cell) {
        return;
    }
    std::vector<HexCell> cells = {*cell};
    if (brushSize_ > 1) {
        const auto around = geometry.neighbours(cell->column, cell->row);
        cells.insert(cells.end(), around.begin(), around.end());
    }
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
