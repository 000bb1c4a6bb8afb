// SPDX-License-Identifier: MIT
#include "costtable.h"

#include "jsonreader.h"
#include "mapformat.h"

#include <charconv>
#include <cmath>

namespace amp {

namespace {

struct Refusal {
    std::string key;
    std::string why;
};

// A JSON value as the table's reader tells it in a message.
std::string kindOf(const json::Value& value) {
    if (value.isNull()) {
        return "null";
    }
    if (value.isNumber()) {
        return "a number";
    }
    if (value.isString()) {
        return "a string";
    }
    if (value.isObject()) {
        return "an object";
    }
    if (std::holds_alternative<bool>(value.data)) {
        return "true or false";
    }
    return "an array";
}

// A positive number, or ImpassableCost for null when `nullAllowed`.
double costValue(const json::Value& value, const std::string& key, bool nullAllowed) {
    if (value.isNull() && nullAllowed) {
        return ImpassableCost;
    }
    if (!value.isNumber() || !(value.number() > 0) || !std::isfinite(value.number())) {
        const std::string wanted = nullAllowed ? "a positive number or null" : "a positive number";
        throw Refusal{key,
                      "is " + wanted + ", not " + (value.isNumber() ? "a number 0 or less" : kindOf(value))};
    }
    // A path enters at most every hex of the largest map once: its cost must
    // stay a finite sum, or a way through would read as no way.
    if (value.number() > LargestCost) {
        throw Refusal{key, "is at most 1e300: a path's sum of such costs would overflow"};
    }
    return value.number();
}

// A terrain value 0..255 by its name or its decimal digits.
int terrainOfKey(const std::string& key, const std::string& where) {
    for (std::size_t i = 0; i < TerrainNames.size(); ++i) {
        if (key == TerrainNames[i]) {
            return static_cast<int>(i);
        }
    }
    int value = -1;
    const char* end = key.data() + key.size();
    const bool digits =
        !key.empty() && key.size() <= 3 && key.find_first_not_of("0123456789") == std::string::npos;
    if (digits && std::from_chars(key.data(), end, value).ptr == end && value <= 255) {
        return value;
    }
    throw Refusal{where,
                  "is no terrain: a terrain is one of the 19 names (\"Clear\", \"Forest\", ...) or a value "
                  "0 to 255"};
}

CostTable readTable(const json::Value& document) {
    if (!document.isObject()) {
        throw Refusal{"", "is " + kindOf(document) + ", not an object"};
    }
    CostTable table;
    double defaultCost = 1;
    const json::Object* costs = nullptr;
    std::vector<std::string> seen;
    for (const auto& [key, value] : document.object()) {
        for (const std::string& earlier : seen) {
            if (earlier == key) {
                throw Refusal{key, "is given twice"};
            }
        }
        seen.push_back(key);
        if (key == "name") {
            if (!value.isString()) {
                throw Refusal{key, "is a string, not " + kindOf(value)};
            }
            table.name = value.string();
        } else if (key == "default") {
            defaultCost = costValue(value, key, true);
        } else if (key == "road") {
            table.road = costValue(value, key, false);
        } else if (key == "costs") {
            if (!value.isObject()) {
                throw Refusal{key, "is an object of terrains and their costs, not " + kindOf(value)};
            }
            costs = &value.object();
        } else {
            throw Refusal{key, "is not a key of a cost table (name, default, road, costs)"};
        }
    }
    if (costs == nullptr) {
        throw Refusal{"costs", "is missing"};
    }
    std::array<bool, 256> listed{};
    table.terrain.fill(defaultCost);
    for (const auto& [key, value] : *costs) {
        const std::string where = "costs." + key;
        const int terrain = terrainOfKey(key, where);
        if (listed[static_cast<std::size_t>(terrain)]) {
            throw Refusal{where, "names terrain " + std::to_string(terrain) + " a second time"};
        }
        listed[static_cast<std::size_t>(terrain)] = true;
        table.terrain[static_cast<std::size_t>(terrain)] = costValue(value, where, true);
    }
    return table;
}

} // namespace

CostTable uniformCosts() {
    CostTable table;
    table.name = "steps";
    table.terrain.fill(1);
    return table;
}

std::variant<CostTable, CostTableError> parseCostTable(std::string_view text) {
    auto parsed = json::parse(text);
    if (const auto* error = std::get_if<json::ParseError>(&parsed)) {
        return CostTableError{"", "the cost table is not JSON: at byte " + std::to_string(error->offset) +
                                      ", " + error->message};
    }
    try {
        return readTable(std::get<json::Value>(parsed));
    } catch (const Refusal& refusal) {
        const std::string subject =
            refusal.key.empty() ? "the cost table" : "the cost table's key \"" + refusal.key + "\"";
        return CostTableError{refusal.key, subject + " " + refusal.why};
    }
}

} // namespace amp
