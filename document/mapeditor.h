// SPDX-License-Identifier: MIT
// One editing session: the map document, the layer on show, the one selection
// with its current hex, the lattice layout, the brush, and the actions on the map
// as calls that return a result and name their undo step. A tab of the window, a
// script and a test drive the same session; the views, the picture, the docks
// and the status line follow its signals and keep no copy of its state.
// Questions to the user (may edits be lost? which file?) are the window's: the
// session says what it needs to know (hasUnwrittenEdits()), the window asks.
#pragma once

#include "hexgeometry.h"
#include "mapcomparison.h"
#include "mapdocument.h"
#include "mapfairness.h"
#include "mapmerging.h"
#include "mapselection.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class MapEditor : public QObject {
    Q_OBJECT

public:
    explicit MapEditor(QObject* parent = nullptr);

    MapDocument& document() { return document_; }
    const MapDocument& document() const { return document_; }
    MapSelection& selection() { return document_.selection(); }
    const MapSelection& selection() const { return document_.selection(); }

    // The layer on show, 0 to 12.
    int layer() const { return layer_; }
    void setLayer(int layer);
    // The layer `step` away from the one on show, round the 13: after the last
    // comes the first.
    void stepLayer(int step);

    // The current hex: the one a click, a key or Go to Hex chose, none before one
    // was chosen in this map. Its one place is the selection. A hex outside the
    // layers' grid changes nothing.
    std::optional<HexCell> currentHex() const { return document_.selection().currentHex(); }
    void setCurrentHex(std::optional<HexCell> hex);

    // How the columns are staggered: even columns half a hex lower, or odd ones.
    bool evenColumnsLower() const { return evenColumnsLower_; }
    void setEvenColumnsLower(bool lower);

    // What the paint tool puts down: a value's text, a radius in hexes (0 is one
    // hex) and what a drag draws.
    enum class BrushShape { Brush, Line, Rectangle };
    static constexpr int MaximumBrushRadius = 4;
    const QString& brushText() const { return brushText_; }
    int brushRadius() const { return brushRadius_; }
    BrushShape brushShape() const { return brushShape_; }
    void setBrushText(const QString& text);
    void setBrushRadius(int radius);
    void setBrushShape(BrushShape shape);
    // The hexes of the map the brush covers round `centre`, in this layout.
    std::vector<HexCell> brushCells(HexCell centre) const;

    // Whether the map holds edits that no write has kept since it was read.
    bool hasUnwrittenEdits() const { return document_.isModified(); }

    // The file actions; each returns what the document's call returned.
    // A map that comes in another way than a merge ends the merge (see merge()).
    DocumentResult open(const QString& fileName);
    // A write of a merge with no conflict left also removes the conflict list
    // `amptool merge --git` left beside the map (MAP.conflicts): it is settled.
    DocumentResult write(const QString& fileName);
    void newMap(int columns, int rows);
    DocumentResult reload() { return document_.reloadFromDisk(); }
    DocumentResult recover(const std::vector<std::uint8_t>& copy,
                           const std::vector<MapDocument::TypedCell>& typed, const QString& fileName) {
        stopMerging();
        return document_.recover(copy, typed, fileName);
    }

    // Go to Hex: "12,7" or "12 7" (spaces around allowed) names a hex of the map,
    // which becomes the current one. Anything else changes nothing and the
    // result's message says why (Failed).
    DocumentResult goToHex(const QString& text);

    // The edits that take the session's layer, layout and brush: a flood fill
    // from a hex, and a paint stroke of brush dabs (cancel() takes it back and
    // leaves no redo step).
    DocumentResult floodFill(HexCell hex);
    void beginStroke() { document_.beginStroke(layer_, brushText_); }
    DocumentResult paintDab(HexCell centre) { return document_.paintDab(brushCells(centre)); }
    void endStroke() { document_.endStroke(); }
    void cancelStroke() { document_.cancelStroke(); }

    // The map compared with: another map, read from a file and never edited
    // here, compared hex by hex with the session's map (see MapComparison).
    // compareWith() reads it (a failure changes nothing; comparing with another
    // file replaces the one before), stopComparing() lets it go.
    DocumentResult compareWith(const QString& fileName);
    void stopComparing();
    bool isComparing() const { return comparison_ != nullptr; }
    // The comparison, none while nothing is compared.
    MapComparison* comparison() const { return comparison_.get(); }
    // The map compared with (before a comparison, a document with no map).
    MapDocument& comparedMap() { return compared_; }
    const MapDocument& comparedMap() const { return compared_; }
    // Take theirs: the compared map's cells for the current hex, the selection,
    // the layer on show or everything, as one undo step. Its name, or an empty
    // text when the maps agree there (or nothing is compared, or no hex is
    // current for Hex).
    QString takeTheirs(MapComparison::Scope scope);
    // Swap: the map compared with is read as the session's map, and the map that
    // was edited becomes the one compared with, both as they are on disk. Edits
    // not written are lost: the caller asks first (hasUnwrittenEdits()). Fails,
    // changing nothing, when nothing is compared or the session's map has no file.
    DocumentResult swapCompared();

    // The merge being settled: three maps (the base and two maps made from it)
    // merged by the one rule amptool merge follows too (mapmerge.h). merge()
    // reads the three; any failure (a file that cannot be read, both sides
    // resized differently) changes nothing and says why. The merged map becomes
    // the session's map, named `output` so that a write goes there, and unwritten
    // until written; the merge (MapMerge) keeps its conflicts and which are left.
    // Reading or making another map, or stopMerging(), ends it.
    DocumentResult merge(const QString& base, const QString& ours, const QString& theirs,
                         const QString& output);
    void stopMerging();
    bool isMerging() const { return merge_ != nullptr; }
    MapMerge* merge() const { return merge_.get(); }
    // Takes a side for the current hex, the selection, the layer on show or every
    // conflict left, as one undo step; its name, or an empty text when no
    // conflict is there (or nothing is merged, or no hex is current for Hex).
    QString take(MapMerge::Side side, MapMerge::Scope scope);

    // The cost table, the ruler and the territories of this session's map.
    MapFairness& fairness() { return *fairness_; }

signals:
    // A merge began or ended.
    void mergeChanged();
    // A comparison began or ended, or the map compared with is another one.
    void comparisonChanged();
    void layerChanged(int layer);
    // The current hex changed; (-1, -1) for none.
    void currentHexChanged(int column, int row);
    void layoutChanged(bool evenColumnsLower);
    void brushChanged();

private:
    MapDocument document_;
    MapDocument compared_;
    std::unique_ptr<MapComparison> comparison_;
    std::unique_ptr<MapMerge> merge_;
    MapFairness* fairness_; // a child of the session
    int layer_ = 0;
    bool evenColumnsLower_ = false;
    QString brushText_ = QStringLiteral("0");
    int brushRadius_ = 0;
    BrushShape brushShape_ = BrushShape::Brush;
};
