// SPDX-License-Identifier: MIT
// The words of one amptool command: positional words, options with a value
// ("-o FILE", "--layer 4", "--layer=4") and flags ("--json"). Unknown options
// and missing values are usage errors.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace amptool {

struct UsageError {
    std::string message;
};

// A command's failure: its exit status and what it says.
struct Failure {
    int status;
    std::string message;
};

class Options {
public:
    // `withValue` and `flags` name the options the command knows; an option named
    // in `repeatable` may be given more than once.
    Options(const std::vector<std::string>& words, const std::vector<std::string>& withValue,
            const std::vector<std::string>& flags, const std::vector<std::string>& repeatable = {});

    const std::vector<std::string>& positional() const { return positional_; }
    bool has(const std::string& name) const { return values_.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
    std::vector<std::string> values(const std::string& name) const;
    // The positional words must number between `least` and `most`.
    void expectPositional(std::size_t least, std::size_t most, const std::string& usage) const;

private:
    std::vector<std::string> positional_;
    std::multimap<std::string, std::string> values_;
};

} // namespace amptool
