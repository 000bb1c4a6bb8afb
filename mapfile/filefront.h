// SPDX-License-Identifier: MIT
// The front half of the one reader and writer, the same in both builds: an empty
// name refused, an interrupted write of the file undone (and told) before it is
// read or written, a read cut at its limit, and what stands at a write's name
// checked before the seam writes it (only a regular file that may be written is
// replaced; a link's target gets the content, a dangling link's target is made).
// `Files` is a build's own look at names, with file names of its kind:
//   Path                           std::string (POSIX) or QString (portable)
//   isEmpty(path), shown(path)     no name; the name as a message gives it
//   standing(path)                 what stands at the name, links followed
//   canonical(path)                an existing name's file, its links resolved
//   isSymLink(path), danglingTarget(path)
//   read(path, limit), restore(path), write(target, bytes, mode): the seam's calls
// diskio.cpp gives the POSIX one, mapfileio.cpp the portable one.
#pragma once

#include "diskio.h"
#include "maperror.h"
#include "mapformat.h"
#include "platformfile.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace amp::platform {

// What stands at a name, as a write looks at it.
enum class Standing : std::uint8_t { Nothing, Folder, WritableFile, ReadOnlyFile, NotAFile };

template <typename Files> class FileFront {
public:
    using Path = typename Files::Path;
    using Notice = std::function<void(const Path&, const JournalNotice&)>;

    static void setRestoreNotice(Notice notice) { restoreNotice() = std::move(notice); }

    static Result<std::vector<std::uint8_t>> readMapFile(const Path& path) {
        if (const auto restored = restoreFirst(path); !restored) {
            return restored.error();
        }
        return notLargerThanAMap(Files::read(path, MaxFileSize + 1), Files::shown(path));
    }

    static Result<ReadBytes> readFileAtMost(const Path& path, std::size_t limit) {
        const auto restored = restoreFirst(path);
        if (!restored) {
            return restored.error();
        }
        return cutAtLimit(Files::read(path, limit + 1), limit, restored.value());
    }

    static Result<Written> writeFileSafely(const Path& path, std::span<const std::uint8_t> bytes,
                                           NewFileMode mode) {
        const auto target = writeTarget(path);
        if (!target) {
            return target.error();
        }
        const auto restored = restoreFirst(target.value());
        if (!restored) {
            return restored.error();
        }
        auto written = Files::write(target.value(), bytes, mode);
        if (!written) {
            return written;
        }
        return Written{written.value().way, restored.value()};
    }

private:
    static Notice& restoreNotice() {
        static Notice notice;
        return notice;
    }

    static MapError openError(const Path& path, const std::string& reason) {
        return {MapErrorKind::CannotOpen, Files::shown(path) + ": " + reason};
    }

    // Undoes an interrupted write of the file before anything reads it; true when
    // it did. An empty name is refused here, before anything else.
    static Result<bool> restoreFirst(const Path& path) {
        if (Files::isEmpty(path)) {
            return openError(path, "no file name was given");
        }
        return restoreAndTell(Files::restore(path), path, restoreNotice());
    }

    // The file a write goes to. A rename would replace whatever stands at the
    // name, destroying a FIFO or a device node: only regular files are replaced,
    // judged through their links, and a link stays while its target is written.
    static Result<Path> writeTarget(const Path& path) {
        if (Files::isEmpty(path)) {
            return openError(path, "no file name was given");
        }
        switch (Files::standing(path)) {
        case Standing::Folder:
            return openError(path, "it is a folder, not a file");
        case Standing::NotAFile:
            return openError(path, "it is not a regular file (a pipe, device or socket)");
        case Standing::ReadOnlyFile:
            return openError(path, "the file is read-only");
        case Standing::WritableFile: {
            auto canonical = Files::canonical(path);
            if (!canonical) {
                return openError(path, canonical.error().message);
            }
            return canonical;
        }
        case Standing::Nothing:
            break;
        }
        if (!Files::isSymLink(path)) {
            return path;
        }
        Path target = Files::danglingTarget(path); // the file the link names is made
        if (Files::isSymLink(target)) {
            return openError(path, "its symbolic links go round in a circle");
        }
        return target;
    }
};

} // namespace amp::platform
