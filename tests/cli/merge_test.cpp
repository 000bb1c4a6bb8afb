// SPDX-License-Identifier: MIT
// Runs of the real amptool for merging: `amptool merge` over maps written byte by
// byte (its lines, summary, json, exit status, what it writes and what it
// leaves alone, the conflict list of --git), the text `export --format lines`
// gives git diff, and git itself in a repository made here: git-setup's
// configuration, a clean `git merge`, a conflicting one, a one-line `git diff`.
#include "mapfileio.h"
#include "shellrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A map of the shape: header 7 0 COLUMNS 0 ROWS 0 H, then the records in file
// order, each the listed bytes and zeros after them.
Bytes mapOf(int columns, int rows, int lastHeaderByte, const std::vector<std::vector<int>>& records) {
    Bytes bytes = {7,
                   0,
                   static_cast<std::uint8_t>(columns),
                   0,
                   static_cast<std::uint8_t>(rows),
                   0,
                   static_cast<std::uint8_t>(lastHeaderByte)};
    for (const auto& record : records) {
        for (int j = 0; j < 13; ++j) {
            bytes.push_back(static_cast<std::uint8_t>(j < static_cast<int>(record.size()) ? record[j] : 0));
        }
    }
    return bytes;
}

// 2 x 2: the records are [0][0], [0][1], [1][0], [1][1].
Bytes map2x2(int lastHeaderByte, const std::vector<std::vector<int>>& records) {
    return mapOf(2, 2, lastHeaderByte, records);
}

const Bytes Base = map2x2(1, {{1}, {2}, {3}, {4}});
// Ours: header byte 6, roads of [0][1], terrain of [1][1].
const Bytes Ours = map2x2(2, {{1}, {2, 0, 0, 0, 0, 0, 9}, {3}, {40}});
// Theirs: header byte 6, terrain of [1][0], terrain and byte 2 of [1][1].
const Bytes Theirs = map2x2(3, {{1}, {2}, {30}, {41, 0, 5}});
// By the rule: header byte 6 and [1][1]'s terrain conflict and keep ours.
const Bytes Merged = map2x2(2, {{1}, {2, 0, 0, 0, 0, 0, 9}, {30}, {40, 0, 5}});

class AmptoolMerge : public testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        put("base.amp", Base);
        put("ours.amp", Ours);
        put("theirs.amp", Theirs);
    }
    void put(const char* name, const Bytes& bytes) {
        ASSERT_TRUE(amp::writeFileSafely(dir.filePath(name), bytes).ok());
    }
    Bytes bytesOf(const char* name) {
        auto read = amp::readMapFile(dir.filePath(name));
        return read ? read.value() : Bytes{};
    }
    bool exists(const char* name) { return QFile::exists(dir.filePath(name)); }
    Outcome amptool(const std::string& words) {
        return runShell(dir, "cd '" + dir.path().toStdString() + "' && " AMPTOOL_PATH " " + words);
    }
    QTemporaryDir dir;
};

TEST_F(AmptoolMerge, WritesOverOursAndTellsEachConflict) {
    const Outcome run = amptool("merge base.amp ours.amp theirs.amp");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "ours.amp: header byte 6: base 1, ours 2, theirs 3\n"
                       "ours.amp:1,1: Terraintype: base 4, ours 40, theirs 41\n"
                       "merged 2 hexes from theirs, 2 conflicts\n");
    EXPECT_EQ(bytesOf("ours.amp"), Merged);
    EXPECT_EQ(bytesOf("base.amp"), Base);
    EXPECT_EQ(bytesOf("theirs.amp"), Theirs);
}

TEST_F(AmptoolMerge, WritesToOutOrStandardOutputAndExitsZeroWhenClean) {
    // Theirs changes only what ours left alone: clean.
    put("theirs2.amp", map2x2(1, {{1}, {2}, {30}, {4, 0, 5}}));
    const Outcome clean = amptool("merge base.amp ours.amp theirs2.amp -o out.amp");
    EXPECT_EQ(clean.status, 0) << clean.err;
    EXPECT_EQ(clean.out, "merged 2 hexes from theirs, 0 conflicts\n");
    EXPECT_EQ(bytesOf("out.amp"), map2x2(2, {{1}, {2, 0, 0, 0, 0, 0, 9}, {30}, {40, 0, 5}}));
    EXPECT_EQ(bytesOf("ours.amp"), Ours);

    // One hex from theirs and one conflict, in the singular.
    put("theirs3.amp", map2x2(1, {{1}, {2}, {3}, {41}}));
    EXPECT_EQ(
        amptool("merge base.amp ours.amp theirs3.amp -o out3.amp").out,
        "out3.amp:1,1: Terraintype: base 4, ours 40, theirs 41\nmerged 0 hexes from theirs, 1 conflict\n");
    put("theirs4.amp", map2x2(1, {{1}, {2}, {8}, {4}}));
    EXPECT_EQ(amptool("merge base.amp ours.amp theirs4.amp -o out4.amp").out,
              "merged 1 hex from theirs, 0 conflicts\n");

    // -o -: the map on standard output, the lines on standard error.
    const Outcome piped = amptool("merge base.amp ours.amp theirs.amp -o -");
    EXPECT_EQ(piped.status, 1);
    EXPECT_EQ(Bytes(piped.out.begin(), piped.out.end()), Merged);
    EXPECT_NE(piped.err.find("-:1,1: Terraintype: base 4, ours 40, theirs 41\n"), std::string::npos)
        << piped.err;
    EXPECT_EQ(bytesOf("ours.amp"), Ours);
}

TEST_F(AmptoolMerge, JsonGivesTheSameAsOneObject) {
    const Outcome run = amptool("merge base.amp ours.amp theirs.amp -o out.amp --format json");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "{\"output\":\"out.amp\",\"conflicts\":[{\"header\":6,\"base\":1,\"ours\":2,\"theirs\":3},"
              "{\"column\":1,\"row\":1,\"layer\":0,\"name\":\"Terraintype\",\"base\":4,\"ours\":40,"
              "\"theirs\":41}],\"shape\":\"same\",\"hexesFromTheirs\":2,\"conflictHexes\":1,"
              "\"clean\":false}\n");
    EXPECT_EQ(bytesOf("out.amp"), Merged);
}

TEST_F(AmptoolMerge, AHexRemovedByOneSideAndChangedByTheOtherIsTold) {
    // Theirs drops row 1 (2 x 1: [0][0], [1][0]); ours changed [0][1] and [1][1].
    put("short.amp", mapOf(2, 1, 1, {{1}, {3}}));
    const Outcome run = amptool("merge base.amp ours.amp short.amp -o out.amp");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "out.amp:0,1: roads: base 0, ours 9, theirs removed\n"
                       "out.amp:1,1: Terraintype: base 4, ours 40, theirs removed\n"
                       "merged 0 hexes from theirs, 2 conflicts\n");
    EXPECT_EQ(bytesOf("out.amp"), mapOf(2, 1, 2, {{1}, {3}}));
}

TEST_F(AmptoolMerge, ErrorsExitTwoAndWriteNothing) {
    // Both sides resized, each differently: 3 x 2 and 2 x 3 from 2 x 2.
    put("wide.amp", Bytes{7, 0, 3, 0, 2, 0, 1});
    put("tall.amp", Bytes{7, 0, 2, 0, 3, 0, 1});
    const Outcome refused = amptool("merge base.amp wide.amp tall.amp -o out.amp");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("amptool: merge: "), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("base 2 x 2, ours 3 x 2, theirs 2 x 3"), std::string::npos) << refused.err;
    EXPECT_FALSE(exists("out.amp"));
    EXPECT_EQ(amptool("merge base.amp wide.amp tall.amp").status, 2);
    EXPECT_EQ(bytesOf("wide.amp"), (Bytes{7, 0, 3, 0, 2, 0, 1}));

    const Outcome missing = amptool("merge base.amp ours.amp nothing.amp");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(bytesOf("ours.amp"), Ours);
    EXPECT_EQ(amptool("merge base.amp ours.amp").status, 2);
    EXPECT_EQ(amptool("merge base.amp ours.amp theirs.amp --format xml -o out.amp").status, 2);
    // The output may replace ours, never base or theirs.
    EXPECT_EQ(amptool("merge base.amp ours.amp theirs.amp -o theirs.amp").status, 2);
    EXPECT_EQ(bytesOf("theirs.amp"), Theirs);
    EXPECT_EQ(bytesOf("ours.amp"), Ours);
    EXPECT_FALSE(exists("out.amp"));
    // A side that is no map (empty, or larger than any map) is a file error, not
    // the status of a merge with conflicts.
    put("empty.amp", Bytes{});
    EXPECT_EQ(amptool("merge base.amp empty.amp theirs.amp -o out.amp").status, 2);
    put("huge.amp", Bytes(900000, 1));
    EXPECT_EQ(amptool("merge base.amp ours.amp huge.amp -o out.amp").status, 2);
    EXPECT_FALSE(exists("out.amp"));
}

TEST_F(AmptoolMerge, AShortSideIsToldAsItsMissingHexesMergeAsZeros) {
    // Ours keeps only its first record: the three it lacks read as zeros, a
    // change from base that the merge takes, and says so.
    put("short.amp", Bytes(Ours.begin(), Ours.begin() + 7 + 13));
    const Outcome run = amptool("merge base.amp short.amp base.amp -o out.amp");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("short.amp: note: the file holds 1 of the 4 hexes"), std::string::npos) << run.err;
    EXPECT_EQ(bytesOf("out.amp"), map2x2(2, {{1}, {0}, {0}, {0}}));
}

TEST_F(AmptoolMerge, GitModeListsConflictsBesideTheMapAndACleanMergeRemovesThem) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("maps"));
    const Outcome run = amptool("merge --git base.amp ours.amp theirs.amp maps/m.amp");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(bytesOf("ours.amp"), Merged);
    const std::string lines = "maps/m.amp: header byte 6: base 1, ours 2, theirs 3\n"
                              "maps/m.amp:1,1: Terraintype: base 4, ours 40, theirs 41\n"
                              "merged 2 hexes from theirs, 2 conflicts\n";
    EXPECT_EQ(run.out, lines);
    QFile list(dir.filePath("maps/m.amp.conflicts"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll().toStdString(), lines);
    list.close();
    // A merged map that cannot be written leaves the list as it was.
    ASSERT_TRUE(QDir(dir.path()).mkpath("folder.amp"));
    EXPECT_EQ(amptool("merge --git base.amp ours.amp theirs.amp maps/m.amp -o folder.amp").status, 2);
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll().toStdString(), lines);
    list.close();

    put("ours2.amp", Ours);
    const Outcome clean = amptool("merge --git base.amp ours2.amp base.amp maps/m.amp");
    EXPECT_EQ(clean.status, 0) << clean.err;
    EXPECT_FALSE(exists("maps/m.amp.conflicts"));
    EXPECT_EQ(bytesOf("ours2.amp"), Ours);
    // git always gives the path: without it the words are wrong.
    EXPECT_EQ(amptool("merge --git base.amp ours2.amp base.amp").status, 2);
#ifndef _WIN32
    // A link planted where the list goes is replaced, never written through.
    put("precious.txt", Bytes{'k', 'e', 'e', 'p'});
    ASSERT_TRUE(QFile::link(dir.filePath("precious.txt"), dir.filePath("maps/m.amp.conflicts")));
    put("ours3.amp", Ours);
    EXPECT_EQ(amptool("merge --git base.amp ours3.amp theirs.amp maps/m.amp").status, 1);
    QFile precious(dir.filePath("precious.txt"));
    ASSERT_TRUE(precious.open(QIODevice::ReadOnly));
    EXPECT_EQ(precious.readAll(), QByteArray("keep"));
    EXPECT_FALSE(QFileInfo(dir.filePath("maps/m.amp.conflicts")).isSymLink());
#endif
}

TEST_F(AmptoolMerge, LinesGiveTheHeaderThenOneLinePerHex) {
    const Outcome run = amptool("export --format lines theirs.amp");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "header 7 0 2 0 2 0 3 (2 x 2 hexes)\n"
                       "hex 0,0: 1 0 0 0 0 0 0 0 0 0 0 0 0\n"
                       "hex 0,1: 2 0 0 0 0 0 0 0 0 0 0 0 0\n"
                       "hex 1,0: 30 0 0 0 0 0 0 0 0 0 0 0 0\n"
                       "hex 1,1: 41 0 5 0 0 0 0 0 0 0 0 0 0\n");
    // A short file: its size is told, its missing hexes are zeros.
    put("short.amp", Bytes{7, 0, 1, 0, 2, 0, 0, 255, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    EXPECT_EQ(amptool("export short.amp --format lines").out, "header 7 0 1 0 2 0 0 (1 x 2 hexes)\n"
                                                              "file 20 bytes, the map's 33\n"
                                                              "hex 0,0: 255 1 2 3 4 5 6 7 8 9 10 11 12\n"
                                                              "hex 0,1: 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
    EXPECT_EQ(amptool("export theirs.amp --format lines --layer 0").status, 2);
}

// A git repository in the test's folder, with git's global and system
// configuration kept out (HOME and GIT_CONFIG_GLOBAL point into the folder),
// set up by a copy of amptool in a folder whose name has a space.
class GitWithMaps : public testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "runs git through a POSIX shell, which the Windows test build lacks";
#endif
        if (runShell(dir, "git --version").status != 0) {
            GTEST_SKIP() << "git is not installed";
        }
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        ASSERT_TRUE(QDir(dir.path()).mkpath("tool folder"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("repo"));
        tool = dir.filePath("tool folder/amptool").toStdString();
        std::filesystem::copy_file(AMPTOOL_PATH, tool);
        std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
        ASSERT_EQ(git("git init -q -b main . && git config user.name Tester && "
                      "git config user.email tester@example.com")
                      .status,
                  0);
        const Outcome setup = git("'" + tool + "' git-setup");
        ASSERT_EQ(setup.status, 0) << setup.err;
        setupSaid = setup.out;
    }
    Outcome git(const std::string& commands) {
        const std::string folder = dir.path().toStdString();
        return runShell(dir, "(export HOME='" + folder + "' GIT_CONFIG_GLOBAL='" + folder +
                                 "/global.gitconfig' GIT_CONFIG_NOSYSTEM=1 && cd '" + folder + "/repo' && " +
                                 commands + ")");
    }
    void put(const char* name, const Bytes& bytes) {
        ASSERT_TRUE(amp::writeFileSafely(dir.filePath(QString("repo/") + name), bytes).ok());
    }
    Bytes bytesOf(const char* name) {
        auto read = amp::readMapFile(dir.filePath(QString("repo/") + name));
        return read ? read.value() : Bytes{};
    }
    // Commits the map as it stands on the branch checked out.
    void commit(const Bytes& map, const char* message) {
        put("map.amp", map);
        const Outcome done = git(std::string("git add -A && git commit -q -m '") + message + "'");
        ASSERT_EQ(done.status, 0) << done.err;
    }
    QTemporaryDir dir;
    std::string tool;
    std::string setupSaid;
};

TEST_F(GitWithMaps, SetupWritesTheDriversWithAmptoolsPathAndTheAttributesOnce) {
    const std::string driver = "'" + tool + "' merge --git %O %A %B %P";
    EXPECT_NE(setupSaid.find("merge.ampmap.driver"), std::string::npos) << setupSaid;
    EXPECT_EQ(git("git config merge.ampmap.driver").out, driver + "\n");
    EXPECT_EQ(git("git config diff.ampmap.textconv").out, "'" + tool + "' export --format lines\n");
    EXPECT_EQ(git("git config merge.ampmap.name").status, 0);
    // Run again: the attributes line is not added twice.
    ASSERT_EQ(git("'" + tool + "' git-setup").status, 0);
    QFile attributes(dir.filePath("repo/.gitattributes"));
    ASSERT_TRUE(attributes.open(QIODevice::ReadOnly));
    EXPECT_EQ(attributes.readAll().toStdString(), "*.amp merge=ampmap diff=ampmap\n");
    EXPECT_FALSE(QFile::exists(dir.filePath("global.gitconfig")));

    // --global: the user's configuration (here the test's), and the line to add is said.
    const Outcome global = git("'" + tool + "' git-setup --global");
    EXPECT_EQ(global.status, 0) << global.err;
    EXPECT_NE(global.out.find("*.amp merge=ampmap diff=ampmap"), std::string::npos) << global.out;
    EXPECT_EQ(git("git config --global merge.ampmap.driver").out, driver + "\n");

    // Outside any repository, without --global, nothing is written.
    const Outcome outside = runShell(dir, "cd / && GIT_CONFIG_GLOBAL=/nonexistent '" + tool + "' git-setup");
    EXPECT_EQ(outside.status, 2);
    EXPECT_NE(outside.err.find("no git repository"), std::string::npos) << outside.err;
}

TEST_F(GitWithMaps, BranchesChangingDifferentHexesMergeByteExactly) {
    commit(Base, "base");
    ASSERT_EQ(git("git checkout -q -b other").status, 0);
    commit(map2x2(1, {{1}, {2}, {30}, {4}}), "theirs");
    ASSERT_EQ(git("git checkout -q main").status, 0);
    commit(map2x2(1, {{1, 0, 0, 0, 7}, {2}, {3}, {4}}), "ours");
    const Outcome merged = git("git merge -q --no-edit other");
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_EQ(bytesOf("map.amp"), map2x2(1, {{1, 0, 0, 0, 7}, {2}, {30}, {4}}));
    EXPECT_EQ(git("git status --porcelain").out, "");
    EXPECT_FALSE(QFile::exists(dir.filePath("repo/map.amp.conflicts")));
}

TEST_F(GitWithMaps, BranchesChangingTheSameHexStopWithTheHexListed) {
    commit(Base, "base");
    ASSERT_EQ(git("git checkout -q -b other").status, 0);
    commit(map2x2(1, {{1}, {2}, {33}, {4}}), "theirs");
    ASSERT_EQ(git("git checkout -q main").status, 0);
    commit(map2x2(1, {{1}, {2}, {31}, {4}}), "ours");
    const Outcome merged = git("git merge -q --no-edit other");
    EXPECT_NE(merged.status, 0);
    EXPECT_NE(git("git status --porcelain").out.find("UU map.amp"), std::string::npos);
    // The map holds ours at the conflict; the list beside it names the hex.
    EXPECT_EQ(bytesOf("map.amp"), map2x2(1, {{1}, {2}, {31}, {4}}));
    QFile list(dir.filePath("repo/map.amp.conflicts"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll().toStdString(), "map.amp:1,0: Terraintype: base 3, ours 31, theirs 33\n"
                                            "merged 0 hexes from theirs, 1 conflict\n");
}

TEST_F(GitWithMaps, DiffOfAOneHexEditIsOneChangedLine) {
    commit(Base, "base");
    put("map.amp", map2x2(1, {{1}, {2}, {3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 200}, {4}}));
    const Outcome diff = git("git diff --no-color");
    EXPECT_EQ(diff.status, 0) << diff.err;
    std::vector<std::string> changed;
    for (std::size_t at = 0; at < diff.out.size();) {
        const std::size_t end = diff.out.find('\n', at);
        const std::string line = diff.out.substr(at, end - at);
        if ((line.rfind("+", 0) == 0 && line.rfind("+++", 0) != 0) ||
            (line.rfind("-", 0) == 0 && line.rfind("---", 0) != 0)) {
            changed.push_back(line);
        }
        at = end == std::string::npos ? diff.out.size() : end + 1;
    }
    EXPECT_EQ(changed, (std::vector<std::string>{"-hex 1,0: 3 0 0 0 0 0 0 0 0 0 0 0 0",
                                                 "+hex 1,0: 3 0 0 0 0 0 0 0 0 0 0 0 200"}))
        << diff.out;
}

} // namespace
