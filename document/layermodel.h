// SPDX-License-Identifier: MIT
// The cell texts of one layer of the map document. Storage is compact: a cell
// holding a canonical text "0".."255" is kept as that byte and one bit that says
// so; only a text typed in another form ("abc", "300", "007", "-1") keeps its own
// string in a side table, and a cell that is neither is empty. Every text reads
// back exactly as it was put in. Edits from a view go to the edit handler (the
// document, which makes an undo step of them); the document alone writes cells.
#pragma once

#include "mapimage.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

class LayerModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit LayerModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The grid's own terms: cells by [column][row].
    int columns() const { return columns_; }
    int rows() const { return rows_; }
    QString cellText(int column, int row) const;

    // A cell's stored form, for undo steps that keep old and new cells compactly:
    // its kind, its byte (canonical cells) and its text (typed cells). Slots run
    // in the file's order, column * rows + row.
    enum class Kind : std::uint8_t { Canonical, Empty, Typed };
    struct Stored {
        Kind kind = Kind::Empty;
        std::uint8_t byte = 0;
        QString typed;
        friend bool operator==(const Stored&, const Stored&) = default;
    };
    std::size_t cellCount() const { return cells_; }
    // The cells that hold a typed text, by slot.
    std::vector<std::pair<std::size_t, QString>> typedCells() const { return {typed_.begin(), typed_.end()}; }
    std::size_t slotOf(int column, int row) const { return slot(column, row); }
    Kind kindAt(std::size_t slot) const;
    std::uint8_t byteAt(std::size_t slot) const { return byte(slot); }
    QString typedAt(std::size_t slot) const;
    // How a text is stored: canonical with its byte, empty, or typed.
    static Stored storedFormOf(const QString& text);
    // The cell's whole-number value (0 for a text that is not a number) and the
    // byte a write stores for it. A cell outside the grid reads as empty.
    std::int32_t cellValue(int column, int row) const;
    // cellValue of rows firstRow, firstRow + 1, ... of `column`, into `out`.
    void columnValues(int column, int firstRow, std::span<std::int32_t> out) const;
    // How many cells hold each value, as cellValue reads them: counts[v] for v
    // below counts.size() - 1, the last slot for every other value.
    void countValues(std::span<int> counts) const;
    std::uint8_t cellByte(int column, int row) const;

    // Shapes the grid to the map and fills it with layer `layer` of its records;
    // hexes without a record are empty. Given an owner of the map's bytes, the
    // layer reads its cells from those bytes until one of them changes, and only
    // then takes a copy of its own: reading a map copies no layer. For a layer of
    // its own (a picture drawn without a document); a layer of a document takes
    // its cells from the document alone, and this leaves it as it is.
    void loadLayer(const amp::MapView& map, int layer, std::shared_ptr<const void> owner = {});
    void loadLayer(const amp::MapImage& map, int layer) { loadLayer(amp::viewOf(map), layer); }

    // Puts this layer's bytes into a complete map file of `columns` x `rows` hexes:
    // byte `layer` of every record, by the cell rule. Cells outside the grid are 0.
    void exportLayer(std::span<std::uint8_t> file, int layer, int columns, int rows) const;

    // What painting needs of a cell, without making a string: the canonical byte,
    // or the typed text.
    struct Cell {
        std::uint16_t code;   // 0..255: the canonical text of that byte
        const QString* typed; // set when code is TypedCode

        // The whole-number value of the text; 0 for one that is not a number.
        std::int32_t value() const { return code < 256 ? code : typed ? textValue(*typed) : 0; }
    };
    static constexpr std::uint16_t EmptyCode = 256;
    static constexpr std::uint16_t TypedCode = 257;
    Cell cell(int column, int row) const;

    // The shared text of a byte; no allocation.
    static const QString& canonicalText(std::uint8_t value);
    static std::int32_t textValue(const QString& text);

private:
    // The writers: the document and its commands alone reach them, so a view, the
    // picture or a dock changes a cell only through the document (setData goes to
    // its edit handler, which makes an undo step of the edit). A layer outside any
    // document (no edit handler) stores what setData gives it.
    friend class MapDocument;
    friend class SetCellsCommand;
    friend class StrokeCommand;

    // Gives the grid a new shape; a changed shape starts from empty cells.
    void setDimensions(int columns, int rows);
    // Stores a text and tells the views; no undo step.
    void setCellText(int column, int row, const QString& text);
    // Where an edit typed into a view goes instead of setCellText: the handler
    // gets the cell and the text and says whether it took them.
    using EditHandler = std::function<bool(int column, int row, const QString& text)>;
    void setEditHandler(EditHandler handler) { editHandler_ = std::move(handler); }
    // Puts a cell back in a stored form without telling the views; the caller
    // reports the changed slots with cellsChanged once.
    void restore(std::size_t slot, Kind kind, std::uint8_t byte, const QString& typed);
    // restore() of a run of cells from `first` that all become canonical, with
    // the given bytes (cut at the end of the grid).
    void restoreCanonical(std::size_t first, std::span<const std::uint8_t> bytes);
    // Tells the views that the slots from `first` to `last` changed: the smallest
    // rectangle of cells that holds them.
    void cellsChanged(std::size_t first, std::size_t last);
    // Trades every cell and the shape with another layer (a step that replaces
    // the whole map); both tell their views.
    void swapCells(LayerModel& other);
    void readLayer(const amp::MapView& map, int layer, std::shared_ptr<const void> owner);

    bool contains(int column, int row) const {
        return column >= 0 && row >= 0 && column < columns_ && row < rows_;
    }
    std::size_t slot(int column, int row) const {
        return static_cast<std::size_t>(column) * static_cast<std::size_t>(rows_) +
               static_cast<std::size_t>(row);
    }
    void store(std::size_t slot, const QString& text);

    int columns_ = 0;
    int rows_ = 0;
    bool isCanonical(std::size_t slot) const { return (canonical_[slot / 64] >> (slot % 64)) & 1u; }
    void setCanonical(std::size_t slot, bool canonical);

    // One byte and one bit per cell in the cell rule's order (column * rows + row),
    // the order of the records in the file. The bytes are this layer's own, or
    // while nothing has changed since a read, every 13th of the file's.
    std::uint8_t byte(std::size_t slot) const {
        if (!shared_) {
            return bytes_[slot];
        }
        return slot < sharedCount_ ? shared_[slot * amp::RecordSize] : std::uint8_t{0};
    }
    void ownBytes();
    std::size_t cells_ = 0;
    std::vector<std::uint8_t> bytes_;
    const std::uint8_t* shared_ = nullptr; // this layer's byte of the first record
    std::size_t sharedCount_ = 0;          // records there
    std::shared_ptr<const void> sharedOwner_;
    std::vector<std::uint64_t> canonical_;
    std::unordered_map<std::size_t, QString> typed_;
    EditHandler editHandler_;
};
