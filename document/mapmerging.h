// SPDX-License-Identifier: MIT
// A merge being settled: the three maps it was made from (base, ours, theirs),
// the conflicts the merge rule found (mapmerge.h), and which of them are left.
// The merged map is the edited document; the merge follows each of its edits.
//
// When a conflict counts as settled: a take (of ours, theirs or the base) chose
// a side there, or the cell no longer holds what the merge put there (ours),
// whatever changed it (typing, a fill, a script). So a conflict is left while
// its cell still holds ours and no take chose there. Both halves follow the
// undo stack: a take is one undo step with the cells it wrote and the choice
// itself, and undoing it (or the edit) makes the conflict left again.
// A conflict of a hex the merged map does not have (a resize removed it) holds
// no byte: only a take settles it, and the take writes nothing there.
#pragma once

#include "hexgeometry.h"
#include "mapcomparison.h"
#include "mapdocument.h"
#include "mapmerge.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class MapMerge : public QObject {
    Q_OBJECT

public:
    enum class Side { Ours, Theirs, Base };
    // What a take reaches (the scopes of a comparison's take): every conflict of
    // one hex or of the selected hexes (settled or not: the user points at them),
    // or the conflicts left on the layer on show or everywhere (the header's too).
    using Scope = MapComparison::Scope;

    // The three maps' files (for names and for a fresh look) and the merge the
    // edited document was loaded from.
    MapMerge(MapDocument& edited, std::vector<amp::MergeConflict> conflicts, const QStringList& fileNames,
             QObject* parent = nullptr);
    ~MapMerge() override;

    MapDocument& edited() const { return edited_; }
    // The base's, ours and theirs file names, in that order.
    const QStringList& fileNames() const { return fileNames_; }

    std::size_t conflictCount() const { return conflicts_.size(); }
    const amp::MergeConflict& conflict(std::size_t index) const { return conflicts_[index]; }
    std::size_t leftCount() const { return leftCount_; }
    bool isLeft(std::size_t index) const { return left_[index] != 0; }
    // Whether a take chose a side there (and is not undone).
    bool isTaken(std::size_t index) const { return taken_[index] != 0; }
    // What the edited map holds there now; NoByte for a hex it does not have.
    int currentByte(std::size_t index) const;
    // The conflict of a cell, if it has one.
    std::optional<std::size_t> indexOf(int layer, int column, int row) const;
    // Whether a conflict is left on the hex (any layer) or on one cell.
    bool hexLeft(int column, int row) const;
    bool cellLeft(int layer, int column, int row) const;
    // The next (step 1) or previous (-1) conflict left after `from` in the list's
    // order, wrapping; from none, the first (or last) left. None when none is left.
    std::optional<std::size_t> stepLeft(std::optional<std::size_t> from, int step) const;
    // "3 conflicts left", "1 conflict left", "All 12 conflicts settled".
    QString countText() const;
    static QString sideName(Side side);

    // The chosen side's bytes for the conflicts in the scope, as one undo step;
    // its name, or an empty text when no conflict is there.
    QString take(Side side, Scope scope, int layer, std::optional<HexCell> hex);
    // The conflicts in a scope (see Scope).
    std::vector<std::size_t> inScope(Scope scope, int layer, std::optional<HexCell> hex) const;
    // Marks conflicts as chosen as one undo step of the edited map's stack (a
    // script's takes, inside the script's own step).
    void pushTaken(const std::vector<std::size_t>& indices);

    // Flags a step of the stack changes (used by its undo command).
    void setTaken(const std::vector<std::size_t>& indices, const std::vector<std::uint8_t>& values);
    std::vector<std::uint8_t> takenOf(const std::vector<std::size_t>& indices) const;

signals:
    // Conflicts' cells or choices changed: what is left, and the counts, follow.
    void conflictsChanged();

private:
    void refresh(std::size_t index);
    void refreshAll();
    void follow(int layer, const QRect& cells);
    void followHeader();

    MapDocument& edited_;
    std::vector<amp::MergeConflict> conflicts_;
    QStringList fileNames_;
    int columns_ = 0; // the merged map's shape, which the cells index
    int rows_ = 0;
    std::vector<std::uint8_t> taken_;
    std::vector<std::uint8_t> left_;
    std::vector<std::int32_t> cellIndex_; // per cell of the merged map ((column * rows + row) * 13 + layer)
    std::vector<std::uint8_t> hexLeft_;   // per hex: conflicts left
    std::vector<std::size_t> headerIndices_;
    std::size_t leftCount_ = 0;
};
