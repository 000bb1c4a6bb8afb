// SPDX-License-Identifier: MIT
#include "diskwatcher.h"
#include "layerview.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>

DiskWatcher::DiskWatcher(MapDocument& document, TfrmMapEd& form, QToolBar* bar)
    : QObject(bar), watch_(document), form_(form), bar_(bar), label_(new QLabel(bar)) {
    // Buttons that look like buttons, after the text.
    bar_->addWidget(label_);
    auto* reload = new QPushButton(tr("Reload"), bar_);
    auto* keep = new QPushButton(tr("Keep Mine"), bar_);
    connect(reload, &QPushButton::clicked, this, &DiskWatcher::reload);
    connect(keep, &QPushButton::clicked, this, &DiskWatcher::keepMine);
    reloadAction_ = bar_->addWidget(reload);
    bar_->addWidget(keep);
    bar_->hide();
    connect(&watch_, &DiskWatch::told, this, &DiskWatcher::show);
    connect(&watch_, &DiskWatch::settled, bar_, &QToolBar::hide);
    connect(&watch_, &DiskWatch::aboutToReadAgain, this,
            [this] { current_ = form_.currentGrid()->currentIndex(); });
    connect(&watch_, &DiskWatch::readAgain, this, [this](const QString& name) {
        keepCurrentHex();
        emit message(tr("%1 changed on disk and was read again").arg(name));
    });
}

// The current hex stays where it was (where the map still has it), and Hex Info
// names what lies there now.
void DiskWatcher::keepCurrentHex() {
    if (current_.isValid()) {
        form_.selectHex(current_.column(), current_.row());
    }
    form_.refreshHexInfo();
}

void DiskWatcher::show(const QString& text, bool mayReload) {
    label_->setText(text);
    reloadAction_->setVisible(mayReload);
    bar_->show();
}

void DiskWatcher::reload() {
    bar_->hide();
    current_ = form_.currentGrid()->currentIndex();
    if (watch_.reload()) {
        keepCurrentHex();
    }
}

void DiskWatcher::keepMine() {
    bar_->hide();
    watch_.keepMine();
}
