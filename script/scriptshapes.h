// SPDX-License-Identifier: MIT
// The lattice shapes for the scripting API (map.brush, map.line): the same
// plain-C++ code the picture paints with (hexshapes), handed to api.js inside
// its data and never to the script itself. It knows the map's shape and layout
// only and gives the hexes of a shape as their slots (column * rows + row, the
// file's order) in an ArrayBuffer of 32-bit numbers; api.js writes the cells.
#pragma once

#include "hexshapes.h"

#include <QByteArray>
#include <QObject>

class ScriptShapes final : public QObject {
    Q_OBJECT

public:
    explicit ScriptShapes(hexsymmetry::MapShape map) : map_(map) {}

    // Hexes off the map give nothing: api.js checks them first.
    Q_INVOKABLE QByteArray brush(int column, int row, int radius) const;
    Q_INVOKABLE QByteArray line(int column1, int row1, int column2, int row2, int radius) const;

private:
    QByteArray slotsOf(const std::vector<hexsymmetry::Offset>& hexes) const;

    hexsymmetry::MapShape map_;
};
