// SPDX-License-Identifier: MIT
// Runs JavaScript against the open map: a script file, a script's text, or one
// expression typed into the console. The script works on a copy of the map (see
// api.js); when it ends well, every cell and header byte it changed becomes one
// undo step named after it. A script that throws, or runs past its time limit
// and is stopped, changes nothing. The engine itself comes from a source given
// to the runner (the editor's loads it as a module) the first time it is needed.
#pragma once

#include "scriptengine.h"

#include <QObject>
#include <QString>

#include <memory>

class MapDocument;

class ScriptRunner : public QObject {
    Q_OBJECT

public:
    ScriptRunner(MapDocument& document, ScriptEngineSource engines, QObject* parent = nullptr);
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
    ScriptEngine* engine(ScriptOutcome& failed, const QString& scriptName);
    ScriptOutcome finish(ScriptOutcome outcome, const ScriptChanges& changes, const QString& stepName,
                         const ScriptOptions& options);

    MapDocument& document_;
    ScriptEngineSource engines_;
    std::unique_ptr<ScriptEngine> engine_;
};

// The map of a document as a script run starts. In the editor a run works on
// the selection when more than one hex is selected: after a single click it is
// where the user stands, not a region.
ScriptMap scriptMapOf(const MapDocument& document);
