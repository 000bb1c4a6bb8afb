// SPDX-License-Identifier: MIT
// The fairness rules for the scripting API (map.distance, map.path, map.stats):
// the same plain-C++ code amptool and the window use (hexpaths, mapstats),
// handed to api.js inside its data and never to the script itself. api.js
// passes the layers' bytes as they stand in the run (a script may have changed
// them) and turns what comes back into plain JavaScript values.
#pragma once

#include "hexshapes.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariantMap>

class ScriptFairness final : public QObject {
    Q_OBJECT

public:
    explicit ScriptFairness(hexsymmetry::MapShape map) : map_(map) {}

    // Steps between two hexes of the map (api.js checks them first).
    Q_INVOKABLE int distance(int column1, int row1, int column2, int row2) const;
    // The cheapest path over the terrain and roads bytes, through the cost
    // table's JSON (empty: every hex costs 1): {cost, slots} (slots an
    // ArrayBuffer of 32-bit slots, start to goal), {} when no way leads, or
    // {error} for a table refused.
    Q_INVOKABLE QVariantMap path(const QByteArray& terrain, const QByteArray& roads, int column1, int row1,
                                 int column2, int row2, const QString& table) const;
    // What the hexes hold: `layers` is the 13 layers' bytes one after the other,
    // `slotList` an ArrayBuffer of 32-bit slots, or every hex with `whole`.
    // {hexes, terrain: {VALUE: count}, cities, roads, "height b1": {min, mean, max}}.
    Q_INVOKABLE QVariantMap stats(const QByteArray& layers, const QByteArray& slotList, bool whole) const;

private:
    hexsymmetry::MapShape map_;
};
