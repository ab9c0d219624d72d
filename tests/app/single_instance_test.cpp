// The hand-over between two starts of the program: packs named to a second start reach the
// running window whole and in order, a start without a running window keeps its packs, a
// dead window's leftover channel is taken over, and a caller speaking nonsense is cut off
// without packs reaching the window.
#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <future>

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void packsReachTheRunningWindowInOrder_data();
    void packsReachTheRunningWindowInOrder();
    void noRunningWindowKeepsThePacks();
    void windowThatDoesNotAnswerLeavesThePacksToTheCaller();
    void secondWindowLeavesTheChannelToTheFirst();
    void leftoverChannelOfADeadWindowIsTakenOver();
    void nonsenseIsCutOff_data();
    void nonsenseIsCutOff();
    void argumentsBecomeFullPaths();

private:
    // Hands `packs` over from another thread (the hand-over blocks) while this thread's event
    // loop serves the channel; answers what the hand-over answered.
    bool handOverWhileServing(const QStringList& packs);

    QTemporaryDir FFolder;
    QString FChannel;
};

void SingleInstanceTest::init() {
    QVERIFY(FFolder.isValid());
    FChannel = FFolder.filePath(QStringLiteral("channel-%1").arg(QTest::currentDataTag()));
    FChannel.replace(QLatin1Char(' '), QLatin1Char('-'));
}

bool SingleInstanceTest::handOverWhileServing(const QStringList& packs) {
    auto handed = std::async(std::launch::async, [this, packs] {
        return HandPacksToRunningWindow(FChannel, packs, 5000);
    });
    while (handed.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return handed.get();
}

void SingleInstanceTest::packsReachTheRunningWindowInOrder_data() {
    QTest::addColumn<QStringList>("packs");
    QTest::newRow("one") << QStringList{"/home/u/Autumn.themepack"};
    QTest::newRow("several in order")
        << QStringList{"/p/c.themepack", "/p/a.deskthemepack", "/p/b.themepack"};
    QTest::newRow("blanks and other scripts")
        << QStringList{"/p/my packs/Été à Paris.themepack", "/p/日本の秋.themepack"};
    QTest::newRow("not a pack by name: the window decides")
        << QStringList{"/p/notes.txt", "/p/x.themepack"};
    QStringList many;
    for (int i = 0; i < 500; ++i)
        many << QStringLiteral("/a/long/folder/name/pack%1.themepack").arg(i);
    QTest::newRow("more than one write") << many;
}

void SingleInstanceTest::packsReachTheRunningWindowInOrder() {
    QFETCH(QStringList, packs);
    TPackChannel window(FChannel);
    QVERIFY(window.Listen());
    QSignalSpy received(&window, &TPackChannel::packsReceived);
    QVERIFY(handOverWhileServing(packs));
    QCOMPARE(received.count(), 1);
    QCOMPARE(received.at(0).at(0).toStringList(), packs);
}

void SingleInstanceTest::noRunningWindowKeepsThePacks() {
    QVERIFY(!HandPacksToRunningWindow(FChannel, {"/p/a.themepack"}, 1000));
}

void SingleInstanceTest::windowThatDoesNotAnswerLeavesThePacksToTheCaller() {
    // A window closing while the packs arrive: it reads them but never says it took them.
    QLocalServer closing;
    QVERIFY(closing.listen(FChannel));
    connect(&closing, &QLocalServer::newConnection, &closing, [&closing] {
        QLocalSocket* socket = closing.nextPendingConnection();
        connect(socket, &QLocalSocket::readyRead, socket, [socket] {
            socket->readAll();
            socket->disconnectFromServer();
        });
    });
    QVERIFY(!handOverWhileServing({"/p/a.themepack"}));
}

void SingleInstanceTest::secondWindowLeavesTheChannelToTheFirst() {
    TPackChannel first(FChannel);
    QVERIFY(first.Listen());
    TPackChannel second(FChannel);
    QVERIFY(!second.Listen());
    QSignalSpy toFirst(&first, &TPackChannel::packsReceived);
    QSignalSpy toSecond(&second, &TPackChannel::packsReceived);
    QVERIFY(handOverWhileServing({"/p/a.themepack"}));
    QCOMPARE(toFirst.count(), 1);
    QCOMPARE(toSecond.count(), 0);
}

void SingleInstanceTest::leftoverChannelOfADeadWindowIsTakenOver() {
    QFile leftover(FChannel);
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    TPackChannel window(FChannel);
    QVERIFY(window.Listen());
    QSignalSpy received(&window, &TPackChannel::packsReceived);
    QVERIFY(handOverWhileServing({"/p/a.themepack"}));
    QCOMPARE(received.count(), 1);
}

void SingleInstanceTest::nonsenseIsCutOff_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("wrong tag") << QByteArray("X\0\0\0\4ab\0\0", 9);
    QTest::newRow("length beyond any command line") << QByteArray("P\x7f\xff\xff\xff", 5);
}

void SingleInstanceTest::nonsenseIsCutOff() {
    QFETCH(QByteArray, message);
    TPackChannel window(FChannel);
    QVERIFY(window.Listen());
    QSignalSpy received(&window, &TPackChannel::packsReceived);
    QLocalSocket caller;
    caller.connectToServer(FChannel);
    QVERIFY(caller.waitForConnected(1000));
    caller.write(message);
    caller.flush();
    QTRY_COMPARE_WITH_TIMEOUT(caller.state(), QLocalSocket::UnconnectedState, 5000);
    QCOMPARE(received.count(), 0);
    QCOMPARE(caller.readAll(), QByteArray());
    // The channel still serves the next caller.
    QVERIFY(handOverWhileServing({"/p/a.themepack"}));
    QCOMPARE(received.count(), 1);
}

void SingleInstanceTest::argumentsBecomeFullPaths() {
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(FFolder.path()));
    const QStringList packs = PacksFromArguments(
        {"Autumn.themepack", "", "sub/../Winter.deskthemepack", "/abs/Spring.themepack"});
    QDir::setCurrent(previous);
    const QString here = QDir(FFolder.path()).canonicalPath();
    QCOMPARE(packs, (QStringList{here + "/Autumn.themepack", here + "/Winter.deskthemepack",
                                 "/abs/Spring.themepack"}));
}

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "single_instance_test.moc"
