// SPDX-License-Identifier: MIT
// A merge settled in the session, without a window: three maps of literal bytes
// merged into the session's map, the conflicts found and counted, takes of each
// side and scope as undo steps, edits that settle a conflict, the list's rows,
// stepping, a merge that cannot be read changing nothing, and a script that
// settles conflicts through merge.conflicts and merge.take.
#ifdef AMPEDIT_HAVE_SCRIPTING
#include "jsengine.h"
#endif
#include "conflictmodel.h"
#include "differencemodel.h"
#include "mapeditor.h"
#include "mapfiles.h"
#include "scriptrunner.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A map of 2 columns x 2 rows; the header's bytes 0 and 6 are free to differ.
// Records follow in file order: hex 0,0, then 0,1, then 1,0, then 1,1.
Bytes map2x2(std::uint8_t first, std::uint8_t last) {
    Bytes bytes{first, 0, 2, 0, 2, 0, last};
    bytes.resize(7 + 4 * 13, 0);
    return bytes;
}

// The file offset of a layer of hex [column][row] of a 2 x 2 map.
std::size_t at(int column, int row, int layer) {
    return 7 + static_cast<std::size_t>((column * 2 + row) * 13 + layer);
}

struct Maps {
    QTemporaryDir dir;
    QString base, ours, theirs, output;
    Bytes expected; // the merged map, ours at each conflict
};

// Base: all zeros. Ours sets header byte 0 to 1, hex 0,0 layer 0 to 5, hex 1,1
// layer 3 to 7 and hex 1,0 layer 4 to 8. Theirs sets header byte 0 to 2 and
// byte 6 to 3, hex 0,0 layer 0 to 9, hex 0,1 layer 2 to 4, hex 1,1 layer 3 to 7
// (the same change) and hex 1,0 layer 4 to 6. Conflicts: header byte 0, hex
// 0,0 layer 0, hex 1,0 layer 4.
void makeMaps(Maps& maps) {
    QVERIFY(maps.dir.isValid());
    Bytes ours = map2x2(1, 0);
    ours[at(0, 0, 0)] = 5;
    ours[at(1, 1, 3)] = 7;
    ours[at(1, 0, 4)] = 8;
    Bytes theirs = map2x2(2, 3);
    theirs[at(0, 0, 0)] = 9;
    theirs[at(0, 1, 2)] = 4;
    theirs[at(1, 1, 3)] = 7;
    theirs[at(1, 0, 4)] = 6;
    maps.base = written(maps.dir, "base.amp", map2x2(0, 0));
    maps.ours = written(maps.dir, "ours.amp", ours);
    maps.theirs = written(maps.dir, "theirs.amp", theirs);
    maps.output = maps.dir.filePath("merged.amp");
    maps.expected = map2x2(1, 3);
    maps.expected[at(0, 0, 0)] = 5;
    maps.expected[at(0, 1, 2)] = 4;
    maps.expected[at(1, 1, 3)] = 7;
    maps.expected[at(1, 0, 4)] = 8;
}

// The three maps merged into a fresh session.
struct Merging {
    Maps maps;
    MapEditor session;
    MapMerge& merge = started();
    MapMerge& started() {
        makeMaps(maps);
        if (!session.merge(maps.base, maps.ours, maps.theirs, maps.output).ok()) {
            qFatal("the test maps do not merge");
        }
        return *session.merge();
    }
};

QString rowText(const QAbstractItemModel& model, int row) {
    QStringList cells;
    for (int k = 0; k < model.columnCount(); ++k) {
        cells << model.index(row, k).data().toString();
    }
    return cells.join(',');
}

} // namespace

class MergingTest : public QObject {
    Q_OBJECT

private slots:
    void theMergedMapIsTheSessionsUnwrittenMap();
    void aMergeThatCannotBeReadChangesNothing_data();
    void aMergeThatCannotBeReadChangesNothing();
    void theMergedMapNeverReplacesTheBaseOrTheirs();
    void eachSideTakenOnAHexIsOneStepAndUndoes();
    void scopesReachTheirConflictsOnly();
    void anEditSettlesAConflictAndItsUndoReopensIt();
    void theListShowsEveryConflictAndSteppingSkipsSettled();
    void anotherMapEndsTheMerge();
    void aScriptSettlesConflictsAsOneStep();
};

void MergingTest::theMergedMapIsTheSessionsUnwrittenMap() {
    Maps maps;
    makeMaps(maps);
    MapEditor session;
    const DocumentResult merged = session.merge(maps.base, maps.ours, maps.theirs, maps.output);
    QVERIFY2(merged.ok(), qPrintable(merged.message));
    QVERIFY(session.isMerging());
    QCOMPARE(session.document().encode(), maps.expected);
    QCOMPARE(session.document().fileName(), maps.output);
    QVERIFY(session.hasUnwrittenEdits());
    QVERIFY(!QFile::exists(maps.output)); // nothing written until asked
    const MapMerge& merge = *session.merge();
    QCOMPARE(merge.conflictCount(), std::size_t{3});
    QCOMPARE(merge.leftCount(), std::size_t{3});
    QCOMPARE(merge.countText(), QString("3 conflicts left"));
    QVERIFY(merge.hexLeft(0, 0) && merge.hexLeft(1, 0));
    QVERIFY(!merge.hexLeft(0, 1) && !merge.hexLeft(1, 1));
    QVERIFY(merge.cellLeft(4, 1, 0) && !merge.cellLeft(3, 1, 0));
    // The list git's merge driver left beside the map stays while conflicts do.
    const QString list = maps.output + ".conflicts";
    QFile listFile(list);
    QVERIFY(listFile.open(QIODevice::WriteOnly));
    listFile.close();
    QVERIFY(session.write(session.document().fileName()).ok());
    QCOMPARE(contentOf(maps.output), maps.expected);
    QVERIFY(!session.hasUnwrittenEdits());
    QVERIFY(QFile::exists(list));
    // Settled and written: the list goes.
    QVERIFY(!session.take(MapMerge::Side::Ours, MapMerge::Scope::All).isEmpty());
    QVERIFY(session.write(session.document().fileName()).ok());
    QVERIFY(!QFile::exists(list));
}

void MergingTest::aMergeThatCannotBeReadChangesNothing_data() {
    QTest::addColumn<int>("broken"); // 0 base, 1 ours, 2 theirs
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("ours missing") << 1 << QByteArray();
    QTest::newRow("theirs too short for a header") << 2 << QByteArray("\x01\x02\x03", 3);
    QTest::newRow("base a folder") << 0 << QByteArray("folder");
    QTest::newRow("both sides resized differently") << -1 << QByteArray();
}

void MergingTest::aMergeThatCannotBeReadChangesNothing() {
    QFETCH(int, broken);
    QFETCH(QByteArray, content);
    Maps maps;
    makeMaps(maps);
    QString names[3] = {maps.base, maps.ours, maps.theirs};
    if (broken < 0) {
        Bytes wide{0, 0, 3, 0, 2, 0, 0}, tall{0, 0, 2, 0, 3, 0, 0};
        names[1] = written(maps.dir, "wide.amp", wide);
        names[2] = written(maps.dir, "tall.amp", tall);
    } else if (content == "folder") {
        names[broken] = maps.dir.filePath("a-folder.amp");
        QVERIFY(QDir(maps.dir.path()).mkdir("a-folder.amp"));
    } else if (content.isEmpty()) {
        names[broken] = maps.dir.filePath("missing.amp");
    } else {
        names[broken] = written(maps.dir, "short.amp", Bytes(content.begin(), content.end()));
    }
    MapEditor session;
    const Bytes before = map2x2(77, 0);
    const QString open = written(maps.dir, "open.amp", before);
    QVERIFY(session.open(open).ok());
    const DocumentResult merged = session.merge(names[0], names[1], names[2], maps.output);
    QVERIFY(!merged.ok());
    if (broken >= 0) {
        QVERIFY2(merged.message.contains(QFileInfo(names[broken]).fileName()), qPrintable(merged.message));
    } else {
        QVERIFY2(merged.message.contains("3 x 2") && merged.message.contains("2 x 3"),
                 qPrintable(merged.message));
    }
    QVERIFY(!session.isMerging());
    QCOMPARE(session.document().fileName(), open);
    QCOMPARE(session.document().encode(), before);
    QVERIFY(!session.hasUnwrittenEdits());
}

void MergingTest::theMergedMapNeverReplacesTheBaseOrTheirs() {
    Maps maps;
    makeMaps(maps);
    const Bytes base = contentOf(maps.base), theirs = contentOf(maps.theirs);
    QStringList refused = {maps.base, maps.dir.filePath("./") + QFileInfo(maps.theirs).fileName()};
    // Another name of the same file: a hard link, where the file system has them.
    const QString linked = maps.dir.filePath("linked.amp");
    std::error_code error;
    std::filesystem::create_hard_link(QFile::encodeName(maps.theirs).toStdString(),
                                      QFile::encodeName(linked).toStdString(), error);
    if (!error) {
        refused << linked;
    }
    for (const QString& output : refused) {
        MapEditor session;
        const DocumentResult merged = session.merge(maps.base, maps.ours, maps.theirs, output);
        QVERIFY2(!merged.ok() && merged.message.contains("name another file"), qPrintable(output));
        QVERIFY(!session.isMerging());
    }
    QCOMPARE(contentOf(maps.base), base);
    QCOMPARE(contentOf(maps.theirs), theirs);
    // Over ours is what git's merge does.
    MapEditor session;
    QVERIFY(session.merge(maps.base, maps.ours, maps.theirs, maps.ours).ok());
}

void MergingTest::eachSideTakenOnAHexIsOneStepAndUndoes() {
    Merging m;
    auto& [maps, session, merge] = m;
    QUndoStack& stack = *session.document().undoStack();
    LayerModel& terrain = *session.document().layer(0);

    QCOMPARE(session.take(MapMerge::Side::Theirs, MapMerge::Scope::Hex), QString()); // no current hex
    session.setCurrentHex(HexCell{0, 0});
    QCOMPARE(session.take(MapMerge::Side::Theirs, MapMerge::Scope::Hex),
             QString("Take theirs for 1 conflict"));
    QCOMPARE(stack.count(), 1);
    QCOMPARE(stack.undoText(), QString("Take theirs for 1 conflict"));
    QCOMPARE(terrain.cellByte(0, 0), std::uint8_t{9});
    QCOMPARE(merge.leftCount(), std::size_t{2});
    QVERIFY(!merge.hexLeft(0, 0));
    stack.undo();
    QCOMPARE(terrain.cellByte(0, 0), std::uint8_t{5});
    QCOMPARE(merge.leftCount(), std::size_t{3});
    QVERIFY(merge.hexLeft(0, 0));
    stack.redo();
    QCOMPARE(terrain.cellByte(0, 0), std::uint8_t{9});
    QVERIFY(!merge.hexLeft(0, 0));

    // A change of mind: ours again on the same hex writes ours back and keeps it settled.
    QVERIFY(!session.take(MapMerge::Side::Ours, MapMerge::Scope::Hex).isEmpty());
    QCOMPARE(terrain.cellByte(0, 0), std::uint8_t{5});
    QVERIFY(!merge.hexLeft(0, 0));
    QCOMPARE(merge.leftCount(), std::size_t{2});
    // Ours changes no byte, yet its undo makes the conflict left again.
    stack.undo();
    QCOMPARE(terrain.cellByte(0, 0), std::uint8_t{9});
    stack.undo();
    QCOMPARE(terrain.cellByte(0, 0), std::uint8_t{5});
    QVERIFY(merge.hexLeft(0, 0));

    session.setCurrentHex(HexCell{1, 0});
    QVERIFY(!session.take(MapMerge::Side::Base, MapMerge::Scope::Hex).isEmpty());
    QCOMPARE(session.document().layer(4)->cellByte(1, 0), std::uint8_t{0});
    QCOMPARE(merge.leftCount(), std::size_t{2});
    QCOMPARE(merge.countText(), QString("2 conflicts left"));
}

void MergingTest::scopesReachTheirConflictsOnly() {
    Merging m;
    auto& [maps, session, merge] = m;

    // The layer on show: only layer 4's conflict.
    session.setLayer(4);
    QCOMPARE(session.take(MapMerge::Side::Theirs, MapMerge::Scope::Layer),
             QString("Take theirs for 1 conflict"));
    QCOMPARE(session.document().layer(4)->cellByte(1, 0), std::uint8_t{6});
    QCOMPARE(session.document().layer(0)->cellByte(0, 0), std::uint8_t{5});
    QCOMPARE(merge.leftCount(), std::size_t{2});
    QCOMPARE(session.take(MapMerge::Side::Theirs, MapMerge::Scope::Layer), QString()); // nothing left there

    // The selection: hex 0,0 only, so the header stays in conflict.
    session.document().selection().select(0, {QRect(0, 0, 1, 1)});
    QVERIFY(!session.take(MapMerge::Side::Theirs, MapMerge::Scope::Selection).isEmpty());
    QCOMPARE(session.document().layer(0)->cellByte(0, 0), std::uint8_t{9});
    QCOMPARE(merge.countText(), QString("1 conflict left"));
    QCOMPARE(session.document().header().bytes[0], std::uint8_t{1});

    // Everything left: the header byte, as one step.
    const int steps = session.document().undoStack()->count();
    QCOMPARE(session.take(MapMerge::Side::Base, MapMerge::Scope::All),
             QString("Take the base for 1 conflict"));
    QCOMPARE(session.document().undoStack()->count(), steps + 1);
    QCOMPARE(merge.leftCount(), std::size_t{0});
    QCOMPARE(merge.countText(), QString("All 3 conflicts settled"));
    Bytes expected = maps.expected;
    expected[0] = 0;           // the base's header byte
    expected[at(0, 0, 0)] = 9; // theirs by the selection
    expected[at(1, 0, 4)] = 6; // theirs by the layer
    QCOMPARE(session.document().encode(), expected);
    session.document().undoStack()->undo();
    QCOMPARE(session.document().header().bytes[0], std::uint8_t{1});
    QCOMPARE(merge.countText(), QString("1 conflict left"));
}

void MergingTest::anEditSettlesAConflictAndItsUndoReopensIt() {
    Merging m;
    auto& [maps, session, merge] = m;
    MapDocument& document = session.document();
    QVERIFY(document.typeIntoCell(0, 0, 0, "12"));
    QVERIFY(!merge.cellLeft(0, 0, 0));
    QCOMPARE(merge.leftCount(), std::size_t{2});
    // Typing ours back ("005" writes 5) puts the cell where the merge left it.
    QVERIFY(document.typeIntoCell(0, 0, 0, "005"));
    QVERIFY(merge.cellLeft(0, 0, 0));
    document.undoStack()->undo();
    QVERIFY(!merge.cellLeft(0, 0, 0));
    document.undoStack()->undo();
    QVERIFY(merge.cellLeft(0, 0, 0));
    QCOMPARE(merge.leftCount(), std::size_t{3});
    // A cell without a conflict changes nothing that is counted, and tells nothing.
    QSignalSpy told(&merge, &MapMerge::conflictsChanged);
    QVERIFY(document.typeIntoCell(2, 0, 1, "200"));
    QCOMPARE(merge.leftCount(), std::size_t{3});
    QCOMPARE(told.count(), 0);
    QVERIFY(document.typeIntoCell(0, 0, 0, "7"));
    QCOMPARE(told.count(), 1);
}

void MergingTest::theListShowsEveryConflictAndSteppingSkipsSettled() {
    Merging m;
    auto& [maps, session, merge] = m;
    ConflictModel model(merge);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 3);
    // The header first, then the hexes in file order: 0,0 before 1,0.
    QCOMPARE(rowText(model, 0), QString("header,,byte 0,0,1,2,1"));
    // Terrain values come with their names.
    QCOMPARE(rowText(model, 1), QString("0,0,Terraintype,0 (Clear),5 (Swamp),9 (Port),5 (Swamp)"));
    QCOMPARE(rowText(model, 2), QString("1,0,%1,0,8,6,8").arg(DifferenceModel::layerText(4)));

    QCOMPARE(merge.stepLeft(std::nullopt, 1), std::optional<std::size_t>(0));
    QCOMPARE(merge.stepLeft(std::nullopt, -1), std::optional<std::size_t>(2));
    QCOMPARE(merge.stepLeft(2, 1), std::optional<std::size_t>(0)); // wraps
    session.setCurrentHex(HexCell{0, 0});
    QVERIFY(!session.take(MapMerge::Side::Theirs, MapMerge::Scope::Hex).isEmpty());
    QCOMPARE(rowText(model, 1), QString("0,0,Terraintype,0 (Clear),5 (Swamp),9 (Port),9 (Port) (settled)"));
    QVERIFY(model.index(1, 0).data(Qt::ForegroundRole).isValid());
    QVERIFY(!model.index(2, 0).data(Qt::ForegroundRole).isValid());
    QCOMPARE(merge.stepLeft(0, 1), std::optional<std::size_t>(2));
    QCOMPARE(merge.stepLeft(2, -1), std::optional<std::size_t>(0));
    QCOMPARE(merge.stepLeft(0, -1), std::optional<std::size_t>(2));
}

void MergingTest::anotherMapEndsTheMerge() {
    Merging m;
    auto& [maps, session, merge] = m;
    int changes = 0;
    connect(&session, &MapEditor::mergeChanged, this, [&changes] { ++changes; });
    QVERIFY(!session.open(maps.dir.filePath("missing.amp")).ok());
    QVERIFY(session.isMerging()); // a failed open keeps it
    QVERIFY(session.open(maps.theirs).ok());
    QVERIFY(!session.isMerging());
    QCOMPARE(changes, 1);
    QCOMPARE(session.take(MapMerge::Side::Theirs, MapMerge::Scope::All), QString());
    QVERIFY(session.merge(maps.base, maps.ours, maps.theirs, maps.output).ok());
    session.newMap(3, 3);
    QVERIFY(!session.isMerging());
}

void MergingTest::aScriptSettlesConflictsAsOneStep() {
#ifndef AMPEDIT_HAVE_SCRIPTING
    QSKIP("this build has no JavaScript engine");
#else
    Merging m;
    auto& [maps, session, merge] = m;
    ScriptRunner runner(session, linkedScriptEngine);
    // The list as a script sees it, then theirs for hex 0,0 (a hex), ours for the
    // header byte (a conflict of the list), and a hand-written byte for the last.
    const ScriptOutcome outcome = runner.run(
        QStringLiteral("print(JSON.stringify(merge.conflicts));"
                       "print(merge.take('theirs', {column: 0, row: 0}));"
                       "print(merge.take('ours', merge.conflicts.filter(c => c.headerByte === 0)));"
                       "map.set(4, 1, 0, 30);"),
        QStringLiteral("settle.js"));
    QVERIFY2(outcome.ok() && outcome.changed, qPrintable(outcome.error));
    QCOMPARE(outcome.printed,
             (QStringList{"[{\"headerByte\":0,\"base\":0,\"ours\":1,\"theirs\":2},"
                          "{\"column\":0,\"row\":0,\"layer\":0,\"base\":0,\"ours\":5,\"theirs\":9},"
                          "{\"column\":1,\"row\":0,\"layer\":4,\"base\":0,\"ours\":8,\"theirs\":6}]",
                          "1", "1"}));
    QCOMPARE(merge.leftCount(), std::size_t{0});
    QCOMPARE(session.document().undoStack()->count(), 1);
    Bytes expected = maps.expected;
    expected[at(0, 0, 0)] = 9;
    expected[at(1, 0, 4)] = 30;
    QCOMPARE(session.document().encode(), expected);
    // Undone, the three are left again: ours chose no new byte, yet it was a choice.
    session.document().undoStack()->undo();
    QCOMPARE(merge.leftCount(), std::size_t{3});
    QCOMPARE(session.document().encode(), maps.expected);
    // A side that is no side changes nothing.
    const ScriptOutcome wrong = runner.run(QStringLiteral("merge.take('mine');"), QStringLiteral("wrong.js"));
    QVERIFY(!wrong.ok());
    QVERIFY2(wrong.error.contains("\"ours\", \"theirs\" or \"base\""), qPrintable(wrong.error));
    QCOMPARE(merge.leftCount(), std::size_t{3});
#endif
}

QTEST_GUILESS_MAIN(MergingTest)
#include "tst_merging.moc"
