// SPDX-License-Identifier: MIT
// amptool: the console door to Veldrock's ".amp" maps (info, export, import,
// diff, new, resize, replace). Needs no display.
#include "commands.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
    const std::vector<std::string> words(argv + 1, argv + argc);
    return amptool::run(words, stdout, stderr);
}
