// SPDX-License-Identifier: MIT
// ampgen: writes a generated map file.
//   ampgen COLUMNS ROWS SEED FILE
#include "diskio.h"
#include "mapgenerator.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: ampgen COLUMNS ROWS SEED FILE\n"
                             "  COLUMNS and ROWS from 0 to 255; the same SEED gives the same map.\n");
        return 2;
    }
    const int columns = std::atoi(argv[1]);
    const int rows = std::atoi(argv[2]);
    if (columns < 0 || columns > amp::MaxDimension || rows < 0 || rows > amp::MaxDimension) {
        std::fprintf(stderr, "ampgen: columns and rows must lie between 0 and 255\n");
        return 2;
    }
    const auto seed = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10));
    const auto bytes = amp::encodeMap(amp::generateMap(columns, rows, seed));
    // The name as the system's bytes: one that is not UTF-8 names its own file.
    const auto written = amp::diskio::writeFileSafely(argv[4], bytes);
    if (!written) {
        std::fprintf(stderr, "ampgen: %s\n", written.error().message.c_str());
        return 1;
    }
    std::printf("%s: %d x %d hexes, %zu bytes\n", argv[4], columns, rows, bytes.size());
    return 0;
}
