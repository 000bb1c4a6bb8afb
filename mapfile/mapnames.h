// SPDX-License-Identifier: MIT
// How a person names a layer and a value, the one way every program takes them
// (amptool's options, the editor's value boxes; the scripts' map.get follows the
// same layer rule in api.js):
//   - a layer is its number 0-12, or its name in any case ("roads", "height b1",
//     "Terraintype"), or "terrain" for the terrain layer; the three "??????"
//     layers share a name and go by number only;
//   - a value is a whole number 0-255 (blanks around it allowed, as a cell takes
//     them), or on the terrain layer a terrain's name in any case, with its spaces
//     or without them ("Impassable River", "impassableriver"), as the scripts'
//     `terrain` object names them.
#pragma once

#include <string>
#include <string_view>

namespace amp {

// What a word names: its number, or -1 and why it names nothing.
struct Naming {
    int value = -1;
    std::string problem;
    explicit operator bool() const { return value >= 0; }
};

Naming layerNamed(std::string_view word);
Naming valueNamed(int layer, std::string_view word);

} // namespace amp
