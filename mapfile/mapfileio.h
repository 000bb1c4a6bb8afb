// Reading and writing map files on disk. Reading takes at most what the largest
// map needs and never blocks on a pipe or a device; writing replaces the target
// only once every byte is safely written.
#pragma once

#include "maperror.h"

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

namespace amp {

// The bytes of a map file, at most MaxFileSize of them: anything past the largest
// map is never part of one. A folder, a pipe, a device or a socket is refused as
// CannotOpen without being read.
Result<std::vector<std::uint8_t>> readMapFile(const QString& path);

// Writes the bytes to the path through a temporary file beside it that is renamed
// over the target only after everything is written and flushed, so a failure at
// any point leaves an existing file byte for byte as it was. A symbolic link is
// followed: its target gets the new content and the link stays. An existing name
// that is not a regular file, or that cannot be written, is refused as CannotOpen.
Status writeMapFile(const QString& path, std::span<const std::uint8_t> bytes);

} // namespace amp
