// SPDX-License-Identifier: MIT
// Failures of the map-file code come back as values, never as a crash or an exit.
#pragma once

#include "mapformat.h"

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace amp {

enum class MapErrorKind {
    CannotOpen, // missing, not a regular file, not writable, no such folder
    NotAMap,    // shorter than the 7-byte header
    ReadError,  // the system failed while reading
    WriteError, // the system failed while writing or replacing the file
};

struct MapError {
    MapErrorKind kind;
    std::string message;
};

// A value or the reason there is none.
template <typename T> class Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(MapError error) : state_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return std::get<T>(state_); }
    T&& value() && { return std::get<T>(std::move(state_)); }
    const MapError& error() const { return std::get<MapError>(state_); }

private:
    std::variant<T, MapError> state_;
};

// A file read one byte past the largest map: that byte says it is no map at all,
// whatever its header says (a sparse file of a gigabyte reads as zeros).
inline Result<std::vector<std::uint8_t>> notLargerThanAMap(Result<std::vector<std::uint8_t>> read,
                                                           const std::string& path) {
    if (read && read.value().size() > static_cast<std::size_t>(MaxFileSize)) {
        return MapError{MapErrorKind::NotAMap,
                        path + ": the file is larger than the largest map (845,332 bytes), so it is no map"};
    }
    return read;
}

// The outcome of an operation that gives nothing back but may fail.
struct Done {};
using Status = Result<Done>;

} // namespace amp
