// SPDX-License-Identifier: MIT
// What the editor does the system's way: the map named on the command line is
// lower-cased on Windows (A-Z only) and used as given elsewhere; paths are shown
// with the system's separators; on Windows a map another program holds open is
// refused with that reason and nothing is lost, and the settings are an INI file
// in the user's AppData, never the registry.
#include "editorsettings.h"
#include "recoverykeeper.h"
#include "windowfixture.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QScopeGuard>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

class SystemHabitsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void theMapNamedOnTheCommandLineIsLowerCasedOnWindowsOnly_data();
    void theMapNamedOnTheCommandLineIsLowerCasedOnWindowsOnly();
    void pathsAreShownWithTheSystemsSeparators();
#ifdef Q_OS_WIN
    void aMapAnotherProgramHoldsOpenIsToldAndNothingIsLost();
    void settingsAreAnIniFileAndRecoveryCopiesLiveInAppData();
#endif
};

void SystemHabitsTest::initTestCase() {
    // On Windows the user's folders come from the system, not from variables:
    // test mode gives this test folders of its own under AppData.
    QStandardPaths::setTestModeEnabled(true);
}

// The name typed on the command line, the name of the file on disk, and what the
// file-name box shows once that file is read.
void SystemHabitsTest::theMapNamedOnTheCommandLineIsLowerCasedOnWindowsOnly_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("box");
#ifdef Q_OS_WIN
    QTest::newRow("folder and name") << "MAPS\\BIG.AMP"
                                     << "maps/big.amp"
                                     << "maps\\big.amp";
    QTest::newRow("mixed case, slashes") << "Maps/North Front.Amp"
                                         << "maps/north front.amp"
                                         << "maps\\north front.amp";
    QTest::newRow("only A-Z") << QStringLiteral("\u00DCRD\u00DCN-KAMPAGNE.AMP")
                              << QStringLiteral("\u00DCrd\u00DCn-kampagne.amp")
                              << QStringLiteral("\u00DCrd\u00DCn-kampagne.amp");
#else
    // File names are case-sensitive here: the lower-cased name would be another file.
    QTest::newRow("folder and name") << "MAPS/BIG.AMP"
                                     << "MAPS/BIG.AMP"
                                     << "MAPS/BIG.AMP";
    QTest::newRow("not A-Z either") << QStringLiteral("\u00DCRD\u00DCN-KAMPAGNE.AMP")
                                    << QStringLiteral("\u00DCRD\u00DCN-KAMPAGNE.AMP")
                                    << QStringLiteral("\u00DCRD\u00DCN-KAMPAGNE.AMP");
#endif
}

void SystemHabitsTest::theMapNamedOnTheCommandLineIsLowerCasedOnWindowsOnly() {
    QFETCH(QString, argument);
    QFETCH(QString, file);
    QFETCH(QString, box);
    WindowFixture f;
    QVERIFY(QDir(f.dir.path()).mkpath(QFileInfo(f.dir.filePath(file)).path()));
    f.write(file, patternFile(TenByEight, 80));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(f.dir.path());
    TfrmMapEd& window = f.open({QStringLiteral("ampedit"), argument});
    QDir::setCurrent(previous);
    QCOMPARE(f.dialogs.boxes.size(), 0);
    QCOMPARE(window.MapColumns(), 10);
    QCOMPARE(f.textOf("edtFileName"), box);
}

void SystemHabitsTest::pathsAreShownWithTheSystemsSeparators() {
    WindowFixture f;
    QVERIFY(QDir(f.dir.path()).mkpath(QStringLiteral("sub")));
    const QString map = f.write(QStringLiteral("sub/ten.amp"), patternFile(TenByEight, 80));
    QVERIFY(map.contains(QLatin1String("/sub/ten.amp"))); // Qt's own separators
#ifdef Q_OS_WIN
    const QString shown = QString(map).replace(QLatin1Char('/'), QLatin1Char('\\'));
#else
    const QString shown = map;
#endif
    f.open();
    f.readMap(map);
    QCOMPARE(f.textOf("edtFileName"), shown);
    // The status line names the file, and its tip the whole path.
    QStringList tips;
    for (const QLabel* label : f.main->statusBar()->findChildren<QLabel*>()) {
        if (label->text() == QLatin1String("ten.amp")) {
            tips << label->toolTip();
        }
    }
    QCOMPARE(tips, QStringList{shown});
    const QString missing = f.dir.filePath(QStringLiteral("sub/missing.amp"));
    f.readMap(missing);
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].caption, QStringLiteral("AMP File Error"));
#ifdef Q_OS_WIN
    QCOMPARE(f.dialogs.boxes[0].text, QString(missing).replace('/', '\\') + "  Open unsuccessful.");
    QVERIFY2(f.dialogs.boxes[0].detail.startsWith(QString(missing).replace('/', '\\')),
             qPrintable(f.dialogs.boxes[0].detail));
#else
    QCOMPARE(f.dialogs.boxes[0].text, missing + "  Open unsuccessful.");
#endif
}

#ifdef Q_OS_WIN

// The game holds its map open, shared with nobody: Write Map says why it failed,
// the file keeps its bytes, the window its edit and its unwritten mark; once the
// game lets go, the same Write Map writes.
void SystemHabitsTest::aMapAnotherProgramHoldsOpenIsToldAndNothingIsLost() {
    WindowFixture f;
    const std::vector<std::uint8_t> before = patternFile(TenByEight, 80);
    const QString map = f.write(QStringLiteral("Kampagne.amp"), before);
    f.open();
    f.readMap(map);
    f.typeIntoCell(f.view(0), 2, 3, QStringLiteral("77"));
    QVERIFY(f.main->isWindowModified());
    const HANDLE game = CreateFileW(QDir::toNativeSeparators(map).toStdWString().c_str(), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    QVERIFY(game != INVALID_HANDLE_VALUE);
    f.press(QKeySequence::Save);
    CloseHandle(game);
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].caption, QStringLiteral("File Error"));
    QVERIFY2(f.dialogs.boxes[0].detail.contains(QLatin1String("another program has it open")),
             qPrintable(f.dialogs.boxes[0].detail));
    QVERIFY(f.read(map) == before);
    QVERIFY(f.main->isWindowModified());
    QCOMPARE(f.model(0)->cellText(2, 3), QStringLiteral("77"));
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Kampagne.amp"});

    f.press(QKeySequence::Save);
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY(!f.main->isWindowModified());
    std::vector<std::uint8_t> after = before;
    after[amp::recordOffset(amp::recordOfCell(2, 3, 8))] = 77;
    QVERIFY(f.read(map) == after);
}

// The settings go to %LOCALAPPDATA%\ampedit\ampedit.ini, an INI file with the
// values in it, and nothing goes to the registry; recovery copies live in
// AppData too.
void SystemHabitsTest::settingsAreAnIniFileAndRecoveryCopiesLiveInAppData() {
    // The system's own places, not the folders a test or a portable copy names.
    const QByteArray config = qgetenv("XDG_CONFIG_HOME"), data = qgetenv("XDG_DATA_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    const auto putBack = qScopeGuard([&] {
        qputenv("XDG_CONFIG_HOME", config);
        qputenv("XDG_DATA_HOME", data);
    });
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    QVERIFY2(appData.contains(QLatin1String("/AppData/Local"), Qt::CaseInsensitive), qPrintable(appData));
    const QString file = EditorSettings::filePath();
    QCOMPARE(file, appData + "/ampedit/ampedit.ini");
    QFile::remove(file);
    const QString map = QStringLiteral("C:/Maps/\u5730\u56F3.amp");
    {
        EditorSettings settings;
        settings.addRecentMap(map);
        settings.setPicture(true, false);
        settings.sync();
    }
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(written.readAll());
    written.close();
    QVERIFY2(text.contains(QLatin1String("[recent]")) && text.contains(QLatin1String("[picture]")) &&
                 text.contains(QLatin1String("evenColumnsLower=true")),
             qPrintable(text));
    {
        EditorSettings again;
        QCOMPARE(again.recentMaps(), QStringList{map});
    }
    QSettings registry(QStringLiteral("HKEY_CURRENT_USER\\Software"), QSettings::NativeFormat);
    QVERIFY2(!registry.childGroups().contains(QLatin1String("ampedit"), Qt::CaseInsensitive),
             qPrintable(registry.childGroups().join(',')));
    QVERIFY(EditorSettings::reset());
    QVERIFY(!QFile::exists(file));

    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("ampedit"));
    const QString recovery = RecoveryKeeper::folder();
    QCoreApplication::setApplicationName(name);
    QVERIFY2(recovery.startsWith(appData + "/ampedit/", Qt::CaseInsensitive) &&
                 recovery.endsWith("/recovery"),
             qPrintable(recovery));
}

#endif

QTEST_MAIN(SystemHabitsTest)
#include "tst_systemhabits.moc"
