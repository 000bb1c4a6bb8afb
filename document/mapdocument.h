// SPDX-License-Identifier: MIT
// The map being edited: the header of the map read, its 13 layers of cell texts,
// the undo stack, the selection and the file name, and every action on them as a
// call that returns a result: read, write, new map, reload from disk, recover
// from a copy, typing, filling, flood fill, paint strokes. Every change of a cell
// is an undo step on the stack; views, the picture and the window only observe.
// The map counts as modified while the stack is away from the state last read or
// written.
#pragma once

#include "hexgeometry.h"
#include "layermodel.h"
#include "mapformat.h"
#include "mapimage.h"
#include "mapresize.h"
#include "mapselection.h"
#include "setcellscommand.h"

#include <QObject>
#include <QRect>
#include <QString>
#include <QUndoStack>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A file's bytes, shared rather than copied: the largest map is 845,332 bytes.
using FileBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// What an action came to: done (or done with nothing to change), or why not,
// with the system's reason in `message`; `note` is a word for the user about a
// success.
struct DocumentResult {
    enum class Kind { Done, Unchanged, CannotOpen, CannotRead, NotAMap, CannotWrite, NoStroke, Failed };
    Kind kind = Kind::Done;
    QString message;
    QString note;

    bool ok() const { return kind == Kind::Done || kind == Kind::Unchanged; }
    explicit operator bool() const { return ok(); }
};

class MapDocument : public QObject {
    Q_OBJECT

public:
    explicit MapDocument(QObject* parent = nullptr);
    ~MapDocument() override;

    const amp::MapHeader& header() const { return header_; }
    int columns() const { return header_.columns(); }
    int rows() const { return header_.rows(); }
    // Whether a map was read or made: before that the layers hold only the empty
    // cells the views show, and no map of any hex.
    bool hasMap() const { return hasMap_; }
    LayerModel* layer(int layer) const { return layers_[static_cast<std::size_t>(layer)]; }
    QUndoStack* undoStack() { return &undoStack_; }
    MapSelection& selection() { return selection_; }
    const MapSelection& selection() const { return selection_; }
    // The file last read or written; empty before either.
    const QString& fileName() const { return fileName_; }
    bool isModified() const { return !undoStack_.isClean(); }

    // Reads a map file; only a map that can be shown replaces the document, and a
    // failure changes nothing.
    DocumentResult read(const QString& fileName);
    // Writes the complete file; on success the written state is the clean one.
    // Before any map is read the document has no hex, so the cells the views show
    // are not written, and what was typed stays unwritten.
    DocumentResult write(const QString& fileName);
    // A map of zero hexes of the given shape, the other header bytes kept. It is
    // unwritten (modified, at every step of its history) until a write.
    void newMap(int columns, int rows);
    // The empty grid the views show before any map is read or made (the form's
    // declared size): every layer takes the shape with empty cells. Not an undo
    // step: there is no map to edit yet, and once there is, this does nothing.
    void setBlankShape(int columns, int rows);
    // Map > Resize: the map takes the new size in one undo step, keeping the cells
    // (typed texts too) that still fit, by the rule amptool resize follows too
    // (mapresize.h: the anchor is the part that stays put).
    using Anchor = amp::ResizeAnchor;
    DocumentResult resize(int columns, int rows, Anchor anchor);
    // The file as it is on disk now replaces the cells in one undo step, whatever
    // its shape; that step is the written state.
    DocumentResult reloadFromDisk();
    // A recovery copy's map (and its typed texts, by layer and slot) as one undo
    // step above the file as it is on disk (or above empty cells when the file is
    // gone or has another shape), so the map opens as modified.
    struct TypedCell {
        int layer;
        std::uint32_t slot;
        QString text;
    };
    DocumentResult recover(const std::vector<std::uint8_t>& copy, const std::vector<TypedCell>& typed,
                           const QString& fileName);

    // Takes a whole map and gives it a fresh undo stack: the one way a map comes
    // in. Given the owner of the map's bytes, the layers read them in place until
    // they change.
    void load(const amp::MapView& map, const QString& fileName,
              const std::shared_ptr<const void>& owner = {});
    void load(const amp::MapImage& map, const QString& fileName) { load(amp::viewOf(map), fileName); }
    // The complete file the layers make: the header as read, then columns x rows
    // records, each cell converted by the text rule.
    std::vector<std::uint8_t> encode() const;
    // After a successful write: the written state is the clean one.
    void markWritten(const QString& fileName);

    // One undo step named `text` that sets the cells; nothing is pushed, and false
    // comes back, when no cell would change.
    bool editCells(const QString& text, const std::vector<CellEdit>& edits);
    // A script's run as one undo step named `text`: the cells and the header bytes
    // other than the shape's (columns and rows stay as they are). Nothing is
    // pushed, and false comes back, when neither would change.
    bool editMap(const QString& text, const std::vector<CellEdit>& edits, const amp::MapHeader& header);
    // One undo step that places a block of cells (see SetCellsCommand); false when
    // no cell would change.
    bool placeBlock(const QString& text, const CellBlock& block, int left, int top, int layer);
    // How step names count what they change: "1 hex", "1,234 hexes" (the hexes
    // of the layer a step edits; a step on all layers says so after the count).
    static QString hexesText(qsizetype count);
    // A text typed into one cell: the step "Typing in hex COLUMN,ROW".
    bool typeIntoCell(int layer, int column, int row, const QString& text);
    // Gives `text` to the hexes of the same text connected to [column][row]
    // through hex neighbours: the whole region, or only its part inside the
    // selection when more than one hex of this layer is selected. "Fill N cells".
    DocumentResult floodFill(int layer, int column, int row, bool evenColumnsLower, const QString& text);

    // A paint stroke: begun when the button goes down, a dab for each hex the
    // pointer crosses, ended when the button comes up. The first dab that changes
    // a cell pushes the step "Paint N hexes"; later dabs merge into it. Any other
    // change of the stack (an undo, typing, a reload, a read) ends the stroke
    // first, and a dab after that is refused (NoStroke) until the next begin.
    void beginStroke(int layer, const QString& text);
    DocumentResult paintDab(const std::vector<HexCell>& cells);
    void endStroke();
    // The drag was called off (Escape, the window losing the pointer): the cells
    // the stroke painted go back as they were, and its step leaves the stack
    // without becoming a redo step. Nothing happens when the step on top is not
    // this stroke's (another change came between).
    void cancelStroke();
    bool isStroking() const { return strokeOpen_; }

    // The symmetric brush: the images of a hex that every dab, fill and typed cell
    // also reaches, in the same step; no function when the brush is off. A
    // stroke's step carries `name` ("symmetric left–right").
    using BrushImages = std::function<std::vector<HexCell>(HexCell)>;
    void setBrushImages(BrushImages images, const QString& name = {}) {
        brushImages_ = std::move(images);
        brushName_ = name;
    }

signals:
    void modifiedChanged(bool modified);
    void fileNameChanged(const QString& fileName);
    // Cells of a layer changed: the rectangle of [column][row] cells that holds
    // them. Observers follow this and mapReset rather than the 13 layers.
    void cellsChanged(int layer, const QRect& cells);
    // The whole map was replaced (read, made, reloaded in another shape, or such
    // a step undone): header, shape and every cell.
    void mapReset();
    // Header bytes other than the shape changed (a script's step, done or undone).
    void headerChanged();
    // The file holds these bytes now: they were just read from it or written to it.
    void diskContentKnown(const QString& fileName, const FileBytes& bytes);
    // What a read of the file found worth telling (a record cut short), after
    // each read: empty when there is nothing.
    void noted(const QString& text);

private:
    friend class ReplaceMapCommand;
    friend class HeaderCommand;
    void setFileName(const QString& fileName);
    void swapMap(amp::MapHeader& header, std::array<std::unique_ptr<LayerModel>, amp::LayerCount>& layers);

    amp::MapHeader header_{};
    bool hasMap_ = false;
    std::array<LayerModel*, amp::LayerCount> layers_{};
    QUndoStack undoStack_;
    MapSelection selection_;
    QString fileName_;
    bool resetting_ = false; // the document itself resets its layers
    // The stroke in progress.
    bool strokeOpen_ = false;
    bool pushingDab_ = false;
    int strokeLayer_ = 0;
    int strokeNumber_ = 0;
    QString strokeText_;
    BrushImages brushImages_;
    QString brushName_;
    void addBrushImages(std::vector<CellEdit>& edits) const;
};
