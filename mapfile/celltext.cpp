// SPDX-License-Identifier: MIT
#include "celltext.h"

#include <array>
#include <string>

namespace amp {

std::string_view byteText(std::uint8_t value) {
    static const std::array<std::string, 256> texts = [] {
        std::array<std::string, 256> all;
        for (int i = 0; i < 256; ++i) {
            all[static_cast<std::size_t>(i)] = std::to_string(i);
        }
        return all;
    }();
    return texts[value];
}

} // namespace amp
