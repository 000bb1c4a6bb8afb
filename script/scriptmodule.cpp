// SPDX-License-Identifier: MIT
#include "scriptmodule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace scriptmodule {

namespace {

// The module's file name on this system (".so", ".dll").
constexpr const char* FileName = "ampedit-scripting" AMPEDIT_MODULE_SUFFIX;

QString text(const char* source) {
    return QCoreApplication::translate("ScriptRunner", source);
}

} // namespace

bool isPartOfThisBuild() {
    return AMPEDIT_SCRIPTING_BUILT != 0;
}

QString notInThisBuild() {
    return text("scripts do not run in this build of the program: it has no JavaScript engine");
}

QStringList places() {
    const QString named = qEnvironmentVariable("AMPEDIT_SCRIPT_MODULE");
    if (!named.isEmpty()) {
        return {named};
    }
    const QString folder = QCoreApplication::applicationDirPath();
    return {QDir(folder).filePath(QString::fromLatin1(FileName)),
            QDir::cleanPath(folder + QStringLiteral("/" AMPEDIT_MODULE_FROM_BIN "/") +
                            QString::fromLatin1(FileName))};
}

std::unique_ptr<ScriptEngine> newEngine(QString& why) {
    if (!isPartOfThisBuild() && qEnvironmentVariableIsEmpty("AMPEDIT_SCRIPT_MODULE")) {
        why = notInThisBuild();
        return nullptr;
    }
    const QStringList tried = places();
    for (const QString& path : tried) {
        if (!QFileInfo(path).isFile()) {
            continue;
        }
        // Never unloaded: the engines it makes run its code to their end.
        QLibrary library(path);
        if (!library.load()) {
            why = text("the scripting module %1 could not be loaded: %2")
                      .arg(QDir::toNativeSeparators(path), library.errorString());
            return nullptr;
        }
        const auto entry = reinterpret_cast<ScriptEngineEntryFunction>(library.resolve(ScriptEngineEntry));
        ScriptEngine* engine = entry ? entry(AMPEDIT_VERSION) : nullptr;
        if (!engine) {
            why = text("the scripting module %1 is not the one of this version of the program (%2)")
                      .arg(QDir::toNativeSeparators(path), QStringLiteral(AMPEDIT_VERSION));
            return nullptr;
        }
        return std::unique_ptr<ScriptEngine>(engine);
    }
    QStringList shown;
    for (const QString& path : tried) {
        shown << QDir::toNativeSeparators(path);
    }
    why = text("the scripting module is not installed (looked for %1)").arg(shown.join(QStringLiteral(", ")));
    return nullptr;
}

} // namespace scriptmodule
