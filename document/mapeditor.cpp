// SPDX-License-Identifier: MIT
#include "mapeditor.h"
#include "filenames.h"
#include "hexshapes.h"
#include "mapfileio.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

MapEditor::MapEditor(QObject* parent) : QObject(parent), fairness_(new MapFairness(*this)) {
    // A new map (read, made, reloaded in another shape) has no current hex yet.
    connect(&document_, &MapDocument::mapReset, this, [this] { emit currentHexChanged(-1, -1); });
}

void MapEditor::setLayer(int layer) {
    layer = std::clamp(layer, 0, amp::LayerCount - 1);
    if (layer != layer_) {
        layer_ = layer;
        emit layerChanged(layer_);
    }
}

void MapEditor::stepLayer(int step) {
    setLayer(((layer_ + step) % amp::LayerCount + amp::LayerCount) % amp::LayerCount);
}

void MapEditor::setCurrentHex(std::optional<HexCell> hex) {
    // The grid the views show (before a map, the form's empty one).
    const LayerModel* grid = document_.layer(amp::TerrainLayer);
    if (hex &&
        (hex->column < 0 || hex->row < 0 || hex->column >= grid->columns() || hex->row >= grid->rows())) {
        return; // no cell of the grid
    }
    const std::optional<HexCell> before = currentHex();
    const bool same = before.has_value() == hex.has_value() &&
                      (!hex || (before->column == hex->column && before->row == hex->row));
    if (same) {
        return;
    }
    document_.selection().setCurrentHex(hex);
    emit currentHexChanged(hex ? hex->column : -1, hex ? hex->row : -1);
}

void MapEditor::setEvenColumnsLower(bool lower) {
    if (lower != evenColumnsLower_) {
        evenColumnsLower_ = lower;
        emit layoutChanged(lower);
    }
}

void MapEditor::setBrushText(const QString& text) {
    if (text != brushText_) {
        brushText_ = text;
        emit brushChanged();
    }
}

void MapEditor::setBrushRadius(int radius) {
    radius = std::clamp(radius, 0, MaximumBrushRadius);
    if (radius != brushRadius_) {
        brushRadius_ = radius;
        emit brushChanged();
    }
}

void MapEditor::setBrushShape(BrushShape shape) {
    if (shape != brushShape_) {
        brushShape_ = shape;
        emit brushChanged();
    }
}

std::vector<HexCell> MapEditor::brushCells(HexCell centre) const {
    const hexsymmetry::MapShape map{document_.columns(), document_.rows(), evenColumnsLower_};
    std::vector<HexCell> cells;
    for (const hexsymmetry::Offset& hex :
         hexsymmetry::brush(map, {centre.column, centre.row}, brushRadius_)) {
        cells.push_back({hex.column, hex.row});
    }
    return cells;
}

DocumentResult MapEditor::goToHex(const QString& text) {
    static const QRegularExpression shape(QStringLiteral(R"(^\s*(\d{1,9})\s*(?:,|\s)\s*(\d{1,9})\s*$)"));
    const QRegularExpressionMatch match = shape.match(text);
    if (!match.hasMatch()) {
        return {DocumentResult::Kind::Failed,
                tr("\"%1\" names no hex: give its column and row, as in 12,7.").arg(text.left(40)),
                {}};
    }
    const int column = match.captured(1).toInt();
    const int row = match.captured(2).toInt();
    const int columns = document_.columns();
    const int rows = document_.rows();
    if (columns == 0 || rows == 0) {
        return {DocumentResult::Kind::Failed,
                tr("The map has no hexes: %1 columns and %2 rows.").arg(columns).arg(rows),
                {}};
    }
    if (column >= columns || row >= rows) {
        return {DocumentResult::Kind::Failed,
                tr("There is no hex %1,%2: the map has %3 columns and %4 rows (hexes 0,0 to %5,%6).")
                    .arg(column)
                    .arg(row)
                    .arg(columns)
                    .arg(rows)
                    .arg(columns - 1)
                    .arg(rows - 1),
                {}};
    }
    setCurrentHex(HexCell{column, row});
    return {};
}

DocumentResult MapEditor::floodFill(HexCell hex) {
    return document_.floodFill(layer_, hex.column, hex.row, evenColumnsLower_, brushText_);
}

DocumentResult MapEditor::compareWith(const QString& fileName) {
    const DocumentResult read = compared_.read(fileName);
    if (!read) {
        return read;
    }
    if (!comparison_) {
        comparison_ = std::make_unique<MapComparison>(document_, compared_);
    }
    emit comparisonChanged();
    return read;
}

// The followers let go of the comparison while it still exists.
void MapEditor::stopComparing() {
    if (!comparison_) {
        return;
    }
    const std::unique_ptr<MapComparison> ending = std::move(comparison_);
    emit comparisonChanged();
}

QString MapEditor::takeTheirs(MapComparison::Scope scope) {
    const std::optional<HexCell> hex = currentHex();
    if (!comparison_ || (scope == MapComparison::Scope::Hex && !hex)) {
        return {};
    }
    return comparison_->takeTheirs(scope, layer_, hex.value_or(HexCell{}));
}

DocumentResult MapEditor::swapCompared() {
    const QString mine = document_.fileName();
    const QString theirs = compared_.fileName();
    if (!comparison_ || theirs.isEmpty()) {
        return {DocumentResult::Kind::Failed, tr("No map is compared with: there is nothing to swap."), {}};
    }
    if (mine.isEmpty()) {
        return {DocumentResult::Kind::Failed,
                tr("The edited map has no file yet: write it first, then swap."),
                {}};
    }
    if (const DocumentResult read = document_.read(theirs); !read) {
        return read;
    }
    return compareWith(mine);
}

DocumentResult MapEditor::open(const QString& fileName) {
    const DocumentResult read = document_.read(fileName);
    if (read) {
        stopMerging();
    }
    return read;
}

void MapEditor::newMap(int columns, int rows) {
    stopMerging();
    document_.newMap(columns, rows);
}

DocumentResult MapEditor::merge(const QString& base, const QString& ours, const QString& theirs,
                                const QString& output) {
    // The merged map is written over ours at the most, as git's merge does:
    // over the base or theirs it would destroy a side of the merge.
    for (const QString& side : {base, theirs}) {
        if (namesSameFile(output, side)) {
            return {DocumentResult::Kind::Failed,
                    tr("The merged map would replace %1, a map it is merged from: name another file")
                        .arg(QDir::toNativeSeparators(side)),
                    {}};
        }
    }
    // All three are read before anything changes.
    std::vector<std::uint8_t> bytes[3];
    std::optional<amp::MapView> views[3];
    const QString names[3] = {base, ours, theirs};
    for (int i = 0; i < 3; ++i) {
        auto read = amp::readMapFile(names[i]);
        if (!read) {
            const bool open = read.error().kind == amp::MapErrorKind::CannotOpen;
            return {open ? DocumentResult::Kind::CannotOpen : DocumentResult::Kind::CannotRead,
                    tr("%1: %2").arg(names[i], QString::fromStdString(read.error().message)),
                    {}};
        }
        bytes[i] = std::move(read).value();
        auto viewed = amp::viewMap(bytes[i]);
        if (!viewed) {
            return {
                DocumentResult::Kind::NotAMap,
                tr("%1 is not a map file: %2").arg(names[i], QString::fromStdString(viewed.error().message)),
                {}};
        }
        views[i] = viewed.value();
    }
    auto merged = amp::mergeMaps(*views[0], *views[1], *views[2]);
    if (!merged) {
        return {DocumentResult::Kind::Failed,
                tr("The maps cannot be merged: %1").arg(QString::fromStdString(merged.error().message)),
                {}};
    }
    stopMerging();
    amp::MergeResult result = std::move(merged).value();
    document_.load(result.merged, output);
    document_.undoStack()->resetClean(); // no file holds the merged map yet
    merge_ =
        std::make_unique<MapMerge>(document_, std::move(result.conflicts), QStringList{base, ours, theirs});
    emit mergeChanged();
    DocumentResult done;
    done.note = merge_->countText();
    return done;
}

// The followers let go of the merge while it still exists.
void MapEditor::stopMerging() {
    if (!merge_) {
        return;
    }
    const std::unique_ptr<MapMerge> ending = std::move(merge_);
    emit mergeChanged();
}

QString MapEditor::take(MapMerge::Side side, MapMerge::Scope scope) {
    const std::optional<HexCell> hex = currentHex();
    if (!merge_ || (scope == MapMerge::Scope::Hex && !hex)) {
        return {};
    }
    return merge_->take(side, scope, layer_, hex);
}

DocumentResult MapEditor::write(const QString& fileName) {
    DocumentResult written = document_.write(fileName);
    if (written && merge_ && merge_->leftCount() == 0) {
        QFile::remove(fileName + QStringLiteral(".conflicts"));
    }
    return written;
}
