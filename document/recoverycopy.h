// SPDX-License-Identifier: MIT
// What a recovery copy holds and its bytes: a magic line, the name of the map's
// file, when the copy was kept, the exact bytes Write Map would write, and the
// typed texts that are more than their bytes. Reading treats a copy as hostile
// input (anyone may have put a file in the folder, a crash may have cut it
// short): every count and index is checked against the map's header, and a copy
// that does not hold together is refused with the reason. QtCore only, so the
// fuzzer takes the reader alone.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

struct RecoveryCopy {
    QString path; // of the copy itself
    QString fileName;
    QDateTime saved;
    std::vector<std::uint8_t> bytes;
    struct Typed {
        int layer;
        std::uint32_t slot; // column * rows + row, as the map's records
        QString text;
    };
    std::vector<Typed> typed;
};

// No copy is larger: 13 layers of 255 x 255 typed texts of a few characters
// each fit many times over.
inline constexpr std::size_t LargestRecoveryCopy = 64 * 1024 * 1024;

QByteArray encodeRecoveryCopy(const RecoveryCopy& copy);
// The copy in `data`, or nothing and the reason in `why`.
std::optional<RecoveryCopy> decodeRecoveryCopy(std::span<const std::uint8_t> data, QString* why = nullptr);
