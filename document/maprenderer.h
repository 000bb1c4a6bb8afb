// SPDX-License-Identifier: MIT
// Draws a map as flat-topped hexes, into an image or through any painter: a base
// layer, every pixel the colour of the hex under its centre (the geometry's one
// pixel-to-hex function), and over it any number of overlays, each one byte
// layer of the map: marks (a disc centred in each hex whose byte is not 0),
// shade (the value lightens or darkens the base) or values (the number written
// in the hex). Then, when asked, outlines and labels (coordinates, the values of
// a layer) at sizes that hold them legibly. It draws the map and nothing else:
// the picture's selection and current hex are the picture's own, drawn over it,
// so an exported image never shows them.
#pragma once

#include "hexgeometry.h"
#include "palettes.h"

#include <QImage>
#include <QRect>
#include <QRgb>

#include <cstdint>
#include <functional>
#include <span>
#include <type_traits>
#include <vector>

class LayerModel;
class QPainter;

class MapRenderer {
public:
    // The whole-number values of the cells of a layer: one hex at a time, and a
    // run of one column's rows at a time, which is what drawing asks for. A
    // layer that only says how to read one hex is read a hex at a time.
    class Values {
    public:
        using OneHex = std::function<std::int32_t(int column, int row)>;
        // Writes the values of rows firstRow, firstRow + 1, ... of `column` into `out`.
        using ColumnRun = std::function<void(int column, int firstRow, std::span<std::int32_t> out)>;

        Values() = default;
        template <typename Read>
        requires(!std::is_same_v<std::remove_cvref_t<Read>, Values> &&
                 std::is_invocable_r_v<std::int32_t, Read, int, int>) Values(Read read)
            : hex_(std::move(read)) {} // NOLINT: a reader of one hex is a Values
        Values(OneHex hex, ColumnRun run) : hex_(std::move(hex)), run_(std::move(run)) {}

        explicit operator bool() const { return static_cast<bool>(hex_); }
        std::int32_t operator()(int column, int row) const { return hex_(column, row); }
        void column(int column, int firstRow, std::span<std::int32_t> out) const;

    private:
        OneHex hex_;
        ColumnRun run_;
    };
    // The values of a document's layer, as its cells read them.
    static Values valuesOf(const LayerModel& layer);

    enum class OverlayStyle { Marks, Shade, Values };
    struct Overlay {
        Values values;
        palettes::LayerColours colours;
        OverlayStyle style = OverlayStyle::Marks;
        double opacity = 1.0; // 0 to 1
    };

    // Hex sizes (centre to corner, in pixels) from which outlines show, and
    // labels may (when their text fits the hex at a legible size).
    static constexpr double OutlinesFrom = 6;
    static constexpr double NumbersFrom = 14;
    // The smallest label, in pixels, that is drawn.
    static constexpr int SmallestLabel = 8;
    // The outermost mark's radius, in hex sizes; each further overlay's mark is
    // a step smaller, so marks of one hex nest and all show.
    static constexpr double MarkRadius = 0.5;
    static constexpr double MarkStep = 0.12;
    // Shade lightens or darkens the base by at most this share (a terrain by
    // as much of it as keeps it apart from the others: palettes::ShadeReach).
    static constexpr double ShadeStrength = palettes::ShadeStrength;

    MapRenderer(const HexGeometry& geometry, Values base, palettes::LayerColours colours);

    void addOverlay(Overlay overlay);
    void setOutlines(bool shown) { outlines_ = shown; }
    void setCoordinates(bool shown) { coordinates_ = shown; }
    // The numbers of `values` written in every hex (empty: none).
    void setValueLabels(Values values) { valueLabels_ = std::move(values); }
    // Draws only the hexes in `cells` (columns x rows); the others count as
    // outside the map, and image() is the picture of that rectangle alone.
    void setHexes(const QRect& cells);

    const HexGeometry& geometry() const { return geometry_; }
    QRgb colourOf(std::int32_t value) const { return colours_.colour(value); }
    // The base colour of a hex with the shades over it.
    QRgb hexColour(int column, int row) const;
    // The shade step of a shade overlay's byte, -1 (darkest) to 1 (lightest),
    // and the colour a share of white (above 0) or black (below) makes of one.
    static double shadeAmount(const Overlay& overlay, std::uint8_t byte);
    static QRgb shaded(QRgb colour, double share);
    // The pixel size of labels at this hex size, or 0 where they are too small
    // to read or too wide for the hex.
    int labelSize() const;

    // Draws into the whole of `image` the map pixels from `mapOrigin` on, which
    // is the map pixel at the image's pixel (0, 0); pixels outside every hex
    // take `background`. The image is RGB32, ARGB32 or ARGB32_Premultiplied.
    void draw(QImage& image, QPointF mapOrigin, QRgb background) const;
    // Draws the map's pixels inside `region` through `painter`, whose user
    // coordinates are map pixels; outside the hexes it leaves what is there.
    void draw(QPainter& painter, const QRect& region) const;

    // The hexes drawn (the whole map, or those of setHexes) with no margin: as
    // wide and high as they reach, rounded up; transparent outside the hexes.
    QSize imageSize() const;
    QImage image(QImage::Format format = QImage::Format_ARGB32_Premultiplied) const;
    // The lines of labels each hex holds (coordinates, values).
    int labelLines() const;

private:
    // The hexes whose rectangles meet the map rectangle `view`.
    QRect hexesMeeting(const QRectF& view) const;
    // Outlines and labels of the hexes whose rectangles meet `view`.
    void decorate(QPainter& painter, const QRectF& view) const;
    // The lines of text a hex holds, top to bottom, each with its opacity.
    struct Label {
        QString text;
        double opacity = 1.0;
    };
    std::vector<Label> labelsOf(int column, int row) const;
    // The map pixel at the top left of the drawn hexes' picture.
    QPointF imageOrigin() const;

    HexGeometry geometry_;
    Values base_;
    palettes::LayerColours colours_;
    std::vector<Overlay> overlays_;
    int marks_ = 0;
    bool outlines_ = false;
    bool coordinates_ = false;
    Values valueLabels_;
    QRect hexes_; // drawn hexes, in columns and rows
};
