#include "mapfileio.h"
#include "mapformat.h"
#include "platformfile.h"

#include <QFileInfo>

namespace amp {

namespace {

MapError openError(const QString& path, const std::string& reason) {
    return {MapErrorKind::CannotOpen, path.toStdString() + ": " + reason};
}

} // namespace

Result<std::vector<std::uint8_t>> readMapFile(const QString& path) {
    if (path.isEmpty()) {
        return openError(path, "no file name was given");
    }
    return platform::readRegularFile(path, MaxFileSize);
}

Result<ReadBytes> readFileAtMost(const QString& path, std::size_t limit) {
    if (path.isEmpty()) {
        return openError(path, "no file name was given");
    }
    auto read = platform::readRegularFile(path, limit + 1);
    if (!read) {
        return read.error();
    }
    ReadBytes result{std::move(read).value(), true};
    if (result.bytes.size() > limit) {
        result.bytes.resize(limit);
        result.complete = false;
    }
    return result;
}

Status writeFileSafely(const QString& path, std::span<const std::uint8_t> bytes) {
    if (path.isEmpty()) {
        return openError(path, "no file name was given");
    }
    // A rename would replace whatever stands at the name, destroying a FIFO or a
    // device node; only regular files are replaced. QFileInfo follows links, so a
    // link to a map is judged by the map.
    const QFileInfo existing(path);
    QString target = path;
    if (existing.exists()) {
        if (existing.isDir()) {
            return openError(path, "it is a folder, not a file");
        }
        if (!existing.isFile()) {
            return openError(path, "it is not a regular file (a pipe, device or socket)");
        }
        if (!existing.isWritable()) {
            return openError(path, "the file is read-only");
        }
        target = existing.canonicalFilePath(); // the link stays, its target is replaced
    }
    return platform::replaceFile(target, bytes);
}

} // namespace amp
