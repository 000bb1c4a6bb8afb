// SPDX-License-Identifier: MIT
// Writing the map back: the cell texts go out by the conversion rule, header first
// and records in the loader's order; nothing the user did is lost by a write.
#include "windowfixture.h"

#include <QDir>

class WritingTest : public QObject {
    Q_OBJECT

private slots:
    void cancellingTheSaveDialogWritesNothing();
    void anUneditedMapIsWrittenBackByteForByte_data();
    void anUneditedMapIsWrittenBackByteForByte();
    void oneTypedValueChangesOneByte();
    void theTextBeingTypedCounts();
    void writesColumnsTimesRowsRecordsByTheConversionRule();
    void aMapOfNoHexesAsksBeforeReplacingOneWithHexes();
    void theFileNameBoxNamesTheFileWritten();

private:
    static void writeMap(WindowFixture& f, const QString& path) { f.writeMap(path); }
};

void WritingTest::cancellingTheSaveDialogWritesNothing() {
    WindowFixture f;
    const auto old = patternFile(TenByEight, 80);
    const QString path = f.write("ten.amp", old);
    f.open();
    f.readMap(path);
    f.document().typeIntoCell(0, 0, 0, "99");
    f.dialogs.saveAnswers = {QString()}; // the user cancels
    f.click("btnSaveMap");
    QCOMPARE(f.dialogs.saveRequests.size(), 1);
    QCOMPARE(f.dialogs.saveRequests[0].title, QStringLiteral("Write Map file"));
    QCOMPARE(f.dialogs.saveRequests[0].filter, QStringLiteral("Map files (*.amp)"));
    QCOMPARE(f.dialogs.saveRequests[0].defaultSuffix, QStringLiteral("amp"));
    QVERIFY(f.read(path) == old);
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"ten.amp"});
}

void WritingTest::anUneditedMapIsWrittenBackByteForByte_data() {
    QTest::addColumn<QByteArray>("file");
    const auto bytes = [](const std::vector<std::uint8_t>& v) {
        return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
    };
    QTest::newRow("10 x 8") << bytes(patternFile(TenByEight, 80));
    QTest::newRow("255 x 255") << bytes(
        patternFile(amp::MapHeader{{0, 0, 255, 0, 255, 0, 0}}, amp::MaxHexCount));
    QTest::newRow("1 x 1") << bytes(patternFile(amp::MapHeader{{0, 0, 1, 0, 1, 0, 0}}, 1));
    QTest::newRow("no hexes") << bytes(patternFile(amp::MapHeader{{9, 8, 0, 6, 5, 4, 3}}, 0));
    QFile sample(QStringLiteral(AMPEDIT_SAMPLES "/demo.amp"));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    QTest::newRow("sample map") << sample.readAll();
}

void WritingTest::anUneditedMapIsWrittenBackByteForByte() {
    QFETCH(QByteArray, file);
    WindowFixture f;
    const QString path = f.write("in.amp", std::vector<std::uint8_t>(file.begin(), file.end()));
    f.open();
    f.readMap(path);
    f.click("btnPlus"); // what is on show does not matter
    f.writeMap(f.dir.filePath("out.amp"));
    QVERIFY(f.dialogs.boxes.isEmpty());
    QVERIFY(f.read(f.dir.filePath("out.amp")) == std::vector<std::uint8_t>(file.begin(), file.end()));
    // And back over the file just read, the everyday case.
    f.writeMap(path);
    QVERIFY(f.read(path) == std::vector<std::uint8_t>(file.begin(), file.end()));
}

void WritingTest::oneTypedValueChangesOneByte() {
    WindowFixture f;
    const auto old = patternFile(TenByEight, 80);
    QVERIFY(old[115] != 7);
    const QString path = f.write("ten.amp", old);
    f.open();
    f.readMap(path);
    for (int i = 0; i < 4; ++i) {
        f.click("btnPlus");
    }
    f.typeIntoCell(f.view(4), 1, 0, "7");
    f.writeMap(f.dir.filePath("out.amp"));
    const auto written = f.read(f.dir.filePath("out.amp"));
    QCOMPARE(written.size(), old.size());
    QList<int> differing;
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (old[i] != written[i]) {
            differing.append(static_cast<int>(i));
        }
    }
    QCOMPARE(differing, QList<int>{115});
    QCOMPARE(int(written[115]), 7);

    // Writing changed nothing in the window; the user goes on and writes again.
    QCOMPARE(f.model(4)->cellText(1, 0), QStringLiteral("7"));
    QCOMPARE(f.textOf("Edit3"), QStringLiteral("10"));
    QCOMPARE(f.window->MapRows(), 8);
    QCOMPARE(f.visibleLayers(), QList<int>{4});
    f.typeIntoCell(f.view(4), 1, 0, "8");
    f.writeMap(f.dir.filePath("out.amp"));
    QCOMPARE(int(f.read(f.dir.filePath("out.amp"))[115]), 8);
}

void WritingTest::theTextBeingTypedCounts() {
    WindowFixture f;
    f.openOn("ten.amp", patternFile(TenByEight, 80));
    // Typed, not confirmed, then "Write Map" clicked.
    f.typeIntoCell(f.view(0), 0, 0, "42", false);
    f.writeMap(f.dir.filePath("a.amp"));
    QCOMPARE(int(f.read(f.dir.filePath("a.amp"))[7]), 42);
    // Typed, not confirmed, and written without the focus leaving the cell.
    f.typeIntoCell(f.view(0), 0, 1, "43", false);
    f.window->WriteMap(f.dir.filePath("b.amp"));
    QCOMPARE(int(f.read(f.dir.filePath("b.amp"))[7 + 13]), 43);
    QCOMPARE(f.model(0)->cellText(0, 1), QStringLiteral("43"));
}

void WritingTest::writesColumnsTimesRowsRecordsByTheConversionRule() {
    WindowFixture f;
    f.open();
    f.writeMap(f.dir.filePath("none.amp"));
    QVERIFY(f.read(f.dir.filePath("none.amp")) == std::vector<std::uint8_t>(7, 0));

    f.readMap(f.write("short.amp", patternFile(TenByEight, 5, 9)));
    const QStringList texts = {"256", "-1", "300", "abc", "", "+5", "007", "2147483648"};
    const QList<int> bytes = {0, 255, 44, 0, 0, 5, 7, 0};
    for (int i = 0; i < texts.size(); ++i) {
        f.document().typeIntoCell(6, 3, i, texts[i]);
    }
    f.writeMap(f.dir.filePath("short-out.amp"));
    const auto written = f.read(f.dir.filePath("short-out.amp"));
    QCOMPARE(written.size(), std::size_t(1047));
    const auto full = patternFile(TenByEight, 80);
    QVERIFY(std::equal(written.begin(), written.begin() + 7 + 5 * 13, full.begin()));
    for (int i = 0; i < texts.size(); ++i) {
        QCOMPARE(int(written[amp::recordOffset(amp::recordOfCell(3, i, 8)) + 6]), bytes[i]);
    }
    // A hex the file lacked is written from its empty cells: 0.
    QCOMPARE(int(written[amp::recordOffset(79)]), 0);

    f.readMap(f.write("long.amp", patternFile(TenByEight, 90, 4)));
    f.writeMap(f.dir.filePath("long-out.amp"));
    QVERIFY(f.read(f.dir.filePath("long-out.amp")) == full);
}

// Ctrl+S in a window with no map, onto a map file: the file's hexes are not
// wiped without a question whose default keeps them.
void WritingTest::aMapOfNoHexesAsksBeforeReplacingOneWithHexes() {
    WindowFixture f;
    const auto old = patternFile(TenByEight, 80);
    const QString path = f.write("ten.amp", old);
    const auto shortOne = patternFile(TenByEight, 5); // a file cut short holds 5 hexes
    const QString cut = f.write("cut.amp", shortOne);
    f.open();
    f.dialogs.saveAnswers = {path};
    f.dialogs.yesNoAnswers = {false};
    f.press(QKeySequence::Save);
    QCOMPARE(f.dialogs.questions.size(), 1);
    // The window names files with the system's separators.
    QVERIFY2(f.dialogs.questions[0].text.contains(QDir::toNativeSeparators(path)) &&
                 f.dialogs.questions[0].text.contains("80 hexes"),
             qPrintable(f.dialogs.questions[0].text));
    QVERIFY(f.read(path) == old);
    QVERIFY(f.dialogs.boxes.isEmpty());

    f.dialogs.saveAnswers = {cut};
    f.dialogs.yesNoAnswers = {false};
    f.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    QCOMPARE(f.dialogs.questions.size(), 2);
    QVERIFY2(f.dialogs.questions[1].text.contains("5 hexes"), qPrintable(f.dialogs.questions[1].text));
    QVERIFY(f.read(cut) == shortOne);

    // Yes replaces it.
    f.dialogs.saveAnswers = {path};
    f.dialogs.yesNoAnswers = {true};
    f.press(QKeySequence::Save);
    QVERIFY(f.read(path) == std::vector<std::uint8_t>(7, 0));

    // A file of no hexes, or none: nothing to lose, nothing asked.
    const QString fresh = f.dir.filePath("fresh.amp");
    f.dialogs.saveAnswers = {fresh};
    f.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    f.dialogs.saveAnswers = {path};
    f.press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    QCOMPARE(f.dialogs.questions.size(), 3);
    QVERIFY(f.read(fresh) == std::vector<std::uint8_t>(7, 0));

    // A new map of 4 x 0 hexes over a map with hexes asks too; a map with hexes
    // over it does not.
    f.readMap(f.write("other.amp", old));
    f.dialogs.mapSizes = {QSize(4, 0)};
    f.press(QKeySequence::New);
    f.dialogs.saveAnswers = {cut};
    f.dialogs.yesNoAnswers = {false};
    f.press(QKeySequence::Save);
    QCOMPARE(f.dialogs.questions.size(), 4);
    QVERIFY(f.read(cut) == shortOne);
    f.dialogs.unwrittenAnswers = {UnwrittenChoice::Discard};
    f.readMap(f.dir.filePath("other.amp"));
    f.writeMap(cut);
    QCOMPARE(f.dialogs.questions.size(), 4);
    QVERIFY(f.read(cut) == old);
}

void WritingTest::theFileNameBoxNamesTheFileWritten() {
    WindowFixture f;
    const QString path = f.write("ten.amp", patternFile(TenByEight, 80));
    f.open();
    f.readMap(path);
    QCOMPARE(f.textOf("edtFileName"), shown(path));
    const QString other = f.dir.filePath("other.amp");
    f.writeMap(other);
    QCOMPARE(f.textOf("edtFileName"), shown(other));
    QCOMPARE(f.document().fileName(), other);
}

QTEST_MAIN(WritingTest)
#include "tst_writing.moc"
