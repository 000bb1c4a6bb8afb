// SPDX-License-Identifier: MIT
// File names as the system takes them: whether two lead to one file, and a
// name as a whole path.
#pragma once

#include <QString>

// How the system compares file names: Windows' ignore letter case.
#ifdef Q_OS_WIN
inline constexpr Qt::CaseSensitivity FileNameCase = Qt::CaseInsensitive;
#else
inline constexpr Qt::CaseSensitivity FileNameCase = Qt::CaseSensitive;
#endif

// True when both name an existing file and it is the same one: the same path
// once links and "." and ".." are resolved (letter case aside on Windows), or
// two hard links of one file. A name of no file is the same as nothing.
bool namesSameFile(const QString& first, const QString& second);

// The name as a whole path: a name given whole stays as it was given, one
// relative to the working folder gets that folder in front of it.
QString wholePath(const QString& name);
