#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A TMX pulse generator for tests: a small HTTP/1.1 server on an ephemeral
// port of 127.0.0.1 that records every request it receives and answers it
// the way it is told to.
class PulseGeneratorSim : public QObject
{
    Q_OBJECT

public:
    enum class Mode {
        Answer200, // 200 OK with the page's body
        Answer404, // 404 Not Found
        Answer500, // 500 Internal Server Error
        Redirect,  // 302 Found, pointing at /index.shtml
        Refuse,    // close every connection as soon as it is accepted
        Silent,    // read the request, never answer
        Flood,     // 200 OK announcing a body of floodBytes, sent as fast as the peer reads
    };

    struct Request
    {
        QByteArray line;                         // "GET /path?query HTTP/1.1"
        QString path;                            // without the query
        QList<QPair<QString, QString>> query;    // keys and values in the order sent
    };

    explicit PulseGeneratorSim(QObject* parent = nullptr);
    ~PulseGeneratorSim() override;

    // Listens on 127.0.0.1 (or another loopback address) at `port`, an
    // ephemeral one when 0.
    bool start(const QString& address = QStringLiteral("127.0.0.1"), quint16 port = 0);
    quint16 port() const;
    // "127.0.0.1:port", the generator's address as the station is given it.
    QString address() const;

    void setMode(Mode mode) { mode_ = mode; }
    // Body of a 200 answer for one path (without query), or for every path
    // without a page of its own.
    void setPage(const QString& path, const QByteArray& body) { pages_.insert(path, body); }
    void setDefaultBody(const QByteArray& body) { defaultBody_ = body; }
    // Length of a Flood answer's body.
    void setFloodBytes(qint64 bytes) { floodBytes_ = bytes; }
    // Body bytes of Flood answers written so far.
    qint64 floodedBytes() const { return flooded_; }
    // Answers go out this long after their request came in (0: at once);
    // what an answer says is decided when its request comes in.
    void setAnswerDelay(int milliseconds) { answerDelayMs_ = milliseconds; }

    const QList<Request>& requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }
    // Number of connections accepted so far.
    int connectionCount() const { return connections_; }

signals:
    void requestReceived(const QByteArray& line);

private:
    void acceptConnections();
    void readRequests(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Request& request);
    void flood(QTcpSocket* socket);
    void floodMore(); // a Flood socket's bytesWritten

    QTcpServer* server_;
    QString host_;
    Mode mode_ = Mode::Answer200;
    QHash<QString, QByteArray> pages_;
    QByteArray defaultBody_;
    QList<Request> requests_;
    int connections_ = 0;
    qint64 floodBytes_ = qint64(4) << 30;
    qint64 flooded_ = 0;
    int answerDelayMs_ = 0;
};
