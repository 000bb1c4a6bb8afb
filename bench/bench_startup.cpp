// Whole-process start-up, measured from the outside: ampedit opening the largest
// map against two floors, a bare Qt window with an empty QTableView and a bare Qt
// program that shows 255 x 255 numbers in one QTableView, and, where Debian's
// `tiled` is installed, Tiled exporting the same map as a 13-layer hexagonal TMX
// file. Runs alternate, at least 15 of each; the table shows medians of wall time
// from the start of the process to the end of its first paint (the window
// programs say when that was) and to the process being reaped, and of peak
// memory. Then the console tool on the same map: `amptool export` of all
// layers against `xxd -p` of the file, and `amptool info`.
//   bench_startup BARE_WINDOW BARE_TABLE STARTUP_AMPEDIT AMPTOOL [RUNS]
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

// Runs the command with its standard output to `output` (a file, or nothing).
Sample runOnce(const std::vector<std::string>& command, const std::string& output = "/dev/null") {
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
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_startup: %s failed (status %d)\n", command[0].c_str(), status);
    }
    Sample sample{std::chrono::duration<double>(end - start).count(), 0, usage.ru_maxrss / 1024.0};
    if (const auto painted = firstPaintIn(output)) {
        sample.paintSeconds = std::chrono::duration<double>(*painted - start).count();
    }
    return sample;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
    out << R"(<?xml version="1.0" encoding="UTF-8"?>)" << "\n"
        << R"(<map version="1.8" orientation="hexagonal" renderorder="right-down" width="255" height="255" )"
        << R"(tilewidth="18" tileheight="16" hexsidelength="8" staggeraxis="x" staggerindex="odd" infinite="0">)"
        << "\n"
        << R"( <tileset firstgid="1" name="values" tilewidth="18" tileheight="16" tilecount="256" columns="16">)"
        << R"(<image source="values.png" width="288" height="256"/></tileset>)" << "\n";
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        out << " <layer id=\"" << layer + 1 << "\" name=\"layer " << layer << "\" width=\"255\" height=\"255\">"
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

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QGuiApplication application(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: bench_startup BARE_WINDOW BARE_TABLE STARTUP_AMPEDIT AMPTOOL [RUNS]\n");
        return 2;
    }
    const int runs = std::max(15, argc > 5 ? std::atoi(argv[5]) : 15);
    QTemporaryDir folder;
    // The editors look for recovery copies in a folder of their own, not the user's.
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath(QStringLiteral("data"))));
    const auto map = amp::generateMap(255, 255, 42);
    const QString mapPath = folder.filePath("largest.amp");
    amp::writeFileSafely(mapPath, amp::encodeMap(map));

    struct Contender {
        const char* name;
        std::vector<std::string> command;
        std::vector<double> seconds, mebibytes;
        std::string output = "/dev/null";
        std::vector<double> paintSeconds = {};
    };
    // The window programs tell when their first paint was done.
    const std::string painted = folder.filePath("painted.txt").toStdString();
    std::vector<Contender> contenders = {
        {"bare Qt window, one empty QTableView", {argv[1]}, {}, {}, painted},
        {"bare Qt table of 255 x 255 numbers", {argv[2]}, {}, {}, painted},
        {"ampedit opening the largest map", {argv[3], mapPath.toStdString()}, {}, {}, painted},
    };
    const QString tiled = QStandardPaths::findExecutable("tiled");
    if (!tiled.isEmpty()) {
        writeTmx(map, folder.path());
        contenders.push_back({"tiled --export-map tmx, same map",
                              {tiled.toStdString(), "--export-map", "tmx", folder.filePath("largest.tmx").toStdString(),
                               folder.filePath("export.tmx").toStdString()},
                              {},
                              {}});
    }
    const std::size_t windows = contenders.size();
    const std::string amptool = argv[4], out = folder.filePath("export.csv").toStdString();
    // Both write the same file through standard output.
    contenders.push_back({"amptool export, all layers", {amptool, "export", mapPath.toStdString()}, {}, {}, out});
    contenders.push_back({"xxd -p, same file", {"xxd", "-p", mapPath.toStdString()}, {}, {}, out});
    contenders.push_back({"amptool info", {amptool, "info", mapPath.toStdString()}, {}, {}});
    if (!tiled.isEmpty()) {
        contenders.push_back({"tiled --export-map csv, same map",
                              {tiled.toStdString(), "--export-map", "csv", folder.filePath("largest.tmx").toStdString(),
                               folder.filePath("export-tiled.csv").toStdString()},
                              {},
                              {}});
    }
    for (auto& contender : contenders) {
        runOnce(contender.command, contender.output); // warm the file cache
    }
    for (int run = 0; run < runs; ++run) {
        for (auto& contender : contenders) {
            const Sample sample = runOnce(contender.command, contender.output);
            contender.seconds.push_back(sample.seconds);
            contender.mebibytes.push_back(sample.mebibytes);
            if (sample.paintSeconds > 0) {
                contender.paintSeconds.push_back(sample.paintSeconds);
            }
        }
    }

    std::printf("start-up, %d alternating runs each, medians (offscreen platform)\n", runs);
    std::printf("  %-40s %10s %10s %12s\n", "", "1st paint", "reaped", "peak");
    for (const auto& contender : contenders) {
        char paint[32] = "         -";
        if (!contender.paintSeconds.empty()) {
            std::snprintf(paint, sizeof paint, "%8.4f s", median(contender.paintSeconds));
        }
        std::printf("  %-40s %s %8.4f s %7.1f MiB\n", contender.name, paint, median(contender.seconds),
                    median(contender.mebibytes));
    }
    // The goal counts to the first paint; "reaped" adds the kernel's freeing of
    // the process's memory after it ends, which a larger program pays more for.
    const double bare = median(contenders[0].paintSeconds), table = median(contenders[1].paintSeconds),
                 ours = median(contenders[2].paintSeconds);
    std::printf("ampedit vs bare table of numbers, to the first paint: %.2f x the time (goal <= 1.25 x), %+.1f MiB "
                "peak\n",
                ours / table, median(contenders[2].mebibytes) - median(contenders[1].mebibytes));
    std::printf("ampedit vs bare table of numbers, until reaped: %.2f x the time\n",
                median(contenders[2].seconds) / median(contenders[1].seconds));
    std::printf("ampedit vs bare empty window, to the first paint: %.2f x the time, %+.1f MiB peak\n", ours / bare,
                median(contenders[2].mebibytes) - median(contenders[0].mebibytes));
    if (windows > 3) {
        std::printf("tiled export vs ampedit start-up: ampedit %.1f x faster (goal >= 5 x)\n",
                    median(contenders[3].seconds) / median(contenders[2].seconds)); // both until reaped
    } else {
        std::printf("tiled is not installed: its rows are left out (apt-get install tiled adds them)\n");
    }
    const double exported = median(contenders[windows].seconds), xxd = median(contenders[windows + 1].seconds);
    std::printf("amptool export vs xxd -p: %.1f ms vs %.1f ms = %.2f x (goal <= 1 x)\n", exported * 1e3, xxd * 1e3,
                exported / xxd);
    std::printf("amptool info: %.1f ms (goal <= 10 ms)\n", median(contenders[windows + 2].seconds) * 1e3);
    if (windows > 3) {
        std::printf("tiled --export-map csv vs amptool export: amptool %.1f x faster (goal >= 20 x)\n",
                    median(contenders.back().seconds) / exported);
    }
    return 0;
}
