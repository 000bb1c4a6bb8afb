// SPDX-License-Identifier: MIT
// amptool's commands. Each reads its words, does its work through the map-file
// library and the one safe writer, and gives the exit status: 0 done (or equal
// maps), 1 invalid input (or different maps), 2 a usage or I/O error. A command
// that fails touches no file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace amptool {

// Runs `amptool WORDS...`; what it prints goes to `out` and `err`.
int run(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);

} // namespace amptool
