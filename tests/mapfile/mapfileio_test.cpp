// SPDX-License-Identifier: MIT
#include "filesizelimit.h"
#include "journalbytes.h"
#include "mapfileio.h"
#include "mapformat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#ifndef _WIN32
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#endif
#include <thread>
#include <tuple>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace amp {
namespace {

std::vector<std::uint8_t> pattern(std::size_t size, int seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 31 + static_cast<std::size_t>(seed)) % 256);
    }
    return bytes;
}

std::vector<std::uint8_t> contentOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray all = file.readAll();
    return {all.begin(), all.end()};
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
}

// Journals of writes in place go to a data folder of the tests' own.
class DataHome : public testing::Environment {
public:
    void SetUp() override { qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.path())); }
    QTemporaryDir dir_;
};
DataHome* const dataHome = static_cast<DataHome*>(testing::AddGlobalTestEnvironment(new DataHome));

QByteArray nameOf(const QString& path) {
    return QFile::encodeName(path);
}

bool putFile(const QString& path, const std::vector<std::uint8_t>& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
               static_cast<qint64>(bytes.size());
}

struct stat statusOf(const QString& path) {
    struct stat info {};
    ::stat(nameOf(path).constData(), &info);
    return info;
}

class MapFileIo : public testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(MapFileIo, ReplacesAFileWholeKeepingItsModeAndLinks) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no POSIX mode bits or umask, and QFile::link makes a .lnk shortcut "
                    "there, not a symbolic link";
#else
    ASSERT_TRUE(writeFileSafely(path("m.amp"), pattern(5000, 3)).ok());
    ASSERT_EQ(::chmod(QFile::encodeName(path("m.amp")).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(path("m.amp"), path("link.amp")));
    ASSERT_TRUE(writeFileSafely(path("link.amp"), pattern(20, 1)).ok());

    EXPECT_EQ(contentOf(path("m.amp")), pattern(20, 1)) << "no tail of the longer old file survives";
    EXPECT_TRUE(QFileInfo(path("link.amp")).isSymLink()) << "the link stays a link";
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path("m.amp")).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(entriesOf(dir_.path()), (QStringList{"link.amp", "m.amp"})) << "no temporary file is left";
#endif
}

TEST_F(MapFileIo, ReadsNoMoreThanTheLargestMapNeeds) {
    {
        QFile file(path("big.amp"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(100 * 1000 * 1000)); // 100 MB, sparse: costs no disk
        QFile empty(path("empty.amp"));
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    }
    // Larger than the largest map: no map, whatever its first bytes say.
    const auto big = readMapFile(path("big.amp"));
    ASSERT_FALSE(big.ok());
    EXPECT_EQ(big.error().kind, amp::MapErrorKind::NotAMap);
    EXPECT_NE(big.error().message.find("larger than the largest map"), std::string::npos);
    // The largest map itself, and one byte more.
    ASSERT_TRUE(QFile::resize(path("big.amp"), 845332));
    ASSERT_TRUE(readMapFile(path("big.amp")).ok());
    EXPECT_EQ(readMapFile(path("big.amp")).value().size(), 845332u);
    ASSERT_TRUE(QFile::resize(path("big.amp"), 845333));
    EXPECT_EQ(readMapFile(path("big.amp")).error().kind, amp::MapErrorKind::NotAMap);
    EXPECT_TRUE(readMapFile(path("empty.amp")).value().empty());
    // A file whose length says nothing of its content (the kernel's files say 0) is
    // read to its end all the same.
    if (QFile::exists("/proc/self/status")) {
        const auto status = readFileAtMost("/proc/self/status", 1 << 20);
        ASSERT_TRUE(status.ok());
        EXPECT_TRUE(status.value().complete);
        ASSERT_GT(status.value().bytes.size(), 4096u / 4);
        EXPECT_EQ(std::string(status.value().bytes.begin(), status.value().bytes.begin() + 5), "Name:");
        EXPECT_EQ(status.value().bytes.back(), '\n');
    }
}

TEST_F(MapFileIo, RefusesWhatIsNotARegularFileAndLeavesItAlone) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.amp"));
    QStringList notFiles = {path("folder.amp")};
#ifndef _WIN32 // Windows has no FIFO in its file system
    ASSERT_EQ(mkfifo(QFile::encodeName(path("pipe.amp")).constData(), 0600), 0);
    notFiles << path("pipe.amp");
#endif
    for (const QString& name : notFiles + QStringList{path("missing.amp"), QString()}) {
        const auto read = readMapFile(name); // a FIFO must not hang
        ASSERT_FALSE(read.ok()) << name.toStdString();
        EXPECT_EQ(read.error().kind, MapErrorKind::CannotOpen) << name.toStdString();
    }
    for (const QString& name : notFiles + QStringList{path("no/such/folder.amp"), QString()}) {
        const auto written = writeFileSafely(name, pattern(10, 1));
        ASSERT_FALSE(written.ok()) << name.toStdString();
        EXPECT_EQ(written.error().kind, MapErrorKind::CannotOpen) << name.toStdString();
        EXPECT_FALSE(written.error().message.empty());
    }
    EXPECT_TRUE(QFileInfo(path("folder.amp")).isDir());
#ifndef _WIN32
    EXPECT_FALSE(QFileInfo(path("pipe.amp")).isFile()) << "the FIFO is still a FIFO";
#endif
}

// Sizes below, at and above Qt's 16 KiB write buffer, where a buffered write
// used to report success and leave a short file behind.
class FailingWrite : public testing::TestWithParam<std::size_t> {};

TEST_P(FailingWrite, LeavesTheOldFileAndSaysWhy) {
#ifdef _WIN32
    GTEST_SKIP()
        << "Windows has no per-process limit on a file's size (RLIMIT_FSIZE) to make a write fail as on a "
           "full disk";
#else
    const std::size_t size = GetParam();
    QTemporaryDir dir;
    const QString target = dir.filePath("m.amp");
    const auto old = pattern(size, 5);
    ASSERT_TRUE(writeFileSafely(target, old).ok());
    {
        const FileSizeLimit diskFull(size - 1); // the last byte does not fit
        const auto written = writeFileSafely(target, pattern(size, 9));
        ASSERT_FALSE(written.ok());
        EXPECT_EQ(written.error().kind, MapErrorKind::WriteError);
        EXPECT_NE(written.error().message.find("too large"), std::string::npos) << written.error().message;
    }
    EXPECT_EQ(contentOf(target), old);
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"m.amp"}) << "the broken temporary file is removed";
#endif
}

// The same on a real file system that is full: a small tmpfs, which needs root
// and a sandbox that allows mounting.
TEST_P(FailingWrite, OnAFullFileSystemLeavesTheOldFile) {
#ifdef _WIN32
    GTEST_SKIP() << "mounts a small tmpfs, which Windows has not";
#else
    const std::size_t size = GetParam();
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    const std::string options = "size=" + std::to_string(size + 64 * 1024);
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, options.c_str()) != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << ")";
    }
    const QString target = dir.filePath("m.amp");
    const auto old = pattern(size, 5);
    const bool oldWritten = writeFileSafely(target, old).ok();
    {
        // Fill every page that is left.
        QFile filler(dir.filePath("filler"));
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
    const auto written = writeFileSafely(target, pattern(size, 9));
    const auto after = contentOf(target);
    QFile::remove(dir.filePath("filler"));
    const QStringList left = entriesOf(dir.path());
    ::umount2(mountPoint.constData(), MNT_DETACH);

    ASSERT_TRUE(oldWritten);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().kind, MapErrorKind::WriteError);
    EXPECT_NE(written.error().message.find("No space left"), std::string::npos) << written.error().message;
    EXPECT_EQ(after, old);
    EXPECT_EQ(left, QStringList{"m.amp"});
#endif
}

// A file system with no inode to spare: no temporary file can be made beside the
// map, so it is written in place; a write that does not fit puts the old bytes back.
TEST(WriteInPlace, WhenNoTemporaryFileCanBeMade) {
#ifdef _WIN32
    GTEST_SKIP() << "mounts a small tmpfs, which Windows has not";
#else
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k,nr_inodes=2") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << ")";
    }
    const QString target = dir.filePath("m.amp");
    const bool oldWritten = writeFileSafely(target, pattern(20000, 5)).ok();
    const auto smaller = writeFileSafely(target, pattern(1047, 9));
    const auto afterSmaller = contentOf(target);
    const auto tooLarge = writeFileSafely(target, pattern(200000, 3)); // more than the file system holds
    const auto afterTooLarge = contentOf(target);
    const QStringList left = entriesOf(dir.path());
    ::umount2(mountPoint.constData(), MNT_DETACH);

    ASSERT_TRUE(oldWritten);
    EXPECT_TRUE(smaller.ok()) << (smaller.ok() ? "" : smaller.error().message);
    EXPECT_EQ(afterSmaller, pattern(1047, 9));
    ASSERT_FALSE(tooLarge.ok());
    EXPECT_EQ(tooLarge.error().kind, MapErrorKind::WriteError);
    EXPECT_NE(tooLarge.error().message.find("old content was put back"), std::string::npos)
        << tooLarge.error().message;
    EXPECT_EQ(afterTooLarge, pattern(1047, 9));
    EXPECT_EQ(left, QStringList{"m.amp"});
#endif
}

// What belongs to the file and not to its bytes survives a write: a second hard
// link (written in place, one inode), its owner, group and mode (replaced, as
// root may give them), and a dangling link, whose target is made.
TEST_F(MapFileIo, AWriteKeepsTheFilesLinksOwnerAndMode) {
    if (PortableFileCode) {
        GTEST_SKIP() << "the portable file code always replaces: it cannot tell hard links nor give an owner";
    }
#ifndef _WIN32
    ASSERT_TRUE(putFile(path("h.amp"), pattern(5000, 1)));
    ASSERT_EQ(::link(nameOf(path("h.amp")).constData(), nameOf(path("h2.amp")).constData()), 0);
    const auto linked = writeFileSafely(path("h.amp"), pattern(300, 2));
    ASSERT_TRUE(linked.ok()) << linked.error().message;
    EXPECT_EQ(linked.value().way, WriteWay::InPlace);
    EXPECT_EQ(contentOf(path("h2.amp")), pattern(300, 2));
    EXPECT_EQ(statusOf(path("h.amp")).st_ino, statusOf(path("h2.amp")).st_ino);
    EXPECT_EQ(statusOf(path("h.amp")).st_nlink, 2u);
    const QString journals = journalFolderUnder(dataHome->dir_.path());
    EXPECT_EQ(statusOf(journals).st_mode & 07777, 0700u) << "the journals hold maps: the user's alone";
    EXPECT_EQ(entriesOf(journals), QStringList{}) << "the journal goes once the write is done";

    ASSERT_TRUE(putFile(path("o.amp"), pattern(100, 3)));
    ASSERT_EQ(::chown(nameOf(path("o.amp")).constData(), 1234, 4321), 0);
    ASSERT_EQ(::chmod(nameOf(path("o.amp")).constData(), 0604), 0);
    const auto owned = writeFileSafely(path("o.amp"), pattern(200, 4));
    ASSERT_TRUE(owned.ok()) << owned.error().message;
    EXPECT_EQ(owned.value().way, geteuid() == 0 ? WriteWay::Replaced : WriteWay::InPlace);
    EXPECT_EQ(statusOf(path("o.amp")).st_uid, 1234u);
    EXPECT_EQ(statusOf(path("o.amp")).st_gid, 4321u);
    EXPECT_EQ(statusOf(path("o.amp")).st_mode & 07777, 0604u);
    EXPECT_EQ(contentOf(path("o.amp")), pattern(200, 4));

    ASSERT_TRUE(QDir(dir_.path()).mkdir("sub"));
    ASSERT_TRUE(QFile::link("sub/missing.amp", path("second.amp")));
    ASSERT_TRUE(QFile::link("second.amp", path("dl.amp"))); // a link to a link to nothing
    const auto dangling = writeFileSafely(path("dl.amp"), pattern(59, 5));
    ASSERT_TRUE(dangling.ok()) << dangling.error().message;
    EXPECT_TRUE(QFileInfo(path("dl.amp")).isSymLink());
    EXPECT_TRUE(QFileInfo(path("second.amp")).isSymLink());
    EXPECT_EQ(contentOf(path("sub/missing.amp")), pattern(59, 5));
    ASSERT_TRUE(QFile::link("loop2.amp", path("loop1.amp")));
    ASSERT_TRUE(QFile::link("loop1.amp", path("loop2.amp")));
    const auto circle = writeFileSafely(path("loop1.amp"), pattern(59, 5));
    ASSERT_FALSE(circle.ok());
    EXPECT_TRUE(QFileInfo(path("loop1.amp")).isSymLink());
#endif
}

// A new file gets the usual bits under the umask, or only the owner's when asked
// (for what holds a user's private data); a replaced one keeps its own.
TEST_F(MapFileIo, ANewFileGetsTheModeAsked) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no POSIX mode bits or umask";
#else
    const mode_t saved = ::umask(022);
    const bool usual = writeFileSafely(path("usual.amp"), pattern(10, 1)).ok();
    const bool own = writeFileSafely(path("own.amp"), pattern(10, 1), NewFileMode::OwnerOnly).ok();
    const mode_t usualMode = statusOf(path("usual.amp")).st_mode & 07777;
    ASSERT_EQ(::chmod(nameOf(path("usual.amp")).constData(), 0640), 0);
    const bool replaced = writeFileSafely(path("usual.amp"), pattern(20, 2), NewFileMode::OwnerOnly).ok();
    ::umask(saved);
    ASSERT_TRUE(usual && own && replaced);
    EXPECT_EQ(usualMode, 0644u);
    EXPECT_EQ(statusOf(path("own.amp")).st_mode & 07777, 0600u);
    EXPECT_EQ(statusOf(path("usual.amp")).st_mode & 07777, 0640u);
    EXPECT_EQ(contentOf(path("usual.amp")), pattern(20, 2));
#endif
}

// A file made from another (a picture or a grid of a map, a map written to a new
// name) is never readable by more users than that one: it takes its bits under
// the umask, as cp does.
TEST_F(MapFileIo, AFileMadeFromAnotherIsAsPrivateAsIt) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no POSIX mode bits or umask";
#else
    const mode_t saved = ::umask(022);
    const struct {
        mode_t source;
        mode_t expected;
    } cases[] = {{0600, 0600}, {0640, 0640}, {0664, 0644}, {0444, 0444}, {0400, 0400}};
    for (const auto& each : cases) {
        ASSERT_TRUE(putFile(path("source.amp"), pattern(10, 1)));
        ASSERT_EQ(::chmod(nameOf(path("source.amp")).constData(), each.source), 0);
        QFile::remove(path("made.png"));
        ASSERT_TRUE(writeFileSafely(path("made.png"), pattern(30, 2), modeMadeFrom(path("source.amp"))).ok());
        EXPECT_EQ(statusOf(path("made.png")).st_mode & 07777, each.expected) << std::oct << each.source;
    }
    EXPECT_EQ(modeMadeFrom(path("gone.amp")), NewFileMode::Usual);
    EXPECT_EQ(modeMadeFrom(QString()), NewFileMode::Usual);
    ::umask(saved);
#endif
}

// While a file is written, nobody else may read it: the temporary file is the
// owner's alone from the moment it is made, whatever mode the file gets at the
// end. A watcher stats every temporary file the moment it shows.
TEST_F(MapFileIo, ATemporaryFileIsTheOwnersAloneUntilItIsComplete) {
    if (PortableFileCode) {
        GTEST_SKIP() << "QSaveFile makes its temporary file itself, unnamed where the system can";
    }
#ifndef _WIN32
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, nameOf(dir_.path()).constData(), IN_CREATE), 0);
    std::atomic<bool> done{false};
    std::vector<mode_t> seen; // of temporary files seen before they were complete
    std::thread watcher([&] {
        alignas(inotify_event) char buffer[4096];
        while (!done) {
            const ssize_t got = ::read(watch, buffer, sizeof buffer);
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && std::string_view(event->name).starts_with(".ampedit-")) {
                    struct stat info {};
                    if (::stat(nameOf(dir_.filePath(event->name)).constData(), &info) == 0 &&
                        info.st_size < static_cast<off_t>(MaxFileSize)) {
                        seen.push_back(info.st_mode & 07777);
                    }
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    });
    const mode_t saved = ::umask(0);
    for (int i = 0; i < 20; ++i) {
        QFile::remove(path("new.amp"));
        EXPECT_TRUE(writeFileSafely(path("new.amp"), pattern(MaxFileSize, i)).ok());
        EXPECT_TRUE(writeFileSafely(path("new.amp"), pattern(MaxFileSize, i + 1)).ok()); // replacing 0666
    }
    ::umask(saved);
    done = true;
    watcher.join();
    ::close(watch);
    EXPECT_EQ(statusOf(path("new.amp")).st_mode & 07777, 0666u);
    EXPECT_GT(seen.size(), 0u) << "the watcher saw no temporary file being written";
    for (const mode_t mode : seen) {
        EXPECT_EQ(mode, 0600u);
    }
#endif
}

#ifndef _WIN32
// The ACL bytes of "user::rw-, user:nobody:rw-, group::r--, mask::rw-, other::---"
// as the kernel keeps them: version 2, then tag, permissions, id for each entry.
QByteArray nobodyMayWriteAcl() {
    QByteArray acl = littleEndian(2, 4);
    const struct {
        std::uint64_t tag, permissions, id;
    } entries[] = {{0x01, 6, 0xFFFFFFFF},
                   {0x02, 6, 65534},
                   {0x04, 4, 0xFFFFFFFF},
                   {0x10, 6, 0xFFFFFFFF},
                   {0x20, 0, 0xFFFFFFFF}};
    for (const auto& entry : entries) {
        acl += littleEndian(entry.tag, 2) + littleEndian(entry.permissions, 2) + littleEndian(entry.id, 4);
    }
    return acl;
}

QByteArray attributeOf(const QString& path, const char* name) {
    QByteArray value(4096, 0);
    const ssize_t got =
        ::getxattr(nameOf(path).constData(), name, value.data(), static_cast<std::size_t>(value.size()));
    return got < 0 ? QByteArray("(none)") : value.left(got);
}

#endif

TEST(WriteKeeps, ExtendedAttributesAndTheAcl) {
    if (PortableFileCode) {
        GTEST_SKIP() << "the portable file code cannot copy extended attributes";
    }
#ifndef _WIN32
    // /tmp may be a tmpfs without user attributes; /var/tmp is a disk's.
    std::unique_ptr<QTemporaryDir> dir;
    for (const QString& base : {QDir::tempPath(), QStringLiteral("/var/tmp")}) {
        auto candidate = std::make_unique<QTemporaryDir>(base + "/ampedit-xattr-XXXXXX");
        QFile probe(candidate->filePath("probe"));
        if (candidate->isValid() && probe.open(QIODevice::WriteOnly) &&
            ::setxattr(nameOf(probe.fileName()).constData(), "user.probe", "1", 1, 0) == 0) {
            dir = std::move(candidate);
            break;
        }
    }
    if (!dir) {
        GTEST_SKIP() << "no temporary folder here keeps user extended attributes";
    }
    const QString target = dir->filePath("m.amp");
    ASSERT_TRUE(putFile(target, pattern(700, 1)));
    ASSERT_EQ(::setxattr(nameOf(target).constData(), "user.note", "keepme", 6, 0), 0);
    const QByteArray acl = nobodyMayWriteAcl();
    const bool hasAcl = ::setxattr(nameOf(target).constData(), "system.posix_acl_access", acl.constData(),
                                   static_cast<std::size_t>(acl.size()), 0) == 0;
    const mode_t mode = statusOf(target).st_mode;

    const auto written = writeFileSafely(target, pattern(900, 2));
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_EQ(contentOf(target), pattern(900, 2));
    EXPECT_EQ(attributeOf(target, "user.note"), QByteArray("keepme"));
    EXPECT_EQ(statusOf(target).st_mode, mode);
    if (hasAcl) {
        EXPECT_EQ(attributeOf(target, "system.posix_acl_access"), acl);
    } else {
        std::printf("(the ACL part is skipped: this file system takes no POSIX ACL)\n");
    }
#endif
}

// A file bind-mounted over another cannot be renamed over: it is written in place.
TEST(WriteInPlace, ABindMountedFileIsWritten) {
#ifdef _WIN32
    GTEST_SKIP() << "bind-mounts a file, which Windows cannot";
#else
    QTemporaryDir dir;
    const QString source = dir.filePath("source.amp"), mounted = dir.filePath("mounted.amp");
    ASSERT_TRUE(putFile(source, pattern(400, 1)));
    ASSERT_TRUE(putFile(mounted, pattern(10, 2)));
    if (::mount(nameOf(source).constData(), nameOf(mounted).constData(), nullptr, MS_BIND, nullptr) != 0) {
        GTEST_SKIP() << "cannot bind-mount a file here (" << std::strerror(errno) << ")";
    }
    const auto written = writeFileSafely(mounted, pattern(800, 3));
    const auto seenThroughMount = contentOf(mounted);
    ::umount2(nameOf(mounted).constData(), MNT_DETACH);
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_EQ(written.value().way, WriteWay::InPlace);
    EXPECT_EQ(seenThroughMount, pattern(800, 3));
    EXPECT_EQ(contentOf(source), pattern(800, 3));
    EXPECT_EQ(contentOf(mounted), pattern(10, 2)) << "the file under the mount point is not touched";
#endif
}

// Neither a long name nor files planted at names an attacker can guess make the
// writer leave the replace way; leftovers of gone writers are removed, those of
// live ones kept.
TEST_F(MapFileIo, NoNameLengthOrPlantedFileTurnsTheWriterFromReplacing) {
    if (PortableFileCode) {
        GTEST_SKIP() << "the portable file code names its temporary files after the target (QSaveFile's way)";
    }
#ifndef _WIN32
    const QString longName =
        QString(82, QChar(0x5730)) + ".amp"; // 82 CJK letters of 3 bytes: a 250-byte name
    ASSERT_EQ(nameOf(longName).size(), 250);
    ASSERT_TRUE(putFile(path(longName), pattern(300, 1)));
    const auto longWritten = writeFileSafely(path(longName), pattern(301, 2));
    ASSERT_TRUE(longWritten.ok()) << longWritten.error().message;
    EXPECT_EQ(longWritten.value().way, WriteWay::Replaced);
    EXPECT_EQ(contentOf(path(longName)), pattern(301, 2));

    ASSERT_TRUE(putFile(path("m.amp"), pattern(300, 1)));
    QStringList planted;
    for (int i = 0; i < 100; ++i) {
        planted << QString(".m.amp.%1-%2.tmp").arg(::getpid()).arg(i);
        ASSERT_TRUE(putFile(path(planted.back()), {}));
    }
    // A leftover of a writer that is gone (nobody holds it), one of a live writer
    // (this test holds its lock), and one of the older writer's names whose
    // process is gone.
    ASSERT_TRUE(putFile(path(".ampedit-0123456789ab.tmp"), pattern(100, 7)));
    ASSERT_TRUE(putFile(path(".ampedit-livewriter00.tmp"), pattern(100, 7)));
    const int live = ::open(nameOf(path(".ampedit-livewriter00.tmp")).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ::waitpid(gone, nullptr, 0);
    ASSERT_TRUE(putFile(path(QString(".m.amp.%1-0.tmp").arg(gone)), pattern(100, 7)));

    const auto written = writeFileSafely(path("m.amp"), pattern(302, 3));
    ::close(live);
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_EQ(written.value().way, WriteWay::Replaced);
    EXPECT_EQ(contentOf(path("m.amp")), pattern(302, 3));
    QStringList expected = planted;
    expected << ".ampedit-livewriter00.tmp" << longName << "m.amp";
    expected.sort();
    EXPECT_EQ(entriesOf(dir_.path()), expected);
#endif
}

// A journal that does not hold together, or names another file, is left alone
// and writes nothing; a whole journal of this file's write cut short puts the old
// bytes back before the file is read or written again, and says so.
TEST_F(MapFileIo, AJournalLeftBehindIsPutBackFirstAndAHostileOneIsIgnored) {
    QStringList told;
    setRestoreNotice([&told](const QString& file, const JournalNotice& notice) {
        told << (notice.kind == JournalNotice::Kind::PutBack ? "put back " : "set aside ") + file;
    });
    const QString map = path("m.amp"), other = path("o.amp");
    const auto old = pattern(400, 7), torn = pattern(900, 8);
    ASSERT_TRUE(putFile(map, torn));
    ASSERT_TRUE(putFile(other, pattern(50, 9)));
    const QByteArray mapPath = nameOf(QFileInfo(map).canonicalFilePath());
    const QString data = dataHome->dir_.path();
    QByteArray truncated = journalBytes(mapPath, identityOf(map), old, torn);
    truncated.chop(1);
    QByteArray badMagic = journalBytes(mapPath, identityOf(map), old, torn);
    badMagic[0] = 'A';
    QByteArray huge = journalBytes(mapPath, identityOf(map), {1, 2, 3}, torn);
    huge.replace(42, 8, littleEndian(std::uint64_t{1} << 40, 8)); // the old length
    QByteArray firstVersion = journalBytes(mapPath, identityOf(map), old, torn);
    firstVersion[16] = '1'; // "ampedit journal 1": no proof of what it wrote
    const QByteArray hostile[] = {
        journalBytes(nameOf(QFileInfo(other).canonicalFilePath()), identityOf(other), old, torn), // another's
        journalBytes("m.amp", identityOf(map), old, torn), // not an absolute path
        journalBytes(mapPath + QByteArray("\0x", 2), identityOf(map), old, torn),
        truncated,
        badMagic,
        firstVersion,
        huge,
        QByteArray(),
        QByteArray(10, '\xff')};
    for (std::size_t i = 0; i < std::size(hostile); ++i) {
        ASSERT_TRUE(plantJournal(data, QString("hostile%1.journal").arg(i), hostile[i]));
    }
    ASSERT_TRUE(readMapFile(map).ok());
    EXPECT_EQ(readMapFile(map).value(), torn);
    EXPECT_EQ(contentOf(other), pattern(50, 9));
    EXPECT_EQ(told, QStringList{});
    EXPECT_EQ(entriesOf(journalFolderUnder(data)).size(), static_cast<qsizetype>(std::size(hostile)));

    // A whole, matching journal that another user owns or may write is not this
    // user's: its bytes never go into the file.
#ifndef _WIN32 // Windows keeps no permission bits: its folder's access list guards the journal
    const QString planted = journalFolderUnder(data) + "/planted.journal";
    ASSERT_TRUE(plantJournal(data, "planted.journal", journalBytes(mapPath, identityOf(map), old, torn)));
    ASSERT_TRUE(QFile::setPermissions(planted, QFile::ReadOwner | QFile::WriteOwner | QFile::WriteOther));
    EXPECT_EQ(readMapFile(map).value(), torn) << "a journal anybody may write";
    constexpr uid_t Nobody = 65534;
    if (::geteuid() == 0 && ::chown(nameOf(planted).constData(), Nobody, Nobody) == 0) {
        ASSERT_TRUE(QFile::setPermissions(planted, QFile::ReadOwner | QFile::WriteOwner));
        EXPECT_EQ(readMapFile(map).value(), torn) << "another user's journal";
    }
    EXPECT_EQ(told, QStringList{});
    QFile::remove(planted);
#endif

    ASSERT_TRUE(plantJournal(data, "cutshort.journal", journalBytes(mapPath, identityOf(map), old, torn)));
    EXPECT_EQ(readMapFile(map).value(), old);
    EXPECT_EQ(told, QStringList{"put back " + map});
    EXPECT_EQ(readMapFile(map).value(), old) << "put back once";
    EXPECT_EQ(told.size(), 1);
    EXPECT_FALSE(QFile::exists(journalFolderUnder(data) + "/cutshort.journal"));

    ASSERT_TRUE(putFile(map, torn));
    ASSERT_TRUE(plantJournal(data, "cutshort.journal", journalBytes(mapPath, identityOf(map), old, torn)));
    const auto grid = readFileAtMost(map, 1000);
    EXPECT_TRUE(grid.ok() && grid.value().restored && grid.value().bytes == old);
    ASSERT_TRUE(putFile(map, torn));
    ASSERT_TRUE(plantJournal(data, "cutshort.journal", journalBytes(mapPath, identityOf(map), old, torn)));
    const auto written = writeFileSafely(map, pattern(10, 1));
    EXPECT_TRUE(written.ok() && written.value().restored);
    EXPECT_EQ(contentOf(map), pattern(10, 1));
    EXPECT_EQ(told.size(), 3);
    setRestoreNotice({});
    for (std::size_t i = 0; i < std::size(hostile); ++i) {
        QFile::remove(journalFolderUnder(data) + QString("/hostile%1.journal").arg(i));
    }
}

// What a file holds when a journal of its write in place is found: the old
// bytes go back only onto that very write cut short, where every 4 KiB block
// holds the old bytes or the new ones (the write puts the new bytes from the
// start, a page at a time, then sets the length). Anything else was written by
// another program since: it stays, and the journal is set aside, never applied.
struct Found {
    const char* what;
    std::size_t oldSize, newSize;
    // The file as a run of pieces: (from the new bytes?, start, end).
    std::vector<std::tuple<bool, std::size_t, std::size_t>> pieces;
    bool putBack;
};

class JournalMatch : public MapFileIo, public testing::WithParamInterface<Found> {};

TEST_P(JournalMatch, PutsBackOnlyOntoItsOwnWrite) {
    const Found& found = GetParam();
    const auto old = pattern(found.oldSize, 7), fresh = pattern(found.newSize, 101);
    std::vector<std::uint8_t> file;
    for (const auto& [isNew, start, end] : found.pieces) {
        const auto& from = isNew ? fresh : old;
        file.insert(file.end(), from.begin() + static_cast<std::ptrdiff_t>(start),
                    from.begin() + static_cast<std::ptrdiff_t>(end));
    }
    const QString map = path("m.amp");
    ASSERT_TRUE(putFile(map, file));
    const QString data = dataHome->dir_.path();
    const QString journals = journalFolderUnder(data);
    ASSERT_TRUE(
        plantJournal(data, "w.journal",
                     journalBytes(nameOf(QFileInfo(map).canonicalFilePath()), identityOf(map), old, fresh)));
    QStringList told;
    setRestoreNotice([&told](const QString&, const JournalNotice& notice) {
        told << (notice.kind == JournalNotice::Kind::PutBack
                     ? QStringLiteral("put back")
                     : "set aside as " + QFile::decodeName(notice.journal.c_str()));
    });
    const auto read = readMapFile(map);
    setRestoreNotice({});
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(read.value(), found.putBack ? old : file);
    EXPECT_EQ(contentOf(map), found.putBack ? old : file);
    EXPECT_FALSE(QFile::exists(journals + "/w.journal"));
    EXPECT_EQ(told, found.putBack
                        ? QStringList{"put back"}
                        : QStringList{"set aside as " +
                                      QFileInfo(journals + "/w.journal-set-aside").canonicalFilePath()});
    EXPECT_EQ(readMapFile(map).value(), found.putBack ? old : file) << "a journal set aside is never applied";
    QFile::remove(journals + "/w.journal-set-aside");
}

INSTANTIATE_TEST_SUITE_P(
    Files, JournalMatch,
    testing::Values(
        Found{"the old bytes", 9000, 10000, {{false, 0, 9000}}, true},
        Found{"one new page", 9000, 10000, {{true, 0, 4096}, {false, 4096, 9000}}, true},
        Found{"two new pages", 9000, 10000, {{true, 0, 8192}, {false, 8192, 9000}}, true},
        Found{"every new byte", 9000, 10000, {{true, 0, 10000}}, true},
        Found{
            "shorter, before its length is set", 10000, 5000, {{true, 0, 5000}, {false, 5000, 10000}}, true},
        Found{"shorter, whole", 10000, 5000, {{true, 0, 5000}}, true},
        Found{"another program's map",
              9000,
              10000,
              {{false, 0, 10}, {true, 5000, 10000}, {false, 10, 4000}},
              false},
        Found{"new bytes but one page",
              9000,
              10000,
              {{true, 0, 4096}, {true, 4097, 8193}, {true, 8192, 10000}},
              false},
        Found{"shorter than both", 9000, 10000, {{true, 0, 4096}, {false, 4096, 8000}}, false},
        Found{"longer than both", 9000, 10000, {{true, 0, 10000}, {false, 0, 100}}, false},
        Found{"cut inside a page", 9000, 10000, {{true, 0, 100}, {false, 100, 9000}}, false},
        Found{"new pages after old ones",
              9000,
              10000,
              {{false, 0, 4096}, {true, 4096, 8192}, {false, 8192, 9000}},
              false},
        Found{"growing, up to a new page's end", 9000, 20000, {{true, 0, 12288}}, true},
        Found{"growing, not at a page's end", 9000, 20000, {{true, 0, 10000}}, false},
        Found{"the old bytes cut to the new length", 10000, 5000, {{false, 0, 5000}}, false}),
    [](const testing::TestParamInfo<Found>& info) {
        std::string name = info.param.what;
        std::replace_if(
            name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
            '_');
        return name;
    });

// A journal belongs to the file it was written for. One of another inode is never
// applied, nor set aside: that file may live on under another name. One of this
// inode but another birth time (a file system mounted anew that gave a new file
// the old inode) is set aside, even where the file holds just what the journal's
// write would leave.
TEST_F(MapFileIo, AJournalOfAnotherFileIsNeverApplied) {
    if (PortableFileCode) {
        GTEST_SKIP() << "the portable file code sees no inodes: it tells a file by its path and birth time";
    }
    const QString map = path("m.amp");
    const auto old = pattern(3000, 7), fresh = pattern(5000, 8);
    ASSERT_TRUE(putFile(map, fresh)); // what the journal's own write leaves, once whole
    const QString data = dataHome->dir_.path(), journals = journalFolderUnder(data);
    const QByteArray named = nameOf(QFileInfo(map).canonicalFilePath());
    int setAside = 0;
    setRestoreNotice([&setAside](const QString&, const JournalNotice& notice) {
        setAside += notice.kind == JournalNotice::Kind::SetAside ? 1 : 0;
    });
    FileIdentity other = identityOf(map);
    ++other.inode;
    ASSERT_TRUE(plantJournal(data, "other.journal", journalBytes(named, other, old, fresh)));
    EXPECT_EQ(readMapFile(map).value(), fresh);
    EXPECT_TRUE(QFile::exists(journals + "/other.journal")) << "kept for the file it belongs to";
    EXPECT_EQ(setAside, 0);
    QFile::remove(journals + "/other.journal");

    FileIdentity reborn = identityOf(map);
    if (reborn.birth != 0) {
        ++reborn.birth;
        ASSERT_TRUE(plantJournal(data, "reborn.journal", journalBytes(named, reborn, old, fresh)));
        EXPECT_EQ(readMapFile(map).value(), fresh);
        EXPECT_TRUE(QFile::exists(journals + "/reborn.journal-set-aside"));
        EXPECT_EQ(setAside, 1);
        QFile::remove(journals + "/reborn.journal-set-aside");
    }
    // The same journal with the file's own identity is put back: the file holds that write.
    ASSERT_TRUE(plantJournal(data, "own.journal", journalBytes(named, identityOf(map), old, fresh)));
    EXPECT_EQ(readMapFile(map).value(), old);
    setRestoreNotice({});
}

// A journal written for one name of a file with two (hard links) is found by the
// other name too: after another program put a new file at the first name, the
// second still gets its old bytes back, and the new file keeps its own.
TEST_F(MapFileIo, AJournalFollowsItsFileToItsOtherName) {
    if (PortableFileCode) {
        GTEST_SKIP() << "the portable file code cannot tell hard links";
    }
#ifndef _WIN32
    const QString first = path("m.amp"), second = path("m2.amp");
    const auto old = pattern(9000, 7), fresh = pattern(10000, 8), foreign = pattern(7000, 9);
    std::vector<std::uint8_t> torn(fresh.begin(), fresh.begin() + 4096);
    torn.insert(torn.end(), old.begin() + 4096, old.end());
    ASSERT_TRUE(putFile(first, torn));
    ASSERT_EQ(::link(nameOf(first).constData(), nameOf(second).constData()), 0);
    const QString data = dataHome->dir_.path();
    ASSERT_TRUE(plantJournal(
        data, "w.journal",
        journalBytes(nameOf(QFileInfo(first).canonicalFilePath()), identityOf(first), old, fresh)));
    ASSERT_TRUE(putFile(path("new.amp"), foreign));
    ASSERT_EQ(::rename(nameOf(path("new.amp")).constData(), nameOf(first).constData()), 0);
    EXPECT_EQ(readMapFile(first).value(), foreign);
    EXPECT_EQ(readMapFile(second).value(), old);
    EXPECT_EQ(contentOf(first), foreign);
#endif
}

// A reader waits for a write in place to end: while one program writes two
// whole maps in turn into a map it must write in place, every read of another
// gives one map or the other, never a mixture.
TEST_F(MapFileIo, AReaderNeverSeesAWriteInPlaceHalfDone) {
#ifdef _WIN32
    GTEST_SKIP() << "forks a writer while this process reads; Windows has no fork";
#else
    const QString map = path(PortableFileCode ? QString(246, 'r') + ".amp" : QStringLiteral("r.amp"));
    const auto first = pattern(MaxFileSize, 1), second = pattern(MaxFileSize, 2);
    ASSERT_TRUE(putFile(map, first));
    if (!PortableFileCode) {
        ASSERT_EQ(::link(nameOf(map).constData(), nameOf(path("r2.amp")).constData()), 0); // so: in place
    }
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        int failed = 0;
        for (int i = 0; i < 150; ++i) {
            const auto written = writeFileSafely(map, i % 2 == 0 ? second : first);
            if (!written.ok() || written.value().way != WriteWay::InPlace) {
                std::fprintf(stderr, "write %d: %s\n", i,
                             written.ok() ? "replaced, not in place" : written.error().message.c_str());
                ++failed;
            }
        }
        ::_exit(failed == 0 ? 0 : 1);
    }
    int reads = 0, mixtures = 0, failures = 0, status = 0;
    while (::waitpid(writer, &status, WNOHANG) == 0) {
        const auto read = readMapFile(map);
        ++reads;
        if (!read) {
            ++failures;
        } else if (read.value() != first && read.value() != second) {
            ++mixtures;
        }
    }
    std::printf("%d reads during 150 writes in place: %d mixtures, %d failed\n", reads, mixtures, failures);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "every write went in place and worked";
    EXPECT_GT(reads, 10);
    EXPECT_EQ(mixtures, 0);
    EXPECT_EQ(failures, 0);
#endif
}

// Written in place, a file costs its size on disk in the journal, never in memory;
// one larger than any map is refused and left as it was. It is written in place
// for a second hard link, or, in the portable file code (which cannot tell hard
// links), for a name of 250 bytes: one too long for QSaveFile's temporary name.
TEST_F(MapFileIo, AFileLargerThanAnyMapIsNotWrittenInPlace) {
#ifdef _WIN32
    GTEST_SKIP() << "the Windows file code's temporary name has a fixed length: no name of the map turns it "
                    "from replacing to writing in place";
#endif
    constexpr qint64 Gibibyte = qint64{1} << 30;
    const QString big = path(PortableFileCode ? QString(246, 'b') + ".amp" : QStringLiteral("big.amp"));
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(Gibibyte)); // sparse
    }
#ifndef _WIN32
    if (!PortableFileCode) {
        ASSERT_EQ(::link(nameOf(big).constData(), nameOf(path("big2.amp")).constData()), 0);
    }
#endif
    const auto written = writeFileSafely(big, pattern(100, 1));
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.error().message.find("larger than any map"), std::string::npos)
        << written.error().message;
    EXPECT_EQ(QFileInfo(big).size(), Gibibyte);
    ASSERT_TRUE(QFile::resize(big, 1000)); // a map's size: written in place, and its journal goes
    const auto small = writeFileSafely(big, pattern(100, 2));
    ASSERT_TRUE(small.ok()) << small.error().message;
    EXPECT_EQ(small.value().way, WriteWay::InPlace);
    EXPECT_EQ(contentOf(big), pattern(100, 2));
    EXPECT_EQ(entriesOf(journalFolderUnder(dataHome->dir_.path())), QStringList{});
}

INSTANTIATE_TEST_SUITE_P(Sizes, FailingWrite,
                         testing::Values(1047, 5000, 10000, 16383, 16384, 16385, 20000, 845332));

} // namespace
} // namespace amp
