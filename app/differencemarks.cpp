// SPDX-License-Identifier: MIT
#include "differencemarks.h"
#include "hexraster.h"

#include <algorithm>
#include <vector>

namespace differencemarks {

namespace {

// Hexes this many pixels across get a ring one pixel wider.
constexpr double SizePerRingPixel = 8;

} // namespace

void drawOutlines(QImage& image, QPointF mapOrigin, const HexGeometry& geometry,
                  const std::function<bool(HexCell)>& marked) {
    const int width = image.width(), height = image.height();
    if (width <= 0 || height <= 0 || !marked) {
        return;
    }
    const int ring = std::max(1, static_cast<int>(geometry.size() / SizePerRingPixel));
    const int reach = ring + 1; // the black ring lies just inside the magenta one
    const int lineWidth = width + 2 * reach;
    // The hexes under the lines from `reach` above the one drawn to `reach` below
    // it, each line `reach` pixels wider on both sides, in a ring of lines.
    HexRaster raster(geometry, mapOrigin - QPointF(reach, 0), lineWidth);
    const int kept = 2 * reach + 1;
    std::vector<HexCell> lines(static_cast<std::size_t>(kept * lineWidth));
    const auto line = [&](int y) {
        return lines.data() + static_cast<std::ptrdiff_t>(((y % kept) + kept) % kept) * lineWidth;
    };
    const auto fill = [&](int y) {
        raster.setLine(y);
        HexCell* cells = line(y);
        for (int x = 0; x < lineWidth; ++x) {
            cells[x] = raster.at(x);
        }
    };
    for (int y = -reach; y < reach; ++y) {
        fill(y);
    }
    for (int y = 0; y < height; ++y) {
        fill(y + reach);
        const HexCell* centre = line(y) + reach;
        auto* pixels = reinterpret_cast<QRgb*>(image.scanLine(y));
        HexCell last{-1, -1};
        bool isMarked = false;
        for (int x = 0; x < width; ++x) {
            const HexCell cell = centre[x];
            if (cell != last) {
                last = cell;
                isMarked = geometry.contains(cell.column, cell.row) && marked(cell);
            }
            if (!isMarked) {
                continue;
            }
            for (int k = 1; k <= reach; ++k) {
                if (centre[x - k] != cell || centre[x + k] != cell || line(y - k)[x + reach] != cell ||
                    line(y + k)[x + reach] != cell) {
                    pixels[x] = k <= ring ? OutlineColor : InnerColor;
                    break;
                }
            }
        }
    }
}

CellFrame::~CellFrame() {
    if (!marked) {
        return;
    }
    const QColor colour = QColor::fromRgb(OutlineColor);
    const QRect& r = rect;
    painter->fillRect(QRect(r.left(), r.top(), r.width(), FrameWidth), colour);
    painter->fillRect(QRect(r.left(), r.bottom() - FrameWidth + 1, r.width(), FrameWidth), colour);
    painter->fillRect(QRect(r.left(), r.top(), FrameWidth, r.height()), colour);
    painter->fillRect(QRect(r.right() - FrameWidth + 1, r.top(), FrameWidth, r.height()), colour);
}

} // namespace differencemarks
