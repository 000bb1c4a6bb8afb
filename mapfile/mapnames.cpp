// SPDX-License-Identifier: MIT
#include "mapnames.h"
#include "celltext.h"
#include "mapformat.h"

#include <algorithm>
#include <cctype>

namespace amp {

namespace {

constexpr std::string_view TerrainLayerWord = "terrain";

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// The same letters in any case; with `ignoreSpaces`, the spaces of `name` may be left out of `word`.
bool sameName(std::string_view name, std::string_view word, bool ignoreSpaces = false) {
    std::size_t at = 0;
    for (const char c : name) {
        if (ignoreSpaces && c == ' ' && (at >= word.size() || word[at] != ' ')) {
            continue;
        }
        if (at >= word.size() || lower(word[at]) != lower(c)) {
            return false;
        }
        ++at;
    }
    return at == word.size();
}

std::string_view trimmed(std::string_view word) {
    const auto first = word.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return word.substr(first, word.find_last_not_of(" \t") - first + 1);
}

std::string quoted(std::string_view word) {
    return "\"" + std::string(word) + "\"";
}

} // namespace

Naming layerNamed(std::string_view word) {
    if (!word.empty() && word.find_first_not_of("0123456789") == std::string_view::npos) {
        const auto number = parseWholeNumber(word);
        if (number && *number < LayerCount) {
            return {*number, {}};
        }
        return {-1, "the layer must be 0-12 or a layer's name, not " + quoted(word)};
    }
    if (sameName(TerrainLayerWord, word)) {
        return {TerrainLayer, {}};
    }
    int found = -1;
    for (int i = 0; i < LayerCount; ++i) {
        if (sameName(LayerNames[static_cast<std::size_t>(i)], word)) {
            if (found >= 0) {
                return {-1, "several layers are named " + quoted(word) + ": give the layer's number"};
            }
            found = i;
        }
    }
    if (found < 0) {
        return {-1, "no layer is named " + quoted(word) + " (give 0-12 or a layer's name)"};
    }
    return {found, {}};
}

Naming valueNamed(int layer, std::string_view word) {
    const std::string_view text = trimmed(word);
    if (const auto number = parseWholeNumber(text)) {
        if (*number >= 0 && *number <= 255) {
            return {*number, {}};
        }
        return {-1, "a value is 0-255, not " + quoted(word)};
    }
    if (layer == TerrainLayer && !text.empty()) {
        for (std::size_t value = 0; value < TerrainNames.size(); ++value) {
            if (sameName(TerrainNames[value], text, true)) {
                return {static_cast<int>(value), {}};
            }
        }
        return {-1, quoted(word) + " is neither a value 0-255 nor a terrain's name"};
    }
    return {-1, "a value is a whole number 0-255, not " + quoted(word)};
}

} // namespace amp
