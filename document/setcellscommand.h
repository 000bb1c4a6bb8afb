// SPDX-License-Identifier: MIT
// The one undo step for every change of cell texts: typing, deleting, and later
// filling, pasting, painting and reloading. It keeps the changed cells only, in
// their compact stored form: per cell the old and the new byte and half a byte
// of kinds (2.5 bytes a cell), the cells themselves as runs of slots, and the
// few typed texts beside them.
#pragma once

#include "cellblock.h"
#include "celledit.h"
#include "layermodel.h"

#include <QString>
#include <QUndoCommand>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

class MapDocument;

// Edits that give every cell of all 13 layers the text of the map's byte; hexes
// the map has no record for become empty.
std::vector<CellEdit> cellEditsOf(const amp::MapImage& map);

class SetCellsCommand : public QUndoCommand {
public:
    // Takes the edits that change a cell; edits that leave a text as it is, or
    // name a cell outside the map, are dropped. isEmpty() says when none is left.
    SetCellsCommand(MapDocument& document, const QString& text, const std::vector<CellEdit>& edits);
    // The block's cells placed with its top-left at [left][top], clipped at the
    // map's edges: all 13 layers, or the one layer `layer` for a block of one.
    SetCellsCommand(MapDocument& document, const QString& text, const CellBlock& block, int left, int top,
                    int layer);

    bool isEmpty() const { return cellCount_ == 0; }
    std::size_t cellCount() const { return cellCount_; }

    void undo() override;
    void redo() override;

private:
    struct Run {
        std::uint32_t first; // slot
        std::uint32_t count;
    };
    // The changed cells of one layer, in slot order.
    struct LayerPart {
        int layer = 0;
        std::vector<Run> runs;
        std::vector<std::uint8_t> oldBytes;
        std::vector<std::uint8_t> newBytes;
        std::vector<std::uint8_t> kinds; // a nibble a cell: old kind in bits 0-1, new in bits 2-3
        std::vector<std::pair<std::uint32_t, QString>> oldTyped; // by position in the part
        std::vector<std::pair<std::uint32_t, QString>> newTyped;
        bool oldAllCanonical = true; // every cell was canonical before the step
        bool newAllCanonical = true; // and is after it
    };
    void append(int layer, std::size_t slot, const LayerModel::Stored& next);
    void finish();
    void apply(bool forward);

    MapDocument& document_;
    std::vector<LayerPart> parts_;
    std::size_t cellCount_ = 0;
};
