// SPDX-License-Identifier: MIT
#include "scriptrunner.h"
#include "mapdocument.h"

#include <QFile>
#include <QFileInfo>

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

ScriptRunner::ScriptRunner(MapDocument& document, ScriptEngineSource engines, QObject* parent)
    : QObject(parent), document_(document), engines_(engines) {}

ScriptRunner::~ScriptRunner() = default;

ScriptEngine* ScriptRunner::engine(ScriptOutcome& failed, const QString& scriptName) {
    if (!engine_) {
        QString why;
        engine_ = engines_ ? engines_(why) : nullptr;
        if (!engine_) {
            failed.kind = ScriptOutcome::Kind::Failed;
            failed.error = tr("%1: scripts cannot run: %2").arg(scriptName, why);
        }
    }
    return engine_.get();
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
    ScriptOutcome failed;
    ScriptEngine* engine = this->engine(failed, scriptName);
    if (!engine) {
        return failed;
    }
    // The script's body becomes a function, so its names are local (and fast),
    // and its first line keeps its number.
    const QString program = QStringLiteral("(function () {") + source + QStringLiteral("\n})()");
    ScriptChanges changes;
    ScriptOutcome outcome = engine->run(scriptMapOf(document_), program, scriptName, options, changes);
    return finish(std::move(outcome), changes, tr("Script %1").arg(scriptName), options);
}

ScriptOutcome ScriptRunner::evaluate(const QString& expression, const ScriptOptions& options) {
    ScriptOutcome failed;
    ScriptEngine* engine = this->engine(failed, QStringLiteral("console"));
    if (!engine) {
        return failed;
    }
    ScriptChanges changes;
    ScriptOutcome outcome = engine->evaluate(scriptMapOf(document_), expression, options, changes);
    return finish(std::move(outcome), changes, tr("Console"), options);
}

ScriptOutcome ScriptRunner::finish(ScriptOutcome outcome, const ScriptChanges& changes,
                                   const QString& stepName, const ScriptOptions& options) {
    for (const QString& line : outcome.printed) {
        emit printed(line);
    }
    if (outcome.ok() && options.keepChanges && changes.header) {
        outcome.changed = document_.editMap(stepName, changes.edits, *changes.header);
    }
    return outcome;
}
