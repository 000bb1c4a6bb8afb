// The map being edited: the header of the map read, its 13 layers of cell texts,
// the undo stack and the file name. Every change of a cell is an undo step on the
// stack; views and the window only observe the layers. The map counts as modified
// while the stack is away from the state last read or written.
#pragma once

#include "layermodel.h"
#include "mapformat.h"
#include "mapimage.h"
#include "setcellscommand.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <array>
#include <memory>
#include <cstdint>
#include <vector>

class MapDocument : public QObject {
    Q_OBJECT

public:
    explicit MapDocument(QObject* parent = nullptr);

    const amp::MapHeader& header() const { return header_; }
    int columns() const { return header_.columns(); }
    int rows() const { return header_.rows(); }
    LayerModel* layer(int layer) const { return layers_[static_cast<std::size_t>(layer)]; }
    QUndoStack* undoStack() { return &undoStack_; }
    // The file last read or written; empty before either.
    const QString& fileName() const { return fileName_; }
    bool isModified() const { return !undoStack_.isClean(); }

    // Takes a whole map and gives it a fresh undo stack. Given the owner of the
    // map's bytes, the layers read them in place until they change.
    void load(const amp::MapView& map, const QString& fileName, const std::shared_ptr<const void>& owner = {});
    void load(const amp::MapImage& map, const QString& fileName) { load(amp::viewOf(map), fileName); }
    // The complete file the layers make: the header as read, then columns x rows
    // records, each cell converted by the text rule.
    std::vector<std::uint8_t> encode() const;
    // After a successful write: the written state is the clean one.
    void markWritten(const QString& fileName);

    // One undo step named `text` that sets the cells; nothing is pushed, and false
    // comes back, when no cell would change.
    bool editCells(const QString& text, const std::vector<CellEdit>& edits);
    // One undo step that places a block of cells (see SetCellsCommand); false when
    // no cell would change.
    bool placeBlock(const QString& text, const CellBlock& block, int left, int top, int layer);
    // A text typed into one cell: the step "Typing in hex COLUMN,ROW".
    bool typeIntoCell(int layer, int column, int row, const QString& text);

signals:
    void modifiedChanged(bool modified);
    void fileNameChanged(const QString& fileName);

private:
    void setFileName(const QString& fileName);

    amp::MapHeader header_{};
    std::array<LayerModel*, amp::LayerCount> layers_{};
    QUndoStack undoStack_;
    QString fileName_;
};
