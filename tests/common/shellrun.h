// SPDX-License-Identifier: MIT
// Runs a shell command line for the console tool's tests: its exit status, what
// it wrote to standard output, and what it wrote to standard error (kept in a
// file of the test's folder).
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <QProcess>
#include <QStringList>
#include <vector>
#else
#include <sys/wait.h>
#endif

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

#ifdef _WIN32

// Windows has no POSIX shell (popen's is cmd.exe), so the few forms the tests
// write are run here: words in single or double quotes (taken as they stand),
// "cd FOLDER &&" before the command, "env -u NAME..." before the program, and
// "< FILE", "> FILE" and ">> FILE" redirections. The tests that need more of a
// POSIX shell (substitutions, pipes, umask) are left out on Windows.

inline Outcome runShell(const QTemporaryDir&, const std::string& command) {
    std::vector<std::pair<std::string, bool>> words; // a word, and whether it was quoted
    for (std::size_t at = 0; at < command.size();) {
        if (command[at] == ' ') {
            ++at;
            continue;
        }
        std::string word;
        bool quoted = false;
        while (at < command.size() && command[at] != ' ') {
            const char quote = command[at];
            if (quote == '\'' || quote == '"') {
                const std::size_t end = command.find(quote, at + 1);
                word += command.substr(at + 1, end - at - 1);
                quoted = true;
                at = end == std::string::npos ? command.size() : end + 1;
            } else {
                word += command[at++];
            }
        }
        words.emplace_back(word, quoted);
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString program;
    QStringList arguments;
    QString folder;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const auto& [word, quoted] = words[i];
        const QString next = i + 1 < words.size() ? QString::fromStdString(words[i + 1].first) : QString();
        if (!quoted && word == "&&") {
            program.clear(), arguments.clear();
        } else if (!quoted && program.isEmpty() && arguments.isEmpty() && word == "cd") {
            folder = next, ++i;
        } else if (!quoted && program.isEmpty() && word == "env") {
            while (i + 2 < words.size() && words[i + 1].first == "-u") {
                environment.remove(QString::fromStdString(words[i + 2].first));
                i += 2;
            }
        } else if (!quoted && word == "<") {
            process.setStandardInputFile(QDir(folder).absoluteFilePath(next)), ++i;
        } else if (!quoted && (word == ">" || word == ">>")) {
            process.setStandardOutputFile(QDir(folder).absoluteFilePath(next),
                                          word == ">" ? QIODevice::Truncate : QIODevice::Append);
            ++i;
        } else if (program.isEmpty()) {
            program = QString::fromStdString(word);
        } else {
            arguments << QString::fromStdString(word);
        }
    }
    process.setProcessEnvironment(environment);
    if (!folder.isEmpty()) {
        process.setWorkingDirectory(folder);
    }
    process.start(program, arguments);
    // A run that hangs (under Wine one did, once) fails its check, not the whole test's time.
    constexpr int Limit = 60'000; // milliseconds: far more than any command of the tests takes
    const bool finished = process.waitForFinished(Limit);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    Outcome outcome;
    // Messages on standard error end their lines as the system does (CR LF in a
    // text-mode stream); what a command writes to standard output is its bytes.
    const QByteArray out = process.readAllStandardOutput(),
                     err = process.readAllStandardError().replace("\r\n", "\n");
    outcome.out.assign(out.constData(), static_cast<std::size_t>(out.size()));
    outcome.err.assign(err.constData(), static_cast<std::size_t>(err.size()));
    outcome.status =
        process.exitStatus() == QProcess::NormalExit && process.error() != QProcess::FailedToStart
            ? process.exitCode()
            : -1;
    if (!finished) {
        outcome.status = -1;
        outcome.err +=
            "(the test stopped " + program.toStdString() + " after " + std::to_string(Limit / 1000) + " s)\n";
    }
    return outcome;
}

#else

inline Outcome runShell(const QTemporaryDir& dir, const std::string& command) {
    const std::string errPath = dir.filePath("stderr.txt").toStdString();
    const std::string line = command + " 2>'" + errPath + "'";
    Outcome outcome;
    FILE* pipe = popen(line.c_str(), "r");
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

#endif
