// SPDX-License-Identifier: MIT
// Nothing lost: an editor killed at random moments while it keeps recovery
// copies leaves a copy that a new editor offers and that holds a state the user
// saw; the map file is never touched. Copies are the user's alone; where none can
// be kept the user is told; a copy that does not hold together is set aside,
// never offered. And a map changed on disk by another program is read again, or
// offered, with nothing lost either way, and never lost sight of.
#include "diskwatcher.h"
#include "hexmapview.h"
#include "journalbytes.h"
#include "mappanel.h"
#include "noticebar.h"
#include "recoverykeeper.h"
#include "recoverysequence.h"
#include "windowfixture.h"

#include <QDataStream>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>

#include <cstdio>
#include <tuple>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

using Typed = std::tuple<quint8, quint32, QString>;

// A copy laid out as the editor keeps one: the magic line with its 0 byte, the
// map's file name, when it was kept, the map's bytes, the number of typed cells,
// then each as layer, slot (column * rows + row) and text.
QByteArray craftedCopy(const QString& map, const std::vector<std::uint8_t>& bytes, qint32 count,
                       const QList<Typed>& typed) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.writeRawData("ampedit recovery 1", 19);
    out << map << QDateTime::currentDateTimeUtc()
        << QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()))
        << count;
    for (const auto& [layer, slot, text] : typed) {
        out << layer << slot << text;
    }
    return data;
}

#ifdef Q_OS_UNIX
int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? static_cast<int>(info.st_mode & 0777)
                                                                   : -1;
}
#endif

// A window on ten.amp whose watcher looks at the disk 20 ms after a change.
QString openWatched(WindowFixture& f) {
    const QString map = f.openOn("ten.amp", patternFile(TenByEight, 80));
    f.main->diskWatcher().setDelay(20);
    return map;
}

// Another editor on the copies in `data`, giving `answers` when it offers one.
void startOn(WindowFixture& editor, const QString& data, const QList<RecoveryChoice>& answers = {},
             const QStringList& arguments = {QStringLiteral("ampedit")}) {
    editor.dataHome = data;
    editor.dialogs.recoveryAnswers = answers;
    editor.open(arguments);
}

QString barText(const QToolBar* bar) {
    return bar->findChild<QLabel*>()->text();
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("ampedit")); }
    void killedEditorsLeaveWholeCopies();
    void aCopyGoesWhenTheChangesAreWrittenOrDiscarded();
    void aCopyKeepsTheWholePathOfItsMap();
    void aLockLeftUnderThisProcessNumberHidesNoCopy();
    void twoProgramsKeepTheirOwnCopies();
    void anEndThatIsNotCleanKeepsTheCopy();
    void aMapChangedOnDiskIsReadAgainOrOffered();
    void aMapDeletedOrEmptiedOnDiskIsToldInTheBar();
    void aMapMadeAgainOrRenamedOverIsReadAgain();
    void copiesAreTheUsersAlone();
    void anUnusableDataFolderIsTold();
    void copiesThatDoNotHoldTogetherAreSetAside_data();
    void copiesThatDoNotHoldTogetherAreSetAside();
    void aChangeOnDiskDuringAStrokeIsOffered();
    void reloadOfAnotherShapeIsOneStep();
    void aWriteCutShortIsUndoneAndTold();
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
        // Its lock is free once the system has let go of the process (under Wine,
        // a moment after its end is seen), as it is by a user's next start.
        QTRY_VERIFY_WITH_TIMEOUT(!RecoveryKeeper::orphans().empty(), 10000);

        WindowFixture editor;
        startOn(editor, data, {RecoveryChoice::Recover});
        // The target was started on the map, as a user does.
        QCOMPARE(editor.dialogs.recoveryQuestions, QStringList{shown(asArgument(map))});
        QVERIFY(editor.main->isWindowModified());
        QCOMPARE(editor.document().fileName(), asArgument(map));
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
        // No copy is left (on Windows a killed write's temporary file may be:
        // nothing sweeps those there yet).
        QStringList left = QDir(copies).entryList(QDir::Files);
#ifdef Q_OS_WIN
        left.removeIf([](const QString& name) { return name.startsWith(QLatin1String(".ampedit-")); });
#endif
        QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
    }
    QCOMPARE(recovered, Kills);
    qInfo("recovery: %d kills, %d copies offered and recovered whole (edits up to %d), 0 bytes of the map "
          "changed",
          Kills, recovered, latest);
}

void RecoveryTest::aCopyGoesWhenTheChangesAreWrittenOrDiscarded() {
    WindowFixture f;
    const QString map = f.openOn("ten.amp", patternFile(TenByEight, 80));
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
    startOn(next, f.dir.filePath("data"), {RecoveryChoice::Later});
    QCOMPARE(next.dialogs.recoveryQuestions, QStringList{shown(map)});
    QVERIFY(!next.main->isWindowModified());
    next.main.reset();
    WindowFixture last;
    startOn(last, f.dir.filePath("data"), {RecoveryChoice::Discard});
    QCOMPARE(last.dialogs.recoveryQuestions, QStringList{shown(map)});
    QVERIFY(RecoveryKeeper::orphans().empty());
}

// A map named from its working folder is kept by its whole path: a start in
// another folder recovers it onto that file, never onto one of its name there.
void RecoveryTest::aCopyKeepsTheWholePathOfItsMap() {
    WindowFixture f;
    const auto original = patternFile(TenByEight, 80);
    const QString map = f.write("ten.amp", original);
    QVERIFY(QDir(f.dir.path()).mkdir("elsewhere"));
    const QString decoy = f.write("elsewhere/ten.amp", original);
    const QString before = QDir::currentPath();
    const auto back = qScopeGuard([&before] { QDir::setCurrent(before); });
    QVERIFY(QDir::setCurrent(f.dir.path()));
    f.open({QStringLiteral("ampedit"), QStringLiteral("ten.amp")});
    RecoveryKeeper& keeper = f.main->recoveryKeeper();
    keeper.setDelay(20);
    f.document().typeIntoCell(0, 1, 1, QStringLiteral("9"));
    QTRY_VERIFY(!keeper.copyPath().isEmpty() && QFile::exists(keeper.copyPath()));
    const auto copy = RecoveryKeeper::readCopy(keeper.copyPath());
    QVERIFY(copy);
    QCOMPARE(copy->fileName, map);
    // What a crash leaves: the copy, its editor gone.
    QVERIFY(QFile::copy(keeper.copyPath(), QFileInfo(keeper.copyPath()).path() + "/1-1.amprec"));
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
    QVERIFY(f.main->close());
    QVERIFY(QDir::setCurrent(f.dir.filePath("elsewhere")));
    WindowFixture next;
    startOn(next, f.dir.filePath("data"), {RecoveryChoice::Recover});
    QCOMPARE(next.document().fileName(), map);
    next.press(QKeySequence::Save);
    QVERIFY(f.read(decoy) == original);
    QVERIFY(f.read(map) != original);
}

// A killed editor's lock names its process number; Wine hands the same few
// numbers out again, so the next editor may have it. Its copy is still offered;
// the copies this editor keeps itself are still its own.
void RecoveryTest::aLockLeftUnderThisProcessNumberHidesNoCopy() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    RecoveryKeeper& keeper = f.main->recoveryKeeper();
    keeper.setDelay(20);
    f.document().typeIntoCell(0, 1, 1, QStringLiteral("9"));
    QTRY_VERIFY(!keeper.copyPath().isEmpty() && QFile::exists(keeper.copyPath()));
    // What the killed editor left: its copy, and a lock as this process makes them.
    const QString left = QFileInfo(keeper.copyPath()).path() + "/1-1.amprec";
    QVERIFY(QFile::copy(keeper.copyPath(), left));
    QVERIFY(QFile::copy(keeper.copyPath() + ".lock", left + ".lock"));
    QCOMPARE(RecoveryKeeper::orphans(), std::vector<QString>{left});
    QVERIFY(QFile::exists(keeper.copyPath() + ".lock"));
}

// Two editors at once (the second started alone): neither offers, recovers or
// removes the other's copy while it runs; a copy being offered is held by the
// editor that offers it; the killed one's copy is offered at the next start.
void RecoveryTest::twoProgramsKeepTheirOwnCopies() {
    WindowFixture f;
    const QString data = f.dir.filePath("data");
    f.dataHome = data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    const QString theirs = f.write("theirs.amp", patternFile(TenByEight, 80));
    const QString mine = f.write("mine.amp", patternFile(TenByEight, 40));
    QProcess target;
    target.setProgram(QStringLiteral(RECOVERY_TARGET));
    target.setArguments({theirs});
    target.start();
    QVERIFY(target.waitForStarted());
    auto stop = qScopeGuard([&target] {
        target.kill();
        target.waitForFinished();
    });
    const QString copies = RecoveryKeeper::folder();
    QTRY_VERIFY_WITH_TIMEOUT(!QDir(copies).entryList({"*.amprec"}, QDir::Files).isEmpty(), 20000);
    const QString theirCopy = QDir(copies).entryInfoList({"*.amprec"}, QDir::Files).first().filePath();

    // This editor starts beside it: no question (any would fail the test).
    f.open();
    QVERIFY(f.dialogs.recoveryQuestions.isEmpty());
    f.readMap(mine);
    RecoveryKeeper& keeper = f.main->recoveryKeeper();
    keeper.setDelay(20);
    f.document().typeIntoCell(2, 3, 4, QStringLiteral("77"));
    QTRY_VERIFY(!keeper.copyPath().isEmpty() && QFile::exists(keeper.copyPath()));
    const QString myCopy = keeper.copyPath();
    QCOMPARE(QDir(copies).entryList({"*.amprec"}, QDir::Files).size(), 2);
    QVERIFY(RecoveryKeeper::claimOrphans().empty());

    // A third start sees both editors running: nothing to offer.
    {
        WindowFixture third;
        startOn(third, data);
        QVERIFY(third.dialogs.recoveryQuestions.isEmpty());
    }
    QVERIFY(QFile::exists(myCopy));
    QVERIFY(QFile::exists(theirCopy));

    // This editor's changes undone: its copy goes, the other's stays.
    f.document().undoStack()->undo();
    QVERIFY(!QFile::exists(myCopy));
    QVERIFY(QFile::exists(theirCopy));
    const auto read = RecoveryKeeper::readCopy(theirCopy);
    QVERIFY(read);
    QCOMPARE(read->fileName, asArgument(theirs));

    // Killed: its copy is offered, once, and held while it is.
    stop.dismiss();
    target.kill();
    QVERIFY(target.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(!RecoveryKeeper::orphans().empty(), 10000);
    {
        auto held = RecoveryKeeper::claimOrphans();
        QCOMPARE(held.size(), std::size_t(1));
        QCOMPARE(held.front().path, theirCopy);
        WindowFixture meanwhile;
        startOn(meanwhile, data);
        QVERIFY(meanwhile.dialogs.recoveryQuestions.isEmpty());
        QVERIFY(QFile::exists(theirCopy));
    }
    WindowFixture next;
    startOn(next, data, {RecoveryChoice::Later});
    QCOMPARE(next.dialogs.recoveryQuestions, QStringList{shown(asArgument(theirs))});
    QVERIFY(QFile::exists(theirCopy));
}

void RecoveryTest::anEndThatIsNotCleanKeepsTheCopy() {
    WindowFixture f;
    const QString map = f.openOn("ten.amp", patternFile(TenByEight, 80));
    RecoveryKeeper& keeper = f.main->recoveryKeeper();
    f.document().typeIntoCell(0, 2, 3, QStringLiteral("9"));
    keeper.writeNow();
    const QString path = keeper.copyPath();
    QVERIFY(QFile::exists(path));
    const std::vector<std::uint8_t> edited = f.document().encode();
    // The window goes without a close the user confirmed, as when an exception
    // unwinds past it: the copy stays, and the next start offers it.
    f.main.reset();
    QVERIFY(QFile::exists(path));
    WindowFixture next;
    // Started on that very map, as after a crash: what is recovered is shown,
    // and no question offers to write or drop it first.
    startOn(next, f.dir.filePath("data"), {RecoveryChoice::Recover}, {QStringLiteral("ampedit"), map});
    QCOMPARE(next.dialogs.recoveryQuestions, QStringList{shown(map)});
    QCOMPARE(next.dialogs.unwrittenQuestions, 0);
    QCOMPARE(next.document().encode(), edited);
    QVERIFY(next.main->isWindowModified());
}

void RecoveryTest::aMapChangedOnDiskIsReadAgainOrOffered() {
    WindowFixture f;
    const QString map = openWatched(f);
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
    QVERIFY2(f.main->statusBar()->currentMessage().isEmpty(),
             qPrintable(f.main->statusBar()->currentMessage()));
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
    // The bar neither moves the views nor takes a row of them: the window grows.
    auto* bar = f.main->findChild<QToolBar*>("changedOnDisk");
    f.document().typeIntoCell(0, 0, 0, QStringLiteral("7"));
    const QRect viewsBefore(f.view(1)->mapTo(f.main.get(), QPoint(0, 0)), f.window->size());
    changed[amp::recordOffset(0) + 2] = 42;
    QVERIFY(amp::writeFileSafely(map, changed).ok());
    QTRY_VERIFY(bar->isVisible());
    QTRY_COMPARE(QRect(f.view(1)->mapTo(f.main.get(), QPoint(0, 0)), f.window->size()), viewsBefore);
    QPushButton* keep = nullptr;
    for (QPushButton* button : bar->findChildren<QPushButton*>()) {
        keep = button->text() == QStringLiteral("Keep Mine") ? button : keep;
    }
    QVERIFY(keep);
    keep->click();
    QCOMPARE(f.model(0)->cellText(0, 0), QStringLiteral("7"));
    QCOMPARE(f.model(2)->cellText(0, 0), QString::number(patternByte(0, 2)));
    // The answer holds: the same change touched again is not offered again.
    QVERIFY(amp::writeFileSafely(map, changed).ok());
    QTest::qWait(200);
    QVERIFY(!bar->isVisible());
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

void RecoveryTest::aMapDeletedOrEmptiedOnDiskIsToldInTheBar() {
    WindowFixture f;
    const QString map = openWatched(f);
    auto* bar = f.main->findChild<QToolBar*>("changedOnDisk");
    // Emptied: no map any more, told in the bar, never in a modal box.
    QVERIFY(QFile::resize(map, 0));
    QTRY_VERIFY(bar->isVisible() || !f.dialogs.boxes.isEmpty());
    QCOMPARE(f.dialogs.boxes.size(), 0);
    QVERIFY2(barText(bar).startsWith("ten.amp changed on disk and is not a map file"),
             qPrintable(barText(bar)));
    QCOMPARE(f.model(2)->cellText(0, 0), QString::number(patternByte(0, 2))); // the window keeps its map
    // Write Map puts it back, and the bar goes.
    f.press(QKeySequence::Save);
    QVERIFY(f.read(map) == patternFile(TenByEight, 80));
    QVERIFY(!bar->isVisible());
    QVERIFY(QFile::remove(map));
    QTRY_VERIFY(bar->isVisible());
    QCOMPARE(barText(bar), QStringLiteral("ten.amp was deleted on disk: Write will create it again"));
    QCOMPARE(f.model(2)->cellText(0, 0), QString::number(patternByte(0, 2)));
    // A change offered, then gone: Keep Mine answers the deletion, and the
    // change, made again, is offered again.
    f.document().typeIntoCell(0, 0, 0, QStringLiteral("7"));
    auto changed = patternFile(TenByEight, 80);
    changed[amp::recordOffset(0) + 2] = 42;
    f.write("ten.amp", changed);
    QTRY_VERIFY(barText(bar).endsWith("changed on disk. "));
    QVERIFY(QFile::remove(map));
    QTRY_VERIFY(barText(bar).contains("deleted"));
    f.main->diskWatcher().keepMine();
    f.write("ten.amp", changed);
    QTRY_VERIFY(bar->isVisible());
    QCOMPARE(barText(bar), QStringLiteral("ten.amp changed on disk. "));
}

// The file's watch ends with the file; the folder's tells when it is back.
void RecoveryTest::aMapMadeAgainOrRenamedOverIsReadAgain() {
    WindowFixture f;
    const QString map = openWatched(f);
    auto* bar = f.main->findChild<QToolBar*>("changedOnDisk");
    QVERIFY(QFile::remove(map));
    QTest::qWait(200); // the watcher has seen it go
    // Made again later by another program, written in place as `cp` does.
    auto forest = patternFile(TenByEight, 80);
    forest[amp::recordOffset(amp::recordOfCell(3, 4, 8)) + 1] = 99;
    QFile copy(map);
    QVERIFY(copy.open(QIODevice::WriteOnly));
    QCOMPARE(copy.write(reinterpret_cast<const char*>(forest.data()), static_cast<qint64>(forest.size())),
             static_cast<qint64>(forest.size()));
    copy.close();
    QTRY_COMPARE(f.model(1)->cellText(3, 4), QStringLiteral("99"));
    QTRY_VERIFY(!bar->isVisible());
    QVERIFY(!f.main->isWindowModified());
    // One typed cell and Write Map: the other program's map plus that cell.
    f.document().typeIntoCell(0, 2, 2, QStringLiteral("7"));
    f.press(QKeySequence::Save);
    forest[amp::recordOffset(amp::recordOfCell(2, 2, 8))] = 7;
    QVERIFY(f.read(map) == forest);
    // Renamed over, twice: each map is read as it comes.
    for (const std::uint8_t value : {std::uint8_t{61}, std::uint8_t{62}}) {
        forest[amp::recordOffset(amp::recordOfCell(5, 6, 8)) + 4] = value;
        const QString other = f.write("other.amp", forest);
        QVERIFY(amp::replaceFile(other, map).ok()); // std::rename refuses an existing map on Windows
        QTRY_COMPARE(f.model(4)->cellText(5, 6), QString::number(value));
    }
    QCOMPARE(f.dialogs.boxes.size(), 0);
}

void RecoveryTest::copiesAreTheUsersAlone() {
#ifdef Q_OS_UNIX
    const mode_t before = ::umask(022);
    const auto restore = qScopeGuard([before] { ::umask(before); });
    WindowFixture f;
    qputenv("XDG_DATA_HOME", QFile::encodeName(f.dir.filePath("data")));
    QVERIFY(QDir().mkpath(RecoveryKeeper::folder())); // an older folder, open to all
    QCOMPARE(modeOf(RecoveryKeeper::folder()), 0755);
    f.open(); // closed before a copy in it is read
    QCOMPARE(modeOf(RecoveryKeeper::folder()), 0700);
    QCOMPARE(::chmod(QFile::encodeName(RecoveryKeeper::folder()).constData(), 0755), 0); // opened again
    const QString map = f.write("ten.amp", patternFile(TenByEight, 80));
    f.readMap(map);
    RecoveryKeeper& keeper = f.main->recoveryKeeper();
    f.document().typeIntoCell(0, 1, 1, QStringLiteral("abc"));
    keeper.writeNow();
    QVERIFY(QFile::exists(keeper.copyPath()));
    QCOMPARE(modeOf(RecoveryKeeper::folder()), 0700);
    QCOMPARE(modeOf(keeper.copyPath()), 0600);
    f.document().typeIntoCell(0, 1, 2, QStringLiteral("def"));
    keeper.writeNow();
    QCOMPARE(RecoveryKeeper::readCopy(keeper.copyPath())->typed.size(), std::size_t(2));
    QCOMPARE(modeOf(keeper.copyPath()), 0600);
#else
    QSKIP("permission bits are POSIX's");
#endif
}

// Root may write anywhere: the data folder is made impossible by a file where its
// parent folder should be.
void RecoveryTest::anUnusableDataFolderIsTold() {
    WindowFixture f;
    const QString plain = f.write("plain", {1});
    f.dataHome = plain + QStringLiteral("/data");
    const QString map = f.openOn("ten.amp", patternFile(TenByEight, 80));
    RecoveryKeeper& keeper = f.main->recoveryKeeper();
    keeper.setDelay(20);
    QSignalSpy told(&keeper, &RecoveryKeeper::protectionChanged);
    auto* notices = f.main->findChild<NoticeBar*>("notices");
    f.document().typeIntoCell(0, 1, 1, QStringLiteral("5"));
    QTRY_VERIFY(notices->isVisible());
    QVERIFY2(notices->text().startsWith("Unwritten changes are not protected"), qPrintable(notices->text()));
    QCOMPARE(f.main->statusBar()->currentMessage(), notices->text());
    QVERIFY(keeper.copyPath().isEmpty());
    // Said once; tried again at every change, and kept once the folder can be made.
    f.document().typeIntoCell(0, 1, 2, QStringLiteral("6"));
    keeper.writeNow();
    QCOMPARE(told.count(), 1);
    QVERIFY(QFile::remove(plain));
    f.document().typeIntoCell(0, 1, 3, QStringLiteral("7"));
    QTRY_VERIFY(!keeper.copyPath().isEmpty() && QFile::exists(keeper.copyPath()));
    QVERIFY(!notices->isVisible());
    QCOMPARE(told.count(), 2);
    QVERIFY(told.last().first().toString().isEmpty());
#ifndef Q_OS_WIN
    // With no HOME there is no data folder: never one at the root of the disk.
    // (Windows gives the user's AppData whatever the environment says.)
    keeper.removeCopy();
    const QByteArray home = qgetenv("HOME");
    qunsetenv("HOME");
    qunsetenv("XDG_DATA_HOME");
    keeper.writeNow();
    qputenv("HOME", home);
    qputenv("XDG_DATA_HOME", QFile::encodeName(f.dataHome));
    QVERIFY(keeper.copyPath().isEmpty());
    QVERIFY(notices->isVisible());
    QVERIFY2(notices->text().contains("HOME is not set"), qPrintable(notices->text()));
#endif
}

void RecoveryTest::copiesThatDoNotHoldTogetherAreSetAside_data() {
    QTest::addColumn<QByteArray>("copy");
    QTest::addColumn<bool>("whole");
    const QString map = QStringLiteral("/nowhere/ten.amp");
    const auto ten = patternFile(TenByEight, 80);
    const amp::MapHeader noRows{{0x2A, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x05}};
    const std::vector<std::uint8_t> header(noRows.bytes.begin(), noRows.bytes.end());
    const QByteArray whole = craftedCopy(map, ten, 1, {{2, 79, "abc"}});
    QTest::newRow("whole, the last slot") << whole << true;
    QTest::newRow("no rows, a typed cell") << craftedCopy(map, header, 1, {{0, 0, "abc"}}) << false;
    QTest::newRow("a slot past the end") << craftedCopy(map, ten, 1, {{2, 80, "abc"}}) << false;
    QTest::newRow("layer 13") << craftedCopy(map, ten, 1, {{13, 0, "abc"}}) << false;
    QTest::newRow("truncated") << whole.left(whole.size() / 2) << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("a huge count") << craftedCopy(map, ten, 0x7FFFFFFF, {{2, 1, "abc"}}) << false;
    QTest::newRow("map shorter than its header")
        << craftedCopy(map, patternFile(TenByEight, 79), 0, {}) << false;
}

void RecoveryTest::copiesThatDoNotHoldTogetherAreSetAside() {
    QFETCH(QByteArray, copy);
    QFETCH(bool, whole);
    WindowFixture f;
    qputenv("XDG_DATA_HOME", QFile::encodeName(f.dir.filePath("data")));
    QVERIFY(QDir().mkpath(RecoveryKeeper::folder()));
    const QString path = RecoveryKeeper::folder() + QStringLiteral("/1-1.amprec");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(copy) == copy.size());
    file.close();
    f.dialogs.recoveryAnswers = {RecoveryChoice::Recover};
    f.open();
    auto* notices = f.main->findChild<NoticeBar*>("notices");
    if (whole) {
        QCOMPARE(f.dialogs.recoveryQuestions, QStringList{shown("/nowhere/ten.amp")});
        QCOMPARE(f.model(2)->cellText(9, 7), QStringLiteral("abc")); // slot 79: column 9, row 7
        QVERIFY(!notices->isVisible());
        return;
    }
    QVERIFY(f.dialogs.recoveryQuestions.isEmpty());
    QVERIFY(!QFile::exists(path));
    QVERIFY(QFile::exists(path + ".broken"));
    QVERIFY(notices->isVisible());
    QVERIFY2(notices->text().contains(shown(path)), qPrintable(notices->text()));
    f.main.reset();
    // Never offered again, and set aside once.
    WindowFixture next;
    startOn(next, f.dir.filePath("data"));
    QVERIFY(next.dialogs.recoveryQuestions.isEmpty());
    QCOMPARE(QDir(RecoveryKeeper::folder()).entryList(QDir::Files), QStringList{"1-1.amprec.broken"});
}

// Another program rewrites the map while a stroke is held: the stroke is already
// an unwritten change, so nothing is read over it; the bar offers the disk's map.
void RecoveryTest::aChangeOnDiskDuringAStrokeIsOffered() {
    WindowFixture f;
    const QString map = openWatched(f);
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
    const QString map = openWatched(f);
    f.document().typeIntoCell(3, 9, 7, QStringLiteral("abc"));
    f.window->selectHex(0, 1); // record 1: terrain 14
    QCOMPARE(f.textOf("edtTerrainType"), QString::fromLatin1(amp::TerrainNames[14].data()));
    const amp::MapHeader small{{0, 0, 3, 0, 2, 0, 0}};
    auto other = patternFile(small, 6);
    other[amp::recordOffset(amp::recordOfCell(0, 1, 2))] = 3; // the disk's map has terrain 3 there
    QVERIFY(amp::writeFileSafely(map, other).ok());
    auto* bar = f.main->findChild<QToolBar*>("changedOnDisk");
    QTRY_VERIFY(bar->isVisible());
    f.main->diskWatcher().reload();
    // Hex Info names what lies under the current hex now.
    QCOMPARE(f.textOf("edtTerrainType"), QString::fromLatin1(amp::TerrainNames[3].data()));
    QCOMPARE(f.textOf("Edit3"), QStringLiteral("3"));
    QCOMPARE(f.view(0)->model()->columnCount(), 3);
    QVERIFY(!f.main->isWindowModified());
    QVERIFY(f.document().undoStack()->canUndo());
    f.press(QKeySequence::Undo);
    QCOMPARE(f.textOf("Edit3"), QStringLiteral("10"));
    QCOMPARE(f.model(3)->cellText(9, 7), QStringLiteral("abc"));
    QVERIFY(f.main->isWindowModified());
}

// A write in place that a crash cut short left its journal: reading the map puts
// the old bytes back first, and the window says so.
void RecoveryTest::aWriteCutShortIsUndoneAndTold() {
    WindowFixture f;
    f.open();
    const auto whole = patternFile(TenByEight, 80);
    auto torn = whole;
    std::fill(torn.begin() + amp::HeaderSize, torn.begin() + amp::HeaderSize + 100, std::uint8_t{0xEE});
    torn.resize(500);
    const QString map = f.write("ten.amp", torn);
    const QByteArray canonical = QFile::encodeName(QFileInfo(map).canonicalFilePath());
    QVERIFY(plantJournal(f.dataHome.isEmpty() ? f.dir.filePath("data") : f.dataHome, "cut.journal",
                         journalBytes(canonical, identityOf(map), whole, torn)));
    f.readMap(map);
    QCOMPARE(f.model(0)->cellText(0, 0), QString::number(patternByte(0, 0)));
    QCOMPARE(f.model(4)->cellText(9, 7), QString::number(patternByte(79, 4))); // past the torn end
    QVERIFY(f.read(map) == whole);
    auto* notices = f.main->findChild<NoticeBar*>("notices");
    QVERIFY(notices->isVisible());
    QVERIFY2(notices->text().contains("was cut short; its old content was put back first"),
             qPrintable(notices->text()));
    QVERIFY(!f.main->isWindowModified());
}

QTEST_MAIN(RecoveryTest)
#include "tst_recovery.moc"
