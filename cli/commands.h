// SPDX-License-Identifier: MIT
// amptool's commands. Each reads its words, does its work through the map-file
// library and the one safe writer, and gives the exit status: 0 done (or equal
// maps), 1 invalid input (or different maps), 2 a usage or I/O error. A command
// that fails touches no file.
#pragma once

#include "mapimage.h"

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace amptool {

// Runs `amptool WORDS...`; what it prints goes to `out` and `err`.
int run(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);

// For amptool's programs of their own (amptool-render), as the commands do it:
// a layer by number or name and a whole number in a range (a UsageError
// otherwise), a map read whole, bytes to a file through the safe writer or to
// `out` for "-". runCommand runs `body` and tells what it throws as
// "amptool: NAME: reason", giving the exit status.
int layerOfWord(const std::string& word);
int wholeNumber(const std::string& word, int least, int most, const std::string& what);
amp::MapImage readMapOrFail(const std::string& path);
// A new file made from the map `madeFrom` gets that map's permission bits.
void writeOutputOrFail(const std::string& target, std::string_view bytes, std::FILE* out,
                       const std::string& madeFrom = {});
int runCommand(const char* name, const std::function<int()>& body, std::FILE* err);

// Whether the name leads to the null device: an output there is a dry run, made
// and dropped, never written through a temporary file.
bool isNullDevice(const std::string& path);
// Refuses (a UsageError) an output that is one of the command's inputs, which
// it would replace; "-" and the null device replace nothing.
void refuseOverwriting(const std::string& target, const std::vector<std::string>& inputs);

} // namespace amptool
