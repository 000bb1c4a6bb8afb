// SPDX-License-Identifier: MIT
// Ends the program once the first paint of its windows is done, so a start-up
// can be timed from the outside. Only the bench programs use it. It prints the
// moment the paint was done ("first-paint NANOSECONDS", the monotonic clock),
// then closes every window the ordinary way, as a user closing the last window
// would: the event loop ends, the windows and the application are torn down and
// the process exits, so the time until the process is reaped tells how long the
// program takes to go after its window is closed. The floors end the same way.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <ctime>

class QuitAfterFirstPaint : public QObject {
public:
    QuitAfterFirstPaint() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !armed_) {
            armed_ = true;
            // Queued: the rest of this paint pass (every child widget) finishes first.
            QTimer::singleShot(0, qApp, [] {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                std::printf("first-paint %lld\n",
                            static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
                std::fflush(nullptr);
                QApplication::closeAllWindows();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool armed_ = false;
};
