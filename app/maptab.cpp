// SPDX-License-Identifier: MIT
#include "maptab.h"
#include "mapdocument.h"
#include "mapeditor.h"

#include <QFileInfo>

QString MapTab::path() const {
    return editor->document().fileName();
}

QString MapTab::title() const {
    const QString name = path().isEmpty() ? tr("Untitled") : QFileInfo(path()).fileName();
    return editor->document().isModified() ? name + QLatin1Char('*') : name;
}
