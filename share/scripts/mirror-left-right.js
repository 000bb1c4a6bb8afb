// SPDX-License-Identifier: MIT
// Mirrors the whole map left to right, every layer (or only the layers named
// after --: amptool run mirror-left-right.js MAP -- roads 0).
//
// In a map of flat-topped hexes every other column sits half a hex lower, so a
// mirror must keep that lattice. Count heights in half hexes: a hex's height is
// Y = 2 * row, plus 1 in a lowered column. Column c goes to column C - 1 - c;
// when that column is lowered and c is not (or the other way round) no hex lies
// at the same height, and the whole picture moves half a hex: Y goes to Y + b,
// with b chosen so that the top-left hex lands on the top-right one. Hexes
// whose image falls off the map have none; hexes that are no image keep their
// values. A mirror that keeps the lattice takes neighbours to neighbours:
// map.neighbours checks that below before anything is written.
const layers = args.length > 0 ? args : map.layers.map(function (name, index) { return index; });

function isLowered(column) {
    return ((column & 1) === 1) !== map.evenColumnsLower;
}
const last = map.columns - 1;
const shift = (isLowered(last) ? 1 : 0) - (isLowered(0) ? 1 : 0);

// The image of a hex, or null when it falls off the map.
function image(column, row) {
    const target = last - column;
    const height = 2 * row + (isLowered(column) ? 1 : 0) + shift;
    const targetRow = (height - (isLowered(target) ? 1 : 0)) / 2;
    return targetRow >= 0 && targetRow < map.rows ? {column: target, row: targetRow} : null;
}

function key(hex) {
    return hex.column + "," + hex.row;
}

for (let column = 0; column < map.columns; ++column) {
    for (let row = 0; row < map.rows; ++row) {
        const to = image(column, row);
        if (to === null) {
            continue;
        }
        const imagesAround = map.neighbours(to.column, to.row).map(key);
        map.neighbours(column, row).forEach(function (n) {
            const moved = image(n.column, n.row);
            if (moved !== null && imagesAround.indexOf(key(moved)) < 0) {
                throw new Error("the mirror of " + key(n) + " is no neighbour of " + key(to));
            }
        });
    }
}

// Read everything first, then write, so that no hex is read after it changed.
const moves = [];
for (const layer of layers) {
    for (let column = 0; column < map.columns; ++column) {
        for (let row = 0; row < map.rows; ++row) {
            const to = image(column, row);
            if (to !== null) {
                moves.push({layer: layer, to: to, text: map.text(layer, column, row)});
            }
        }
    }
}
moves.forEach(function (move) { map.set(move.layer, move.to.column, move.to.row, move.text); });
print("mirror-left-right: " + (map.columns * map.rows - moves.length / layers.length) +
      " hexes had no image and kept their values");
