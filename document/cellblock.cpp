// SPDX-License-Identifier: MIT
#include "cellblock.h"
#include "celltext.h"
#include "mapformat.h"

QString CellBlock::toText(int layer) const {
    QString text;
    text.reserve(columns * rows * 4);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (column > 0) {
                text += '\t';
            }
            const std::string_view value = amp::byteText(at(layer, column, row));
            text += QLatin1String(value.data(), static_cast<qsizetype>(value.size()));
        }
        text += '\n';
    }
    return text;
}

QByteArray CellBlock::toMime() const {
    QByteArray data;
    data.reserve(static_cast<qsizetype>(3 + bytes.size()));
    data.append(static_cast<char>(columns)).append(static_cast<char>(rows)).append(static_cast<char>(layers));
    data.append(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    return data;
}

std::optional<CellBlock> CellBlock::fromMime(const QByteArray& data) {
    if (data.size() < 3) {
        return std::nullopt;
    }
    CellBlock block;
    block.columns = static_cast<std::uint8_t>(data[0]);
    block.rows = static_cast<std::uint8_t>(data[1]);
    block.layers = static_cast<std::uint8_t>(data[2]);
    const auto size = static_cast<qsizetype>(block.columns) * block.rows * block.layers;
    if ((block.layers != 1 && block.layers != amp::LayerCount) || data.size() != 3 + size) {
        return std::nullopt;
    }
    block.bytes.assign(data.begin() + 3, data.end());
    return block;
}

std::variant<CellBlock, amp::GridError> CellBlock::fromText(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    const std::string_view all(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    // The shape is the text's own: its lines, and the values on its first line.
    std::string_view body = all;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) {
        body.remove_suffix(1);
    }
    CellBlock block;
    if (body.empty()) {
        return amp::GridError{1, 1, "the clipboard holds no numbers"};
    }
    block.rows = 1 + static_cast<int>(std::count(body.begin(), body.end(), '\n'));
    const std::string_view first = body.substr(0, body.find('\n'));
    const char separator =
        all.find('\t') != std::string_view::npos && all.find(',') == std::string_view::npos ? '\t' : ',';
    block.columns = 1 + static_cast<int>(std::count(first.begin(), first.end(), separator));
    if (block.columns > amp::MaxDimension || block.rows > amp::MaxDimension) {
        return amp::GridError{1, 0, "more than 255 rows or columns"};
    }
    auto parsed = amp::parseGrid(all, block.columns, block.rows, true);
    if (auto* error = std::get_if<amp::GridError>(&parsed)) {
        return *error;
    }
    block.bytes = std::move(std::get<std::vector<std::uint8_t>>(parsed));
    return block;
}
