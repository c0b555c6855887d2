#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

// One station's status connection, on its status worker's thread and driven
// by its beat (see statusWorker): each beat connects when unconnected and
// sends "#status" when connected. The reply texts of a read are handed on
// when they differ from the last ones handed on. A station that cannot be
// reached is reported as "Can't connect"; one that stays silent for
// SilenceMs, or closes or resets the connection, as "Not answering", and the
// next beat connects afresh (a silent connection is dropped: its host may
// have gone and come back).
class StationPoll : public QObject
{
    Q_OBJECT

public:
    static constexpr int ConnectWaitMs = 1000;
    // A connected station that has not answered for this long does not answer.
    static constexpr int SilenceMs = 2000;
    // Received bytes without a terminating NUL beyond this are dropped.
    static constexpr int MaxPendingBytes = 1024;
    // Reply texts handed on per read (the latest ones); a peer that floods
    // gets the older ones dropped.
    static constexpr int MaxTextsPerRead = 16;

    // `ip` is the address as listed (it names the station in status()).
    StationPoll(const QString& ip, QObject* parent = nullptr);
    ~StationPoll() override;

    void beat();

signals:
    // The texts of one read, oldest first: the last one is the station's
    // latest status.
    void status(const QString& ip, const QStringList& texts);

private:
    void poll();
    void cantConnect();
    void read();
    void hand(const QStringList& texts);

    const QString m_ip;
    const QString m_address; // the address to connect to
    QTcpSocket m_socket;
    QTimer m_connectWait;
    // Since the connection or its last answer; looked at on every beat (a
    // timer restarted at every answer would cost more than the poll).
    QElapsedTimer m_sinceAnswer;
    QByteArray m_pending;
    QStringList m_handed;
};
