// SPDX-License-Identifier: MIT
#include "scriptfolders.h"
#include "userfolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace {

constexpr const char* ProgramFolder = "ampedit";
constexpr const char* ScriptsFolder = "scripts";
constexpr const char* ChecksFolder = "checks";
constexpr const char* SamplesFolder = "samples";
constexpr const char* CostsFolder = "costs";

QString userFolder(const char* kind) {
    return amp::userDataFolder() + QLatin1Char('/') + QLatin1String(ProgramFolder) + QLatin1Char('/') +
           QLatin1String(kind);
}

// The shared data folder seen from the program's own folder: from bin/ for the
// programs, from lib/ampedit/ for amptool's helpers (and, in the build tree,
// from each target's folder one or two levels below the build's top).
QStringList shippedFolders(const char* kind) {
    const QString programs = QCoreApplication::applicationDirPath();
    QStringList found;
    for (const char* fromPrograms :
         {AMPEDIT_DATA_FROM_BIN, AMPEDIT_DATA_FROM_HELPER, AMPEDIT_DATA_FROM_BUILD}) {
        const QFileInfo folder(programs + QLatin1Char('/') + QLatin1String(fromPrograms) + QLatin1Char('/') +
                               QLatin1String(ProgramFolder) + QLatin1Char('/') + QLatin1String(kind));
        const QString path = folder.canonicalFilePath();
        if (folder.isDir() && !found.contains(path)) {
            found.append(path);
        }
    }
    return found;
}

} // namespace

namespace scriptfolders {

QString userScripts() {
    return userFolder(ScriptsFolder);
}

QString userChecks() {
    return userFolder(ChecksFolder);
}

QStringList shippedScripts() {
    return shippedFolders(ScriptsFolder);
}

QStringList shippedChecks() {
    return shippedFolders(ChecksFolder);
}

QString userCostTables() {
    return userFolder(CostsFolder);
}

QStringList costTableFolders() {
    return QStringList{userCostTables()} + shippedFolders(CostsFolder);
}

QStringList checkFolders() {
    return QStringList{userChecks()} + shippedChecks();
}

QString sampleMap() {
    for (const QString& folder : shippedFolders(SamplesFolder)) {
        const QFileInfo sample(folder + QStringLiteral("/demo.amp"));
        if (sample.isFile()) {
            return sample.filePath();
        }
    }
    return {};
}

QStringList scriptFiles(const QStringList& folders) {
    QStringList files;
    for (const QString& folder : folders) {
        // Regular files (or links to them): no folder, device or pipe named *.js.
        const QFileInfoList entries = QDir(folder).entryInfoList({QStringLiteral("*.js")}, QDir::Files);
        for (const QFileInfo& entry : entries) {
            files.append(entry.absoluteFilePath());
        }
    }
    std::stable_sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return QFileInfo(a).fileName() < QFileInfo(b).fileName();
    });
    return files;
}

} // namespace scriptfolders
