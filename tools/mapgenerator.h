// SPDX-License-Identifier: MIT
// Makes plausible Veldrock maps of any size for the samples, the tests and the
// benchmarks: terrain regions, rivers, cities joined by roads, rolling heights.
// The same seed always gives the same map.
#pragma once

#include "mapimage.h"

#include <cstdint>

namespace amp {

MapImage generateMap(int columns, int rows, std::uint32_t seed);

} // namespace amp
