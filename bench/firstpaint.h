// Ends the event loop once the first paint of the program's windows is done, so a
// start-up can be timed from the outside. Only the bench programs use it.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QTimer>

class QuitAfterFirstPaint : public QObject {
public:
    QuitAfterFirstPaint() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !armed_) {
            armed_ = true;
            // Queued: the rest of this paint pass (every child widget) finishes first.
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool armed_ = false;
};
