// SPDX-License-Identifier: MIT
// A journal of an in-place write, built by hand from its documented layout: the
// text "ampedit journal 2\n"; the file's device, inode and birth time, its old
// and new lengths (8 bytes each, least significant first); the path's length (4
// bytes) and the path; the FNV-1a hash (64 bits) of each 4 KiB block of the new
// bytes; then the old bytes. The tests use it to leave a write "cut short" on
// purpose.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

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

// What a journal names a file by: its device, inode and birth time in
// nanoseconds (0 where the system keeps none), or for the portable file code
// (which cannot see devices and inodes) its birth time in milliseconds alone.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t birth = 0;
};

inline std::uint64_t fnv1a(const std::uint8_t* bytes, std::size_t size) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ULL;
    }
    return hash;
}

inline QByteArray journalBytes(const QByteArray& path, const FileIdentity& identity,
                               const std::vector<std::uint8_t>& old,
                               const std::vector<std::uint8_t>& written) {
    QByteArray hashes;
    for (std::size_t at = 0; at < written.size(); at += 4096) {
        hashes +=
            littleEndian(fnv1a(written.data() + at, std::min<std::size_t>(4096, written.size() - at)), 8);
    }
    return QByteArray("ampedit journal 2\n") + littleEndian(identity.device, 8) +
           littleEndian(identity.inode, 8) + littleEndian(identity.birth, 8) + littleEndian(old.size(), 8) +
           littleEndian(written.size(), 8) + littleEndian(static_cast<std::uint64_t>(path.size()), 4) + path +
           hashes + QByteArray(reinterpret_cast<const char*>(old.data()), static_cast<qsizetype>(old.size()));
}

#ifndef _WIN32
inline std::uint64_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? static_cast<std::uint64_t>(info.st_ino)
                                                                   : 0;
}

// The identity of a file named by the system's bytes (POSIX file code only).
inline FileIdentity identityOfName(const QByteArray& name) {
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) {
        return {};
    }
    FileIdentity identity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                          0};
    struct statx extended {};
    if (::statx(AT_FDCWD, name.constData(), 0, STATX_BTIME, &extended) == 0 &&
        (extended.stx_mask & STATX_BTIME) != 0) {
        identity.birth = static_cast<std::uint64_t>(extended.stx_btime.tv_sec) * 1'000'000'000ULL +
                         extended.stx_btime.tv_nsec;
    }
    return identity;
}
#endif

inline FileIdentity identityOf(const QString& path) {
#ifdef AMPEDIT_PORTABLE_IO_BUILD
    const QDateTime born = QFileInfo(path).birthTime();
    return {0, 0, born.isValid() ? static_cast<std::uint64_t>(born.toMSecsSinceEpoch()) : 0};
#else
    return identityOfName(QFile::encodeName(path));
#endif
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
