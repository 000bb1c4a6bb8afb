// SPDX-License-Identifier: MIT
#include "filenames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

std::filesystem::path systemPath(const QString& name) {
#ifdef Q_OS_WIN
    return std::filesystem::path(name.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(name).toStdString());
#endif
}

} // namespace

bool namesSameFile(const QString& first, const QString& second) {
    if (first.isEmpty() || second.isEmpty()) {
        return false;
    }
    const QString canonical = QFileInfo(first).canonicalFilePath();
    if (!canonical.isEmpty() && canonical.compare(QFileInfo(second).canonicalFilePath(), FileNameCase) == 0) {
        return true;
    }
    // Two names of one file: the system's own file identity (device and file
    // number, or volume and file index on Windows).
    std::error_code error;
    return std::filesystem::equivalent(systemPath(first), systemPath(second), error) && !error;
}

QString wholePath(const QString& name) {
    return name.isEmpty() || QDir::isAbsolutePath(name) ? name : QFileInfo(name).absoluteFilePath();
}
