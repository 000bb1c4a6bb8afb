// SPDX-License-Identifier: MIT
// Where scripts and the sample map are found: the user's own folders, and the
// ones shipped with the program (share/ampedit/{scripts,checks,samples} beside
// the installed programs, or the copies the build puts beside them in the build
// tree).
#pragma once

#include <QString>
#include <QStringList>

namespace scriptfolders {

// ~/.local/share/ampedit/scripts: transforms of the user's own.
QString userScripts();
// ~/.local/share/ampedit/checks: checks of the user's own.
QString userChecks();
// The program's own folders of transforms and of checks (those that exist).
QStringList shippedScripts();
QStringList shippedChecks();
// Where Check Map and `amptool check` look: the user's checks, then the program's.
QStringList checkFolders();
// ~/.local/share/ampedit/costs: cost tables (*.json) of the user's own.
QString userCostTables();
// Where cost tables are offered from: the user's, then the program's
// (share/ampedit/costs, holding default.json).
QStringList costTableFolders();
// The sample map shipped with the program (share/ampedit/samples/demo.amp), or
// empty where it is missing.
QString sampleMap();
// The *.js files of the folders (regular files only), sorted by name.
QStringList scriptFiles(const QStringList& folders);

} // namespace scriptfolders
