// SPDX-License-Identifier: MIT
// The Stamp tool: a see-through layer over the picture that, while the tool is
// on, shows the current stamp under the cursor (in the layer's colours), places
// it with a click (one undo step), turns it a sixth with Z (Shift+Z the other
// way) and flips it with X and Y; Esc puts the tool away. The stamp keeps its hex
// shape on either column parity. The last nine stamps stay for Ctrl+1..9 while
// the editor runs.
#pragma once

#include "hexgeometry.h"
#include "hexsymmetry.h"

#include <QWidget>

#include <deque>
#include <optional>
#include <vector>

class HexMapView;
class MapDocument;

class StampTool : public QWidget {
    Q_OBJECT

public:
    static constexpr std::size_t Kept = 9;

    StampTool(MapDocument& document, HexMapView& picture);

    // The map and picture the stamps go to from now on; the kept stamps stay.
    void setTarget(MapDocument& document, HexMapView& picture);
    // A new stamp becomes the first of the kept ones and the tool comes on.
    void addStamp(hexsymmetry::Stamp stamp);
    // The kept stamp `index` (0: the latest) with the tool on; false when there
    // is none.
    bool choose(std::size_t index);
    void setActive(bool active);
    bool isActive() const { return active_; }
    const std::deque<hexsymmetry::Stamp>& stamps() const { return stamps_; }
    // The stamp as the keys have turned and flipped it.
    const hexsymmetry::Stamp& current() const { return current_; }
    const QString& hint() const { return hint_; }
    // The hexes the preview covers now (inside the map), empty when it shows none.
    std::vector<HexCell> previewCells() const;

signals:
    void message(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void moveTo(std::optional<HexCell> anchor);
    QRect previewRect() const;
    // Z (with Shift: the other way), X, Y and Esc; false for another key or
    // while the tool is off.
    bool useKey(Qt::Key key, bool back);

    MapDocument* document_;
    HexMapView* picture_;
    std::deque<hexsymmetry::Stamp> stamps_;
    hexsymmetry::Stamp current_;
    std::optional<HexCell> anchor_;
    QString hint_; // what the keys and a click do, shown while the tool is on
    bool active_ = false;
};
