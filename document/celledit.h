// SPDX-License-Identifier: MIT
// One cell's new text: what every change of cells is made of.
#pragma once

#include <QString>

struct CellEdit {
    int layer = 0;
    int column = 0;
    int row = 0;
    QString text;
};
