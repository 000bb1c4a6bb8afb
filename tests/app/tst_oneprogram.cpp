// SPDX-License-Identifier: MIT
// One program for all maps: a later start hands the maps it names to the running
// editor, which opens them, and ends at once; a message on the socket that is
// not a whole hand-over is refused and changes nothing; a socket a killed editor
// left is taken over; a server that does not answer is passed by; a start with
// --new-instance runs alone.
#include "instanceserver.h"
#include "mapdocument.h"
#include "windowfixture.h"

#ifdef Q_OS_WIN
#include "localpipe_win.h"
#else
#include <QLocalServer>
#include <QLocalSocket>
#endif
#include <QProcess>
#include <QScopeGuard>
#include <QThread>
#include <QUuid>

#include <atomic>
#include <thread>

namespace {

QByteArray bytes(const char* literal, qsizetype size) {
    return {literal, size};
}
#define BYTES(literal) bytes(literal, sizeof(literal) - 1)

// A second map, of another size than TenByEight.
const amp::MapHeader EightByFive{{0x2A, 0x00, 0x08, 0x00, 0x05, 0x00, 0x05}};

// An absolute path as the system writes one.
#ifdef Q_OS_WIN
const QString Absolute = QStringLiteral("C:/maps/a.amp");
#define ABSOLUTE_BYTES "C:/maps/a.amp"
#else
const QString Absolute = QStringLiteral("/maps/a.amp");
#define ABSOLUTE_BYTES "/maps/a.amp"
#endif

// A server name of the test's own: a socket in its folder, or a pipe no other
// program uses.
QString privateName(const QTemporaryDir& dir) {
#ifdef Q_OS_WIN
    Q_UNUSED(dir);
    return QStringLiteral("ampedit-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
#else
    return dir.filePath(QStringLiteral("socket"));
#endif
}

// Sends `message` from another thread, as a second program would, while this
// one goes on serving; gives what the server answered (empty when it closed).
QByteArray sendAside(const QString& name, const QByteArray& message, bool waitForAnswer = true) {
    std::atomic<bool> done = false;
    QByteArray answer;
    std::thread client([&] {
#ifdef Q_OS_WIN
        char byte = 0;
        if (localpipe::send(name, message, waitForAnswer ? 10000 : 500, &byte) == localpipe::Sent::Answered) {
            answer = QByteArray(1, byte);
        }
#else
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(5000)) {
            socket.write(message);
            socket.waitForBytesWritten(5000);
            if (waitForAnswer && socket.waitForReadyRead(10000)) {
                answer = socket.readAll();
            }
        }
#endif
        done = true;
    });
    while (!done) {
        QTest::qWait(5);
    }
    client.join();
    return answer;
}

bool handOverAside(const QString& name, const QStringList& paths) {
    std::atomic<bool> done = false;
    bool taken = false;
    std::thread client([&] {
        taken = InstanceServer::handOver(name, paths, InstanceServer::AnswerWait);
        done = true;
    });
    while (!done) {
        QTest::qWait(5);
    }
    client.join();
    return taken;
}

// A runtime folder of the user's own in `dir`, made this process's.
QString privateRuntime(const QTemporaryDir& dir) {
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    if (!QDir().mkpath(runtime) ||
        !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        qFatal("cannot make %s", qPrintable(runtime));
    }
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    return runtime;
}

// The real program, in a folder of its own, finding the running editor by the
// runtime folder it is given.
void prepare(QProcess& program, const QTemporaryDir& dir, const QString& runtime) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    program.setProcessEnvironment(environment);
    program.setProgram(QStringLiteral(AMPEDIT_PATH));
}

} // namespace

class OneProgramTest : public QObject {
    Q_OBJECT

private slots:
    void aHandOverIsReadWholeOrRefused_data();
    void aHandOverIsReadWholeOrRefused();
    void aHandOverIsWrittenAsItsBytes();
    void handedOverMapsOpenInTheWindow();
    void garbledMessagesAreRefusedWithoutHarm();
    void aServerThatDoesNotAnswerIsPassedBy();
    void aSecondStartHandsItsMapsToTheFirst();
    void aStaleSocketIsTakenOver();
    void aNewInstanceStartsAlone();
};

void OneProgramTest::aHandOverIsReadWholeOrRefused_data() {
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("state");
    QTest::addColumn<QStringList>("paths");
    const int incomplete = int(handover::State::Incomplete), whole = int(handover::State::Whole),
              refused = int(handover::State::Refused);
    const qsizetype pathLength = sizeof(ABSOLUTE_BYTES); // with its zero byte
    const QByteArray header = BYTES("AMPH\0\0\0\1\0\0\0") + QByteArray(1, char(pathLength)); // length < 256
    QTest::newRow("one path") << header + BYTES(ABSOLUTE_BYTES "\0") << whole << QStringList{Absolute};
    QTest::newRow("no path: come forward") << BYTES("AMPH\0\0\0\1\0\0\0\0") << whole << QStringList{};
    QTest::newRow("two paths") << BYTES("AMPH\0\0\0\1\0\0\0") + QByteArray(1, char(2 * pathLength)) +
                                      BYTES(ABSOLUTE_BYTES "\0" ABSOLUTE_BYTES "\0")
                               << whole << QStringList{Absolute, Absolute};
    QTest::newRow("nothing yet") << QByteArray() << incomplete << QStringList{};
    QTest::newRow("half the word") << BYTES("AM") << incomplete << QStringList{};
    QTest::newRow("the header only") << header << incomplete << QStringList{};
    QTest::newRow("half the path") << header + BYTES("/ma") << incomplete << QStringList{};
    QTest::newRow("another protocol") << BYTES("GET / HTTP/1.1\r\n") << refused << QStringList{};
    QTest::newRow("one wrong letter") << BYTES("AMPX") << refused << QStringList{};
    QTest::newRow("version 2") << BYTES("AMPH\0\0\0\2\0\0\0\0") << refused << QStringList{};
    QTest::newRow("version 0") << BYTES("AMPH\0\0\0\0\0\0\0\0") << refused << QStringList{};
    // 1 MiB is the most a hand-over holds: one byte more is refused before it comes.
    QTest::newRow("longer than a megabyte") << BYTES("AMPH\0\0\0\1\0\x10\0\x01") << refused << QStringList{};
    QTest::newRow("4 GiB announced") << BYTES("AMPH\0\0\0\1\xff\xff\xff\xff") << refused << QStringList{};
    QTest::newRow("bytes after the message") << BYTES("AMPH\0\0\0\1\0\0\0\0X") << refused << QStringList{};
    QTest::newRow("a path not ended") << BYTES("AMPH\0\0\0\1\0\0\0\2/a") << refused << QStringList{};
    QTest::newRow("a relative path") << BYTES("AMPH\0\0\0\1\0\0\0\6a.amp\0") << refused << QStringList{};
    QTest::newRow("an empty path") << BYTES("AMPH\0\0\0\1\0\0\0\1\0") << refused << QStringList{};
    QTest::newRow("not UTF-8") << BYTES("AMPH\0\0\0\1\0\0\0\4/\xff\xfe\0") << refused << QStringList{};
}

void OneProgramTest::aHandOverIsReadWholeOrRefused() {
    QFETCH(QByteArray, received);
    QFETCH(int, state);
    QFETCH(QStringList, paths);
    const handover::Reading reading = handover::decode(received);
    QCOMPARE(int(reading.state), state);
    QCOMPARE(reading.paths, paths);
    QCOMPARE(reading.why.isEmpty(), reading.state != handover::State::Refused);
}

void OneProgramTest::aHandOverIsWrittenAsItsBytes() {
    // "é" is two bytes in UTF-8: the length counts bytes.
    QCOMPARE(handover::encode({QStringLiteral("/x/é.amp"), QStringLiteral("/y")}),
             BYTES("AMPH\0\0\0\1\0\0\0\x0d/x/\xc3\xa9.amp\0/y\0"));
    QCOMPARE(handover::encode({}), BYTES("AMPH\0\0\0\1\0\0\0\0"));
    // A thousand paths are taken, one more is not.
    QStringList many(handover::MostPaths, Absolute);
    QCOMPARE(handover::decode(handover::encode(many)).paths.size(), handover::MostPaths);
    many << Absolute;
    QCOMPARE(int(handover::decode(handover::encode(many)).state), int(handover::State::Refused));
}

void OneProgramTest::handedOverMapsOpenInTheWindow() {
    WindowFixture f;
    const QString first = f.write("first.amp", patternFile(TenByEight, 80));
    const QString second = f.write("second.amp", patternFile(EightByFive, 40));
    f.open({QStringLiteral("ampedit"), first});
    const QString name = privateName(f.dir);
    InstanceServer server(name);
    QCOMPARE(server.start({}), InstanceServer::Start::Serving);
    server.setReceiver([&f](const QStringList& paths) { f.main->takeHandOver(paths); });
    // No map: the window comes forward and keeps its own.
    f.main->showMinimized();
    QVERIFY(handOverAside(name, {}));
    QTRY_VERIFY(!f.main->isMinimized());
    QCOMPARE(f.document().fileName(), asArgument(first));
    QVERIFY(handOverAside(name, {second}));
    QTRY_COMPARE(f.document().fileName(), second);
    QVERIFY(f.document().encode() == patternFile(EightByFive, 40));
}

void OneProgramTest::garbledMessagesAreRefusedWithoutHarm() {
    QTemporaryDir dir;
    const QString name = privateName(dir);
    InstanceServer server(name);
    QCOMPARE(server.start({}), InstanceServer::Start::Serving);
    QList<QStringList> received;
    server.setReceiver([&received](const QStringList& paths) { received << paths; });
    const QByteArray refused(1, handover::Refused);
    QCOMPARE(sendAside(name, BYTES("GET / HTTP/1.1\r\n\r\n")), refused);
    QCOMPARE(sendAside(name, BYTES("AMPH\0\0\0\7\0\0\0\0")), refused);
    QCOMPARE(sendAside(name, BYTES("AMPH\0\0\0\1\0\0\0\6a.amp\0")), refused);
    QCOMPARE(sendAside(name, BYTES("AMPH\0\0\0\1\x7f\0\0\0")), refused);
    // More than a hand-over holds, sent whole: refused at the header, never kept.
    QCOMPARE(sendAside(name, BYTES("AMPH\0\0\0\1\0\x20\0\0") + QByteArray(1 << 21, 'x')), refused);
    // A message cut short by its sender's end is dropped.
    QCOMPARE(sendAside(name, BYTES("AMPH\0\0\0\1\0\0\0\x20/ma"), false), QByteArray());
    QTest::qWait(50);
    QVERIFY(received.isEmpty());
    // The server serves on: a whole message is taken.
    QCOMPARE(sendAside(name, handover::encode({Absolute})), QByteArray(1, handover::Taken));
    QTRY_COMPARE(received, QList<QStringList>{QStringList{Absolute}});
}

// A program that hangs holds its socket but never answers: the next start waits
// its answer time, then serves on its own.
void OneProgramTest::aServerThatDoesNotAnswerIsPassedBy() {
    QTemporaryDir dir;
    const QString name = privateName(dir);
#ifdef Q_OS_WIN
    localpipe::Server hung; // reads, and never finds a message to answer
    QVERIFY(hung.listen(
        name, [](const QByteArray&) { return std::optional<char>(); }, 60000, 1 << 21));
#else
    QLocalServer hung; // never given the event loop while the start asks
    QVERIFY(hung.listen(name));
#endif
    InstanceServer server(name);
    const InstanceServer::Start start = server.start({Absolute});
    QVERIFY(start != InstanceServer::Start::HandedOver);
#ifndef Q_OS_WIN // a pipe's name is not taken from the program holding it
    QCOMPARE(start, InstanceServer::Start::Serving);
    QList<QStringList> received;
    server.setReceiver([&received](const QStringList& paths) { received << paths; });
    QVERIFY(handOverAside(name, {Absolute}));
    QTRY_COMPARE(received.size(), 1);
#endif
}

void OneProgramTest::aSecondStartHandsItsMapsToTheFirst() {
#ifdef Q_OS_WIN
    QSKIP("the pipe is named after the user: another test's editor running beside would take the hand-over");
#endif
    WindowFixture f;
    const QString runtime = privateRuntime(f.dir);
    const QString first = f.write("first.amp", patternFile(TenByEight, 80));
    QVERIFY(QDir().mkpath(f.dir.filePath(QStringLiteral("elsewhere"))));
    const QString there = f.write("elsewhere/there.amp", patternFile(EightByFive, 40));
    f.open({QStringLiteral("ampedit"), first});
    InstanceServer server(InstanceServer::defaultName());
    QCOMPARE(server.start({}), InstanceServer::Start::Serving);
    server.setReceiver([&f](const QStringList& paths) { f.main->takeHandOver(paths); });

    QProcess second;
    prepare(second, f.dir, runtime);
    // Named as a user in that folder names it.
    second.setWorkingDirectory(f.dir.filePath(QStringLiteral("elsewhere")));
    second.setArguments({QStringLiteral("there.amp")});
    second.start();
    QVERIFY(second.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 30000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_COMPARE(f.document().fileName(), there);
    QVERIFY(f.document().encode() == patternFile(EightByFive, 40));
}

void OneProgramTest::aStaleSocketIsTakenOver() {
#ifdef Q_OS_WIN
    QSKIP("a killed program's pipe goes with it: no stale name is left to take over");
#endif
    QTemporaryDir dir;
    const QString runtime = privateRuntime(dir);
    const QString name = InstanceServer::defaultName();
    QProcess first;
    prepare(first, dir, runtime);
    first.start();
    QVERIFY(first.waitForStarted());
    auto stop = qScopeGuard([&first] {
        first.kill();
        first.waitForFinished();
    });
    // Once it serves (it takes a hand-over with no map), it is killed: its socket stays.
    QTRY_VERIFY_WITH_TIMEOUT(handOverAside(name, {}), 30000);
    first.kill();
    QVERIFY(first.waitForFinished());
    QVERIFY(QFileInfo::exists(name));
    InstanceServer server(name);
    QCOMPARE(server.start({Absolute}), InstanceServer::Start::Serving);
    QList<QStringList> received;
    server.setReceiver([&received](const QStringList& paths) { received << paths; });
    QVERIFY(handOverAside(name, {Absolute}));
    QTRY_COMPARE(received, QList<QStringList>{QStringList{Absolute}});
}

void OneProgramTest::aNewInstanceStartsAlone() {
#ifdef Q_OS_WIN
    QSKIP("the pipe is named after the user: another test's editor running beside would take the hand-over");
#endif
    QTemporaryDir dir;
    const QString runtime = privateRuntime(dir);
    const QString name = InstanceServer::defaultName();
    InstanceServer server(name);
    QCOMPARE(server.start({}), InstanceServer::Start::Serving);
    QList<QStringList> received;
    server.setReceiver([&received](const QStringList& paths) { received << paths; });
    QProcess alone;
    prepare(alone, dir, runtime);
    alone.setArguments({QStringLiteral("--new-instance"), Absolute});
    alone.start();
    QVERIFY(alone.waitForStarted());
    auto stop = qScopeGuard([&alone] {
        alone.kill();
        alone.waitForFinished();
    });
    // It shows a window of its own and runs on; it neither hands over nor takes the name.
    QTest::qWait(3000);
    QCOMPARE(alone.state(), QProcess::Running);
    QVERIFY(received.isEmpty());
    QVERIFY(handOverAside(name, {Absolute}));
    QTRY_COMPARE(received, QList<QStringList>{QStringList{Absolute}});
}

QTEST_MAIN(OneProgramTest)
#include "tst_oneprogram.moc"
