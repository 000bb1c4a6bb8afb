// SPDX-License-Identifier: MIT
#include "scriptrunner.h"
#include "mapdocument.h"
#include "mapeditor.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

ScriptMap scriptMapOf(const MapDocument& document) {
    ScriptMap map;
    map.columns = document.columns();
    map.rows = document.rows();
    map.fileName = document.fileName();
    map.header = document.header();
    const std::vector<std::uint8_t> file = document.encode();
    const std::size_t cells = std::size_t(map.columns) * std::size_t(map.rows);
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        auto& bytes = map.bytes[std::size_t(layer)];
        bytes.resize(qsizetype(cells));
        char* out = bytes.data();
        for (std::size_t slot = 0; slot < cells; ++slot) {
            out[slot] = char(file[amp::recordOffset(int(slot)) + std::size_t(layer)]);
        }
        const LayerModel* model = document.layer(layer);
        auto& typed = map.typed[std::size_t(layer)];
        for (std::size_t slot = 0; slot < cells && slot < model->cellCount(); ++slot) {
            if (model->kindAt(slot) != LayerModel::Kind::Canonical) {
                typed.emplace_back(slot, model->typedAt(slot));
            }
        }
    }
    if (document.selection().cellCount() > 1) {
        map.selection = document.selection().rectangles();
    }
    return map;
}

namespace {

// The conflicts left of a session's merge, for merge.conflicts.
void addConflicts(ScriptMap& map, const MapEditor* session) {
    const MapMerge* merge = session ? session->merge() : nullptr;
    if (!merge) {
        return;
    }
    map.merging = true;
    for (std::size_t i = 0; i < merge->conflictCount(); ++i) {
        if (!merge->isLeft(i)) {
            continue;
        }
        const amp::MergeConflict& c = merge->conflict(i);
        map.conflicts.push_back(
            {int(i), c.isHeader ? c.headerByte : -1, c.column, c.row, c.layer, c.base, c.ours, c.theirs});
    }
}

} // namespace

namespace {

// Past its time limit a run stops itself and its outcome is read within this;
// an engine not back by then is busy in a call of its own and is left behind.
constexpr std::chrono::milliseconds ReadingLimit{1000};
constexpr std::chrono::milliseconds Grace{1000};
constexpr double MillisecondsPerSecond = 1000.0;

std::atomic<int> leftBehind{0};

ScriptOutcome failure(const QString& error) {
    ScriptOutcome outcome;
    outcome.kind = ScriptOutcome::Kind::Failed;
    outcome.error = error;
    return outcome;
}

} // namespace

// The thread a runner's engine works in, and the engine: QJSEngine belongs to
// the thread it is made in, so every run of one engine (the console's lines
// share one) goes through the same thread. A worker whose run was left behind
// ends, with its engine, when that run does.
class ScriptWorker {
public:
    explicit ScriptWorker(std::unique_ptr<ScriptEngine> engine) : engine_(std::move(engine)) {}

    static std::shared_ptr<ScriptWorker> start(std::unique_ptr<ScriptEngine> engine) {
        auto worker = std::make_shared<ScriptWorker>(std::move(engine));
        worker->thread_ = std::thread([worker] { worker->work(); });
        return worker;
    }
    void post(std::function<void(ScriptEngine&)> job) {
        {
            const std::lock_guard lock(mutex_);
            job_ = std::move(job);
        }
        wake_.notify_all();
    }
    // Ends the thread once it is idle and waits for it.
    void finish() {
        quit();
        thread_.join();
    }
    // Lets the thread end by itself once its run is over.
    void leaveBehind() {
        ++leftBehind;
        {
            const std::lock_guard lock(mutex_);
            leftBehind_ = true;
        }
        quit();
        thread_.detach();
    }

private:
    void quit() {
        {
            const std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
    }
    void work() {
        for (;;) {
            std::function<void(ScriptEngine&)> job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return quit_ || job_; });
                if (!job_) {
                    break;
                }
                job = std::move(job_);
                job_ = nullptr;
            }
            job(*engine_);
        }
        engine_.reset(); // in the thread that used it
        const std::lock_guard lock(mutex_);
        if (leftBehind_) {
            --leftBehind;
        }
    }

    std::unique_ptr<ScriptEngine> engine_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void(ScriptEngine&)> job_;
    bool quit_ = false;
    bool leftBehind_ = false;
    std::thread thread_;
};

// One run, shared by the runner and the worker's thread.
struct ScriptRunner::Job {
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    ScriptOutcome outcome;
    ScriptChanges changes;
    std::mutex mutex;
    ScriptRunner* waiting = nullptr; // told when the run is over; none once it is given up
};

ScriptRunner::ScriptRunner(MapEditor& session, ScriptEngineSource engines, QObject* parent)
    : ScriptRunner(session.document(), std::move(engines), parent) {
    session_ = &session;
}

ScriptRunner::ScriptRunner(MapDocument& document, ScriptEngineSource engines, QObject* parent)
    : QObject(parent), document_(document), engines_(engines) {
    const auto changed = [this] {
        if (running_) {
            mapChanged_ = true;
        }
    };
    connect(&document_, &MapDocument::cellsChanged, this, changed);
    connect(&document_, &MapDocument::mapReset, this, changed);
    connect(&document_, &MapDocument::headerChanged, this, changed);
}

ScriptRunner::~ScriptRunner() {
    if (job_) {
        job_->stop = true;
        const std::lock_guard lock(job_->mutex);
        job_->waiting = nullptr;
    }
    if (worker_) {
        if (running_) {
            worker_->leaveBehind();
        } else {
            worker_->finish();
        }
    }
}

int ScriptRunner::runsLeftBehind() {
    return leftBehind.load();
}

void ScriptRunner::stop() {
    if (!running_ || !job_) {
        return;
    }
    job_->stop = true;
    // The engine stops at its next step; one busy in a call of its own is not
    // waited for long.
    if (late_ && late_->remainingTime() > int(Grace.count())) {
        late_->start(int(Grace.count()));
    }
}

ScriptRunner::CheckSummary
ScriptRunner::check(const QStringList& checks, const ScriptOptions& options,
                    const std::function<void(const QString& path)>& starting,
                    const std::function<void(const QString& path, const ScriptOutcome& outcome)>& finished) {
    ScriptOptions checking = options;
    checking.keepChanges = false;
    CheckSummary summary;
    for (const QString& path : checks) {
        starting(path);
        const ScriptOutcome outcome = runFile(path, checking);
        finished(path, outcome);
        if (outcome.kind == ScriptOutcome::Kind::Stopped) {
            summary.stopped = true;
            break;
        }
        if (outcome.ok()) {
            summary.problems += static_cast<int>(outcome.problems.size());
        } else {
            ++summary.failed;
        }
    }
    return summary;
}

ScriptOutcome ScriptRunner::runFile(const QString& path, const ScriptOptions& options) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    const auto failed = [&name, &path](const QString& why) {
        ScriptOutcome outcome;
        outcome.kind = ScriptOutcome::Kind::Failed;
        outcome.error = QStringLiteral("%1: cannot read %2: %3").arg(name, path, why);
        return outcome;
    };
    if (!info.exists()) {
        return failed(tr("no such file"));
    }
    if (!info.isFile()) {
        return failed(tr("not a regular file"));
    }
    if (info.size() > LargestScript) {
        return failed(tr("larger than a script can be (%1 bytes)").arg(LargestScript));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return failed(file.errorString());
    }
    const QByteArray source = file.read(LargestScript + 1);
    if (file.error() != QFileDevice::NoError) {
        return failed(file.errorString());
    }
    return run(QString::fromUtf8(source), name, options);
}

ScriptOutcome ScriptRunner::run(const QString& source, const QString& scriptName,
                                const ScriptOptions& options) {
    // The script's body becomes a function, so its names are local (and fast),
    // and its first line keeps its number.
    const QString program = QStringLiteral("(function () {") + source + QStringLiteral("\n})()");
    return execute(program, scriptName, false, options, tr("Script %1").arg(scriptName));
}

ScriptOutcome ScriptRunner::evaluate(const QString& expression, const ScriptOptions& options) {
    return execute(expression, QStringLiteral("console"), true, options, tr("Console"));
}

ScriptOutcome ScriptRunner::execute(const QString& program, const QString& scriptName, bool console,
                                    const ScriptOptions& options, const QString& stepName) {
    if (running_) {
        return failure(tr("%1: another script is running; this one did not start").arg(scriptName));
    }
    if (!worker_) {
        QString why;
        std::unique_ptr<ScriptEngine> engine = engines_ ? engines_(why) : nullptr;
        if (!engine) {
            return failure(tr("%1: scripts cannot run: %2").arg(scriptName, why));
        }
        worker_ = ScriptWorker::start(std::move(engine));
    }
    auto job = std::make_shared<Job>();
    job->waiting = this;
    job_ = job;
    running_ = true;
    mapChanged_ = false;
    const QString broken = tr("%1: the run failed in the engine").arg(scriptName);
    ScriptOptions asked = options;
    if (session_) {
        asked.evenColumnsLower = session_->evenColumnsLower();
    }
    ScriptMap started = scriptMapOf(document_);
    addConflicts(started, session_);
    worker_->post([job, map = std::move(started), program, scriptName, console, options = asked,
                   broken](ScriptEngine& engine) {
        ScriptOptions given = options;
        given.stop = &job->stop;
        try {
            job->outcome = console ? engine.evaluate(map, program, given, job->changes)
                                   : engine.run(map, program, scriptName, given, job->changes);
        } catch (const std::exception& error) {
            job->outcome =
                failure(QStringLiteral("%1: %2").arg(scriptName, QString::fromLocal8Bit(error.what())));
        } catch (...) {
            job->outcome = failure(broken);
        }
        job->done = true;
        const std::lock_guard lock(job->mutex);
        if (job->waiting) {
            ScriptRunner* runner = job->waiting;
            QMetaObject::invokeMethod(
                runner,
                [runner] {
                    if (runner->waiting_) {
                        runner->waiting_->quit();
                    }
                },
                Qt::QueuedConnection);
        }
    });
    // The caller's event loop turns while the engine works; a timer gives up
    // on an engine that is not back well after its time limit.
    QEventLoop loop;
    QTimer late;
    late.setSingleShot(true);
    connect(&late, &QTimer::timeout, &loop, &QEventLoop::quit);
    late.start(options.timeout + ReadingLimit + Grace);
    waiting_ = &loop;
    late_ = &late;
    if (!job->done) {
        loop.exec();
    }
    waiting_ = nullptr;
    late_ = nullptr;
    running_ = false;
    job_.reset();
    {
        const std::lock_guard lock(job->mutex);
        job->waiting = nullptr;
    }
    if (!job->done) {
        worker_->leaveBehind();
        worker_.reset();
        ScriptOutcome stopped;
        if (job->stop) {
            stopped.kind = ScriptOutcome::Kind::Stopped;
            stopped.error = tr("%1: stopped; nothing was changed").arg(scriptName);
        } else {
            stopped.kind = ScriptOutcome::Kind::TimedOut;
            stopped.error =
                tr("%1: stopped after %2 s, its time limit, in a call of the engine's own that had "
                   "not returned; nothing was changed")
                    .arg(scriptName)
                    .arg(double(options.timeout.count()) / MillisecondsPerSecond);
        }
        return stopped;
    }
    if (mapChanged_ && job->outcome.ok() && options.keepChanges) {
        job->outcome.kind = ScriptOutcome::Kind::Failed;
        job->outcome.error = tr("%1: the map changed while it ran; nothing was changed").arg(scriptName);
    }
    return finish(std::move(job->outcome), job->changes, stepName, options);
}

ScriptOutcome ScriptRunner::finish(ScriptOutcome outcome, const ScriptChanges& changes,
                                   const QString& stepName, const ScriptOptions& options) {
    for (const QString& line : outcome.printed) {
        emit printed(line);
    }
    if (outcome.ok() && options.keepChanges && changes.header) {
        MapMerge* merge = session_ ? session_->merge() : nullptr;
        std::vector<std::size_t> taken;
        for (const int index : changes.taken) {
            if (merge && index >= 0 && std::size_t(index) < merge->conflictCount()) {
                taken.push_back(std::size_t(index));
            }
        }
        if (taken.empty()) {
            outcome.changed = document_.editMap(stepName, changes.edits, *changes.header);
        } else {
            // The cells and the sides chosen, as one step: undone, the conflicts are left again.
            QUndoStack* stack = document_.undoStack();
            stack->beginMacro(stepName);
            document_.editMap(stepName, changes.edits, *changes.header);
            merge->pushTaken(taken);
            stack->endMacro();
            outcome.changed = true;
        }
    }
    return outcome;
}
