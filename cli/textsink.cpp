// SPDX-License-Identifier: MIT
#include "textsink.h"
#include "commands.h"
#include "diskio.h"

#include <algorithm>
#include <cerrno>
#include <span>
#include <stdexcept>

namespace amptool {

TextSink::TextSink(std::string target, std::FILE* out, std::string madeFrom)
    : target_(std::move(target)), madeFrom_(std::move(madeFrom)), out_(out), buffer_(new char[BlockSize]) {}

void TextSink::makeRoom(std::size_t size) {
    if (target_ == "-" && used_ > 0) {
        flush();
    }
    if (used_ + size > capacity_) {
        // A file's text is written whole at the end: the buffer grows to hold it.
        capacity_ = std::max(capacity_ * 2, used_ + size);
        std::unique_ptr<char[]> larger(new char[capacity_]);
        std::memcpy(larger.get(), buffer_.get(), used_);
        buffer_ = std::move(larger);
    }
}

void TextSink::flush() {
    if (std::fwrite(buffer_.get(), 1, used_, out_) != used_) {
        throw std::runtime_error(std::string("standard output: ") + std::strerror(errno));
    }
    used_ = 0;
    flushed_ = true;
}

void TextSink::finish() {
    if (target_ == "-") {
        flush();
        if (std::fflush(out_) != 0) {
            throw std::runtime_error(std::string("standard output: ") + std::strerror(errno));
        }
        return;
    }
    if (isNullDevice(target_)) {
        return; // a dry run: the text is made, and dropped
    }
    const auto written = amp::diskio::writeFileSafely(
        target_, std::span(reinterpret_cast<const std::uint8_t*>(buffer_.get()), used_),
        amp::diskio::modeMadeFrom(madeFrom_));
    if (!written) {
        throw std::runtime_error(written.error().message);
    }
}

} // namespace amptool
