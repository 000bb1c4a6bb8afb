// SPDX-License-Identifier: MIT
// One paint stroke of the picture as one undo step. The first dab of a stroke is
// pushed as a step of its own; every later dab is a small step that the undo
// stack merges into it (id() and mergeWith) while the stroke lasts, so the whole
// stroke undoes at once. All its cells take the one brush text, so a cell keeps
// only what it held before: its slot (in runs), its old byte and two bits of
// kind, and the rare typed text beside them.
#pragma once

#include "layermodel.h"

#include <QString>
#include <QUndoCommand>

#include <cstdint>
#include <utility>
#include <vector>

class MapDocument;

class StrokeCommand : public QUndoCommand {
public:
    // The dab: `cellSlots` of `layer` (any order, repeats allowed) take `brush`; cells
    // that hold it already are left out. `stroke` tells the strokes apart: only
    // dabs of the same stroke merge.
    StrokeCommand(MapDocument& document, int layer, std::vector<std::size_t> cellSlots, const QString& brush,
                  int stroke);

    bool isEmpty() const { return oldBytes_.empty(); }
    // Names the step after the symmetric brush that painted it too ("Paint 12
    // hexes, symmetric left–right").
    void setSymmetry(const QString& symmetry) {
        symmetry_ = symmetry;
        nameIt();
    }
    std::size_t cellCount() const { return oldBytes_.size(); }
    int stroke() const { return stroke_; }
    // The next undo puts the cells back and leaves the step obsolete, so that the
    // undo stack drops it: a cancelled stroke is no redo step.
    void cancel() { cancelled_ = true; }

    // Every stroke step has this id, so that the undo stack offers a dab to the
    // step below it.
    static constexpr int Id = 0x5354; // "ST"
    int id() const override { return Id; }
    bool mergeWith(const QUndoCommand* other) override;
    void undo() override;
    void redo() override;

private:
    // A slot of a layer fits 16 bits: a map has at most 255 x 255 hexes.
    struct Run {
        std::uint16_t first;
        std::uint16_t count;
    };
    struct Cell {
        std::uint32_t slot;
        std::uint8_t byte;
        LayerModel::Kind kind;
        QString typed;
    };
    std::vector<Cell> cells() const;
    void assign(const std::vector<Cell>& cells);
    void nameIt();

    MapDocument& document_;
    int layer_;
    int stroke_;
    LayerModel::Stored brush_;
    std::vector<Run> runs_;
    std::vector<std::uint8_t> oldBytes_;
    std::vector<std::uint8_t> oldKinds_;                      // two bits a cell, four cells to a byte
    std::vector<std::pair<std::uint32_t, QString>> oldTyped_; // by position, rising
    QString symmetry_;
    bool cancelled_ = false;
};
