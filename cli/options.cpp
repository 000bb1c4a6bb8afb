// SPDX-License-Identifier: MIT
#include "options.h"

#include <algorithm>

namespace amptool {

namespace {

bool contains(const std::vector<std::string>& list, const std::string& word) {
    return std::find(list.begin(), list.end(), word) != list.end();
}

} // namespace

Options::Options(const std::vector<std::string>& words, const std::vector<std::string>& withValue,
                 const std::vector<std::string>& flags, const std::vector<std::string>& repeatable) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        // "-" alone names standard output or input; "--" ends the options.
        if (word == "--") {
            positional_.insert(positional_.end(), words.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                               words.end());
            break;
        }
        if (word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9')) {
            positional_.push_back(word);
            continue;
        }
        std::string name = word;
        std::optional<std::string> inlineValue;
        if (const auto equals = word.find('='); equals != std::string::npos && word.rfind("--", 0) == 0) {
            name = word.substr(0, equals);
            inlineValue = word.substr(equals + 1);
        }
        if (contains(flags, name) && !inlineValue) {
            values_.emplace(name, "");
        } else if (contains(withValue, name)) {
            if (!inlineValue && i + 1 >= words.size()) {
                throw UsageError{name + " needs a value"};
            }
            if (has(name) && !contains(repeatable, name)) {
                throw UsageError{name + " is given twice"};
            }
            values_.emplace(name, inlineValue ? *inlineValue : words[++i]);
        } else {
            throw UsageError{"unknown option " + word};
        }
    }
}

std::optional<std::string> Options::value(const std::string& name) const {
    const auto found = values_.find(name);
    return found == values_.end() ? std::nullopt : std::optional<std::string>(found->second);
}

std::vector<std::string> Options::values(const std::string& name) const {
    std::vector<std::string> all;
    const auto [first, last] = values_.equal_range(name);
    for (auto it = first; it != last; ++it) {
        all.push_back(it->second);
    }
    return all;
}

void Options::expectPositional(std::size_t least, std::size_t most, const std::string& usage) const {
    if (positional_.size() < least || positional_.size() > most) {
        throw UsageError{"usage: " + usage};
    }
}

} // namespace amptool
