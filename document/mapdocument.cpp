// SPDX-License-Identifier: MIT
#include "mapdocument.h"
#include "hexshapes.h"
#include "mapfileio.h"
#include "strokecommand.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

#include <optional>
#include <set>

namespace {

QString reason(const amp::MapError& error) {
    return QString::fromStdString(error.message);
}

DocumentResult failure(DocumentResult::Kind kind, const amp::MapError& error) {
    return {kind, reason(error), {}};
}

// A map file's bytes and the map they hold (read in place), or why there is none.
struct ReadMap {
    FileBytes bytes;
    std::optional<amp::MapView> map;
    DocumentResult result;
};

ReadMap readMap(const QString& fileName) {
    auto read = amp::readMapFile(fileName);
    if (!read) {
        // A file larger than any map is refused by the reader as no map.
        const amp::MapErrorKind kind = read.error().kind;
        return {{},
                {},
                failure(kind == amp::MapErrorKind::CannotOpen ? DocumentResult::Kind::CannotOpen
                        : kind == amp::MapErrorKind::NotAMap  ? DocumentResult::Kind::NotAMap
                                                              : DocumentResult::Kind::CannotRead,
                        read.error())};
    }
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(read).value());
    const auto viewed = amp::viewMap(*bytes);
    if (!viewed) {
        return {{}, {}, failure(DocumentResult::Kind::NotAMap, viewed.error())};
    }
    DocumentResult result;
    if (const std::size_t cut = viewed.value().cutRecordBytes; cut > 0) {
        // The hex of the record cut short, in the cell rule's order.
        const auto rows = static_cast<std::size_t>(std::max(viewed.value().header.rows(), 1));
        const std::size_t hex = viewed.value().recordCount();
        result.note = QCoreApplication::translate(
                          "MapDocument", "%1 ends inside a record: its last %2 bytes, part of hex %3,%4, "
                                         "are dropped, and that hex is empty (written as zeros).")
                          .arg(QFileInfo(fileName).fileName())
                          .arg(cut)
                          .arg(hex / rows)
                          .arg(hex % rows);
    }
    return {bytes, viewed.value(), result};
}

} // namespace

// A reload of a map of another shape: the header and all 13 layers change places
// with those the step holds, so undo gives back the map as it was, edits and all.
class ReplaceMapCommand : public QUndoCommand {
public:
    ReplaceMapCommand(MapDocument& document, const QString& text, const amp::MapHeader& header,
                      std::array<std::unique_ptr<LayerModel>, amp::LayerCount> layers)
        : QUndoCommand(text), document_(document), header_(header), layers_(std::move(layers)) {}

    void redo() override { document_.swapMap(header_, layers_); }
    void undo() override { document_.swapMap(header_, layers_); }

private:
    MapDocument& document_;
    amp::MapHeader header_;
    std::array<std::unique_ptr<LayerModel>, amp::LayerCount> layers_;
};

// New values for the header bytes that are not the shape; undo and redo swap them.
class HeaderCommand : public QUndoCommand {
public:
    HeaderCommand(MapDocument& document, const QString& text, const amp::MapHeader& header)
        : QUndoCommand(text), document_(document), header_(header) {}

    void redo() override { swap(); }
    void undo() override { swap(); }

private:
    void swap() {
        std::swap(document_.header_, header_);
        emit document_.headerChanged();
    }
    MapDocument& document_;
    amp::MapHeader header_;
};

MapDocument::MapDocument(QObject* parent) : QObject(parent) {
    for (int i = 0; i < amp::LayerCount; ++i) {
        auto* model = new LayerModel(this);
        model->setEditHandler([this, i](int column, int row, const QString& text) {
            typeIntoCell(i, column, row, text);
            return true;
        });
        // A layer given another shape from outside (the views' metrics before a
        // map) drops every cell, and with them the steps that name cells it had.
        connect(model, &QAbstractItemModel::modelReset, this, [this] {
            if (!resetting_) {
                endStroke();
                undoStack_.clear();
            }
        });
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this, i](const QModelIndex& from, const QModelIndex& to) {
                    emit cellsChanged(
                        i, QRect(QPoint(from.column(), from.row()), QPoint(to.column(), to.row())));
                });
        layers_[static_cast<std::size_t>(i)] = model;
    }
    connect(&undoStack_, &QUndoStack::cleanChanged, this,
            [this](bool clean) { emit modifiedChanged(!clean); });
    // Any change of the stack but a dab of the stroke ends the stroke.
    connect(&undoStack_, &QUndoStack::indexChanged, this, [this] {
        if (!pushingDab_) {
            strokeOpen_ = false;
        }
    });
}

// The stack is torn down after the members its signals would reach, and its
// clearing is no change anyone should hear of (a recovery copy would take it
// for the edits being discarded).
MapDocument::~MapDocument() {
    disconnect(&undoStack_, nullptr, this, nullptr);
    undoStack_.blockSignals(true);
}

void MapDocument::load(const amp::MapView& map, const QString& fileName,
                       const std::shared_ptr<const void>& owner) {
    endStroke();
    resetting_ = true;
    header_ = map.header;
    hasMap_ = true;
    for (int i = 0; i < amp::LayerCount; ++i) {
        layer(i)->readLayer(map, i, owner);
    }
    resetting_ = false;
    // Every cell is new: no step of the old map applies, and the map is what its
    // file holds (clear() leaves an empty history as it was, so a new map's
    // "unwritten" would otherwise stay).
    undoStack_.clear();
    undoStack_.setClean();
    selection_.reset(columns(), rows());
    setFileName(fileName);
    emit mapReset();
}

DocumentResult MapDocument::read(const QString& fileName) {
    try {
        // The map is shown from the file's bytes, which the watcher keeps.
        const ReadMap read = readMap(fileName);
        if (!read.map) {
            return read.result;
        }
        emit diskContentKnown(fileName, read.bytes);
        load(*read.map, fileName, read.bytes);
        emit noted(read.result.note);
        return read.result;
    } catch (const std::exception& error) {
        return {DocumentResult::Kind::Failed, QString::fromLocal8Bit(error.what()), {}};
    }
}

DocumentResult MapDocument::write(const QString& fileName) {
    try {
        auto bytes = std::make_shared<const std::vector<std::uint8_t>>(encode());
        // A new file made from a private map is as private as the map.
        const auto written = amp::writeFileSafely(fileName, *bytes, amp::modeMadeFrom(fileName_));
        if (!written) {
            return failure(written.error().kind == amp::MapErrorKind::CannotOpen
                               ? DocumentResult::Kind::CannotOpen
                               : DocumentResult::Kind::CannotWrite,
                           written.error());
        }
        DocumentResult result;
        if (hasMap_ || !isModified()) {
            markWritten(fileName);
        } else {
            setFileName(fileName);
            result.note =
                tr("The map has no hexes yet, so the cells in the views are not part of the file and "
                   "stay unwritten. Read a map or make a new one to write cells.");
        }
        emit diskContentKnown(fileName, bytes);
        return result;
    } catch (const std::exception& error) {
        return {DocumentResult::Kind::Failed, QString::fromLocal8Bit(error.what()), {}};
    }
}

void MapDocument::newMap(int columns, int rows) {
    load(amp::makeMap(header_, columns, rows), QString());
    undoStack_.resetClean(); // no file holds it yet: unwritten until written
}

DocumentResult MapDocument::resize(int columns, int rows, Anchor anchor) {
    if (columns < 0 || rows < 0 || columns > amp::MaxDimension || rows > amp::MaxDimension) {
        return {DocumentResult::Kind::Failed,
                tr("A map has 0 to %1 columns and rows.").arg(amp::MaxDimension),
                {}};
    }
    if (!hasMap_ || (columns == this->columns() && rows == this->rows())) {
        return {DocumentResult::Kind::Unchanged, {}, {}};
    }
    endStroke();
    // What the document would write, given the new shape; typed texts then move
    // by the same shift as the bytes they are written as.
    const int oldRows = this->rows();
    const amp::HexShift shift = amp::resizeShift(this->columns(), oldRows, columns, rows, anchor);
    const amp::MapImage resized =
        amp::resizeMap(amp::decodeMap(encode()).value(), columns, rows, anchor); // always a map
    std::array<std::unique_ptr<LayerModel>, amp::LayerCount> layers;
    for (int i = 0; i < amp::LayerCount; ++i) {
        auto& model = layers[static_cast<std::size_t>(i)];
        model = std::make_unique<LayerModel>();
        model->loadLayer(resized, i);
        // A typed text ("007") moves as typed, not as the byte it is written as.
        for (const auto& [slot, text] : layer(i)->typedCells()) {
            const int c = static_cast<int>(slot) / oldRows + shift.columns;
            const int r = static_cast<int>(slot) % oldRows + shift.rows;
            if (c >= 0 && c < columns && r >= 0 && r < rows) {
                model->setCellText(c, r, text);
            }
        }
    }
    undoStack_.push(new ReplaceMapCommand(*this, tr("Resize to %1 × %2").arg(columns).arg(rows),
                                          resized.header, std::move(layers)));
    return {};
}

DocumentResult MapDocument::reloadFromDisk() {
    endStroke();
    const ReadMap read = readMap(fileName_);
    if (!read.map) {
        return read.result;
    }
    const FileBytes& bytes = read.bytes;
    const amp::MapView& map = *read.map;
    const QString text = tr("Reload from disk");
    if (!hasMap_) {
        load(map, fileName_, bytes);
    } else if (map.header == header_) {
        if (auto decoded = amp::decodeMap(*bytes)) {
            editCells(text, cellEditsOf(decoded.value()));
        }
    } else {
        std::array<std::unique_ptr<LayerModel>, amp::LayerCount> layers;
        for (int i = 0; i < amp::LayerCount; ++i) {
            layers[static_cast<std::size_t>(i)] = std::make_unique<LayerModel>();
            layers[static_cast<std::size_t>(i)]->loadLayer(map, i, bytes);
        }
        undoStack_.push(new ReplaceMapCommand(*this, text, map.header, std::move(layers)));
    }
    undoStack_.setClean(); // the document holds what the disk holds
    emit diskContentKnown(fileName_, bytes);
    emit noted(read.result.note);
    return {};
}

DocumentResult MapDocument::recover(const std::vector<std::uint8_t>& copy,
                                    const std::vector<TypedCell>& typed, const QString& fileName) {
    auto recovered = amp::decodeMap(copy);
    if (!recovered) {
        return failure(DocumentResult::Kind::NotAMap, recovered.error());
    }
    const amp::MapImage& map = recovered.value();
    // The file as it is on disk is the written state.
    amp::MapImage base = amp::makeMap(map.header, map.header.columns(), map.header.rows());
    if (const auto disk = amp::readMapFile(fileName)) {
        if (auto decoded = amp::decodeMap(disk.value()); decoded && decoded.value().header == map.header) {
            base = std::move(decoded).value();
        }
    }
    load(base, fileName);
    std::vector<CellEdit> edits = cellEditsOf(map);
    const int rows = map.header.rows();
    for (const TypedCell& cell : typed) {
        if (rows > 0) {
            edits.push_back({cell.layer, static_cast<int>(cell.slot) / rows,
                             static_cast<int>(cell.slot) % rows, cell.text});
        }
    }
    editCells(tr("Recover unwritten changes"), edits);
    return {};
}

std::vector<std::uint8_t> MapDocument::encode() const {
    std::vector<std::uint8_t> bytes(amp::completeFileSize(header_));
    std::copy(header_.bytes.begin(), header_.bytes.end(), bytes.begin());
    for (int i = 0; i < amp::LayerCount; ++i) {
        layer(i)->exportLayer(bytes, i, columns(), rows());
    }
    return bytes;
}

void MapDocument::markWritten(const QString& fileName) {
    undoStack_.setClean();
    setFileName(fileName);
}

bool MapDocument::editCells(const QString& text, const std::vector<CellEdit>& edits) {
    auto command = std::make_unique<SetCellsCommand>(*this, text, edits);
    if (command->isEmpty()) {
        return false;
    }
    undoStack_.push(command.release());
    return true;
}

bool MapDocument::editMap(const QString& text, const std::vector<CellEdit>& edits,
                          const amp::MapHeader& header) {
    amp::MapHeader next = header;
    next.bytes[amp::ColumnsByte] = header_.bytes[amp::ColumnsByte];
    next.bytes[amp::RowsByte] = header_.bytes[amp::RowsByte];
    if (next == header_) {
        return editCells(text, edits);
    }
    auto cells = std::make_unique<SetCellsCommand>(*this, text, edits);
    // The cells and the header as one step: one macro of two parts.
    undoStack_.beginMacro(text);
    if (!cells->isEmpty()) {
        undoStack_.push(cells.release());
    }
    undoStack_.push(new HeaderCommand(*this, text, next));
    undoStack_.endMacro();
    return true;
}

bool MapDocument::placeBlock(const QString& text, const CellBlock& block, int left, int top, int layer) {
    auto command = std::make_unique<SetCellsCommand>(*this, text, block, left, top, layer);
    if (command->isEmpty()) {
        return false;
    }
    undoStack_.push(command.release());
    return true;
}

QString MapDocument::hexesText(qsizetype count) {
    return count == 1 ? tr("1 hex") : tr("%1 hexes").arg(QLocale(QLocale::English).toString(count));
}

bool MapDocument::typeIntoCell(int layer, int column, int row, const QString& text) {
    std::vector<CellEdit> edits{CellEdit{layer, column, row, text}};
    addBrushImages(edits);
    return editCells(tr("Typing in hex %1,%2").arg(column).arg(row), edits);
}

void MapDocument::addBrushImages(std::vector<CellEdit>& edits) const {
    if (!brushImages_) {
        return;
    }
    // Each cell once, so that a step's count names the cells it changed.
    std::set<std::pair<int, int>> cells;
    for (const CellEdit& edit : edits) {
        cells.insert({edit.column, edit.row});
    }
    const std::size_t own = edits.size();
    for (std::size_t i = 0; i < own; ++i) {
        for (const HexCell& image : brushImages_({edits[i].column, edits[i].row})) {
            if (cells.insert({image.column, image.row}).second) {
                edits.push_back({edits[i].layer, image.column, image.row, edits[i].text});
            }
        }
    }
}

DocumentResult MapDocument::floodFill(int layer, int column, int row, bool evenColumnsLower,
                                      const QString& to) {
    if (layer < 0 || layer >= amp::LayerCount) {
        return {DocumentResult::Kind::Unchanged, {}, {}};
    }
    const LayerModel* model = this->layer(layer);
    const hexsymmetry::MapShape map{model->columns(), model->rows(), evenColumnsLower};
    if (!map.contains({column, row})) {
        return {DocumentResult::Kind::Unchanged, {}, {}};
    }
    // A selection of one hex is where the click went, not a limit.
    const bool limited = selection_.layer() == layer && selection_.cellCount() > 1;
    const auto allowed = [&](int c, int r) { return !limited || selection_.contains(c, r); };
    if (!allowed(column, row)) {
        return {DocumentResult::Kind::Unchanged, {}, {}};
    }
    const QString from = model->cellText(column, row);
    std::vector<CellEdit> edits;
    for (const hexsymmetry::Offset& hex :
         hexsymmetry::floodRegion(map, {column, row}, [&](hexsymmetry::Offset next) {
             return allowed(next.column, next.row) && model->cellText(next.column, next.row) == from;
         })) {
        edits.push_back({layer, hex.column, hex.row, to});
    }
    addBrushImages(edits);
    const bool changed = editCells(tr("Fill %1").arg(hexesText(static_cast<qsizetype>(edits.size()))), edits);
    return {changed ? DocumentResult::Kind::Done : DocumentResult::Kind::Unchanged, {}, {}};
}

void MapDocument::beginStroke(int layer, const QString& text) {
    endStroke();
    if (!hasMap_ || layer < 0 || layer >= amp::LayerCount) {
        return; // no hex to paint
    }
    strokeOpen_ = true;
    strokeLayer_ = layer;
    strokeText_ = text;
    ++strokeNumber_;
}

DocumentResult MapDocument::paintDab(const std::vector<HexCell>& cells) {
    if (!strokeOpen_) {
        return {DocumentResult::Kind::NoStroke, {}, {}};
    }
    const LayerModel* model = layer(strokeLayer_);
    std::vector<std::size_t> cellSlots;
    cellSlots.reserve(cells.size());
    std::vector<HexCell> withImages = cells;
    for (const HexCell& cell : cells) {
        if (brushImages_) {
            const auto images = brushImages_(cell);
            withImages.insert(withImages.end(), images.begin(), images.end());
        }
    }
    for (const HexCell& cell : withImages) {
        if (cell.column >= 0 && cell.row >= 0 && cell.column < model->columns() && cell.row < model->rows()) {
            cellSlots.push_back(model->slotOf(cell.column, cell.row));
        }
    }
    auto dab = std::make_unique<StrokeCommand>(*this, strokeLayer_, std::move(cellSlots), strokeText_,
                                               strokeNumber_);
    if (dab->isEmpty()) {
        return {DocumentResult::Kind::Unchanged, {}, {}};
    }
    if (brushImages_ && !brushName_.isEmpty()) {
        dab->setSymmetry(brushName_);
    }
    pushingDab_ = true;
    undoStack_.push(dab.release()); // merged into the stroke's step below, if there is one
    pushingDab_ = false;
    return {};
}

void MapDocument::endStroke() {
    strokeOpen_ = false;
}

void MapDocument::cancelStroke() {
    endStroke();
    const int top = undoStack_.index() - 1;
    if (top < 0 || undoStack_.count() != undoStack_.index()) {
        return;
    }
    auto* stroke = dynamic_cast<StrokeCommand*>(const_cast<QUndoCommand*>(undoStack_.command(top)));
    if (stroke && stroke->stroke() == strokeNumber_) {
        // Undone as a cancelled step, the command marks itself obsolete, and the
        // stack deletes it instead of keeping it to redo.
        stroke->cancel();
        undoStack_.undo();
    }
}

void MapDocument::setBlankShape(int columns, int rows) {
    if (hasMap_) {
        return;
    }
    for (LayerModel* model : layers_) {
        model->setDimensions(columns, rows);
    }
}

void MapDocument::swapMap(amp::MapHeader& header,
                          std::array<std::unique_ptr<LayerModel>, amp::LayerCount>& layers) {
    resetting_ = true;
    std::swap(header_, header);
    for (int i = 0; i < amp::LayerCount; ++i) {
        layer(i)->swapCells(*layers[static_cast<std::size_t>(i)]);
    }
    resetting_ = false;
    selection_.reset(columns(), rows());
    emit mapReset();
}

void MapDocument::setFileName(const QString& fileName) {
    if (fileName != fileName_) {
        fileName_ = fileName;
        emit fileNameChanged(fileName_);
    }
}
