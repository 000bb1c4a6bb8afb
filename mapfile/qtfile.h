// SPDX-License-Identifier: MIT
// The portable file seam on QtCore alone: what mapfileio.cpp calls (as the POSIX
// seam's platformfile.h, with QString names), and what its replace way and its
// journal share.
#pragma once

#include "maperror.h"
#include "mapfileio.h"
#include "platformfile.h"

#include <QFileDevice>
#include <QLockFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <span>

namespace amp::platform {

// As readRegularFile, writeFile and restoreInterruptedWrite in platformfile.h.
Result<std::vector<std::uint8_t>> readRegularFile(const QString& path, std::size_t limit);
Result<Written> writeFile(const QString& target, std::span<const std::uint8_t> bytes, NewFileMode mode);
Result<Restored> restoreInterruptedWrite(const QString& path);

// Puts `from` at the name `to` in one step (see diskio::replaceFile).
Status replaceFile(const QString& from, const QString& to);

// The failure with the path as the system writes it (backslashes on Windows).
MapError failure(MapErrorKind kind, const QString& path, const QString& reason);

// A write in place holds its file's lock in the journal folder throughout; a
// reader takes the same lock (waiting a bounded while) so that it never reads a
// mixture. False when another process has held it for too long; `lock` is left
// empty where there is nothing to lock.
bool lockForReading(const QString& path, std::unique_ptr<QLockFile>& lock);

// Every byte at the device's position, retried on a short write.
bool writeWhole(QFileDevice& file, const char* data, qint64 size);

// The journaled in-place way: the old bytes go to a journal in the user's data
// folder, the new ones over the file, then the journal goes. `why` says why the
// file is not replaced. Holds the file's lock in the journal folder throughout.
Status writeInPlaceJournaled(const QString& target, std::span<const std::uint8_t> bytes, const QString& why);

} // namespace amp::platform
