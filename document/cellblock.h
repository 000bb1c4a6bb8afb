// SPDX-License-Identifier: MIT
// A rectangle of cells taken from the map, for the clipboard: one layer or all
// 13, as bytes. It travels as tab-separated text (one line per row, what a
// spreadsheet takes and gives back) and, for all layers, as a MIME type of our own.
#pragma once

#include "mapgrid.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <variant>
#include <vector>

struct CellBlock {
    int columns = 0;
    int rows = 0;
    int layers = 1; // 1, or LayerCount
    // Layer after layer, each in the cell rule's order (column * rows + row).
    std::vector<std::uint8_t> bytes;

    std::uint8_t at(int layer, int column, int row) const {
        return bytes[static_cast<std::size_t>(layer) * static_cast<std::size_t>(columns * rows) +
                     static_cast<std::size_t>(column * rows + row)];
    }

    // One line per row, the row's values column by column, separated by tabs.
    QString toText(int layer = 0) const;
    // The MIME type's form: columns, rows, layers as three bytes, then the bytes.
    QByteArray toMime() const;
    static std::optional<CellBlock> fromMime(const QByteArray& data);
    // A grid of whole numbers 0-255 as text (tabs or commas, what a spreadsheet
    // gives): one layer, as wide as its first line and as tall as its lines, or
    // the first thing wrong with it.
    static std::variant<CellBlock, amp::GridError> fromText(const QString& text);
};

inline constexpr char CellBlockMimeType[] = "application/x-ampedit-cells";
