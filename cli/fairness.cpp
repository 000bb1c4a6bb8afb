// SPDX-License-Identifier: MIT
#include "fairness.h"

#include "commands.h"
#include "costtable.h"
#include "diskio.h"
#include "hexpaths.h"
#include "hexshapes.h"
#include "mapstats.h"
#include "options.h"

#include <charconv>
#include <cmath>
#include <set>
#include <utility>

namespace amptool {

namespace {

constexpr int NoWay = 1;
constexpr int UsageOrIo = 2;
// A cost table is a few lines; anything near this is no table.
constexpr std::size_t LargestCostTable = 1024 * 1024;

using hexsymmetry::Offset;

// The shortest text that reads back as the same number: 2, 0.5, 12.333333333333334.
std::string numberText(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// For a reader: at most two decimals, trailing zeros dropped (49.99, 50, 6.67).
std::string roundedText(double value) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%.2f", value);
    std::string shown(text, static_cast<std::size_t>(std::max(length, 0)));
    if (shown.find('.') != std::string::npos) {
        shown.erase(shown.find_last_not_of('0') + 1);
        if (shown.back() == '.') {
            shown.pop_back();
        }
    }
    return shown == "-0" ? "0" : shown;
}

// A share of 0..1 as a percentage with one decimal, as the terrains' shares: "83.8%".
std::string shareText(double share) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.1f%%", 100 * share);
    return std::string(text, static_cast<std::size_t>(std::max(length, 0)));
}

// "1 hex", "2 hexes"; "1 city", "3 cities".
std::string counted(long long count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string hexJson(Offset hex) {
    return "[" + std::to_string(hex.column) + ", " + std::to_string(hex.row) + "]";
}

std::string hexText(Offset hex) {
    return std::to_string(hex.column) + "," + std::to_string(hex.row);
}

std::string formatOf(const Options& options) {
    const std::string format = options.value("--format").value_or("text");
    if (format != "text" && format != "json") {
        throw UsageError{"the format is text or json, not \"" + format + "\""};
    }
    return format;
}

void print(std::FILE* out, const std::string& text) {
    if (std::fputs(text.c_str(), out) < 0 || std::fflush(out) != 0) {
        throw Failure{UsageOrIo, "standard output: cannot write"};
    }
}

// The map, for a command whose exit status 1 means something else: a file
// that is no map is then an error like any other (2).
struct LoadedLayers {
    amp::MapImage image;
    amp::MapLayers layers;
};
LoadedLayers loadLayers(const std::string& path, bool evenColumnsLower, bool invalidIsError) {
    LoadedLayers loaded;
    try {
        loaded.image = readMapOrFail(path);
    } catch (const Failure& failure) {
        throw Failure{invalidIsError ? UsageOrIo : failure.status, failure.message};
    }
    loaded.layers = amp::layersOf(amp::viewOf(loaded.image), evenColumnsLower);
    return loaded;
}

// "C,R": a hex of the map.
Offset hexOf(const std::string& word, const amp::MapLayers& map) {
    const auto comma = word.find(',');
    if (comma == std::string::npos) {
        throw UsageError{"a hex is COLUMN,ROW, not \"" + word + "\""};
    }
    if (map.columns == 0 || map.rows == 0) {
        throw UsageError{"the map has no hexes, so it has no hex " + word};
    }
    return {wholeNumber(word.substr(0, comma), 0, map.columns - 1, "the column of " + word),
            wholeNumber(word.substr(comma + 1), 0, map.rows - 1, "the row of " + word)};
}

// The table --costs names (read and checked), or every hex costing 1.
amp::CostTable costTableOf(const Options& options) {
    const auto path = options.value("--costs");
    if (!path) {
        return amp::uniformCosts();
    }
    const auto read = amp::diskio::readFileAtMost(*path, LargestCostTable);
    if (!read) {
        throw Failure{UsageOrIo, read.error().message};
    }
    if (!read.value().complete) {
        throw Failure{UsageOrIo, *path + ": larger than any cost table"};
    }
    const auto& bytes = read.value().bytes;
    auto parsed =
        amp::parseCostTable(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    if (const auto* error = std::get_if<amp::CostTableError>(&parsed)) {
        throw Failure{UsageOrIo, *path + ": " + error->message};
    }
    amp::CostTable table = std::get<amp::CostTable>(std::move(parsed));
    if (table.name.empty()) {
        table.name = *path;
    }
    return table;
}

std::string terrainJson(const amp::HexStats& stats) {
    std::string text = "{";
    bool first = true;
    for (int value = 0; value < 256; ++value) {
        if (const int count = stats.terrain[static_cast<std::size_t>(value)]; count != 0) {
            text += (first ? "\"" : ", \"") + std::to_string(value) + "\": " + std::to_string(count);
            first = false;
        }
    }
    return text + "}";
}

std::string terrainText(const amp::HexStats& stats) {
    std::string text;
    for (int value = 0; value < 256; ++value) {
        const int count = stats.terrain[static_cast<std::size_t>(value)];
        if (count == 0) {
            continue;
        }
        const std::string_view name = amp::terrainName(value);
        char share[32];
        std::snprintf(share, sizeof share, "%.1f%%", 100.0 * count / stats.hexes);
        text += "  " + (name.empty() ? std::string("value") : std::string(name)) + " (" +
                std::to_string(value) + "): " + std::to_string(count) + " (" + share + ")\n";
    }
    return text;
}

std::string statsJson(const amp::HexStats& stats, int columns, int rows) {
    const bool any = stats.hexes > 0;
    return "{\"columns\": " + std::to_string(columns) + ", \"rows\": " + std::to_string(rows) +
           ", \"hexes\": " + std::to_string(stats.hexes) + ", \"terrain\": " + terrainJson(stats) +
           ", \"cities\": " + std::to_string(stats.cities) + ", \"roads\": " + std::to_string(stats.roads) +
           ", \"height b1\": {\"min\": " + (any ? std::to_string(stats.heightMin) : "null") +
           ", \"mean\": " + (any ? numberText(stats.heightMean) : "null") +
           ", \"max\": " + (any ? std::to_string(stats.heightMax) : "null") + "}}";
}

std::string statsText(const std::string& title, const amp::HexStats& stats, int columns, int rows) {
    std::string text = title + ": " + std::to_string(columns) + " x " + std::to_string(rows) + ", " +
                       counted(stats.hexes, "hex", "hexes") + ", " + counted(stats.cities, "city", "cities") +
                       ", " + counted(stats.roads, "road hex", "road hexes") + "\n";
    if (stats.hexes > 0) {
        text += "  height b1: min " + std::to_string(stats.heightMin) + ", mean " +
                roundedText(stats.heightMean) + ", max " + std::to_string(stats.heightMax) + "\n";
    }
    return text + terrainText(stats);
}

} // namespace

int stats(const std::vector<std::string>& words, std::FILE* out, std::FILE*) {
    const Options options(words, {"--half", "--format"}, {"--even-columns-lower"});
    options.expectPositional(1, 1, StatsUsage);
    const bool json = formatOf(options) == "json";
    const auto halfWord = options.value("--half");
    if (halfWord && *halfWord != "lr" && *halfWord != "tb") {
        throw UsageError{"a half is lr (left and right) or tb (top and bottom), not \"" + *halfWord + "\""};
    }
    const LoadedLayers loaded =
        loadLayers(options.positional()[0], options.has("--even-columns-lower"), false);
    const amp::MapLayers& map = loaded.layers;
    const amp::HexStats whole = amp::statsOfMap(map);
    if (!halfWord) {
        print(out, json ? statsJson(whole, map.columns, map.rows) + "\n"
                        : statsText("map", whole, map.columns, map.rows));
        return 0;
    }
    const amp::Half half = *halfWord == "lr" ? amp::Half::LeftRight : amp::Half::TopBottom;
    const auto halves = amp::statsOfHalves(map, half);
    const amp::SymmetryScore symmetry = amp::symmetryScore(map, amp::flipOfHalf(half));
    // A half has half the columns (or rows), rounded down.
    const int halfColumns = half == amp::Half::LeftRight ? map.columns / 2 : map.columns;
    const int halfRows = half == amp::Half::TopBottom ? map.rows / 2 : map.rows;
    if (json) {
        std::string text = statsJson(whole, map.columns, map.rows);
        text.pop_back(); // the closing brace
        text += ", \"halves\": [" + statsJson(halves[0], halfColumns, halfRows) + ", " +
                statsJson(halves[1], halfColumns, halfRows) + "], \"symmetry\": " + numberText(symmetry.all) +
                "}\n";
        print(out, text);
        return 0;
    }
    const bool lr = half == amp::Half::LeftRight;
    std::string text = statsText("map", whole, map.columns, map.rows) +
                       statsText(lr ? "left half" : "top half", halves[0], halfColumns, halfRows) +
                       statsText(lr ? "right half" : "bottom half", halves[1], halfColumns, halfRows);
    text += std::string("symmetry (") + (lr ? "mirrored left to right" : "mirrored top to bottom") +
            "): " + shareText(symmetry.all) + " of all cells alike\n";
    for (int layer = 0; layer < amp::LayerCount; ++layer) {
        text += "  " + std::to_string(layer) + " " +
                std::string(amp::LayerNames[static_cast<std::size_t>(layer)]) + ": " +
                shareText(symmetry.layer[static_cast<std::size_t>(layer)]) + "\n";
    }
    print(out, text);
    return 0;
}

int path(const std::vector<std::string>& words, std::FILE* out, std::FILE*) {
    const Options options(words, {"--costs", "--format"}, {"--even-columns-lower"});
    options.expectPositional(3, 3, PathUsage);
    const bool json = formatOf(options) == "json";
    const amp::CostTable table = costTableOf(options);
    const LoadedLayers loaded =
        loadLayers(options.positional()[0], options.has("--even-columns-lower"), true);
    const Offset from = hexOf(options.positional()[1], loaded.layers);
    const Offset to = hexOf(options.positional()[2], loaded.layers);
    const int distance = hexsymmetry::distance(from, to, loaded.layers.evenColumnsLower);
    const auto way = amp::shortestPath(amp::costGrid(loaded.layers, table), from, to);
    if (json) {
        std::string hexes;
        if (way) {
            for (const Offset& hex : way->hexes) {
                hexes += (hexes.empty() ? "" : ", ") + hexJson(hex);
            }
        }
        print(out, "{\"from\": " + hexJson(from) + ", \"to\": " + hexJson(to) + ", \"distance\": " +
                       std::to_string(distance) + ", \"cost\": " + (way ? numberText(way->cost) : "null") +
                       ", \"hexes\": [" + hexes + "]}\n");
    } else {
        std::string text = "from " + hexText(from) + " to " + hexText(to) + ": " +
                           counted(distance, "hex", "hexes") + " apart\n";
        if (way) {
            text += "path cost " + numberText(way->cost) + " (" + table.name + ") through " +
                    counted(static_cast<long long>(way->hexes.size()), "hex", "hexes") + ":";
            for (const Offset& hex : way->hexes) {
                text += " " + hexText(hex);
            }
            text += "\n";
        } else {
            text += "no way through (" + table.name + ")\n";
        }
        print(out, text);
    }
    return way ? 0 : NoWay;
}

int territory(const std::vector<std::string>& words, std::FILE* out, std::FILE*) {
    const Options options(words, {"--costs", "--format"}, {"--even-columns-lower"});
    options.expectPositional(2, std::size_t(amp::MaxHexCount) + 1, TerritoryUsage);
    const bool json = formatOf(options) == "json";
    const amp::CostTable table = costTableOf(options);
    const LoadedLayers loaded =
        loadLayers(options.positional()[0], options.has("--even-columns-lower"), true);
    const amp::MapLayers& map = loaded.layers;
    std::vector<Offset> starts;
    std::set<std::pair<int, int>> seen;
    for (std::size_t i = 1; i < options.positional().size(); ++i) {
        const Offset start = hexOf(options.positional()[i], map);
        if (!seen.insert({start.column, start.row}).second) {
            throw UsageError{"the start " + hexText(start) + " is named twice"};
        }
        starts.push_back(start);
    }
    const amp::Territories found = amp::territories(amp::costGrid(map, table), starts);
    std::vector<std::vector<std::int32_t>> held(starts.size());
    for (std::size_t slot = 0; slot < found.owner.size(); ++slot) {
        if (found.owner[slot] >= 0) {
            held[static_cast<std::size_t>(found.owner[slot])].push_back(static_cast<std::int32_t>(slot));
        }
    }
    std::string text = json ? "{\"territories\": [" : "";
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const amp::HexStats stats = amp::statsOfHexes(map, held[i]);
        if (json) {
            text += std::string(i ? ", " : "") + "{\"start\": " + hexJson(starts[i]) +
                    ", \"hexes\": " + std::to_string(stats.hexes) + ", \"terrain\": " + terrainJson(stats) +
                    ", \"cities\": " + std::to_string(stats.cities) + "}";
        } else {
            text += "start " + hexText(starts[i]) + ": " + counted(stats.hexes, "hex", "hexes") + ", " +
                    counted(stats.cities, "city", "cities") + "\n" + terrainText(stats);
        }
    }
    if (json) {
        text += "], \"contested\": " + std::to_string(found.contested) +
                ", \"unreached\": " + std::to_string(found.unreached) + "}\n";
    } else {
        text += "contested: " + counted(found.contested, "hex", "hexes") +
                ", unreached: " + counted(found.unreached, "hex", "hexes") + " (costs: " + table.name + ")\n";
    }
    print(out, text);
    return 0;
}

} // namespace amptool
