// SPDX-License-Identifier: MIT
// The desktop's real dialogs, built and filled in without being shown, and the
// program's two options answered on the terminal.
#include "dialogforms.h"
#include "mapformat.h"
#include "scripteddialogs.h"
#include "valuebox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void fileDialogsAskAsTheMapFilesWant();
    void boxesOfferTheirButtons();
    void formsReadBackWhatWasFilledIn();
    void theProgramAnswersEveryOptionItsHelpLists_data();
    void theProgramAnswersEveryOptionItsHelpLists();
    void aWordThatIsNoOptionIsRefusedOnTheTerminal();
    void aNameTooShortToOpenIsToldOnTheTerminal();
    void theScriptedDialogsNameAQuestionLeftUnanswered();
};

void DialogsTest::fileDialogsAskAsTheMapFilesWant() {
    const FileDialogRequest request{"Open Veldrock Map file", "Map files (*.amp)", "amp", QString()};
    const auto open = dialogforms::fileDialog(nullptr, request, QFileDialog::AcceptOpen);
    QCOMPARE(open->windowTitle(), QStringLiteral("Open Veldrock Map file"));
    QCOMPARE(open->fileMode(), QFileDialog::ExistingFile);
    QCOMPARE(open->defaultSuffix(), QStringLiteral("amp"));
    QCOMPARE(open->nameFilters(), QStringList{"Map files (*.amp)"});
    const auto save = dialogforms::fileDialog(nullptr, request, QFileDialog::AcceptSave);
    QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
    QVERIFY(save->testOption(QFileDialog::DontConfirmOverwrite)); // writing back is the everyday case
    QCOMPARE(withDefaultSuffix("north", "amp"), QStringLiteral("north.amp"));
    QCOMPARE(withDefaultSuffix("north.map", "amp"), QStringLiteral("north.map"));
    QCOMPARE(withDefaultSuffix("", "amp"), QString());
}

void DialogsTest::boxesOfferTheirButtons() {
    const auto box =
        dialogforms::messageBox(nullptr, "File Error", "Write unsuccessful.", "No space left on device");
    QCOMPARE(box->windowTitle(), QStringLiteral("File Error"));
    QCOMPARE(box->informativeText(), QStringLiteral("No space left on device"));
    QCOMPARE(box->standardButtons(), QMessageBox::Ok | QMessageBox::Cancel);

    const auto question = dialogforms::unwrittenQuestion(nullptr, "Unwritten changes", "Write them first?");
    QCOMPARE(question->standardButtons(), QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    QCOMPARE(question->defaultButton(), question->button(QMessageBox::Save));
    QCOMPARE(dialogforms::unwrittenChoice(QMessageBox::Save), UnwrittenChoice::Save);
    QCOMPARE(dialogforms::unwrittenChoice(QMessageBox::Discard), UnwrittenChoice::Discard);
    QCOMPARE(dialogforms::unwrittenChoice(QMessageBox::Cancel), UnwrittenChoice::Cancel);
    QCOMPARE(dialogforms::unwrittenChoice(QMessageBox::NoButton),
             UnwrittenChoice::Cancel); // closed: nothing lost

    const QDateTime time(QDate(2026, 12, 6), QTime(21, 30));
    const QList<std::pair<QString, RecoveryChoice>> answers = {{"Recover", RecoveryChoice::Recover},
                                                               {"Discard", RecoveryChoice::Discard},
                                                               {"Later", RecoveryChoice::Later}};
    for (const auto& [label, choice] : answers) {
        const auto recovery = dialogforms::recoveryQuestion(nullptr, "north.amp", time);
        QCOMPARE(recovery->windowTitle(), QStringLiteral("Recover Unwritten Changes"));
        QVERIFY(recovery->text().startsWith("Recover the unwritten changes to north.amp from "));
        QVERIFY(recovery->text().endsWith("?"));
        QCOMPARE(recovery->defaultButton()->text(), QStringLiteral("Recover"));
        QCOMPARE(dialogforms::recoveryChoice(*recovery), RecoveryChoice::Later); // closed without a choice
        for (QAbstractButton* button : recovery->buttons()) {
            if (button->text() == label) {
                button->click();
            }
        }
        QCOMPARE(dialogforms::recoveryChoice(*recovery), choice);
    }
}

void DialogsTest::formsReadBackWhatWasFilledIn() {
    dialogforms::MapSizeForm size(nullptr, 40, 30);
    QCOMPARE(size.columns(), 40);
    size.columnsBox()->setValue(300); // 0 to 255 only
    QCOMPARE(size.columns(), 255);
    // A typed 0 is a map of no hexes, kept as typed.
    size.rowsBox()->selectAll();
    QTest::keyClicks(size.rowsBox(), QStringLiteral("0"));
    QTest::keyClick(size.rowsBox(), Qt::Key_Tab);
    QCOMPARE(size.rows(), 0);

    // The count follows every change, before the user agrees.
    dialogforms::ReplaceForm replace(
        nullptr, {7, 3, ReplaceRequest::Scope::Layer},
        [](const ReplaceRequest& r) { return r.from * 100 + static_cast<int>(r.scope); });
    QCOMPARE(replace.changesText(), QStringLiteral("701 cells will change"));
    replace.fromBox()->setValue(9);
    QCOMPARE(replace.changesText(), QStringLiteral("901 cells will change"));
    replace.scopeButton(ReplaceRequest::Scope::AllLayers)->setChecked(true);
    QCOMPARE(replace.changesText(), QStringLiteral("902 cells will change"));
    replace.toBox()->setValue(12);
    const ReplaceRequest request = replace.request();
    QCOMPARE(request.from, 9);
    QCOMPARE(request.to, 12);
    QCOMPARE(request.scope, ReplaceRequest::Scope::AllLayers);

    // On the terrain layer both values go by name, or by a number typed; Forest
    // is terrain 3 and Swamp terrain 5.
    const ValueNames terrains = ValueBox::namesOf(amp::TerrainLayer, palettes::Palette::Standard);
    QCOMPARE(terrains.value(3).name, QStringLiteral("Forest"));
    dialogforms::ReplaceForm named(
        nullptr, {0, 0, ReplaceRequest::Scope::Layer}, [](const ReplaceRequest& r) { return r.from; },
        terrains);
    QVERIFY(named.fromBox()->isNamed() && named.toBox()->isNamed());
    named.fromBox()->nameBox()->setCurrentIndex(named.fromBox()->nameBox()->findText("Forest"));
    QCOMPARE(named.changesText(), QStringLiteral("3 cells will change"));
    named.toBox()->nameBox()->lineEdit()->clear();
    QTest::keyClicks(named.toBox()->nameBox()->lineEdit(), QStringLiteral("77"));
    QCOMPARE(named.request().from, 3);
    QCOMPARE(named.request().to, 77); // read as it stands, before the box is left
    dialogforms::ValueForm fill(nullptr, "Fill Selection", "Value (0-255):", 0, terrains);
    fill.valueBox()->nameBox()->lineEdit()->clear();
    QTest::keyClicks(fill.valueBox()->nameBox()->lineEdit(), QStringLiteral("SWAMP"));
    QCOMPARE(fill.value(), 5);
    // A name as amptool and the scripts take it too: without its spaces, in any case.
    fill.valueBox()->nameBox()->lineEdit()->clear();
    QTest::keyClicks(fill.valueBox()->nameBox()->lineEdit(), QStringLiteral("impassableriver"));
    QCOMPARE(fill.value(), 12);
    // Other layers have no names: a number box.
    dialogforms::ValueForm plain(nullptr, "Fill Selection", "Value (0-255):", 9, {});
    QVERIFY(!plain.valueBox()->isNamed());
    QCOMPARE(plain.value(), 9);
}

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

Run runProgram(const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(AMPEDIT_PATH), arguments);
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished();
        return {-1, {}, QStringLiteral("did not end")};
    }
    return {program.exitCode(), QString::fromLocal8Bit(program.readAllStandardOutput()),
            QString::fromLocal8Bit(program.readAllStandardError())};
}

} // namespace

void DialogsTest::theProgramAnswersEveryOptionItsHelpLists_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("answer");
    QTest::newRow("--version") << "--version"
                               << "ampedit 0.1.0.1";
    QTest::newRow("-v") << "-v"
                        << "ampedit 0.1.0.1";
    QTest::newRow("--help") << "--help"
                            << "Usage:";
    QTest::newRow("-h") << "-h"
                        << "Usage:";
    // --help-all adds Qt's own options, the window's among them, to the help.
    QTest::newRow("--help-all") << "--help-all"
                                << "--platform";
}

// Every option the help names answers without a window; none is taken for a map.
void DialogsTest::theProgramAnswersEveryOptionItsHelpLists() {
    QFETCH(QString, option);
    QFETCH(QString, answer);
    const Run help = runProgram({QStringLiteral("--help")});
    QVERIFY2(help.out.contains(option), qPrintable(help.out));
    const Run run = runProgram({option});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(answer), qPrintable(run.out + run.err));
}

void DialogsTest::aWordThatIsNoOptionIsRefusedOnTheTerminal() {
    for (const QString& word :
         {QStringLiteral("-x"), QStringLiteral("--bogus-option"), QStringLiteral("-map.amp")}) {
        const Run run = runProgram({word});
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("unknown option '%1'").arg(word)), qPrintable(run.err));
        QVERIFY2(!run.err.contains(QLatin1String("Open unsuccessful")), qPrintable(run.err));
    }
    // Without a display the options are read all the same, before the window
    // system is asked for; Qt's own options are no words of the editor's.
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    noDisplay.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    noDisplay.remove(QStringLiteral("DISPLAY"));
    noDisplay.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const QList<QStringList> refused = {{"-x"},
                                        {"-platform", "xcb", "-x", "north.amp"},
                                        {"--style=fusion", "-q"},
                                        {"north.amp", "--compare"}};
    const QStringList words = {"-x", "-x", "-q", ""};
    for (qsizetype i = 0; i < refused.size(); ++i) {
        const Run run = runProgram(refused[i], noDisplay);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(words[i].isEmpty() ? run.err.contains(QLatin1String("--compare needs the map"))
                                    : run.err.contains(QStringLiteral("unknown option '%1'").arg(words[i])),
                 qPrintable(run.err));
        QVERIFY2(!run.err.contains(QLatin1String("display")), qPrintable(run.err));
    }
    // A value given to an option that takes none is told as such.
    const Run valued = runProgram({QStringLiteral("--reset-settings=1")}, noDisplay);
    QCOMPARE(valued.exitCode, 2);
    QVERIFY2(valued.err.contains(QLatin1String("'--reset-settings'")) &&
                 !valued.err.contains(QLatin1String("compare")),
             qPrintable(valued.err));
}

// The window opens without the map and the terminal says why; the test ends the
// program once it has said so.
void DialogsTest::aNameTooShortToOpenIsToldOnTheTerminal() {
    QProcess program;
    program.setReadChannel(QProcess::StandardError);
    // A window of its own: an editor the user runs is left alone.
    program.start(QStringLiteral(AMPEDIT_PATH), {QStringLiteral("--new-instance"), QStringLiteral("a.amp")});
    QString err;
    while (!err.contains(QLatin1String("not opened")) && program.waitForReadyRead(30000)) {
        err += QString::fromLocal8Bit(program.readAllStandardError());
    }
    program.kill();
    program.waitForFinished();
    QVERIFY2(
        err.contains(QLatin1String("'a.amp' was not opened: a map's name must be longer than 5 characters")),
        qPrintable(err));
}

// The fake every test, bench and ampshot drives the window with answers only
// what it was given: the next queued answer, then the standing one; a question
// with neither is reported with its caption and text, and cancelled.
void DialogsTest::theScriptedDialogsNameAQuestionLeftUnanswered() {
    QStringList unanswered;
    ScriptedDialogs dialogs([&unanswered](const QString& question) { unanswered << question; });
    dialogs.yesNoAnswers = {true};
    QVERIFY(dialogs.askYesNo(nullptr, QStringLiteral("Replace a Map"), QStringLiteral("first")));
    QVERIFY(!dialogs.askYesNo(nullptr, QStringLiteral("Replace a Map"), QStringLiteral("second")));
    int value = 7;
    QVERIFY(!dialogs.askNumber(nullptr, QStringLiteral("Export Picture"), QStringLiteral("Hex size"), value,
                               1, 64));
    QCOMPARE(value, 7);
    QCOMPARE(unanswered, (QStringList{QStringLiteral("askYesNo \"Replace a Map\": second"),
                                      QStringLiteral("askNumber \"Export Picture\": Hex size")}));
    dialogs.recoveryAnswers = {RecoveryChoice::Discard};
    dialogs.recoveryAnswers.always = RecoveryChoice::Recover;
    QCOMPARE(dialogs.askRecover(nullptr, QStringLiteral("a.amp"), {}), RecoveryChoice::Discard);
    QCOMPARE(dialogs.askRecover(nullptr, QStringLiteral("b.amp"), {}), RecoveryChoice::Recover);
    QCOMPARE(dialogs.askRecover(nullptr, QStringLiteral("c.amp"), {}), RecoveryChoice::Recover);
    QCOMPARE(unanswered.size(), 2);
}

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
