// SPDX-License-Identifier: MIT
// One program for all maps, measured from the outside and side by side: with an
// ampedit running, a second start that hands its map over and ends, against the
// editor starting on the same map with a window of its own (to its first paint),
// and against a program that links QtCore and returns at once. Each round runs
// the three in turn, so they share the load of the moment; the figures are the
// medians of the rounds, the ratio the median of the rounds' ratios.
//   bench_handover AMPEDIT STARTUP_AMPEDIT BARE_QTCORE [ROUNDS]
#include "mapfileio.h"
#include "mapgenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds from the start until the program ended with status 0; -1 otherwise.
double runMilliseconds(const QString& program, const QStringList& arguments) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_handover AMPEDIT STARTUP_AMPEDIT BARE_QTCORE [ROUNDS]\n");
        return 2;
    }
    const int rounds = std::max(11, argc > 4 ? std::atoi(argv[4]) : 31);
    QTemporaryDir folder;
    // The running editor is found in a runtime folder of this run's own.
    const QString runtime = folder.filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.filePath(QStringLiteral("config"))));
    const QString map = folder.filePath(QStringLiteral("sample.amp"));
    amp::writeFileSafely(map, amp::encodeMap(amp::generateMap(40, 30, 1986)));

    QProcess running;
    running.start(QString::fromLocal8Bit(argv[1]), {map});
    running.waitForStarted();
    // Serving once its socket is there (a start asking earlier would serve itself).
    QElapsedTimer waited;
    waited.start();
    const auto serving = [&runtime] {
        const QStringList names =
            QDir(runtime).entryList({QStringLiteral("ampedit-*")}, QDir::Files | QDir::System);
        return std::any_of(names.begin(), names.end(),
                           [](const QString& name) { return !name.endsWith(QLatin1String(".lock")); });
    };
    while (!serving() || running.state() != QProcess::Running) {
        if (waited.elapsed() > 30000) {
            std::fprintf(stderr, "bench_handover: the running editor does not answer\n");
            return 1;
        }
        QThread::msleep(50);
    }
    std::vector<double> handOver, own, bare, ratio;
    for (int round = 0; round < rounds; ++round) {
        const double a = runMilliseconds(QString::fromLocal8Bit(argv[1]), {map});
        const double b = runMilliseconds(QString::fromLocal8Bit(argv[2]), {map});
        const double c = runMilliseconds(QString::fromLocal8Bit(argv[3]), {});
        if (a < 0 || b < 0 || c < 0) {
            std::fprintf(stderr, "bench_handover: a program failed in round %d\n", round);
            return 1;
        }
        handOver.push_back(a);
        own.push_back(b);
        bare.push_back(c);
        ratio.push_back(a / b);
    }
    running.kill();
    running.waitForFinished();
    std::printf("second start handing its map over: %.1f ms; a start of its own on the map, ended after its "
                "first paint: %.1f ms; "
                "a bare QtCore program: %.1f ms (%d rounds)\n",
                median(handOver), median(own), median(bare), rounds);
    std::printf(
        "ampedit handing a map to the running one vs starting a window of its own: %.2f x the wall time\n",
        median(ratio));
    return 0;
}
