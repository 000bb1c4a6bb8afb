// SPDX-License-Identifier: MIT
// The dialog of a flip or a symmetry: where (all 13 layers or the layer on show;
// the map or the selection) and, before anything is applied, how many hexes have
// no image and will keep their cells. Built apart from being shown, so tests fill
// it in without showing it.
#pragma once

#include "symmetryedits.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QRadioButton;

class SymmetryForm : public QDialog {
public:
    SymmetryForm(QWidget* parent, const SymmetryRequest& request, bool hasSelection,
                 std::function<int(const SymmetryRequest&)> count);
    SymmetryRequest request() const;
    QLabel* countLabel() const { return countLabel_; }
    QRadioButton* layerOnShowButton() const { return layerOnShow_; }
    QCheckBox* selectionBox() const { return selection_; }

    // "3 hexes have no image and keep their cells."
    static QString countText(int withoutImage);

private:
    void refresh();

    SymmetryRequest request_;
    std::function<int(const SymmetryRequest&)> count_;
    QRadioButton* layerOnShow_;
    QCheckBox* selection_;
    QLabel* countLabel_;
};
