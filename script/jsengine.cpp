// SPDX-License-Identifier: MIT
#include "jsengine.h"
#include "scriptfairness.h"
#include "scriptshapes.h"

#include <QCoreApplication>
#include <QFile>
#include <QJSEngine>
#include <QJSValue>

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

constexpr const char* ApiResource = ":/script/api.js";
// The name the API's own frames carry in stack traces, apart from any script's.
constexpr const char* ApiFileName = "ampedit-script-api";
constexpr const char* ConsoleName = "console";
constexpr double MillisecondsPerSecond = 1000.0;
constexpr std::size_t BytesPerMegabyte = 1024 * 1024;
// How long the output of a run stopped at its time limit may take to read.
constexpr std::chrono::milliseconds ReadingLimit{1000};
// What a script is given as globals.
const char* const Globals[] = {"map", "terrain", "selection", "report", "print", "args", "merge"};

ScriptOutcome failure(const QString& error) {
    ScriptOutcome outcome;
    outcome.kind = ScriptOutcome::Kind::Failed;
    outcome.error = error;
    return outcome;
}

QString apiSource() {
    static const QString source = [] {
        QFile file(QString::fromLatin1(ApiResource));
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }();
    return source;
}

// Resident bytes of the process, or 0 where that is not known.
std::size_t residentBytes() {
#ifdef __linux__
    // statm: the program's size, then its resident pages.
    const int file = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return 0;
    }
    char text[128] = {};
    const ssize_t got = ::read(file, text, sizeof text - 1);
    ::close(file);
    if (got <= 0) {
        return 0;
    }
    unsigned long long size = 0, resident = 0;
    if (std::sscanf(text, "%llu %llu", &size, &resident) != 2) {
        return 0;
    }
    return std::size_t(resident) * std::size_t(::sysconf(_SC_PAGESIZE));
#else
    return 0;
#endif
}

// Ends a run by the engine's interrupt flag: when its deadline passes, when the
// process grows past its memory bound, or when the user asks. The engine
// stops at its next step of script code; a call of its own (a split, a sort)
// ends first. After a stop the deadline can be set again for reading what the
// run left, which the watchdog bounds the same way.
class Watchdog {
public:
    enum class Reason { None, Time, Memory, Stop };

    Watchdog(QJSEngine& engine, const ScriptOptions& options)
        : engine_(engine), stop_(options.stop), memoryLimit_(options.memoryLimit),
          base_(options.memoryLimit > 0 ? residentBytes() : 0), deadline_(Clock::now() + options.timeout) {
        thread_ = std::thread([this] { watch(); });
    }
    ~Watchdog() {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // The first reason the run was stopped for, if any.
    Reason reason() {
        const std::lock_guard lock(mutex_);
        return reason_;
    }
    // Lets the engine run again until `limit` from now, to read what a stopped run left.
    void readFor(std::chrono::milliseconds limit) {
        const std::lock_guard lock(mutex_);
        deadline_ = Clock::now() + limit;
        armed_ = true;
        engine_.setInterrupted(false);
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds Poll{10};

    void watch() {
        std::unique_lock lock(mutex_);
        while (!finished_) {
            wake_.wait_for(lock, Poll);
            if (finished_ || !armed_) {
                continue;
            }
            if (stop_ && stop_->load()) {
                fire(Reason::Stop);
            } else if (Clock::now() >= deadline_) {
                fire(Reason::Time);
            } else if (memoryLimit_ > 0 && base_ > 0 && residentBytes() > base_ + memoryLimit_) {
                fire(Reason::Memory);
            }
        }
    }
    void fire(Reason reason) {
        if (reason_ == Reason::None) {
            reason_ = reason;
        }
        armed_ = false;
        engine_.setInterrupted(true);
    }

    QJSEngine& engine_;
    const std::atomic<bool>* stop_;
    const std::size_t memoryLimit_;
    const std::size_t base_;
    std::mutex mutex_;
    std::condition_variable wake_;
    Clock::time_point deadline_;
    bool armed_ = true;
    bool finished_ = false;
    Reason reason_ = Reason::None;
    std::thread thread_;
};

// A value the script left, as text: a text as it is; anything else through the
// API's describe, which guards against cycles and depth. Never the engine's
// own conversion of an object, which recurses without a bound.
QString textOf(const QJSValue& value, const QJSValue& describe) {
    if (value.isString()) {
        return value.toString();
    }
    const QJSValue text = QJSValue(describe).call({value});
    return text.isString() ? text.toString() : QString();
}

// Texts packed by the API: one string and an ArrayBuffer of 32-bit numbers,
// `perText` of them a text, its length first. False when it is anything else
// (the script changed the built-ins the packing uses) or holds more than `most`.
bool unpack(QJSEngine& engine, const QJSValue& packed, int perText, int most, QStringList& texts,
            std::vector<std::int32_t>& numbers) {
    const QJSValue text = packed.property("text");
    const QJSValue buffer = packed.property("numbers");
    if (!text.isString() || !buffer.isObject()) {
        return false;
    }
    const QByteArray bytes = engine.fromScriptValue<QByteArray>(buffer);
    const qsizetype size = qsizetype(sizeof(std::int32_t)) * perText;
    if (bytes.size() % size != 0 || bytes.size() / size > most) {
        return false;
    }
    numbers.resize(std::size_t(bytes.size()) / sizeof(std::int32_t));
    if (!bytes.isEmpty()) {
        std::memcpy(numbers.data(), bytes.constData(), std::size_t(bytes.size()));
    }
    const QString all = text.toString();
    qsizetype at = 0;
    for (std::size_t i = 0; i < numbers.size(); i += std::size_t(perText)) {
        const qsizetype length = numbers[i];
        if (length < 0 || length > all.size() - at) {
            return false;
        }
        texts.append(all.mid(at, length));
        at += length;
    }
    return at == all.size();
}

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
    // Owned by the engine, which deletes it once nothing in it refers to it.
    data.setProperty("shapes", engine.newQObject(new ScriptShapes(
                                   {snapshot.columns, snapshot.rows, options.evenColumnsLower})));
    data.setProperty("fairness", engine.newQObject(new ScriptFairness(
                                     {snapshot.columns, snapshot.rows, options.evenColumnsLower})));
    data.setProperty("problemLimit", options.problemLimit);
    data.setProperty("printLimit", options.printLimit);
    data.setProperty("printedTextLimit", options.printedTextLimit);
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
    data.setProperty("merging", snapshot.merging);
    QJSValue conflicts = engine.newArray(quint32(snapshot.conflicts.size()));
    for (std::size_t i = 0; i < snapshot.conflicts.size(); ++i) {
        const ScriptConflict& c = snapshot.conflicts[i];
        QJSValue conflict = engine.newObject();
        conflict.setProperty("index", c.index);
        conflict.setProperty("headerByte", c.headerByte);
        conflict.setProperty("column", c.column);
        conflict.setProperty("row", c.row);
        conflict.setProperty("layer", c.layer);
        conflict.setProperty("base", c.base);
        conflict.setProperty("ours", c.ours);
        conflict.setProperty("theirs", c.theirs);
        conflicts.setProperty(quint32(i), conflict);
    }
    data.setProperty("conflicts", conflicts);
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

// The conflicts a run's merge.take chose a side for: those of the snapshot only.
std::vector<int> takenOf(const QJSValue& taken, const ScriptMap& snapshot) {
    std::vector<int> indices;
    const int length = wholeNumberOf(taken.property("length"));
    for (int i = 0; i < length; ++i) {
        const int index = wholeNumberOf(taken.property(quint32(i)));
        // The snapshot lists its conflicts in the merge's order.
        const auto found = std::lower_bound(snapshot.conflicts.begin(), snapshot.conflicts.end(), index,
                                            [](const ScriptConflict& c, int i) { return c.index < i; });
        const bool known = found != snapshot.conflicts.end() && found->index == index;
        if (known) {
            indices.push_back(index);
        }
    }
    return indices;
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
    const QString message = thrown.isError()
                                ? textOf(thrown, describe)
                                : QStringLiteral("uncaught exception: ") + textOf(thrown, describe);
    return line > 0 ? QStringLiteral("%1:%2: %3").arg(scriptName).arg(line).arg(message)
                    : QStringLiteral("%1: %2").arg(scriptName, message);
}

// The cells the run changed, as edits: a slot whose byte or whose typed text
// differs from the snapshot. None when what the run left cannot be its own (more
// typed texts than cells, a text that is none), or when reading it was stopped.
std::optional<std::vector<CellEdit>> editsOf(QJSEngine& engine, const ScriptMap& snapshot,
                                             const QJSValue& data, const QJSValue& end) {
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
        if (!pairs.isArray() || count > cells) {
            return std::nullopt;
        }
        for (quint32 i = 0; i < count; ++i) {
            if (engine.isInterrupted()) {
                return std::nullopt;
            }
            const QJSValue pair = pairs.property(i);
            const int given = wholeNumberOf(pair.property(0));
            const QJSValue text = pair.property(1);
            const auto slot = std::size_t(given);
            if (!text.isString()) {
                return std::nullopt;
            }
            if (given >= 0 && slot < cells) {
                texts[slot] = text.toString();
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
    ScriptOutcome outcome =
        execute(*console_, map, expression, QString::fromLatin1(ConsoleName), options, changes);
    if (broken_) {
        console_.reset(); // what it held is not to be trusted: the next line starts afresh
        broken_ = false;
    }
    return outcome;
}

JsEngine::JsEngine() = default;

JsEngine::~JsEngine() = default;

ScriptOutcome JsEngine::execute(QJSEngine& engine, const ScriptMap& snapshot, const QString& program,
                                const QString& scriptName, const ScriptOptions& options,
                                ScriptChanges& changes) {
    // Nothing a script does may throw out of here: an allocation that fails
    // while its outcome is read ends the run, and the editor goes on.
    try {
        return executeGuarded(engine, snapshot, program, scriptName, options, changes);
    } catch (const std::bad_alloc&) {
        broken_ = true;
        return failure(
            QCoreApplication::translate(
                "ScriptRunner", "%1: stopped: there was not memory enough for it; nothing was changed")
                .arg(scriptName));
    } catch (const std::exception& error) {
        broken_ = true;
        return failure(QStringLiteral("%1: %2").arg(scriptName, QString::fromLocal8Bit(error.what())));
    }
}

ScriptOutcome JsEngine::executeGuarded(QJSEngine& engine, const ScriptMap& snapshot, const QString& program,
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
    const QJSValue describe = api.property("describe");

    // The watchdog stays on until the last call that may reach the script's own
    // code: taking its outcome apart calls what it may have put in place of the
    // built-ins (a toString, a toJSON, Array.prototype.slice). Every loop here
    // that reads the outcome stops when the engine is interrupted.
    Watchdog watchdog(engine, options);
    QStringList trace;
    const QJSValue result = engine.evaluate(program, scriptName, 1, &trace);
    // Stopped: what it printed and reported before is still read, under a short
    // limit of its own.
    if (watchdog.reason() != Watchdog::Reason::None) {
        watchdog.readFor(ReadingLimit);
    }
    const QJSValue end = api.property("outcome").call();
    bool forged = end.isError() || !end.isObject();
    QStringList messages;
    std::vector<std::int32_t> hexes;
    forged = forged ||
             !unpack(engine, end.property("printed"), 1, options.printLimit, outcome.printed, hexes) ||
             !unpack(engine, end.property("problems"), 3, options.problemLimit, messages, hexes);
    for (qsizetype i = 0; i < messages.size() && !forged; ++i) {
        ScriptProblem found{{}, messages[i], scriptName};
        const int column = hexes[std::size_t(i) * 3 + 1];
        const int row = hexes[std::size_t(i) * 3 + 2];
        if (column != -1 || row != -1) {
            forged = column < 0 || column >= snapshot.columns || row < 0 || row >= snapshot.rows;
            found.hex = HexCell{column, row};
        }
        outcome.problems.push_back(std::move(found));
    }
    if (const int over = wholeNumberOf(end.property("printedOver")); !forged && over > 0) {
        outcome.printed.append(
            QCoreApplication::translate(
                "ScriptRunner", "(%1 more lines not shown: a run prints %2 lines and %3 characters at most)")
                .arg(over)
                .arg(options.printLimit)
                .arg(options.printedTextLimit));
    }
    if (const int over = wholeNumberOf(end.property("problemsOver")); !forged && over > 0) {
        outcome.problems.push_back(
            {{},
             QCoreApplication::translate(
                 "ScriptRunner", "%1 more problems were reported and not listed (a run lists %2 at most)")
                 .arg(over)
                 .arg(options.problemLimit),
             scriptName});
    }
    const QString value = forged ? QString() : textOf(result, describe);
    const std::optional<amp::MapHeader> header = forged ? std::nullopt : headerOf(end, snapshot.header);
    std::optional<std::vector<CellEdit>> edits = std::vector<CellEdit>{};
    if (header && options.keepChanges) {
        edits = editsOf(engine, snapshot, data, end);
    }
    const bool threw = !trace.isEmpty() || result.isError();
    const QString thrown = threw ? errorText(result, trace, scriptName, describe) : QString();
    const Watchdog::Reason stopped = engine.isInterrupted() && watchdog.reason() == Watchdog::Reason::None
                                         ? Watchdog::Reason::Time
                                         : watchdog.reason();
    engine.setInterrupted(false);
    if (stopped != Watchdog::Reason::None) {
        outcome.kind = stopped == Watchdog::Reason::Stop   ? ScriptOutcome::Kind::Stopped
                       : stopped == Watchdog::Reason::Time ? ScriptOutcome::Kind::TimedOut
                                                           : ScriptOutcome::Kind::Failed;
        if (stopped == Watchdog::Reason::Stop) {
            outcome.error = QCoreApplication::translate("ScriptRunner", "%1: stopped; nothing was changed")
                                .arg(scriptName);
        } else if (stopped == Watchdog::Reason::Time) {
            outcome.error = QCoreApplication::translate(
                                "ScriptRunner", "%1: stopped after %2 s, its time limit; nothing was changed")
                                .arg(scriptName)
                                .arg(double(options.timeout.count()) / MillisecondsPerSecond);
        } else {
            outcome.error =
                QCoreApplication::translate(
                    "ScriptRunner",
                    "%1: stopped: it took more than %2 MB of memory, the most a run may; nothing was changed")
                    .arg(scriptName)
                    .arg(options.memoryLimit / BytesPerMegabyte);
        }
        return outcome;
    }
    if (threw) {
        outcome.kind = ScriptOutcome::Kind::Failed;
        outcome.error = thrown;
        return outcome;
    }
    if (!header || !edits) {
        // What the run left cannot be told apart from a forgery: it changed
        // the built-ins the scripting API relies on.
        outcome.kind = ScriptOutcome::Kind::Failed;
        outcome.error =
            QCoreApplication::translate(
                "ScriptRunner", "%1: the script changed what the scripting API relies on (a built-in such as "
                                "Array.prototype.slice); nothing was changed")
                .arg(scriptName);
        outcome.problems.clear();
        outcome.printed.clear();
        return outcome;
    }
    outcome.value = value;
    if (options.keepChanges) {
        changes.edits = std::move(*edits);
        changes.header = *header;
        changes.taken = takenOf(end.property("taken"), snapshot);
    }
    return outcome;
}

std::unique_ptr<ScriptEngine> linkedScriptEngine(QString& /*why*/) {
    return std::make_unique<JsEngine>();
}
