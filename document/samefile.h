// SPDX-License-Identifier: MIT
// Whether two names lead to one file on disk.
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
