// SPDX-License-Identifier: MIT
// The file calls with names as bytes: where they keep journals, and names that
// are not UTF-8.
#include "diskio.h"
#include "journalbytes.h"
#ifndef AMPEDIT_PORTABLE_IO_BUILD
#include "posixfile.h"
#endif

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>
#endif

namespace amp {
namespace {

#ifndef AMPEDIT_PORTABLE_IO_BUILD

// Sets an environment variable (unset for nullopt) for as long as it lives.
class Environment {
public:
    Environment(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* was = std::getenv(name)) {
            old_ = was;
        }
        set(value);
    }
    ~Environment() { set(old_); }
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

private:
    void set(const std::optional<std::string>& value) {
        value ? ::setenv(name_, value->c_str(), 1) : ::unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

// A finished write is not another writer's leftover: its temporary file stays
// locked through the rename, so a sweep of the folder at that very moment (a
// second program writing another map there) leaves it alone.
TEST(DiskIo, ASweepOfTheFolderNeverTakesAWriteThatIsFinishing) {
    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    platform::TemporaryFile temporary(folder, 0600);
    ASSERT_EQ(temporary.openError(), 0);
    const std::vector<std::uint8_t> bytes = {0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(platform::writeAllAt(temporary.fd(), bytes, 0), 0);
    const int error = temporary.commit(folder + "/m.amp", bytes.size(), false, [&folder] {
        platform::removeLeftoverTemporaries(folder, "other.amp");
    });
    EXPECT_EQ(error, 0) << std::strerror(error);
    EXPECT_EQ(diskio::readMapFile(folder + "/m.amp").value(), bytes);
}

// A journal one build cannot find is a torn file the other never puts back: the
// folder is where Qt keeps the user's data, whatever the variables say.
TEST(DiskIo, JournalsAreKeptWhereQtPutsTheUsersData) {
    struct Case {
        std::optional<std::string> xdg, home;
        std::string expected; // empty: no journal folder at all
    };
    const Case cases[] = {
        {"/data/x", "/home/u", "/data/x/ampedit/journal"},
        {"/data//x/", "/home/u", "/data//x//ampedit/journal"}, // as it stands
        {std::nullopt, "/home/u", "/home/u/.local/share/ampedit/journal"},
        {"", "/h//a/../b/./", "/h/b/.local/share/ampedit/journal"}, // empty means unset; HOME is cleaned
        {"relative/data", "/home/u", ""},
        {"./data", "/home/u", ""},
        {"", "relative", ""},
    };
    for (const Case& each : cases) {
        const Environment xdg("XDG_DATA_HOME", each.xdg), home("HOME", each.home);
        const QString qt = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        const std::string qtFolder =
            QDir::isAbsolutePath(qt) ? QFile::encodeName(qt + "/ampedit/journal").toStdString() : "";
        const std::string said = each.xdg.value_or("(unset)") + ", HOME " + each.home.value_or("(unset)");
        EXPECT_EQ(platform::journalFolder(), each.expected) << said;
        EXPECT_EQ(qtFolder, each.expected) << said << " (Qt)";
    }
    // Without HOME, the password database's home rather than "/".
    const Environment xdg("XDG_DATA_HOME", std::nullopt), home("HOME", std::nullopt);
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(platform::journalFolder(), std::string(user->pw_dir) + "/.local/share/ampedit/journal");
}

#endif

#ifndef _WIN32
std::vector<std::uint8_t> contentOf(const std::string& path) {
    std::vector<std::uint8_t> bytes(4096);
    const int fd = ::open(path.c_str(), O_RDONLY);
    const ssize_t got = fd >= 0 ? ::read(fd, bytes.data(), bytes.size()) : -1;
    if (fd >= 0) {
        ::close(fd);
    }
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}
#endif

// A file name is the system's bytes: one that is no UTF-8 is written, read,
// written in place and put back from its journal under that very name.
TEST(DiskIo, ANameThatIsNotUtf8KeepsItsBytes) {
    if (PortableFileCode) {
        GTEST_SKIP() << "the portable file code names files as QString, which holds only Unicode";
    }
#ifndef _WIN32
    QTemporaryDir dir;
    char* real = ::realpath(QFile::encodeName(dir.path()).constData(), nullptr);
    ASSERT_NE(real, nullptr);
    const std::string folder = real;
    std::free(real);
    const std::string map = folder + "/m\xff\xfe.amp", link = folder + "/l\xc3.amp";
    const std::vector<std::uint8_t> first = {1, 2, 3, 4, 5, 6, 7, 8}, second = {9, 9, 9, 9, 9, 9, 9};
    struct Removed { // QTemporaryDir cannot name these files to remove them
        const std::string& a;
        const std::string& b;
        ~Removed() { ::unlink(a.c_str()), ::unlink(b.c_str()); }
    } removed{map, link};

    ASSERT_TRUE(diskio::writeFileSafely(map, first).ok());
    EXPECT_EQ(contentOf(map), first);
    ASSERT_TRUE(diskio::readMapFile(map).ok());
    EXPECT_EQ(diskio::readMapFile(map).value(), first);
    ASSERT_EQ(::link(map.c_str(), link.c_str()), 0);
    const auto written = diskio::writeFileSafely(link, second);
    ASSERT_TRUE(written.ok()) << written.error().message;
    EXPECT_EQ(written.value().way, WriteWay::InPlace);
    EXPECT_EQ(contentOf(map), second);

    std::vector<std::string> told;
    diskio::setRestoreNotice([&told](const std::string& path, const JournalNotice& notice) {
        EXPECT_EQ(notice.kind, JournalNotice::Kind::PutBack);
        told.push_back(path);
    });
    const QString data = QFile::decodeName(qgetenv("XDG_DATA_HOME"));
    ASSERT_TRUE(plantJournal(data, "cut.journal",
                             journalBytes(QByteArray::fromStdString(map),
                                          identityOfName(QByteArray::fromStdString(map)), first, second)));
    const auto read = diskio::readFileAtMost(map, 100);
    diskio::setRestoreNotice({});
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE(read.value().restored);
    EXPECT_EQ(read.value().bytes, first);
    EXPECT_EQ(told, std::vector<std::string>{map});
#endif
}

} // namespace
} // namespace amp
