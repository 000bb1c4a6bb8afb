// ampshot: opens a map in the real window and saves what a user would see as a
// PNG, for looking at the editor on a machine without a display.
//   QT_QPA_PLATFORM=offscreen ampshot MAP OUT.png [LAYER] [lines]
#include "mainwindow.h"
#include "userdialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>

#include <cstdio>

namespace {

// Tells on the terminal what the window would show in a box.
class TerminalDialogs : public UserDialogs {
public:
    QString openFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    QString saveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    void messageBox(QWidget*, const QString& caption, const QString& text, const QString& detail) override {
        std::fprintf(stderr, "[%s] %s %s\n", qPrintable(caption), qPrintable(text), qPrintable(detail));
    }
    void showMessage(QWidget*, const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool askNumber(QWidget*, const QString&, const QString&, int&, int, int) override { return false; }
    bool askReplace(QWidget*, ReplaceRequest&, const std::function<int(const ReplaceRequest&)>&) override {
        return false;
    }
    RecoveryChoice askRecover(QWidget*, const QString&, const QDateTime&) override { return RecoveryChoice::Later; }
    bool askMapSize(QWidget*, int&, int&) override { return false; }
    UnwrittenChoice askUnwritten(QWidget*, const QString&, const QString&) override { return UnwrittenChoice::Discard; }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: ampshot MAP OUT.png [LAYER] [lines]\n");
        return 2;
    }
    TerminalDialogs dialogs;
    MainWindow window(dialogs, {QStringLiteral("ampedit"), QString::fromLocal8Bit(argv[1])});
    window.show();
    if (argc > 4 && QString::fromLatin1(argv[4]) == QLatin1String("lines")) {
        window.findChild<QCheckBox*>(QStringLiteral("chkLines"))->click();
    }
    const int layer = argc > 3 ? std::atoi(argv[3]) : 0;
    for (int i = 0; i < layer; ++i) {
        window.findChild<QPushButton*>(QStringLiteral("btnPlus"))->click();
    }
    // What follows the first paint (the picture, the legend) arrives within a few
    // turns of the event loop.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 200) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    if (!window.grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "ampshot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
