// SPDX-License-Identifier: MIT
// A byte value (0 to 255) for a brush, a fill or a replace. Where the layer's
// values have names (the terrains) it is a list of the names with their colour
// swatches, in which a number can be typed as well as a name; elsewhere it is a
// number box.
#pragma once

#include "palettes.h"
#include "userdialogs.h"

#include <QWidget>

class QComboBox;
class QSpinBox;

class ValueBox : public QWidget {
    Q_OBJECT

public:
    explicit ValueBox(QWidget* parent = nullptr, int value = 0);

    // The names of the values 0, 1, …; empty: a number box.
    void setNames(const ValueNames& names);
    bool isNamed() const { return named_; }
    int value() const;
    void setValue(int value);
    // What the user types into or chooses from: the list of names or the number box.
    QComboBox* nameBox() const { return names_; }
    QSpinBox* numberBox() const { return number_; }

    static constexpr int Highest = 255;
    // The names a layer's values have, with their colours in `palette`: the
    // terrains on the terrain layer, none on the others.
    static ValueNames namesOf(int layer, palettes::Palette palette);

signals:
    void valueChanged(int value);

private:
    // The value a text of the list means: a number 0 to 255 or a terrain's name
    // (in any case, with or without its spaces), as every program reads a value
    // (mapnames.h); -1 for any other text.
    int valueOf(const QString& text) const;
    void take(int value);
    void display(int value);

    QComboBox* names_;
    QSpinBox* number_;
    bool named_ = false;
    int value_ = 0;
};
