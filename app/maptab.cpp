// SPDX-License-Identifier: MIT
#include "maptab.h"
#include "mapdocument.h"
#include "mapeditor.h"
#include "tfrmmaped.h"

#include <QFileInfo>

LayerViews MapTab::layerViews() const {
    TfrmMapEd* shown = form;
    return {[shown](int layer) { return shown->layerGrid(layer); },
            [shown](int layer) { shown->showLayerNumber(layer); },
            [shown](int column, int row) { shown->selectHex(column, row); },
            [shown] { return shown->mayDiscardEdits(); }};
}

QString MapTab::path() const {
    return editor->document().fileName();
}

QString MapTab::title() const {
    const QString name = path().isEmpty() ? tr("Untitled") : QFileInfo(path()).fileName();
    return editor->document().isModified() ? name + QLatin1Char('*') : name;
}
