// SPDX-License-Identifier: MIT
// amptool's questions about a map's fairness: what it and each half hold
// (stats), the cheapest way between two hexes (path) and who holds which hexes
// from a set of starts (territory). The rules are mapfile's (hexpaths.h,
// mapstats.h); these commands read the words and print text or JSON.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace amptool {

inline constexpr const char* StatsUsage = "amptool stats MAP [--half lr|tb] [--format text|json] "
                                          "[--even-columns-lower]";
inline constexpr const char* StatsHelp =
    "Counts the map's hexes, each terrain value's hexes, cities (a non-zero \"city b1\" or \"city b2\"),\n"
    "roads (a non-zero \"roads\") and \"height b1\"'s min, mean and max. --half lr splits the columns,\n"
    "tb the rows (the middle one of an odd count belongs to neither) and adds each half and the\n"
    "symmetry: the share of all cells equal to their image in the mirror across the split (a hex whose\n"
    "image is off the map is its own image). --format json: {\"columns\", \"rows\", \"hexes\",\n"
    "\"terrain\": {\"VALUE\": count}, \"cities\", \"roads\", \"height b1\": {\"min\", \"mean\", \"max\"}}, "
    "with\n"
    "--half also \"halves\": [first, second] of the same shape and \"symmetry\" (0-1).";

inline constexpr const char* PathUsage = "amptool path MAP C1,R1 C2,R2 [--costs FILE] [--format text|json] "
                                         "[--even-columns-lower]";
inline constexpr const char* PathHelp =
    "The distance between two hexes (steps between neighbours, ignoring terrain) and the cheapest path:\n"
    "the sum of the costs of the hexes it enters, the first one free. --costs names a cost table\n"
    "(JSON: {\"name\", \"default\", \"road\", \"costs\": {\"Forest\": 2, \"Ocean\": null, \"81\": 3}}); "
    "without\n"
    "one every hex costs 1. --format json: {\"from\": [c, r], \"to\": [c, r], \"distance\": d,\n"
    "\"cost\": x or null, \"hexes\": [[c, r], ...]}. Exit status 0 when a way exists, 1 when none does,\n"
    "2 for errors.";

inline constexpr const char* TerritoryUsage = "amptool territory MAP C,R C,R ... [--costs FILE] "
                                              "[--format text|json] [--even-columns-lower]";
inline constexpr const char* TerritoryHelp =
    "Gives each passable hex to the start with the cheapest path to it (costs as path takes them); a\n"
    "hex equally near two starts is contested, impassable hexes and those no start reaches are\n"
    "unreached. A start holds its own hex. --format json: {\"territories\": [{\"start\": [c, r],\n"
    "\"hexes\": n, \"terrain\": {\"VALUE\": count}, \"cities\": n}, ...], \"contested\": n,\n"
    "\"unreached\": n}. Exit status 0, or 2 for errors.";

int stats(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);
int path(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);
int territory(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);

} // namespace amptool
