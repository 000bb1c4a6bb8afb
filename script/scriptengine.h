// SPDX-License-Identifier: MIT
// What runs a script: the JavaScript engine behind one small interface, so the
// editor can keep it (and QtQml, which it needs) out of its start-up and load it
// as a module when the first script runs. The engine knows no document: it is
// given the map as the run starts (ScriptMap) and gives back what the script
// changed (ScriptChanges), which the runner applies as one undo step. Only
// plain data and this interface cross between the editor and the module.
#pragma once

#include "celledit.h"
#include "hexgeometry.h"
#include "mapformat.h"

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct ScriptProblem {
    std::optional<HexCell> hex; // none: a problem of the whole map (report(message))
    QString message;
    QString script; // the script's file name (no folder), e.g. "roads-on-water.js"
};

struct ScriptOptions {
    std::chrono::milliseconds timeout{10000};
    QStringList arguments;         // what follows "--" on the console: `args` in the script
    bool evenColumnsLower = false; // the picture's layout, which map.neighbours, brush and line follow
    bool keepChanges = true;       // false for a check: what it changes is dropped, never a step
    // How much the process may grow (resident bytes) while the run goes on; 0: no bound.
    std::size_t memoryLimit = std::size_t(1024) * 1024 * 1024;
    // What a run keeps of its output; what is past these is counted and said.
    int problemLimit = 100000;      // report(): more than one a hex of the largest map
    int printLimit = 10000;         // print(): lines
    int printedTextLimit = 1 << 20; // print(): characters in all
    // Set (from any thread) to end the run as stopped by the user; the runner owns it.
    const std::atomic<bool>* stop = nullptr;
};

struct ScriptOutcome {
    // Stopped: by the user (ScriptOptions::stop); TimedOut: by its time limit.
    enum class Kind { Done, Failed, TimedOut, Stopped };
    Kind kind = Kind::Done;
    bool changed = false; // one undo step was pushed
    QString error;        // Failed / TimedOut: "FILE:LINE: message" (or "FILE: message" without a line)
    QString value;        // evaluate(): the expression's value as text
    std::vector<ScriptProblem> problems;
    QStringList printed; // what print(...) wrote, line by line
    bool ok() const { return kind == Kind::Done; }
};

// A conflict left in the merge being settled, as a run starts (merge.conflicts):
// its place in the merge's list, where it is (a header byte, or a layer of a
// hex) and the three maps' bytes (-1 for a hex a side's resize removed).
struct ScriptConflict {
    int index = 0;
    int headerByte = -1; // 0..6 for a header byte's conflict
    int column = 0;
    int row = 0;
    int layer = 0;
    int base = 0;
    int ours = 0;
    int theirs = 0;
};

// The map as a run starts: each layer's bytes by the text rule, and the slots
// (column * rows + row) whose text is not canonical ("007", "abc", empty) with
// that text.
struct ScriptMap {
    int columns = 0;
    int rows = 0;
    QString fileName;
    amp::MapHeader header;
    std::array<QByteArray, amp::LayerCount> bytes;
    std::array<std::vector<std::pair<std::size_t, QString>>, amp::LayerCount> typed;
    // The selection a run works on; empty for the whole map.
    std::vector<QRect> selection;
    // The conflicts left, when the map is a merge being settled.
    bool merging = false;
    std::vector<ScriptConflict> conflicts;
};

// What a run that ended well changed: the cells whose byte or typed text differs
// from the ScriptMap, and the header it left.
struct ScriptChanges {
    std::vector<CellEdit> edits;
    std::optional<amp::MapHeader> header; // none: nothing is applied
    // The conflicts a merge.take chose a side for (ScriptConflict::index), which
    // count as settled with the run's step.
    std::vector<int> taken;
};

class ScriptEngine {
public:
    virtual ~ScriptEngine() = default;
    // A program (a whole script, its body already wrapped as one function) run
    // in a fresh engine of its own, named `scriptName` in its errors. `changes`
    // is filled when the run ended well and options.keepChanges holds.
    virtual ScriptOutcome run(const ScriptMap& map, const QString& program, const QString& scriptName,
                              const ScriptOptions& options, ScriptChanges& changes) = 0;
    // One console line, in an engine kept from line to line.
    virtual ScriptOutcome evaluate(const ScriptMap& map, const QString& expression,
                                   const ScriptOptions& options, ScriptChanges& changes) = 0;
};

// Gives a new engine, or none and `why` says why (the module is not there).
using ScriptEngineSource = std::unique_ptr<ScriptEngine> (*)(QString& why);

// The name of the function the scripting module exports, and its type: it takes
// the version of the program loading it and gives a new engine (owned by the
// caller) only when the module was built with the same one, nullptr otherwise.
inline constexpr const char* ScriptEngineEntry = "ampedit_new_script_engine";
using ScriptEngineEntryFunction = ScriptEngine* (*)(const char* version);
