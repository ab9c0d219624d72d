// One window per user session. A program started with packs while a window is running hands
// the packs to that window over a local socket and ends; the window takes them as if they
// had been dropped on it.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// The name of the session's channel: one per user and session, reachable by that user only.
QString SessionChannelName();

// Full paths of the packs named on the command line, relative ones resolved against the
// current folder (which the running window does not share), in the platform's separators.
QStringList PacksFromArguments(const QStringList& arguments);

// Hands `packs` to the window listening on `channel`; true only once that window has
// confirmed it took them. False when no window listens or it did not answer in time: the
// caller then opens its own window, so that no pack is lost.
bool HandPacksToRunningWindow(const QString& channel, const QStringList& packs,
                              int timeoutMilliseconds = 5000);

// The running window's side: listens on the channel and reports each batch of packs
// another start handed over.
class TPackChannel : public QObject {
    Q_OBJECT

public:
    explicit TPackChannel(QString channel, QObject* parent = nullptr);
    ~TPackChannel() override;

    // Starts listening. False when another live window already listens (or the channel
    // cannot be opened); a channel left behind by a window that died is taken over.
    bool Listen();

signals:
    void packsReceived(const QStringList& packs);

private:
    void accept();
    void read(QLocalSocket* socket);

    QString FChannel;
    QLocalServer* FServer = nullptr;
};
