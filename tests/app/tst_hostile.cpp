// SPDX-License-Identifier: MIT
// Hostile input: names of every kind, write targets that must not be
// replaced, and thousands of texts typed through the real views. The editor keeps
// running, says what went wrong, and loses nothing.
#include "noticebar.h"
#include "windowfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sys/stat.h>

class HostileTest : public QObject {
    Q_OBJECT

private slots:
    void namesOfEveryKindReadAndWrite();
    void targetsThatAreNoFilesAreRefusedUntouched();
    void randomTypingIsWrittenByTheRule();
    void aRecordCutShortIsTold();
};

// A file that ends inside a record: the window says which hex lost its bytes,
// and the next complete map takes the notice away.
void HostileTest::aRecordCutShortIsTold() {
    WindowFixture f;
    f.open();
    // 3 columns, 2 rows: 6 records of 13 bytes, the last one cut to 5.
    QByteArray bytes("\x00\x00\x03\x00\x02\x00\x00", 7);
    bytes += QByteArray(13 * 5 + 5, '\x07');
    const QString cut = f.dir.filePath("cut.amp");
    QFile file(cut);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    f.readMap(cut);
    auto* notices = f.main->findChild<NoticeBar*>("notices");
    QVERIFY(notices->isVisible());
    QCOMPARE(notices->text(),
             QStringLiteral("cut.amp ends inside a record: its last 5 bytes, part of hex 2,1, "
                            "are dropped, and that hex is empty (written as zeros)."));
    QCOMPARE(f.model(0)->cellText(2, 1), QString());
    QCOMPARE(f.model(0)->cellText(2, 0), QStringLiteral("7"));
    bytes += QByteArray(8, '\x07');
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
    file.close();
    f.readMap(cut);
    QVERIFY(!notices->isVisible());
}

void HostileTest::namesOfEveryKindReadAndWrite() {
    WindowFixture f;
    f.open();
    const QString names[] = {"with spaces and  two.amp", QString::fromUtf8("Ärger über Zürich — 地図.amp"),
                             QString(200, QLatin1Char('n')) + ".amp"};
    const auto bytes = patternFile(TenByEight, 80);
    for (const QString& name : names) {
        const QString path = f.write(name, bytes);
        f.readMap(path);
        QCOMPARE(f.textOf("edtFileName"), shown(path));
        const QString out = f.dir.filePath("out " + name);
        f.writeMap(out);
        QVERIFY2(f.read(out) == bytes, qPrintable(name));
    }
    QVERIFY(f.dialogs.boxes.isEmpty());
}

void HostileTest::targetsThatAreNoFilesAreRefusedUntouched() {
    WindowFixture f;
    QVERIFY(QDir(f.dir.path()).mkdir("folder.amp"));
#ifndef _WIN32 // Windows has no FIFO
    QCOMPARE(mkfifo(QFile::encodeName(f.dir.filePath("pipe.amp")).constData(), 0600), 0);
#endif
    f.openOn("good.amp", patternFile(TenByEight, 80));
    f.typeIntoCell(f.view(0), 1, 1, "55");
    const QStringList before =
        QDir(f.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
#ifdef _WIN32
    const QStringList targets = {"folder.amp", "gone/child.amp"};
#else
    const QStringList targets = {"folder.amp", "pipe.amp", "gone/child.amp"};
#endif
    for (const QString& name : targets) {
        f.writeMap(f.dir.filePath(name));
    }
    QCOMPARE(f.dialogs.boxes.size(), targets.size());
    for (const ShownMessage& box : f.dialogs.boxes) {
        QCOMPARE(box.caption, QStringLiteral("AMP File Error"));
        QCOMPARE(box.text, QStringLiteral("Open unsuccessful."));
    }
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), before);
    QVERIFY(QFileInfo(f.dir.filePath("folder.amp")).isDir());
    QVERIFY(QDir(f.dir.filePath("folder.amp")).isEmpty());
#ifndef _WIN32
    struct stat info {};
    QCOMPARE(stat(QFile::encodeName(f.dir.filePath("pipe.amp")).constData(), &info), 0);
    QVERIFY(S_ISFIFO(info.st_mode));
#endif
    QCOMPARE(f.model(0)->cellText(1, 1), QStringLiteral("55"));
    // The edits are all there and go to another name.
    f.writeMap(f.dir.filePath("elsewhere.amp"));
    QCOMPARE(f.dialogs.boxes.size(), targets.size());
    QCOMPARE(int(f.read(f.dir.filePath("elsewhere.amp"))[amp::recordOffset(amp::recordOfCell(1, 1, 8))]), 55);
}

void HostileTest::randomTypingIsWrittenByTheRule() {
    WindowFixture f;
    f.openOn("map.amp", patternFile(TenByEight, 80));
    // Each text with the byte the rule gives it, worked out by hand: leading blanks
    // and one sign are allowed, nothing after the digits, 32 bits at most, and the
    // file keeps the low 8 bits.
    const QList<QPair<QString, int>> texts = {{"", 0},
                                              {"-0", 0},
                                              {"+5", 5},
                                              {" 7", 7},
                                              {"\t12", 12},
                                              {"12\r", 0},
                                              {"007", 7},
                                              {"2147483647", 255},
                                              {"2147483648", 0},
                                              {"-2147483648", 0},
                                              {"-2147483649", 0},
                                              {"99999999999", 0},
                                              {"0x10", 0},
                                              {"256", 0},
                                              {"-1", 255},
                                              {"300", 44},
                                              {"-255", 1},
                                              {"1 2", 0},
                                              {"abc", 0},
                                              {"17", 17},
                                              {QString::fromUtf8("\u0667"), 0},
                                              {QString::fromUtf8("\u03A9mega"), 0},
                                              {QStringLiteral("1\u0001"), 0},
                                              {QString(100000, QLatin1Char('7')), 0},
                                              {"0000000000000000000042", 42},
                                              {"255", 255}};
    QRandomGenerator random(1234);
    constexpr int Edits = 300;
    QHash<QPair<int, int>, int> expected[amp::LayerCount];
    int layer = 0;
    for (int edit = 0; edit < Edits; ++edit) {
        if (edit % 40 == 0) { // now and then, another layer
            const int steps = 1 + static_cast<int>(random.bounded(12));
            for (int i = 0; i < steps; ++i) {
                f.click("btnPlus");
            }
            layer = (layer + steps) % amp::LayerCount;
        }
        const auto& [text, byte] = texts[static_cast<int>(random.bounded(texts.size()))];
        const int column = static_cast<int>(random.bounded(10)), row = static_cast<int>(random.bounded(8));
        LayerView* view = f.view(layer);
        f.clickCell(view, column, row);
        QTest::keyClick(view, Qt::Key_F2); // opens the editor on the text there
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        const bool typable = text.size() <= 8 && std::all_of(text.begin(), text.end(), [](QChar c) {
                                 return c.unicode() >= 0x20 && c.unicode() < 0x7F;
                             });
        if (typable && !text.isEmpty()) {
            QTest::keyClicks(editor, text);
        } else {
            editor->insert(text); // pasted, as such texts come in
        }
        QTest::keyClick(editor, Qt::Key_Return);
        // What the running event loop does: closed editors are deleted.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        expected[layer].insert({column, row}, byte);
        QCOMPARE(f.model(layer)->cellText(column, row), text);
    }

    const QString out = f.dir.filePath("typed.amp");
    f.writeMap(out);
    const auto written = f.read(out);
    QCOMPARE(written.size(), std::size_t(1047));
    int checked = 0;
    for (int j = 0; j < amp::LayerCount; ++j) {
        for (auto it = expected[j].cbegin(); it != expected[j].cend(); ++it) {
            const auto [column, row] = it.key();
            QCOMPARE(int(written[7 + 13 * std::size_t(column * 8 + row) + std::size_t(j)]), it.value());
            ++checked;
        }
    }
    QVERIFY(checked > 150);
    QVERIFY(f.dialogs.boxes.isEmpty());
    // Nothing piles up: no editor outlives its edit.
    for (int j = 0; j < amp::LayerCount; ++j) {
        QVERIFY(f.view(j)->viewport()->findChildren<QLineEdit*>().size() <= 1);
    }
}

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
