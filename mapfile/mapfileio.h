// SPDX-License-Identifier: MIT
// Reading and writing files on disk with QString file names, for the document
// and the window: the calls of diskio.h (which says what each promises), with a
// name given as Qt gives it (QFile::encodeName makes the system's bytes of it).
#pragma once

#include "diskio.h"
#include "maperror.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace amp {

Result<std::vector<std::uint8_t>> readMapFile(const QString& path);
Result<ReadBytes> readFileAtMost(const QString& path, std::size_t limit);
Result<Written> writeFileSafely(const QString& path, std::span<const std::uint8_t> bytes,
                                NewFileMode mode = NewFileMode::Usual);
// Puts the file `from` at the name `to`, replacing what stands there (see
// diskio::replaceFile): the programs' one call for it, which works on Windows too.
Status replaceFile(const QString& from, const QString& to);
// The mode of a file made from `source` (see diskio::modeMadeFrom).
NewFileMode modeMadeFrom(const QString& source);
// The one notice of the process (see diskio::setRestoreNotice); a later call of
// either replaces it.
void setRestoreNotice(std::function<void(const QString& path, const JournalNotice& notice)> notice);

} // namespace amp
