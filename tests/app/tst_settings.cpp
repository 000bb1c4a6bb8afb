// SPDX-License-Identifier: MIT
// What the editor remembers between runs: the recent maps and the dialogs'
// folder, the window's place and the picture's choices, and a settings file
// written by someone else, value by value.
#include "editorsettings.h"
#include "fakedialogs.h"
#include "hexmapview.h"
#include "layerspanel.h"
#include "mappanel.h"
#include "windowfixture.h"

#include <QAction>
#include <QFile>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#ifndef _WIN32
#include <sys/stat.h>
#endif

class SettingsTest : public QObject {
    Q_OBJECT
private slots:
    void recentMapsAreNewestFirstAndForgetWhatIsGone();
    void theWindowAndThePictureComeBackButNotTheForm();
    void aHostileFileCostsOnlyItsBadValues();
    void theFileIsWrittenAfterTheFirstPaintAndAtTheEnd();
};

void SettingsTest::recentMapsAreNewestFirstAndForgetWhatIsGone() {
    WindowFixture f;
    f.open();
    const auto map = amp::encodeMap(amp::makeMap({}, 3, 2));
    const QString a = f.write("first.amp", map);
    const QString c = f.write("third.amp", map);
    f.readMap(a);
    const QString b = f.dir.filePath("second.amp");
    f.dialogs.saveAnswers = {b};
    f.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)); // written under a new name
    f.readMap(c);
    f.readMap(a); // opened again: first once more, never twice
    QCOMPARE(f.main->settings().recentMaps(), (QStringList{a, c, b}));

    // The next run offers them, and its open dialog starts where the last map was.
    f.main.reset();
    f.open();
    QCOMPARE(f.main->settings().recentMaps(), (QStringList{a, c, b}));
    f.dialogs.openAnswers = {QString()};
    f.press(QKeySequence::Open);
    QCOMPARE(f.dialogs.openRequests.last().directory, f.dir.path());
    QAction* recent = nullptr;
    for (QAction* action : f.main->menuBar()->actions().first()->menu()->actions()) {
        recent = action->menu() ? action : recent;
    }
    QVERIFY(recent);
    emit recent->menu()->aboutToShow();
    QCOMPARE(recent->menu()->actions().first()->text(), QStringLiteral("&1 first.amp"));

    // A map that is gone is said so and leaves the list; the others open.
    QVERIFY(QFile::remove(c));
    f.main->openRecent(c);
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY(f.dialogs.boxes[0].okOnly);
    QVERIFY(f.dialogs.boxes[0].text.contains(QStringLiteral("third.amp")));
    QCOMPARE(f.main->settings().recentMaps(), (QStringList{a, b}));
    f.main->openRecent(b);
    QCOMPARE(f.document().fileName(), b);

    // Ten at most, the oldest falling off.
    for (int i = 0; i < 11; ++i) {
        f.main->settings().addRecentMap(f.dir.filePath(QStringLiteral("m%1.amp").arg(i)));
    }
    const QStringList kept = f.main->settings().recentMaps();
    QCOMPARE(kept.size(), 10);
    QCOMPARE(kept.first(), f.dir.filePath("m10.amp"));
    QCOMPARE(kept.last(), f.dir.filePath("m1.amp"));
    // Names the system takes for one file are one entry: on Windows, letter
    // case aside; elsewhere "M9.amp" is another file.
    f.main->settings().addRecentMap(f.dir.filePath("M9.amp"));
#ifdef Q_OS_WIN
    QCOMPARE(f.main->settings().recentMaps().size(), 10);
    QCOMPARE(f.main->settings().recentMaps().count(f.dir.filePath("m9.amp")), 0);
#else
    QCOMPARE(f.main->settings().recentMaps().mid(0, 2),
             (QStringList{f.dir.filePath("M9.amp"), f.dir.filePath("m10.amp")}));
#endif
    f.main->settings().clearRecentMaps();
    QVERIFY(f.main->settings().recentMaps().isEmpty());
}

// Opening a map makes it the newest recent one; the file is not written in the
// start-up's first turns of the event loop, but a while later, and at the end.
void SettingsTest::theFileIsWrittenAfterTheFirstPaintAndAtTheEnd() {
    WindowFixture f;
    const QString map = f.write("map.amp", amp::encodeMap(amp::makeMap({}, 3, 2)));
    f.open({"ampedit", map});
    const QString file = EditorSettings::filePath();
    QVERIFY(file.startsWith(f.dir.path()));
    QTest::qWait(200);
    QVERIFY(!QFile::exists(file));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 5000);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().contains("map.amp"));
    written.close(); // Windows replaces no file that is open

    // A value set later is in the file once the editor ends, without a wait.
    f.main->settings().addRecentMap(f.dir.filePath("later.amp"));
    f.main.reset();
    QFile again(file);
    QVERIFY(again.open(QIODevice::ReadOnly));
    const QByteArray atTheEnd = again.readAll();
    QVERIFY2(atTheEnd.contains("later.amp"), atTheEnd.constData());
}

void SettingsTest::theWindowAndThePictureComeBackButNotTheForm() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.main->setGeometry(40, 50, 700, 500);
    for (QAction* action : f.main->findChildren<QAction*>()) {
        if (action->text() == QStringLiteral("&Even Columns Lower") ||
            action->text() == QStringLiteral("&Colour-Blind Palette")) {
            action->trigger();
        }
    }
    // Layer 5 laid over the base as a half-opaque shade.
    PictureLayers picture = f.main->mapPanel().view()->pictureLayers();
    picture.layers[5] = {true, MapRenderer::OverlayStyle::Shade, 0.5};
    f.main->mapPanel().view()->setPictureLayers(picture);
    // Hex Coordinates and Hex Outlines on, Hex Values off; a line of radius 2.
    for (const char* name : {LayersPanel::CoordinatesAction, LayersPanel::OutlinesAction}) {
        f.main->findChild<QAction*>(QString::fromLatin1(name))->trigger();
    }
    f.main->mapPanel().setShape(HexMapView::Shape::Line);
    f.main->mapPanel().setBrushRadius(2);
    f.click("btnPlus"); // layer 1, lines shown: the form's, never remembered
    f.control<QCheckBox>("chkLines")->setChecked(true);
    QVERIFY(f.main->close());

    f.open();
    // Its place and width; the height is the form's, which fits it to its views.
    QCOMPARE(f.main->geometry().topLeft(), QPoint(40, 50));
    QCOMPARE(f.main->width(), 700);
    QVERIFY(f.main->mapPanel().view()->evenColumnsLower());
    QVERIFY(f.main->mapPanel().view()->pictureLayers().layers == picture.layers);
    const auto checked = [&f](const char* name) {
        return f.main->findChild<QAction*>(QString::fromLatin1(name))->isChecked();
    };
    QVERIFY(checked(LayersPanel::CoordinatesAction) && checked(LayersPanel::OutlinesAction));
    QVERIFY(!checked(LayersPanel::ValuesAction));
    QVERIFY(f.main->mapPanel().view()->pictureLayers().coordinates);
    QVERIFY(f.main->mapPanel().view()->pictureLayers().outlines);
    QVERIFY(!f.main->mapPanel().view()->hexValues());
    QCOMPARE(f.main->mapPanel().view()->shape(), HexMapView::Shape::Line);
    QCOMPARE(f.main->mapPanel().view()->brushRadius(), 2);
    QCOMPARE(f.window->CurrentLayer(), 0);
    QVERIFY(!f.control<QCheckBox>("chkLines")->isChecked());
    QVERIFY(f.main->findChild<QToolBar*>("changedOnDisk")->isHidden());
}

void SettingsTest::aHostileFileCostsOnlyItsBadValues() {
    WindowFixture f;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(f.dir.filePath("config")));
    QVERIFY(QDir().mkpath(f.dir.filePath("config/ampedit")));
    QFile file(EditorSettings::filePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("version=99\n[recent]\nmaps=relative.amp, /maps/a.amp, , /maps/./a.amp, /maps/b.amp, /" +
               QByteArray(5000, 'x') +
               "\n[files]\nlastFolder=@ByteArray(/maps)\n[window]\ngeometry=not bytes\n"
               "[picture]\nevenColumnsLower=maybe\ncolourBlind=true\nbase=13\n"
               "overlays=on:marks:2, off:shade, up:values:0.5, on:values:0.25\n"
               "hexCoordinates=yes\nhexValues=true\nhexOutlines=1\npaintShape=hexagon\nbrushRadius=9\n");
    file.close();
    {
        const EditorSettings settings;
        QCOMPARE(settings.recentMaps(), (QStringList{"/maps/a.amp", "/maps/b.amp"}));
        QVERIFY(settings.lastFolder().isEmpty());
        QVERIFY(settings.windowGeometry().isEmpty());
        QVERIFY(!settings.evenColumnsLower());
        QVERIFY(settings.colourBlind());
        // Of the layers, only the fourth is told well; the base 13 is no layer.
        PictureLayers picture = PictureLayers::defaults();
        settings.readPictureLayers(picture);
        PictureLayers expected = PictureLayers::defaults();
        expected.layers[3] = {true, MapRenderer::OverlayStyle::Values, 0.25};
        QVERIFY(picture.layers == expected.layers);
        QCOMPARE(picture.base, 0);
        // Of the paint choices only Hex Values is told well; the rest stay as given.
        EditorSettings::PaintChoices choices{true, false, false, 1, 3};
        settings.readPaintChoices(choices);
        QVERIFY(choices.coordinates && choices.values && !choices.outlines);
        QCOMPARE(choices.shape, 1);
        QCOMPARE(choices.brushRadius, 3);
    }
    // Bytes that are no settings file at all: the editor opens as it always does.
    static const char junk[] = "\x00\xFF[\n=\x01@ByteArray(\n[[[";
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(junk, sizeof junk - 1).repeated(200));
    file.close();
    f.open();
    QVERIFY(f.main->settings().recentMaps().isEmpty());
    QCOMPARE(f.window->CurrentLayer(), 0);
    // --reset-settings starts from the defaults: the file goes.
    f.main.reset();
    QVERIFY(EditorSettings::reset());
    QVERIFY(!QFile::exists(EditorSettings::filePath()));

#ifndef _WIN32 // Windows has no FIFO, and QFile::link makes a .lnk shortcut there
    // A link to what is no file (here a pipe, which a read would wait on for
    // ever; a device such as /dev/zero is the same) and an oversized file are
    // neither read nor written: what they name stays as it was.
    const QByteArray pipe = QFile::encodeName(f.dir.filePath("pipe"));
    QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
    QVERIFY(QFile::link(QString::fromLocal8Bit(pipe), EditorSettings::filePath()));
    {
        EditorSettings settings;
        QVERIFY(settings.recentMaps().isEmpty());
        settings.addRecentMap(QStringLiteral("/maps/a.amp"));
        QCOMPARE(settings.recentMaps(), QStringList{"/maps/a.amp"}); // for this run
    }
    QVERIFY(QFileInfo(QString::fromLocal8Bit(pipe)).exists() &&
            !QFileInfo(QString::fromLocal8Bit(pipe)).isFile());
#endif
    QVERIFY(EditorSettings::reset());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[recent]\nmaps=/maps/b.amp\n" + QByteArray(2 * 1024 * 1024, '#'));
    file.close();
    {
        EditorSettings settings;
        QVERIFY(settings.recentMaps().isEmpty());
        settings.addRecentMap(QStringLiteral("/maps/c.amp"));
    }
    QCOMPARE(QFileInfo(EditorSettings::filePath()).size(), 2 * 1024 * 1024 + 26);
}

QTEST_MAIN(SettingsTest)
#include "tst_settings.moc"
