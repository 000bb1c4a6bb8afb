// SPDX-License-Identifier: MIT
// Check: terrain values without a terrain name. The editor names the values 0
// to 18 (Clear to Blackout); the game knows no other, so any other value on the
// terrain layer is a mistake.
for (let column = 0; column < map.columns; ++column) {
    for (let row = 0; row < map.rows; ++row) {
        const value = map.get("Terraintype", column, row);
        if (terrain.nameOf(value) === undefined) {
            report(column, row, "terrain " + value + " has no name");
        }
    }
}
