// SPDX-License-Identifier: MIT
// Smooths the terrain in the selection (the whole map when at most one hex is
// selected): a hex whose six neighbours all share one terrain takes it. Every
// hex is judged by the map as it was before the run, so the result does not
// depend on the order the hexes are visited in. Hexes at the map's edge have
// fewer than six neighbours and stay as they are.
const FullRing = 6;
const changes = [];
for (const hex of selection) {
    const around = map.neighbours(hex.column, hex.row);
    if (around.length !== FullRing) {
        continue;
    }
    const first = map.get("Terraintype", around[0].column, around[0].row);
    const same = around.every(function (n) { return map.get("Terraintype", n.column, n.row) === first; });
    if (same && map.get("Terraintype", hex.column, hex.row) !== first) {
        changes.push({column: hex.column, row: hex.row, value: first});
    }
}
changes.forEach(function (change) { map.set("Terraintype", change.column, change.row, change.value); });
print("smooth-terrain: " + changes.length + " hexes took their neighbours' terrain");
