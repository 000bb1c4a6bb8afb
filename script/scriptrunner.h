// SPDX-License-Identifier: MIT
// Runs JavaScript against the open map: a script file, a script's text, or one
// expression typed into the console. The script works on a copy of the map (see
// api.js); when it ends well, every cell and header byte it changed becomes one
// undo step named after it. A script that throws, or runs past its time limit
// and is stopped, changes nothing. The engine is a plain QJSEngine: no file,
// network or process access, and no object of the program's own is handed to it.
#pragma once

#include "hexgeometry.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class MapDocument;
class QJSEngine;

struct ScriptProblem {
    std::optional<HexCell> hex; // none: a problem of the whole map (report(message))
    QString message;
    QString script; // the script's file name (no folder), e.g. "roads-on-water.js"
};

struct ScriptOptions {
    std::chrono::milliseconds timeout{10000};
    QStringList arguments;         // what follows "--" on the console: `args` in the script
    bool evenColumnsLower = false; // the picture's layout, which map.neighbours follows
    bool keepChanges = true;       // false for a check: what it changes is dropped, never a step
};

struct ScriptOutcome {
    enum class Kind { Done, Failed, TimedOut };
    Kind kind = Kind::Done;
    bool changed = false; // one undo step was pushed
    QString error;        // Failed / TimedOut: "FILE:LINE: message" (or "FILE: message" without a line)
    QString value;        // evaluate(): the expression's value as text
    std::vector<ScriptProblem> problems;
    QStringList printed; // what print(...) wrote, line by line (also sent as printed())
    bool ok() const { return kind == Kind::Done; }
};

class ScriptRunner : public QObject {
    Q_OBJECT

public:
    explicit ScriptRunner(MapDocument& document, QObject* parent = nullptr);
    ~ScriptRunner() override;

    // A script file (UTF-8); the step is "Script NAME.js".
    ScriptOutcome runFile(const QString& path, const ScriptOptions& options = {});
    ScriptOutcome run(const QString& source, const QString& scriptName, const ScriptOptions& options = {});
    // One expression typed in the editor's console line, against the open map; a
    // change is one undo step too ("Console"). Names the line defines stay for the
    // next line.
    ScriptOutcome evaluate(const QString& expression, const ScriptOptions& options = {});

    // The largest script file read.
    static constexpr qint64 LargestScript = 4 * 1024 * 1024;

signals:
    // print(...) output, one call per print, sent as the run ends (the engine
    // runs the whole script before anything else happens).
    void printed(const QString& text);

private:
    ScriptOutcome execute(QJSEngine& engine, const QString& program, const QString& scriptName,
                          const QString& stepName, const ScriptOptions& options);

    MapDocument& document_;
    std::unique_ptr<QJSEngine> console_; // evaluate()'s engine, kept from line to line
};
