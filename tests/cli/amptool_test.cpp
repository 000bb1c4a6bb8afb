// SPDX-License-Identifier: MIT
// Runs of the real amptool binary: round trips through a grid, diff's exit
// codes, every value export and diff print (one, two and three digits, hexes a
// short file lacks, a map's worth of output), a bad grid's LINE:COLUMN message
// with the map untouched, the shapes that new and resize make, hostile input, and
// writes killed at random moments.
#include "diskio.h"
#include "journalbytes.h"
#include "mapfileio.h"
#include "mapformat.h"
#include "shellrun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// Runs amptool with the words through the shell, in the folder (or, without
// `prefixed`, the words as a whole command line).
Outcome amptool(const QTemporaryDir& dir, const std::string& words, bool prefixed = true) {
    return runShell(dir,
                    "cd '" + dir.path().toStdString() + "' && " + (prefixed ? AMPTOOL_PATH " " : "") + words);
}

std::vector<std::uint8_t> bytesOf(const QTemporaryDir& dir, const char* name) {
    auto read = amp::readMapFile(dir.filePath(name));
    return read ? read.value() : std::vector<std::uint8_t>{};
}

// 3 columns, 2 rows, header 2A 00 03 00 02 00 05; byte j of record k is 10k + j.
std::vector<std::uint8_t> smallMap() {
    std::vector<std::uint8_t> bytes = {0x2A, 0, 3, 0, 2, 0, 5};
    for (int k = 0; k < 6; ++k) {
        for (int j = 0; j < 13; ++j) {
            bytes.push_back(static_cast<std::uint8_t>(10 * k + j));
        }
    }
    return bytes;
}

class Amptool : public testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
        ASSERT_TRUE(amp::writeFileSafely(dir.filePath("m.amp"), smallMap()).ok());
    }
    QTemporaryDir dir;
};

void putFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST_F(Amptool, ExportsLayersAsTheEditorShowsThemAndImportsThemBack) {
    // Layer 4 by rows: row 0 holds records 0, 2, 4 (columns 0, 1, 2).
    const Outcome csv = amptool(dir, "export m.amp --layer 'height b1'");
    EXPECT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out, "4,24,44\n14,34,54\n");
    EXPECT_EQ(amptool(dir, "export m.amp --layer 4 --format tsv").out, "4\t24\t44\n14\t34\t54\n");
    const Outcome all = amptool(dir, "export m.amp");
    EXPECT_EQ(all.out.substr(0, all.out.find('\n', all.out.find('\n') + 1) + 1),
              "column,row,Terraintype,??????,??????,??????,height b1,height b2,roads,city b1,city b2,"
              "Text ID b1,Text ID b2,Text ID b3,Text ID b4\n0,0,0,1,2,3,4,5,6,7,8,9,10,11,12\n");
    EXPECT_EQ(amptool(dir, "export m.amp --format json --layer 0").out,
              "{\"columns\":3,\"rows\":2,\"header\":[42,0,3,0,2,0,5],\"layers\":[[[0,20,40],[10,30,50]]]}\n");

    // Back in, from a file and from standard input, with blanks and CR LF: the same bytes.
    ASSERT_EQ(amptool(dir, "export m.amp --layer 9 --format tsv -o grid.tsv").status, 0);
    ASSERT_EQ(amptool(dir, "import m.amp --layer 9 grid.tsv -o back.amp").status, 0);
    EXPECT_EQ(bytesOf(dir, "back.amp"), smallMap());
    QFile typed(dir.filePath("typed.csv"));
    ASSERT_TRUE(typed.open(QIODevice::WriteOnly));
    typed.write(" 7 , 8,9\r\n10,11 ,12\r\n");
    typed.close();
    ASSERT_EQ(amptool(dir, "import m.amp --layer 6 - < typed.csv").status, 0);
    const auto changed = bytesOf(dir, "m.amp");
    EXPECT_EQ(changed[7 + 6], 7);           // column 0, row 0
    EXPECT_EQ(changed[7 + 13 * 3 + 6], 11); // column 1, row 1
    EXPECT_EQ(changed[7 + 13 * 5 + 6], 12); // column 2, row 1
}

TEST_F(Amptool, DiffSaysWhatDiffersAndExitsLikeDiff) {
    Outcome same = amptool(dir, "diff m.amp m.amp");
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, "");
    auto other = smallMap();
    other[0] = 0x2B;
    other[7 + 13 * 3 + 8] = 99; // column 1, row 1, layer 8
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("o.amp"), other).ok());
    const Outcome differ = amptool(dir, "diff m.amp o.amp");
    EXPECT_EQ(differ.status, 1);
    EXPECT_EQ(differ.out, "header,0,42,43\n1,1,city b2,38,99\n");
    ASSERT_EQ(amptool(dir, "resize m.amp 2 2 -o r.amp").status, 0);
    EXPECT_EQ(amptool(dir, "diff m.amp r.amp").out, "size,3x2,2x2\nonly,a,2\nonly,b,0\n");
    const Outcome missing = amptool(dir, "diff m.amp nothing.amp");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("amptool: diff: "), std::string::npos) << missing.err;
}

TEST_F(Amptool, DiffSummaryAndJsonCountEachLayersHexes) {
    auto other = smallMap();
    other[0] = 0x2B;
    other[7 + 13 * 3 + 8] = 99; // column 1, row 1, city b2
    other[7 + 8] = 0;           // column 0, row 0, city b2
    other[7 + 13 * 5 + 12] = 1; // column 2, row 1, the last layer
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("o.amp"), other).ok());
    std::string layers;
    for (std::size_t j = 0; j < 13; ++j) {
        layers += "layer," + std::to_string(j) + "," + std::string(amp::LayerNames[j]) + "," +
                  (j == 8    ? "2"
                   : j == 12 ? "1"
                             : "0") +
                  "\n";
    }
    const Outcome summary = amptool(dir, "diff m.amp o.amp --summary");
    EXPECT_EQ(summary.status, 1);
    EXPECT_EQ(summary.out, "header,0,42,43\n" + layers);
    const Outcome same = amptool(dir, "diff m.amp m.amp --summary");
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, std::regex_replace(layers, std::regex(",[12]\n"), ",0\n"));

    const Outcome json = amptool(dir, "diff m.amp o.amp --format json");
    EXPECT_EQ(json.status, 1);
    const std::string start =
        "{\"header\":[{\"byte\":0,\"a\":42,\"b\":43}],\"size\":{\"a\":[3,2],\"b\":[3,2]},"
        "\"onlyInA\":0,\"onlyInB\":0";
    EXPECT_EQ(json.out.substr(0, json.out.find(",\"layers\"")),
              start + ",\"cells\":[{\"column\":0,\"row\":0,\"layer\":8,\"a\":8,\"b\":0},"
                      "{\"column\":1,\"row\":1,\"layer\":8,\"a\":38,\"b\":99},"
                      "{\"column\":2,\"row\":1,\"layer\":12,\"a\":62,\"b\":1}]");
    EXPECT_NE(json.out.find(",{\"layer\":8,\"name\":\"city b2\",\"hexes\":2},"), std::string::npos)
        << json.out;
    const std::string end = "}],\"bytes\":{\"a\":85,\"b\":85,\"same\":false},\"same\":false}\n";
    EXPECT_EQ(json.out.substr(json.out.size() - end.size()), end);
    const Outcome brief = amptool(dir, "diff m.amp o.amp --format json --summary");
    EXPECT_EQ(brief.out.substr(0, brief.out.find(",\"layers\"")), start);

    // Other shapes: the hexes both have are compared; the rest is only in one.
    ASSERT_EQ(amptool(dir, "resize o.amp 2 3 -o r.amp").status, 0);
    const Outcome shapes = amptool(dir, "diff m.amp r.amp --summary");
    EXPECT_EQ(shapes.status, 1);
    EXPECT_EQ(shapes.out.substr(0, shapes.out.find("layer,")),
              "header,0,42,43\nsize,3x2,2x3\nonly,a,2\nonly,b,2\n");
    EXPECT_NE(shapes.out.find("layer,8,city b2,2\n"), std::string::npos) << shapes.out;
    EXPECT_NE(shapes.out.find("layer,12,Text ID b4,0\n"), std::string::npos)
        << shapes.out; // 2,1 is only in m
    EXPECT_EQ(amptool(dir, "diff m.amp o.amp --format xml").status, 2);
}

TEST_F(Amptool, ExportAndDiffPrintEveryValueAsItsDecimalText) {
    // 2 x 2 hexes, three records and 5 bytes of a fourth: hex 1,1 is all zeros.
    std::vector<std::uint8_t> bytes = {9,  8,  2,   7, 2, 6,  5,   0,   9,   10,  99,  100, 255,
                                       1,  2,  3,   4, 5, 6,  7,   255, 200, 199, 109, 101, 90,
                                       89, 11, 8,   0, 0, 0,  250, 1,   10,  100, 2,   20,  200,
                                       3,  30, 255, 0, 5, 50, 250, 77,  77,  77,  77,  77};
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("s.amp"), bytes).ok());
    const std::string csv =
        "column,row,Terraintype,??????,??????,??????,height b1,height b2,roads,city b1,city b2,"
        "Text ID b1,Text ID b2,Text ID b3,Text ID b4\n"
        "0,0,0,9,10,99,100,255,1,2,3,4,5,6,7\n"
        "0,1,255,200,199,109,101,90,89,11,8,0,0,0,250\n"
        "1,0,1,10,100,2,20,200,3,30,255,0,5,50,250\n"
        "1,1,0,0,0,0,0,0,0,0,0,0,0,0,0\n";
    const Outcome exported = amptool(dir, "export s.amp");
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_EQ(exported.out, csv);
    std::string tsv = csv;
    std::replace(tsv.begin(), tsv.end(), ',', '\t');
    EXPECT_EQ(amptool(dir, "export s.amp --format tsv").out, tsv);
    ASSERT_EQ(amptool(dir, "export s.amp -o s.csv").status, 0);
    QFile written(dir.filePath("s.csv"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().toStdString(), csv);
    // The missing hex counts as a zero of every layer: layer 0 holds 0, 255, 1, 0.
    EXPECT_NE(amptool(dir, "info s.amp --json")
                  .out.find("{\"name\":\"Terraintype\",\"min\":0,\"max\":255,"
                            "\"distinct\":3,\"zeros\":2}"),
              std::string::npos);

    // The same map complete, with four cells changed, the missing hex's among them.
    std::vector<std::uint8_t> other(bytes.begin(), bytes.begin() + 7 + 13 * 3);
    other.resize(7 + 13 * 4, 0);
    other[7 + 5] = 0;         // hex 0,0, height b2: 255 -> 0
    other[7 + 13 + 12] = 251; // hex 0,1, Text ID b4: 250 -> 251
    other[7 + 26 + 9] = 9;    // hex 1,0, Text ID b1: 0 -> 9
    other[7 + 39] = 100;      // hex 1,1, Terraintype: 0 -> 100
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("t.amp"), other).ok());
    const Outcome differ = amptool(dir, "diff s.amp t.amp");
    EXPECT_EQ(differ.status, 1);
    EXPECT_EQ(differ.out,
              "0,0,height b2,255,0\n0,1,Text ID b4,250,251\n1,0,Text ID b1,0,9\n1,1,Terraintype,0,100\n");

    // The largest map, and one that differs from it in every cell: many blocks of
    // output, each line as the rule gives it.
    std::vector<std::uint8_t> largest = {1, 2, 255, 4, 255, 6, 7}, changed = largest;
    std::string lines, differences;
    for (int k = 0; k < 255 * 255; ++k) {
        const std::string hex = std::to_string(k / 255) + "," + std::to_string(k % 255);
        lines += hex;
        for (int j = 0; j < 13; ++j) {
            const int value = (k * 7 + j * 31) % 256, next = (value + 1) % 256;
            largest.push_back(static_cast<std::uint8_t>(value));
            changed.push_back(static_cast<std::uint8_t>(next));
            lines += "," + std::to_string(value);
            differences += hex + "," + std::string(amp::LayerNames[static_cast<std::size_t>(j)]) + "," +
                           std::to_string(value) + "," + std::to_string(next) + "\n";
        }
        lines += "\n";
    }
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("l.amp"), largest).ok());
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("c.amp"), changed).ok());
    const Outcome all = amptool(dir, "export l.amp");
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_TRUE(all.out == csv.substr(0, csv.find('\n') + 1) + lines) << "the largest map's export differs";
    ASSERT_EQ(amptool(dir, "export l.amp -o l.csv").status, 0);
    QFile file(dir.filePath("l.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().toStdString() == all.out) << "-o and standard output differ";
    const Outcome every = amptool(dir, "diff l.amp c.amp");
    EXPECT_EQ(every.status, 1);
    EXPECT_TRUE(every.out == differences) << "the diff of every cell differs";
}

TEST_F(Amptool, ABadGridIsToldByLineAndColumnAndTouchesNothing) {
    struct Case {
        const char* grid;
        const char* where;
    };
    const Case cases[] = {
        {"1,2,3\n4,x,6\n", "grid.csv:2:2: "}, {"1,2,3\n4,5,256\n", "grid.csv:2:3: "},
        {"1,2,3\n4,5\n", "grid.csv:2:3: "},   {"1,2,3\n4,5,6,7\n", "grid.csv:2:4: "},
        {"1,2,3\n", "grid.csv:2:0: "},        {"1,2,3\n4,5,6\n7,8,9\n", "grid.csv:3:0: "},
    };
    for (const Case& c : cases) {
        QFile grid(dir.filePath("grid.csv"));
        ASSERT_TRUE(grid.open(QIODevice::WriteOnly | QIODevice::Truncate));
        grid.write(c.grid);
        grid.close();
        const Outcome outcome = amptool(dir, "import m.amp --layer 0 grid.csv");
        EXPECT_EQ(outcome.status, 1) << c.grid;
        EXPECT_EQ(outcome.err.rfind(std::string("amptool: import: ") + c.where, 0), 0u) << outcome.err;
        EXPECT_EQ(bytesOf(dir, "m.amp"), smallMap()) << c.grid;
    }
    EXPECT_EQ(amptool(dir, "import m.amp --layer 13 grid.csv").status, 2);
    EXPECT_EQ(amptool(dir, "import m.amp grid.csv").status, 2);
}

TEST_F(Amptool, NewAndResizeMakeCompleteMapsOfTheGivenShape) {
    const Outcome made = amptool(dir, "new 2 3 -o n.amp --like m.amp --fill 0=5 --fill roads=2");
    ASSERT_EQ(made.status, 0) << made.err;
    std::vector<std::uint8_t> expected = {0x2A, 0, 2, 0, 3, 0, 5};
    for (int k = 0; k < 6; ++k) {
        expected.insert(expected.end(), {5, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0});
    }
    EXPECT_EQ(bytesOf(dir, "n.amp"), expected);
    EXPECT_NE(amptool(dir, "new 1 1 -o z.amp").err.find("header bytes"), std::string::npos);
    EXPECT_EQ(bytesOf(dir, "z.amp"),
              (std::vector<std::uint8_t>{0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // 3 x 2 to 2 x 3 in place (the rule of each anchor is tested on its core, and
    // against the window's in tst_sameanswers): [0][1] keeps its 14 on layer 4.
    ASSERT_EQ(amptool(dir, "resize m.amp 2 3").status, 0);
    ASSERT_EQ(bytesOf(dir, "m.amp").size(), 7u + 13 * 6);
    const Outcome replaced = amptool(dir, "replace m.amp --layer 4 14 99");
    EXPECT_EQ(replaced.out, "1 hex changed\n");
    EXPECT_EQ(amptool(dir, "new 256 1 -o big.amp").status, 2);
    EXPECT_FALSE(QFile::exists(dir.filePath("big.amp")));
}

// flip and symmetrize on the 3 x 2 map (odd columns lowered): left-right is exact;
// top-bottom leaves the lowered column's lower hex without an image.
TEST_F(Amptool, FlipAndSymmetrizeFollowTheLatticeAndTellWhatHadNoImage) {
    const auto original = bytesOf(dir, "m.amp");
    const auto withRecords = [&original](std::initializer_list<int> from, int onlyLayer = -1) {
        std::vector<std::uint8_t> expected(original.begin(), original.begin() + 7);
        int k = 0;
        for (const int source : from) {
            for (int j = 0; j < 13; ++j) {
                expected.push_back(
                    static_cast<std::uint8_t>(10 * (onlyLayer < 0 || j == onlyLayer ? source : k) + j));
            }
            ++k;
        }
        return expected;
    };
    const Outcome flipped = amptool(dir, "flip m.amp --axis left-right -o f.amp");
    EXPECT_EQ(flipped.status, 0) << flipped.err;
    EXPECT_EQ(flipped.out, "0 hexes had no image and were left as they were\n");
    EXPECT_EQ(bytesOf(dir, "f.amp"), withRecords({4, 5, 2, 3, 0, 1}));
    // In place, twice: the map as it was.
    EXPECT_EQ(amptool(dir, "flip m.amp --axis point").status, 0);
    EXPECT_NE(bytesOf(dir, "m.amp"), original);
    EXPECT_EQ(amptool(dir, "flip m.amp --axis point").status, 0);
    EXPECT_EQ(bytesOf(dir, "m.amp"), original);
    const Outcome topBottom = amptool(dir, "flip m.amp --axis top-bottom --layer 4 -o t.amp");
    EXPECT_EQ(topBottom.out, "1 hex had no image and was left as it was\n");
    EXPECT_EQ(bytesOf(dir, "t.amp"), withRecords({1, 0, 2, 3, 5, 4}, 4));
    // To standard output, the count on stderr.
    const Outcome copied = amptool(dir, "symmetrize m.amp --from right --mode mirror -o - > s.amp");
    EXPECT_EQ(copied.status, 0);
    EXPECT_NE(copied.err.find("0 hexes had no image"), std::string::npos);
    EXPECT_EQ(bytesOf(dir, "s.amp"), withRecords({4, 5, 2, 3, 4, 5}));
    // Errors as the other commands', and the map untouched.
    EXPECT_EQ(amptool(dir, "flip m.amp").status, 2);
    EXPECT_EQ(amptool(dir, "flip m.amp --axis diagonal").err,
              "amptool: flip: --axis is left-right, top-bottom or point, not \"diagonal\"\n");
    EXPECT_EQ(amptool(dir, "symmetrize m.amp --from top-left --mode point").status, 2);
    EXPECT_EQ(amptool(dir, "symmetrize gone.amp --from left").status, 2);
    putFile(dir.filePath("short.amp"), QByteArray("\x01\x02", 2));
    EXPECT_EQ(amptool(dir, "flip short.amp --axis point").status, 1);
    EXPECT_EQ(bytesOf(dir, "m.amp"), original);
}

TEST_F(Amptool, InfoTellsShapeSizeAndLayers) {
    const Outcome json = amptool(dir, "info m.amp --json");
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out.rfind(
                  "{\"columns\":3,\"rows\":2,\"header\":[42,0,3,0,2,0,5],\"size\":85,\"complete_size\":85,"
                  "\"layers\":[{\"name\":\"Terraintype\",\"min\":0,\"max\":50,\"distinct\":6,\"zeros\":1},",
                  0),
              0u)
        << json.out;
    EXPECT_NE(json.out.find("\"terrain\":{\"Clear\":1,\"City\":0,"), std::string::npos);
    EXPECT_NE(json.out.find("\"Stream\":1,"), std::string::npos);
    EXPECT_NE(json.out.find("\"unknown\":4}"), std::string::npos);
    QFile file(dir.filePath("m.amp"));
    ASSERT_TRUE(file.resize(7 + 13 * 4 + 5)); // two records short, and part of one
    EXPECT_NE(amptool(dir, "info m.amp").out.find("(short: 2 records missing)"), std::string::npos);
}

// A file name is the system's bytes, not text: one that is no UTF-8 is read and
// written under that very name (the shell's printf makes its bytes).
TEST_F(Amptool, ANameThatIsNotUtf8IsUsedAsItStands) {
    if (PortableFileCode) {
        GTEST_SKIP() << "the portable file code names files as QString, which holds only Unicode";
    }
#ifndef _WIN32
    const std::string name = "\"$(printf 'n\\377.amp')\"";
    ASSERT_EQ(amptool(dir, "resize m.amp 2 2 -o " + name).status, 0);
    const std::string path = QFile::encodeName(dir.path()).toStdString() + "/n\xff.amp";
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 7 + 4 * 13);
    EXPECT_EQ(amptool(dir, "export " + name + " --layer 0 --format tsv").out, "0\t20\n10\t30\n");
    ::unlink(path.c_str()); // QTemporaryDir cannot name it to remove it
#endif
}

// Grids from a spreadsheet or from an attacker: a byte-order mark is taken, a
// message shows control characters escaped, and standard input is cut off at the
// same 16 MiB as a file, without ever holding more.
TEST_F(Amptool, HostileOrForeignGridsAreReadSafely) {
    putFile(dir.filePath("bom.csv"), "\xEF\xBB\xBF"
                                     "1,2,3\r\n4,5,6\r\n");
    const Outcome bom = amptool(dir, "import m.amp --layer 0 bom.csv");
    EXPECT_EQ(bom.status, 0) << bom.err;
    EXPECT_EQ(bytesOf(dir, "m.amp")[7], 1);          // column 0, row 0
    EXPECT_EQ(bytesOf(dir, "m.amp")[7 + 13 * 5], 6); // column 2, row 1

    putFile(dir.filePath("evil.csv"), "1,2,3\n4,5,\x1b]0;owned\x07\x1b[2J\n");
    const Outcome evil = amptool(dir, "import m.amp --layer 0 evil.csv");
    EXPECT_EQ(evil.status, 1);
    EXPECT_NE(evil.err.find("evil.csv:2:3: \"\\x1b]0;owned\\x07\\x1b[2J\""), std::string::npos) << evil.err;
    EXPECT_EQ(evil.err.find_first_of("\x1b\x07"), std::string::npos)
        << "no control character reaches the terminal";
    putFile(dir.filePath("c1.csv"), "1,2,\xC2\x9B"
                                    "2J\n4,5,6\n");
    EXPECT_NE(amptool(dir, "import m.amp --layer 0 c1.csv").err.find("\\xc2\\x9b2J"), std::string::npos);

#ifndef _WIN32 // a pipe from head(1), and a device node: a POSIX shell's and system's
    constexpr long long Piped = 200LL * 1024 * 1024; // far past the cap
    const Outcome piped = amptool(
        dir, "head -c " + std::to_string(Piped) + " /dev/zero | " AMPTOOL_PATH " import m.amp --layer 0 -",
        false);
    rusage children{};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &children), 0);
    EXPECT_EQ(piped.status, 1);
    EXPECT_NE(piped.err.find("standard input: larger than any grid"), std::string::npos) << piped.err;
    EXPECT_LT(children.ru_maxrss * 1024LL, Piped / 2) << "standard input is read in bounded memory";
#endif
}

// A file of the kernel's says it is empty but holds a few KB, and its header names
// a map of 'm' (109) columns and ':' (58) rows: short, with no more records
// missing than the map has hexes.
TEST_F(Amptool, InfoOnAFileThatHoldsMoreThanItSays) {
#ifdef _WIN32
    GTEST_SKIP() << "reads /proc/self/status, a file of Linux's kernel";
#else
    const Outcome info = amptool(dir, "info /proc/self/status");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out.rfind("columns 109, rows 58, hexes 6322\n", 0), 0u) << info.out;
    const auto at = info.out.find("(short: ");
    ASSERT_NE(at, std::string::npos) << info.out;
    const long long missing = std::stoll(info.out.substr(at + 8));
    EXPECT_GT(missing, 6322 - 4096 / 13);
    EXPECT_LE(missing, 6322);
#endif
}

// A journal left by a write that was cut short: amptool puts the old bytes back
// before it reads the map, and says so.
TEST_F(Amptool, SaysWhenItPutsBackAMapWhoseWriteWasCutShort) {
    const QString map = dir.filePath("m.amp");
    const QByteArray canonical = QFile::encodeName(QFileInfo(map).canonicalFilePath());
    std::vector<std::uint8_t> torn = smallMap();
    torn.resize(40);
    putFile(map, QByteArray(reinterpret_cast<const char*>(torn.data()), static_cast<qsizetype>(torn.size())));
    ASSERT_TRUE(plantJournal(dir.filePath("data"), "a.journal",
                             journalBytes(canonical, identityOf(map), smallMap(), torn)));
    const Outcome info = amptool(dir, "info m.amp");
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("(complete)"), std::string::npos) << info.out;
    EXPECT_NE(info.err.find(
                  "amptool: info: m.amp: a write of it was cut short; its old content was put back first"),
              std::string::npos)
        << info.err;
    EXPECT_EQ(bytesOf(dir, "m.amp"), smallMap());
}

// ---- inputs and outputs ----------------------------------------------------------

std::vector<std::uint8_t> bytesAt(const std::string& path) {
    const auto read = amp::diskio::readMapFile(path);
    return read ? read.value() : std::vector<std::uint8_t>{};
}

// An output that is one of the command's inputs, under any name that leads to it,
// would replace it: refused, and the input left as it was. Commands that write a
// map may write it over the map they read: that is what they are for.
TEST_F(Amptool, AnOutputThatIsAnInputIsRefusedUnlessTheCommandWritesThatMap) {
    const std::filesystem::path folder(dir.path().toStdU16String());
    std::filesystem::create_hard_link(folder / "m.amp", folder / "hard.amp");
    std::vector<std::string> refusals = {"export m.amp --layer 0 -o m.amp", "export m.amp -o hard.amp",
                                         "import m.amp --layer 0 grid.csv -o grid.csv",
                                         "import m.amp --layer 0 grid.csv -o ./grid.csv"};
#ifndef _WIN32 // MinGW's std::filesystem makes no symbolic links
    std::filesystem::create_symlink("m.amp", folder / "soft.amp");
    refusals.insert(refusals.end(),
                    {"export m.amp -o soft.amp", "export soft.amp --format json -o hard.amp"});
#endif
    ASSERT_EQ(amptool(dir, "export m.amp --layer 0 -o grid.csv").status, 0);
    const std::string grid = "0,20,40\n10,30,50\n";
    for (const std::string& words : refusals) {
        const Outcome refused = amptool(dir, words);
        EXPECT_EQ(refused.status, 2) << words;
        EXPECT_NE(refused.err.find("the output would replace the input"), std::string::npos)
            << words << ": " << refused.err;
        EXPECT_EQ(bytesOf(dir, "m.amp"), smallMap()) << words;
        QFile kept(dir.filePath("grid.csv"));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll().toStdString(), grid) << words;
    }
    // A map's own commands write over it, through any of its names.
#ifndef _WIN32
    EXPECT_EQ(amptool(dir, "replace m.amp --layer 0 0 9 -o soft.amp").status, 0);
    EXPECT_EQ(bytesOf(dir, "m.amp")[7], 9);
    EXPECT_EQ(amptool(dir, "import soft.amp --layer 0 grid.csv -o m.amp").status, 0);
    EXPECT_EQ(bytesOf(dir, "m.amp"), smallMap());
#endif
    EXPECT_EQ(amptool(dir, "resize m.amp 2 2 -o hard.amp").status, 0);
    EXPECT_EQ(bytesOf(dir, "hard.amp").size(), 7u + 13 * 4);
}

// "-o -" is standard output for every command, "-" as a map standard input;
// standard input is read once.
TEST_F(Amptool, DashIsStandardOutputAndStandardInputForEveryCommand) {
    ASSERT_EQ(amptool(dir, "export m.amp --layer 0 -o grid.csv").status, 0);
    struct Case {
        const char* words;
        std::size_t size; // of the map written
    };
    for (const Case& c :
         {Case{"new 2 2 -o -", 7 + 13 * 4}, Case{"resize m.amp 1 2 -o -", 7 + 13 * 2},
          Case{"import m.amp --layer 0 grid.csv -o -", 85}, Case{"replace m.amp --layer 0 0 9 -o -", 85},
          Case{"resize - 2 2 < m.amp", 59}, Case{"flip - --axis point -o - < m.amp", 85}}) {
        const Outcome out = amptool(dir, std::string(c.words) + " > out.amp");
        EXPECT_EQ(out.status, 0) << c.words << ": " << out.err;
        EXPECT_EQ(bytesOf(dir, "out.amp").size(), c.size) << c.words;
        EXPECT_FALSE(QFile::exists(dir.filePath("-"))) << c.words << " wrote a file named -";
    }
    EXPECT_EQ(bytesOf(dir, "out.amp").size(), 85u);
    const Outcome info = amptool(dir, "info - < m.amp");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out, amptool(dir, "info m.amp").out);
    EXPECT_EQ(amptool(dir, "info - --json < m.amp").out.rfind("{\"columns\":3,\"rows\":2,", 0), 0u);
    EXPECT_EQ(amptool(dir, "diff - m.amp < m.amp").status, 0);
    EXPECT_EQ(amptool(dir, "export - --layer 0 < m.amp").out, "0,20,40\n10,30,50\n");
    const Outcome twice = amptool(dir, "import - --layer 0 - < m.amp");
    EXPECT_EQ(twice.status, 2);
    EXPECT_NE(twice.err.find("standard input (-) can be read once"), std::string::npos) << twice.err;
    putFile(dir.filePath("empty.amp"), QByteArray());
    const Outcome nothing = amptool(dir, "info - < empty.amp");
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.err, "amptool: info: standard input: The file is 0 bytes long, shorter than the 7-byte "
                           "map header.\n");
}

// The null device as the output is a dry run: the bytes are made and dropped,
// nothing is written through a temporary file (as root a rename would put a
// regular file in the device's place). The device node is made in the test's
// own folder, with the null device's numbers.
TEST_F(Amptool, TheNullDeviceAsTheOutputIsADryRun) {
#ifdef _WIN32
    GTEST_SKIP() << "makes a device node with mknod(2); Windows has none in its file system";
#else
    const std::string null = QFile::encodeName(dir.filePath("null")).toStdString();
    if (::mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "making a device node needs root";
    }
    ASSERT_EQ(amptool(dir, "export m.amp --layer 0 -o grid.csv").status, 0);
    for (const char* words :
         {"export m.amp -o null", "export m.amp --layer terrain --format json -o null", "new 3 3 -o null",
          "resize m.amp 9 9 -o null", "import m.amp --layer 0 grid.csv -o null",
          "replace m.amp --layer 0 10 11 -o null", "flip m.amp --axis point -o null",
          "symmetrize m.amp --from left -o null"}) {
        const Outcome out = amptool(dir, words);
        EXPECT_EQ(out.status, 0) << words << ": " << out.err;
        EXPECT_EQ(out.err.find("not a regular file"), std::string::npos) << words;
        struct stat info {};
        ASSERT_EQ(::lstat(null.c_str(), &info), 0);
        EXPECT_TRUE(S_ISCHR(info.st_mode)) << words << " put a file in the device's place";
    }
    EXPECT_EQ(amptool(dir, "replace m.amp --layer 0 10 11 -o null").out, "1 hex changed\n");
    EXPECT_EQ(bytesOf(dir, "m.amp"), smallMap());
    const QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
    EXPECT_TRUE(left.filter(".ampedit").isEmpty()) << left.join(' ').toStdString();
#endif
}

// A layer by number, name or "terrain"; a value by number, or on the terrain
// layer by a terrain's name: the same words the editor and the scripts take.
TEST_F(Amptool, LayersAndValuesGoByTheNamesTheEditorTakes) {
    EXPECT_EQ(amptool(dir, "export m.amp --layer terrain").out, "0,20,40\n10,30,50\n");
    EXPECT_EQ(amptool(dir, "export m.amp --layer TERRAIN --format json").out,
              amptool(dir, "export m.amp --layer 0 --format json").out);
    // Record 1's terrain 10 (Stream) becomes 3 (Forest).
    const Outcome named = amptool(dir, "replace m.amp --layer terrain Stream forest");
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, "1 hex changed\n");
    auto expected = smallMap();
    expected[7 + 13] = 3;
    EXPECT_EQ(bytesOf(dir, "m.amp"), expected);
    EXPECT_EQ(amptool(dir, "replace m.amp --layer 0 Forest 'Impassable River'").out, "1 hex changed\n");
    EXPECT_EQ(bytesOf(dir, "m.amp")[7 + 13], 12);
    ASSERT_EQ(amptool(dir, "new 2 1 -o n.amp --fill terrain=Ocean --fill roads=2 --fill 4=LakeRegion").status,
              2);
    const Outcome made = amptool(dir, "new 2 1 -o n.amp --fill terrain=Ocean --fill roads=2");
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(bytesOf(dir, "n.amp"),
              (std::vector<std::uint8_t>{0, 0, 2, 0, 1, 0, 0, 6, 0, 0, 0, 0, 0, 2, 0, 0, 0,
                                         0, 0, 0, 6, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0}));
    const Outcome roads = amptool(dir, "replace m.amp --layer roads 6 Forest");
    EXPECT_EQ(roads.status, 2);
    EXPECT_EQ(roads.err, "amptool: replace: TO: a value is a whole number 0-255, not \"Forest\"\n");
    EXPECT_EQ(amptool(dir, "replace m.amp --layer 0 0 256").status, 2);
    EXPECT_EQ(amptool(dir, "export m.amp --layer ??????").status, 2);
}

// The maps tst_comparison compares in the editor, told by diff: the hexes both
// have (3 x 3) compare, and every format counts alike.
std::vector<std::uint8_t> patternFile(int columns, int rows) {
    std::vector<std::uint8_t> bytes = {
        42, 0, static_cast<std::uint8_t>(columns), 0, static_cast<std::uint8_t>(rows), 0, 5};
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            for (int j = 0; j < 13; ++j) {
                bytes.push_back(static_cast<std::uint8_t>(c + 10 * r + 20 * j));
            }
        }
    }
    return bytes;
}

TEST_F(Amptool, DiffTellsMapsOfOtherShapesAlikeInEveryFormat) {
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("mine.amp"), patternFile(4, 3)).ok());
    auto tall = patternFile(3, 5);
    tall[7 + 13 * (2 * 5 + 1) + 4] = 1; // hex [2][1], height b1: 2 + 10 + 80 = 92 in mine
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("tall.amp"), tall).ok());
    const Outcome text = amptool(dir, "diff mine.amp tall.amp");
    EXPECT_EQ(text.status, 1);
    EXPECT_EQ(text.out, "size,4x3,3x5\nonly,a,3\nonly,b,6\n2,1,height b1,92,1\n");
    const Outcome summary = amptool(dir, "diff mine.amp tall.amp --summary");
    EXPECT_EQ(summary.out.substr(0, summary.out.find("layer,")), "size,4x3,3x5\nonly,a,3\nonly,b,6\n");
    EXPECT_NE(summary.out.find("layer,4,height b1,1\nlayer,5,"), std::string::npos) << summary.out;
    EXPECT_EQ(std::count(summary.out.begin(), summary.out.end(), '\n'), 3 + 13);
    EXPECT_NE(summary.out.find("layer,0,Terraintype,0\n"), std::string::npos);
    const Outcome json = amptool(dir, "diff mine.amp tall.amp --format json");
    EXPECT_NE(json.out.find("\"onlyInA\":3,\"onlyInB\":6,\"cells\":[{\"column\":2,\"row\":1,\"layer\":4,"
                            "\"a\":92,\"b\":1}],"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("{\"layer\":4,\"name\":\"height b1\",\"hexes\":1}"), std::string::npos);
}

// A file cut inside a record: the cut record's bytes are dropped wherever the map
// is read, and said; diff tells two different files apart even when they hold
// the same map.
TEST_F(Amptool, ARecordCutShortIsToldAndDiffNeverCallsDifferentFilesTheSame) {
    auto repaired = smallMap();
    std::fill(repaired.end() - 13, repaired.end(), 0); // hex 2,1 as a write of the short file stores it
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("repaired.amp"), repaired).ok());
    auto cut = smallMap();
    cut.resize(cut.size() - 8); // 5 bytes of the last record left
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("short.amp"), cut).ok());
    const std::string note = "short.amp: note: the file ends 5 bytes into the record of hex 2,1; those bytes "
                             "are dropped, and the hex is read as zeros\n";
    const Outcome differ = amptool(dir, "diff short.amp repaired.amp");
    EXPECT_EQ(differ.status, 1);
    EXPECT_EQ(differ.out, "file,77,85\n");
    EXPECT_EQ(differ.err, "amptool: diff: " + note);
    EXPECT_EQ(amptool(dir, "diff short.amp repaired.amp --summary").status, 1);
    const Outcome json = amptool(dir, "diff repaired.amp short.amp --format json");
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("\"bytes\":{\"a\":85,\"b\":77,\"same\":false},\"same\":false}"),
              std::string::npos)
        << json.out;
    EXPECT_EQ(amptool(dir, "diff short.amp short.amp").status, 0);
    for (const char* words :
         {"export short.amp --layer 0", "export short.amp", "info short.amp",
          "import short.amp --layer 0 grid.csv -o fixed.amp", "resize short.amp 3 2 -o r.amp"}) {
        ASSERT_EQ(amptool(dir, "export repaired.amp --layer 0 -o grid.csv").status, 0);
        const Outcome told = amptool(dir, words);
        EXPECT_EQ(told.status, 0) << words << ": " << told.err;
        EXPECT_NE(told.err.find(note), std::string::npos) << words << ": " << told.err;
    }
    EXPECT_EQ(bytesOf(dir, "fixed.amp"), repaired);
    EXPECT_EQ(amptool(dir, "export repaired.amp").err, "");
}

// A file larger than the largest map is no map: a gigabyte of zeros (sparse, it
// costs no disk) is refused, not read as a map of 0 x 0 hexes.
TEST_F(Amptool, AFileLargerThanAnyMapIsRefusedByEveryCommand) {
    QFile big(dir.filePath("big.amp"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(1LL << 30));
    big.close();
    for (const char* words : {"diff big.amp m.amp", "diff m.amp big.amp --summary", "info big.amp",
                              "export big.amp", "resize big.amp 2 2 -o r.amp"}) {
        const Outcome refused = amptool(dir, words);
        EXPECT_EQ(refused.status, 1) << words;
        EXPECT_NE(refused.err.find("big.amp: the file is larger than the largest map (845,332 bytes)"),
                  std::string::npos)
            << words << ": " << refused.err;
        EXPECT_EQ(refused.out, "") << words;
    }
    EXPECT_EQ(amptool(dir, "info - < big.amp").status, 1);
}

// Nothing made from a private map is readable by more users than the map: each
// new file, a new map made like it too, takes the map's permission bits (under
// the umask, as cp gives them).
TEST_F(Amptool, WhatIsMadeFromAPrivateMapIsAsPrivateAsIt) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no POSIX mode bits or umask";
#else
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("m.amp")).constData(), 0600), 0);
    putFile(dir.filePath("grid.csv"), "1,2,3\n4,5,6\n");
    const char* commands[] = {"export m.amp --layer 0 -o out.csv",
                              "export m.amp --format json -o out.json",
                              "resize m.amp 4 4 -o resized.amp",
                              "replace m.amp --layer 0 10 11 -o replaced.amp",
                              "flip m.amp --axis left-right -o flipped.amp",
                              "import m.amp --layer 2 grid.csv -o imported.amp",
                              "new 4 4 --like m.amp -o like.amp"};
    for (const char* command : commands) {
        const Outcome run = amptool(dir, std::string("umask 022 && ") + AMPTOOL_PATH + " " + command, false);
        EXPECT_EQ(run.status, 0) << command << ": " << run.err;
    }
    for (const char* made :
         {"out.csv", "out.json", "resized.amp", "replaced.amp", "flipped.amp", "imported.amp", "like.amp"}) {
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(made)).constData(), &info), 0) << made;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << made;
    }
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("m.amp")).constData(), 0640), 0);
    EXPECT_EQ(amptool(dir, "umask 027 && " AMPTOOL_PATH " export m.amp -o shared.csv", false).status, 0);
    struct stat shared {};
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath("shared.csv")).constData(), &shared), 0);
    EXPECT_EQ(shared.st_mode & 0777, 0640u);
#endif
}

// Standard input and output are the files they are redirected from and to: an
// output that would replace the input is refused there too, and a map read from
// standard input waits for a write in place of its file as a map read by name.
TEST_F(Amptool, RedirectedStandardInputAndOutputAreTheFilesTheyName) {
    const std::vector<std::uint8_t> before = bytesOf(dir, "m.amp");
    for (const char* words : {"export - -o m.amp < m.amp", "export m.amp -o - >> m.amp",
                              "export m.amp >> m.amp", "export - -o - < m.amp >> m.amp"}) {
        const Outcome refused = amptool(dir, words);
        EXPECT_EQ(refused.status, 2) << words;
        EXPECT_NE(refused.err.find("the output would replace the input"), std::string::npos) << refused.err;
        EXPECT_EQ(bytesOf(dir, "m.amp"), before) << words;
    }
    EXPECT_EQ(amptool(dir, "export - -o copy.csv < m.amp").status, 0);

    if (PortableFileCode) {
        return; // its writers in place lock by name in the journal folder, not the file
    }
#ifndef _WIN32 // flock(2) and timeout(1)
    // While a write in place holds the map (an exclusive flock), a read of it
    // through standard input waits: it has not ended after a second.
    const int held = ::open(QFile::encodeName(dir.filePath("m.amp")).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const Outcome waiting = amptool(
        dir, "cd '" + dir.path().toStdString() + "' && timeout 1 " AMPTOOL_PATH " info - < m.amp", false);
    ::close(held);
    EXPECT_EQ(waiting.status, 124) << waiting.out << waiting.err;
    EXPECT_EQ(amptool(dir, "info - < m.amp").status, 0);
#endif
}

// The sample generator names its file by the system's bytes too: the name with an
// invalid byte is made, not the one with the replacement character.
TEST_F(Amptool, TheSampleGeneratorWritesTheNameItIsGiven) {
    if (PortableFileCode) {
        GTEST_SKIP() << "the portable file code names files as QString, which holds only Unicode";
    }
#ifndef _WIN32
    const Outcome made = amptool(dir, AMPGEN_PATH " 2 2 7 \"$(printf 'g\\377.amp')\"", false);
    EXPECT_EQ(made.status, 0) << made.err;
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    EXPECT_EQ(bytesAt(folder + "/g\xff.amp").size(), 7u + 13 * 4);
    struct stat info {};
    EXPECT_NE(::stat((folder + "/g\xef\xbf\xbd.amp").c_str(), &info), 0);
    ::unlink((folder + "/g\xff.amp").c_str());
#endif
}

// Not on Windows: these runs fork amptool and kill it with SIGKILL at random
// moments, some as the user nobody through setpriv(1). Listed in
// docs/development.md, "Tests on Windows".
#ifndef _WIN32

// ---- writes killed at a random moment -------------------------------------------

// 255 x 255 hexes, header 0 0 255 0 255 0 0, every terrain 7: what
// "amptool new 255 255 --fill 0=7" writes.
std::vector<std::uint8_t> filledMap() {
    std::vector<std::uint8_t> bytes = {0, 0, 255, 0, 255, 0, 0};
    for (int k = 0; k < 255 * 255; ++k) {
        bytes.insert(bytes.end(), {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    }
    return bytes;
}

// 100 x 100 hexes of changing bytes: the map before the write.
QByteArray oldMap() {
    QByteArray bytes("\x01\x02\x64\x03\x64\x04\x05", 7);
    for (int i = 0; i < 13 * 100 * 100; ++i) {
        bytes.append(static_cast<char>((i * 7 + 3) % 251));
    }
    return bytes;
}

struct KillCounts {
    int killed = 0, old = 0, fresh = 0, torn = 0, restored = 0, foreign = 0, setAside = 0;
};

// A map another program saves over m.amp after a kill: 10 x 10 hexes.
std::vector<std::uint8_t> foreignMap() {
    std::vector<std::uint8_t> bytes = {0, 0, 10, 0, 10, 0, 0};
    bytes.resize(7 + 13 * 10 * 10, 0x5A);
    return bytes;
}

QStringList entriesOf(const QString& folder, const QString& pattern = QStringLiteral("*")) {
    return QDir(folder).entryList({pattern},
                                  QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
}

// Where a run's write shows itself first: a folder and a pattern of names.
struct Watched {
    QString folder;
    QString pattern;
};

// One run of a write, and how it ended.
struct Run {
    bool killed = false;
    std::chrono::microseconds writing{0}; // from the write's first file to the end
};

// Starts `words` in `folder` and, once a new entry shows in `watched` (the
// write's first file of that kind), sends SIGKILL after `delay` unless the run ended before.
Run runAndKill(const std::vector<std::string>& words, const QString& folder, const Watched& watched,
               std::chrono::microseconds delay) {
    const QStringList before = entriesOf(watched.folder, watched.pattern);
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& word : words) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        std::freopen("/dev/null", "w", stderr);        // what new says of its header
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1); // a killed run has nothing to say of leaks
        if (::chdir(QFile::encodeName(folder).constData()) == 0) {
            ::execv(argv[0], argv.data());
        }
        ::_exit(127);
    }
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> writing;
    int status = 0;
    Run run;
    while (::waitpid(child, &status, WNOHANG) != child) {
        if (!writing) {
            const QStringList now = entriesOf(watched.folder, watched.pattern);
            if (std::any_of(now.begin(), now.end(),
                            [&before](const QString& name) { return !before.contains(name); })) {
                writing = Clock::now();
            }
        } else if (Clock::now() - *writing >= delay) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            run.killed = WIFSIGNALED(status);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    if (writing) {
        run.writing = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - *writing);
    }
    return run;
}

// Kills the writes `words` make of `map` at random moments from the write's
// first file in `watched` to a little past the end of a whole run, each time
// reading the map at once as `reader`, the user the journal belongs to (which
// puts a journal back): the old bytes or the new ones, never a mixture.
// `meanwhile`, when given, runs after each kill and before the read: another
// program's save.
KillCounts killWrites(const std::vector<std::string>& words, const QString& map, const Watched& watched,
                      int kills, const std::function<void()>& reset, uid_t reader = ::geteuid(),
                      const std::function<void()>& meanwhile = {}) {
    const QString folder = QFileInfo(map).absolutePath();
    KillCounts counts;
    amp::setRestoreNotice([&counts](const QString&, const amp::JournalNotice& notice) {
        ++(notice.kind == amp::JournalNotice::Kind::PutBack ? counts.restored : counts.setAside);
    });
    reset();
    const Run whole = runAndKill(words, folder, watched, std::chrono::seconds(10)); // sizes the moments
    std::mt19937 random(20261208);
    std::uniform_int_distribution<long long> moment(0, whole.writing.count() * 6 / 5);
    const std::vector<std::uint8_t> fresh = filledMap();
    const QByteArray oldBytes = oldMap();
    const std::vector<std::uint8_t> old(oldBytes.begin(), oldBytes.end());
    for (int i = 0; i < kills; ++i) {
        reset();
        counts.killed += runAndKill(words, folder, watched, std::chrono::microseconds(moment(random))).killed;
        if (meanwhile) {
            meanwhile();
        }
        const uid_t self = ::geteuid();
        EXPECT_EQ(::seteuid(reader), 0);
        const auto read = amp::readMapFile(map);
        EXPECT_EQ(::seteuid(self), 0);
        const auto bytes = read ? read.value() : std::vector<std::uint8_t>{};
        ++(bytes == old            ? counts.old
           : bytes == fresh        ? counts.fresh
           : bytes == foreignMap() ? counts.foreign
                                   : counts.torn);
    }
    amp::setRestoreNotice({});
    std::printf(
        "%d runs, %d killed while writing (a whole write %lld us): %d old, %d new, %d another program's, "
        "%d put back from a journal, %d journals set aside, %d torn\n",
        kills, counts.killed, static_cast<long long>(whole.writing.count()), counts.old, counts.fresh,
        counts.foreign, counts.restored, counts.setAside, counts.torn);
    return counts;
}

constexpr int Kills = 40;

// Runs as nobody need root and setpriv, and a copy of amptool where nobody may
// run it, with a data folder of nobody's own.
class AsNobody : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0 || ::access(Setpriv, X_OK) != 0 ||
            std::system("/usr/bin/setpriv --reuid=nobody --regid=nogroup --clear-groups true 2>/dev/null") !=
                0) {
            GTEST_SKIP() << "needs root and setpriv to run amptool as nobody";
        }
        ASSERT_TRUE(QDir(dir.path()).mkdir("maps") && QDir(dir.path()).mkdir("data"));
        ASSERT_TRUE(QFile::copy(AMPTOOL_PATH, tool));
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        ASSERT_TRUE(QDir().mkpath(journals));
        for (const QString& made : {data, data + "/ampedit", journals}) {
            ASSERT_EQ(::chown(QFile::encodeName(made).constData(), Nobody, Nobody), 0);
        }
        ASSERT_EQ(::chmod(QFile::encodeName(journals).constData(), 0700), 0); // as the programs make it
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    }
    std::vector<std::string> asNobody(std::initializer_list<std::string> words) const {
        std::vector<std::string> all = {Setpriv, "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                        tool.toStdString()};
        all.insert(all.end(), words);
        return all;
    }
    static constexpr const char* Setpriv = "/usr/bin/setpriv";
    static constexpr uid_t Nobody = 65534;
    QTemporaryDir dir;
    const QString folder = dir.filePath("maps"), data = dir.filePath("data"), tool = dir.filePath("amptool");
    const QString journals = journalFolderUnder(data);
};

// In a folder nobody may write to, or for a file whose owner nobody cannot give
// a new file (a shared group folder), the map is written in place: its inode,
// owner and group stay.
TEST_F(AsNobody, AnotherUsersFileInASharedFolderKeepsItsOwner) {
    if (PortableFileCode) {
        GTEST_SKIP()
            << "the portable file code cannot tell that a new file would lose the owner, so it replaces";
    }
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    const QString map = folder + "/shared.amp";
    putFile(map, oldMap());
    ASSERT_EQ(::chown(QFile::encodeName(map).constData(), 1234, Nobody), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(map).constData(), 0664), 0);
    const auto inode = inodeOf(map);
    EXPECT_FALSE(runAndKill(asNobody({"new", "255", "255", "--fill", "0=7", "-o", "shared.amp"}), folder,
                            {journals, "*"}, std::chrono::seconds(10))
                     .killed);
    EXPECT_EQ(bytesOf(dir, "maps/shared.amp"), filledMap());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(map).constData(), &info), 0);
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, Nobody);
    EXPECT_EQ(info.st_mode & 07777, 0664u);
    EXPECT_EQ(info.st_ino, inode);
    EXPECT_EQ(entriesOf(folder), QStringList{"shared.amp"});
}

// In a folder the user may not write to, the map is written in place: as
// nobody, since permission bits do not stop root.
TEST_F(AsNobody, AKilledWriteInPlaceLeavesTheOldMapOrTheNewNeverAMixture) {
    const QString map = folder + "/m.amp";
    const auto reset = [&map] {
        putFile(map, oldMap());
        ::chown(QFile::encodeName(map).constData(), Nobody, Nobody);
    };
    const std::vector<std::string> words = asNobody({"new", "255", "255", "--fill", "0=7", "-o", "m.amp"});
    // From the moment the journal is whole, the file itself is written.
    const KillCounts counts = killWrites(words, map, {journals, "*.journal"}, Kills, reset, Nobody);
    EXPECT_EQ(counts.torn, 0);
    EXPECT_GT(counts.fresh, 0) << "the write works as nobody in place";
    if (!PortableFileCode) {
        // The portable code syncs nothing, so its write in place is over too soon
        // for a kill to be sure to land in it; there only `torn` counts.
        EXPECT_GT(counts.killed, 0) << "the write in place keeps a journal, and kills come while it is there";
    }
    EXPECT_EQ(entriesOf(folder), QStringList{"m.amp"});
    // One whole write more: the journal folder holds no journal and no leftover.
    runAndKill(words, folder, {journals, "*.journal"}, std::chrono::seconds(10));
    EXPECT_EQ(bytesOf(dir, "maps/m.amp"), filledMap());
    EXPECT_EQ(entriesOf(journals), QStringList{});
}

// A journal left by a killed write in place never undoes what another program
// saved over the map afterwards (here cp, which writes into the same file, as
// root: another user): the other program's map survives every kill, and each
// journal it made stale is set aside.
TEST_F(AsNobody, AJournalOfAKilledWriteNeverUndoesALaterSaveByAnotherProgram) {
    const QString map = folder + "/m.amp";
    const QString foreign = dir.filePath("foreign.amp");
    const std::vector<std::uint8_t> foreignBytes = foreignMap();
    putFile(foreign, QByteArray(reinterpret_cast<const char*>(foreignBytes.data()),
                                static_cast<qsizetype>(foreignBytes.size())));
    const auto reset = [&map] {
        putFile(map, oldMap());
        ::chown(QFile::encodeName(map).constData(), Nobody, Nobody);
    };
    const std::string copy = "/bin/cp '" + foreign.toStdString() + "' '" + map.toStdString() + "'";
    const auto save = [&copy] { ASSERT_EQ(std::system(copy.c_str()), 0); };
    const std::vector<std::string> words = asNobody({"new", "255", "255", "--fill", "0=7", "-o", "m.amp"});
    const KillCounts counts = killWrites(words, map, {journals, "*.journal"}, Kills, reset, Nobody, save);
    EXPECT_EQ(counts.foreign, Kills) << "another program's save is never rolled back";
    EXPECT_EQ(counts.restored, 0);
    if (!PortableFileCode) {
        EXPECT_GT(counts.setAside, 0) << "kills land while the journal is there, and leave it stale";
    }
    EXPECT_EQ(entriesOf(journals, "*.journal"), QStringList{}) << "no journal is left to apply later";
}

// A map made read-only after a write of it was cut short, then saved by another
// program: the journal, stale, cannot block its reading. It is set aside, the
// map read as it stands; a journal the read-only map still matches is told.
TEST_F(AsNobody, AStaleJournalOfAMapMadeReadOnlySinceDoesNotBlockItsReading) {
    const QString map = folder + "/ro.amp";
    const std::vector<std::uint8_t> saved = foreignMap();
    putFile(map,
            QByteArray(reinterpret_cast<const char*>(saved.data()), static_cast<qsizetype>(saved.size())));
    ASSERT_EQ(::chown(QFile::encodeName(map).constData(), Nobody, Nobody), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(map).constData(), 0444), 0);
    const QByteArray canonical = QFile::encodeName(QFileInfo(map).canonicalFilePath());
    const QByteArray oldBytes = oldMap();
    const std::vector<std::uint8_t> old(oldBytes.begin(), oldBytes.end());
    const auto plant = [&](const char* name, const std::vector<std::uint8_t>& written) {
        ASSERT_TRUE(plantJournal(data, name, journalBytes(canonical, identityOf(map), old, written)));
        ASSERT_EQ(::chown(QFile::encodeName(journals + "/" + name).constData(), Nobody, Nobody), 0);
    };
    plant("stale.journal", filledMap());
    const std::string info = "cd '" + folder.toStdString() + "' && ";
    const auto run = [&](const std::vector<std::string>& words) {
        std::string line = info;
        for (const std::string& word : words) {
            line += "'" + word + "' ";
        }
        return runShell(dir, line);
    };
    const Outcome stale = run(asNobody({"info", "ro.amp"}));
    EXPECT_EQ(stale.status, 0) << stale.err;
    EXPECT_NE(stale.err.find("another program has written it since"), std::string::npos) << stale.err;
    EXPECT_TRUE(QFile::exists(journals + "/stale.journal-set-aside"));
    EXPECT_EQ(bytesOf(dir, "maps/ro.amp"), saved);

    plant("hot.journal", saved); // the map holds that write's bytes: it was cut short
    const Outcome hot = run(asNobody({"info", "ro.amp"}));
    EXPECT_EQ(hot.status, 2);
    EXPECT_NE(hot.err.find("its old content cannot be put back (Permission denied)"), std::string::npos)
        << hot.err;
    EXPECT_TRUE(QFile::exists(journals + "/hot.journal")) << "the journal keeps the old content";
}

// Killed while replacing, a write leaves its temporary file; the next write of
// that folder removes it.
TEST(KilledWrite, ReplacingLeavesTheOldMapOrTheNewAndNoLeftoverForLong) {
    if (PortableFileCode) {
        GTEST_SKIP() << "the portable file code does not remove the temporary files of killed writes";
    }
    QTemporaryDir dir;
    const QString map = dir.filePath("m.amp");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
    const std::vector<std::string> words = {AMPTOOL_PATH, "new", "255", "255",
                                            "--fill",     "0=7", "-o",  "m.amp"};
    const Watched temporary{dir.path(), ".ampedit-*"};
    const KillCounts counts = killWrites(words, map, temporary, Kills, [&map] { putFile(map, oldMap()); });
    EXPECT_EQ(counts.torn, 0);
    runAndKill(words, dir.path(), temporary, std::chrono::seconds(10));
    EXPECT_EQ(bytesOf(dir, "m.amp"), filledMap());
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"m.amp"}) << "leftovers of killed writes are removed";
}

#endif

} // namespace
