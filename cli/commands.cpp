// SPDX-License-Identifier: MIT
#include "commands.h"
#include "celltext.h"
#include "diskio.h"
#include "fairness.h"
#include "gitsetup.h"
#include "hexsymmetry.h"
#include "mapcompare.h"
#include "mapformat.h"
#include "mapgrid.h"
#include "mapimage.h"
#include "mapmerge.h"
#include "mapnames.h"
#include "mapreplace.h"
#include "mapresize.h"
#include "options.h"
#include "platform.h"
#include "renderlauncher.h"
#include "scriptlauncher.h"
#include "textsink.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <unistd.h>

namespace amptool {

namespace {

constexpr int InvalidInput = 1;
constexpr int UsageOrIo = 2;
constexpr std::size_t LargestGrid = 16 * 1024 * 1024;

// A message as the terminal may show it: control characters (and bytes that are
// not UTF-8, which a terminal might take for one) as \xHH, so that a hostile
// file cannot move the cursor, retitle the window or clear the screen.
std::string shown(std::string_view text) {
    std::string safe;
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xC2 && lead < 0xE0 ? 2
                                   : lead >= 0xE0 && lead < 0xF0 ? 3
                                   : lead >= 0xF0 && lead < 0xF5 ? 4
                                                                 : 0;
        bool whole = length > 0 && at + length <= text.size();
        for (std::size_t i = 1; whole && i < length; ++i) {
            whole = (static_cast<unsigned char>(text[at + i]) & 0xC0) == 0x80;
        }
        // U+0080..U+009F are the 8-bit controls, written C2 80..C2 9F.
        const bool control = lead < 0x20 || lead == 0x7F ||
                             (lead == 0xC2 && whole && static_cast<unsigned char>(text[at + 1]) < 0xA0);
        if (!whole || control) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", lead);
            safe += escaped;
            ++at;
        } else {
            safe.append(text.substr(at, length));
            at += length;
        }
    }
    return safe;
}

struct Command {
    const char* name;
    const char* usage;
    const char* help;
    std::function<int(const std::vector<std::string>&, std::FILE*, std::FILE*)> run;
};

struct LoadedMap {
    amp::MapImage image;
};

// Where the running command tells what it notes on the way (a record cut
// short), as "amptool: NAME: note".
struct Notes {
    std::FILE* err = stderr;
    const char* command = "amptool";
};
Notes& notes() {
    static Notes all;
    return all;
}

// The name as messages show it: standard input for "-".
std::string nameOf(const std::string& path) {
    return path == "-" ? "standard input" : path;
}

bool& standardInputTaken() {
    static bool taken = false;
    return taken;
}

// Standard input, once in a run: in blocks, never more than one byte past `limit`.
std::string readStandardInput(std::size_t limit) {
    if (standardInputTaken()) {
        throw UsageError{"standard input (-) can be read once: name it for one input only"};
    }
    standardInputTaken() = true;
    // A map redirected from a file is read as one read by name: never while a
    // write in place is half done.
    if (const auto waited = amp::diskio::waitForWritesInPlace(STDIN_FILENO); !waited) {
        throw Failure{UsageOrIo, "standard input: " + waited.error().message};
    }
    constexpr std::size_t BlockSize = 64 * 1024;
    std::string text;
    while (text.size() <= limit) {
        const std::size_t start = text.size();
        text.resize(start + std::min(BlockSize, limit + 1 - start));
        const std::size_t got = std::fread(text.data() + start, 1, text.size() - start, stdin);
        text.resize(start + got);
        if (got == 0) {
            if (std::ferror(stdin)) {
                throw Failure{UsageOrIo, std::string("standard input: ") + std::strerror(errno)};
            }
            break;
        }
    }
    return text;
}

// A map file's bytes, or standard input's for "-": what is larger than the
// largest map is refused, as the reader refuses it.
std::vector<std::uint8_t> readMapBytes(const std::string& path) {
    auto bytes = [&path]() -> amp::Result<std::vector<std::uint8_t>> {
        if (path == "-") {
            const std::string text = readStandardInput(amp::MaxFileSize);
            return amp::notLargerThanAMap(std::vector<std::uint8_t>(text.begin(), text.end()), nameOf(path));
        }
        return amp::diskio::readMapFile(path);
    }();
    if (!bytes) {
        throw Failure{bytes.error().kind == amp::MapErrorKind::NotAMap ? InvalidInput : UsageOrIo,
                      bytes.error().message};
    }
    return std::move(bytes).value();
}

// A map's view, or why the bytes are none; a record the file cuts short is told,
// since its bytes are dropped.
amp::MapView viewOrFail(std::span<const std::uint8_t> bytes, const std::string& path) {
    const auto view = amp::viewMap(bytes);
    if (!view) {
        throw Failure{InvalidInput, nameOf(path) + ": " + view.error().message};
    }
    if (const std::size_t cut = view.value().cutRecordBytes; cut > 0) {
        const int rows = view.value().header.rows();
        const auto hex = static_cast<int>(view.value().recordCount());
        std::fprintf(notes().err,
                     "amptool: %s: %s: note: the file ends %zu bytes into the record of hex %d,%d; those "
                     "bytes are dropped, and the hex is read as zeros\n",
                     notes().command, shown(nameOf(path)).c_str(), cut, hex / rows, hex % rows);
    }
    return view.value();
}

LoadedMap loadMap(const std::string& path) {
    const std::vector<std::uint8_t> bytes = readMapBytes(path);
    viewOrFail(bytes, path);
    auto image = amp::decodeMap(bytes);
    return {std::move(image).value()};
}

// A map read in place, for the commands that only look at it: the file's bytes
// and the header and records as they lie in them, with no copy.
struct ViewedMap {
    std::vector<std::uint8_t> bytes;
    amp::MapView view;
    std::size_t size = 0; // of the file on disk, when asked for
    // Record k, or zeros for a hex a short file lacks.
    const std::uint8_t* record(std::size_t k) const {
        static constexpr amp::CellRecord missing{};
        return k < view.recordCount() ? view.records.data() + k * amp::RecordSize : missing.data();
    }
};

ViewedMap viewMapFile(const std::string& path, bool measure = false) {
    ViewedMap map;
    map.bytes = readMapBytes(path);
    map.size = map.bytes.size();
    if (measure && path != "-") {
        // A file of the kernel's says it is empty and holds more: the larger one counts.
        const auto onDisk = identityOf(path);
        map.size = std::max(map.bytes.size(), static_cast<std::size_t>(onDisk ? onDisk->size : 0));
    }
    map.view = viewOrFail(map.bytes, path);
    return map; // the view points into the bytes, which move along with their buffer
}

// Every hex's record, those a short file lacks as zeros: the map as the editor
// would write it.
amp::MapImage completed(const amp::MapImage& map) {
    amp::MapImage whole = map;
    whole.records.resize(static_cast<std::size_t>(map.header.hexCount()), amp::CellRecord{});
    return whole;
}

int number(const std::string& word, int least, int most, const std::string& what) {
    const auto value = amp::parseWholeNumber(std::string_view(word));
    if (!value || *value < least || *value > most || word.find_first_of(" \t+") != std::string::npos) {
        throw UsageError{what + " must be a whole number " + std::to_string(least) + "-" +
                         std::to_string(most) + ", not \"" + word + "\""};
    }
    return *value;
}

// A layer and a value as every program names them (mapnames.h): "terrain",
// "roads", 4; "Forest", 3.
int layerOf(const std::string& word) {
    const amp::Naming layer = amp::layerNamed(word);
    if (!layer) {
        throw UsageError{layer.problem};
    }
    return layer.value;
}

int valueOf(int layer, const std::string& word, const std::string& what) {
    const amp::Naming value = amp::valueNamed(layer, word);
    if (!value) {
        throw UsageError{what + ": " + value.problem};
    }
    return value.value;
}

std::string layerName(int layer) {
    return std::string(amp::LayerNames[static_cast<std::size_t>(layer)]);
}

// Writes the bytes to FILE through the safe writer, or to standard output for
// "-"; to the null device they are made and dropped, unwritten (a dry run). A new
// file made from the map `madeFrom` gets that map's permission bits.
void writeOutput(const std::string& target, std::string_view bytes, std::FILE* out,
                 const std::string& madeFrom = {}) {
    if (isNullDevice(target)) {
        return;
    }
    if (target == "-") {
        if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fflush(out) != 0) {
            throw Failure{UsageOrIo, std::string("standard output: ") + std::strerror(errno)};
        }
        return;
    }
    const auto written = amp::diskio::writeFileSafely(
        target, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
        amp::diskio::modeMadeFrom(madeFrom));
    if (!written) {
        throw Failure{UsageOrIo, written.error().message};
    }
}

void writeMap(const std::string& target, const amp::MapImage& map, std::FILE* out,
              const std::string& madeFrom = {}) {
    const auto bytes = amp::encodeMap(map);
    writeOutput(target, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), out,
                madeFrom);
}

std::string jsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

// ---- info ------------------------------------------------------------------

struct LayerStats {
    int min = 255, max = 0, distinct = 0, zeros = 0;
};

int info(const std::vector<std::string>& words, std::FILE* out, std::FILE*) {
    const Options options(words, {}, {"--json"});
    options.expectPositional(1, 1, "amptool info MAP [--json]");
    const ViewedMap loaded = viewMapFile(options.positional()[0], true);
    const amp::MapHeader& header = loaded.view.header;
    const std::size_t complete = amp::completeFileSize(header);

    std::array<LayerStats, amp::LayerCount> stats{};
    std::array<std::array<int, 256>, amp::LayerCount> counts{};
    const std::span<const std::uint8_t> records = loaded.view.records;
    for (std::size_t at = 0; at < records.size(); at += amp::RecordSize) {
        for (std::size_t j = 0; j < amp::RecordSize; ++j) {
            ++counts[j][records[at + j]];
        }
    }
    // Hexes a short file lacks are zeros.
    const auto lacking =
        static_cast<int>(static_cast<std::size_t>(header.hexCount()) - loaded.view.recordCount());
    for (auto& count : counts) {
        count[0] += lacking;
    }
    for (int j = 0; j < amp::LayerCount; ++j) {
        LayerStats& layer = stats[static_cast<std::size_t>(j)];
        const auto& count = counts[static_cast<std::size_t>(j)];
        for (int v = 0; v < 256; ++v) {
            if (count[static_cast<std::size_t>(v)] > 0) {
                layer.min = std::min(layer.min, v);
                layer.max = std::max(layer.max, v);
                ++layer.distinct;
            }
        }
        layer.zeros = count[0];
        if (layer.distinct == 0) {
            layer.min = 0;
        }
    }
    // Terrain names with their counts; values without a name count as "unknown".
    std::vector<std::pair<std::string, int>> terrain;
    int unknown = 0;
    for (int v = 0; v < 256; ++v) {
        const int count = counts[amp::TerrainLayer][static_cast<std::size_t>(v)];
        if (v < static_cast<int>(amp::TerrainNames.size())) {
            terrain.emplace_back(std::string(amp::terrainName(v)), count);
        } else {
            unknown += count;
        }
    }
    terrain.emplace_back("unknown", unknown);

    std::string text;
    if (options.has("--json")) {
        text = "{\"columns\":" + std::to_string(header.columns()) +
               ",\"rows\":" + std::to_string(header.rows()) + ",\"header\":[";
        for (int i = 0; i < amp::HeaderSize; ++i) {
            text += (i ? "," : "") + std::to_string(header.bytes[static_cast<std::size_t>(i)]);
        }
        text += "],\"size\":" + std::to_string(loaded.size) +
                ",\"complete_size\":" + std::to_string(complete) + ",\"layers\":[";
        for (int j = 0; j < amp::LayerCount; ++j) {
            const LayerStats& layer = stats[static_cast<std::size_t>(j)];
            text += std::string(j ? "," : "") + "{\"name\":" + jsonString(layerName(j)) +
                    ",\"min\":" + std::to_string(layer.min) + ",\"max\":" + std::to_string(layer.max) +
                    ",\"distinct\":" + std::to_string(layer.distinct) +
                    ",\"zeros\":" + std::to_string(layer.zeros) + "}";
        }
        text += "],\"terrain\":{";
        for (std::size_t i = 0; i < terrain.size(); ++i) {
            text += (i ? "," : "") + jsonString(terrain[i].first) + ":" + std::to_string(terrain[i].second);
        }
        text += "}}\n";
    } else {
        text = "columns " + std::to_string(header.columns()) + ", rows " + std::to_string(header.rows()) +
               ", hexes " + std::to_string(header.hexCount()) + "\n";
        text += "size " + std::to_string(loaded.size) + " bytes, complete size " + std::to_string(complete) +
                " bytes";
        if (loaded.size < complete) {
            const std::size_t records = (loaded.size - amp::HeaderSize) / amp::RecordSize;
            text += " (short: " + std::to_string(static_cast<std::size_t>(header.hexCount()) - records) +
                    " records missing)\n";
        } else if (loaded.size > complete) {
            text += " (long: " + std::to_string(loaded.size - complete) + " surplus bytes)\n";
        } else {
            text += " (complete)\n";
        }
        text += "header";
        for (const std::uint8_t byte : header.bytes) {
            text += " " + std::to_string(byte);
        }
        text += "\nlayer  name           min  max  distinct  zeros\n";
        for (int j = 0; j < amp::LayerCount; ++j) {
            const LayerStats& layer = stats[static_cast<std::size_t>(j)];
            char line[96];
            std::snprintf(line, sizeof line, "%5d  %-12s  %4d %4d  %8d  %5d\n", j, layerName(j).c_str(),
                          layer.min, layer.max, layer.distinct, layer.zeros);
            text += line;
        }
        text += "terrain\n";
        for (const auto& [name, count] : terrain) {
            if (count > 0) {
                text += "  " + name + " " + std::to_string(count) + "\n";
            }
        }
    }
    writeOutput("-", text, out);
    return 0;
}

// ---- export ------------------------------------------------------------------

// One line per hex in file order, after a header line: column, row and the 13
// values. Hexes a short file lacks are 0.
void printHexLines(const ViewedMap& map, char separator, TextSink& sink) {
    sink.put("column");
    sink.put(separator);
    sink.put("row");
    for (int j = 0; j < amp::LayerCount; ++j) {
        sink.put(separator);
        sink.put(layerName(j));
    }
    sink.put('\n');
    // Each value takes its separator and the four characters putByte places.
    constexpr std::size_t LongestLine = (2 + amp::LayerCount) * 5 + 1;
    const auto rows = static_cast<std::size_t>(map.view.header.rows());
    const auto hexes = static_cast<std::size_t>(map.view.header.hexCount());
    for (std::size_t k = 0; k < hexes; ++k) {
        const std::uint8_t* record = map.record(k);
        char* at = sink.room(LongestLine);
        at = putByte(at, static_cast<std::uint8_t>(k / rows));
        *at++ = separator;
        at = putByte(at, static_cast<std::uint8_t>(k % rows));
        for (int j = 0; j < amp::LayerCount; ++j) {
            *at++ = separator;
            at = putByte(at, record[j]);
        }
        *at++ = '\n';
        sink.commit(at);
    }
}

// The text git diff shows of a map: one line of the header bytes (and of the
// file's size when it is not the map's), then one line per hex, "hex C,R: " and
// its 13 values, so that an edit of one hex changes one line.
void printTextLines(const ViewedMap& map, TextSink& sink) {
    const amp::MapHeader& header = map.view.header;
    sink.put("header");
    for (const std::uint8_t byte : header.bytes) {
        sink.put(' ');
        sink.putNumber(byte);
    }
    sink.put(" (" + std::to_string(header.columns()) + " x " + std::to_string(header.rows()) + " hexes)\n");
    if (const std::size_t complete = amp::completeFileSize(header); map.size != complete) {
        sink.put("file " + std::to_string(map.size) + " bytes, the map's " + std::to_string(complete) + "\n");
    }
    constexpr std::string_view Start = "hex ";
    constexpr std::size_t LongestLine = Start.size() + (2 + amp::LayerCount) * 5 + 2;
    const auto rows = static_cast<std::size_t>(header.rows());
    const auto hexes = static_cast<std::size_t>(header.hexCount());
    for (std::size_t k = 0; k < hexes; ++k) {
        const std::uint8_t* record = map.record(k);
        char* at = sink.room(LongestLine);
        at = std::copy(Start.begin(), Start.end(), at);
        at = putByte(at, static_cast<std::uint8_t>(k / rows));
        *at++ = ',';
        at = putByte(at, static_cast<std::uint8_t>(k % rows));
        *at++ = ':';
        for (int j = 0; j < amp::LayerCount; ++j) {
            *at++ = ' ';
            at = putByte(at, record[j]);
        }
        *at++ = '\n';
        sink.commit(at);
    }
}

int exportMap(const std::vector<std::string>& words, std::FILE* out, std::FILE*) {
    const Options options(words, {"--layer", "--format", "-o"}, {});
    options.expectPositional(1, 1, "amptool export MAP [--layer N] [--format csv|tsv|json|lines] [-o FILE]");
    const std::string format = options.value("--format").value_or("csv");
    if (format != "csv" && format != "tsv" && format != "json" && format != "lines") {
        throw UsageError{"the format is csv, tsv, json or lines, not \"" + format + "\""};
    }
    if (format == "lines" && options.has("--layer")) {
        throw UsageError{"lines gives every layer: leave --layer out"};
    }
    const auto layer = options.value("--layer");
    const int only = layer ? layerOf(*layer) : -1;
    const char separator = format == "tsv" ? '\t' : ',';
    refuseOverwriting(options.value("-o").value_or("-"), {options.positional()[0]});
    TextSink sink(options.value("-o").value_or("-"), out, options.positional()[0]);

    if (format == "json") {
        const amp::MapImage whole = completed(loadMap(options.positional()[0]).image);
        const int columns = whole.header.columns(), rows = whole.header.rows();
        std::string text =
            "{\"columns\":" + std::to_string(columns) + ",\"rows\":" + std::to_string(rows) + ",\"header\":[";
        for (int i = 0; i < amp::HeaderSize; ++i) {
            text += (i ? "," : "") + std::to_string(whole.header.bytes[static_cast<std::size_t>(i)]);
        }
        text += "],\"layers\":[";
        for (int j = 0; j < amp::LayerCount; ++j) {
            if (only >= 0 && j != only) {
                continue;
            }
            text += text.back() == '[' ? "[" : ",[";
            for (int row = 0; row < rows; ++row) {
                text += row ? ",[" : "[";
                for (int column = 0; column < columns; ++column) {
                    const auto k = static_cast<std::size_t>(amp::recordOfCell(column, row, rows));
                    if (column) {
                        text += ',';
                    }
                    text += amp::byteText(whole.records[k][static_cast<std::size_t>(j)]);
                }
                text += ']';
            }
            text += ']';
        }
        text += "]}\n";
        sink.put(text);
    } else if (format == "lines") {
        printTextLines(viewMapFile(options.positional()[0], true), sink);
    } else if (only >= 0) {
        sink.put(amp::formatGrid(loadMap(options.positional()[0]).image, only, separator));
    } else {
        printHexLines(viewMapFile(options.positional()[0]), separator, sink);
    }
    sink.finish();
    return 0;
}

// ---- import ------------------------------------------------------------------

std::string readGrid(const std::string& path) {
    if (path == "-") {
        std::string text = readStandardInput(LargestGrid);
        if (text.size() > LargestGrid) {
            throw Failure{InvalidInput, "standard input: larger than any grid of a map can be"};
        }
        return text;
    }
    auto read = amp::diskio::readFileAtMost(path, LargestGrid);
    if (!read) {
        throw Failure{UsageOrIo, read.error().message};
    }
    if (!read.value().complete) {
        throw Failure{InvalidInput, path + ": larger than any grid of a map can be"};
    }
    const auto& bytes = read.value().bytes;
    return std::string(bytes.begin(), bytes.end());
}

int importGrid(const std::vector<std::string>& words, std::FILE* out, std::FILE*) {
    const Options options(words, {"--layer", "-o"}, {});
    options.expectPositional(2, 2, "amptool import MAP --layer N FILE [-o OUT]");
    if (!options.has("--layer")) {
        throw UsageError{"--layer is needed: which layer the grid replaces"};
    }
    const int layer = layerOf(*options.value("--layer"));
    const std::string& mapPath = options.positional()[0];
    const std::string& gridPath = options.positional()[1];
    // The map is the point of the command; the grid is not to be written over.
    refuseOverwriting(options.value("-o").value_or(mapPath), {gridPath});
    amp::MapImage map = completed(loadMap(mapPath).image);
    const auto grid = amp::parseGrid(readGrid(gridPath), map.header.columns(), map.header.rows());
    if (const auto* error = std::get_if<amp::GridError>(&grid)) {
        throw Failure{InvalidInput, gridPath + ":" + std::to_string(error->line) + ":" +
                                        std::to_string(error->column) + ": " + error->message};
    }
    const auto& cells = std::get<std::vector<std::uint8_t>>(grid);
    for (std::size_t k = 0; k < map.records.size(); ++k) {
        map.records[k][static_cast<std::size_t>(layer)] = cells[k];
    }
    writeMap(options.value("-o").value_or(mapPath), map, out, mapPath);
    return 0;
}

// ---- diff --------------------------------------------------------------------

// Every format tells the one comparison the editor makes too (mapcompare.h): the
// header bytes that differ, the shapes and the hexes only one map has, then the
// cells of the hexes both have (text and json) or each layer's count of them
// (--summary). Files that hold the same map in different bytes (a record cut
// short, missing records, bytes past the map) are told by their sizes: diff never
// calls two different files the same.
int diff(const std::vector<std::string>& words, std::FILE* out, std::FILE*) {
    const Options options(words, {"--format"}, {"--summary"});
    options.expectPositional(2, 2, "amptool diff A B [--summary] [--format text|json]");
    const std::string format = options.value("--format").value_or("text");
    if (format != "text" && format != "json") {
        throw UsageError{"the format is text or json, not \"" + format + "\""};
    }
    const bool summary = options.has("--summary"), json = format == "json";
    const ViewedMap first = viewMapFile(options.positional()[0]);
    const ViewedMap second = viewMapFile(options.positional()[1]);
    const amp::MapHeader &a = first.view.header, &b = second.view.header;
    const amp::MapDifferences outline = amp::compareOutlines(first.view, second.view);
    TextSink sink("-", out);
    if (json) {
        sink.put("{\"header\":[");
        for (const int i : outline.headerBytes) {
            sink.put(std::string(i == outline.headerBytes.front() ? "" : ",") + "{\"byte\":" +
                     std::to_string(i) + ",\"a\":" + std::to_string(a.bytes[static_cast<std::size_t>(i)]) +
                     ",\"b\":" + std::to_string(b.bytes[static_cast<std::size_t>(i)]) + "}");
        }
        sink.put("],\"size\":{\"a\":[" + std::to_string(a.columns()) + "," + std::to_string(a.rows()) +
                 "],\"b\":[" + std::to_string(b.columns()) + "," + std::to_string(b.rows()) +
                 "]},\"onlyInA\":" + std::to_string(outline.onlyInA) +
                 ",\"onlyInB\":" + std::to_string(outline.onlyInB));
        if (!summary) {
            sink.put(",\"cells\":[");
        }
    } else {
        for (const int i : outline.headerBytes) {
            sink.put("header," + std::to_string(i) + "," +
                     std::to_string(a.bytes[static_cast<std::size_t>(i)]) + "," +
                     std::to_string(b.bytes[static_cast<std::size_t>(i)]) + "\n");
        }
        if (!outline.sameShape) {
            sink.put("size," + std::to_string(a.columns()) + "x" + std::to_string(a.rows()) + "," +
                     std::to_string(b.columns()) + "x" + std::to_string(b.rows()) + "\n");
            sink.put("only,a," + std::to_string(outline.onlyInA) + "\nonly,b," +
                     std::to_string(outline.onlyInB) + "\n");
        }
    }
    // A line or an object for each differing cell, in file order: column, row, layer.
    std::size_t longestName = 0;
    for (const auto name : amp::LayerNames) {
        longestName = std::max(longestName, name.size());
    }
    constexpr std::size_t ValueRoom = sizeof DecimalText::text; // what putByte may place
    constexpr std::string_view CellStart = "{\"column\":", RowKey = ",\"row\":", LayerKey = ",\"layer\":",
                               AKey = ",\"a\":", BKey = ",\"b\":";
    constexpr std::size_t LongestCell = 1 + CellStart.size() + RowKey.size() + LayerKey.size() + AKey.size() +
                                        BKey.size() + 5 * ValueRoom + 1;
    const std::size_t longestLine = 4 * 5 + longestName + ValueRoom;
    bool firstCell = true;
    const auto cellLine = [&](int column, int row, std::size_t layer, std::uint8_t x, std::uint8_t y) {
        if (json) {
            char* at = sink.room(LongestCell);
            if (!firstCell) {
                *at++ = ',';
            }
            firstCell = false;
            at = std::copy(CellStart.begin(), CellStart.end(), at);
            at = putByte(at, static_cast<std::uint8_t>(column));
            at = std::copy(RowKey.begin(), RowKey.end(), at);
            at = putByte(at, static_cast<std::uint8_t>(row));
            at = std::copy(LayerKey.begin(), LayerKey.end(), at);
            at = putByte(at, static_cast<std::uint8_t>(layer));
            at = std::copy(AKey.begin(), AKey.end(), at);
            at = putByte(at, x);
            at = std::copy(BKey.begin(), BKey.end(), at);
            at = putByte(at, y);
            *at++ = '}';
            sink.commit(at);
            return;
        }
        const std::string_view name = amp::LayerNames[layer];
        char* at = sink.room(longestLine);
        at = putByte(at, static_cast<std::uint8_t>(column));
        *at++ = ',';
        at = putByte(at, static_cast<std::uint8_t>(row));
        *at++ = ',';
        at = std::copy(name.begin(), name.end(), at);
        *at++ = ',';
        at = putByte(at, x);
        *at++ = ',';
        at = putByte(at, y);
        *at++ = '\n';
        sink.commit(at);
    };
    const amp::MapDifferences differences = amp::compareMaps(
        first.view, second.view, [&](int column, int row, const std::uint8_t* x, const std::uint8_t* y) {
            if (summary) {
                return;
            }
            for (std::size_t j = 0; j < amp::RecordSize; ++j) {
                if (x[j] != y[j]) {
                    cellLine(column, row, j, x[j], y[j]);
                }
            }
        });
    const bool sameBytes = first.bytes == second.bytes;
    const std::string sizes = std::to_string(first.bytes.size()) + "," + std::to_string(second.bytes.size());
    if (json) {
        sink.put(summary ? ",\"layers\":[" : "],\"layers\":[");
        for (int j = 0; j < amp::LayerCount; ++j) {
            sink.put(std::string(j ? "," : "") + "{\"layer\":" + std::to_string(j) +
                     ",\"name\":" + jsonString(layerName(j)) + ",\"hexes\":" +
                     std::to_string(differences.layerCells[static_cast<std::size_t>(j)]) + "}");
        }
        sink.put("],\"bytes\":{\"a\":" + std::to_string(first.bytes.size()) + ",\"b\":" +
                 std::to_string(second.bytes.size()) + ",\"same\":" + (sameBytes ? "true" : "false") +
                 "},\"same\":" + (sameBytes ? "true" : "false") + "}\n");
    } else {
        if (summary) {
            for (int j = 0; j < amp::LayerCount; ++j) {
                sink.put("layer," + std::to_string(j) + "," + layerName(j) + "," +
                         std::to_string(differences.layerCells[static_cast<std::size_t>(j)]) + "\n");
            }
        }
        if (differences.same() && !sameBytes) {
            sink.put("file," + sizes + "\n");
        }
    }
    sink.finish();
    return sameBytes ? 0 : InvalidInput;
}

// ---- merge -------------------------------------------------------------------

// The layers' names in conflicts, made once.
const std::array<std::string, amp::LayerCount>& mergeLayerNames() {
    static const std::array<std::string, amp::LayerCount> names = [] {
        std::array<std::string, amp::LayerCount> all;
        for (int j = 0; j < amp::LayerCount; ++j) {
            all[static_cast<std::size_t>(j)] = amp::mergeLayerName(j);
        }
        return all;
    }();
    return names;
}

// One line of a conflict, as `amptool merge` prints it and the .conflicts file
// holds it: "NAME:COLUMN,ROW: LAYER: base B, ours O, theirs T", or for a header
// byte "NAME: header byte N: ...". A side whose resize removed the hex says so.
void putConflictLine(TextSink& sink, const std::string& name, const amp::MergeConflict& conflict) {
    static constexpr std::string_view Removed = "removed", Base = ": base ", Ours = ", ours ",
                                      Theirs = ", theirs ", HeaderByte = ": header byte ";
    constexpr std::size_t LongestName = 16; // more than any layer's: "Terraintype" has 11
    constexpr std::size_t ValueRoom = sizeof DecimalText::text + Removed.size();
    char* at = sink.room(name.size() + HeaderByte.size() + LongestName + 2 * sizeof DecimalText::text +
                         Base.size() + Ours.size() + Theirs.size() + 3 * ValueRoom + 4);
    at = std::copy(name.begin(), name.end(), at);
    if (conflict.isHeader) {
        at = std::copy(HeaderByte.begin(), HeaderByte.end(), at);
        at = putByte(at, static_cast<std::uint8_t>(conflict.headerByte));
    } else {
        *at++ = ':';
        at = putByte(at, static_cast<std::uint8_t>(conflict.column));
        *at++ = ',';
        at = putByte(at, static_cast<std::uint8_t>(conflict.row));
        *at++ = ':';
        *at++ = ' ';
        const std::string_view layer = mergeLayerNames()[static_cast<std::size_t>(conflict.layer)];
        at = std::copy(layer.begin(), layer.end(), at);
    }
    const auto value = [&at](std::string_view label, int byte) {
        at = std::copy(label.begin(), label.end(), at);
        at = byte == amp::MergeConflict::NoByte ? std::copy(Removed.begin(), Removed.end(), at)
                                                : putByte(at, static_cast<std::uint8_t>(byte));
    };
    value(Base, conflict.base);
    value(Ours, conflict.ours);
    value(Theirs, conflict.theirs);
    *at++ = '\n';
    sink.commit(at);
}

std::string mergeSummary(long long hexes, long long conflicts) {
    return "merged " + std::to_string(hexes) + (hexes == 1 ? " hex" : " hexes") + " from theirs, " +
           std::to_string(conflicts) + (conflicts == 1 ? " conflict" : " conflicts") + "\n";
}

// A conflict as an object of the json list.
void putConflictJson(TextSink& sink, const amp::MergeConflict& conflict, bool first) {
    const auto value = [](int byte) {
        return byte == amp::MergeConflict::NoByte ? std::string("null") : std::to_string(byte);
    };
    std::string item = first ? "{" : ",{";
    if (conflict.isHeader) {
        item += "\"header\":" + std::to_string(conflict.headerByte);
    } else {
        item += "\"column\":" + std::to_string(conflict.column) + ",\"row\":" + std::to_string(conflict.row) +
                ",\"layer\":" + std::to_string(conflict.layer) +
                ",\"name\":" + jsonString(mergeLayerNames()[static_cast<std::size_t>(conflict.layer)]);
    }
    item += ",\"base\":" + value(conflict.base) + ",\"ours\":" + value(conflict.ours) +
            ",\"theirs\":" + value(conflict.theirs) + "}";
    sink.put(item);
}

// Three maps merged by the rule the editor's Merge follows (mapmerge.h). With
// --git the words are git's %O %A %B %P: the merged map replaces OURS (git's
// result), messages name PATH, and the conflict list also goes to PATH.conflicts,
// which a clean merge of that map removes.
int merge(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    const Options options(words, {"-o", "--format"}, {"--git"});
    const bool git = options.has("--git");
    if (git) {
        options.expectPositional(4, 4, "amptool merge --git BASE OURS THEIRS PATH");
    } else {
        options.expectPositional(3, 3, "amptool merge BASE OURS THEIRS [-o OUT] [--format text|json]");
    }
    const std::string format = options.value("--format").value_or("text");
    if (format != "text" && format != "json") {
        throw UsageError{"the format is text or json, not \"" + format + "\""};
    }
    const std::string& basePath = options.positional()[0];
    const std::string& oursPath = options.positional()[1];
    const std::string& theirsPath = options.positional()[2];
    const std::string target = options.value("-o").value_or(oursPath);
    if (target == "-" && oursPath == "-") {
        throw UsageError{"OURS is standard input: name the merged map's file with -o"};
    }
    // The output may be OURS, which it replaces as git expects; never BASE or THEIRS.
    refuseOverwriting(target, {basePath, theirsPath});
    // A map that cannot be read is a file error here (2), never the status of
    // a merge with conflicts (1), which would say the map was written.
    const auto read = [err](const std::string& path) {
        try {
            ViewedMap map = viewMapFile(path);
            const std::size_t records = map.view.recordCount();
            const auto promised = static_cast<std::size_t>(map.view.header.hexCount());
            if (records < promised) {
                // Its missing hexes merge as zeros, as they read everywhere: a
                // change on that side, whatever the other side did.
                std::fprintf(err,
                             "amptool: merge: %s: note: the file holds %zu of the %zu hexes its header "
                             "promises; the %zu missing merge as zeros\n",
                             nameOf(path).c_str(), records, promised, promised - records);
            }
            return map;
        } catch (Failure& failure) {
            failure.status = UsageOrIo;
            throw;
        }
    };
    const ViewedMap base = read(basePath);
    const ViewedMap ours = read(oursPath);
    const ViewedMap theirs = read(theirsPath);
    // The conflicts are told as they are found, never kept: the largest maps can
    // have 845,325 of them.
    const std::string name = git ? options.positional()[3] : target;
    const bool json = format == "json";
    TextSink sink("-", target == "-" ? err : out);
    // git shows a driver's output only in the terminal: the list stays beside the map.
    const std::string listPath = name + ".conflicts";
    std::optional<TextSink> list;
    if (git) {
        list.emplace(listPath, nullptr); // written once the merged map is
    }
    if (json) {
        sink.put("{\"output\":" + jsonString(name) + ",\"conflicts\":[");
    }
    long long conflicts = 0;
    const auto result =
        amp::mergeMaps(base.view, ours.view, theirs.view, [&](const amp::MergeConflict& conflict) {
            if (json) {
                putConflictJson(sink, conflict, conflicts == 0);
            } else {
                putConflictLine(sink, name, conflict);
            }
            if (list) {
                putConflictLine(*list, name, conflict);
            }
            ++conflicts;
        });
    if (!result) {
        throw Failure{UsageOrIo, result.error().message + "; nothing was merged"};
    }
    const amp::MergeResult& merged = result.value();
    writeMap(target, merged.merged, out, oursPath);
    const std::string summary = mergeSummary(merged.hexesFromTheirs, conflicts);
    if (json) {
        const char* shapes[] = {"same", "ours", "theirs"};
        sink.put("],\"shape\":" + jsonString(shapes[static_cast<int>(merged.shape)]) +
                 ",\"hexesFromTheirs\":" + std::to_string(merged.hexesFromTheirs) +
                 ",\"conflictHexes\":" + std::to_string(merged.conflictHexes) +
                 ",\"clean\":" + (conflicts == 0 ? "true" : "false") + "}\n");
    } else {
        sink.put(summary);
    }
    sink.finish();
    if (git && conflicts == 0) {
        if (identityOf(listPath) && !removeFile(listPath)) {
            std::fprintf(err, "amptool: merge: %s: cannot remove the old conflict list\n",
                         shown(listPath).c_str());
        }
    } else if (git) {
        try {
            list->put(summary);
            // The list is made anew: an old one, or a link planted in its place,
            // is removed rather than written through.
            removeFile(listPath);
            list->finish();
        } catch (const std::exception& failure) {
            std::fprintf(err, "amptool: merge: the conflicts are not listed in a file: %s\n",
                         shown(failure.what()).c_str());
        }
    }
    return conflicts == 0 ? 0 : InvalidInput;
}

// ---- new, resize, replace ------------------------------------------------------

int newMap(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    const Options options(words, {"-o", "--like", "--fill"}, {}, {"--fill"});
    options.expectPositional(2, 2, "amptool new COLUMNS ROWS -o OUT [--like MAP] [--fill LAYER=VALUE ...]");
    if (!options.has("-o")) {
        throw UsageError{"-o is needed: where the new map goes"};
    }
    const int columns = number(options.positional()[0], 0, amp::MaxDimension, "COLUMNS");
    const int rows = number(options.positional()[1], 0, amp::MaxDimension, "ROWS");
    std::vector<std::pair<int, int>> fills;
    for (const std::string& fill : options.values("--fill")) {
        const auto equals = fill.find('=');
        if (equals == std::string::npos) {
            throw UsageError{"--fill takes LAYER=VALUE, not \"" + fill + "\""};
        }
        const int layer = layerOf(fill.substr(0, equals));
        fills.emplace_back(layer, valueOf(layer, fill.substr(equals + 1), "--fill " + fill));
    }
    amp::MapHeader like{};
    if (const auto model = options.value("--like")) {
        like = loadMap(*model).image.header;
    } else {
        std::fprintf(err, "amptool: new: note: without --like, header bytes 0, 1, 3, 5 and 6 are 0\n");
    }
    amp::MapImage map = amp::makeMap(like, columns, rows);
    for (amp::CellRecord& record : map.records) {
        for (const auto& [layer, value] : fills) {
            record[static_cast<std::size_t>(layer)] = static_cast<std::uint8_t>(value);
        }
    }
    writeMap(*options.value("-o"), map, out, options.value("--like").value_or(""));
    return 0;
}

int resize(const std::vector<std::string>& words, std::FILE* out, std::FILE*) {
    const Options options(words, {"-o", "--anchor"}, {});
    options.expectPositional(3, 3, "amptool resize MAP COLUMNS ROWS [--anchor WHERE] [-o OUT]");
    const std::string& path = options.positional()[0];
    const int columns = number(options.positional()[1], 0, amp::MaxDimension, "COLUMNS");
    const int rows = number(options.positional()[2], 0, amp::MaxDimension, "ROWS");
    const std::string anchorWord = options.value("--anchor").value_or("top-left");
    const std::optional<amp::ResizeAnchor> anchor = amp::anchorNamed(anchorWord);
    if (!anchor) {
        throw UsageError{"--anchor is top-left, top, top-right, left, centre, right, bottom-left, bottom or "
                         "bottom-right, not \"" +
                         anchorWord + "\""};
    }
    const amp::MapImage map = loadMap(path).image;
    writeMap(options.value("-o").value_or(path), amp::resizeMap(map, columns, rows, *anchor), out, path);
    return 0;
}

int replace(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    const Options options(words, {"--layer", "-o"}, {});
    options.expectPositional(3, 3, "amptool replace MAP --layer N FROM TO [-o OUT]");
    if (!options.has("--layer")) {
        throw UsageError{"--layer is needed: which layer to change"};
    }
    const int layer = layerOf(*options.value("--layer"));
    const std::string& path = options.positional()[0];
    const int from = valueOf(layer, options.positional()[1], "FROM");
    const int to = valueOf(layer, options.positional()[2], "TO");
    amp::MapImage map = completed(loadMap(path).image);
    const long long changed =
        amp::replaceValues(map, amp::ValueReplace::onLayer(layer, static_cast<std::uint8_t>(from),
                                                           static_cast<std::uint8_t>(to)));
    const std::string target = options.value("-o").value_or(path);
    writeMap(target, map, out, path);
    // The count goes where the map does not.
    std::fprintf(target == "-" ? err : out, "%lld %s changed\n", changed, changed == 1 ? "hex" : "hexes");
    return 0;
}

// ---- flip, symmetrize ------------------------------------------------------

// Every hex of the map (or of one layer) takes the values of the hex the mapping
// names; prints how many hexes had no image and were left as they were.
int applyMapping(
    const Options& options, const std::string& path,
    const std::function<std::optional<hexsymmetry::Mapping>(const hexsymmetry::HexRect&, bool)>& plan,
    std::FILE* out, std::FILE* err) {
    // The layers taken: the one named, or all.
    const int first = options.has("--layer") ? layerOf(*options.value("--layer")) : 0;
    const int last = options.has("--layer") ? first : amp::LayerCount - 1;
    const amp::MapImage source = completed(loadMap(path).image);
    const auto mapping =
        plan({0, 0, source.header.columns(), source.header.rows()}, options.has("--even-columns-lower"));
    amp::MapImage map = source;
    for (std::size_t i = 0; mapping && i < mapping->from.size(); ++i) {
        const amp::CellRecord& from = source.records[static_cast<std::size_t>(mapping->from[i])];
        for (int l = first; l <= last; ++l) {
            map.records[i][static_cast<std::size_t>(l)] = from[static_cast<std::size_t>(l)];
        }
    }
    const std::string target = options.value("-o").value_or(path);
    writeMap(target, map, out, path);
    std::fprintf(target == "-" ? err : out,
                 mapping->withoutImage == 1 ? "%d hex had no image and was left as it was\n"
                                            : "%d hexes had no image and were left as they were\n",
                 mapping->withoutImage);
    return 0;
}

int flip(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    const Options options(words, {"--axis", "--layer", "-o"}, {"--even-columns-lower"});
    options.expectPositional(1, 1, "amptool flip MAP --axis left-right|top-bottom|point [-o OUT]");
    if (!options.value("--axis")) {
        throw UsageError{"--axis is missing: left-right, top-bottom or point"};
    }
    const std::string axis = options.value("--axis").value_or("");
    const std::map<std::string, hexsymmetry::Flip> axes = {{"left-right", hexsymmetry::Flip::LeftRight},
                                                           {"top-bottom", hexsymmetry::Flip::TopBottom},
                                                           {"point", hexsymmetry::Flip::Point}};
    if (!axes.contains(axis)) {
        throw UsageError{"--axis is left-right, top-bottom or point, not \"" + axis + "\""};
    }
    return applyMapping(
        options, options.positional()[0],
        [kind = axes.at(axis)](const hexsymmetry::HexRect& rect, bool even) {
            return std::optional(hexsymmetry::flipMapping(kind, rect, even));
        },
        out, err);
}

int symmetrize(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    using hexsymmetry::Side;
    const Options options(words, {"--from", "--mode", "--layer", "-o"}, {"--even-columns-lower"});
    options.expectPositional(1, 1, "amptool symmetrize MAP --from SIDE [--mode mirror|point] [-o OUT]");
    const std::string from = options.value("--from").value_or("");
    const std::string mode = options.value("--mode").value_or("mirror");
    const std::map<std::string, Side> sides = {{"left", Side::Left},
                                               {"right", Side::Right},
                                               {"top", Side::Top},
                                               {"bottom", Side::Bottom},
                                               {"top-left", Side::TopLeft}};
    if (!sides.contains(from)) {
        throw UsageError{"--from is left, right, top, bottom or top-left, not \"" + from + "\""};
    }
    if (mode != "mirror" && mode != "point") {
        throw UsageError{"--mode is mirror or point, not \"" + mode + "\""};
    }
    const auto kind = mode == "point" ? hexsymmetry::Mode::Point : hexsymmetry::Mode::Mirror;
    if (kind == hexsymmetry::Mode::Point && from == "top-left") {
        throw UsageError{"a point symmetry copies a half: --from left, right, top or bottom"};
    }
    return applyMapping(
        options, options.positional()[0],
        [side = sides.at(from), kind](const hexsymmetry::HexRect& rect, bool even) {
            return hexsymmetry::symmetryMapping(side, kind, rect, even);
        },
        out, err);
}

const std::vector<Command>& commands() {
    static const std::vector<Command> all = {
        {"info", "amptool info MAP [--json]",
         "Prints the map's shape, its file size against the complete size, the header bytes, each layer's\n"
         "min, max, distinct values and zeros, and the count of each terrain. --json gives an object.",
         info},
        {"export", "amptool export MAP [--layer N] [--format csv|tsv|json|lines] [-o FILE]",
         "With --layer (0-12 or a layer's name): the layer as the editor shows it, one line per map row,\n"
         "top to bottom. Without: one line per hex in file order after a header line. json: every layer as\n"
         "a list of rows. lines: the text git diff shows (git-setup): a line of the header bytes, then\n"
         "\"hex COLUMN,ROW: V0 ... V12\" for each hex, so a change of one hex is a change of one line.\n"
         "Hexes a short file lacks are 0. Writes to standard output unless -o names a file.",
         exportMap},
        {"import", "amptool import MAP --layer N FILE [-o OUT]",
         "Replaces a layer with a grid in the form export --layer writes (csv or tsv, found out). Strict:\n"
         "exactly one line per row and one whole number 0-255 per column. The first error is told as\n"
         "FILE:LINE:COLUMN and nothing is written. FILE may be - for standard input.",
         importGrid},
        {"diff", "amptool diff A B [--summary] [--format text|json]",
         "One line per difference: header,BYTE,a,b; for maps of different shapes size,CxR,CxR and\n"
         "only,a|b,HEXES (the hexes one map lacks); then column,row,LAYER,a,b for each cell that differs\n"
         "over the hexes both maps have, in file order. --summary: layer,N,NAME,HEXES for each layer in\n"
         "place of the cells. Files that hold the same map in different bytes (a record cut short,\n"
         "missing records, bytes past the map) give file,SIZE,SIZE. --format json: one object with\n"
         "header, size, onlyInA, onlyInB, cells (left out with --summary), layers, bytes and same.\n"
         "Exit status 0 for the same bytes, 1 different, 2 error.",
         diff},
        {"merge",
         "amptool merge BASE OURS THEIRS [-o OUT] [--format text|json] | --git BASE OURS THEIRS PATH",
         "Merges two maps made from BASE, byte by byte: where OURS still holds BASE's byte THEIRS's is\n"
         "taken, where THEIRS does OURS's is kept, the same change on both is kept, and two different\n"
         "changes are a conflict that keeps OURS's byte. Header bytes merge alike, the shape's two apart:\n"
         "when one side resized the map the merge has its shape, and a hex that resize removed but the\n"
         "other side changed is a conflict; when both resized it differently nothing is merged. Writes\n"
         "the merged map to OUT, or over OURS (as git expects), prints OUT:COLUMN,ROW: LAYER: base B, ours\n"
         "O, theirs T for each conflict (OUT: header byte N: ... for the header), then \"merged N hexes\n"
         "from theirs, M conflicts\". --format json: one object. --git takes git's %O %A %B %P, names\n"
         "PATH in messages and lists the conflicts in PATH.conflicts too (a clean merge removes it).\n"
         "Exit status 0 clean, 1 conflicts, 2 error (nothing written).",
         merge},
        {"git-setup", GitSetupUsage, GitSetupHelp, gitSetup},
        {"new", "amptool new COLUMNS ROWS -o OUT [--like MAP] [--fill LAYER=VALUE ...]",
         "Makes a complete map of zero hexes. Header bytes other than 2 and 4 come from --like, else 0.\n"
         "--fill takes a layer and a value as replace does: --fill terrain=Ocean --fill roads=2.",
         newMap},
        {"resize", "amptool resize MAP COLUMNS ROWS [--anchor WHERE] [-o OUT]",
         "Gives the map a new shape, as the editor's Map > Resize does; new hexes are 0. --anchor is the\n"
         "part that stays put: top-left (the default: every hex keeps its column and row), top,\n"
         "top-right, left, centre (or center), right, bottom-left, bottom or bottom-right; every hex\n"
         "moves by the same columns and rows, half the change (toward zero) for a middle.",
         resize},
        {"replace", "amptool replace MAP --layer N FROM TO [-o OUT]",
         "Sets every FROM of the layer to TO and prints how many hexes changed. Values are 0-255, or\n"
         "on the terrain layer a terrain's name in any case (\"Forest\", \"Impassable River\").",
         replace},
        {"flip",
         "amptool flip MAP --axis left-right|top-bottom|point [--layer N] [--even-columns-lower] [-o OUT]",
         "Mirrors the map (or one layer) left to right or top to bottom, or turns it half round, as the\n"
         "hex lattice allows: where the map's shape cannot be mirrored exactly, the hexes without an image\n"
         "keep their values, and their count is printed. --even-columns-lower for that layout.",
         flip},
        {"symmetrize",
         "amptool symmetrize MAP --from left|right|top|bottom|top-left [--mode mirror|point] "
         "[--layer N] [--even-columns-lower] [-o OUT]",
         "Copies one half (or the top-left quarter, mirrored twice) onto the rest through a mirror, or a\n"
         "half onto the other through a half turn about the centre; prints how many hexes had no image\n"
         "and were left as they were. The mode is mirror unless given; top-left takes mirror only.\n"
         "--even-columns-lower for that layout.",
         symmetrize},
        {"stats", StatsUsage, StatsHelp, stats},
        {"path", PathUsage, PathHelp, path},
        {"territory", TerritoryUsage, TerritoryHelp, territory},
        {"render", RenderUsage, RenderHelp, startRender},
        {"run", RunUsage, RunHelp, startRun},
        {"check", CheckUsage, CheckHelp, startCheck},
    };
    return all;
}

void printHelp(std::FILE* to) {
    std::fprintf(to, "amptool: read, check, convert and compare Veldrock \".amp\" maps.\n\ncommands:\n");
    for (const Command& command : commands()) {
        std::fprintf(to, "  %s\n", command.usage);
    }
    std::fprintf(
        to,
        "\n`amptool COMMAND --help` tells more. Exit status: 0 done, 1 invalid input (or maps that\n"
        "differ), 2 a usage or I/O error. A failed command touches no file. A MAP of - is read from\n"
        "standard input; -o - writes to standard output, -o %s makes the output and drops it\n"
        "(a dry run); an output that is one of the command's inputs is refused, but for the map a\n"
        "command changes. Layers go by number, name or \"terrain\".\n",
        NullDeviceName);
}

} // namespace

int run(const std::vector<std::string>& words, std::FILE* out, std::FILE* err) {
    if (words.empty()) {
        printHelp(err);
        return UsageOrIo;
    }
    const std::string& first = words[0];
    const auto hasWord = [&words](const char* word) {
        return std::find(words.begin(), words.end(), word) != words.end();
    };
    if (first == "--help" || first == "-h" || first == "help") {
        printHelp(out);
        return 0;
    }
    if (hasWord("--version")) {
        std::fprintf(out, "amptool %s\n", AMPEDIT_VERSION);
        return 0;
    }
    const auto command = std::find_if(commands().begin(), commands().end(),
                                      [&first](const Command& c) { return first == c.name; });
    if (command == commands().end()) {
        std::fprintf(err, "amptool: no command \"%s\"\n", shown(first).c_str());
        printHelp(err);
        return UsageOrIo;
    }
    if (hasWord("--help") || hasWord("-h")) {
        std::fprintf(out, "usage: %s\n\n%s\n", command->usage, command->help);
        return 0;
    }
    notes() = {err, command->name};
    const auto tell = [&](const std::string& message) {
        std::fprintf(err, "amptool: %s: %s\n", command->name, shown(message).c_str());
    };
    amp::diskio::setRestoreNotice(
        [err, name = command->name](const std::string& path, const amp::JournalNotice& notice) {
            const std::string told =
                notice.kind == amp::JournalNotice::Kind::PutBack
                    ? path + ": a write of it was cut short; its old content was put back first"
                    : path +
                          ": a write of it was cut short, but another program has written it since: its "
                          "content stays, and the journal of the old content was set aside as " +
                          notice.journal;
            std::fprintf(err, "amptool: %s: %s\n", name, shown(told).c_str());
        });
    try {
        return command->run(std::vector<std::string>(words.begin() + 1, words.end()), out, err);
    } catch (const UsageError& error) {
        tell(error.message);
        return UsageOrIo;
    } catch (const Failure& failure) {
        tell(failure.message);
        return failure.status;
    } catch (const std::exception& error) {
        tell(error.what());
        return UsageOrIo;
    }
}

// What amptool's programs of their own (amptool-render) share with its commands.
int layerOfWord(const std::string& word) {
    return layerOf(word);
}

int wholeNumber(const std::string& word, int least, int most, const std::string& what) {
    return number(word, least, most, what);
}

amp::MapImage readMapOrFail(const std::string& path) {
    return loadMap(path).image;
}

void writeOutputOrFail(const std::string& target, std::string_view bytes, std::FILE* out,
                       const std::string& madeFrom) {
    writeOutput(target, bytes, out, madeFrom);
}

// The file a name leads to, or for "-" the file standard input or output (for
// `output`) is redirected from or to.
std::optional<FileIdentity> fileOf(const std::string& name, bool output) {
    return name == "-" ? identityOfStandardStream(output) : identityOf(name);
}

bool isNullDevice(const std::string& path) {
    return path != "-" && namesNullDevice(path);
}

// The command's output must not be one of its inputs, which it would replace:
// the same file (volume and file number, links followed) under any name,
// standard input and output included when they are redirected from or to that
// file.
void refuseOverwriting(const std::string& target, const std::vector<std::string>& inputs) {
    const auto out = isNullDevice(target) ? std::nullopt : fileOf(target, true);
    // Where the system has no file numbers (0 for every file), names alone cannot tell.
    if (!out || out->index == 0) {
        return;
    }
    for (const std::string& input : inputs) {
        const auto in = fileOf(input, false);
        if (in && in->volume == out->volume && in->index == out->index) {
            throw UsageError{(target == "-" ? std::string("standard output") : target) +
                             ": the output would replace the input " + nameOf(input) + ": name another file"};
        }
    }
}

int runCommand(const char* name, const std::function<int()>& body, std::FILE* err) {
    notes() = {err, name};
    try {
        return body();
    } catch (const UsageError& error) {
        std::fprintf(err, "amptool: %s: %s\n", name, shown(error.message).c_str());
        return UsageOrIo;
    } catch (const Failure& failure) {
        std::fprintf(err, "amptool: %s: %s\n", name, shown(failure.message).c_str());
        return failure.status;
    } catch (const std::exception& error) {
        std::fprintf(err, "amptool: %s: %s\n", name, shown(error.what()).c_str());
        return UsageOrIo;
    }
}

} // namespace amptool
