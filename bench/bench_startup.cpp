// SPDX-License-Identifier: MIT
// Whole processes, measured from the outside and side by side: each round runs
// every program once, in turn, so a pair of programs compared shares the load of
// the moment; a ratio is the median of the rounds' ratios. Start-up: ampedit
// opening the largest map against two floors, a bare Qt window with an empty
// QTableView and a bare Qt program that shows 255 x 255 numbers in one
// QTableView, and, where Debian's `tiled` is installed, Tiled exporting the same
// map as a 13-layer hexagonal TMX file. The window programs tell when their first
// paint was done, then close their windows the ordinary way; the table shows wall
// time to the first paint and until the process is reaped, the CPU time (user and
// system) and peak memory. Then the console tool on the same map against the
// system's tools doing as much: `amptool export` of all layers against `xxd -p`,
// `amptool diff` of two maps that differ in every cell against `cmp -l`,
// `amptool merge` of three maps that differ in every cell (written) against that diff, and
// `amptool info`, with a program that links QtCore and returns at once against
// one that links nothing, for what loading QtCore costs any command.
//   bench_startup BARE_WINDOW BARE_TABLE STARTUP_AMPEDIT AMPTOOL BARE_QTCORE BARE_PROGRAM [ROUNDS]
#include "mapfileio.h"
#include "mapgenerator.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Sample {
    double seconds = 0;      // until the process was reaped
    double paintSeconds = 0; // until the first paint was done, when the program tells it
    double cpuSeconds = 0;   // user and system time of the process
    double mebibytes = 0;
};

// The moment a bench window program printed as "first-paint NANOSECONDS" on the
// monotonic clock, which std::chrono::steady_clock reads too.
std::optional<std::chrono::steady_clock::time_point> firstPaintIn(const std::string& output) {
    std::FILE* file = std::fopen(output.c_str(), "r");
    if (!file) {
        return std::nullopt;
    }
    long long nanoseconds = 0;
    const bool found = std::fscanf(file, "first-paint %lld", &nanoseconds) == 1;
    std::fclose(file);
    if (!found) {
        return std::nullopt;
    }
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanoseconds));
}

double secondsOf(const timeval& time) {
    return static_cast<double>(time.tv_sec) + time.tv_usec * 1e-6;
}

// Runs the command with its standard output to `output` (a file, or nothing);
// `status` is the exit status it should end with.
Sample runOnce(const std::vector<std::string>& command, const std::string& output = "/dev/null",
               int expected = 0) {
    // What the last program printed there is freed now, not on this one's time.
    if (output != "/dev/null") {
        std::remove(output.c_str());
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const auto& word : command) {
            argv.push_back(const_cast<char*>(word.c_str()));
        }
        argv.push_back(nullptr);
        freopen("/dev/null", "w", stderr);
        freopen(output.c_str(), "w", stdout);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expected) {
        std::fprintf(stderr, "bench_startup: %s failed (status %d)\n", command[0].c_str(), status);
    }
    Sample sample{std::chrono::duration<double>(end - start).count(), 0,
                  secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime), usage.ru_maxrss / 1024.0};
    if (const auto painted = firstPaintIn(output)) {
        sample.paintSeconds = std::chrono::duration<double>(*painted - start).count();
    }
    return sample;
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Contender {
    std::string name;
    std::vector<std::string> command;
    std::string output = "/dev/null";
    int status = 0;
    std::vector<Sample> samples = {};
};

// The median over the rounds of one program's figure divided by another's in the
// same round.
double pairRatio(const Contender& ours, const Contender& theirs, double Sample::*figure) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < ours.samples.size() && i < theirs.samples.size(); ++i) {
        if (theirs.samples[i].*figure > 0) {
            ratios.push_back(ours.samples[i].*figure / (theirs.samples[i].*figure));
        }
    }
    return median(ratios);
}

double medianOf(const Contender& contender, double Sample::*figure) {
    std::vector<double> values;
    for (const Sample& sample : contender.samples) {
        values.push_back(sample.*figure);
    }
    return median(values);
}

// Every hex's bytes one higher (255 becomes 0): a map that differs from `map` in
// every cell and nowhere in its header.
amp::MapImage everyCellChanged(amp::MapImage map) {
    for (amp::CellRecord& record : map.records) {
        for (std::uint8_t& value : record) {
            value = static_cast<std::uint8_t>(value + 1);
        }
    }
    return map;
}

// A Tiled map of the same hexes: 13 tile layers of 255 x 255, tile ids 1..256 for
// the byte values 0..255, over a tileset image made here.
void writeTmx(const amp::MapImage& map, const QString& folder) {
    QImage sheet(16 * 18, 16 * 16, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    sheet.save(folder + "/values.png");
    QFile file(folder + "/largest.tmx");
    file.open(QIODevice::WriteOnly);
    QTextStream out(&file);
    out << R"(<?xml version="1.0" encoding="UTF-8"?>)"
        << "\n"
        << R"(<map version="1.8" orientation="hexagonal" renderorder="right-down" width="255" height="255" )"
        << R"(tilewidth="18" tileheight="16" hexsidelength="8" staggeraxis="x" staggerindex="odd" infinite="0">)"
        << "\n"
        << R"( <tileset firstgid="1" name="values" tilewidth="18" tileheight="16" tilecount="256" columns="16">)"
        << R"(<image source="values.png" width="288" height="256"/></tileset>)"
        << "\n";
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        out << " <layer id=\"" << layer + 1 << "\" name=\"layer " << layer
            << "\" width=\"255\" height=\"255\">"
            << "<data encoding=\"csv\">\n";
        for (int row = 0; row < 255; ++row) {
            for (int column = 0; column < 255; ++column) {
                const auto k = static_cast<std::size_t>(amp::recordOfCell(column, row, 255));
                out << map.records[k][static_cast<std::size_t>(layer)] + 1;
                if (row != 254 || column != 254) {
                    out << ',';
                }
            }
            out << '\n';
        }
        out << "</data></layer>\n";
    }
    out << "</map>\n";
}

// The four layers `amptool render` draws in its row (terrain, height b1, roads,
// city b1) as a staggered hexagonal Tiled map of 16 x 14 pixel tiles, odd columns
// lower, hexes of side 8, over a sheet of 256 flat-coloured tiles; 0 is no tile but on terrain.
void writeRasterTmx(const amp::MapImage& map, const QString& folder) {
    constexpr int TileWidth = 16, TileHeight = 14, SheetColumns = 16;
    QImage sheet(TileWidth * SheetColumns, TileHeight * SheetColumns, QImage::Format_ARGB32);
    for (int value = 0; value < 256; ++value) {
        const QRect tile(value % SheetColumns * TileWidth, value / SheetColumns * TileHeight, TileWidth,
                         TileHeight);
        for (int y = tile.top(); y <= tile.bottom(); ++y) {
            for (int x = tile.left(); x <= tile.right(); ++x) {
                sheet.setPixel(x, y, qRgb(value, 255 - value, (value * 7) % 256));
            }
        }
    }
    sheet.save(folder + "/tiles.png");
    QFile file(folder + "/raster.tmx");
    file.open(QIODevice::WriteOnly);
    QTextStream out(&file);
    out << R"(<?xml version="1.0" encoding="UTF-8"?>)"
        << "\n"
        << R"(<map version="1.8" orientation="hexagonal" renderorder="right-down" width="255" height="255" )"
        << R"(tilewidth="16" tileheight="14" hexsidelength="8" staggeraxis="x" staggerindex="odd" infinite="0">)"
        << "\n"
        << R"( <tileset firstgid="1" name="tiles" tilewidth="16" tileheight="14" tilecount="256" columns="16">)"
        << R"(<image source="tiles.png" width="256" height="224"/></tileset>)"
        << "\n";
    const int layers[] = {amp::TerrainLayer, 4, 6, 7};
    for (const int layer : layers) {
        out << " <layer id=\"" << layer + 1 << "\" name=\"layer " << layer
            << "\" width=\"255\" height=\"255\">"
            << "<data encoding=\"csv\">\n";
        for (int row = 0; row < 255; ++row) {
            for (int column = 0; column < 255; ++column) {
                const int value = map.records[static_cast<std::size_t>(amp::recordOfCell(column, row, 255))]
                                             [static_cast<std::size_t>(layer)];
                out << (value == 0 && layer != amp::TerrainLayer ? 0 : value + 1);
                out << (row != 254 || column != 254 ? "," : "");
            }
            out << '\n';
        }
        out << "</data></layer>\n";
    }
    out << "</map>\n";
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication application(argc, argv);
    if (argc < 7) {
        std::fprintf(stderr,
                     "usage: bench_startup BARE_WINDOW BARE_TABLE STARTUP_AMPEDIT AMPTOOL BARE_QTCORE "
                     "BARE_PROGRAM [ROUNDS]\n");
        return 2;
    }
    const int rounds = std::max(21, argc > 7 ? std::atoi(argv[7]) : 31);
    QTemporaryDir folder;
    // The editors look for recovery copies in a folder of their own, not the user's.
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath(QStringLiteral("data"))));
    const auto map = amp::generateMap(255, 255, 42);
    const std::string mapPath = folder.filePath("largest.amp").toStdString();
    const std::string otherPath = folder.filePath("every-cell-changed.amp").toStdString();
    amp::writeFileSafely(QString::fromStdString(mapPath), amp::encodeMap(map));
    amp::writeFileSafely(QString::fromStdString(otherPath), amp::encodeMap(everyCellChanged(map)));
    // A third map, two higher everywhere: merged with the first as the base and the
    // second as ours, every cell is a conflict (845,325 lines) and the merged map
    // is written.
    const std::string thirdPath = folder.filePath("every-cell-changed-twice.amp").toStdString();
    const std::string mergedPath = folder.filePath("merged.amp").toStdString();
    amp::writeFileSafely(QString::fromStdString(thirdPath),
                         amp::encodeMap(everyCellChanged(everyCellChanged(map))));

    // The window programs tell when their first paint was done.
    const std::string painted = folder.filePath("painted.txt").toStdString();
    // What the console programs print goes to a file, as a user's redirection would.
    const std::string printed = folder.filePath("printed.txt").toStdString();
    const std::string amptool = argv[4];
    std::map<std::string, Contender> contenders = {
        {"window", {"bare Qt window, one empty QTableView", {argv[1]}, painted}},
        {"table", {"bare Qt table of 255 x 255 numbers", {argv[2]}, painted}},
        {"ampedit", {"ampedit opening the largest map", {argv[3], mapPath}, painted}},
        {"export", {"amptool export, all layers", {amptool, "export", mapPath}, printed}},
        {"xxd", {"xxd -p, same file", {"xxd", "-p", mapPath}, printed}},
        {"diff", {"amptool diff, every cell differs", {amptool, "diff", mapPath, otherPath}, printed, 1}},
        {"merge",
         {"amptool merge, every cell conflicts",
          {amptool, "merge", mapPath, otherPath, thirdPath, "-o", mergedPath},
          printed,
          1}},
        {"cmp", {"cmp -l, same files", {"cmp", "-l", mapPath, otherPath}, printed, 1}},
        {"info", {"amptool info", {amptool, "info", mapPath}, printed}},
        {"qtcore", {"a program that links QtCore, returns", {argv[5]}}},
        {"program", {"a program that links nothing, returns", {argv[6]}}},
    };
    const QString tiled = QStandardPaths::findExecutable("tiled");
    if (!tiled.isEmpty()) {
        writeTmx(map, folder.path());
        contenders["tiled"] = {"tiled --export-map tmx, same map",
                               {tiled.toStdString(), "--export-map", "tmx",
                                folder.filePath("largest.tmx").toStdString(),
                                folder.filePath("export.tmx").toStdString()}};
        contenders["tiled-csv"] = {"tiled --export-map csv, same map",
                                   {tiled.toStdString(), "--export-map", "csv",
                                    folder.filePath("largest.tmx").toStdString(),
                                    folder.filePath("export-tiled.csv").toStdString()}};
    }
    // amptool render of the largest map at size 8 with three overlays, against
    // Tiled's tmxrasterizer drawing the same four layers, both to a PNG file.
    const std::string rendered = folder.filePath("render.png").toStdString();
    contenders["render"] = {"amptool render, terrain + 3 overlays",
                            {amptool, "render", mapPath, "-o", rendered, "--overlay", "height b1:shade",
                             "--overlay", "roads", "--overlay", "city b1"}};
    const QString rasterizer = QStandardPaths::findExecutable("tmxrasterizer");
    if (!rasterizer.isEmpty()) {
        writeRasterTmx(map, folder.path());
        contenders["tmxrasterizer"] = {"tmxrasterizer, the same 4 layers",
                                       {rasterizer.toStdString(), folder.filePath("raster.tmx").toStdString(),
                                        folder.filePath("raster.png").toStdString()}};
    }
    // Each pair runs next to each other in every round: A B A B ...
    const std::vector<std::string> order = {"window", "table",  "ampedit", "tiled",  "tiled-csv",
                                            "export", "xxd",    "diff",    "merge",  "cmp",
                                            "info",   "qtcore", "program", "render", "tmxrasterizer"};
    for (auto& [key, contender] : contenders) {
        runOnce(contender.command, contender.output, contender.status); // warm the file cache
    }
    for (int round = 0; round < rounds; ++round) {
        for (const std::string& key : order) {
            if (auto found = contenders.find(key); found != contenders.end()) {
                Contender& contender = found->second;
                contender.samples.push_back(runOnce(contender.command, contender.output, contender.status));
            }
        }
    }

    std::printf("whole processes, %d rounds, each program once a round in turn, medians (offscreen platform, "
                "%ld cores shared with whatever else runs)\n",
                rounds, sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("  %-40s %10s %10s %10s %12s\n", "", "1st paint", "reaped", "CPU", "peak");
    for (const std::string& key : order) {
        const auto found = contenders.find(key);
        if (found == contenders.end()) {
            continue;
        }
        const Contender& contender = found->second;
        char paint[32] = "         -";
        if (medianOf(contender, &Sample::paintSeconds) > 0) {
            std::snprintf(paint, sizeof paint, "%8.4f s", medianOf(contender, &Sample::paintSeconds));
        }
        std::printf("  %-40s %s %8.4f s %8.4f s %7.1f MiB\n", contender.name.c_str(), paint,
                    medianOf(contender, &Sample::seconds), medianOf(contender, &Sample::cpuSeconds),
                    medianOf(contender, &Sample::mebibytes));
    }
    const Contender &ours = contenders["ampedit"], &table = contenders["table"], &bare = contenders["window"];
    std::printf(
        "ampedit vs bare table of numbers, whole process: %.2f x the wall time (goal <= 1.25 x), %.2f x the "
        "CPU time (goal <= 1.15 x), %+.1f MiB peak (goal <= +8 MiB)\n",
        pairRatio(ours, table, &Sample::seconds), pairRatio(ours, table, &Sample::cpuSeconds),
        medianOf(ours, &Sample::mebibytes) - medianOf(table, &Sample::mebibytes));
    std::printf("ampedit vs bare table of numbers, to the first paint: %.2f x the time\n",
                pairRatio(ours, table, &Sample::paintSeconds));
    // After the first paint both close their windows the ordinary way.
    std::vector<double> goneAfter, tableGoneAfter;
    for (const Sample& sample : ours.samples) {
        goneAfter.push_back(sample.seconds - sample.paintSeconds);
    }
    for (const Sample& sample : table.samples) {
        tableGoneAfter.push_back(sample.seconds - sample.paintSeconds);
    }
    std::printf(
        "ampedit from closing its window until reaped: %.1f ms vs %.1f ms for the bare table (goal <= 200 "
        "ms)\n",
        median(goneAfter) * 1e3, median(tableGoneAfter) * 1e3);
    std::printf("ampedit vs bare empty window, whole process: %.2f x the wall time, %+.1f MiB peak\n",
                pairRatio(ours, bare, &Sample::seconds),
                medianOf(ours, &Sample::mebibytes) - medianOf(bare, &Sample::mebibytes));
    if (contenders.count("tiled")) {
        std::printf("tiled export vs ampedit start-up: ampedit %.1f x faster (goal >= 5 x)\n",
                    pairRatio(contenders["tiled"], ours, &Sample::seconds));
        std::printf("tiled --export-map csv vs amptool export: amptool %.1f x faster (goal >= 20 x)\n",
                    pairRatio(contenders["tiled-csv"], contenders["export"], &Sample::seconds));
    } else {
        std::printf("tiled is not installed: its rows are left out (apt-get install tiled adds them)\n");
    }
    const auto console = [&contenders](const char* what, const char* a, const char* b, const char* goal) {
        std::printf("%s: %.1f ms vs %.1f ms = %.2f x (goal %s)\n", what,
                    medianOf(contenders[a], &Sample::seconds) * 1e3,
                    medianOf(contenders[b], &Sample::seconds) * 1e3,
                    pairRatio(contenders[a], contenders[b], &Sample::seconds), goal);
    };
    console("amptool export vs xxd -p", "export", "xxd", "<= 0.5 x");
    console("amptool diff vs cmp -l", "diff", "cmp", "<= 2 x");
    console("amptool merge (written) vs amptool diff, every cell differs", "merge", "diff", "<= 2 x");
    std::printf(
        "amptool info: %.1f ms (goal <= 5 ms), %.2f x a program that links QtCore and returns, %.2f x "
        "one that links nothing\n",
        medianOf(contenders["info"], &Sample::seconds) * 1e3,
        pairRatio(contenders["info"], contenders["qtcore"], &Sample::seconds),
        pairRatio(contenders["info"], contenders["program"], &Sample::seconds));
    console("a program linking QtCore vs one linking nothing", "qtcore", "program",
            "none: what QtCore costs");
    if (contenders.count("tmxrasterizer")) {
        std::printf(
            "amptool render vs tmxrasterizer, largest map, 4 layers: %.1f ms vs %.1f ms = %.2f x (goal "
            "<= 0.75 x), peak %.1f MiB vs %.1f MiB (goal <= 128 MiB)\n",
            medianOf(contenders["render"], &Sample::seconds) * 1e3,
            medianOf(contenders["tmxrasterizer"], &Sample::seconds) * 1e3,
            pairRatio(contenders["render"], contenders["tmxrasterizer"], &Sample::seconds),
            medianOf(contenders["render"], &Sample::mebibytes),
            medianOf(contenders["tmxrasterizer"], &Sample::mebibytes));
    } else {
        std::printf(
            "amptool render, largest map, terrain + 3 overlays: %.1f ms, peak %.1f MiB (goal <= 128 MiB); "
            "tmxrasterizer is not installed, so no ratio (apt-get install tiled adds it)\n",
            medianOf(contenders["render"], &Sample::seconds) * 1e3,
            medianOf(contenders["render"], &Sample::mebibytes));
    }
    return 0;
}
