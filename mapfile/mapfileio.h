// Reading and writing files on disk. Reading takes at most what the largest map
// needs and never blocks on a pipe or a device; writing replaces the target only
// once every byte is known to be on disk.
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

// The same for any file the programs read whole (a grid, a recovery copy): at most
// `limit` bytes, with the same refusals. `complete` says whether the file ended
// within the limit.
struct ReadBytes {
    std::vector<std::uint8_t> bytes;
    bool complete = true;
};
Result<ReadBytes> readFileAtMost(const QString& path, std::size_t limit);

// The one writer of files: maps, recovery copies, exported pictures and grids all
// go through it. The bytes go to a temporary file beside the target, every write
// checked unbuffered, then synced and measured; only a complete file is renamed
// over the target, so a failure at any point (a full disk included) leaves an
// existing file byte for byte as it was and reports WriteError with the system's
// reason. A replaced file keeps its permission bits. Where no temporary file can
// be made beside an existing target (a folder the user may not write to, a full
// file system), the target is written in place, its old bytes kept in memory and
// put back if that write fails. A symbolic link is followed:
// its target gets the new content and the link stays. An existing name that is
// not a regular file, or that cannot be written, is refused as CannotOpen.
Status writeFileSafely(const QString& path, std::span<const std::uint8_t> bytes);

} // namespace amp
