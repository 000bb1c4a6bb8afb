// ampedit: the map editor of Veldrock. The first argument, when longer than five
// characters, names a map to open at start-up; "--help" and "--version" are the
// only options, answered on the terminal without a window.
#include "mainwindow.h"
#include "userdialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <cstdlib>
#include <exception>

namespace {

bool isOption(const char* word) { return qstrcmp(word, "--help") == 0 || qstrcmp(word, "--version") == 0; }

// Prints the help or the version and ends the program; needs no display.
[[noreturn]] void answerOption(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ampedit"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AMPEDIT_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The map editor of Veldrock: reads, edits and writes \".amp\" "
                                                    "map files byte for byte."));
    parser.addPositionalArgument(QStringLiteral("map"),
                                 QStringLiteral("A map to open (a name longer than five characters)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(application); // exits after --help or --version
    std::exit(0);
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 1 && isOption(argv[1])) {
        answerOption(argc, argv);
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ampedit"));
    QApplication::setApplicationVersion(QStringLiteral(AMPEDIT_VERSION));
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
