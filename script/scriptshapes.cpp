// SPDX-License-Identifier: MIT
#include "scriptshapes.h"

#include <cstdint>
#include <cstring>

QByteArray ScriptShapes::brush(int column, int row, int radius) const {
    if (!map_.contains({column, row})) {
        return {};
    }
    return slotsOf(hexsymmetry::brush(map_, {column, row}, radius));
}

QByteArray ScriptShapes::line(int column1, int row1, int column2, int row2, int radius) const {
    if (!map_.contains({column1, row1}) || !map_.contains({column2, row2})) {
        return {};
    }
    return slotsOf(hexsymmetry::line(map_, {column1, row1}, {column2, row2}, radius));
}

QByteArray ScriptShapes::slotsOf(const std::vector<hexsymmetry::Offset>& hexes) const {
    std::vector<std::int32_t> numbers;
    numbers.reserve(hexes.size());
    for (const hexsymmetry::Offset& hex : hexes) {
        numbers.push_back(hex.column * map_.rows + hex.row);
    }
    QByteArray bytes(qsizetype(numbers.size() * sizeof(std::int32_t)), Qt::Uninitialized);
    if (!numbers.empty()) {
        std::memcpy(bytes.data(), numbers.data(), numbers.size() * sizeof(std::int32_t));
    }
    return bytes;
}
