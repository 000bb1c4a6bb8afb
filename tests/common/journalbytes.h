// SPDX-License-Identifier: MIT
// A journal of an in-place write, built by hand from its documented layout: the
// text "ampedit journal 1\n", the file's identity and old length (8 bytes each,
// least significant first), the path's length (4 bytes) and the path, then the
// old bytes. The tests use it to leave a write "cut short" on purpose.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <sys/stat.h>
#include <vector>

// The portable file code (QtCore alone) can neither give a file an owner nor
// copy its attributes, nor tell its hard links: the tests of what only the POSIX
// code does are skipped there.
#ifdef AMPEDIT_PORTABLE_IO_BUILD
inline constexpr bool PortableFileCode = true;
#else
inline constexpr bool PortableFileCode = false;
#endif

inline QByteArray littleEndian(std::uint64_t value, int size) {
    QByteArray bytes;
    for (int i = 0; i < size; ++i) {
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return bytes;
}

inline QByteArray journalBytes(const QByteArray& path, std::uint64_t identity,
                               const std::vector<std::uint8_t>& old) {
    return QByteArray("ampedit journal 1\n") + littleEndian(identity, 8) + littleEndian(old.size(), 8) +
           littleEndian(static_cast<std::uint64_t>(path.size()), 4) + path +
           QByteArray(reinterpret_cast<const char*>(old.data()), static_cast<qsizetype>(old.size()));
}

inline std::uint64_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? static_cast<std::uint64_t>(info.st_ino)
                                                                   : 0;
}

// What a journal names a file by: its inode, or for the portable file code
// (which cannot see inodes) its birth time in milliseconds since 1970.
inline std::uint64_t identityOf(const QString& path) {
    if (PortableFileCode) {
        const QDateTime born = QFileInfo(path).birthTime();
        return born.isValid() ? static_cast<std::uint64_t>(born.toMSecsSinceEpoch()) : 0;
    }
    return inodeOf(path);
}

// Where both programs keep journals under the data folder `dataHome`.
inline QString journalFolderUnder(const QString& dataHome) {
    return dataHome + QStringLiteral("/ampedit/journal");
}

// Plants a journal as the programs keep one: the user's own, in a folder and a
// file no one else may write, whatever the umask.
inline bool plantJournal(const QString& dataHome, const QString& name, const QByteArray& bytes) {
    const QString folder = journalFolderUnder(dataHome);
    if (!QDir().mkpath(folder) ||
        !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        return false;
    }
    QFile file(folder + "/" + name);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}
