// SPDX-License-Identifier: MIT
// Two maps compared hex by hex: the map being edited and another one, which the
// comparison only reads. Cells compare by the byte a write stores for them, over
// the hexes both maps have; the header bytes other than the size compare on
// their own, and hexes beyond the other map's edges are only in one of them.
// The comparison follows every edit of the edited map cell by cell, and starts
// again whenever either map is replaced. Taking the other map's cells ("take
// theirs") goes through the edited document, one undo step each time.
#pragma once

#include "hexgeometry.h"
#include "mapformat.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class MapDocument;

// One differing cell: a layer of a hex both maps have.
struct Difference {
    int layer = 0;
    int column = 0;
    int row = 0;
    friend bool operator==(const Difference&, const Difference&) = default;
};

class MapComparison : public QObject {
    Q_OBJECT

public:
    MapComparison(MapDocument& edited, const MapDocument& other, QObject* parent = nullptr);

    MapDocument& edited() const { return edited_; }
    const MapDocument& other() const { return other_; }

    // The hexes both maps have: columns 0..commonColumns()-1, rows 0..commonRows()-1.
    int commonColumns() const { return commonColumns_; }
    int commonRows() const { return commonRows_; }
    bool sameSize() const;
    // The header bytes that differ, the size's two bytes left out.
    std::vector<int> headerDifferences() const;
    // The hexes of one map that the other lacks, as at most two rectangles of
    // [column][row] cells of that map.
    std::vector<QRect> onlyInEdited() const;
    std::vector<QRect> onlyInOther() const;

    // How many cells differ, on one layer or on all of them; how many hexes differ
    // on some layer; how many layers have a differing cell.
    std::size_t cellCount() const { return cellCount_; }
    int cellCount(int layer) const { return layerCounts_[static_cast<std::size_t>(layer)]; }
    int hexCount() const { return hexCount_; }
    int layerCount() const;
    // "37 hexes differ in 3 layers".
    QString countText() const;

    bool differs(int layer, int column, int row) const;
    // Whether the hex differs on any layer.
    bool hexDiffers(int column, int row) const;
    // The bytes the two maps hold there (the edited map's as a write would store it).
    std::uint8_t editedByte(int layer, int column, int row) const;
    std::uint8_t otherByte(int layer, int column, int row) const;

    // The next (or previous, `step` -1) difference after `from` in file order
    // (column, then row, then layer), on `layer` or on any layer (-1), wrapping
    // at the ends; none when nothing differs there.
    std::optional<Difference> step(const Difference& from, int step, int layer = -1) const;

    // What takeTheirs gives to the edited map.
    enum class Scope {
        Hex,       // every layer of one hex
        Selection, // every layer of the hexes the edited map's selection holds
        Layer,     // one layer, every hex
        All,       // every cell of every hex both maps have
    };
    // The other map's cells where they differ, as one undo step of the edited
    // map named "Take 12 hexes from north-v2.amp"; the name, or an empty text
    // when nothing differed there.
    QString takeTheirs(Scope scope, int layer = 0, HexCell hex = {});

    // A cell of the edited map whose byte changed.
    struct CellChange {
        Difference cell;
        std::uint8_t before = 0;
        std::uint8_t after = 0;
        bool wasDifferent = false;
        bool isDifferent = false;
    };

signals:
    // Everything was compared again: a map was replaced, or read again.
    void compared();
    // Cells of the edited map changed (an edit or its undo); what the comparison
    // counts has followed them.
    void cellsChanged(const std::vector<MapComparison::CellChange>& changes);

private:
    void compareAll();
    void follow(int layer, const QRect& cells);
    std::size_t editedIndex(int layer, int column, int row) const;
    std::size_t otherIndex(int layer, int column, int row) const;
    bool differsAt(int layer, int column, int row) const {
        return mine_[editedIndex(layer, column, row)] != theirs_[otherIndex(layer, column, row)];
    }
    bool inCommon(int column, int row) const {
        return column >= 0 && row >= 0 && column < commonColumns_ && row < commonRows_;
    }
    void countHex(std::size_t hex, int change);

    MapDocument& edited_;
    const MapDocument& other_;
    // Both maps as complete files, as last compared: the edited one follows each
    // edit, so the byte a cell had before its change is known.
    std::vector<std::uint8_t> mine_;
    std::vector<std::uint8_t> theirs_;
    int editedColumns_ = 0;
    int editedRows_ = 0;
    int otherRows_ = 0;
    int commonColumns_ = 0;
    int commonRows_ = 0;
    std::array<int, amp::LayerCount> layerCounts_{};
    std::vector<std::uint8_t> hexLayers_; // per common hex (column * commonRows + row): layers differing
    std::size_t cellCount_ = 0;
    int hexCount_ = 0;
};
