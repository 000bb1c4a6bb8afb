// Nothing lost: an editor killed at random moments while it keeps recovery
// copies leaves a copy that a new editor offers and that holds a state the user
// saw; the map file is never touched. And a map changed on disk by another
// program is read again, or offered, with nothing lost either way.
#include "diskwatcher.h"
#include "hexmapview.h"
#include "mappanel.h"
#include "recoverykeeper.h"
#include "recoverysequence.h"
#include "windowfixture.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("ampedit")); }
    void killedEditorsLeaveWholeCopies();
    void aCopyGoesWhenTheChangesAreWrittenOrDiscarded();
    void aMapChangedOnDiskIsReadAgainOrOffered();
    void aChangeOnDiskDuringAStrokeIsOffered();
    void reloadOfAnotherShapeIsOneStep();
};

void RecoveryTest::killedEditorsLeaveWholeCopies() {
    WindowFixture f;
    const amp::MapImage base = amp::decodeMap(patternFile(TenByEight, 80)).value();
    const auto original = amp::encodeMap(base);
    const QString map = f.write("map.amp", original);
    const QString data = f.dir.filePath("data");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    const QString copies = RecoveryKeeper::folder();
    QRandomGenerator random(2026);
    constexpr int Kills = 50;
    int recovered = 0;
    int latest = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        QProcess target;
        target.setProgram(QStringLiteral(RECOVERY_TARGET));
        target.setArguments({map});
        target.start();
        QVERIFY(target.waitForStarted());
        // Once it keeps a copy, at a random moment.
        QTRY_VERIFY_WITH_TIMEOUT(!QDir(copies).entryList({"*.amprec"}, QDir::Files).isEmpty(), 20000);
        QTest::qWait(static_cast<int>(random.bounded(300)));
        target.kill();
        QVERIFY(target.waitForFinished());

        WindowFixture editor;
        editor.dataHome = data;
        editor.dialogs.recoveryAnswers = {RecoveryChoice::Recover};
        editor.open();
        QCOMPARE(editor.dialogs.recoveryQuestions, QStringList{map});
        QVERIFY(editor.main->isWindowModified());
        QCOMPARE(editor.document().fileName(), map);
        // The map after some edit the target made: never a mixture.
        const auto bytes = editor.document().encode();
        int k = 1;
        while (k < 100000 && afterEdits(base, k) != bytes) {
            ++k;
        }
        QVERIFY2(k < 100000, "the recovered map is no state the editor had");
        latest = std::max(latest, k);
        QVERIFY(f.read(map) == original);
        // Undo gives back the file as it is on disk.
        editor.document().undoStack()->undo();
        QVERIFY(editor.document().encode() == original);
        ++recovered;
        editor.main.reset(); // a clean exit: its own copy goes
        QVERIFY(QDir(copies).entryList(QDir::Files).isEmpty());
    }
    QCOMPARE(recovered, Kills);
    qInfo("recovery: %d kills, %d copies offered and recovered whole (edits up to %d), 0 bytes of the map changed",
          Kills, recovered, latest);
}

void RecoveryTest::aCopyGoesWhenTheChangesAreWrittenOrDiscarded() {
    WindowFixture f;
    f.open();
    const QString map = f.write("ten.amp", patternFile(TenByEight, 80));
    f.readMap(map);
    RecoveryKeeper& keeper = f.main->recoveryKeeper();
    keeper.setDelay(20);
    f.document().typeIntoCell(0, 1, 1, QStringLiteral("abc"));
    QTRY_VERIFY(!keeper.copyPath().isEmpty() && QFile::exists(keeper.copyPath()));
    // A running editor's copy is no orphan.
    QVERIFY(RecoveryKeeper::orphans().empty());
    const auto copy = RecoveryKeeper::readCopy(keeper.copyPath());
    QVERIFY(copy);
    QCOMPARE(copy->fileName, map);
    QCOMPARE(copy->typed.size(), std::size_t(1));
    QCOMPARE(copy->typed[0].text, QStringLiteral("abc"));
    QVERIFY(copy->bytes == f.document().encode());
    const QString path = keeper.copyPath();
    f.press(QKeySequence::Save);
    QVERIFY(!QFile::exists(path));
    f.document().typeIntoCell(0, 1, 1, QStringLiteral("5"));
    QTRY_VERIFY(!keeper.copyPath().isEmpty());
    const QString second = keeper.copyPath();
    // What a crash leaves: the copy, its editor gone. Later keeps it; Discard removes it.
    QVERIFY(QFile::copy(second, QFileInfo(second).path() + "/1-1.amprec"));
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
    QVERIFY(f.main->close());
    QVERIFY(!QFile::exists(second));
    WindowFixture next;
    next.dataHome = f.dir.filePath("data");
    next.dialogs.recoveryAnswers = {RecoveryChoice::Later};
    next.open();
    QCOMPARE(next.dialogs.recoveryQuestions, QStringList{map});
    QVERIFY(!next.main->isWindowModified());
    next.main.reset();
    WindowFixture last;
    last.dataHome = f.dir.filePath("data");
    last.dialogs.recoveryAnswers = {RecoveryChoice::Discard};
    last.open();
    QCOMPARE(last.dialogs.recoveryQuestions, QStringList{map});
    QVERIFY(RecoveryKeeper::orphans().empty());
}

void RecoveryTest::aMapChangedOnDiskIsReadAgainOrOffered() {
    WindowFixture f;
    f.open();
    const QString map = f.write("ten.amp", patternFile(TenByEight, 80));
    f.readMap(map);
    f.main->diskWatcher().setDelay(20);
    f.click("btnPlus");
    f.clickCell(f.view(1), 3, 4);
    // Our own write is no change from outside, told by its content: touching the
    // file wakes the watcher, and the content is what we wrote.
    f.document().typeIntoCell(5, 0, 0, QStringLiteral("55"));
    f.press(QKeySequence::Save);
    QFile written(map);
    QVERIFY(written.open(QIODevice::ReadWrite));
    QVERIFY(written.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    written.close();
    QTest::qWait(200);
    QVERIFY2(f.main->statusBar()->currentMessage().isEmpty(), qPrintable(f.main->statusBar()->currentMessage()));
    QCOMPARE(f.document().undoStack()->count(), 1); // not read again: the step is still there

    // Replaced by another program, nothing unwritten: read again, layer and hex kept.
    auto changed = patternFile(TenByEight, 80);
    changed[amp::recordOffset(0) + 5] = 55;
    changed[amp::recordOffset(amp::recordOfCell(3, 4, 8)) + 1] = 99;
    QVERIFY(amp::writeFileSafely(map, changed).ok());
    QTRY_COMPARE(f.model(1)->cellText(3, 4), QStringLiteral("99"));
    QCOMPARE(f.window->CurrentLayer(), 1);
    QVERIFY(f.view(1)->isVisible());
    QCOMPARE(f.view(1)->currentIndex(), f.model(1)->index(4, 3));
    QVERIFY(f.main->statusBar()->currentMessage().contains("changed on disk"));

    // Changed again while edits are unwritten: the bar offers; Keep Mine keeps them.
    auto* bar = f.main->findChild<QToolBar*>("changedOnDisk");
    f.document().typeIntoCell(0, 0, 0, QStringLiteral("7"));
    changed[amp::recordOffset(0) + 2] = 42;
    QVERIFY(amp::writeFileSafely(map, changed).ok());
    QTRY_VERIFY(bar->isVisible());
    f.main->diskWatcher().keepMine();
    QCOMPARE(f.model(0)->cellText(0, 0), QStringLiteral("7"));
    QCOMPARE(f.model(2)->cellText(0, 0), QString::number(patternByte(0, 2)));
    // Once more; Reload is one undo step that brings the edits back.
    changed[amp::recordOffset(0) + 3] = 43;
    QVERIFY(amp::writeFileSafely(map, changed).ok());
    QTRY_VERIFY(bar->isVisible());
    f.main->diskWatcher().reload();
    QVERIFY(f.document().encode() == changed);
    QVERIFY(!f.main->isWindowModified());
    f.document().undoStack()->undo();
    QCOMPARE(f.model(0)->cellText(0, 0), QStringLiteral("7"));
}

// Another program rewrites the map while a stroke is held: the stroke is already
// an unwritten change, so nothing is read over it; the bar offers the disk's map.
void RecoveryTest::aChangeOnDiskDuringAStrokeIsOffered() {
    WindowFixture f;
    f.open();
    const QString map = f.write("ten.amp", patternFile(TenByEight, 80));
    f.readMap(map);
    f.main->diskWatcher().setDelay(20);
    HexMapView* view = f.main->mapPanel().view();
    view->resize(400, 300);
    view->fitMap();
    view->setPainting(true);
    view->setBrushText(QStringLiteral("200"));
    const QPoint hex = (view->geometryNow().centre(2, 1) + view->origin()).toPoint();
    QTest::mousePress(view, Qt::LeftButton, {}, hex);
    auto changed = patternFile(TenByEight, 80);
    changed[amp::recordOffset(amp::recordOfCell(2, 1, 8))] = 77;
    QVERIFY(amp::writeFileSafely(map, changed).ok());
    auto* bar = f.main->findChild<QToolBar*>("changedOnDisk");
    QTRY_VERIFY(bar->isVisible());
    QTest::mouseRelease(view, Qt::LeftButton, {}, hex);
    QCOMPARE(f.model(0)->cellText(2, 1), QStringLiteral("200"));
    QVERIFY(f.main->isWindowModified());
    f.document().undoStack()->undo();
    QCOMPARE(f.model(0)->cellText(2, 1), QString::number(patternByte(amp::recordOfCell(2, 1, 8), 0)));
    // Reload: the disk's map, written state, one step above the old one.
    f.main->diskWatcher().reload();
    QVERIFY(f.document().encode() == changed);
    QVERIFY(!f.main->isWindowModified());
    QCOMPARE(f.model(0)->cellText(2, 1), QStringLiteral("77"));
}

// Reload over unwritten changes is one undo step, a map of another shape too.
void RecoveryTest::reloadOfAnotherShapeIsOneStep() {
    WindowFixture f;
    f.open();
    const QString map = f.write("ten.amp", patternFile(TenByEight, 80));
    f.readMap(map);
    f.main->diskWatcher().setDelay(20);
    f.document().typeIntoCell(3, 9, 7, QStringLiteral("abc"));
    const amp::MapHeader small{{0, 0, 3, 0, 2, 0, 0}};
    const auto other = patternFile(small, 6);
    QVERIFY(amp::writeFileSafely(map, other).ok());
    auto* bar = f.main->findChild<QToolBar*>("changedOnDisk");
    QTRY_VERIFY(bar->isVisible());
    f.main->diskWatcher().reload();
    QCOMPARE(f.textOf("Edit3"), QStringLiteral("3"));
    QCOMPARE(f.view(0)->model()->columnCount(), 3);
    QVERIFY(!f.main->isWindowModified());
    QVERIFY(f.document().undoStack()->canUndo());
    f.press(QKeySequence::Undo);
    QCOMPARE(f.textOf("Edit3"), QStringLiteral("10"));
    QCOMPARE(f.model(3)->cellText(9, 7), QStringLiteral("abc"));
    QVERIFY(f.main->isWindowModified());
}

QTEST_MAIN(RecoveryTest)
#include "tst_recovery.moc"
