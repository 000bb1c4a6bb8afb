// SPDX-License-Identifier: MIT
#include "layermodel.h"
#include "celltext.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string_view>

namespace {

// A byte's canonical text has at most three digits ("255").
constexpr qsizetype LongestCanonicalText = 3;
constexpr int ByteValues = 256; // 0..255
constexpr int LargestByte = ByteValues - 1;
// The canonical flags: one bit a cell, 64 cells to a word.
constexpr std::size_t FlagBits = 64;

// Every 13th byte from `source` (a layer's byte of the first record) into `count`
// bytes at `target`.
void gather(const std::uint8_t* source, std::size_t count, std::uint8_t* target) {
    std::size_t k = 0;
    // Four cells per round: the loads are strided, so the stores are what can be saved.
    for (; std::endian::native == std::endian::little && k + 4 <= count; k += 4) {
        const std::uint32_t four = std::uint32_t{source[k * amp::RecordSize]} |
                                   std::uint32_t{source[(k + 1) * amp::RecordSize]} << 8 |
                                   std::uint32_t{source[(k + 2) * amp::RecordSize]} << 16 |
                                   std::uint32_t{source[(k + 3) * amp::RecordSize]} << 24;
        std::memcpy(target + k, &four, sizeof four);
    }
    for (; k < count; ++k) {
        target[k] = source[k * amp::RecordSize];
    }
}

} // namespace

LayerModel::LayerModel(QObject* parent) : QAbstractTableModel(parent) {}

int LayerModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int LayerModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant LayerModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return cellText(index.column(), index.row());
}

bool LayerModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !contains(index.column(), index.row())) {
        return false;
    }
    if (editHandler_) {
        return editHandler_(index.column(), index.row(), value.toString());
    }
    setCellText(index.column(), index.row(), value.toString());
    return true;
}

Qt::ItemFlags LayerModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

void LayerModel::setDimensions(int columns, int rows) {
    columns = std::max(columns, 0);
    rows = std::max(rows, 0);
    if (columns == columns_ && rows == rows_) {
        return;
    }
    beginResetModel();
    columns_ = columns;
    rows_ = rows;
    const std::size_t cells = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    cells_ = cells;
    shared_ = nullptr;
    sharedCount_ = 0;
    sharedOwner_.reset();
    bytes_.assign(cells, 0);
    canonical_.assign((cells + FlagBits - 1) / FlagBits, 0);
    typed_.clear();
    endResetModel();
}

QString LayerModel::cellText(int column, int row) const {
    const Cell c = cell(column, row);
    if (c.code < ByteValues) {
        return canonicalText(static_cast<std::uint8_t>(c.code));
    }
    return c.typed ? *c.typed : QString();
}

void LayerModel::setCellText(int column, int row, const QString& text) {
    if (!contains(column, row)) {
        return;
    }
    store(slot(column, row), text);
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
}

std::int32_t LayerModel::cellValue(int column, int row) const {
    return cell(column, row).value();
}

void LayerModel::columnValues(int column, int firstRow, std::span<std::int32_t> out) const {
    // Rows and columns outside the grid read as empty, 0; the rows inside it are
    // read straight from the bytes, then the cells whose text is not a byte's own.
    std::fill(out.begin(), out.end(), 0);
    const int first = std::clamp(firstRow, 0, rows_);
    const int end = std::clamp(firstRow + static_cast<int>(out.size()), first, rows_);
    if (column < 0 || column >= columns_ || first >= end) {
        return;
    }
    const std::size_t start = slot(column, first);
    const auto count = static_cast<std::size_t>(end - first);
    std::int32_t* to = out.data() + (first - firstRow);
    if (shared_) {
        const std::size_t held = start < sharedCount_ ? std::min(count, sharedCount_ - start) : 0;
        const std::uint8_t* from = shared_ + start * amp::RecordSize;
        for (std::size_t at = 0; at < held; ++at) {
            to[at] = from[at * amp::RecordSize];
        }
    } else {
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(start), count, to);
    }
    for (std::size_t word = start / 64; word * 64 < start + count; ++word) {
        std::uint64_t others = ~canonical_[word];
        while (others != 0) {
            const std::size_t at = word * 64 + static_cast<std::size_t>(std::countr_zero(others));
            others &= others - 1;
            if (at >= start && at < start + count) {
                to[at - start] = cell(column, first + static_cast<int>(at - start)).value();
            }
        }
    }
}

std::uint8_t LayerModel::cellByte(int column, int row) const {
    return amp::lowByte(cellValue(column, row));
}

void LayerModel::countValues(std::span<int> counts) const {
    std::fill(counts.begin(), counts.end(), 0);
    if (counts.empty()) {
        return;
    }
    const auto add = [&counts](std::int32_t value, int times) {
        const bool counted = value >= 0 && static_cast<std::size_t>(value) < counts.size() - 1;
        counts[counted ? static_cast<std::size_t>(value) : counts.size() - 1] += times;
    };
    // The canonical cells by their bytes, a word at a time where all of them are.
    std::array<int, ByteValues> bytes{};
    std::size_t canonical = 0;
    for (std::size_t word = 0; word < canonical_.size(); ++word) {
        const std::uint64_t bits = canonical_[word];
        const std::size_t first = word * FlagBits;
        const std::size_t end = std::min(first + FlagBits, cells_);
        if (bits == ~std::uint64_t{0} && end == first + FlagBits) {
            for (std::size_t at = first; at < end; ++at) {
                ++bytes[byte(at)];
            }
            canonical += FlagBits;
            continue;
        }
        for (std::size_t at = first; at < end; ++at) {
            if ((bits >> (at - first)) & 1u) {
                ++bytes[byte(at)];
                ++canonical;
            }
        }
    }
    for (int value = 0; value < ByteValues; ++value) {
        add(value, bytes[static_cast<std::size_t>(value)]);
    }
    for (const auto& [at, text] : typed_) {
        add(textValue(text), 1);
    }
    add(0, static_cast<int>(cells_ - canonical - typed_.size())); // the empty cells
}

void LayerModel::loadLayer(const amp::MapView& map, int layer, std::shared_ptr<const void> owner) {
    if (!editHandler_) {
        readLayer(map, layer, std::move(owner));
    }
}

void LayerModel::readLayer(const amp::MapView& map, int layer, std::shared_ptr<const void> owner) {
    beginResetModel();
    columns_ = map.header.columns();
    rows_ = map.header.rows();
    cells_ = static_cast<std::size_t>(map.header.hexCount());
    typed_.clear();
    const std::size_t placed = std::min(map.recordCount(), cells_);
    const std::uint8_t* source = map.records.empty() ? nullptr : map.records.data() + layer;
    if (owner && source) {
        // Read in place until a cell changes.
        bytes_ = {};
        shared_ = source;
        sharedCount_ = placed;
        sharedOwner_ = std::move(owner);
    } else {
        shared_ = nullptr;
        sharedCount_ = 0;
        sharedOwner_.reset();
        bytes_.resize(cells_);
        gather(source, placed, bytes_.data());
        std::fill(bytes_.begin() + static_cast<std::ptrdiff_t>(placed), bytes_.end(), std::uint8_t{0});
    }
    // The placed cells are canonical, the rest empty.
    canonical_.assign((cells_ + FlagBits - 1) / FlagBits, 0);
    std::fill(canonical_.begin(), canonical_.begin() + static_cast<std::ptrdiff_t>(placed / FlagBits),
              ~std::uint64_t{0});
    if (placed % FlagBits != 0) {
        canonical_[placed / FlagBits] = (std::uint64_t{1} << (placed % FlagBits)) - 1;
    }
    endResetModel();
}

void LayerModel::swapCells(LayerModel& other) {
    beginResetModel();
    other.beginResetModel();
    std::swap(columns_, other.columns_);
    std::swap(rows_, other.rows_);
    std::swap(cells_, other.cells_);
    std::swap(bytes_, other.bytes_);
    std::swap(shared_, other.shared_);
    std::swap(sharedCount_, other.sharedCount_);
    std::swap(sharedOwner_, other.sharedOwner_);
    std::swap(canonical_, other.canonical_);
    std::swap(typed_, other.typed_);
    other.endResetModel();
    endResetModel();
}

void LayerModel::ownBytes() {
    if (!shared_) {
        return;
    }
    bytes_.assign(cells_, 0);
    gather(shared_, sharedCount_, bytes_.data());
    shared_ = nullptr;
    sharedCount_ = 0;
    sharedOwner_.reset();
}

void LayerModel::exportLayer(std::span<std::uint8_t> file, int layer, int columns, int rows) const {
    const std::size_t hexes = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    if (file.size() < amp::recordOffset(static_cast<int>(hexes))) {
        return;
    }
    std::uint8_t* target = file.data() + amp::HeaderSize + layer;
    if (columns == columns_ && rows == rows_) {
        // The grid has the map's shape: its cells run in the file's order.
        for (std::size_t k = 0; k < hexes; ++k) {
            target[k * amp::RecordSize] =
                isCanonical(k) ? byte(k) : cellByte(static_cast<int>(k) / rows, static_cast<int>(k) % rows);
        }
        return;
    }
    for (int column = 0; column < columns; ++column) {
        for (int row = 0; row < rows; ++row) {
            *target = cellByte(column, row);
            target += amp::RecordSize;
        }
    }
}

LayerModel::Cell LayerModel::cell(int column, int row) const {
    if (!contains(column, row)) {
        return {EmptyCode, nullptr};
    }
    const std::size_t at = slot(column, row);
    if (isCanonical(at)) {
        return {byte(at), nullptr};
    }
    const auto typed = typed_.find(at);
    if (typed == typed_.end()) {
        return {EmptyCode, nullptr};
    }
    return {TypedCode, &typed->second};
}

void LayerModel::setCanonical(std::size_t at, bool canonical) {
    const std::uint64_t bit = std::uint64_t{1} << (at % FlagBits);
    canonical_[at / FlagBits] =
        canonical ? canonical_[at / FlagBits] | bit : canonical_[at / FlagBits] & ~bit;
}

const QString& LayerModel::canonicalText(std::uint8_t value) {
    static const std::array<QString, ByteValues> texts = [] {
        std::array<QString, ByteValues> all;
        for (int i = 0; i < ByteValues; ++i) {
            const std::string_view text = amp::byteText(static_cast<std::uint8_t>(i));
            all[static_cast<std::size_t>(i)] =
                QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
        }
        return all;
    }();
    return texts[value];
}

std::int32_t LayerModel::textValue(const QString& text) {
    return amp::textValue(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                              static_cast<std::size_t>(text.size())));
}

LayerModel::Kind LayerModel::kindAt(std::size_t at) const {
    if (isCanonical(at)) {
        return Kind::Canonical;
    }
    return typed_.count(at) != 0 ? Kind::Typed : Kind::Empty;
}

QString LayerModel::typedAt(std::size_t at) const {
    const auto typed = typed_.find(at);
    return typed == typed_.end() ? QString() : typed->second;
}

LayerModel::Stored LayerModel::storedFormOf(const QString& text) {
    if (text.isEmpty()) {
        return {};
    }
    if (text.size() <= LongestCanonicalText) {
        const std::int32_t value = textValue(text);
        if (value >= 0 && value <= LargestByte && text == canonicalText(static_cast<std::uint8_t>(value))) {
            return {Kind::Canonical, static_cast<std::uint8_t>(value), {}};
        }
    }
    return {Kind::Typed, 0, text};
}

void LayerModel::restoreCanonical(std::size_t first, std::span<const std::uint8_t> bytes) {
    if (first >= cells_) {
        return;
    }
    const std::size_t count = std::min(bytes.size(), cells_ - first);
    ownBytes();
    std::copy_n(bytes.begin(), count, bytes_.begin() + static_cast<std::ptrdiff_t>(first));
    for (std::size_t at = first; at < first + count; ++at) {
        canonical_[at / FlagBits] |= std::uint64_t{1} << (at % FlagBits);
    }
    if (!typed_.empty()) {
        for (std::size_t at = first; at < first + count; ++at) {
            typed_.erase(at);
        }
    }
}

void LayerModel::restore(std::size_t at, Kind kind, std::uint8_t byte, const QString& typed) {
    if (at >= cells_) {
        return;
    }
    ownBytes();
    setCanonical(at, kind == Kind::Canonical);
    bytes_[at] = kind == Kind::Canonical ? byte : 0;
    if (kind == Kind::Typed) {
        typed_.insert_or_assign(at, typed);
    } else if (!typed_.empty()) {
        typed_.erase(at);
    }
}

void LayerModel::cellsChanged(std::size_t first, std::size_t last) {
    if (rows_ == 0 || first > last || last >= cells_) {
        return;
    }
    const int firstColumn = static_cast<int>(first / static_cast<std::size_t>(rows_));
    const int lastColumn = static_cast<int>(last / static_cast<std::size_t>(rows_));
    const int firstRow =
        firstColumn == lastColumn ? static_cast<int>(first % static_cast<std::size_t>(rows_)) : 0;
    const int lastRow =
        firstColumn == lastColumn ? static_cast<int>(last % static_cast<std::size_t>(rows_)) : rows_ - 1;
    emit dataChanged(index(firstRow, firstColumn), index(lastRow, lastColumn),
                     {Qt::DisplayRole, Qt::EditRole});
}

void LayerModel::store(std::size_t at, const QString& text) {
    // A canonical text is fully described by its byte; anything else but the empty
    // text is kept as typed.
    const Stored stored = storedFormOf(text);
    restore(at, stored.kind, stored.byte, stored.typed);
}
