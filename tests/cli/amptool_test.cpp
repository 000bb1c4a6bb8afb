// Runs of the real amptool binary: round trips through a grid, diff's exit
// codes, every value export and diff print (one, two and three digits, hexes a
// short file lacks, a map's worth of output), a bad grid's LINE:COLUMN message
// with the map untouched, and the shapes that new and resize make.
#include "mapfileio.h"
#include "mapformat.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs amptool with the words through the shell, in the folder.
Outcome amptool(const QTemporaryDir& dir, const std::string& words) {
    const std::string errPath = dir.filePath("stderr.txt").toStdString();
    const std::string command = "cd '" + dir.path().toStdString() + "' && " AMPTOOL_PATH " " + words + " 2>'" +
                                errPath + "'";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        outcome.out.append(buffer, got);
    }
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    QFile err(QString::fromStdString(errPath));
    err.open(QIODevice::ReadOnly);
    outcome.err = err.readAll().toStdString();
    return outcome;
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
    void SetUp() override { ASSERT_TRUE(amp::writeFileSafely(dir.filePath("m.amp"), smallMap()).ok()); }
    QTemporaryDir dir;
};

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
    EXPECT_EQ(changed[7 + 6], 7);            // column 0, row 0
    EXPECT_EQ(changed[7 + 13 * 3 + 6], 11);  // column 1, row 1
    EXPECT_EQ(changed[7 + 13 * 5 + 6], 12);  // column 2, row 1
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
    EXPECT_EQ(amptool(dir, "diff m.amp r.amp").out, "size,3x2,2x2\n");
    const Outcome missing = amptool(dir, "diff m.amp nothing.amp");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("amptool: diff: "), std::string::npos) << missing.err;
}

TEST_F(Amptool, ExportAndDiffPrintEveryValueAsItsDecimalText) {
    // 2 x 2 hexes, three records and 5 bytes of a fourth: hex 1,1 is all zeros.
    std::vector<std::uint8_t> bytes = {9, 8, 2, 7, 2, 6, 5,
                                       0, 9, 10, 99, 100, 255, 1, 2, 3, 4, 5, 6, 7,
                                       255, 200, 199, 109, 101, 90, 89, 11, 8, 0, 0, 0, 250,
                                       1, 10, 100, 2, 20, 200, 3, 30, 255, 0, 5, 50, 250,
                                       77, 77, 77, 77, 77};
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
    EXPECT_NE(amptool(dir, "info s.amp --json").out.find("{\"name\":\"Terraintype\",\"min\":0,\"max\":255,"
                                                          "\"distinct\":3,\"zeros\":2}"),
              std::string::npos);

    // The same map complete, with four cells changed, the missing hex's among them.
    std::vector<std::uint8_t> other(bytes.begin(), bytes.begin() + 7 + 13 * 3);
    other.resize(7 + 13 * 4, 0);
    other[7 + 5] = 0;             // hex 0,0, height b2: 255 -> 0
    other[7 + 13 + 12] = 251;     // hex 0,1, Text ID b4: 250 -> 251
    other[7 + 26 + 9] = 9;        // hex 1,0, Text ID b1: 0 -> 9
    other[7 + 39] = 100;          // hex 1,1, Terraintype: 0 -> 100
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("t.amp"), other).ok());
    const Outcome differ = amptool(dir, "diff s.amp t.amp");
    EXPECT_EQ(differ.status, 1);
    EXPECT_EQ(differ.out, "0,0,height b2,255,0\n0,1,Text ID b4,250,251\n1,0,Text ID b1,0,9\n1,1,Terraintype,0,100\n");

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
        {"1,2,3\n4,x,6\n", "grid.csv:2:2: "},
        {"1,2,3\n4,5,256\n", "grid.csv:2:3: "},
        {"1,2,3\n4,5\n", "grid.csv:2:3: "},
        {"1,2,3\n4,5,6,7\n", "grid.csv:2:4: "},
        {"1,2,3\n", "grid.csv:2:0: "},
        {"1,2,3\n4,5,6\n7,8,9\n", "grid.csv:3:0: "},
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
    EXPECT_EQ(bytesOf(dir, "z.amp"), (std::vector<std::uint8_t>{0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                                0, 0, 0}));

    // 3 x 2 to 2 x 3: hexes [0][0], [0][1], [1][0], [1][1] keep their records; the rest are 0.
    ASSERT_EQ(amptool(dir, "resize m.amp 2 3").status, 0);
    const auto resized = bytesOf(dir, "m.amp");
    ASSERT_EQ(resized.size(), 7u + 13 * 6);
    const int from[] = {0, 1, -1, 2, 3, -1}; // old record of new record k (column k / 3, row k % 3)
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(resized[7 + 13 * static_cast<std::size_t>(k) + 4], from[k] < 0 ? 0 : 10 * from[k] + 4) << k;
    }
    const Outcome replaced = amptool(dir, "replace m.amp --layer 4 14 99");
    EXPECT_EQ(replaced.out, "1 hexes changed\n");
    EXPECT_EQ(amptool(dir, "new 256 1 -o big.amp").status, 2);
    EXPECT_FALSE(QFile::exists(dir.filePath("big.amp")));
}

TEST_F(Amptool, InfoTellsShapeSizeAndLayers) {
    const Outcome json = amptool(dir, "info m.amp --json");
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out.rfind("{\"columns\":3,\"rows\":2,\"header\":[42,0,3,0,2,0,5],\"size\":85,\"complete_size\":85,"
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

} // namespace
