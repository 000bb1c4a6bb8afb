// SPDX-License-Identifier: MIT
// A bar above the form for what the user should know but need not answer now (a
// recovery copy that cannot be kept, one that was set aside): each notice under a
// key of its own, withdrawn by that key or dismissed with the bar. Never modal.
#pragma once

#include <QMap>
#include <QToolBar>

class QLabel;

class NoticeBar : public QToolBar {
    Q_OBJECT

public:
    explicit NoticeBar(QWidget* parent = nullptr);

    // An empty text withdraws the notice; the bar shows while any is left.
    void setNotice(const QString& key, const QString& text);
    QString text() const;

private:
    void refresh();

    QMap<QString, QString> notices_;
    QLabel* label_;
};
