// SPDX-License-Identifier: MIT
#include "jsengine.h"

#include <QCoreApplication>
#include <QFile>
#include <QJSEngine>
#include <QJSValue>

#include <array>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace {

constexpr const char* ApiResource = ":/script/api.js";
// The name the API's own frames carry in stack traces, apart from any script's.
constexpr const char* ApiFileName = "ampedit-script-api";
constexpr const char* ConsoleName = "console";
constexpr double MillisecondsPerSecond = 1000.0;
// How long the output of a run stopped at its time limit may take to read.
constexpr std::chrono::milliseconds ReadingLimit{1000};
// What a script is given as globals.
const char* const Globals[] = {"map", "terrain", "selection", "report", "print", "args"};

QString apiSource() {
    static const QString source = [] {
        QFile file(QString::fromLatin1(ApiResource));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }();
    return source;
}

// Sets the engine's interrupt flag once the time is up, unless stopped first.
class Watchdog {
public:
    Watchdog(QJSEngine& engine, std::chrono::milliseconds limit) {
        if (limit.count() > 0) {
            thread_ = std::thread([this, &engine, limit] {
                std::unique_lock lock(mutex_);
                if (!wake_.wait_for(lock, limit, [this] { return stopped_; })) {
                    fired_ = true;
                    engine.setInterrupted(true);
                }
            });
        }
    }
    ~Watchdog() { stop(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Whether the time ran out first.
    bool stop() {
        {
            const std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
        return fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    bool fired_ = false;
    std::thread thread_;
};

// A byte's own text: its decimal digits, as the layers show it.
QString canonicalText(std::uint8_t byte) {
    return QString::number(byte);
}

QJSValue stringArray(QJSEngine& engine, const QStringList& list) {
    QJSValue array = engine.newArray(quint32(list.size()));
    for (qsizetype i = 0; i < list.size(); ++i) {
        array.setProperty(quint32(i), list[i]);
    }
    return array;
}

template <std::size_t N> QStringList namesOf(const std::array<std::string_view, N>& names) {
    QStringList list;
    for (const std::string_view name : names) {
        list.append(QString::fromLatin1(name.data(), qsizetype(name.size())));
    }
    return list;
}

// What api.js is made from.
QJSValue dataOf(QJSEngine& engine, const ScriptMap& snapshot, const ScriptOptions& options) {
    QJSValue data = engine.newObject();
    data.setProperty("columns", snapshot.columns);
    data.setProperty("rows", snapshot.rows);
    data.setProperty("fileName", snapshot.fileName);
    data.setProperty("evenColumnsLower", options.evenColumnsLower);
    data.setProperty("arguments", stringArray(engine, options.arguments));
    data.setProperty("layerNames", stringArray(engine, namesOf(amp::LayerNames)));
    data.setProperty("terrainNames", stringArray(engine, namesOf(amp::TerrainNames)));
    QJSValue header = engine.newArray(amp::HeaderSize);
    for (int i = 0; i < amp::HeaderSize; ++i) {
        header.setProperty(quint32(i), snapshot.header.bytes[std::size_t(i)]);
    }
    data.setProperty("header", header);
    QJSValue buffers = engine.newArray(amp::LayerCount);
    QJSValue typed = engine.newArray(amp::LayerCount);
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        // A copy of its own: the engine's buffer writes into the bytes it is given,
        // and the snapshot must keep the map as it was.
        const QByteArray& bytes = snapshot.bytes[std::size_t(layer)];
        buffers.setProperty(quint32(layer),
                            engine.toScriptValue(QByteArray(bytes.constData(), bytes.size())));
        const auto& texts = snapshot.typed[std::size_t(layer)];
        QJSValue pairs = engine.newArray(quint32(texts.size()));
        for (std::size_t i = 0; i < texts.size(); ++i) {
            QJSValue pair = engine.newArray(2);
            pair.setProperty(0, double(texts[i].first));
            pair.setProperty(1, texts[i].second);
            pairs.setProperty(quint32(i), pair);
        }
        typed.setProperty(quint32(layer), pairs);
    }
    data.setProperty("buffers", buffers);
    data.setProperty("typed", typed);
    QJSValue rectangles = engine.newArray();
    {
        quint32 i = 0;
        for (const QRect& rectangle : snapshot.selection) {
            QJSValue r = engine.newObject();
            r.setProperty("column", rectangle.left());
            r.setProperty("row", rectangle.top());
            r.setProperty("columns", rectangle.width());
            r.setProperty("rows", rectangle.height());
            rectangles.setProperty(i++, r);
        }
    }
    data.setProperty("selection", rectangles);
    return data;
}

// A whole number as the script gave it, or -1 for anything else (NaN, 1.5, "3").
int wholeNumberOf(const QJSValue& value) {
    if (!value.isNumber()) {
        return -1;
    }
    const double number = value.toNumber();
    return number >= 0 && number <= double(std::numeric_limits<int>::max()) && number == std::floor(number)
               ? int(number)
               : -1;
}

// The header the run left: seven bytes 0-255, the shape's two as they were;
// none when it is anything else.
std::optional<amp::MapHeader> headerOf(const QJSValue& end, const amp::MapHeader& before) {
    const QJSValue bytes = end.property("header");
    if (!bytes.isArray() || bytes.property("length").toUInt() != amp::HeaderSize) {
        return std::nullopt;
    }
    amp::MapHeader header = before;
    for (int i = 0; i < amp::HeaderSize; ++i) {
        const int byte = wholeNumberOf(bytes.property(quint32(i)));
        if (byte < 0 || byte > 255) {
            return std::nullopt;
        }
        header.bytes[std::size_t(i)] = std::uint8_t(byte);
    }
    if (header.bytes[amp::ColumnsByte] != before.bytes[amp::ColumnsByte] ||
        header.bytes[amp::RowsByte] != before.bytes[amp::RowsByte]) {
        return std::nullopt;
    }
    return header;
}

bool isScriptFile(const QString& frameFile, const QString& scriptName) {
    return frameFile == scriptName || frameFile == QLatin1String("file:") + scriptName;
}

// "NAME:LINE: message", the line from the script's own frame nearest the throw
// (a throw inside the API reports the script's call of it). The engine keeps
// no columns.
QString errorText(const QJSValue& thrown, const QStringList& trace, const QString& scriptName,
                  const QJSValue& describe) {
    int line = 0;
    for (const QString& frame : trace) {
        // function:line:column:file
        const QStringList parts = frame.split(QLatin1Char(':'));
        if (parts.size() >= 4 && isScriptFile(parts.mid(3).join(QLatin1Char(':')), scriptName)) {
            line = parts[1].toInt();
            break;
        }
    }
    if (line <= 0 && thrown.isError() && isScriptFile(thrown.property("fileName").toString(), scriptName)) {
        line = thrown.property("lineNumber").toInt();
    }
    const QString message = thrown.isError() ? thrown.toString()
                                             : QStringLiteral("uncaught exception: ") +
                                                   QJSValue(describe).call({thrown}).toString();
    return line > 0 ? QStringLiteral("%1:%2: %3").arg(scriptName).arg(line).arg(message)
                    : QStringLiteral("%1: %2").arg(scriptName, message);
}

// The cells the run changed, as edits: a slot whose byte or whose typed text
// differs from the snapshot.
std::vector<CellEdit> editsOf(QJSEngine& engine, const ScriptMap& snapshot, const QJSValue& data,
                              const QJSValue& end) {
    std::vector<CellEdit> edits;
    const std::size_t cells = std::size_t(snapshot.columns) * std::size_t(snapshot.rows);
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        if (!end.property("dirty").property(quint32(layer)).toBool()) {
            continue;
        }
        const QByteArray now =
            engine.fromScriptValue<QByteArray>(data.property("buffers").property(quint32(layer)));
        const QByteArray& before = snapshot.bytes[std::size_t(layer)];
        if (std::size_t(now.size()) != cells) {
            continue;
        }
        std::vector<bool> typedSlot(cells, false);
        for (const auto& [slot, text] : snapshot.typed[std::size_t(layer)]) {
            typedSlot[slot] = true;
        }
        std::unordered_map<std::size_t, QString> texts;
        const QJSValue pairs = end.property("typed").property(quint32(layer));
        const quint32 count = pairs.property("length").toUInt();
        for (quint32 i = 0; i < count; ++i) {
            const QJSValue pair = pairs.property(i);
            const int given = wholeNumberOf(pair.property(0));
            const auto slot = std::size_t(given);
            if (given >= 0 && slot < cells) {
                texts[slot] = pair.property(1).toString();
                typedSlot[slot] = true;
            }
        }
        for (std::size_t slot = 0; slot < cells; ++slot) {
            const auto at = qsizetype(slot);
            if (now[at] == before[at] && !typedSlot[slot]) {
                continue;
            }
            const auto text = texts.find(slot);
            const int column = int(slot / std::size_t(snapshot.rows)),
                      row = int(slot % std::size_t(snapshot.rows));
            edits.push_back({layer, column, row,
                             text != texts.end() ? text->second : canonicalText(std::uint8_t(now[at]))});
        }
    }
    return edits;
}

} // namespace

ScriptOutcome JsEngine::run(const ScriptMap& map, const QString& program, const QString& scriptName,
                            const ScriptOptions& options, ScriptChanges& changes) {
    // A fresh engine for every run: nothing of one script reaches the next.
    QJSEngine engine;
    return execute(engine, map, program, scriptName, options, changes);
}

ScriptOutcome JsEngine::evaluate(const ScriptMap& map, const QString& expression,
                                 const ScriptOptions& options, ScriptChanges& changes) {
    if (!console_) {
        console_ = std::make_unique<QJSEngine>();
    }
    return execute(*console_, map, expression, QString::fromLatin1(ConsoleName), options, changes);
}

JsEngine::JsEngine() = default;

JsEngine::~JsEngine() = default;

ScriptOutcome JsEngine::execute(QJSEngine& engine, const ScriptMap& snapshot, const QString& program,
                                const QString& scriptName, const ScriptOptions& options,
                                ScriptChanges& changes) {
    ScriptOutcome outcome;
    const QJSValue data = dataOf(engine, snapshot, options);
    const QJSValue api = engine.evaluate(apiSource(), QString::fromLatin1(ApiFileName)).call({data});
    if (api.isError() || !api.isObject()) {
        outcome.kind = ScriptOutcome::Kind::Failed;
        outcome.error =
            QStringLiteral("%1: the scripting API could not be set up: %2").arg(scriptName, api.toString());
        return outcome;
    }
    const QJSValue globals = api.property("globals");
    for (const char* name : Globals) {
        engine.globalObject().setProperty(QString::fromLatin1(name),
                                          globals.property(QString::fromLatin1(name)));
    }

    // The watchdog stays on until the last call that may reach the script's own
    // code: taking its outcome apart calls what it may have put in place of the
    // built-ins (a toString, a toJSON, Array.prototype.slice).
    Watchdog watchdog(engine, options.timeout);
    QStringList trace;
    const QJSValue result = engine.evaluate(program, scriptName, 1, &trace);
    // Stopped in its time: what it printed and reported before is still read,
    // under a short limit of its own.
    const bool stoppedInTime = engine.isInterrupted();
    std::optional<Watchdog> reading;
    if (stoppedInTime) {
        watchdog.stop();
        engine.setInterrupted(false);
        reading.emplace(engine, ReadingLimit);
    }
    const QJSValue end = api.property("outcome").call();
    const auto stopped = [&] {
        const bool timedOut = watchdog.stop() || (reading && reading->stop()) || engine.isInterrupted();
        engine.setInterrupted(false);
        return stoppedInTime || timedOut;
    };
    const QJSValue lines = end.property("printed");
    for (quint32 i = 0, n = lines.property("length").toUInt(); i < n; ++i) {
        outcome.printed.append(lines.property(i).toString());
    }
    const QJSValue problems = end.property("problems");
    bool forged = end.isError() || !end.isObject() || !problems.isArray();
    for (quint32 i = 0, n = problems.property("length").toUInt(); i < n && !forged; ++i) {
        const QJSValue problem = problems.property(i);
        ScriptProblem found{{}, problem.property("message").toString(), scriptName};
        if (problem.hasProperty("column")) {
            const int column = wholeNumberOf(problem.property("column"));
            const int row = wholeNumberOf(problem.property("row"));
            forged = column < 0 || column >= snapshot.columns || row < 0 || row >= snapshot.rows;
            found.hex = HexCell{column, row};
        }
        outcome.problems.push_back(std::move(found));
    }
    const QString value = forged ? QString() : api.property("describe").call({result}).toString();
    const std::optional<amp::MapHeader> header = forged ? std::nullopt : headerOf(end, snapshot.header);
    std::vector<CellEdit> edits;
    if (header && options.keepChanges) {
        edits = editsOf(engine, snapshot, data, end);
    }
    const bool threw = !trace.isEmpty() || result.isError();
    const QString thrown = threw ? errorText(result, trace, scriptName, api.property("describe")) : QString();
    if (stopped()) {
        outcome.kind = ScriptOutcome::Kind::TimedOut;
        outcome.error = QCoreApplication::translate(
                            "ScriptRunner", "%1: stopped after %2 s, its time limit; nothing was changed")
                            .arg(scriptName)
                            .arg(double(options.timeout.count()) / MillisecondsPerSecond);
        return outcome;
    }
    if (threw) {
        outcome.kind = ScriptOutcome::Kind::Failed;
        outcome.error = thrown;
        return outcome;
    }
    if (!header) {
        // What the run left cannot be told apart from a forgery: it changed
        // the built-ins the scripting API relies on.
        outcome.kind = ScriptOutcome::Kind::Failed;
        outcome.error =
            QCoreApplication::translate(
                "ScriptRunner", "%1: the script changed what the scripting API relies on (a built-in such as "
                                "Array.prototype.slice); nothing was changed")
                .arg(scriptName);
        outcome.problems.clear();
        return outcome;
    }
    outcome.value = value;
    if (options.keepChanges) {
        changes.edits = std::move(edits);
        changes.header = *header;
    }
    return outcome;
}

std::unique_ptr<ScriptEngine> linkedScriptEngine(QString& /*why*/) {
    return std::make_unique<JsEngine>();
}
