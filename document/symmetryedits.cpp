// SPDX-License-Identifier: MIT
#include "symmetryedits.h"
#include "mapdocument.h"

#include <QCoreApplication>
#include <QLocale>

namespace symmetryedits {

namespace {

using namespace hexsymmetry;

QString tr(const char* text) {
    return QCoreApplication::translate("symmetryedits", text);
}

QString count(qsizetype n) {
    return QLocale(QLocale::English).toString(n);
}

} // namespace

// A selection of one hex is where the click went, not a part of the map.
bool usesSelection(const MapDocument& document, bool selectionOnly) {
    return selectionOnly && document.selection().cellCount() > 1;
}

namespace {

// The selection's bounding rectangle.
HexRect selectionBounds(const MapDocument& document) {
    QRect bounds;
    for (const QRect& rectangle : document.selection().rectangles()) {
        bounds |= rectangle;
    }
    return {bounds.left(), bounds.top(), bounds.width(), bounds.height()};
}

HexRect regionOf(const MapDocument& document, bool selectionOnly) {
    if (!usesSelection(document, selectionOnly)) {
        return {0, 0, document.columns(), document.rows()};
    }
    return selectionBounds(document);
}

Offset hexAt(const HexRect& rect, int index) {
    return {rect.left + index / rect.rows, rect.top + index % rect.rows};
}

} // namespace

QString describe(const SymmetryRequest& request) {
    if (request.action == SymmetryRequest::Action::Flip) {
        switch (request.flip) {
        case Flip::LeftRight:
            return tr("Flip left–right");
        case Flip::TopBottom:
            return tr("Flip top–bottom");
        case Flip::Point:
            return tr("Rotate 180°");
        }
    }
    if (request.mode == Mode::Point) {
        switch (request.side) {
        case Side::Left:
            return tr("Point symmetry from the left half");
        case Side::Right:
            return tr("Point symmetry from the right half");
        case Side::Top:
            return tr("Point symmetry from the top half");
        default:
            return tr("Point symmetry from the bottom half");
        }
    }
    switch (request.side) {
    case Side::Left:
        return tr("Mirror left half onto right");
    case Side::Right:
        return tr("Mirror right half onto left");
    case Side::Top:
        return tr("Mirror top half onto bottom");
    case Side::Bottom:
        return tr("Mirror bottom half onto top");
    default:
        return tr("Mirror top-left quarter onto the rest");
    }
}

std::optional<Mapping> mappingFor(const MapDocument& document, const SymmetryRequest& request,
                                  bool evenColumnsLower) {
    const HexRect rect = regionOf(document, request.selectionOnly);
    if (request.action == SymmetryRequest::Action::Flip) {
        return flipMapping(request.flip, rect, evenColumnsLower);
    }
    return symmetryMapping(request.side, request.mode, rect, evenColumnsLower);
}

int countWithoutImage(const MapDocument& document, const SymmetryRequest& request, bool evenColumnsLower) {
    const auto mapping = mappingFor(document, request, evenColumnsLower);
    return mapping ? mapping->withoutImage : -1;
}

QString apply(MapDocument& document, int layer, const SymmetryRequest& request, bool evenColumnsLower) {
    const auto mapping = mappingFor(document, request, evenColumnsLower);
    if (!mapping || mapping->rect.count() <= 0 || layer < 0 || layer >= amp::LayerCount) {
        return {};
    }
    const HexRect& rect = mapping->rect;
    const bool selection = usesSelection(document, request.selectionOnly);
    const QString name = tr("%1 of the %2, %3 (%4 hexes without an image)")
                             .arg(describe(request), selection ? tr("selection") : tr("map"),
                                  request.allLayers ? tr("all layers") : tr("layer %1").arg(layer),
                                  count(mapping->withoutImage));
    const int first = request.allLayers ? 0 : layer;
    const int last = request.allLayers ? amp::LayerCount - 1 : layer;
    // Bytes move as a block; a cell whose text was typed ("007") or is empty
    // takes its text along, cell by cell.
    bool plain = true;
    for (int l = first; l <= last && plain; ++l) {
        const LayerModel* model = document.layer(l);
        for (int i = 0; i < rect.count() && plain; ++i) {
            const Offset hex = hexAt(rect, i);
            plain = model->kindAt(model->slotOf(hex.column, hex.row)) == LayerModel::Kind::Canonical;
        }
    }
    if (plain) {
        CellBlock block{rect.columns, rect.rows, last - first + 1, {}};
        block.bytes.reserve(static_cast<std::size_t>(rect.count() * block.layers));
        for (int l = first; l <= last; ++l) {
            const LayerModel* model = document.layer(l);
            for (const std::int32_t from : mapping->from) {
                const Offset source = hexAt(rect, from);
                block.bytes.push_back(model->byteAt(model->slotOf(source.column, source.row)));
            }
        }
        return document.placeBlock(name, block, rect.left, rect.top, layer) ? name : QString();
    }
    std::vector<CellEdit> edits;
    for (int l = first; l <= last; ++l) {
        const LayerModel* model = document.layer(l);
        for (int i = 0; i < rect.count(); ++i) {
            const int from = mapping->from[static_cast<std::size_t>(i)];
            if (from != i) {
                const Offset hex = hexAt(rect, i), source = hexAt(rect, from);
                edits.push_back({l, hex.column, hex.row, model->cellText(source.column, source.row)});
            }
        }
    }
    return document.editCells(name, edits) ? name : QString();
}

void setSymmetricBrush(MapDocument& document, std::optional<BrushSymmetry> symmetry,
                       std::function<bool()> evenColumnsLower) {
    if (!symmetry) {
        document.setBrushImages({});
        return;
    }
    // The group is worked out once for each shape of map and layout.
    struct Group {
        std::optional<Mapping> mapping;
        bool even = false;
    };
    auto group = std::make_shared<Group>();
    document.setBrushImages(
        [&document, symmetry, evenColumnsLower, group](HexCell cell) {
            const HexRect rect{0, 0, document.columns(), document.rows()};
            const bool even = evenColumnsLower();
            if (!group->mapping || group->even != even || group->mapping->rect.columns != rect.columns ||
                group->mapping->rect.rows != rect.rows) {
                group->mapping = symmetryMapping(symmetry->side, symmetry->mode, rect, even, false);
                group->even = even;
            }
            std::vector<HexCell> images;
            if (group->mapping) {
                for (const Offset& image : imagesOf(*group->mapping, {cell.column, cell.row}, even)) {
                    images.push_back({image.column, image.row});
                }
            }
            return images;
        },
        describe(*symmetry));
}

QString describe(BrushSymmetry symmetry) {
    if (symmetry.mode == Mode::Point) {
        return tr("symmetric about the centre");
    }
    switch (symmetry.side) {
    case Side::Top:
    case Side::Bottom:
        return tr("symmetric top–bottom");
    case Side::TopLeft:
        return tr("symmetric in four quarters");
    default:
        return tr("symmetric left–right");
    }
}

std::optional<Stamp> copyAsStamp(const MapDocument& document, int layer, bool allLayers,
                                 bool evenColumnsLower) {
    if (document.selection().isEmpty() || layer < 0 || layer >= amp::LayerCount) {
        return std::nullopt;
    }
    // A stamp is the selection, one hex too (a flip of one hex goes to the map).
    return stampOf(
        selectionBounds(document), allLayers ? amp::LayerCount : 1, layer, evenColumnsLower,
        [&document](int l, Offset hex) { return document.layer(l)->cellByte(hex.column, hex.row); });
}

bool placeStamp(MapDocument& document, const Stamp& stamp, int layer, int column, int row,
                bool evenColumnsLower) {
    const std::vector<Offset> placed = stamp.placedAt({column, row}, evenColumnsLower);
    std::vector<CellEdit> edits;
    int inside = 0;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        if (placed[i].column < 0 || placed[i].row < 0 || placed[i].column >= document.columns() ||
            placed[i].row >= document.rows()) {
            continue;
        }
        ++inside;
        for (int l = 0; l < stamp.layers; ++l) {
            const std::uint8_t value =
                stamp.values[i * static_cast<std::size_t>(stamp.layers) + static_cast<std::size_t>(l)];
            edits.push_back({stamp.layers == 1 ? layer : l, placed[i].column, placed[i].row,
                             LayerModel::canonicalText(value)});
        }
    }
    return document.editCells(tr("Stamp %1 cells").arg(count(inside)), edits);
}

} // namespace symmetryedits
