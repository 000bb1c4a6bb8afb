// SPDX-License-Identifier: MIT
// The calls of diskio.h over the portable build's QString ones (mapfileio.cpp):
// a name of bytes is UTF-8, as amptool takes its words (on Windows from the
// UTF-16 command line). Never the local 8-bit encoding: on Windows that is the
// ANSI code page, which cannot hold every name ("Ürdün", 地図).
#include "diskio.h"
#include "mapfileio.h"

#include <QDir>
#include <QFile>

namespace amp::diskio {

namespace {

QString nameOf(const std::string& path) {
    return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

} // namespace

Result<std::vector<std::uint8_t>> readMapFile(const std::string& path) {
    return amp::readMapFile(nameOf(path));
}

Result<ReadBytes> readFileAtMost(const std::string& path, std::size_t limit) {
    return amp::readFileAtMost(nameOf(path), limit);
}

Result<Written> writeFileSafely(const std::string& path, std::span<const std::uint8_t> bytes,
                                NewFileMode mode) {
    return amp::writeFileSafely(nameOf(path), bytes, mode);
}

Status replaceFile(const std::string& from, const std::string& to) {
    return amp::replaceFile(nameOf(from), nameOf(to));
}

Status waitForWritesInPlace(int) {
    return Done{}; // the portable code's writers lock by name, in the journal folder
}

NewFileMode modeMadeFrom(const std::string& source) {
    return amp::modeMadeFrom(nameOf(source));
}

void setRestoreNotice(std::function<void(const std::string& path, const JournalNotice& notice)> notice) {
    if (!notice) {
        amp::setRestoreNotice({});
        return;
    }
    amp::setRestoreNotice([notice = std::move(notice)](const QString& path, const JournalNotice& told) {
        // The name as it was given; the journal's, which the program made, with
        // the system's separators (journal_qt.cpp gives it through encodeName).
        JournalNotice shown = told;
        shown.journal = QDir::toNativeSeparators(QFile::decodeName(told.journal.c_str())).toStdString();
        notice(path.toStdString(), shown);
    });
}

} // namespace amp::diskio
