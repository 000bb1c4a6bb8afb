// ampedit: the map editor of Veldrock. The first argument, when longer than five
// characters, names a map to open at start-up.
#include "mainwindow.h"
#include "userdialogs.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include <exception>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ampedit"));
    QApplication::setApplicationVersion(QStringLiteral(AMPEDIT_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));
    try {
        QtUserDialogs dialogs;
        MainWindow window(dialogs, QApplication::arguments());
        window.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QApplication::applicationName(), QStringLiteral("An unknown error ended the program."));
    }
    return 0;
}
