// SPDX-License-Identifier: MIT
// Runs JavaScript against the open map: a script file, a script's text, or one
// expression typed into the console. The script works on a copy of the map (see
// api.js); when it ends well, every cell and header byte it changed becomes one
// undo step named after it. A script that throws, or runs past its time limit
// and is stopped, changes nothing. The engine runs in a thread of its own, so
// that a window waiting for it stays responsive; an engine that does not come
// back in time (a long call of its own) is left behind and its outcome dropped. The engine itself comes from
// a source given to the runner (the editor's loads it as a module) the first time it is needed.
#pragma once

#include "scriptengine.h"

#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class MapDocument;
class MapEditor;

class ScriptWorker;

class ScriptRunner : public QObject {
    Q_OBJECT

public:
    // Runs against an editing session: its map, and its lattice layout, which
    // map.neighbours, map.brush and map.line follow (whatever the options say).
    ScriptRunner(MapEditor& session, ScriptEngineSource engines, QObject* parent = nullptr);
    // Runs against a document alone; the layout is the options'.
    ScriptRunner(MapDocument& document, ScriptEngineSource engines, QObject* parent = nullptr);
    ~ScriptRunner() override;

    // A script file (UTF-8); the step is "Script NAME.js".
    ScriptOutcome runFile(const QString& path, const ScriptOptions& options = {});
    ScriptOutcome run(const QString& source, const QString& scriptName, const ScriptOptions& options = {});
    // One expression typed in the editor's console line, against the open map; a
    // change is one undo step too ("Console"). Names the line defines stay for the
    // next line.
    ScriptOutcome evaluate(const QString& expression, const ScriptOptions& options = {});

    // Check Map (F7) and `amptool check`: every check file in turn, in the order
    // given, on the map as it is. A check tells; what it changes is dropped and
    // never becomes a step (not even one taken back, which would stay to be
    // redone), so each check sees the map as it is and the map is left as it was.
    // `starting` is told each check's file before it runs, `finished` its outcome;
    // a check that was stopped ends the loop.
    struct CheckSummary {
        int problems = 0; // reported by the checks that ended well
        int failed = 0;   // checks that threw or ran out of time
        bool stopped = false;
    };
    CheckSummary
    check(const QStringList& checks, const ScriptOptions& options,
          const std::function<void(const QString& path)>& starting,
          const std::function<void(const QString& path, const ScriptOutcome& outcome)>& finished);

    // A run goes on in a thread of its own while these calls turn the caller's
    // event loop: the window stays responsive, and stop() (from its event loop)
    // ends the run as stopped. The map is read as the run starts and changed
    // only as it ends well, and not at all when it changed meanwhile.
    bool isRunning() const { return running_; }
    void stop();
    // Runs whose engine did not come back by their time limit (a call of the
    // engine's own that takes long): their outcome was dropped, and their thread
    // ends when the call does.
    static int runsLeftBehind();

    // The largest script file read.
    static constexpr qint64 LargestScript = 4 * 1024 * 1024;

signals:
    // print(...) output, one call per print, sent as the run ends.
    void printed(const QString& text);

private:
    struct Job;
    ScriptOutcome execute(const QString& program, const QString& scriptName, bool console,
                          const ScriptOptions& options, const QString& stepName);
    ScriptOutcome finish(ScriptOutcome outcome, const ScriptChanges& changes, const QString& stepName,
                         const ScriptOptions& options);

    MapDocument& document_;
    const MapEditor* session_ = nullptr;
    ScriptEngineSource engines_;
    std::shared_ptr<ScriptWorker> worker_; // the thread the engine runs in, with the engine
    bool running_ = false;
    bool mapChanged_ = false; // the map changed while a run went on
    std::shared_ptr<Job> job_;
    QEventLoop* waiting_ = nullptr;
    QTimer* late_ = nullptr; // gives up on an engine that is not back in time
};

// The map of a document as a script run starts. In the editor a run works on
// the selection when more than one hex is selected: after a single click it is
// where the user stands, not a region.
ScriptMap scriptMapOf(const MapDocument& document);
