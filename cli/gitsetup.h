// SPDX-License-Identifier: MIT
// `amptool git-setup`: tells git how to merge maps (amptool merge --git) and how
// to show them in diffs (amptool export --format lines), by `git config`, and
// marks *.amp files for both in the repository's .gitattributes.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace amptool {

inline constexpr const char* GitSetupUsage = "amptool git-setup [--global]";
inline constexpr const char* GitSetupHelp =
    "Sets up git for maps with `git config` and says what it wrote: the merge driver ampmap\n"
    "(merge.ampmap.driver = AMPTOOL merge --git %O %A %B %P), the diff driver ampmap\n"
    "(diff.ampmap.textconv = AMPTOOL export --format lines), AMPTOOL being this program's full\n"
    "path; and the line \"*.amp merge=ampmap diff=ampmap\" in the .gitattributes at the top of the\n"
    "repository, when it is not there yet. Run it inside the repository. --global writes the user's\n"
    "git configuration instead and leaves .gitattributes alone: it prints the line to add to each\n"
    "repository's .gitattributes. Needs git on the PATH (Git for Windows too).";

// The attributes line that hands *.amp files to the two drivers.
inline constexpr const char* GitAttributesLine = "*.amp merge=ampmap diff=ampmap";

int gitSetup(const std::vector<std::string>& words, std::FILE* out, std::FILE* err);

// A word for the shell git runs drivers with (sh, in Git for Windows too): as
// it is when it holds nothing the shell reads specially, else in single quotes;
// Windows' backslashes as slashes, which both git and Windows take.
std::string shellWord(std::string word);

} // namespace amptool
