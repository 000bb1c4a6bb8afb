// SPDX-License-Identifier: MIT
// What a session knows about the fairness of its map: the cost table chosen for
// paths, the ruler's two ends with the line, distance and cheapest path between
// them, and the territories of the chosen sides (each side a set of start
// hexes). The session owns one; the picture, the status line and the Statistics
// dock follow its signals and keep no copy. The map's bytes are read again only
// after a change, and the territories and everyone who counts are told a short,
// quiet moment after the last change (a stroke changes many cells).
#pragma once

#include "costtable.h"
#include "hexgeometry.h"
#include "hexpaths.h"
#include "maplayers.h"
#include "mapstats.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class MapEditor;
class QTimer;
struct DocumentResult;

class MapFairness : public QObject {
    Q_OBJECT

public:
    explicit MapFairness(MapEditor& editor);
    ~MapFairness() override;

    // The map's layers as the counting and walking rules read them: the bytes a
    // write would store. Valid until the next change of the map.
    const amp::MapLayers& layers();
    hexsymmetry::MapShape shape() const;

    // The cost table paths and territories use: none (every step costs 1, and
    // the ruler shows no path) or one read from a file, named by the file's base
    // name. A table that cannot be read or is refused changes nothing; the
    // result's message says why, naming the key at fault.
    bool hasCostTable() const { return table_.has_value(); }
    const QString& costTableName() const { return tableName_; }
    const QString& costTableFile() const { return tableFile_; }
    DocumentResult chooseCostTable(const QString& fileName);
    void clearCostTable();

    // The ruler: from one hex to another, the straight line of hexes, the
    // distance in steps and, with a cost table, the cheapest path. Moving the
    // far end from the same start walks back over costs found once.
    struct Ruler {
        HexCell from;
        HexCell to;
        int distance = 0;
        std::vector<HexCell> line;
        bool costed = false;           // a cost table was chosen
        std::optional<amp::Path> path; // none when no way leads there
    };
    void setRuler(HexCell from, HexCell to);
    void clearRuler();
    const std::optional<Ruler>& ruler() const { return ruler_; }
    // What the status line says of the ruler: "12 hexes · path cost 17.5 (default)".
    QString rulerText() const;

    // Territories: each side holds the hexes nearer (by path cost) to one of its
    // starts than to any start of another side; equally near two sides is
    // contested. Two sides or more, each with a start on the map; otherwise
    // nothing changes and the message says why.
    DocumentResult setSides(const std::vector<std::vector<HexCell>>& sides);
    void clearSides();
    bool hasTerritories() const { return !sides_.empty(); }
    const std::vector<std::vector<HexCell>>& sides() const { return sides_; }
    // By slot (column * rows + row): the side's index, amp::Contested or
    // amp::Unreached; empty without sides. Found again once the map is quiet
    // after a change (see mapSettled).
    const std::vector<std::int32_t>& owners() const { return owners_; }
    // The slots each side holds.
    std::vector<std::int32_t> slotsOfSide(int side);
    // The hexes of "city b1" on each half (left and right, or top and bottom) as
    // the starts of that half's side.
    std::vector<std::vector<HexCell>> citySidesOfHalves(amp::Half half);

signals:
    void costTableChanged();
    void rulerChanged();
    void territoriesChanged();
    // The map changed and has been quiet for a moment since (or was replaced).
    void mapSettled();

private:
    void mapChanged();
    void settle();
    void measure();
    void computeTerritories();
    void costsChanged();
    const amp::CostGrid& grid();

    MapEditor& editor_;
    QTimer* quiet_;
    std::uint64_t content_ = 1; // counts the changes of the map and its layout
    std::uint64_t layersOf_ = 0;
    std::vector<std::uint8_t> bytes_; // a file's records, as a write makes them
    amp::MapLayers layers_;
    std::optional<amp::CostTable> table_;
    QString tableName_;
    QString tableFile_;
    std::uint64_t gridOf_ = 0;
    amp::CostGrid grid_;
    // The least cost from the ruler's start to every hex, and what it was found for.
    std::vector<double> field_;
    std::optional<HexCell> fieldFrom_;
    std::uint64_t fieldOf_ = 0;
    std::optional<Ruler> ruler_;
    std::vector<std::vector<HexCell>> sides_;
    std::vector<std::int32_t> owners_;
};
