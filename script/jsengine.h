// SPDX-License-Identifier: MIT
// The JavaScript engine (QtQml's QJSEngine) that runs scripts against a map.
// The engine is a plain QJSEngine: no file, network or process access, and no
// object of the program's own is handed to it but the lattice shapes
// (ScriptShapes), which api.js keeps to itself. The script sees the map through
// the scripting API (api.js, built in), which works on a copy of its bytes.
#pragma once

#include "scriptengine.h"

#include <memory>

class QJSEngine;

class JsEngine final : public ScriptEngine {
public:
    JsEngine();
    ~JsEngine() override;

    ScriptOutcome run(const ScriptMap& map, const QString& program, const QString& scriptName,
                      const ScriptOptions& options, ScriptChanges& changes) override;
    ScriptOutcome evaluate(const ScriptMap& map, const QString& expression, const ScriptOptions& options,
                           ScriptChanges& changes) override;

private:
    ScriptOutcome execute(QJSEngine& engine, const ScriptMap& map, const QString& program,
                          const QString& scriptName, const ScriptOptions& options, ScriptChanges& changes);
    ScriptOutcome executeGuarded(QJSEngine& engine, const ScriptMap& map, const QString& program,
                                 const QString& scriptName, const ScriptOptions& options,
                                 ScriptChanges& changes);

    std::unique_ptr<QJSEngine> console_; // evaluate()'s engine, kept from line to line
    bool broken_ = false;                // the last run ended in an exception
};

// A ScriptEngineSource for the programs that link the engine itself.
std::unique_ptr<ScriptEngine> linkedScriptEngine(QString& why);
