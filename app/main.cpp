// SPDX-License-Identifier: MIT
// ampedit: the map editor of Veldrock. The first name on the command line, when
// longer than five characters, names a map to open at start-up. The options are
// read with one QCommandLineParser: those the help lists (-h/--help, --help-all,
// -v/--version) are answered on the terminal without a window; --reset-settings
// starts the window from the default settings; --compare OTHER compares the map
// with another; --merge BASE OURS THEIRS -o MERGED merges three maps into
// the window's map, to be written to MERGED; any other word that starts with "-" is refused there, and "--"
// ends the options, so a map whose name starts with "-" can still be named.
// One program serves all maps: while an ampedit of the same user runs on the
// same display, a start hands the maps it names to it and ends (--new-instance,
// --compare and --reset-settings start a window of their own).
#include "editorsettings.h"
#include "instanceserver.h"
#include "mainwindow.h"
#include "scriptrunner.h"
#include "userdialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

constexpr int UsageError = 2;
// The form opens a first argument only when it is longer than this.
constexpr qsizetype LongestIgnoredName = 5;

// On Windows the editor is a GUI program, so no console window opens with it;
// started from a console, its answers (--help, --version, a refused option) go
// to that console, which it joins just before it prints (a window started from
// a console leaves it alone). Output already sent elsewhere (a pipe, a file)
// stays there; without a console nothing changes.
void joinTheParentsConsole() {
#ifdef Q_OS_WIN
    static bool joined = false;
    if (std::exchange(joined, true)) {
        return;
    }
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((output == nullptr || output == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
}

void tell(const QString& text) {
    joinTheParentsConsole();
    std::fprintf(stderr, "ampedit: %s\n", qPrintable(text));
}

// The editor's options, declared once: the help lists them and the words of the
// command line are read with them. "-word" is one option, as "--word" is, so a
// map named "-map.amp" is refused as an option rather than taken apart.
struct Options {
    QCommandLineOption reset{QStringLiteral("reset-settings"),
                             QCoreApplication::translate("main",
                                                         "Start from the default settings (the recent "
                                                         "maps and the window's place are forgotten).")};
    QCommandLineOption compare{QStringLiteral("compare"),
                               QCoreApplication::translate("main",
                                                           "Compares the map with OTHER, which is not "
                                                           "edited."),
                               QStringLiteral("OTHER")};
    QCommandLineOption merge{
        QStringLiteral("merge"),
        QCoreApplication::translate("main", "Merges BASE OURS THEIRS (the three maps named "
                                            "after the options) and opens the result, to be "
                                            "written to MERGED (-o); what git mergetool calls.")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QCoreApplication::translate("main", "Where --merge writes the merged map."),
                              QStringLiteral("MERGED")};
    QCommandLineOption newInstance{QStringLiteral("new-instance"),
                                   QCoreApplication::translate("main",
                                                               "Start a window of its own, even while "
                                                               "ampedit runs (which otherwise opens the "
                                                               "maps named).")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, {}};
    QCommandLineOption helpAll{QStringLiteral("help-all"), {}};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}, {}};
};

void defineOptions(QCommandLineParser& parser, Options& options) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "The map editor of Veldrock: reads, edits and writes \".amp\" map files byte for byte."));
    parser.addPositionalArgument(QStringLiteral("map"),
                                 QCoreApplication::translate("main", "A map to open (a name longer than five "
                                                                     "characters)."));
    parser.addOption(options.reset);
    parser.addOption(options.compare);
    parser.addOption(options.merge);
    parser.addOption(options.output);
    parser.addOption(options.newInstance);
    options.help = parser.addHelpOption();
    options.version = parser.addVersionOption();
}

// Reads the words (the program's name first, Qt's own options taken out); false,
// told on the terminal, for a word that is no option or an option that lacks
// its value.
bool readWords(QCommandLineParser& parser, const Options& options, const QStringList& words) {
    if (!parser.parse(words)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty()) { // an option without its value, or with one it does not take
            tell(parser.errorText().contains(QLatin1String("'--compare'"))
                     ? QCoreApplication::translate(
                           "main",
                           "--compare needs the map to compare with (ampedit --compare OTHER.amp MAP.amp)")
                     : parser.errorText());
            return false;
        }
        // The word as it was typed: "-x", "--bogus", "-map.amp".
        QString word = unknown.first();
        for (const QString& typed : words.mid(1)) {
            if (typed == QLatin1String("--")) {
                break;
            }
            QString name = typed.section(QLatin1Char('='), 0, 0);
            name.remove(0, name.startsWith(QLatin1String("--")) ? 2 : 1);
            if (typed.startsWith(QLatin1Char('-')) && name == word) {
                word = typed;
                break;
            }
        }
        tell(QCoreApplication::translate("main", "unknown option '%1' (ampedit --help lists the options; a "
                                                 "map whose name starts with '-' goes after '--')")
                 .arg(word));
        return false;
    }
    if (parser.isSet(options.compare) && parser.value(options.compare).isEmpty()) {
        tell(QCoreApplication::translate(
            "main", "--compare needs the map to compare with (ampedit --compare OTHER.amp MAP.amp)"));
        return false;
    }
    const QString mergeUsage = QCoreApplication::translate(
        "main", "--merge needs three maps and where to write: ampedit --merge BASE OURS THEIRS -o MERGED");
    if (parser.isSet(options.merge) &&
        (parser.positionalArguments().size() != 3 || parser.value(options.output).isEmpty())) {
        tell(mergeUsage);
        return false;
    }
    if (!parser.isSet(options.merge) && parser.isSet(options.output)) {
        tell(mergeUsage);
        return false;
    }
    return true;
}

// Prints the help or the version and ends the program. It needs no display: the
// window's own options, which --help-all lists, come with a window system, so
// the answer is given on the one that draws into memory.
[[noreturn]] void answerOption(int argc, char* argv[]) {
    joinTheParentsConsole();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ampedit"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AMPEDIT_VERSION));
    QCommandLineParser parser;
    Options options;
    defineOptions(parser, options);
    // The version and the help are printed here, as Qt prints them: Qt on Windows
    // would show them in a message box whenever it sees no console, even when
    // the output goes to a pipe or a console the editor joined.
    if (parser.parse(QCoreApplication::arguments()) && !parser.isSet(options.helpAll)) {
        if (parser.isSet(options.version)) {
            std::fputs(qPrintable(QCoreApplication::applicationName() + QLatin1Char(' ') +
                                  QCoreApplication::applicationVersion() + QLatin1Char('\n')),
                       stdout);
            std::exit(0);
        }
        if (parser.isSet(options.help)) {
            std::fputs(qPrintable(parser.helpText()), stdout);
            std::exit(0);
        }
    }
    parser.process(application); // exits after each of the options it answers
    std::exit(0);
}

// The names of the command line: the first is the map the window opens, when
// it is long enough to be opened; the others open in tabs behind it.
void tellIfTooShort(const QStringList& names) {
    if (!names.isEmpty() && names.first().size() <= LongestIgnoredName) {
        tell(QCoreApplication::translate("main", "'%1' was not opened: a map's name must be longer than %2 "
                                                 "characters (./%1 names the same file)")
                 .arg(names.first())
                 .arg(LongestIgnoredName));
    }
}

QStringList windowArguments(const QString& program, const QStringList& names) {
    tellIfTooShort(names);
    return QStringList{program} + names;
}

// The words left after Qt took its own options, each decoded as a file name
// (QFile::decodeName). A word that is not UTF-8 does not come back to its bytes
// (Qt puts U+FFFD for what it cannot decode), and opening the text would open
// another file, with the replacement character in its name: such a word is
// refused, told on the terminal, and the list is empty. On Windows argv holds
// the words in the local code page, where a Japanese map name comes as
// question marks: the words are those of the UTF-16 command line there, as Qt
// reads it.
QStringList decodedWords([[maybe_unused]] int argc, [[maybe_unused]] char* argv[]) {
#ifdef Q_OS_WIN
    return QCoreApplication::arguments();
#else
    QStringList words;
    for (int i = 0; i < argc; ++i) {
        const QString word = QFile::decodeName(argv[i]);
        if (i > 0 && QFile::encodeName(word) != QByteArray(argv[i])) {
            tell(QCoreApplication::translate("main",
                                             "'%1' was not opened: the name is not UTF-8, and the editor "
                                             "would open another file in its place")
                     .arg(word));
            return {};
        }
        words.append(word);
    }
    return words;
#endif
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

// The words of the command line before the window system is asked for, Qt's
// own options taken out as QApplication will take them: a word that is no
// option is told as such, display or not.
QStringList wordsBeforeTheWindow(int argc, char* argv[]) {
    QStringList left{QString::fromLocal8Bit(argv[0])};
    for (int i = 1; i < argc; ++i) {
        const QString word = QString::fromLocal8Bit(argv[i]);
        bool takesValue = false;
        if (left.contains(QLatin1String("--")) || !word.startsWith(QLatin1Char('-')) ||
            !isQtOption(word, takesValue)) {
            left << word;
        } else {
            i += takesValue ? 1 : 0;
        }
    }
    return left;
}

} // namespace

int main(int argc, char* argv[]) {
    {
        QCommandLineParser parser;
        Options options;
        defineOptions(parser, options);
        if (!readWords(parser, options, wordsBeforeTheWindow(argc, argv))) {
            return UsageError;
        }
        if (parser.isSet(options.help) || parser.isSet(options.helpAll) || parser.isSet(options.version)) {
            answerOption(argc, argv);
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ampedit"));
    QApplication::setApplicationVersion(QStringLiteral(AMPEDIT_VERSION));
    const QStringList words = decodedWords(argc, argv);
    if (words.isEmpty()) {
        return UsageError;
    }
    QCommandLineParser parser;
    Options options;
    defineOptions(parser, options);
    if (!readWords(parser, options, words)) {
        return UsageError;
    }
    if (parser.isSet(options.reset) && !EditorSettings::reset()) {
        tell(QCoreApplication::translate("main", "the settings in %1 could not be removed; the editor starts "
                                                 "with them")
                 .arg(EditorSettings::filePath()));
    }
    const QString compared = parser.value(options.compare);
    const bool merging = parser.isSet(options.merge);
    const QStringList names = parser.positionalArguments();
    // The maps as the running program is to open them: absolute, from this
    // start's working folder. Each opens in a tab of its own there, a short
    // name too: what the form does with the name it starts with is its own.
    QStringList handed;
    for (const QString& name : names) {
        handed << QFileInfo(name).absoluteFilePath();
    }
    const bool alone = parser.isSet(options.newInstance) || parser.isSet(options.compare) ||
                       parser.isSet(options.reset) || merging;
    QString failure;
    try {
        InstanceServer instances(alone ? QString() : InstanceServer::defaultName());
        if (!alone) {
            QString why;
            switch (instances.start(handed, &why)) {
            case InstanceServer::Start::HandedOver:
                return 0;
            case InstanceServer::Start::Alone:
                tell(QCoreApplication::translate("main",
                                                 "maps started later open in windows of their own (%1)")
                         .arg(why));
                break;
            case InstanceServer::Start::Serving:
                break;
            }
        }
        // A merge opens its result in place of a map named on the command line.
        const QStringList arguments =
            merging ? QStringList{words.first()} : windowArguments(words.first(), names);
        QtUserDialogs dialogs;
        MainWindow window(dialogs, arguments);
        if (merging) {
            window.merge(names[0], names[1], names[2], parser.value(options.output));
        }
        instances.setReceiver([&window](const QStringList& paths) { window.takeHandOver(paths); });
        if (!compared.isEmpty()) {
            window.compareWith(compared);
        }
        window.show();
        const int status = QApplication::exec();
        if (ScriptRunner::runsLeftBehind() > 0) {
            // A script's engine still busy in a call of its own: its thread is
            // not waited for, and nothing is torn down under it.
            std::fflush(nullptr);
            std::_Exit(status);
        }
        return status;
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    } catch (...) {
        failure = QApplication::translate("main", "an unknown error");
    }
    // Not a clean end: the recovery copy of unwritten changes stays for the next start.
    QMessageBox::critical(
        nullptr, QApplication::applicationName(),
        QApplication::translate("main", "The editor ended after an error (%1). Unwritten changes are kept "
                                        "in a recovery copy, which the editor offers when it starts again.")
            .arg(failure));
    return EXIT_FAILURE;
}
