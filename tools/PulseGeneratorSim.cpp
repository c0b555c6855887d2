#include "PulseGeneratorSim.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

namespace {

// A request head longer than this is not a generator's client; drop it.
constexpr int MaxHeadSize = 8192;
const char* const SocketBuffer = "pulsegensim.buffer";
const char* const FloodLeft = "pulsegensim.floodLeft";
// A Flood body goes out in chunks of this size, the next when the last has left.
constexpr qint64 FloodChunk = 256 * 1024;

PulseGeneratorSim::Request parseRequestLine(const QByteArray& line)
{
    PulseGeneratorSim::Request request;
    request.line = line;
    const QList<QByteArray> parts = line.split(' ');
    const QByteArray target = parts.size() >= 2 ? parts.at(1) : QByteArray();
    const int question = target.indexOf('?');
    request.path = QString::fromLatin1(question < 0 ? target : target.left(question));
    if (question >= 0) {
        const QUrlQuery query(QString::fromLatin1(target.mid(question + 1)));
        request.query = query.queryItems(QUrl::FullyDecoded);
    }
    return request;
}

} // namespace

PulseGeneratorSim::PulseGeneratorSim(QObject* parent) : QObject(parent), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &PulseGeneratorSim::acceptConnections);
}

PulseGeneratorSim::~PulseGeneratorSim() = default;

bool PulseGeneratorSim::start(const QString& address, quint16 port)
{
    host_ = address;
    return server_->listen(QHostAddress(address), port);
}

quint16 PulseGeneratorSim::port() const
{
    return server_->serverPort();
}

QString PulseGeneratorSim::address() const
{
    return QStringLiteral("%1:%2").arg(host_).arg(port());
}

void PulseGeneratorSim::acceptConnections()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        ++connections_;
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (mode_ == Mode::Refuse) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequests(socket); });
        if (socket->bytesAvailable() > 0)
            readRequests(socket);
    }
}

void PulseGeneratorSim::readRequests(QTcpSocket* socket)
{
    // Requests may arrive in pieces or several at once (keep-alive); the
    // unparsed rest is kept with the socket.
    QByteArray buffer = socket->property(SocketBuffer).toByteArray() + socket->readAll();
    for (int end = buffer.indexOf("\r\n\r\n"); end >= 0; end = buffer.indexOf("\r\n\r\n")) {
        const QByteArray head = buffer.left(end);
        buffer.remove(0, end + 4);
        const int lineEnd = head.indexOf("\r\n");
        const Request request = parseRequestLine(lineEnd < 0 ? head : head.left(lineEnd));
        requests_.append(request);
        emit requestReceived(request.line);
        answer(socket, request);
    }
    if (buffer.size() > MaxHeadSize) {
        socket->abort();
        return;
    }
    socket->setProperty(SocketBuffer, buffer);
}

void PulseGeneratorSim::answer(QTcpSocket* socket, const Request& request)
{
    QByteArray status;
    QByteArray body;
    switch (mode_) {
    case Mode::Answer200:
        status = "200 OK";
        body = pages_.value(request.path, defaultBody_);
        break;
    case Mode::Answer404:
        status = "404 Not Found";
        body = "<html><body>Not Found</body></html>";
        break;
    case Mode::Answer500:
        status = "500 Internal Server Error";
        body = "<html><body>Internal Server Error</body></html>";
        break;
    case Mode::Redirect:
        status = "302 Found\r\nLocation: /index.shtml";
        break;
    case Mode::Refuse: // connections are closed before any request
    case Mode::Silent:
        return;
    case Mode::Flood:
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                      + QByteArray::number(floodBytes_) + "\r\n\r\n");
        socket->setProperty(FloodLeft, floodBytes_);
        connect(socket, &QTcpSocket::bytesWritten, this, &PulseGeneratorSim::floodMore, Qt::UniqueConnection);
        flood(socket);
        return;
    }
    const QByteArray bytes = "HTTP/1.1 " + status + "\r\nContent-Type: text/html\r\nContent-Length: "
                             + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    if (answerDelayMs_ > 0)
        QTimer::singleShot(answerDelayMs_, Qt::PreciseTimer, socket, [socket, bytes] { socket->write(bytes); });
    else
        socket->write(bytes);
}

void PulseGeneratorSim::flood(QTcpSocket* socket)
{
    const qint64 left = socket->property(FloodLeft).toLongLong();
    if (left <= 0 || socket->bytesToWrite() > FloodChunk)
        return;
    const qint64 chunk = qMin(left, FloodChunk);
    socket->write(QByteArray(int(chunk), 'x'));
    socket->setProperty(FloodLeft, left - chunk);
    flooded_ += chunk;
}

void PulseGeneratorSim::floodMore()
{
    if (auto* socket = qobject_cast<QTcpSocket*>(sender()))
        flood(socket);
}
