// SPDX-License-Identifier: MIT
// Random terrain in the selection (the whole map when at most one hex is
// selected), from a seed: the same seed gives the same map, every time.
//   amptool run random-terrain.js MAP -- SEED [TERRAIN...]
// SEED is a whole number (1 when none is given); the terrains are names (as in
// terrain.Forest, spaces allowed) and default to Clear, Forest, Rough, Sand and
// Swamp.
const seed = args.length > 0 ? Number(args[0]) : 1;
if (!Number.isInteger(seed)) {
    throw new Error("the seed is a whole number, not \"" + args[0] + "\"");
}
const names = args.length > 1 ? args.slice(1) : ["Clear", "Forest", "Rough", "Sand", "Swamp"];
const values = names.map(function (name) {
    if (terrain[name] === undefined) {
        throw new Error("no terrain is named \"" + name + "\"");
    }
    return terrain[name];
});

// mulberry32: a small generator of 32-bit numbers, fully given by its seed.
let state = seed >>> 0;
function next() {
    state = (state + 0x6D2B79F5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}

for (const hex of selection) {
    map.set("Terraintype", hex.column, hex.row, values[Math.floor(next() * values.length)]);
}
print("random-terrain: seed " + seed + ", " + selection.count + " hexes of " + names.join(", "));
