// SPDX-License-Identifier: MIT
// Map files for the document's tests: written into a test's temporary folder
// through the safe writer, and read back as bytes.
#pragma once

#include "mapfileio.h"

#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdint>
#include <vector>

inline QString written(const QTemporaryDir& dir, const QString& name,
                       const std::vector<std::uint8_t>& bytes) {
    const QString path = dir.filePath(name);
    if (!amp::writeFileSafely(path, bytes)) {
        qFatal("cannot write %s", qPrintable(path));
    }
    return path;
}

// The bytes of a map file; none when it cannot be read.
inline std::vector<std::uint8_t> contentOf(const QString& path) {
    auto bytes = amp::readMapFile(path);
    return bytes ? bytes.value() : std::vector<std::uint8_t>{};
}
