// SPDX-License-Identifier: MIT
// The editor as a crash test's victim: the real main window on a map, making the
// edits of the recovery sequence through the document, a few milliseconds
// apart, keeping recovery copies 10 ms after each, until it is killed.
//   recoverytarget MAP
#include "mainwindow.h"
#include "mapdocument.h"
#include "recoverykeeper.h"
#include "recoverysequence.h"
#include "scripteddialogs.h"
#include "tfrmmaped.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ampedit")); // the copies' folder is the editor's
    // Copies an earlier victim left are the test's to read: never taken up here.
    ScriptedDialogs dialogs;
    dialogs.recoveryAnswers.always = RecoveryChoice::Later;
    MainWindow window(dialogs, {QStringLiteral("ampedit"), QString::fromLocal8Bit(argv[1])});
    window.recoveryKeeper().setDelay(10);
    MapDocument& document = window.document();
    int edit = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const SequenceEdit e = sequenceEdit(++edit, document.columns(), document.rows());
        document.typeIntoCell(e.layer, e.column, e.row, QString::number(e.value));
    });
    timer.start(3);
    window.show();
    return QApplication::exec();
}
