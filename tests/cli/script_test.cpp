// SPDX-License-Identifier: MIT
// Runs of the real `amptool run` and `amptool check`: what a script changes
// written in place or to -o, problems as MAP:COLUMN,ROW lines, print output,
// the script's arguments, exit statuses, and failed or stopped runs that leave
// the file's bytes as they were.
#include "diskio.h"
#include "mapfileio.h"
#include "shellrun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

namespace {

// A 3 x 2 map: header 1 2 3 4 2 6 7, byte j of record k is k * 16 + j.
std::vector<std::uint8_t> mapBytes() {
    std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 2, 6, 7};
    for (int k = 0; k < 6; ++k) {
        for (int j = 0; j < 13; ++j) {
            bytes.push_back(std::uint8_t(k * 16 + j));
        }
    }
    return bytes;
}

class Scripts : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(amp::writeFileSafely(dir.filePath("m.amp"), mapBytes()).ok());
        QDir(dir.path()).mkpath("data");
    }
    void script(const char* name, const char* source) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(source);
    }
    // amptool in the test's folder, with no display and the user's folders in it.
    Outcome amptool(const std::string& words) {
        return runShell(dir, "cd '" + dir.path().toStdString() + "' && env -u DISPLAY -u QT_QPA_PLATFORM " +
                                 "XDG_DATA_HOME='" + dir.filePath("data").toStdString() +
                                 "' " AMPTOOL_PATH " " + words);
    }
    std::vector<std::uint8_t> bytesOf(const char* name) {
        const auto read = amp::readMapFile(dir.filePath(name));
        return read ? read.value() : std::vector<std::uint8_t>{};
    }
    QTemporaryDir dir;
};

TEST_F(Scripts, RunWritesWhatTheScriptChangedInPlaceOrToOut) {
    script("set.js", "map.set('roads', 1, 0, 200);\nmap.header[6] = 9;\nprint('set', map.get(6, 1, 0));\n");
    const Outcome out = amptool("run set.js m.amp -o out.amp");
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out, "set 200\n");
    std::vector<std::uint8_t> expected = mapBytes();
    expected[6] = 9;
    expected[7 + 13 * 2 + 6] = 200; // [1][0] is record 1 * 2 + 0
    EXPECT_EQ(bytesOf("out.amp"), expected);
    EXPECT_EQ(bytesOf("m.amp"), mapBytes());
    EXPECT_EQ(amptool("run set.js m.amp").status, 0);
    EXPECT_EQ(bytesOf("m.amp"), expected);
    // A script that changes nothing writes nothing; problems are told as compilers do.
    script("read.js", "print(args.join('|'));\nreport(2, 1, 'a city without a name');\nreport('small');\n");
    const Outcome read = amptool("run read.js m.amp -o none.amp -- a 'b c' --x -o");
    EXPECT_EQ(read.status, 1) << read.err;
    EXPECT_EQ(read.out, "a|b c|--x|-o\nm.amp:2,1: a city without a name\nm.amp: small\n");
    EXPECT_FALSE(QFile::exists(dir.filePath("none.amp")));
}

TEST_F(Scripts, AFailedOrStoppedRunWritesNothing) {
    script("bad.js", "map.fill(0, 5);\nmap.header[0] = 0;\nmap.set(0, 3, 0, 1);\n");
    const Outcome bad = amptool("run bad.js m.amp");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("amptool: run: bad.js:3: RangeError: hex 3,0 is outside the map"),
              std::string::npos)
        << bad.err;
    script("endless.js", "map.fill(0, 5);\nprint('going');\nfor (;;) {}\n");
    const Outcome endless = amptool("run endless.js m.amp -o out.amp --timeout 1");
    EXPECT_EQ(endless.status, 1);
    EXPECT_EQ(endless.out, "going\n");
    EXPECT_NE(endless.err.find("endless.js: stopped after 1 s"), std::string::npos) << endless.err;
    EXPECT_EQ(bytesOf("m.amp"), mapBytes());
    EXPECT_FALSE(QFile::exists(dir.filePath("out.amp")));
}

TEST_F(Scripts, ACallOfTheEnginesOwnIsNotWaitedForPastTheTimeLimit) {
    // One split that the engine cannot interrupt: the run is given up at its
    // time limit (and what it printed before is lost with it); nothing is written.
    script("split.js", "map.fill(0, 5);\nconst parts = 'x'.repeat(3e7).split('');\nprint(parts.length);\n");
    const Outcome out = amptool("run split.js m.amp --timeout 1");
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.out, "");
    EXPECT_NE(out.err.find("amptool: run: split.js: stopped after 1 s, its time limit"), std::string::npos)
        << out.err;
    EXPECT_EQ(bytesOf("m.amp"), mapBytes());
}

TEST_F(Scripts, UsageAndFileErrorsExitTwo) {
    script("ok.js", "map.set(0, 0, 0, 1);");
    for (const char* words :
         {"run", "run ok.js", "run ok.js m.amp extra", "run none.js m.amp", "run ok.js none.amp",
          "run ok.js m.amp --timeout 0", "run ok.js m.amp --frobnicate", "check",
          "check m.amp --checks nowhere", "check none.amp", "run ok.js m.amp -o nowhere/out.amp"}) {
        const Outcome out = amptool(words);
        EXPECT_EQ(out.status, 2) << words;
        EXPECT_FALSE(out.err.empty()) << words;
    }
    EXPECT_EQ(bytesOf("m.amp"), mapBytes());
    // A script too large to be one is refused as a file error too.
    QFile large(dir.filePath("large.js"));
    ASSERT_TRUE(large.open(QIODevice::WriteOnly));
    large.write(QByteArray(4 * 1024 * 1024 + 1, ' '));
    large.close();
    EXPECT_EQ(amptool("run large.js m.amp").status, 2);
}

TEST_F(Scripts, AProblemIsOneLineWhateverItsMessage) {
    // A line break in a message cannot make a line that passes for a problem of
    // its own, and nothing after a NUL is lost.
    script("lines.js", "report(0, 0, 'ok\\nm.amp:1,1: forged'); report(1, 0, 'a\\u0000b');");
    const Outcome out = amptool("run lines.js m.amp");
    EXPECT_EQ(out.status, 1);
    EXPECT_EQ(out.out, "m.amp:0,0: ok\\nm.amp:1,1: forged\nm.amp:1,0: a\\x00b\n");
}

TEST_F(Scripts, AValueThatHoldsItselfIsPrintedNotACrash) {
    script("cyclic.js", "const a = [1]; a.push(a);\nprint(a); print('' + a); report(0, 0, a);\n"
                        "let d = []; for (let i = 0; i < 100000; ++i) d = [d];\nprint('' + d);\n");
    const Outcome out = amptool("run cyclic.js m.amp");
    EXPECT_EQ(out.status, 1) << out.err;
    EXPECT_EQ(out.out, "[1,\"(cycle)\"]\n1,\nm.amp:0,0: [1,\"(cycle)\"]\n");
    // (The engine names the line of the last call before an implicit conversion.)
    EXPECT_EQ(out.err.rfind("amptool: run: cyclic.js:", 0), 0u) << out.err;
    EXPECT_NE(out.err.find(": RangeError: an array nested more than 256 deep cannot be turned into text\n"),
              std::string::npos)
        << out.err;
}

TEST_F(Scripts, ProblemsAndPrintedTextAreBoundedAndSaid) {
    // More problems than a run lists: the first 100000, then one line that says so.
    script("many.js", "for (let i = 0; i < 100003; ++i) report(i % 3, 0, 'p');\n");
    const Outcome many = amptool("run many.js m.amp");
    EXPECT_EQ(many.status, 1) << many.err;
    EXPECT_EQ(std::count(many.out.begin(), many.out.end(), '\n'), 100001);
    EXPECT_TRUE(
        many.out.ends_with("m.amp:0,0: p\nm.amp: 3 more problems were reported and not listed (a run lists "
                           "100000 at most)\n"))
        << many.out.substr(many.out.size() - std::min<std::size_t>(many.out.size(), 200));
    // A megabyte printed ten thousand times: one megabyte of text is kept.
    script("loud.js", "const s = 'y'.repeat(1 << 20);\nfor (let i = 0; i < 10000; ++i) print(s);\n");
    const Outcome loud = amptool("run loud.js m.amp");
    EXPECT_EQ(loud.status, 0) << loud.err;
    EXPECT_EQ(loud.out, std::string(1 << 20, 'y') +
                            "\n(9999 more lines not shown: a run prints 10000 lines and "
                            "1048576 characters at most)\n");
    // One problem of a hundred million characters: its first thousand, and how many more.
    script("long.js", "report(1, 0, 'z'.repeat(1e8));\n");
    const Outcome long_ = amptool("run long.js m.amp");
    EXPECT_EQ(long_.status, 1) << long_.err;
    EXPECT_EQ(long_.out, "m.amp:1,0: " + std::string(1000, 'z') + "… (99999000 characters more)\n");
}

TEST_F(Scripts, CheckRunsEveryCheckAndWritesNothing) {
    QDir(dir.path()).mkpath("mine");
    script("mine/b-header.js", "if (map.header[0] !== 0) report('header byte 0 is ' + map.header[0]);");
    script("mine/a-cells.js", "map.fill(0, 9);\nreport(0, 1, 'first');\nreport(2, 0, 'last');\n");
    script("mine/c-broken.js", "undefinedName;");
    script("mine/d-after.js", "report(1, 1, 'still ' + map.get(0, 0, 0));");
    // Neither a folder named *.js nor a file of another kind is a check.
    QDir(dir.path()).mkpath("mine/e.js");
    script("mine/notes.txt", "report('no check');");
    const Outcome out = amptool("check m.amp --checks mine");
    EXPECT_EQ(out.status, 1);
    // By name; the map every check sees is the one read (record 0's terrain is 0).
    EXPECT_EQ(out.out, "m.amp:0,1: first (a-cells.js)\nm.amp:2,0: last (a-cells.js)\n"
                       "m.amp: header byte 0 is 1 (b-header.js)\nm.amp:1,1: still 0 (d-after.js)\n");
    EXPECT_NE(out.err.find("amptool: check: c-broken.js:1: ReferenceError"), std::string::npos) << out.err;
    EXPECT_EQ(bytesOf("m.amp"), mapBytes());
}

TEST_F(Scripts, CheckTakesTheShippedAndTheUsersChecks) {
    // The shipped checks, from the build tree: terrain k * 16 has a name only for
    // k = 0 and 1; no road lies on water.
    const Outcome shipped = amptool("check m.amp");
    EXPECT_EQ(shipped.status, 1);
    EXPECT_EQ(shipped.out, "m.amp:1,0: terrain 32 has no name (unknown-terrain.js)\n"
                           "m.amp:1,1: terrain 48 has no name (unknown-terrain.js)\n"
                           "m.amp:2,0: terrain 64 has no name (unknown-terrain.js)\n"
                           "m.amp:2,1: terrain 80 has no name (unknown-terrain.js)\n");
    QDir(dir.path()).mkpath("data/ampedit/checks");
    script("data/ampedit/checks/aaa.js", "report('mine');");
    EXPECT_EQ(amptool("check m.amp").out.rfind("m.amp: mine (aaa.js)\n", 0), 0u);
    // A clean map passes.
    std::vector<std::uint8_t> clean = mapBytes();
    for (int k = 0; k < 6; ++k) {
        clean[std::size_t(7 + 13 * k)] = 3;
    }
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("clean.amp"), clean).ok());
    QFile::remove(dir.filePath("data/ampedit/checks/aaa.js"));
    const Outcome passed = amptool("check clean.amp");
    EXPECT_EQ(passed.status, 0) << passed.out << passed.err;
    EXPECT_EQ(passed.out, "");
}

// File names are the system's bytes: a map whose name is not UTF-8 is the one
// run and written, not the one whose name holds the replacement character
// (both are there), and so is an -o of such a name.
TEST_F(Scripts, ANameThatIsNotUtf8IsTheFileChanged) {
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    const std::string invalid = folder + "/map\xff.amp", replaced = folder + "/map\xef\xbf\xbd.amp";
    for (const std::string& name : {invalid, replaced}) {
        ASSERT_TRUE(amp::diskio::writeFileSafely(name, mapBytes()).ok());
    }
    script("set.js", "map.set('roads', 1, 0, 200);\nreport(0, 1, 'seen');\n");
    const Outcome run = amptool("run set.js \"$(printf 'map\\377.amp')\"");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "map\xff.amp:0,1: seen\n");
    std::vector<std::uint8_t> expected = mapBytes();
    expected[7 + 13 * 2 + 6] = 200;
    EXPECT_EQ(amp::diskio::readMapFile(invalid).value(), expected);
    EXPECT_EQ(amp::diskio::readMapFile(replaced).value(), mapBytes());
    EXPECT_EQ(amptool("run set.js m.amp -o \"$(printf 'new\\377.amp')\"").status, 1);
    EXPECT_EQ(amp::diskio::readMapFile(folder + "/new\xff.amp").value(), expected);
    EXPECT_FALSE(amp::diskio::readMapFile(folder + "/new\xef\xbf\xbd.amp").ok());
    QDir(dir.path()).mkpath("mine");
    script("mine/roads.js", "report(1, 0, 'roads ' + map.get('roads', 1, 0));");
    const Outcome check = amptool("check \"$(printf 'map\\377.amp')\" --checks mine");
    EXPECT_EQ(check.out, "map\xff.amp:1,0: roads 200 (roads.js)\n");
    for (const std::string& name : {invalid, replaced, folder + "/new\xff.amp"}) {
        ::unlink(name.c_str()); // QTemporaryDir cannot name what is not UTF-8 to remove it
    }
}

// A line break in the map's name is escaped as the message's are: no name can
// forge a problem line.
TEST_F(Scripts, AMapsNameCannotForgeAProblemLine) {
    script("one.js", "report(1, 1, 'real');");
    const std::string name = "evil.amp:9,9: a road on Ocean (forged)\nx.amp";
    ASSERT_TRUE(
        amp::diskio::writeFileSafely(QFile::encodeName(dir.path()).toStdString() + "/" + name, mapBytes())
            .ok());
    const Outcome out = amptool("run one.js \"$(printf 'evil.amp:9,9: a road on Ocean (forged)\\nx.amp')\"");
    EXPECT_EQ(out.status, 1) << out.err;
    EXPECT_EQ(out.out, "evil.amp:9,9: a road on Ocean (forged)\\nx.amp:1,1: real\n");
}

// -o - is standard output: the map goes there (changed or not), and what the
// script prints and reports goes to standard error. The null device is a dry run,
// and the script is no output.
TEST_F(Scripts, RunWritesToStandardOutputOrNowhereButNeverOverItsScript) {
    script("set.js", "map.set('roads', 1, 0, 200);\nprint('done');\nreport(0, 0, 'seen');\n");
    const Outcome out = amptool("run set.js m.amp -o - > out.amp");
    EXPECT_EQ(out.status, 1) << out.err;
    EXPECT_NE(out.err.find("done\nm.amp:0,0: seen\n"), std::string::npos) << out.err;
    std::vector<std::uint8_t> expected = mapBytes();
    expected[7 + 13 * 2 + 6] = 200;
    EXPECT_EQ(bytesOf("out.amp"), expected);
    EXPECT_FALSE(QFile::exists(dir.filePath("-")));
    script("nothing.js", "print('idle');");
    EXPECT_EQ(amptool("run nothing.js m.amp -o - > same.amp").status, 0);
    EXPECT_EQ(bytesOf("same.amp"), mapBytes());
    EXPECT_EQ(amptool("run set.js - -o - < m.amp > piped.amp").status, 1);
    EXPECT_EQ(bytesOf("piped.amp"), expected);

    const Outcome over = amptool("run set.js m.amp -o ./set.js");
    EXPECT_EQ(over.status, 2);
    EXPECT_NE(over.err.find("the output would replace the input"), std::string::npos) << over.err;
    EXPECT_EQ(bytesOf("m.amp"), mapBytes());

    const std::string null = QFile::encodeName(dir.filePath("null")).toStdString();
    if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        const Outcome dry = amptool("run set.js m.amp -o null");
        EXPECT_EQ(dry.status, 1) << dry.err;
        EXPECT_EQ(dry.err, "");
        struct stat info {};
        ASSERT_EQ(::lstat(null.c_str(), &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
        EXPECT_EQ(bytesOf("m.amp"), mapBytes());
    }
}

} // namespace
