#include "mapfileio.h"
#include "mapformat.h"
#include "filesizelimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace amp {
namespace {

std::vector<std::uint8_t> pattern(std::size_t size, int seed = 1) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 31 + static_cast<std::size_t>(seed)) % 256);
    }
    return bytes;
}

std::vector<std::uint8_t> contentOf(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray all = file.readAll();
    return {all.begin(), all.end()};
}

void put(const QString& path, const std::vector<std::uint8_t>& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

class MapFileIo : public testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QStringList entries() const { return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System); }
    QTemporaryDir dir_;
};

TEST_F(MapFileIo, WritesAndReadsBackUnderAnyFileName) {
    const QString names[] = {"map.amp", "a map with spaces.amp", QString::fromUtf8("Kärte Ωmega 地図.amp"),
                             QString(200, 'x') + ".amp"};
    for (const auto& name : names) {
        const auto bytes = pattern(1047);
        ASSERT_TRUE(writeMapFile(path(name), bytes).ok()) << name.toStdString();
        const auto read = readMapFile(path(name));
        ASSERT_TRUE(read.ok()) << name.toStdString();
        EXPECT_EQ(read.value(), bytes);
    }
}

TEST_F(MapFileIo, ReplacesAnExistingFileWhole) {
    put(path("m.amp"), pattern(5000, 3));
    ASSERT_TRUE(writeMapFile(path("m.amp"), pattern(20)).ok());
    EXPECT_EQ(contentOf(path("m.amp")), pattern(20)) << "no tail of the longer old file survives";
    EXPECT_EQ(entries(), QStringList{"m.amp"}) << "no temporary file is left";
}

TEST_F(MapFileIo, ReadsNoMoreThanTheLargestMapNeeds) {
    const QString big = path("big.amp");
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(100 * 1000 * 1000)); // sparse: costs no disk
    }
    const auto read = readMapFile(big);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value().size(), static_cast<std::size_t>(MaxFileSize));

    put(path("empty.amp"), {});
    ASSERT_TRUE(readMapFile(path("empty.amp")).ok());
    EXPECT_TRUE(readMapFile(path("empty.amp")).value().empty());
}

TEST_F(MapFileIo, RefusesToReadWhatIsNotARegularFile) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.amp"));
    ASSERT_EQ(mkfifo(path("pipe.amp").toLocal8Bit().constData(), 0600), 0);
    for (const auto& name : {QString("missing.amp"), QString("folder.amp"), QString("pipe.amp"), QString()}) {
        const auto read = readMapFile(name.isEmpty() ? QString() : path(name)); // a FIFO must not hang
        ASSERT_FALSE(read.ok()) << name.toStdString();
        EXPECT_EQ(read.error().kind, MapErrorKind::CannotOpen) << name.toStdString();
        EXPECT_FALSE(read.error().message.empty());
    }
}

TEST_F(MapFileIo, RefusesToWriteOverWhatIsNotARegularFile) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.amp"));
    ASSERT_EQ(mkfifo(path("pipe.amp").toLocal8Bit().constData(), 0600), 0);
    for (const auto& name : {QString("folder.amp"), QString("pipe.amp"), QString("no such folder/m.amp")}) {
        const auto written = writeMapFile(path(name), pattern(100));
        ASSERT_FALSE(written.ok()) << name.toStdString();
        EXPECT_EQ(written.error().kind, MapErrorKind::CannotOpen) << name.toStdString();
    }
    struct stat info {};
    ASSERT_EQ(stat(path("pipe.amp").toLocal8Bit().constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the FIFO still stands";
    EXPECT_TRUE(QFileInfo(path("folder.amp")).isDir());
    EXPECT_EQ(entries().size(), 2) << "nothing else was made";
}

TEST_F(MapFileIo, AFailedWriteLeavesTheOldFileByteForByte) {
    const auto old = pattern(MaxFileSize, 5);
    put(path("m.amp"), old);
    {
        const FileSizeLimit limit(4096); // the new file breaks off after 4 KiB
        const auto written = writeMapFile(path("m.amp"), pattern(MaxFileSize, 9));
        ASSERT_FALSE(written.ok());
        EXPECT_EQ(written.error().kind, MapErrorKind::WriteError);
    }
    EXPECT_EQ(contentOf(path("m.amp")), old);
    EXPECT_EQ(entries(), QStringList{"m.amp"}) << "the broken temporary file is removed";
}

TEST_F(MapFileIo, WritesThroughASymbolicLinkAndKeepsTheLink) {
    put(path("target.amp"), pattern(30, 1));
    ASSERT_TRUE(QFile::link(path("target.amp"), path("link.amp")));
    ASSERT_TRUE(writeMapFile(path("link.amp"), pattern(40, 2)).ok());
    EXPECT_TRUE(QFileInfo(path("link.amp")).isSymLink());
    EXPECT_EQ(contentOf(path("target.amp")), pattern(40, 2));
    EXPECT_EQ(readMapFile(path("link.amp")).value(), pattern(40, 2));
}

} // namespace
} // namespace amp
