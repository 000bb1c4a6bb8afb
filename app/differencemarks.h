// SPDX-License-Identifier: MIT
// How a differing cell is marked: in the picture, an outline drawn last, over
// every other layer of the picture (an orange ring inside the hex's edge and a
// black one inside that, so it shows on any colour); in a layer view, an orange
// frame around the cell drawn after the cell itself.
#pragma once

#include "hexgeometry.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRgb>

#include <functional>

namespace differencemarks {

inline constexpr QRgb OutlineColor = 0xFFFF6A00; // orange, a colour no palette uses
inline constexpr QRgb InnerColor = 0xFF000000;   // black
inline constexpr int FrameWidth = 2;             // of a cell's frame in the views

// The outlines of the marked hexes over `image`, whose pixel (0, 0) is map pixel
// `mapOrigin`; found pixel by pixel, so the cost follows the image's size, not
// the number of marked hexes.
void drawOutlines(QImage& image, QPointF mapOrigin, const HexGeometry& geometry,
                  const std::function<bool(HexCell)>& marked);

// Draws the frame of a marked cell as it goes out of scope, after the cell's own
// painting, whichever way that ends.
struct CellFrame {
    QPainter* painter;
    QRect rect;
    bool marked;
    ~CellFrame();
};

} // namespace differencemarks
