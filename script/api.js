// SPDX-License-Identifier: MIT
// What a script sees of the map: `map`, `terrain`, `selection`, `merge`,
// `report`, `print` and `args`, over a copy of the map taken before the run. Each layer
// is a Uint8Array of the bytes the cells' texts give (slot column * rows + row,
// the file's order) plus a Map of the few cells whose text is not "0".."255"
// (typed as "007", "abc", "300", or empty). Reads and writes stay in this copy;
// the runner compares it with the map afterwards and makes one undo step of the
// difference, so a run that throws or is stopped changes nothing. Everything is
// plain JavaScript (calls into C++ would cost microseconds each), but for the
// lattice shapes of map.brush and map.line: one call each, into the very code
// the picture paints with (data.shapes), which gives the shape's slots; and
// map.distance, map.path and map.stats, into the rules amptool and the window
// use (data.fairness).
(function (data) {
    "use strict";
    const LayerCount = data.layerNames.length;
    const HeaderSize = data.header.length;
    const ShapeBytes = {2: "columns", 4: "rows"};
    const LargestByte = 255;
    const PrintLimit = data.printLimit;          // lines print() keeps
    const PrintedTextLimit = data.printedTextLimit; // characters they hold in all
    const ProblemLimit = data.problemLimit;      // problems report() keeps
    const LongestProblem = 1000;                 // characters of one problem's text
    // A value nested deeper than this is not turned into text: the engine's own
    // join and JSON recurse without a check of their depth and would crash.
    const DeepestText = 256;
    const columns = data.columns;
    const rows = data.rows;
    const cellCount = columns * rows;
    const evenLower = data.evenColumnsLower;
    const shapes = data.shapes;
    const fairness = data.fairness;
    const TerrainLayer = 0;
    const RoadsLayer = data.layerNames.indexOf("roads");
    const bytes = data.buffers.map(function (buffer) { return new Uint8Array(buffer); });
    const typed = data.typed.map(function (pairs) { return new Map(pairs); });
    const dirty = bytes.map(function () { return false; });
    const header = data.header.slice();
    const problems = [];
    let problemsOver = 0;
    const printed = [];
    let printedText = 0;
    let printedOver = 0;
    // The built-ins the API uses after the script has run, taken before it runs.
    const ArrayBufferOf = ArrayBuffer;
    const Int32ArrayOf = Int32Array;
    const stringify = JSON.stringify;
    const StringOf = String;
    const nativeJoin = Array.prototype.join;
    const nativeToLocaleString = Array.prototype.toLocaleString;

    // The arrays being joined, outermost first. The engine's join turns each
    // element into text through Array.prototype.toString, which calls join
    // again: a cycle gives "" there (as other engines do), and a depth past
    // DeepestText throws before the engine's own recursion can overflow.
    // The error is thrown by the outermost join, so that it names the script's line.
    const joining = [];
    let tooDeep = false;
    function guardedJoin(native) {
        return function () {
            if (joining.length === 0) {
                tooDeep = false;
            }
            for (let i = 0; i < joining.length; ++i) {
                if (joining[i] === this) {
                    return "";
                }
            }
            if (joining.length >= DeepestText) {
                tooDeep = true;
                return "";
            }
            joining[joining.length] = this;
            let text;
            try {
                text = native.apply(this, arguments);
            } finally {
                joining.length = joining.length - 1;
            }
            if (joining.length === 0 && tooDeep) {
                throw new RangeError("an array nested more than " + DeepestText + " deep cannot be turned into text");
            }
            return text;
        };
    }
    Object.defineProperty(Array.prototype, "join", {value: guardedJoin(nativeJoin), writable: true,
                                                    configurable: true, enumerable: false});
    Object.defineProperty(Array.prototype, "toLocaleString", {value: guardedJoin(nativeToLocaleString),
                                                              writable: true, configurable: true, enumerable: false});

    // JSON of a value, written here rather than by JSON.stringify, whose
    // recursion has no bound: a value that holds itself is "(cycle)" where it
    // comes again, and one nested deeper than DeepestText is "(too deep)".
    // Otherwise the text is JSON.stringify's.
    const isArray = Array.isArray;
    const keysOf = Object.keys;
    function json(value) {
        const ancestors = [];
        function text(member, key) {
            if (member !== null && typeof member === "object" && typeof member.toJSON === "function") {
                member = member.toJSON(key);
            }
            if (member === null || typeof member !== "object") {
                return typeof member === "function" ? undefined : stringify(member);
            }
            if (member instanceof Number || member instanceof String || member instanceof Boolean) {
                return stringify(member);
            }
            if (ancestors.indexOf(member) >= 0) {
                return "\"(cycle)\"";
            }
            if (ancestors.length >= DeepestText) {
                return "\"(too deep)\"";
            }
            ancestors[ancestors.length] = member;
            try {
                let parts = "";
                if (isArray(member)) {
                    for (let i = 0; i < member.length; ++i) {
                        const part = text(member[i], StringOf(i));
                        parts += (i > 0 ? "," : "") + (part === undefined ? "null" : part);
                    }
                    return "[" + parts + "]";
                }
                const keys = keysOf(member);
                for (let i = 0; i < keys.length; ++i) {
                    const part = text(member[keys[i]], keys[i]);
                    if (part !== undefined) {
                        parts += (parts.length > 0 ? "," : "") + stringify(keys[i]) + ":" + part;
                    }
                }
                return "{" + parts + "}";
            } finally {
                ancestors.length = ancestors.length - 1;
            }
        }
        return text(value, "");
    }

    // A value as text, for print, report and the console: texts as they are,
    // objects and arrays as JSON, anything else by String. Never throws.
    function describe(value) {
        if (typeof value === "string") {
            return value;
        }
        try {
            if (value !== null && typeof value === "object" && !(value instanceof Error)) {
                try {
                    const text = json(value);
                    if (typeof text === "string") {
                        return text;
                    }
                } catch (e) {
                    // not JSON: its own text below
                }
            }
            return StringOf(value);
        } catch (e) {
            return "(a value that cannot be turned into text)";
        }
    }

    // Layers by number (0-12, or its text) or by name, as the editor names them,
    // in any case: "roads", "height b1", "Terraintype" (or "terrain").
    function layerIndex(layer) {
        if ((layer >>> 0) === layer && layer < LayerCount) {
            return layer;
        }
        if (typeof layer === "string") {
            if (/^[0-9]+$/.test(layer) && Number(layer) < LayerCount) {
                return Number(layer);
            }
            const wanted = layer.toLowerCase();
            if (wanted === "terrain") { // the terrain layer's everyday name
                return 0;
            }
            const found = [];
            data.layerNames.forEach(function (name, index) {
                if (name.toLowerCase() === wanted) {
                    found.push(index);
                }
            });
            if (found.length === 1) {
                return found[0];
            }
            if (found.length > 1) {
                throw new RangeError("several layers are named \"" + layer + "\": give the layer's number");
            }
        }
        throw new RangeError("no layer " + describe(layer) + " (give 0-" + (LayerCount - 1) + " or a layer's name)");
    }

    function isInside(column, row) {
        return (column >>> 0) === column && column < columns && (row >>> 0) === row && row < rows;
    }

    function outside(column, row) {
        return new RangeError("hex " + describe(column) + "," + describe(row) + " is outside the map (columns 0-" +
                              (columns - 1) + ", rows 0-" + (rows - 1) + ")");
    }

    function slotOf(column, row) {
        if (!isInside(column, row)) {
            throw outside(column, row);
        }
        return column * rows + row;
    }

    // The text rule: blanks, one sign, digits, fitting a signed 32-bit number;
    // anything else counts as 0. The file keeps the low 8 bits.
    function byteOfText(text) {
        const parts = /^[ \t]*([+-]?)([0-9]+)$/.exec(text);
        if (!parts) {
            return 0;
        }
        const digits = parts[2].replace(/^0+(?=[0-9])/, "");
        const magnitude = digits.length > 10 ? Infinity : Number(digits);
        const negative = parts[1] === "-";
        if (magnitude > (negative ? 2147483648 : 2147483647)) {
            return 0;
        }
        return (negative ? -magnitude : magnitude) & LargestByte;
    }

    // The byte of a canonical text "0".."255", or -1 for any other text.
    function canonicalByte(text) {
        return /^(0|[1-9][0-9]{0,2})$/.test(text) && Number(text) <= LargestByte ? Number(text) : -1;
    }

    function checkValue(value) {
        if (typeof value === "number") {
            if ((value >>> 0) !== value || value > LargestByte) {
                throw new RangeError("a cell takes a whole number 0-255 or a text, not " + value);
            }
        } else if (typeof value !== "string") {
            throw new TypeError("a cell takes a whole number 0-255 or a text, not " + describe(value));
        }
        return value;
    }

    // Sets a slot of a layer to a checked value: a number, or a text kept as typed.
    function store(layer, slot, value) {
        const texts = typed[layer];
        if (typeof value === "number") {
            bytes[layer][slot] = value;
            if (texts.size > 0) {
                texts.delete(slot);
            }
        } else {
            const canonical = canonicalByte(value);
            if (canonical >= 0) {
                bytes[layer][slot] = canonical;
                texts.delete(slot);
            } else {
                bytes[layer][slot] = byteOfText(value);
                texts.set(slot, value);
            }
        }
        dirty[layer] = true;
    }

    function textAt(layer, slot) {
        const text = typed[layer].get(slot);
        return text === undefined ? String(bytes[layer][slot]) : text;
    }

    // A region: nothing (the whole map), the selection or any object with
    // rectangles, an array of rectangles, or one rectangle
    // {column, row, columns, rows}. Gives a mask of its hexes, each once.
    function maskOf(region) {
        const mask = new Uint8Array(cellCount);
        if (region === undefined || region === null) {
            mask.fill(1);
            return mask;
        }
        let rectangles = region;
        if (!Array.isArray(region)) {
            rectangles = Array.isArray(region.rectangles) ? region.rectangles : [region];
        }
        rectangles.forEach(function (rectangle) {
            const width = rectangle.columns;
            const height = rectangle.rows;
            if ((width >>> 0) !== width || (height >>> 0) !== height) {
                throw new RangeError("a rectangle is {column, row, columns, rows}, not " + describe(rectangle));
            }
            if (width === 0 || height === 0) {
                return;
            }
            slotOf(rectangle.column, rectangle.row);
            slotOf(rectangle.column + width - 1, rectangle.row + height - 1);
            for (let column = rectangle.column; column < rectangle.column + width; ++column) {
                mask.fill(1, column * rows + rectangle.row, column * rows + rectangle.row + height);
            }
        });
        return mask;
    }

    // A hex given as [column, row] or {column, row}, inside the map.
    function hexOf(hex) {
        let column;
        let row;
        if (isArray(hex) && hex.length === 2) {
            column = hex[0];
            row = hex[1];
        } else if (hex !== null && typeof hex === "object" && !isArray(hex)) {
            column = hex.column;
            row = hex.row;
        } else {
            throw new TypeError("a hex is [column, row] or {column, row}, not " + describe(hex));
        }
        slotOf(column, row);
        return {column: column, row: row};
    }

    // A brush's radius: none is 0; one that reaches past every hex of the map is
    // the one that just does.
    function radiusOf(radius) {
        if (radius === undefined) {
            return 0;
        }
        if ((radius >>> 0) !== radius) {
            throw new RangeError("a brush's radius is a whole number 0 or more, not " + describe(radius));
        }
        return radius < columns + rows ? radius : columns + rows;
    }

    // Sets the slots a shape gave (32-bit numbers) to a checked value; gives their count.
    function paint(layer, value, shape) {
        const cells = new Int32ArrayOf(shape);
        for (let i = 0; i < cells.length; ++i) {
            store(layer, cells[i], value);
        }
        return cells.length;
    }

    // A cost table as the JSON text the rules read ("" for every hex costing 1);
    // the rules refuse a bad one naming its key. JSON would write a cost that is
    // no number (NaN, Infinity) as null, which means impassable: refused here.
    function costTableText(table) {
        if (table === undefined || table === null) {
            return "";
        }
        if (typeof table !== "object" || isArray(table)) {
            throw new TypeError("a cost table is an object {name, default, road, costs}, not " + describe(table));
        }
        const checkCost = function (key, value) {
            if (typeof value === "number" && !isFinite(value)) {
                throw new RangeError("the cost table's key \"" + key + "\" is a positive number or null, not " +
                                     describe(value));
            }
        };
        checkCost("default", table.default);
        checkCost("road", table.road);
        if (table.costs !== null && typeof table.costs === "object") {
            Object.keys(table.costs).forEach(function (key) { checkCost("costs." + key, table.costs[key]); });
        }
        return stringify(table);
    }

    // Hexes given one by one ([column, row] or {column, row}) rather than as rectangles.
    function isHexList(value) {
        if (!isArray(value)) {
            return false;
        }
        return value.length === 0 || isArray(value[0]) ||
            (value[0] !== null && typeof value[0] === "object" && value[0].columns === undefined);
    }

    function hexesOf(mask) {
        const hexes = [];
        for (let slot = 0; slot < cellCount; ++slot) {
            if (mask[slot]) {
                hexes.push({column: Math.floor(slot / rows), row: slot % rows});
            }
        }
        return hexes;
    }

    // Bytes 0, 1, 3, 5 and 6 may change; 2 and 4 are the shape.
    function setHeaderByte(index, value) {
        const at = Number(index);
        if (String(at) !== String(index) || (at >>> 0) !== at || at >= HeaderSize) {
            throw new RangeError("the header has bytes 0-" + (HeaderSize - 1) + ", not " + describe(index));
        }
        if (ShapeBytes[at] !== undefined) {
            throw new TypeError("header byte " + at + " is the map's " + ShapeBytes[at] +
                                " and cannot change (Map > Resize changes the shape)");
        }
        if ((value >>> 0) !== value || value > LargestByte) {
            throw new RangeError("a header byte is a whole number 0-255, not " + describe(value));
        }
        header[at] = value;
    }

    const headerView = new Proxy(header, {
        set: function (target, key, value) {
            setHeaderByte(key, value);
            return true;
        },
        defineProperty: function () { throw new TypeError("the header's bytes are set one by one"); },
        deleteProperty: function () { throw new TypeError("the header's bytes cannot be removed"); },
    });

    const map = {
        columns: columns,
        rows: rows,
        fileName: data.fileName,
        evenColumnsLower: evenLower,
        layers: data.layerNames.slice(),
        get: function (layer, column, row) {
            const cells = (layer >>> 0) === layer && layer < LayerCount ? bytes[layer] : bytes[layerIndex(layer)];
            if ((column >>> 0) !== column || column >= columns || (row >>> 0) !== row || row >= rows) {
                throw outside(column, row);
            }
            return cells[column * rows + row];
        },
        text: function (layer, column, row) {
            return textAt(layerIndex(layer), slotOf(column, row));
        },
        set: function (layer, column, row, value) {
            store(layerIndex(layer), slotOf(column, row), checkValue(value));
        },
        fill: function (layer, value, region) {
            const index = layerIndex(layer);
            checkValue(value);
            const mask = maskOf(region);
            let count = 0;
            for (let slot = 0; slot < cellCount; ++slot) {
                if (mask[slot]) {
                    store(index, slot, value);
                    ++count;
                }
            }
            return count;
        },
        // Cells whose byte is `from` (a number), or whose text is `from` (a text).
        replace: function (layer, from, to, region) {
            const index = layerIndex(layer);
            checkValue(from);
            checkValue(to);
            const mask = maskOf(region);
            let count = 0;
            for (let slot = 0; slot < cellCount; ++slot) {
                const matches = typeof from === "number" ? bytes[index][slot] === from : textAt(index, slot) === from;
                if (mask[slot] && matches) {
                    store(index, slot, to);
                    ++count;
                }
            }
            return count;
        },
        // The hex and those within `radius` steps of it (none: 0), on the map; gives the count.
        brush: function (layer, hex, value, radius) {
            const index = layerIndex(layer);
            const at = hexOf(hex);
            checkValue(value);
            return paint(index, value, shapes.brush(at.column, at.row, radiusOf(radius)));
        },
        // The hexes a straight line between the two hexes' centres crosses, one a
        // step, each widened by the brush of `radius`; gives the count.
        line: function (layer, from, to, value, radius) {
            const index = layerIndex(layer);
            const a = hexOf(from);
            const b = hexOf(to);
            checkValue(value);
            return paint(index, value, shapes.line(a.column, a.row, b.column, b.row, radiusOf(radius)));
        },
        // Steps between two hexes on the lattice, whatever lies between.
        distance: function (a, b) {
            const from = hexOf(a);
            const to = hexOf(b);
            return fairness.distance(from.column, from.row, to.column, to.row);
        },
        // The cheapest way from hex a to hex b over the terrain and roads as they
        // stand, the costs from a table (the cost table file's form; none: every
        // hex costs 1): {distance, cost, hexes}, cost null and no hexes when no way leads.
        path: function (a, b, costs) {
            const from = hexOf(a);
            const to = hexOf(b);
            const table = costTableText(costs);
            const found = fairness.path(bytes[TerrainLayer].buffer, bytes[RoadsLayer].buffer, from.column, from.row,
                                        to.column, to.row, table);
            if (found.error !== undefined) {
                throw new TypeError(found.error);
            }
            const distance = fairness.distance(from.column, from.row, to.column, to.row);
            if (found.cost === undefined) {
                return {distance: distance, cost: null, hexes: []};
            }
            const slots = new Int32ArrayOf(found.slots);
            const hexes = [];
            for (let i = 0; i < slots.length; ++i) {
                hexes.push({column: Math.floor(slots[i] / rows), row: slots[i] % rows});
            }
            return {distance: distance, cost: found.cost, hexes: hexes};
        },
        // What the hexes hold (a list of hexes, a region as fill takes it, or
        // nothing for the whole map), each counted once: {hexes, terrain: {VALUE:
        // count}, cities, roads, "height b1": {min, mean, max}}.
        stats: function (hexes) {
            const layers = new Uint8Array(LayerCount * cellCount);
            for (let layer = 0; layer < LayerCount; ++layer) {
                layers.set(bytes[layer], layer * cellCount);
            }
            if (hexes === undefined || hexes === null) {
                return fairness.stats(layers.buffer, new ArrayBufferOf(0), true);
            }
            let slots;
            if (isHexList(hexes)) {
                slots = new Int32ArrayOf(hexes.length);
                for (let i = 0; i < hexes.length; ++i) {
                    const at = hexOf(hexes[i]);
                    slots[i] = at.column * rows + at.row;
                }
            } else {
                const mask = maskOf(hexes);
                const chosen = [];
                for (let slot = 0; slot < cellCount; ++slot) {
                    if (mask[slot]) {
                        chosen.push(slot);
                    }
                }
                slots = new Int32ArrayOf(chosen.length);
                for (let i = 0; i < chosen.length; ++i) {
                    slots[i] = chosen[i];
                }
            }
            return fairness.stats(layers.buffer, slots.buffer, false);
        },
        // Up, up-right, down-right, down, down-left, up-left: those inside the map.
        neighbours: function (column, row) {
            slotOf(column, row);
            const lowered = ((column & 1) === 1) !== evenLower;
            const up = lowered ? 0 : -1;
            const around = [[column, row - 1], [column + 1, row + up], [column + 1, row + up + 1],
                            [column, row + 1], [column - 1, row + up + 1], [column - 1, row + up]];
            return around.filter(function (hex) { return isInside(hex[0], hex[1]); })
                .map(function (hex) { return {column: hex[0], row: hex[1]}; });
        },
    };
    Object.defineProperty(map, "header", {
        enumerable: true,
        get: function () { return headerView; },
        set: function (values) {
            if (!values || values.length !== HeaderSize) {
                throw new RangeError("the header is " + HeaderSize + " bytes");
            }
            for (let i = 0; i < HeaderSize; ++i) {
                if (ShapeBytes[i] === undefined || values[i] !== header[i]) {
                    setHeaderByte(i, values[i]);
                }
            }
        },
    });
    Object.freeze(map);

    const terrain = {};
    data.terrainNames.forEach(function (name, value) {
        terrain[name] = value;
        terrain[name.replace(/ /g, "")] = value;
    });
    Object.defineProperty(terrain, "nameOf", {
        value: function (value) {
            return Object.prototype.hasOwnProperty.call(data.terrainNames, value) && value !== "length"
                ? data.terrainNames[value] : undefined;
        },
    });
    Object.freeze(terrain);

    // The merge being settled: the conflicts left as the run started, each
    // {column, row, layer, base, ours, theirs} (a header byte's has `headerByte`
    // in place of column, row and layer; -1 stands for a hex a side's resize
    // removed), and take(side, which), which writes that side's bytes into the
    // copy and counts those conflicts as settled with the run's step. `which`
    // is a conflict of the list, an array of them, a hex ({column, row}: its
    // conflicts), or nothing (every conflict left).
    const taken = new Set();
    const conflictIndex = new Map(); // each listed object to its place in the merge
    const conflicts = Object.freeze(data.conflicts.map(function (c) {
        const shown = c.headerByte >= 0
            ? {headerByte: c.headerByte, base: c.base, ours: c.ours, theirs: c.theirs}
            : {column: c.column, row: c.row, layer: c.layer, base: c.base, ours: c.ours, theirs: c.theirs};
        Object.freeze(shown);
        conflictIndex.set(shown, c);
        return shown;
    }));
    function chosen(which) {
        if (which === undefined) {
            return conflicts;
        }
        if (Array.isArray(which)) {
            return which.map(function (one) {
                if (!conflictIndex.has(one)) {
                    throw new TypeError("merge.take takes conflicts of merge.conflicts, not " + describe(one));
                }
                return one;
            });
        }
        if (conflictIndex.has(which)) {
            return [which];
        }
        if (which !== null && typeof which === "object" && "column" in which && "row" in which) {
            slotOf(which.column, which.row);
            return conflicts.filter(function (c) { return c.column === which.column && c.row === which.row; });
        }
        throw new TypeError("merge.take takes a conflict, a list of them, a hex or nothing, not " + describe(which));
    }
    const merge = Object.freeze({
        isMerging: data.merging,
        conflicts: conflicts,
        take: function (side, which) {
            if (side !== "ours" && side !== "theirs" && side !== "base") {
                throw new TypeError("merge.take's side is \"ours\", \"theirs\" or \"base\", not " + describe(side));
            }
            const list = chosen(which);
            list.forEach(function (shown) {
                const c = conflictIndex.get(shown);
                const value = c[side];
                if (value >= 0) {
                    if (c.headerByte >= 0) {
                        header[c.headerByte] = value;
                    } else {
                        store(c.layer, c.column * rows + c.row, value);
                    }
                }
                taken.add(c.index);
            });
            return list.length;
        },
    });

    const selectionMask = maskOf(data.selection.length > 0 ? data.selection : undefined);
    const selectedCount = selectionMask.reduce(function (sum, bit) { return sum + bit; }, 0);
    let selectedHexes = null; // made when first asked for
    function hexesSelected() {
        if (selectedHexes === null) {
            selectedHexes = Object.freeze(hexesOf(selectionMask).map(Object.freeze));
        }
        return selectedHexes;
    }
    const selection = Object.freeze({
        rectangles: Object.freeze(data.selection.length > 0 ? data.selection.map(Object.freeze)
                                                            : [Object.freeze({column: 0, row: 0, columns: columns, rows: rows})]),
        isWholeMap: data.selection.length === 0,
        count: selectedCount,
        contains: function (column, row) { return isInside(column, row) && selectionMask[column * rows + row] === 1; },
        hexes: function () { return hexesSelected().slice(); },
        [Symbol.iterator]: function () { return hexesSelected()[Symbol.iterator](); },
    });

    function report(column, row, message) {
        if (arguments.length !== 1 && arguments.length !== 3) {
            throw new TypeError("report takes (column, row, message) or (message)");
        }
        if (arguments.length === 3) {
            slotOf(column, row);
        }
        if (problems.length >= ProblemLimit) {
            ++problemsOver;
            return;
        }
        let text = describe(arguments.length === 1 ? column : message);
        if (text.length > LongestProblem) {
            text = text.substring(0, LongestProblem) + "… (" + (text.length - LongestProblem) + " characters more)";
        }
        problems[problems.length] = arguments.length === 1 ? {column: -1, row: -1, message: text}
                                                           : {column: column, row: row, message: text};
    }

    function print() {
        if (printed.length >= PrintLimit || printedText >= PrintedTextLimit) {
            ++printedOver;
            return;
        }
        let line = "";
        for (let i = 0; i < arguments.length; ++i) {
            line += (i > 0 ? " " : "") + describe(arguments[i]);
            if (line.length > PrintedTextLimit - printedText) {
                line = line.substring(0, PrintedTextLimit - printedText);
                break;
            }
        }
        printedText += line.length;
        printed[printed.length] = line;
    }

    // Texts packed for the runner: all of them in one string, and their
    // lengths (and for problems their hexes, -1 for the whole map) in an
    // ArrayBuffer of 32-bit numbers, so that reading back costs a few calls
    // whatever the count. Made with the built-ins taken before the script ran.
    function packed(texts, numbersOf) {
        const perText = numbersOf ? 3 : 1;
        const buffer = new ArrayBufferOf(4 * perText * texts.length);
        const numbers = new Int32ArrayOf(buffer);
        let text = "";
        for (let i = 0; i < texts.length; ++i) {
            const item = texts[i];
            const message = numbersOf ? item.message : item;
            text += message;
            numbers[i * perText] = message.length;
            if (numbersOf) {
                numbers[i * perText + 1] = item.column;
                numbers[i * perText + 2] = item.row;
            }
        }
        return {text: text, numbers: buffer, count: texts.length};
    }

    return {
        globals: {
            map: map, terrain: terrain, selection: selection, merge: merge, report: report, print: print,
            args: Object.freeze(data.arguments.slice()),
        },
        describe: describe,
        // What the run came to, for the runner.
        outcome: function () {
            return {
                dirty: dirty,
                typed: typed.map(function (texts, layer) { return dirty[layer] ? Array.from(texts) : []; }),
                header: header.slice(),
                taken: Array.from(taken),
                problems: packed(problems, true),
                problemsOver: problemsOver,
                printed: packed(printed, false),
                printedOver: printedOver,
            };
        },
    };
})
