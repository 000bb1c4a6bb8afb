// SPDX-License-Identifier: MIT
// Check: a road on water. A hex of the "roads" layer that is not 0 carries a
// road; on Ocean, Lakes or an Impassable River no unit could use it.
const water = [terrain.Ocean, terrain.Lakes, terrain["Impassable River"]];
for (let column = 0; column < map.columns; ++column) {
    for (let row = 0; row < map.rows; ++row) {
        const road = map.get("roads", column, row);
        const ground = map.get("Terraintype", column, row);
        if (road !== 0 && water.indexOf(ground) >= 0) {
            report(column, row, "a road (" + road + ") on " + terrain.nameOf(ground));
        }
    }
}
