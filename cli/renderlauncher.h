// SPDX-License-Identifier: MIT
// `amptool render`: drawing needs QtGui, which no other command may load at
// start-up, so the command is a program of its own, amptool-render, that amptool
// starts in its place (as git starts its commands): beside amptool in the build
// tree, in lib/ampedit once installed (beside amptool.exe on Windows, where
// programs find their DLLs beside them).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace amptool {

inline constexpr const char* RenderUsage =
    "amptool render MAP -o OUT.png [--size N] [--base LAYER] [--overlay LAYER[:marks|shade|values]]...\n"
    "                      [--coordinates] [--outlines] [--colour-blind] [--even-columns-lower]\n"
    "                      [--region C0,R0,C1,R1]";
inline constexpr const char* RenderHelp =
    "Draws the map as the editor's picture does, without a display: flat-topped hexes of --size pixels\n"
    "from centre to corner (default 8), the --base layer (default terrain) and each --overlay over it\n"
    "(marks by default; layers by number or name). Without --overlay: the base alone, no outlines, no\n"
    "labels. No margin: the hex in column c, row r has its centre at x = s (1 + 1.5 c), y = s sqrt(3)/2\n"
    "(1 + 2 r, + 1 in a lowered column: odd ones, or even ones with --even-columns-lower); the picture is\n"
    "s (1.5 C + 0.5) wide and s sqrt(3) (R + 0.5) high, rounded up. --region draws columns C0-C1 and rows\n"
    "R0-R1 alone, as a map of their own. -o - writes the PNG to standard output.";

// Starts amptool-render with the words after "render"; returns only when it
// cannot be started, or on Windows (where no program takes another's place)
// with its exit status once it has ended.
int startRender(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);

// Starts amptool's program of its own `helper` (beside amptool, or in lib/ampedit
// once installed) with `words` in place of this process (on Windows: waits for
// it and gives its exit status); when it cannot be started, tells why as
// amptool's `command` and gives the exit status.
int startHelper(const char* helper, const char* command, const std::vector<std::string>& words,
                std::FILE* out, std::FILE* err);

} // namespace amptool
