// SPDX-License-Identifier: MIT
// What it costs to enter a hex, read from a small JSON table:
//   {"name": "Infantry", "default": 1, "road": 0.5,
//    "costs": {"Clear": 1, "Forest": 2, "Ocean": null, "81": 3}}
// A terrain is named by its name (as mapformat.h spells it) or by its value in
// decimal (0..255); its cost is a positive number, or null for a hex no one
// enters. "default" (1 when absent; a positive number or null) is the cost of
// every value the table does not list; "road", when given (a positive number),
// is the cost of any hex whose "roads" byte is not 0, whatever its terrain.
// "name" is an optional text. Any other key, a value of the wrong kind, a
// terrain named twice (by name and by value, say) and text that is not strict
// JSON are refused, and the refusal names the key.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace amp {

// The cost of a hex no path may enter.
inline constexpr double ImpassableCost = std::numeric_limits<double>::infinity();
// The largest cost a table may give: a path through every hex of the largest
// map still sums to a finite number.
inline constexpr double LargestCost = 1e300;

struct CostTable {
    std::string name;
    // By terrain value, every value resolved: listed, or the default.
    std::array<double, 256> terrain{};
    std::optional<double> road;

    // What entering a hex of this terrain and roads byte costs (ImpassableCost
    // for a hex no one enters).
    double costOf(std::uint8_t terrainValue, std::uint8_t roads) const {
        return road && roads != 0 ? *road : terrain[terrainValue];
    }
};

// Every terrain costs 1, and roads change nothing: each step counts one.
CostTable uniformCosts();

struct CostTableError {
    std::string key;     // the key at fault ("costs.Forest", "road"), empty for the text as a whole
    std::string message; // a whole sentence naming the key
};

std::variant<CostTable, CostTableError> parseCostTable(std::string_view json);

} // namespace amp
