// SPDX-License-Identifier: MIT
#include "noticebar.h"

#include <QLabel>
#include <QPushButton>

NoticeBar::NoticeBar(QWidget* parent) : QToolBar(tr("Notices"), parent), label_(new QLabel(this)) {
    setObjectName(QStringLiteral("notices"));
    setMovable(false);
    label_->setWordWrap(true);
    addWidget(label_);
    auto* dismiss = new QPushButton(tr("Dismiss"), this);
    connect(dismiss, &QPushButton::clicked, this, [this] {
        notices_.clear();
        refresh();
    });
    addWidget(dismiss);
    hide();
}

void NoticeBar::setNotice(const QString& key, const QString& text) {
    if (text.isEmpty()) {
        notices_.remove(key);
    } else {
        notices_.insert(key, text);
    }
    refresh();
}

QString NoticeBar::text() const {
    return label_->text();
}

void NoticeBar::refresh() {
    label_->setText(QStringList(notices_.values()).join('\n'));
    setVisible(!notices_.isEmpty());
}
