// SPDX-License-Identifier: MIT
// The editor as a crash test's victim: the real main window on a map, making the
// edits of the recovery sequence through the document, a few milliseconds
// apart, keeping recovery copies 10 ms after each, until it is killed. With
// several maps, each is open in a tab and each gets every edit.
//   recoverytarget MAP [MAP…]
#include "mainwindow.h"
#include "mapdocument.h"
#include "mapeditor.h"
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
    QStringList arguments{QStringLiteral("ampedit")};
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    MainWindow window(dialogs, arguments);
    for (int i = window.editors().size() - 1; i >= 0; --i) {
        window.showTab(i);
        window.recoveryKeeper().setDelay(10);
    }
    int edit = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++edit;
        for (MapEditor* editor : window.editors()) {
            MapDocument& document = editor->document();
            const SequenceEdit e = sequenceEdit(edit, document.columns(), document.rows());
            document.typeIntoCell(e.layer, e.column, e.row, QString::number(e.value));
        }
    });
    timer.start(3);
    window.show();
    return QApplication::exec();
}
