// SPDX-License-Identifier: MIT
// The QString calls over the POSIX build's diskio.h: a name goes to the system as
// QFile::encodeName makes it, and comes back from it through QFile::decodeName.
#include "mapfileio.h"

#include <QFile>

namespace amp {

namespace {

std::string bytesOf(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

Result<std::vector<std::uint8_t>> readMapFile(const QString& path) {
    return diskio::readMapFile(bytesOf(path));
}

Result<ReadBytes> readFileAtMost(const QString& path, std::size_t limit) {
    return diskio::readFileAtMost(bytesOf(path), limit);
}

Result<Written> writeFileSafely(const QString& path, std::span<const std::uint8_t> bytes, NewFileMode mode) {
    return diskio::writeFileSafely(bytesOf(path), bytes, mode);
}

Status replaceFile(const QString& from, const QString& to) {
    return diskio::replaceFile(bytesOf(from), bytesOf(to));
}

NewFileMode modeMadeFrom(const QString& source) {
    return source.isEmpty() ? NewFileMode::Usual : diskio::modeMadeFrom(bytesOf(source));
}

void setRestoreNotice(std::function<void(const QString& path, const JournalNotice& notice)> notice) {
    if (!notice) {
        diskio::setRestoreNotice({});
        return;
    }
    diskio::setRestoreNotice(
        [notice = std::move(notice)](const std::string& path, const JournalNotice& told) {
            notice(QFile::decodeName(path.c_str()), told);
        });
}

} // namespace amp
