#include "filesizelimit.h"
#include "mapfileio.h"
#include "mapformat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace amp {
namespace {

std::vector<std::uint8_t> pattern(std::size_t size, int seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 31 + static_cast<std::size_t>(seed)) % 256);
    }
    return bytes;
}

class MapFileIo : public testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QStringList entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    }
    std::vector<std::uint8_t> read(const QString& name) const {
        auto bytes = readMapFile(path(name));
        EXPECT_TRUE(bytes.ok()) << name.toStdString();
        return bytes.ok() ? bytes.value() : std::vector<std::uint8_t>{};
    }
    QTemporaryDir dir_;
};

TEST_F(MapFileIo, ReplacesAFileWholeAndLeavesNothingBehind) {
    ASSERT_TRUE(writeMapFile(path("m.amp"), pattern(5000, 3)).ok());
    ASSERT_TRUE(writeMapFile(path("m.amp"), pattern(20, 1)).ok());
    EXPECT_EQ(read("m.amp"), pattern(20, 1)) << "no tail of the longer old file survives";
    EXPECT_EQ(entries(), QStringList{"m.amp"}) << "no temporary file is left";
}

TEST_F(MapFileIo, ReadsNoMoreThanTheLargestMapNeeds) {
    {
        QFile file(path("big.amp"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(100 * 1000 * 1000)); // 100 MB, sparse: costs no disk
        QFile empty(path("empty.amp"));
        ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(read("big.amp").size(), static_cast<std::size_t>(MaxFileSize));
    EXPECT_TRUE(read("empty.amp").empty());
}

TEST_F(MapFileIo, RefusesToReadWhatIsNotARegularFile) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.amp"));
    ASSERT_EQ(mkfifo(QFile::encodeName(path("pipe.amp")).constData(), 0600), 0);
    for (const QString& name : {path("missing.amp"), path("folder.amp"), path("pipe.amp"), QString()}) {
        const auto read = readMapFile(name); // a FIFO must not hang
        ASSERT_FALSE(read.ok()) << name.toStdString();
        EXPECT_EQ(read.error().kind, MapErrorKind::CannotOpen) << name.toStdString();
        EXPECT_FALSE(read.error().message.empty());
    }
}

TEST_F(MapFileIo, AFailedWriteLeavesTheOldFileByteForByte) {
    const auto old = pattern(MaxFileSize, 5);
    ASSERT_TRUE(writeMapFile(path("m.amp"), old).ok());
    {
        const FileSizeLimit diskFull(4096); // the new file breaks off after 4 KiB
        const auto written = writeMapFile(path("m.amp"), pattern(MaxFileSize, 9));
        ASSERT_FALSE(written.ok());
        EXPECT_EQ(written.error().kind, MapErrorKind::WriteError);
    }
    EXPECT_EQ(read("m.amp"), old);
    EXPECT_EQ(entries(), QStringList{"m.amp"}) << "the broken temporary file is removed";
}

} // namespace
} // namespace amp
