// SPDX-License-Identifier: MIT
#include "layerdelegate.h"
#include "differencemarks.h"
#include "layermodel.h"

#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

#include <algorithm>

namespace {
// Long typed texts are cut before layout: a cell shows a few characters at most.
constexpr int LongestDrawnText = 64;
constexpr int LongestCellText = 16 * 1024 * 1024;
} // namespace

LayerDelegate::LayerDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void LayerDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    const auto* model = static_cast<const LayerModel*>(index.model());
    const differencemarks::CellFrame frame{
        painter, option.rect,
        (marked_ && marked_(index.column(), index.row())) ||
            (conflictMarked_ && conflictMarked_(index.column(), index.row()))};
    const LayerModel::Cell cell = model->cell(index.column(), index.row());
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        (option.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    // Brushes, pens and the font are shared, never made per cell: painting a cell
    // allocates nothing beyond a typed text.
    const QBrush& background = option.palette.brush(group, selected ? QPalette::Highlight : QPalette::Base);
    const QRect& rect = option.rect;

    const std::int32_t value = cell.value();

    if (value == 0) {
        // The marker's frame covers the whole cell and any text in it, so the text
        // is not drawn at all.
        painter->setBrush(background);
        onDrawCell(painter, value, rect);
        return;
    }

    painter->fillRect(rect, background);
    painter->setPen(
        textPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text)));
    if (painter->font() != option.font) {
        painter->setFont(option.font);
    }
    if (cell.code < 256) {
        const QStaticText& text = staticText(value, option.font);
        const int y = rect.top() + (rect.height() - textHeight_) / 2;
        if (text.size().width() + TextMargin <= rect.width() && textHeight_ <= rect.height()) {
            painter->drawStaticText(rect.left() + TextMargin, y, text);
        } else {
            painter->save();
            painter->setClipRect(rect, Qt::IntersectClip);
            painter->drawStaticText(rect.left() + TextMargin, y, text);
            painter->restore();
        }
    } else {
        painter->drawText(rect.adjusted(TextMargin, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          cell.typed->left(LongestDrawnText));
    }
}

void LayerDelegate::onDrawCell(QPainter* painter, int value, const QRect& rect) {
    if (value != 0) {
        return;
    }
    static const QPen framePen(QColor::fromRgb(FrameColor), 0);
    painter->setPen(framePen);
    // A one-pixel frame on the left and top edges and one pixel inside the right
    // and bottom bounds, filled with the brush in effect.
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    // The octagon is drawn once and copied: a polygon with an outline is the
    // costliest thing a repaint would do otherwise. A cell smaller than the
    // octagon gets only its part, so the octagon never paints over a neighbour.
    const QImage& octagon = octagonImage();
    painter->drawImage(
        rect.topLeft(), octagon,
        QRect(0, 0, std::min(OctagonSize, rect.width()), std::min(OctagonSize, rect.height())));
}

const QImage& LayerDelegate::octagonImage() {
    static const QImage image = [] {
        QImage drawn(OctagonSize, OctagonSize, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        painter.setPen(QColor::fromRgb(FrameColor));
        painter.setBrush(QColor::fromRgb(OctagonColor));
        painter.drawPolygon(OctagonVertices.data(), static_cast<int>(OctagonVertices.size()));
        return drawn;
    }();
    return image;
}

QWidget* LayerDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setFont(option.font);
    editor->setMaxLength(LongestCellText); // any text is kept as typed
    Q_UNUSED(index);
    openEditor_ = editor;
    return editor;
}

bool LayerDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & Qt::ControlModifier)) {
            const auto* line = qobject_cast<QLineEdit*>(editor);
            const QString text = line ? line->text() : QString();
            emit closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
            emit fillRequested(text);
            return true;
        }
        int columns = 0;
        int rows = 0;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            rows = shift ? -1 : 1;
            break;
        case Qt::Key_Tab:
            columns = 1;
            break;
        case Qt::Key_Backtab:
            columns = -1;
            break;
        default:
            return QStyledItemDelegate::eventFilter(object, event);
        }
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        emit moveRequested(columns, rows);
        return true;
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

const QPen& LayerDelegate::textPen(const QColor& color) const {
    for (const QPen& pen : textPens_) {
        if (pen.color() == color) {
            return pen;
        }
    }
    // A new text colour (normal, selected, or a changed palette): keep the last two.
    textPens_[1] = textPens_[0];
    textPens_[0] = QPen(color, 0);
    return textPens_[0];
}

const QStaticText& LayerDelegate::staticText(int value, const QFont& font) const {
    if (!textsReady_ || font != textsFont_) {
        for (int i = 0; i < 256; ++i) {
            auto& text = texts_[static_cast<std::size_t>(i)];
            text.setText(LayerModel::canonicalText(static_cast<std::uint8_t>(i)));
            text.setTextFormat(Qt::PlainText);
            text.setPerformanceHint(QStaticText::AggressiveCaching); // laid out on first use
        }
        textsFont_ = font;
        textHeight_ = QFontMetrics(font).height();
        textsReady_ = true;
    }
    return texts_[static_cast<std::size_t>(value)];
}
