// SPDX-License-Identifier: MIT
// Paints and edits the cells of a layer view. A cell whose text reads as 0 (an
// empty cell and a text that is no number included) is drawn as the zero marker:
// a black-framed cell with a teal octagon in its top-left corner and no digit.
// Every other cell shows its text, drawn without the style's per-cell work.
#pragma once

#include <QPen>
#include <QPointer>
#include <QStaticText>
#include <QStyledItemDelegate>

#include <array>
#include <functional>

class LayerDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit LayerDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

    // Enter and Tab keep the text and close the editor at once (Shift: the other
    // way), then ask the view to move; every other key is the editor's own.
    bool eventFilter(QObject* object, QEvent* event) override;

    // Cells to mark, by [column][row]: those that differ from a map compared with
    // (slot 0) and those with a merge's conflict left (slot 1); a cell either
    // marks gets the frame.
    void setMarks(std::function<bool(int column, int row)> marked, int slot = 0) {
        (slot == 0 ? marked_ : conflictMarked_) = std::move(marked);
    }

    // The editor of the edit in progress, if one is open.
    QWidget* openEditor() const { return openEditor_; }

    // Draws the zero marker over a cell whose value is 0; any other value leaves
    // the cell as it is. The brush in effect is the cell's own background.
    static void onDrawCell(QPainter* painter, int value, const QRect& rect);

    // The marker's octagon, as offsets from the cell's top-left corner: 15 x 15
    // pixels with its corners cut 4 pixels deep, never scaled to the cell.
    static constexpr std::array<QPoint, 8> OctagonVertices = {
        QPoint(4, 0),   QPoint(10, 0), QPoint(14, 4), QPoint(14, 10),
        QPoint(10, 14), QPoint(4, 14), QPoint(0, 10), QPoint(0, 4),
    };
    static constexpr int OctagonSize = 15;
    static constexpr QRgb FrameColor = 0xFF000000;   // black
    static constexpr QRgb OctagonColor = 0xFF008080; // teal: red 0, green 128, blue 128
    static constexpr int TextMargin = 2;

signals:
    void moveRequested(int columns, int rows);
    // Ctrl+Enter in the editor: its text for every selected cell, nothing committed.
    void fillRequested(const QString& text);

private:
    // The octagon, outlined and filled, on a transparent 15 x 15 image.
    static const QImage& octagonImage();
    // A pen of the colour, from the two last used.
    const QPen& textPen(const QColor& color) const;
    // The 256 canonical texts laid out once per font.
    const QStaticText& staticText(int value, const QFont& font) const;

    mutable QPointer<QWidget> openEditor_;
    mutable std::array<QPen, 2> textPens_;
    mutable std::array<QStaticText, 256> texts_;
    mutable QFont textsFont_;
    mutable int textHeight_ = 0;
    mutable bool textsReady_ = false;
    std::function<bool(int column, int row)> marked_;
    std::function<bool(int column, int row)> conflictMarked_;
};
