#include "filesizelimit.h"
#include "mapfileio.h"
#include "mapformat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

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

class MapFileIo : public testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(MapFileIo, ReplacesAFileWholeKeepingItsModeAndLinks) {
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
}

TEST_F(MapFileIo, ReadsNoMoreThanTheLargestMapNeeds) {
    {
        QFile file(path("big.amp"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(100 * 1000 * 1000)); // 100 MB, sparse: costs no disk
        QFile empty(path("empty.amp"));
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(readMapFile(path("big.amp")).ok());
    EXPECT_EQ(readMapFile(path("big.amp")).value().size(), 845332u);
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
    ASSERT_EQ(mkfifo(QFile::encodeName(path("pipe.amp")).constData(), 0600), 0);
    for (const QString& name : {path("missing.amp"), path("folder.amp"), path("pipe.amp"), QString()}) {
        const auto read = readMapFile(name); // a FIFO must not hang
        ASSERT_FALSE(read.ok()) << name.toStdString();
        EXPECT_EQ(read.error().kind, MapErrorKind::CannotOpen) << name.toStdString();
    }
    for (const QString& name : {path("folder.amp"), path("pipe.amp"), path("no/such/folder.amp"), QString()}) {
        const auto written = writeFileSafely(name, pattern(10, 1));
        ASSERT_FALSE(written.ok()) << name.toStdString();
        EXPECT_EQ(written.error().kind, MapErrorKind::CannotOpen) << name.toStdString();
        EXPECT_FALSE(written.error().message.empty());
    }
    EXPECT_TRUE(QFileInfo(path("folder.amp")).isDir());
    EXPECT_FALSE(QFileInfo(path("pipe.amp")).isFile()) << "the FIFO is still a FIFO";
}

// Sizes below, at and above Qt's 16 KiB write buffer, where a buffered write
// used to report success and leave a short file behind.
class FailingWrite : public testing::TestWithParam<std::size_t> {};

TEST_P(FailingWrite, LeavesTheOldFileAndSaysWhy) {
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
}

// The same on a real file system that is full: a small tmpfs, which needs root
// and a sandbox that allows mounting.
TEST_P(FailingWrite, OnAFullFileSystemLeavesTheOldFile) {
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
}

// A file system with no inode to spare: no temporary file can be made beside the
// map, so it is written in place; a write that does not fit puts the old bytes back.
TEST(WriteInPlace, WhenNoTemporaryFileCanBeMade) {
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
    EXPECT_NE(tooLarge.error().message.find("old content was put back"), std::string::npos) << tooLarge.error().message;
    EXPECT_EQ(afterTooLarge, pattern(1047, 9));
    EXPECT_EQ(left, QStringList{"m.amp"});
}

INSTANTIATE_TEST_SUITE_P(Sizes, FailingWrite,
                         testing::Values(1047, 5000, 10000, 16383, 16384, 16385, 20000, 845332));

} // namespace
} // namespace amp
