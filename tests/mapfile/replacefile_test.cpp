// SPDX-License-Identifier: MIT
// The one "replace this file by that one" call, names beyond ASCII, and on
// Windows the seam's own writer: a map another program holds open is refused
// with that reason and left as it was; the replace keeps the old file's
// attributes. Built on every system; the Windows cases run under Wine.
#include "mapfileio.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::vector<std::uint8_t> bytesOf(const char* text) {
    return {text, text + std::char_traits<char>::length(text)};
}

std::vector<std::uint8_t> contentOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray all = file.readAll();
    return {all.begin(), all.end()};
}

void put(const QString& path, const char* text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(text), static_cast<qint64>(std::char_traits<char>::length(text)));
}

QStringList entriesOf(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

TEST(ReplacingFiles, PutsTheFileAtAnExistingNameAndTheOldNameIsGone) {
    QTemporaryDir dir;
    const QString from = dir.filePath("new.amp"), to = dir.filePath("map.amp");
    put(from, "new bytes");
    put(to, "old bytes, longer ones");
    const amp::Status replaced = amp::replaceFile(from, to);
    ASSERT_TRUE(replaced.ok()) << replaced.error().message;
    EXPECT_EQ(contentOf(to), bytesOf("new bytes"));
    EXPECT_EQ(entriesOf(dir), QStringList{"map.amp"});
}

TEST(ReplacingFiles, PutsTheFileAtANewName) {
    QTemporaryDir dir;
    put(dir.filePath("a.amprec"), "copy");
    ASSERT_TRUE(amp::replaceFile(dir.filePath("a.amprec"), dir.filePath("a.amprec.broken")).ok());
    EXPECT_EQ(entriesOf(dir), QStringList{"a.amprec.broken"});
    EXPECT_EQ(contentOf(dir.filePath("a.amprec.broken")), bytesOf("copy"));
}

TEST(ReplacingFiles, AMissingFileIsRefusedAndTheTargetStays) {
    QTemporaryDir dir;
    put(dir.filePath("map.amp"), "old");
    const amp::Status replaced = amp::replaceFile(dir.filePath("gone.amp"), dir.filePath("map.amp"));
    ASSERT_FALSE(replaced.ok());
    EXPECT_EQ(replaced.error().kind, amp::MapErrorKind::WriteError);
    EXPECT_NE(replaced.error().message.find("map.amp"), std::string::npos) << replaced.error().message;
    EXPECT_EQ(contentOf(dir.filePath("map.amp")), bytesOf("old"));
}

// Names beyond ASCII reach the system whole (on Windows as UTF-16): the file in
// the folder has exactly that name, written again it is replaced, and read back.
TEST(FileNames, LettersBeyondAsciiNameTheFileItself) {
    for (const QString& name :
         {QStringLiteral("\u00DCrd\u00FCn-Kampagne.amp"), QStringLiteral("\u5730\u56F3.amp")}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        for (const char* text : {"first", "second write"}) {
            const auto written = amp::writeFileSafely(path, bytesOf(text));
            ASSERT_TRUE(written.ok()) << written.error().message;
            EXPECT_EQ(written.value().way, amp::WriteWay::Replaced);
            EXPECT_EQ(entriesOf(dir), QStringList{name});
            const auto read = amp::readFileAtMost(path, 100);
            ASSERT_TRUE(read.ok()) << read.error().message;
            EXPECT_EQ(read.value().bytes, bytesOf(text));
        }
        put(dir.filePath("other.amp"), "other");
        ASSERT_TRUE(amp::replaceFile(dir.filePath("other.amp"), path).ok());
        EXPECT_EQ(contentOf(path), bytesOf("other"));
    }
}

#ifdef _WIN32

std::wstring wide(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

// Another program with the map open, sharing it as `share` says; gone with the object.
class HeldOpen {
public:
    HeldOpen(const QString& path, DWORD access, DWORD share)
        : handle_(CreateFileW(wide(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldOpen() { close(); }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    void close() {
        if (isOpen()) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE handle_;
};

struct Holding {
    const char* who;
    DWORD access;
    DWORD share;
};

// The game holds its map open with no sharing at all; an editor may share it for
// reading only. Either way the write is refused with the cause, the bytes on disk
// stay, no temporary file is left, and once the file is let go the same write
// goes through.
TEST(WindowsSeam, AMapAnotherProgramHoldsOpenIsRefusedWithThatReasonAndLeftAsItWas) {
    for (const Holding holding : {Holding{"no sharing", GENERIC_READ, 0},
                                  Holding{"shared for reading", GENERIC_READ, FILE_SHARE_READ}}) {
        SCOPED_TRACE(holding.who);
        QTemporaryDir dir;
        const QString map = dir.filePath("Kampagne.amp");
        put(map, "the map as the game has it");
        HeldOpen other(map, holding.access, holding.share);
        ASSERT_TRUE(other.isOpen());
        const auto refused = amp::writeFileSafely(map, bytesOf("the edited map"));
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.error().kind, amp::MapErrorKind::WriteError);
        EXPECT_NE(refused.error().message.find("another program has it open"), std::string::npos)
            << refused.error().message;
        EXPECT_NE(refused.error().message.find("Kampagne.amp"), std::string::npos);
        other.close();
        EXPECT_EQ(contentOf(map), bytesOf("the map as the game has it"));
        EXPECT_EQ(entriesOf(dir), QStringList{"Kampagne.amp"});
        const auto written = amp::writeFileSafely(map, bytesOf("the edited map"));
        ASSERT_TRUE(written.ok()) << written.error().message;
        EXPECT_EQ(written.value().way, amp::WriteWay::Replaced);
        EXPECT_EQ(contentOf(map), bytesOf("the edited map"));
    }
}

// A reader that shares the file for writing and deleting (as most do) is no
// obstacle: the map is replaced under it.
TEST(WindowsSeam, AReaderThatSharesTheFileDoesNotStopAWrite) {
    QTemporaryDir dir;
    const QString map = dir.filePath("map.amp");
    put(map, "old");
    HeldOpen reader(map, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(reader.isOpen());
    const auto written = amp::writeFileSafely(map, bytesOf("new"));
    ASSERT_TRUE(written.ok()) << written.error().message;
    reader.close();
    EXPECT_EQ(contentOf(map), bytesOf("new"));
}

// The replace keeps what the old file carried: a hidden map stays hidden.
TEST(WindowsSeam, AReplacedMapKeepsItsAttributes) {
    QTemporaryDir dir;
    const QString map = dir.filePath("map.amp");
    put(map, "old");
    ASSERT_TRUE(SetFileAttributesW(wide(map).c_str(), FILE_ATTRIBUTE_HIDDEN));
    const auto written = amp::writeFileSafely(map, bytesOf("new content"));
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_EQ(written.value().way, amp::WriteWay::Replaced);
    EXPECT_EQ(contentOf(map), bytesOf("new content"));
    const DWORD attributes = GetFileAttributesW(wide(map).c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
}

// std::rename refuses an existing target on Windows: the reason replaceFile exists.
TEST(WindowsSeam, ReplacingTheFileAnotherProgramHoldsIsRefusedAsSuch) {
    QTemporaryDir dir;
    put(dir.filePath("new.amp"), "new");
    put(dir.filePath("map.amp"), "old");
    HeldOpen other(dir.filePath("map.amp"), GENERIC_READ, 0);
    ASSERT_TRUE(other.isOpen());
    const amp::Status replaced = amp::replaceFile(dir.filePath("new.amp"), dir.filePath("map.amp"));
    ASSERT_FALSE(replaced.ok());
    EXPECT_NE(replaced.error().message.find("another program has it open"), std::string::npos)
        << replaced.error().message;
    other.close();
    EXPECT_EQ(contentOf(dir.filePath("map.amp")), bytesOf("old"));
    EXPECT_EQ(contentOf(dir.filePath("new.amp")), bytesOf("new"));
}

// Messages name a file as Windows writes it, with backslashes.
TEST(WindowsSeam, MessagesNameTheFileWithBackslashes) {
    QTemporaryDir dir;
    const QString missing = dir.path() + "/no such folder/map.amp";
    const auto read = amp::readMapFile(missing);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().message.rfind(QDir::toNativeSeparators(missing).toStdString(), 0), 0u)
        << read.error().message;
}

#endif

} // namespace
