// The cell texts of one layer view: the document itself. Storage is compact: a
// cell holding a canonical text "0".."255" is kept as that byte and one bit that
// says so; only a text typed in another form ("abc", "300", "007", "-1") keeps
// its own string in a side table, and a cell that is neither is empty. Every text
// reads back exactly as it was put in.
#pragma once

#include "mapimage.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
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
    // Gives the grid a new shape; a changed shape starts from empty cells.
    void setDimensions(int columns, int rows);

    QString cellText(int column, int row) const;
    void setCellText(int column, int row, const QString& text);
    // The cell's whole-number value (0 for a text that is not a number) and the
    // byte a write stores for it. A cell outside the grid reads as empty.
    std::int32_t cellValue(int column, int row) const;
    std::uint8_t cellByte(int column, int row) const;

    // Shapes the grid to the map and fills it with layer `layer` of its records;
    // hexes without a record are empty.
    void loadLayer(const amp::MapImage& map, int layer);

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
    bool contains(int column, int row) const {
        return column >= 0 && row >= 0 && column < columns_ && row < rows_;
    }
    std::size_t slot(int column, int row) const {
        return static_cast<std::size_t>(column) * static_cast<std::size_t>(rows_) + static_cast<std::size_t>(row);
    }
    void store(std::size_t slot, const QString& text);

    int columns_ = 0;
    int rows_ = 0;
    bool isCanonical(std::size_t slot) const { return (canonical_[slot / 64] >> (slot % 64)) & 1u; }
    void setCanonical(std::size_t slot, bool canonical);

    // One byte and one bit per cell in the cell rule's order (column * rows + row),
    // the order of the records in the file.
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint64_t> canonical_;
    std::unordered_map<std::size_t, QString> typed_;
};
