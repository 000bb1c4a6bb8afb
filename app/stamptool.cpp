// SPDX-License-Identifier: MIT
#include "stamptool.h"
#include "hexmapview.h"
#include "mapdocument.h"
#include "palettes.h"
#include "symmetryedits.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int PreviewAlpha = 190;
constexpr int TurnsToTurnBack = 5; // five sixths one way are a sixth the other
constexpr int HintMargin = 4;
constexpr int HintShade = 160;

} // namespace

StampTool::StampTool(MapDocument& document, HexMapView& picture)
    : QWidget(&picture), document_(&document), picture_(&picture) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    resize(picture.size());
    picture.installEventFilter(this);
    // While the stamp follows the pointer its keys work wherever the focus is in
    // the editor (a view, a dock, the picture, floating or not; not in a dialog
    // that waits for an answer): the actions are the tool's, and so count only
    // while it is shown.
    const std::pair<QKeySequence, Qt::Key> keys[] = {{QKeySequence(Qt::Key_Z), Qt::Key_Z},
                                                     {QKeySequence(Qt::SHIFT | Qt::Key_Z), Qt::Key_Z},
                                                     {QKeySequence(Qt::Key_X), Qt::Key_X},
                                                     {QKeySequence(Qt::Key_Y), Qt::Key_Y},
                                                     {QKeySequence(Qt::Key_Escape), Qt::Key_Escape}};
    for (const auto& [sequence, key] : keys) {
        auto* action = new QAction(this);
        action->setShortcut(sequence);
        action->setShortcutContext(Qt::ApplicationShortcut);
        const bool back = sequence[0].keyboardModifiers() & Qt::ShiftModifier;
        connect(action, &QAction::triggered, this, [this, key, back] { useKey(key, back); });
        addAction(action);
    }
    hide();
}

void StampTool::setTarget(MapDocument& document, HexMapView& picture) {
    if (&picture == picture_) {
        return;
    }
    setActive(false);
    picture_->removeEventFilter(this);
    document_ = &document;
    picture_ = &picture;
    setParent(&picture);
    resize(picture.size());
    picture.installEventFilter(this);
    hide();
}

void StampTool::addStamp(hexsymmetry::Stamp stamp) {
    stamps_.push_front(std::move(stamp));
    if (stamps_.size() > Kept) {
        stamps_.pop_back();
    }
    choose(0);
}

bool StampTool::choose(std::size_t index) {
    if (index >= stamps_.size()) {
        emit message(tr("No stamp %1: Edit > Copy as Stamp keeps one.").arg(index + 1));
        return false;
    }
    current_ = stamps_[index];
    hint_ = tr("Stamp %1 of %2 hexes: click to place it, Z turns, X and Y flip, Esc ends.")
                .arg(index + 1)
                .arg(current_.cells.size());
    setActive(true);
    update();
    emit message(hint_);
    return true;
}

void StampTool::setActive(bool active) {
    active_ = active;
    setAttribute(Qt::WA_TransparentForMouseEvents, !active);
    setVisible(active);
    if (active) {
        raise();
        setFocus();
        const QPoint cursor = mapFromGlobal(QCursor::pos());
        moveTo(rect().contains(cursor) ? picture_->geometryNow().hexAt(QPointF(cursor) - picture_->origin())
                                       : std::nullopt);
    } else {
        moveTo(std::nullopt);
        picture_->setFocus();
    }
}

std::vector<HexCell> StampTool::previewCells() const {
    std::vector<HexCell> cells;
    if (!active_ || !anchor_) {
        return cells;
    }
    const HexGeometry geometry = picture_->geometryNow();
    for (const auto& hex : current_.placedAt({anchor_->column, anchor_->row}, picture_->evenColumnsLower())) {
        if (geometry.contains(hex.column, hex.row)) {
            cells.push_back({hex.column, hex.row});
        }
    }
    return cells;
}

QRect StampTool::previewRect() const {
    const HexGeometry geometry = picture_->geometryNow();
    QRectF bounds;
    for (const HexCell& cell : previewCells()) {
        bounds |= geometry.bounds(cell.column, cell.row);
    }
    return bounds.translated(picture_->origin()).toAlignedRect().adjusted(-2, -2, 2, 2);
}

// Only the part of the picture the preview leaves and the part it enters are
// drawn again.
void StampTool::moveTo(std::optional<HexCell> anchor) {
    if (anchor == anchor_) {
        return;
    }
    const QRect before = previewRect();
    anchor_ = anchor;
    update(before | previewRect());
}

bool StampTool::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picture_ && event->type() == QEvent::Resize) {
        resize(picture_->size());
    }
    return QWidget::eventFilter(watched, event);
}

void StampTool::paintEvent(QPaintEvent*) {
    const HexGeometry geometry = picture_->geometryNow();
    const int layer = picture_->layer();
    const auto placed = current_.placedAt({anchor_ ? anchor_->column : 0, anchor_ ? anchor_->row : 0},
                                          picture_->evenColumnsLower());
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(picture_->origin());
    painter.setPen(QPen(Qt::white, 2));
    for (std::size_t i = 0; anchor_ && i < placed.size(); ++i) {
        if (!geometry.contains(placed[i].column, placed[i].row)) {
            continue;
        }
        const bool own = current_.layers == 1 || layer < 0 || layer >= current_.layers;
        const std::uint8_t value = current_.values[i * static_cast<std::size_t>(current_.layers) +
                                                   (own ? 0 : static_cast<std::size_t>(layer))];
        QColor colour(layer == amp::TerrainLayer ? palettes::terrain(value)
                                                 : palettes::ramp(picture_->ramp(), value));
        colour.setAlpha(PreviewAlpha);
        painter.setBrush(colour);
        const auto corners = geometry.corners(placed[i].column, placed[i].row);
        painter.drawPolygon(QPolygonF(QList<QPointF>(corners.begin(), corners.end())));
    }
    // The hint stays in the picture's lower edge for as long as the tool is on,
    // where the status line's word goes with the next message.
    painter.resetTransform();
    const QRect line(0, height() - fontMetrics().height() - 2 * HintMargin, width(),
                     fontMetrics().height() + 2 * HintMargin);
    painter.fillRect(line, QColor(0, 0, 0, HintShade));
    painter.setPen(Qt::white);
    painter.drawText(line.adjusted(HintMargin, 0, -HintMargin, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     fontMetrics().elidedText(hint_, Qt::ElideRight, width() - 2 * HintMargin));
}

void StampTool::mouseMoveEvent(QMouseEvent* event) {
    moveTo(picture_->geometryNow().hexAt(event->position() - picture_->origin()));
    event->ignore(); // the picture pans and tracks as before
}

void StampTool::leaveEvent(QEvent*) {
    moveTo(std::nullopt);
}

void StampTool::mousePressEvent(QMouseEvent* event) {
    const auto anchor = picture_->geometryNow().hexAt(event->position() - picture_->origin());
    if (event->button() != Qt::LeftButton || !anchor) {
        event->ignore(); // panning and the rest go to the picture
        return;
    }
    symmetryedits::placeStamp(*document_, current_, picture_->layer(), anchor->column, anchor->row,
                              picture_->evenColumnsLower());
}

void StampTool::keyPressEvent(QKeyEvent* event) {
    if (!useKey(static_cast<Qt::Key>(event->key()), event->modifiers() & Qt::ShiftModifier)) {
        event->ignore();
    }
}

bool StampTool::useKey(Qt::Key key, bool back) {
    if (!active_) {
        return false;
    }
    const QRect before = previewRect();
    switch (key) {
    case Qt::Key_Z:
        for (int turn = 0; turn < (back ? TurnsToTurnBack : 1); ++turn) {
            current_.rotate();
        }
        break;
    case Qt::Key_X:
        current_.flipLeftRight();
        break;
    case Qt::Key_Y:
        current_.flipTopBottom();
        break;
    case Qt::Key_Escape:
        setActive(false);
        return true;
    default:
        return false;
    }
    update(before | previewRect());
    return true;
}
