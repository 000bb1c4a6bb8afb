// SPDX-License-Identifier: MIT
// amptool where POSIX systems and Windows differ, run the same on both (under
// Wine for the Windows build): maps through standard input and output byte for
// byte, names beyond the ANSI code page, the words and exit status of the
// program it starts for render, the null device, an output that is its input,
// and the paths it makes told with the system's separators.
#include "platform.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
// After windows.h.
#include <shellapi.h>
#endif

namespace {

struct Ran {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

class Amptool : public testing::Test {
protected:
    // amptool with the words, in the test's folder; `input` on its standard
    // input, or its standard output to the file `outputFile` when named.
    Ran run(const QStringList& words, const QByteArray& input = {}, const QString& outputFile = {},
            const QString& program = QString::fromUtf8(AMPTOOL_PATH)) {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        if (!outputFile.isEmpty()) {
            process.setStandardOutputFile(dir.filePath(outputFile), QIODevice::Append);
        }
        process.start(program, words);
        // Wine now and then fails to create a process ("Internal error") under
        // load; a second start tells that apart from a program that cannot start.
        if (!process.waitForStarted(30000) && process.error() == QProcess::FailedToStart) {
            QThread::msleep(200);
            process.start(program, words);
        }
        EXPECT_TRUE(process.waitForStarted(30000)) << process.errorString().toStdString();
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(60000));
        Ran ran;
        ran.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        ran.out = process.readAllStandardOutput();
        ran.err = process.readAllStandardError();
        // Messages end their lines as the system's text does.
        ran.err.replace("\r\n", "\n");
        return ran;
    }
    QByteArray bytesOf(const QString& name) const {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
    }
    // A map of 10 columns and 13 rows whose every record starts 0x0A 0x0D 0x1A:
    // the bytes a text-mode stream changes ("\n" to "\r\n", "\r\n" to "\n") or
    // stops at (0x1A, the end of a text file).
    QByteArray makeMap(const QString& name) {
        const Ran made =
            run({"new", "10", "13", "--fill", "0=10", "--fill", "1=13", "--fill", "2=26", "-o", name});
        EXPECT_EQ(made.status, 0) << made.err.toStdString();
        return bytesOf(name);
    }
    static QByteArray expectedMap() {
        QByteArray bytes("\x00\x00\x0A\x00\x0D\x00\x00", 7);
        for (int hex = 0; hex < 130; ++hex) {
            bytes += QByteArray("\x0A\x0D\x1A", 3) + QByteArray(10, '\0');
        }
        return bytes;
    }
    QTemporaryDir dir;
};

// ---- standard input and output carry bytes --------------------------------

TEST_F(Amptool, AMapWrittenToStandardOutputIsTheFileByteForByte) {
    const QByteArray file = makeMap("m.amp");
    EXPECT_EQ(file, expectedMap());
    const Ran piped =
        run({"new", "10", "13", "--fill", "0=10", "--fill", "1=13", "--fill", "2=26", "-o", "-"});
    ASSERT_EQ(piped.status, 0) << piped.err.toStdString();
    EXPECT_EQ(piped.out.size(), expectedMap().size());
    EXPECT_EQ(piped.out, expectedMap());
}

TEST_F(Amptool, AMapReadFromStandardInputIsTakenByteForByte) {
    // In and out again unchanged: a resize to the map's own size.
    const Ran through = run({"resize", "-", "10", "13", "-o", "-"}, expectedMap());
    ASSERT_EQ(through.status, 0) << through.err.toStdString();
    EXPECT_EQ(through.out, expectedMap());
    const Ran info = run({"info", "-"}, expectedMap());
    ASSERT_EQ(info.status, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.startsWith("columns 10, rows 13, hexes 130\n"
                                    "size 1697 bytes, complete size 1697 bytes (complete)\n"
                                    "header 0 0 10 0 13 0 0\n"))
        << info.out.toStdString();
}

TEST_F(Amptool, TextOutputHasTheSameBytesOnEverySystem) {
    makeMap("m.amp");
    const Ran exported = run({"export", "m.amp", "--layer", "1"});
    ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
    const QByteArray row = "13,13,13,13,13,13,13,13,13,13\n";
    EXPECT_EQ(exported.out, row.repeated(13));
    const Ran info = run({"info", "m.amp"});
    ASSERT_EQ(info.status, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains("\n    2  ??????          26   26         1      0\n"))
        << info.out.toStdString();
    EXPECT_FALSE(info.out.contains('\r'));
}

// ---- names beyond the ANSI code page --------------------------------------

TEST_F(Amptool, NamesInAnyScriptAreOpenedWrittenAndTold) {
    for (const QString& name : {QString::fromUtf8("Ürdün-Kampagne.amp"), QString::fromUtf8("地図.amp")}) {
        SCOPED_TRACE(name.toStdString());
        const Ran made = run({"new", "10", "13", "--fill", "0=10", "-o", name});
        ASSERT_EQ(made.status, 0) << made.err.toStdString();
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).contains(name));
        const Ran info = run({"info", name});
        EXPECT_EQ(info.status, 0) << info.err.toStdString();
        EXPECT_TRUE(info.out.startsWith("columns 10, rows 13, hexes 130\n")) << info.out.toStdString();
        const QString grid = name + ".csv";
        const Ran exported = run({"export", name, "--layer", "terrain", "-o", grid});
        EXPECT_EQ(exported.status, 0) << exported.err.toStdString();
        EXPECT_EQ(bytesOf(grid), QByteArray("10,10,10,10,10,10,10,10,10,10\n").repeated(13));
        // A message names the file as it was typed, in UTF-8.
        const QString missing = QString::fromUtf8("fehlt-") + name;
        const Ran told = run({"info", missing});
        EXPECT_EQ(told.status, 2);
        EXPECT_TRUE(told.err.startsWith("amptool: info: " + missing.toUtf8() + ": "))
            << told.err.toStdString();
    }
}

// ---- render: a program of amptool's own -----------------------------------

TEST_F(Amptool, RenderGivesItsProgramsExitStatusAndOutput) {
    if (!AMPTOOL_HAS_RENDER) {
        GTEST_SKIP() << "this build has no render program (no window)";
    }
    makeMap("m.amp");
    const Ran drawn = run({"render", "m.amp", "-o", "m.png"});
    EXPECT_EQ(drawn.status, 0) << drawn.err.toStdString();
    const QByteArray png("\x89PNG\r\n\x1A\n", 8);
    EXPECT_TRUE(bytesOf("m.png").startsWith(png));
    // The signature's \r\n and 0x1A come through standard output as they are.
    const Ran piped = run({"render", "m.amp", "-o", "-"});
    EXPECT_EQ(piped.status, 0) << piped.err.toStdString();
    EXPECT_EQ(piped.out, bytesOf("m.png"));
    // Not a map: 1; no such file: 2.
    QFile text(dir.filePath("text.amp"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("abc"); // shorter than a header
    text.close();
    const Ran invalid = run({"render", "text.amp", "-o", "t.png"});
    EXPECT_EQ(invalid.status, 1) << invalid.err.toStdString();
    const Ran missing = run({"render", "missing.amp", "-o", "t.png"});
    EXPECT_EQ(missing.status, 2) << missing.err.toStdString();
    EXPECT_TRUE(missing.err.startsWith("amptool: render: missing.amp: ")) << missing.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("t.png")));
}

TEST_F(Amptool, RenderHandsEveryWordOnAsTyped) {
    if (!AMPTOOL_HAS_RENDER) {
        GTEST_SKIP() << "this build has no render program (no window)";
    }
    // Spaces, quotes, backslashes before a quote and at the end: each comes
    // back in the message about the map it names.
    for (const QString& word : {QString("with space"), QString("a \"quoted\" word"), QString("end\\"),
                                QString("two \\\\"), QString("back\\\"slash"), QString::fromUtf8("地 図")}) {
        SCOPED_TRACE(word.toStdString());
        const Ran told = run({"render", word, "-o", "t.png"});
        EXPECT_EQ(told.status, 2);
        EXPECT_TRUE(told.err.startsWith("amptool: render: " + word.toUtf8() + ": "))
            << told.err.toStdString();
    }
}

TEST_F(Amptool, AProgramNotFoundIsToldWithThePathsLookedAt) {
    // amptool alone in a folder: its render program is not beside it.
    const QString alone = dir.filePath("alone");
    ASSERT_TRUE(QDir().mkpath(alone));
#ifdef _WIN32
    const QString copy = alone + "/amptool.exe";
    const QString helper = alone + "/amptool-render.exe";
#else
    const QString copy = alone + "/amptool";
    const QString helper = alone + "/amptool-render";
#endif
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(AMPTOOL_PATH), copy));
    const Ran told = run({"render", "m.amp", "-o", "m.png"}, {}, {}, copy);
    EXPECT_EQ(told.status, 2);
    const QByteArray expected = "amptool: render: cannot start amptool-render (looked for " +
                                QDir::toNativeSeparators(helper).toUtf8();
#ifdef _WIN32
    // Wine and Windows may spell the folder in another case.
    EXPECT_TRUE(told.err.toLower().startsWith(expected.toLower())) << told.err.toStdString();
#else
    EXPECT_TRUE(told.err.startsWith(expected)) << told.err.toStdString();
#endif
}

// ---- outputs that write nothing or would replace an input -----------------

TEST_F(Amptool, TheNullDeviceIsADryRun) {
    makeMap("m.amp");
    for (const QStringList& words :
         {QStringList{"new", "4", "4", "-o", amptool::NullDeviceName},
          QStringList{"export", "m.amp", "-o", amptool::NullDeviceName},
          QStringList{"resize", "m.amp", "4", "4", "-o", amptool::NullDeviceName}}) {
        SCOPED_TRACE(words.join(' ').toStdString());
        const Ran ran = run(words);
        EXPECT_EQ(ran.status, 0) << ran.err.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"m.amp"});
    }
    EXPECT_EQ(bytesOf("m.amp"), expectedMap());
}

TEST_F(Amptool, AnOutputThatIsAnInputIsRefusedUnderAnyName) {
    makeMap("m.amp");
    QStringList names = {"m.amp", "./m.amp", QDir::toNativeSeparators(dir.filePath("m.amp"))};
#ifdef _WIN32
    names.append("M.AMP"); // the same file: names ignore case
#endif
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const Ran refused = run({"export", "m.amp", "-o", name});
        EXPECT_EQ(refused.status, 2);
        EXPECT_TRUE(refused.err.contains("the output would replace the input m.amp"))
            << refused.err.toStdString();
    }
    // Standard output redirected to the map.
    const Ran redirected = run({"export", "m.amp"}, {}, "m.amp");
    EXPECT_EQ(redirected.status, 2);
    EXPECT_TRUE(redirected.err.contains("standard output: the output would replace the input m.amp"))
        << redirected.err.toStdString();
    EXPECT_EQ(bytesOf("m.amp"), expectedMap());
}

// ---- the command line of a program started on Windows ---------------------

TEST(AmptoolCommandLine, WordsAreQuotedAsTheCRuntimeSplitsThem) {
    EXPECT_EQ(amptool::quotedForCommandLine("map.amp"), "map.amp");
    EXPECT_EQ(amptool::quotedForCommandLine(R"(C:\maps\a.amp)"), R"(C:\maps\a.amp)");
    EXPECT_EQ(amptool::quotedForCommandLine(""), R"("")");
    EXPECT_EQ(amptool::quotedForCommandLine("two words"), R"("two words")");
    EXPECT_EQ(amptool::quotedForCommandLine("tab\there"), "\"tab\there\"");
    EXPECT_EQ(amptool::quotedForCommandLine(R"(say "hi")"), R"("say \"hi\"")");
    EXPECT_EQ(amptool::quotedForCommandLine(R"(C:\my maps\)"), R"("C:\my maps\\")");
    EXPECT_EQ(amptool::quotedForCommandLine(R"(a\\"b)"), R"("a\\\\\"b")");
    EXPECT_EQ(amptool::quotedForCommandLine(R"(a\\ b)"), R"("a\\ b")");
#ifdef _WIN32
    // The system's own splitter takes each back.
    for (const wchar_t* word :
         {L"", L"two words", L"say \"hi\"", L"C:\\my maps\\", L"a\\\\\"b", L"\\\"", L"end\\\\", L"\"\""}) {
        const std::wstring wide = word;
        const std::string utf8(wide.begin(), wide.end());
        const std::string line = "program " + amptool::quotedForCommandLine(utf8);
        int count = 0;
        wchar_t** words = ::CommandLineToArgvW(std::wstring(line.begin(), line.end()).c_str(), &count);
        ASSERT_EQ(count, 2) << line;
        EXPECT_EQ(std::wstring(words[1]), wide) << line;
        ::LocalFree(words);
    }
#endif
}

} // namespace
