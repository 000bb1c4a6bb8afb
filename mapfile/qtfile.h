// SPDX-License-Identifier: MIT
// What the portable file seam's replace way and its journal share.
#pragma once

#include "maperror.h"

#include <QFileDevice>
#include <QString>

#include <cstdint>
#include <span>

namespace amp::platform {

MapError failure(MapErrorKind kind, const QString& path, const QString& reason);

// Every byte at the device's position, retried on a short write.
bool writeWhole(QFileDevice& file, const char* data, qint64 size);

// The journaled in-place way: the old bytes go to a journal in the user's data
// folder, the new ones over the file, then the journal goes. `why` says why the
// file is not replaced. Holds the file's lock in the journal folder throughout.
Status writeInPlaceJournaled(const QString& target, std::span<const std::uint8_t> bytes, const QString& why);

} // namespace amp::platform
