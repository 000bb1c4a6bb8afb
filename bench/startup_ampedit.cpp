// SPDX-License-Identifier: MIT
// ampedit's own start-up, as main() runs it, opening the map named as the first
// argument, and quitting after the first paint.
#include "firstpaint.h"
#include "mainwindow.h"
#include "userdialogs.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QuitAfterFirstPaint quit;
    QtUserDialogs dialogs;
    MainWindow window(dialogs, QApplication::arguments());
    window.show();
    return QApplication::exec();
}
