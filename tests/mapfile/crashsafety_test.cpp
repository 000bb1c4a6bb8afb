// A write killed at any moment leaves the target whole: the old map or the new
// one, never a mixture or a short file.
#include "mapfileio.h"
#include "mapformat.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace amp {
namespace {

std::vector<std::uint8_t> filled(std::uint8_t value) {
    std::vector<std::uint8_t> bytes(MaxFileSize, value);
    bytes[0] = value; // every byte of each map tells which map it is
    return bytes;
}

TEST(CrashSafety, AKilledWriteLeavesTheOldMapOrTheNewOneWhole) {
    QTemporaryDir dir;
    const QString target = dir.filePath("map.amp");
    const auto first = filled(0x11);
    const auto second = filled(0x22);
    ASSERT_TRUE(writeFileSafely(target, first).ok());

    constexpr int Kills = 60;
    std::mt19937 random(2026);
    int sawFirst = 0, sawSecond = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The writer: the two maps in turn, as fast as it can, until it is killed.
            for (int round = 0;; ++round) {
                writeFileSafely(target, round % 2 ? first : second);
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500 + random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer was killed, not finished";

        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "after kill " << kill;
        const QByteArray content = file.readAll();
        const std::vector<std::uint8_t> bytes(content.begin(), content.end());
        ASSERT_TRUE(bytes == first || bytes == second) << "after kill " << kill << ": " << bytes.size() << " bytes";
        (bytes == first ? sawFirst : sawSecond)++;
    }
    // The writer spends its whole life inside writeFileSafely, so every kill lands in
    // a write. The temporary file is nameless until it is complete (or carries the
    // target's name and a suffix); nothing else may appear.
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files)) {
        EXPECT_TRUE(name == "map.amp" || name.startsWith("map.amp.")) << name.toStdString();
    }
    EXPECT_GT(sawFirst, 0);
    EXPECT_GT(sawSecond, 0);
    std::printf("kills survived: %d of %d (old map %d times, new map %d times)\n", Kills, Kills, sawFirst,
                sawSecond);
}

} // namespace
} // namespace amp
