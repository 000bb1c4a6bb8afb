// SPDX-License-Identifier: MIT
// The window on a desktop of 1024 x 768: never larger than the desktop's room,
// whatever docks are shown; a maximised window, or a height the user chose that
// shows the map, stays as it is when a map is read; a window left partly off the
// desktop comes back on it.
#include "differencesdock.h"
#include "scripttools.h"
#include "windowfixture.h"

#include <QDockWidget>
#include <QScreen>

class ScreenTest : public QObject {
    Q_OBJECT

private slots:
    void theDesktopIsTheOneTheTestsAskFor();
    void noDockMakesTheWindowLargerThanTheDesktop();
    void comparingAtStartUpFitsTheDesktop();
    void aMaximisedWindowOrAHandSetHeightStays();
    void aWindowLeftPartlyOffTheDesktopComesBackOnIt();

private:
    static QRect room(const WindowFixture& f) { return f.main->screen()->availableGeometry(); }
    static void expectInside(const WindowFixture& f, const char* what) {
        // The window lays itself out again a turn or two of the event loop later.
        for (int turn = 0; turn < 5; ++turn) {
            QCoreApplication::processEvents();
        }
        const QRect desktop = room(f);
        const QRect frame = f.main->frameGeometry();
        QVERIFY2(frame.width() <= desktop.width() && frame.height() <= desktop.height(),
                 qPrintable(QStringLiteral("%1: %2 x %3 on %4 x %5")
                                .arg(QLatin1String(what))
                                .arg(frame.width())
                                .arg(frame.height())
                                .arg(desktop.width())
                                .arg(desktop.height())));
        const QSize least = f.main->minimumSizeHint().expandedTo(f.main->minimumSize());
        QVERIFY2(least.width() <= desktop.width() && least.height() <= desktop.height(),
                 qPrintable(QStringLiteral("%1: at least %2 x %3")
                                .arg(QLatin1String(what))
                                .arg(least.width())
                                .arg(least.height())));
    }
    static QAction* action(const WindowFixture& f, const QString& text) {
        for (QAction* found : f.main->findChildren<QAction*>()) {
            if (found->text().remove('&') == text) {
                return found;
            }
        }
        qFatal("no action %s", qPrintable(text));
    }
    static QString sample() { return QStringLiteral(AMPEDIT_SAMPLES "/demo.amp"); }
};

void ScreenTest::theDesktopIsTheOneTheTestsAskFor() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(screen.size(), QSize(1024, 768));
}

// Layers (F4), a comparison, the Console and Problems, Undo History, each on
// top of the others, normal and maximised.
void ScreenTest::noDockMakesTheWindowLargerThanTheDesktop() {
    for (const bool maximised : {false, true}) {
        WindowFixture f;
        f.open({QStringLiteral("ampedit"), sample()});
        if (maximised) {
            f.main->showMaximized();
        }
        expectInside(f, "the map");
        f.press(QKeySequence(Qt::Key_F4));
        expectInside(f, "Layers");
        QVERIFY(f.main->compareWith(f.write("other.amp", patternFile(TenByEight, 80))));
        QVERIFY(f.main->differences().isVisible());
        expectInside(f, "Compare");
        f.main->scripts().consoleDock()->show();
        expectInside(f, "Console");
        f.main->scripts().problemsDock()->show();
        expectInside(f, "Problems");
        action(f, "Undo History")->trigger();
        expectInside(f, "Undo History");
        QCOMPARE(f.main->isMaximized(), maximised);
    }
}

// ampedit --compare OTHER MAP: the comparison is made before the window shows.
void ScreenTest::comparingAtStartUpFitsTheDesktop() {
    WindowFixture f;
    const QString other = f.write("other.amp", patternFile(TenByEight, 80));
    qputenv("XDG_DATA_HOME", QFile::encodeName(f.dir.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(f.dir.filePath(QStringLiteral("config"))));
    f.main = std::make_unique<MainWindow>(f.dialogs, QStringList{QStringLiteral("ampedit"), sample()});
    f.window = &f.main->form();
    QVERIFY(f.main->compareWith(other));
    f.main->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.main.get()));
    expectInside(f, "--compare");
}

void ScreenTest::aMaximisedWindowOrAHandSetHeightStays() {
    WindowFixture f;
    f.open();
    f.main->showMaximized();
    QTRY_VERIFY(f.main->isMaximized());
    const QRect maximised = f.main->geometry();
    f.readMap(f.write("ten.amp", patternFile(TenByEight, 80)));
    QVERIFY(f.main->isMaximized());
    QCOMPARE(f.main->geometry(), maximised);

    // Back to normal, and made higher by hand: a small map keeps that height.
    f.main->showNormal();
    QTRY_VERIFY(!f.main->isMaximized());
    f.main->resize(f.main->width(), 700);
    QCoreApplication::processEvents();
    f.readMap(sample());
    f.readMap(f.dir.filePath("ten.amp"));
    QCOMPARE(f.main->height(), 700);
    // Lower than a map needs, the window grows to show it.
    f.main->resize(f.main->width(), 400);
    QCoreApplication::processEvents();
    f.readMap(sample());
    QVERIFY2(f.main->height() > 400, qPrintable(QString::number(f.main->height())));
    // Fitted by the form, it follows the form again: a small map, a lower window.
    const int forSample = f.main->height();
    f.readMap(f.dir.filePath("ten.amp"));
    QVERIFY2(f.main->height() < forSample, qPrintable(QString::number(f.main->height())));
}

void ScreenTest::aWindowLeftPartlyOffTheDesktopComesBackOnIt() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    const QSize size = f.main->size();
    f.main->move(room(f).right() - 200, room(f).top() + 100); // most of it off to the right
    QCoreApplication::processEvents();
    QVERIFY(f.main->close());
    f.open();
    QVERIFY2(room(f).contains(f.main->frameGeometry()),
             qPrintable(QStringLiteral("%1,%2 %3 x %4")
                            .arg(f.main->frameGeometry().x())
                            .arg(f.main->frameGeometry().y())
                            .arg(f.main->frameGeometry().width())
                            .arg(f.main->frameGeometry().height())));
    QCOMPARE(f.main->width(), size.width());
}

QTEST_MAIN(ScreenTest)
#include "tst_screen.moc"
