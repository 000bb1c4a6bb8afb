// SPDX-License-Identifier: MIT
// The scripting module: the JavaScript engine and QtQml, which it needs, in a
// library of their own that the editor loads when the first script runs, so
// that a start-up that runs none never loads them. It lies beside the program
// in the build tree and in lib/ampedit/plugins once installed; AMPEDIT_SCRIPT_MODULE,
// when set, names the file instead.
#pragma once

#include "scriptengine.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace scriptmodule {

// Whether this build of the program has the module at all: a Qt without QtQml
// (the Windows build's) builds none, and scripts do not run there.
bool isPartOfThisBuild();
// What a build without it says of scripts, to go after "Run Script: " and the like.
QString notInThisBuild();
// The files tried, first found first.
QStringList places();
// A ScriptEngineSource: a new engine of the module, loaded on the first call and
// kept loaded; none, with the reason, when it is missing or does not fit.
std::unique_ptr<ScriptEngine> newEngine(QString& why);

} // namespace scriptmodule
