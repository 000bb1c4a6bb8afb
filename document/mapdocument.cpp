#include "mapdocument.h"

MapDocument::MapDocument(QObject* parent) : QObject(parent) {
    for (int i = 0; i < amp::LayerCount; ++i) {
        auto* model = new LayerModel(this);
        model->setEditHandler([this, i](int column, int row, const QString& text) {
            typeIntoCell(i, column, row, text);
            return true;
        });
        // A layer that is read anew or changes its shape drops every cell, and with
        // them the steps that name cells it had: a read gives a fresh stack.
        connect(model, &QAbstractItemModel::modelReset, &undoStack_, &QUndoStack::clear);
        layers_[static_cast<std::size_t>(i)] = model;
    }
    connect(&undoStack_, &QUndoStack::cleanChanged, this, [this](bool clean) { emit modifiedChanged(!clean); });
}

void MapDocument::load(const amp::MapView& map, const QString& fileName, const std::shared_ptr<const void>& owner) {
    header_ = map.header;
    for (int i = 0; i < amp::LayerCount; ++i) {
        layer(i)->loadLayer(map, i, owner); // a reset: the stack is cleared
    }
    setFileName(fileName);
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

bool MapDocument::placeBlock(const QString& text, const CellBlock& block, int left, int top, int layer) {
    auto command = std::make_unique<SetCellsCommand>(*this, text, block, left, top, layer);
    if (command->isEmpty()) {
        return false;
    }
    undoStack_.push(command.release());
    return true;
}

bool MapDocument::typeIntoCell(int layer, int column, int row, const QString& text) {
    return editCells(tr("Typing in hex %1,%2").arg(column).arg(row), {CellEdit{layer, column, row, text}});
}

void MapDocument::setFileName(const QString& fileName) {
    if (fileName != fileName_) {
        fileName_ = fileName;
        emit fileNameChanged(fileName_);
    }
}
