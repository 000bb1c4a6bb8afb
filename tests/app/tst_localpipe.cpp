// SPDX-License-Identifier: MIT
// The Windows channel between two editors: a named pipe served by a thread.
// Messages here end at a '.', so the judge answers a whole one with 'y' and
// one holding an 'x' with 'n'.
#include "localpipe_win.h"

#include <QCoreApplication>
#include <QTest>
#include <QUuid>

#include <atomic>
#include <thread>

namespace {

QString freshName() {
    return QStringLiteral("ampedit-test-") + QUuid::createUuid().toString(QUuid::Id128);
}

std::optional<char> judge(const QByteArray& received) {
    if (received.contains('x')) {
        return 'n';
    }
    return received.endsWith('.') ? std::optional('y') : std::nullopt;
}

} // namespace

class LocalPipeTest : public QObject {
    Q_OBJECT

private slots:
    void answersWholeMessagesAndRefusals() {
        const QString name = freshName();
        localpipe::Server server;
        QVERIFY(server.listen(name, judge, 2000, 1 << 20));
        char answer = 0;
        QCOMPARE(localpipe::send(name, "open a.amp.", 2000, &answer), localpipe::Sent::Answered);
        QCOMPARE(answer, 'y');
        QCOMPARE(localpipe::send(name, "x.", 2000, &answer), localpipe::Sent::Answered);
        QCOMPARE(answer, 'n');
        // A long message arrives in several reads of the pipe.
        QCOMPARE(localpipe::send(name, QByteArray(100000, 'a') + '.', 4000, &answer),
                 localpipe::Sent::Answered);
        QCOMPARE(answer, 'y');
    }

    void oneServerPerName() {
        const QString name = freshName();
        localpipe::Server first;
        QVERIFY(first.listen(name, judge, 2000, 1 << 20));
        localpipe::Server second;
        QString why;
        QVERIFY(!second.listen(name, judge, 2000, 1 << 20, &why));
        QVERIFY(why.contains(name));
        // Still served after a caller was answered, and free once closed.
        char answer = 0;
        QCOMPARE(localpipe::send(name, "a.", 2000, &answer), localpipe::Sent::Answered);
        QVERIFY(!second.listen(name, judge, 2000, 1 << 20));
        first.close();
        QCOMPARE(localpipe::send(name, "a.", 500, &answer), localpipe::Sent::NoServer);
        QVERIFY(second.listen(name, judge, 2000, 1 << 20));
    }

    void silentAndFloodingCallersDoNotHoldTheServer() {
        const QString name = freshName();
        localpipe::Server server;
        QVERIFY(server.listen(name, judge, 300, 1000));
        char answer = 0;
        // Never ends its message: no answer, and the server goes on.
        QCOMPARE(localpipe::send(name, "no end", 1500, &answer), localpipe::Sent::NoAnswer);
        QCOMPARE(localpipe::send(name, QByteArray(5000, 'a'), 1500, &answer), localpipe::Sent::NoAnswer);
        QCOMPARE(localpipe::send(name, "a.", 2000, &answer), localpipe::Sent::Answered);
        QCOMPARE(answer, 'y');
    }

    void nobodyServesAMissingName() {
        char answer = 0;
        QCOMPARE(localpipe::send(freshName(), "a.", 500, &answer), localpipe::Sent::NoServer);
    }

    void closingWhileACallerWaits() {
        const QString name = freshName();
        auto server = std::make_unique<localpipe::Server>();
        QVERIFY(server->listen(name, judge, 5000, 1 << 20));
        std::atomic<int> sent{-1};
        std::thread caller([&] {
            char answer = 0;
            sent = static_cast<int>(localpipe::send(name, "never ends", 3000, &answer));
        });
        QTest::qWait(200);
        server.reset(); // ends the caller's wait for an answer, served or not
        caller.join();
        QCOMPARE(sent.load(), static_cast<int>(localpipe::Sent::NoAnswer));
    }
};

QTEST_GUILESS_MAIN(LocalPipeTest)
#include "tst_localpipe.moc"
