// SPDX-License-Identifier: MIT
// `amptool run` and `amptool check`: scripts need QtQml's JavaScript engine and
// the document, which no other command may load at start-up, so both are a
// program of their own, amptool-script, that amptool starts in its place (as it
// starts amptool-render). A build without the window has no scripting.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace amptool {

inline constexpr const char* RunUsage =
    "amptool run SCRIPT.js MAP [-o OUT] [--timeout S] [--even-columns-lower] [-- ARGS...]";
inline constexpr const char* RunHelp =
    "Runs a JavaScript file against the map, without a display (docs/scripting.md tells the API). When\n"
    "the script changes the map, the map is written (to OUT with -o, else in place) through the safe\n"
    "writer; a script that fails writes nothing. print(...) goes to standard output, and each problem\n"
    "the script reports as a line MAP:COLUMN,ROW: message (MAP: message for the whole map). The words\n"
    "after -- are the script's args. A run is stopped after --timeout seconds (default 10).\n"
    "--even-columns-lower: the layout map.neighbours, map.brush and map.line follow. Exit status: 0\n"
    "nothing reported, 1 problems reported or the script failed, 2 a usage or I/O error.";
inline constexpr const char* CheckUsage =
    "amptool check MAP [--checks DIR] [--timeout S] [--even-columns-lower]";
inline constexpr const char* CheckHelp =
    "Runs every check script (*.js, by name) on the map: the ones shipped with ampedit and the user's\n"
    "own in ~/.local/share/ampedit/checks, or those of DIR alone. Problems are told as MAP:COLUMN,ROW:\n"
    "message (CHECK.js), a failed check on standard error. Checks never write the map. Exit status: 0\n"
    "nothing reported, 1 problems reported or a check failed, 2 a usage or I/O error.";

// Start amptool-script for "run" or "check" with the words after the command;
// they return only when it cannot be started.
int startRun(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);
int startCheck(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);

} // namespace amptool
