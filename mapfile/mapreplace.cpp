// SPDX-License-Identifier: MIT
#include "mapreplace.h"

namespace amp {

long long replaceValues(MapImage& map, const ValueReplace& rule) {
    long long changed = 0;
    forEachReplaced(
        rule, map.records.size(),
        [&map](int layer, std::size_t slot) { return map.records[slot][static_cast<std::size_t>(layer)]; },
        [](int, std::size_t) { return true; },
        [&](int layer, std::size_t slot) {
            map.records[slot][static_cast<std::size_t>(layer)] = rule.to;
            ++changed;
        });
    return changed;
}

} // namespace amp
