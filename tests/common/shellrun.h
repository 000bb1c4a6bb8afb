// SPDX-License-Identifier: MIT
// Runs a shell command line for the console tool's tests: its exit status, what
// it wrote to standard output, and what it wrote to standard error (kept in a
// file of the test's folder).
#pragma once

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <sys/wait.h>

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

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
