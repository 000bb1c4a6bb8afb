// SPDX-License-Identifier: MIT
#include "diskwatcher.h"
#include "mapeditor.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>

DiskWatcher::DiskWatcher(MapEditor& editor, QToolBar* bar)
    : QObject(bar), watch_(editor.document()), editor_(editor), bar_(bar), label_(new QLabel(bar)) {
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
    connect(&watch_, &DiskWatch::aboutToReadAgain, this, [this] { current_ = editor_.currentHex(); });
    connect(&watch_, &DiskWatch::readAgain, this, [this](const QString& name) {
        keepCurrentHex();
        emit message(tr("%1 changed on disk and was read again").arg(name));
    });
}

// The current hex stays where it was (where the map still has it); the views,
// Hex Info and the status line follow the session.
void DiskWatcher::keepCurrentHex() {
    editor_.setCurrentHex(current_);
}

void DiskWatcher::show(const QString& text, bool mayReload) {
    label_->setText(text);
    reloadAction_->setVisible(mayReload);
    bar_->show();
}

void DiskWatcher::reload() {
    bar_->hide();
    current_ = editor_.currentHex();
    if (watch_.reload()) {
        keepCurrentHex();
    }
}

void DiskWatcher::keepMine() {
    bar_->hide();
    watch_.keepMine();
}
