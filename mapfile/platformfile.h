// The seam between the file code and the operating system. Two builds of it
// exist: one on POSIX calls (non-blocking open, fstat, unbuffered writes, fsync,
// rename) and a portable one on QtCore alone; CMake picks one at compile time.
// The callers in mapfileio.cpp have already refused empty names and checked what
// stands at a write's target.
#pragma once

#include "maperror.h"

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace amp::platform {

// At most `limit` bytes from the start of a regular file; anything else (a
// folder, a pipe, a device) is refused as CannotOpen without waiting on it.
Result<std::vector<std::uint8_t>> readRegularFile(const QString& path, std::size_t limit);

// Writes a complete new file beside `target` and renames it over the target only
// when every byte has been written and synced. A replaced file keeps its
// permission bits; a new one gets the usual bits of a new file.
Status replaceFile(const QString& target, std::span<const std::uint8_t> bytes);

} // namespace amp::platform
