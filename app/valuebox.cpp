// SPDX-License-Identifier: MIT
#include "valuebox.h"
#include "mapformat.h"
#include "mapnames.h"

#include <QComboBox>
#include <QCompleter>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPixmap>
#include <QSignalBlocker>
#include <QSpinBox>

#include <algorithm>

namespace {

constexpr int SwatchSize = 14;

} // namespace

ValueBox::ValueBox(QWidget* parent, int value)
    : QWidget(parent), names_(new QComboBox(this)), number_(new QSpinBox(this)), value_(value) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(names_);
    layout->addWidget(number_);
    setFocusProxy(number_);
    number_->setRange(0, Highest);
    number_->setValue(value);
    names_->setEditable(true);
    names_->setInsertPolicy(QComboBox::NoInsert);
    names_->setMaxVisibleItems(20);
    names_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    names_->completer()->setCaseSensitivity(Qt::CaseInsensitive); // a name completes as it is typed
    names_->hide();
    connect(number_, &QSpinBox::valueChanged, this, &ValueBox::take);
    connect(names_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            take(index);
        }
    });
    // A typed number or name counts once the user is done with it; any other
    // text gives way to the value it replaced.
    connect(names_->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        const int typed = valueOf(names_->currentText());
        if (typed < 0) {
            display(value_);
        } else {
            take(typed);
        }
    });
}

ValueNames ValueBox::namesOf(int layer, palettes::Palette palette) {
    ValueNames names;
    if (layer != amp::TerrainLayer) {
        return names;
    }
    for (int value = 0; value < static_cast<int>(amp::TerrainNames.size()); ++value) {
        const std::string_view name = amp::terrainName(value);
        names.append({QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
                      QColor(palettes::terrain(value, palette))});
    }
    return names;
}

void ValueBox::setNames(const ValueNames& names) {
    const bool named = !names.isEmpty();
    {
        const QSignalBlocker blocker(names_);
        names_->clear();
        for (const ValueName& name : names) {
            QPixmap swatch(SwatchSize, SwatchSize);
            swatch.fill(name.colour);
            names_->addItem(QIcon(swatch), name.name);
        }
    }
    if (named != named_) {
        const bool focused = names_->hasFocus() || number_->hasFocus();
        named_ = named;
        names_->setVisible(named);
        number_->setVisible(!named);
        setFocusProxy(named ? static_cast<QWidget*>(names_) : number_);
        if (focused) {
            setFocus();
        }
    }
    display(value_);
}

int ValueBox::value() const {
    if (!named_) {
        return number_->value();
    }
    // What stands in the list now, even before the user leaves it.
    const int typed = valueOf(names_->currentText());
    return typed < 0 ? value_ : typed;
}

void ValueBox::setValue(int value) {
    take(std::clamp(value, 0, Highest));
}

int ValueBox::valueOf(const QString& text) const {
    // The names listed are the terrain layer's; a typed text is read as amptool
    // and every other program read a value (mapnames.h).
    return amp::valueNamed(amp::TerrainLayer, text.toStdString()).value;
}

void ValueBox::take(int value) {
    const bool changed = value != value_;
    value_ = value;
    display(value);
    if (changed) {
        emit valueChanged(value);
    }
}

// A value with a name shows the name; one without, its number.
void ValueBox::display(int value) {
    const QSignalBlocker numberBlocker(number_);
    const QSignalBlocker namesBlocker(names_);
    number_->setValue(value);
    names_->setCurrentIndex(value < names_->count() ? value : -1);
    if (value >= names_->count()) {
        names_->setEditText(QString::number(value));
    }
}
