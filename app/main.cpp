// SPDX-License-Identifier: MIT
// ampedit: the map editor of Veldrock. The first argument, when longer than five
// characters, names a map to open at start-up. The options the help lists
// (-h/--help, --help-all, -v/--version) are answered on the terminal without a
// window; --reset-settings starts the window from the default settings; any other
// word that starts with "-" is refused there, and "--" ends the options, so a map
// whose name starts with "-" can still be named.
#include "editorsettings.h"
#include "mainwindow.h"
#include "userdialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

constexpr int UsageError = 2;
// The form opens a first argument only when it is longer than this.
constexpr qsizetype LongestIgnoredName = 5;
const QString ResetOption = QStringLiteral("reset-settings");

bool isAnsweredOption(const char* word) {
    for (const char* option : {"-h", "--help", "--help-all", "-v", "--version"}) {
        if (qstrcmp(word, option) == 0) {
            return true;
        }
    }
    return false;
}

// Prints the help or the version and ends the program. It needs no display: the
// window's own options, which --help-all lists, come with a window system, so
// the answer is given on the one that draws into memory.
[[noreturn]] void answerOption(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ampedit"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AMPEDIT_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The map editor of Veldrock: reads, edits and writes \".amp\" "
                       "map files byte for byte."));
    parser.addPositionalArgument(QStringLiteral("map"),
                                 QStringLiteral("A map to open (a name longer than five characters)."));
    parser.addOption(QCommandLineOption(
        ResetOption, QStringLiteral("Start from the default settings (the recent maps and the window's place "
                                    "are forgotten).")));
    parser.addOption(QCommandLineOption(QStringLiteral("compare"),
                                        QStringLiteral("Compares the map with OTHER, which is not edited."),
                                        QStringLiteral("OTHER")));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(application); // exits after each of the options it answers
    std::exit(0);
}

void tell(const QString& text) {
    std::fprintf(stderr, "ampedit: %s\n", qPrintable(text));
}

// The arguments the window gets: the program's name and the map named, if any.
// Qt has already taken its own options (-platform, -style, ...) out of them.
// Empty after an error, which has been told on the terminal.
QStringList windowArguments(const QStringList& arguments) {
    QStringList names;
    bool optionsEnded = false;
    for (const QString& word : arguments.mid(1)) {
        if (!optionsEnded && word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && word == QLatin1String("--") + ResetOption) {
            if (!EditorSettings::reset()) {
                tell(QStringLiteral("the settings in %1 could not be removed; the editor starts with them")
                         .arg(EditorSettings::filePath()));
            }
        } else if (!optionsEnded && word.startsWith(QLatin1Char('-')) && word.size() > 1) {
            tell(QStringLiteral(
                     "unknown option '%1' (ampedit --help lists the options; a map whose name starts "
                     "with '-' goes after '--')")
                     .arg(word));
            return {};
        } else {
            names.append(word);
        }
    }
    if (!names.isEmpty() && names.first().size() <= LongestIgnoredName) {
        tell(QStringLiteral(
                 "'%1' was not opened: a map's name must be longer than %2 characters (./%1 names the "
                 "same file)")
                 .arg(names.first())
                 .arg(LongestIgnoredName));
    }
    for (const QString& extra : names.mid(1)) {
        tell(QStringLiteral("'%1' was not opened: the editor opens one map, the first one named").arg(extra));
    }
    return QStringList{arguments.value(0)} + names.mid(0, 1);
}

// "--compare OTHER" (or "--compare=OTHER") before "--": taken out of the
// words, OTHER kept in `other`. False, told on the terminal, when OTHER is missing.
bool takeCompareOption(QStringList& words, QString& other) {
    const QLatin1String option("--compare");
    for (qsizetype i = 1; i < words.size() && words[i] != QLatin1String("--");) {
        if (words[i].startsWith(option + '=')) {
            other = words[i].mid(option.size() + 1);
            words.removeAt(i);
        } else if (words[i] == option) {
            other = words.value(i + 1);
            words.remove(i, std::min<qsizetype>(2, words.size() - i));
        } else {
            ++i;
            continue;
        }
        if (other.isEmpty()) {
            tell(QStringLiteral(
                "--compare needs the map to compare with (ampedit --compare OTHER.amp MAP.amp)"));
            return false;
        }
    }
    return true;
}

// The options of Qt itself, which QApplication takes out of the arguments
// (-platform offscreen, --style=fusion, -reverse): those followed by a value,
// and those without one.
bool isQtOption(const QString& word, bool& takesValue) {
    static const QStringList valued = {
        QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
        QStringLiteral("style"),           QStringLiteral("stylesheet"),
        QStringLiteral("display"),         QStringLiteral("name"),
        QStringLiteral("title"),           QStringLiteral("geometry"),
        QStringLiteral("visual")};
    static const QStringList plain = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                      QStringLiteral("nograb"), QStringLiteral("dograb"),
                                      QStringLiteral("sync")};
    QString name = word.mid(word.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    if (equals >= 0) {
        name.truncate(equals);
    }
    takesValue = equals < 0 && valued.contains(name);
    return valued.contains(name) || plain.contains(name) || name.startsWith(QLatin1String("qmljsdebugger"));
}

// The words on the command line are checked before the window system is
// asked for: a word that is no option is told as such, display or not.
bool optionsAreKnown(int argc, char* argv[]) {
    QStringList words;
    for (int i = 0; i < argc; ++i) {
        words << QString::fromLocal8Bit(argv[i]);
    }
    // Qt's own options taken out, the rest is checked as the window will check it.
    QStringList left{words.value(0)};
    for (qsizetype i = 1; i < words.size(); ++i) {
        bool takesValue = false;
        if (left.contains(QLatin1String("--")) || !isQtOption(words[i], takesValue)) {
            left << words[i];
        } else {
            i += takesValue ? 1 : 0;
        }
    }
    QString compared;
    if (!takeCompareOption(left, compared)) {
        return false;
    }
    bool optionsEnded = false;
    for (const QString& word : left.mid(1)) {
        if (!optionsEnded && word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && word.startsWith(QLatin1Char('-')) && word.size() > 1 &&
                   word != QLatin1String("--") + ResetOption) {
            tell(QStringLiteral(
                     "unknown option '%1' (ampedit --help lists the options; a map whose name starts "
                     "with '-' goes after '--')")
                     .arg(word));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc && qstrcmp(argv[i], "--") != 0; ++i) {
        if (isAnsweredOption(argv[i])) {
            answerOption(argc, argv);
        }
    }
    if (!optionsAreKnown(argc, argv)) {
        return UsageError;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ampedit"));
    QApplication::setApplicationVersion(QStringLiteral(AMPEDIT_VERSION));
    QStringList words = QApplication::arguments();
    QString compared;
    if (!takeCompareOption(words, compared)) {
        return UsageError;
    }
    const QStringList arguments = windowArguments(words);
    if (arguments.isEmpty()) {
        return UsageError;
    }
    try {
        QtUserDialogs dialogs;
        MainWindow window(dialogs, arguments);
        if (!compared.isEmpty()) {
            window.compareWith(compared);
        }
        window.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QApplication::applicationName(),
                              QStringLiteral("An unknown error ended the program."));
    }
    return 0;
}
