// SPDX-License-Identifier: MIT
// amptool: the console door to Veldrock's ".amp" maps (info, export, import,
// diff, new, resize, replace). Needs no display.
#include "commands.h"
#include "platform.h"

#include <cstdio>

int main(int argc, char* argv[]) {
    amptool::prepareStandardStreams();
    return amptool::run(amptool::commandWords(argc, argv), stdout, stderr);
}
