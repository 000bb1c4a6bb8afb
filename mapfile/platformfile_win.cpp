// SPDX-License-Identifier: MIT
// The writer and the replace of the file seam on Windows, on the system's own
// calls: QSaveFile cannot flush a file to the disk there, and it renames without
// keeping the old file's attributes and security; std::rename and QFile::rename
// refuse an existing target. Names go to the system as UTF-16.
//
// A write makes a temporary file beside the target (".ampedit-" and 12 random
// letters, CREATE_NEW, shared with nobody while it is written), writes every byte
// and checks each write, flushes it to the disk (FlushFileBuffers), measures it,
// and puts it in place with one MoveFileExW (replace existing, write-through),
// a rename that leaves the old file or the new one whenever the program is
// killed; the old file's hidden, system and archive attributes are set on the new
// one (its security is its folder's, as for any new file). A map another program holds open (the game, an
// editor) is a sharing violation: refused, with that reason, the file left as it was. Where no temporary file
// can be made beside it, or the replace is refused for another reason, the file is written in place with the
// journal (journal_qt.cpp).
#include "platformfile.h"
#include "qtfile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <string>

#include <windows.h>

namespace amp::platform {

namespace {

constexpr wchar_t TemporaryPrefix[] = L".ampedit-";
constexpr wchar_t TemporarySuffix[] = L".tmp";
constexpr int RandomLength = 12;
constexpr int NameAttempts = 100;
constexpr char NameLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr DWORD LargestWrite = 1U << 20;

// The name as the system's wide calls take it: absolute, with backslashes, and
// with the "\\?\" prefix past MAX_PATH, which lifts that limit.
std::wstring systemName(const QString& path) {
    std::wstring name = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdWString();
    if (name.size() >= MAX_PATH && !name.starts_with(L"\\\\")) {
        name.insert(0, L"\\\\?\\");
    }
    return name;
}

// The system's text for an error, without the full stop it ends with, so that
// it reads inside a sentence.
QString reasonOf(DWORD error) {
    QString reason = qt_error_string(static_cast<int>(error)).trimmed();
    while (reason.endsWith(QLatin1Char('.'))) {
        reason.chop(1);
    }
    return reason;
}

bool isSharingViolation(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

MapError heldByAnother(const QString& target, DWORD error) {
    return failure(MapErrorKind::WriteError, target,
                   "another program has it open, perhaps the game or an editor (" + reasonOf(error) +
                       "); it was left as it was: close it there and write again");
}

// Whether another program holds the file so that it cannot be written: opened
// as the in-place way opens it, shared for reading and writing.
bool isHeldByAnother(const std::wstring& name, DWORD& error) {
    const HANDLE file =
        CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    error = GetLastError();
    return isSharingViolation(error);
}

// A new file beside the target, removed again unless it was put in place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::wstring& target) {
        const std::wstring folder = target.substr(0, target.find_last_of(L'\\') + 1);
        for (int attempt = 0; attempt < NameAttempts; ++attempt) {
            std::wstring name = folder + TemporaryPrefix;
            for (int i = 0; i < RandomLength; ++i) {
                name += static_cast<wchar_t>(NameLetters[QRandomGenerator::system()->bounded(
                    static_cast<int>(sizeof NameLetters - 1))]);
            }
            name += TemporarySuffix;
            handle_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle_ != INVALID_HANDLE_VALUE) {
                name_ = std::move(name);
                error_ = 0;
                return;
            }
            error_ = GetLastError();
            if (error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS) {
                return;
            }
        }
    }
    ~TemporaryFile() {
        close();
        if (!name_.empty() && !placed_) {
            DeleteFileW(name_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    DWORD openError() const { return error_; }
    const std::wstring& name() const { return name_; }

    // Every byte written, flushed to the disk and measured; 0 or the system's error.
    DWORD write(std::span<const std::uint8_t> bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const auto part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, LargestWrite));
            DWORD wrote = 0;
            if (!WriteFile(handle_, bytes.data() + done, part, &wrote, nullptr)) {
                return GetLastError();
            }
            if (wrote == 0) {
                return ERROR_WRITE_FAULT;
            }
            done += wrote;
        }
        if (!FlushFileBuffers(handle_)) {
            return GetLastError();
        }
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(handle_, &size)) {
            return GetLastError();
        }
        return static_cast<std::uint64_t>(size.QuadPart) == bytes.size() ? 0 : ERROR_WRITE_FAULT;
    }
    void close() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }
    // It now stands at another name, or holds what may be the only copy of the new bytes.
    void keep() { placed_ = true; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::wstring name_;
    DWORD error_ = 0;
    bool placed_ = false;
};

bool moveOver(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// What a replace refused with `error` is told as: a file held by another program
// is said to be so, whatever the call said (a move over it reports "access denied").
MapError refusal(const QString& target, const std::wstring& name, DWORD error, const QString& reason) {
    DWORD held = error;
    if (isSharingViolation(error) || isHeldByAnother(name, held)) {
        return heldByAnother(target, held);
    }
    return failure(MapErrorKind::WriteError, target, reason + " (" + reasonOf(error) + ")");
}

// The attributes a map carries over a write (hidden, system, archive, not
// indexed), set again on the new file once it is in place.
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                 FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

void keepAttributes(const std::wstring& name, DWORD old) {
    const DWORD now = GetFileAttributesW(name.c_str());
    if (now != INVALID_FILE_ATTRIBUTES && (now & KeptAttributes) != (old & KeptAttributes)) {
        SetFileAttributesW(name.c_str(), (now & ~KeptAttributes) | (old & KeptAttributes));
    }
}

} // namespace

Status replaceFile(const QString& from, const QString& to) {
    const std::wstring name = systemName(to);
    if (!moveOver(systemName(from), name)) {
        return refusal(to, name, GetLastError(),
                       "it could not be replaced by " + QDir::toNativeSeparators(from));
    }
    return Done{};
}

// The permission bits of NewFileMode have no meaning here: a new file takes the
// security of its folder, a replaced one keeps its own.
Result<Written> writeFile(const QString& target, std::span<const std::uint8_t> bytes, NewFileMode) {
    const std::wstring name = systemName(target);
    const DWORD oldAttributes = GetFileAttributesW(name.c_str());
    const bool replacing = oldAttributes != INVALID_FILE_ATTRIBUTES;
    // Held by another program, the file can be neither replaced nor written in
    // place: told before any temporary file is made.
    if (DWORD held = 0; replacing && isHeldByAnother(name, held)) {
        return heldByAnother(target, held);
    }
    QString why;
    {
        TemporaryFile file(name);
        if (file.openError() != 0) {
            if (!replacing) {
                return failure(MapErrorKind::CannotOpen, target, reasonOf(file.openError()));
            }
            why = "no new file can be made in its folder (" + reasonOf(file.openError()) + ")";
        } else {
            if (const DWORD error = file.write(bytes); error != 0) {
                return failure(MapErrorKind::WriteError, target, reasonOf(error));
            }
            file.close();
            if (!replacing) {
                if (!moveOver(file.name(), name)) {
                    return refusal(target, name, GetLastError(), "the new file could not be put in place");
                }
                file.keep();
                return Written{};
            }
            // One rename over the old file, which a kill at any moment leaves
            // old or new: ReplaceFileW moves the old file away first (under
            // Wine a kill between its steps left no file at the name).
            if (moveOver(file.name(), name)) {
                file.keep();
                keepAttributes(name, oldAttributes);
                return Written{};
            }
            const DWORD error = GetLastError();
            DWORD held = 0;
            if (isSharingViolation(error) || isHeldByAnother(name, held)) {
                return heldByAnother(target, isSharingViolation(error) ? error : held);
            }
            why = "it cannot be replaced (" + reasonOf(error) + ")";
        }
    }
    // In place, the file must be open to this program alone for a while.
    if (DWORD held = 0; isHeldByAnother(name, held)) {
        return heldByAnother(target, held);
    }
    const Status inPlace = writeInPlaceJournaled(target, bytes, why);
    if (!inPlace) {
        return inPlace.error();
    }
    return Written{WriteWay::InPlace, false};
}

} // namespace amp::platform
