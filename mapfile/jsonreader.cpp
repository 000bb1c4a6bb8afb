// SPDX-License-Identifier: MIT
#include "jsonreader.h"

#include <charconv>
#include <cstdint>

namespace amp::json {

namespace {

struct Failure {
    std::size_t offset;
    std::string message;
};

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    Value document() {
        Value value = read(0);
        skipBlanks();
        if (at_ != text_.size()) {
            fail("text follows the value");
        }
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& message) const { throw Failure{at_, message}; }

    void skipBlanks() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }

    char peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }

    void expectWord(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) {
            fail("not a JSON value");
        }
        at_ += word.size();
    }

    Value read(int depth) {
        if (depth > MaxDepth) {
            fail("nested too deeply");
        }
        skipBlanks();
        switch (peek()) {
        case '{':
            return readObject(depth);
        case '[':
            return readArray(depth);
        case '"':
            return Value{readString()};
        case 't':
            expectWord("true");
            return Value{true};
        case 'f':
            expectWord("false");
            return Value{false};
        case 'n':
            expectWord("null");
            return Value{Null{}};
        case '\0':
            if (at_ >= text_.size()) {
                fail("the text ends where a value should be");
            }
            fail("not a JSON value");
        default:
            return Value{readNumber()};
        }
    }

    Value readObject(int depth) {
        ++at_; // '{'
        Object object;
        skipBlanks();
        if (peek() == '}') {
            ++at_;
            return Value{std::move(object)};
        }
        for (;;) {
            skipBlanks();
            if (peek() != '"') {
                fail("a key (a string in quotes) was expected");
            }
            std::string key = readString();
            skipBlanks();
            if (peek() != ':') {
                fail("a colon was expected after the key");
            }
            ++at_;
            Value value = read(depth + 1);
            object.emplace_back(std::move(key), std::move(value));
            skipBlanks();
            if (peek() == ',') {
                ++at_;
                continue;
            }
            if (peek() == '}') {
                ++at_;
                return Value{std::move(object)};
            }
            fail("a comma or a closing brace was expected");
        }
    }

    Value readArray(int depth) {
        ++at_; // '['
        Array array;
        skipBlanks();
        if (peek() == ']') {
            ++at_;
            return Value{std::move(array)};
        }
        for (;;) {
            array.push_back(read(depth + 1));
            skipBlanks();
            if (peek() == ',') {
                ++at_;
                continue;
            }
            if (peek() == ']') {
                ++at_;
                return Value{std::move(array)};
            }
            fail("a comma or a closing bracket was expected");
        }
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    double readNumber() {
        const std::size_t start = at_;
        if (peek() == '-') {
            ++at_;
        }
        if (peek() == '0') {
            ++at_;
        } else if (isDigit(peek())) {
            while (isDigit(peek())) {
                ++at_;
            }
        } else {
            fail("not a JSON value");
        }
        if (peek() == '.') {
            ++at_;
            if (!isDigit(peek())) {
                fail("a digit was expected after the decimal point");
            }
            while (isDigit(peek())) {
                ++at_;
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') {
                ++at_;
            }
            if (!isDigit(peek())) {
                fail("a digit was expected in the exponent");
            }
            while (isDigit(peek())) {
                ++at_;
            }
        }
        double value = 0;
        const auto [end, error] = std::from_chars(text_.data() + start, text_.data() + at_, value);
        if (error != std::errc{} || end != text_.data() + at_) {
            at_ = start;
            fail("the number is out of range");
        }
        return value;
    }

    unsigned hexDigits() {
        unsigned code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = peek();
            unsigned digit = 0;
            if (isDigit(c)) {
                digit = static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<unsigned>(c - 'A' + 10);
            } else {
                fail("four hex digits were expected after \\u");
            }
            code = code * 16 + digit;
            ++at_;
        }
        return code;
    }

    static void appendUtf8(std::string& out, std::uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::string readString() {
        ++at_; // '"'
        std::string out;
        for (;;) {
            if (at_ >= text_.size()) {
                fail("the text ends inside a string");
            }
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                fail("a control character inside a string");
            }
            if (c != '\\') {
                out += c;
                ++at_;
                continue;
            }
            ++at_;
            const char escaped = peek();
            ++at_;
            switch (escaped) {
            case '"':
            case '\\':
            case '/':
                out += escaped;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                std::uint32_t code = hexDigits();
                if (code >= 0xD800 && code < 0xDC00) {
                    if (text_.substr(at_, 2) != "\\u") {
                        fail("a lone surrogate in \\u escapes");
                    }
                    at_ += 2;
                    const std::uint32_t low = hexDigits();
                    if (low < 0xDC00 || low >= 0xE000) {
                        fail("a lone surrogate in \\u escapes");
                    }
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                } else if (code >= 0xDC00 && code < 0xE000) {
                    fail("a lone surrogate in \\u escapes");
                }
                appendUtf8(out, code);
                break;
            }
            default:
                --at_;
                fail("an unknown escape in a string");
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace

std::variant<Value, ParseError> parse(std::string_view text) {
    try {
        return Reader(text).document();
    } catch (const Failure& failure) {
        return ParseError{failure.offset, failure.message};
    }
}

} // namespace amp::json
