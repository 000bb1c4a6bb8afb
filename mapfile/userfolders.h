// SPDX-License-Identifier: MIT
// The folders of the user's own data and settings: Qt's places for them, except
// that XDG_DATA_HOME and XDG_CONFIG_HOME, when they name an absolute folder, hold
// on every system as they do on Linux (where Qt reads them itself). So a test, or
// a copy of the programs carried on a USB stick, points them at folders of its
// own on Windows too.
#pragma once

#include <QDir>
#include <QStandardPaths>
#include <QString>

namespace amp {

// `location` of QStandardPaths, or the folder `variable` names followed by
// `below` (what Qt adds to its generic place for `location`).
inline QString userFolder(const char* variable, QStandardPaths::StandardLocation location,
                          const QString& below = {}) {
    const QString named = qEnvironmentVariable(variable);
    if (!named.isEmpty() && QDir::isAbsolutePath(named)) {
        return QDir::cleanPath(named) + below;
    }
    return QStandardPaths::writableLocation(location);
}

inline QString userDataFolder() {
    return userFolder("XDG_DATA_HOME", QStandardPaths::GenericDataLocation);
}

inline QString userConfigFolder() {
    return userFolder("XDG_CONFIG_HOME", QStandardPaths::GenericConfigLocation);
}

} // namespace amp
