// SPDX-License-Identifier: MIT
// amptool-script: `amptool run` and `amptool check`, scripts run on a map
// without a display. amptool starts it for these commands: it needs QtQml's
// engine and the document, which no other command loads.
#include "commands.h"
#include "diskio.h"
#include "jsengine.h"
#include "mapdocument.h"
#include "mapeditor.h"
#include "options.h"
#include "scriptfolders.h"
#include "scriptlauncher.h"
#include "scriptrunner.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

constexpr int Reported = 1;
constexpr int DefaultTimeout = 10;
constexpr int LongestTimeout = 24 * 60 * 60;
constexpr int MillisecondsPerSecond = 1000;

std::string text(const QString& string) {
    return string.toStdString();
}

// A text on one line of its own: a line break or other control character in
// it is written as an escape, so no message (and no map's name) can pass for a
// line of another.
std::string oneLine(const std::string& bytes) {
    std::string line;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else if (byte < 0x20 && c != '\t') {
            constexpr const char* Hex = "0123456789abcdef";
            line += std::string("\\x") + Hex[byte >> 4] + Hex[byte & 0xF];
        } else {
            line += c;
        }
    }
    return line;
}

std::string oneLine(const QString& message) {
    return oneLine(text(message));
}

// A problem as compilers tell theirs, so that editors can jump to it. The map's
// name is its bytes as given, escaped as the message is.
void printProblem(std::FILE* to, const std::string& map, const ScriptProblem& problem,
                  const std::string& suffix) {
    if (problem.hex) {
        std::fprintf(to, "%s:%d,%d: %s%s\n", oneLine(map).c_str(), problem.hex->column, problem.hex->row,
                     oneLine(problem.message).c_str(), suffix.c_str());
    } else {
        std::fprintf(to, "%s: %s%s\n", oneLine(map).c_str(), oneLine(problem.message).c_str(),
                     suffix.c_str());
    }
}

ScriptOptions optionsOf(const amptool::Options& options) {
    ScriptOptions script;
    int seconds = DefaultTimeout;
    if (const auto timeout = options.value("--timeout")) {
        seconds = amptool::wholeNumber(*timeout, 1, LongestTimeout, "the time limit in seconds");
    }
    script.timeout = std::chrono::milliseconds(std::int64_t(seconds) * MillisecondsPerSecond);
    return script;
}

// The map read as amptool's other commands read it: its name as the system's
// bytes (a name need not be UTF-8, and a QString of it might name another file),
// "-" for standard input.
void readMap(MapDocument& document, const std::string& map) {
    document.load(amptool::readMapOrFail(map), QFile::decodeName(map.c_str()));
}

// What print wrote, every byte of it.
void printLines(std::FILE* to, const QStringList& lines) {
    for (const QString& line : lines) {
        const std::string bytes = text(line) + '\n';
        std::fwrite(bytes.data(), 1, bytes.size(), to);
    }
}

// The script's text, read by the name's bytes.
QString readScript(const std::string& script) {
    const auto read = amp::diskio::readFileAtMost(script, ScriptRunner::LargestScript);
    if (!read) {
        throw amptool::UsageError{read.error().message};
    }
    if (!read.value().complete) {
        throw amptool::UsageError{script + ": larger than a script can be (" +
                                  std::to_string(ScriptRunner::LargestScript) + " bytes)"};
    }
    const auto& bytes = read.value().bytes;
    return QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<qsizetype>(bytes.size()));
}

int run(const std::vector<std::string>& all) {
    const auto dashes = std::find(all.begin(), all.end(), "--");
    const std::vector<std::string> words(all.begin(), dashes);
    const amptool::Options options(words, {"-o", "--timeout"}, {"--even-columns-lower"});
    options.expectPositional(2, 2, amptool::RunUsage);
    const std::string& script = options.positional()[0];
    const std::string& map = options.positional()[1];
    ScriptOptions scriptOptions = optionsOf(options);
    if (dashes != all.end()) {
        for (auto word = dashes + 1; word != all.end(); ++word) {
            scriptOptions.arguments.append(QString::fromStdString(*word));
        }
    }
    const std::string target = options.value("-o").value_or(map);
    amptool::refuseOverwriting(target, {script});
    const QString source = readScript(script);
    MapEditor session;
    session.setEvenColumnsLower(options.has("--even-columns-lower"));
    MapDocument& document = session.document();
    readMap(document, map);
    ScriptRunner runner(session, linkedScriptEngine);
    const ScriptOutcome outcome =
        runner.run(source, QFile::decodeName(script.substr(script.rfind('/') + 1).c_str()), scriptOptions);
    // With the map on standard output, what the script tells goes where the map does not.
    std::FILE* told = target == "-" ? stderr : stdout;
    printLines(told, outcome.printed);
    for (const ScriptProblem& problem : outcome.problems) {
        printProblem(told, map, problem, {});
    }
    std::fflush(told);
    if (!outcome.ok()) {
        std::fprintf(stderr, "amptool: run: %s\n", oneLine(outcome.error).c_str());
        return Reported;
    }
    // To standard output the map goes changed or not, so that a pipe always gets one.
    if (outcome.changed || target == "-") {
        // Through amptool's one way out: "-" is standard output, the null device a
        // dry run, any other name the safe writer by its bytes.
        const std::vector<std::uint8_t> bytes = document.encode();
        amptool::writeOutputOrFail(
            target, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), stdout, map);
    }
    return outcome.problems.empty() ? 0 : Reported;
}

int check(const std::vector<std::string>& words) {
    const amptool::Options options(words, {"--checks", "--timeout"}, {"--even-columns-lower"});
    options.expectPositional(1, 1, amptool::CheckUsage);
    const std::string& map = options.positional()[0];
    QStringList folders;
    if (const auto given = options.value("--checks")) {
        const QString folder = QFile::decodeName(given->c_str());
        if (QFile::encodeName(folder).toStdString() != *given) {
            throw amptool::UsageError{*given + ": a folder's name that is not UTF-8 cannot be listed"};
        }
        if (!QFileInfo(folder).isDir()) {
            throw amptool::UsageError{*given + ": no such folder of checks"};
        }
        folders.append(folder);
    } else {
        folders = scriptfolders::checkFolders();
    }
    const QStringList checks = scriptfolders::scriptFiles(folders);
    if (checks.isEmpty()) {
        throw amptool::UsageError{"no check scripts (*.js) in " + text(folders.join(QStringLiteral(", ")))};
    }
    const ScriptOptions scriptOptions = optionsOf(options);
    MapEditor session;
    session.setEvenColumnsLower(options.has("--even-columns-lower"));
    MapDocument& document = session.document();
    readMap(document, map);
    ScriptRunner runner(session, linkedScriptEngine);
    int status = 0;
    runner.check(
        checks, scriptOptions, [](const QString&) {},
        [&](const QString& path, const ScriptOutcome& outcome) {
            printLines(stdout, outcome.printed);
            const std::string suffix = " (" + oneLine(QFileInfo(path).fileName()) + ")";
            for (const ScriptProblem& problem : outcome.problems) {
                printProblem(stdout, map, problem, suffix);
            }
            std::fflush(stdout);
            if (!outcome.ok()) {
                std::fprintf(stderr, "amptool: check: %s\n", oneLine(outcome.error).c_str());
            }
            if (!outcome.ok() || !outcome.problems.empty()) {
                status = Reported;
            }
        });
    return status;
}

// Sanitizers reserve terabytes of address space for their shadow memory: a
// cap on it would stop them, not the script.
#if defined(__SANITIZE_ADDRESS__)
#define AMPTOOL_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define AMPTOOL_SANITIZED 1
#endif
#endif

// How much address space a run may add to what the program has at its start:
// a call of the engine's own (a split, a join) cannot be interrupted, so the
// watchdog's bound on memory cannot stop it, and this one does.
constexpr unsigned long long AddedAddressSpace = 2ULL * 1024 * 1024 * 1024;
constexpr unsigned long long BytesPerMegabyte = 1024 * 1024;

#if defined(__linux__) && !defined(AMPTOOL_SANITIZED)
char outOfMemory[256];

// A fault of an engine that found no memory: said on one line, and the map is
// not written (nothing is, this late).
extern "C" void endOutOfMemory(int) {
    const ssize_t ignored = ::write(STDERR_FILENO, outOfMemory, std::strlen(outOfMemory));
    (void)ignored;
    ::_exit(Reported);
}

void capAddressSpace() {
    unsigned long long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu", &pages) != 1) {
            pages = 0;
        }
        std::fclose(statm);
    }
    const unsigned long long cap =
        pages * static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE)) + AddedAddressSpace;
    const rlimit limit{cap, cap};
    if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) {
        return;
    }
    std::snprintf(outOfMemory, sizeof outOfMemory,
                  "amptool: script: stopped: the script took more memory than a run may (%llu MB of address "
                  "space); nothing was changed\n",
                  cap / BytesPerMegabyte);
    for (const int signal : {SIGSEGV, SIGBUS, SIGABRT}) {
        std::signal(signal, endOutOfMemory);
    }
}
#else
void capAddressSpace() {}
#endif

} // namespace

int main(int argc, char* argv[]) {
    capAddressSpace();
    // Qt's own remarks are not the command's to make; its failures still go to stderr.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "amptool: script: %s\n", qPrintable(message));
        }
    });
    QCoreApplication application(argc, argv);
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty() || (words[0] != "run" && words[0] != "check")) {
        std::fprintf(stderr, "amptool-script: amptool starts it for run and check\n");
        return 2;
    }
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    const bool isRun = words[0] == "run";
    const int status = amptool::runCommand(
        isRun ? "run" : "check", [&] { return isRun ? run(rest) : check(rest); }, stderr);
    if (ScriptRunner::runsLeftBehind() > 0) {
        // An engine still busy in a call of its own: nothing is torn down under it.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
