// SPDX-License-Identifier: MIT
// The floor of a start-up: a bare Qt program that shows one empty QTableView and
// quits after its first paint.
#include "firstpaint.h"

#include <QTableView>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QuitAfterFirstPaint quit;
    QTableView view;
    view.resize(904, 397);
    view.show();
    return QApplication::exec();
}
