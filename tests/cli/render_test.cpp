// SPDX-License-Identifier: MIT
// Runs of the real `amptool render`: the PNG's geometry in both layouts (its
// size, and every hex's centre pixel its terrain colour), overlays and a
// region, labels with no display, and errors that write nothing.
#include "mapfileio.h"
#include "mapformat.h"
#include "shellrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

constexpr int Columns = 30;
constexpr int Rows = 20;
// The terrain colours, Clear to Blackout.
constexpr QRgb Terrain[19] = {0xFFE8E2C4, 0xFFB32323, 0xFF7C7C7D, 0xFF2E7D32, 0xFFE4CE88,
                              0xFF718B57, 0xFF1F4E9A, 0xFF5C85E4, 0xFF3B3A3A, 0xFF783D9C,
                              0xFF88C4FD, 0xFF8D5B2C, 0xFF0C275A, 0xFFB1905F, 0xFF398ECF,
                              0xFFB1D0E4, 0xFF89AF58, 0xFF5B3D25, 0xFF000000};

int terrainOf(int column, int row) {
    return (column * Rows + row) % 19;
}
bool isRoad(int column, int row) {
    return (column + 2 * row) % 5 == 0;
}

class Render : public testing::Test {
protected:
    void SetUp() override {
        std::vector<std::uint8_t> bytes = {0, 0, Columns, 0, Rows, 0, 0};
        for (int column = 0; column < Columns; ++column) {
            for (int row = 0; row < Rows; ++row) {
                std::uint8_t record[amp::RecordSize] = {};
                record[amp::TerrainLayer] = static_cast<std::uint8_t>(terrainOf(column, row));
                record[6] = isRoad(column, row) ? 3 : 0;
                bytes.insert(bytes.end(), record, record + amp::RecordSize);
            }
        }
        ASSERT_TRUE(amp::writeFileSafely(dir.filePath("m.amp"), bytes).ok());
    }
    // amptool with the words, with neither a display nor a platform named.
    Outcome run(const std::string& words) {
        return runShell(dir, "cd '" + dir.path().toStdString() + "' && env -u DISPLAY -u QT_QPA_PLATFORM " +
                                 AMPTOOL_PATH " render " + words);
    }
    QImage picture(const char* name = "out.png") { return QImage(dir.filePath(name)); }
    static QPoint centre(double size, int column, int row, bool evenLower) {
        const bool lowered = (column % 2 == 1) != evenLower;
        return {int(size * (1 + 1.5 * column)),
                int(size * std::sqrt(3.0) / 2 * (1 + 2 * row + (lowered ? 1 : 0)))};
    }
    QTemporaryDir dir;
};

TEST_F(Render, ThePictureHasTheGeometryOtherToolsFindHexesBy) {
    for (const bool even : {false, true}) {
        const Outcome done = run(std::string("m.amp -o out.png") + (even ? " --even-columns-lower" : ""));
        ASSERT_EQ(done.status, 0) << done.err;
        const QImage image = picture();
        EXPECT_EQ(image.width(), int(std::ceil(8 * (1.5 * Columns + 0.5))));
        EXPECT_EQ(image.height(), int(std::ceil(8 * std::sqrt(3.0) * (Rows + 0.5))));
        int wrong = 0;
        for (int column = 0; column < Columns; ++column) {
            for (int row = 0; row < Rows; ++row) {
                wrong += image.pixel(centre(8, column, row, even)) != Terrain[terrainOf(column, row)];
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    // To standard output, the same PNG.
    const Outcome piped = run("m.amp -o -");
    ASSERT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out.substr(0, 8), std::string("\x89PNG\r\n\x1a\n"));
}

TEST_F(Render, OverlaysAndARegionDrawWhatTheyName) {
    // Roads marked, in columns 3-7 and rows 2-5: a picture of 5 x 4 hexes.
    const Outcome done = run("m.amp -o out.png --size 10 --overlay roads --region 3,2,7,5");
    ASSERT_EQ(done.status, 0) << done.err;
    const QImage image = picture();
    EXPECT_EQ(image.size(), QSize(int(std::ceil(10 * 8.0)), int(std::ceil(10 * std::sqrt(3.0) * 4.5))));
    int wrong = 0, roads = 0;
    for (int column = 3; column <= 7; ++column) {
        for (int row = 2; row <= 5; ++row) {
            const QRgb at = image.pixel(centre(10, column - 3, row - 2, true)); // column 3 is lowered
            roads += isRoad(column, row);
            wrong += (at == Terrain[terrainOf(column, row)]) == isRoad(column, row);
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(roads, 2);
    // Coordinates and outlines need fonts, and no display: ink in the hexes.
    ASSERT_EQ(run("m.amp -o labels.png --size 30 --coordinates --outlines --colour-blind").status, 0);
    const QImage labels = picture("labels.png");
    int dark = 0;
    for (int x = 0; x < 40; ++x) {
        dark += qGray(labels.pixel(centre(30, 0, 0, false) + QPoint(x - 20, 0))) < 40;
    }
    EXPECT_GT(dark, 0); // "0,0" on Clear
}

// A picture of a private map is as private as the map.
TEST_F(Render, APictureOfAPrivateMapIsAsPrivateAsIt) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows files have no POSIX mode bits";
#else
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath("m.amp")).constData(), 0600), 0);
    const Outcome made = run("m.amp -o private.png");
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(QFileInfo(dir.filePath("private.png")).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
#endif
}

TEST_F(Render, BadInputIsRefusedAndNothingIsWritten) {
    QFile other(dir.filePath("kept.png"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly) && other.write("old", 3) == 3);
    other.close();
    ASSERT_TRUE(amp::writeFileSafely(dir.filePath("short.amp"), std::vector<std::uint8_t>{1, 2, 3}).ok());
    const struct {
        std::string words;
        int status;
        std::string says;
    } cases[] = {
        {"m.amp", 2, "-o is needed"},
        {"m.amp -o kept.png --overlay streets", 2, "no layer is named \"streets\""},
        {"m.amp -o kept.png --overlay roads:dots", 2, "the style is marks, shade or values"},
        {"m.amp -o kept.png --overlay 0", 2, "is the base already"},
        {"m.amp -o kept.png --size 0", 2, "the hex size must be a whole number 1-64"},
        {"m.amp -o kept.png --region 0,0,30,3", 2, "outside the map of 30 x 20 hexes"},
        {"m.amp -o kept.png --region 5,0,4,3", 2, "C0 <= C1"},
        {"short.amp -o kept.png", 1, "short.amp"},
        {"missing.amp -o kept.png", 2, "missing.amp"},
        {"m.amp -o m.amp", 2, "m.amp: the output would replace the input m.amp"},
        {"m.amp -o ./m.amp --base terrain", 2, "the output would replace the input"},
    };
    const auto map = amp::readMapFile(dir.filePath("m.amp"));
    for (const auto& refused : cases) {
        const Outcome done = run(refused.words);
        EXPECT_EQ(done.status, refused.status) << refused.words;
        EXPECT_EQ(done.err.rfind("amptool: render: ", 0), 0u) << done.err;
        EXPECT_NE(done.err.find(refused.says), std::string::npos) << done.err;
    }
    QFile kept(dir.filePath("kept.png"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old"));
    EXPECT_EQ(QDir(dir.path()).entryList({"*.png"}, QDir::Files).size(), 1);
    EXPECT_EQ(amp::readMapFile(dir.filePath("m.amp")).value(), map.value()) << "the map is left as it was";
}

// Layers go by the names every command takes, "terrain" among them.
TEST_F(Render, TheTerrainLayerGoesByItsEverydayName) {
    const Outcome done = run("m.amp -o named.png --base terrain --overlay ROADS");
    ASSERT_EQ(done.status, 0) << done.err;
    ASSERT_EQ(run("m.amp -o numbered.png --base 0 --overlay 6").status, 0);
    EXPECT_EQ(picture("named.png"), picture("numbered.png"));
    EXPECT_FALSE(picture("named.png").isNull());
}

} // namespace
