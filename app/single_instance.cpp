#include "app/single_instance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <chrono>

namespace {

// The hand-over: a tag byte, the length of the rest as four bytes (big-endian), then the
// packs in UTF-8, each ended by a null (no path holds one). The window answers with one byte
// once the packs are in its queue.
constexpr char kTag = 'P';
constexpr char kTaken = 'T';
constexpr int kHeaderSize = 5;
// A start never hands over more than a command line holds; anything larger is not ours.
constexpr quint32 kLargestPayload = 4 * 1024 * 1024;
constexpr std::chrono::seconds kSilentCallerTimeout{30};

QByteArray encodePacks(const QStringList& packs) {
    QByteArray payload;
    for (const QString& pack : packs) payload += pack.toUtf8() + '\0';
    QByteArray message(1, kTag);
    const auto size = static_cast<quint32>(payload.size());
    for (int shift = 24; shift >= 0; shift -= 8) message += static_cast<char>(size >> shift);
    return message + payload;
}

quint32 payloadSize(const QByteArray& header) {
    quint32 size = 0;
    for (int i = 1; i < kHeaderSize; ++i) size = size << 8 | static_cast<quint8>(header[i]);
    return size;
}

QStringList decodePayload(const QByteArray& payload) {
    QStringList packs;
    qsizetype start = 0;
    for (qsizetype end; (end = payload.indexOf('\0', start)) >= 0; start = end + 1) {
        packs << QString::fromUtf8(payload.constData() + start, end - start);
    }
    return packs;
}

}  // namespace

QStringList PacksFromArguments(const QStringList& arguments) {
    QStringList packs;
    for (const QString& argument : arguments) {
        if (argument.isEmpty()) continue;
        packs << QDir::toNativeSeparators(QFileInfo(argument).absoluteFilePath());
    }
    return packs;
}

bool HandPacksToRunningWindow(const QString& channel, const QStringList& packs,
                              int timeoutMilliseconds) {
    QLocalSocket socket;
    socket.connectToServer(channel);
    if (!socket.waitForConnected(timeoutMilliseconds)) return false;
    const QByteArray message = encodePacks(packs);
    if (socket.write(message) != message.size()) return false;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(timeoutMilliseconds)) return false;
    }
    // Only the window's answer says the packs are queued; a window that closes meanwhile
    // leaves them to this start.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMilliseconds)) return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kTaken;
}

TPackChannel::TPackChannel(QString channel, QObject* parent)
    : QObject(parent), FChannel(std::move(channel)) {}

TPackChannel::~TPackChannel() = default;

bool TPackChannel::Listen() {
    // A live window answers a connection: the channel is its own. Asking first matters:
    // listening with access options puts the new socket in place of whatever holds the
    // name, and would take the channel from a running window.
    QLocalSocket probe;
    probe.connectToServer(FChannel);
    if (probe.waitForConnected(1000)) return false;
    // Whatever is left under the name belongs to a window that died.
    QLocalServer::removeServer(FChannel);
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer, &QLocalServer::newConnection, this, &TPackChannel::accept);
    return FServer->listen(FChannel);
}

void TPackChannel::accept() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A caller that connects and says nothing does not keep its socket forever.
        QTimer::singleShot(kSilentCallerTimeout, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0) read(socket);
    }
}

void TPackChannel::read(QLocalSocket* socket) {
    if (socket->bytesAvailable() < kHeaderSize) return;  // the rest is still on its way
    const QByteArray header = socket->peek(kHeaderSize);
    const quint32 size = payloadSize(header);
    if (header[0] != kTag || size > kLargestPayload) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < kHeaderSize + static_cast<qint64>(size)) return;
    socket->skip(kHeaderSize);
    const QStringList packs = decodePayload(socket->read(size));
    emit packsReceived(packs);
    socket->putChar(kTaken);
    socket->flush();
    socket->disconnectFromServer();
}
