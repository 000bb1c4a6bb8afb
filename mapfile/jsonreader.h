// SPDX-License-Identifier: MIT
// A small strict JSON reader for the few JSON files the program reads (cost
// tables): RFC 8259 and nothing more (no comments, no trailing commas, no NaN),
// objects keep their keys in order and may hold a key twice (the caller
// decides), nesting is bounded so hostile text cannot exhaust the stack.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace amp::json {

struct Value;
using Array = std::vector<Value>;
using Object = std::vector<std::pair<std::string, Value>>;

struct Null {};

struct Value {
    std::variant<Null, bool, double, std::string, Array, Object> data;

    bool isNull() const { return std::holds_alternative<Null>(data); }
    bool isNumber() const { return std::holds_alternative<double>(data); }
    bool isString() const { return std::holds_alternative<std::string>(data); }
    bool isObject() const { return std::holds_alternative<Object>(data); }
    double number() const { return std::get<double>(data); }
    const std::string& string() const { return std::get<std::string>(data); }
    const Object& object() const { return std::get<Object>(data); }
};

inline constexpr int MaxDepth = 64;

struct ParseError {
    std::size_t offset = 0; // bytes from the start of the text
    std::string message;
};

// The value the whole text holds (blanks around it allowed), or where and why
// it is not JSON.
std::variant<Value, ParseError> parse(std::string_view text);

} // namespace amp::json
