#include "StationCommandSocket.h"

#include "AddressList.h"
#include "RemoteProtocol.h"

#include <QLoggingCategory>
#include <QTcpSocket>

Q_LOGGING_CATEGORY(lcCommands, "kessane.console.commands")

StationCommandSocket::StationCommandSocket(QObject* parent) : m_socket(new QTcpSocket(parent)) {}

bool StationCommandSocket::send(const QString& address, const QByteArray& bytes, int writeWaitMs)
{
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    m_socket->connectToHost(AddressList::connectable(address), RemoteProtocol::DefaultPort,
                            QIODevice::ReadWrite);
    if (!m_socket->waitForConnected(ConnectWaitMs)) {
        qCWarning(lcCommands) << "StationCommandSocket::send: no connection to" << address << "-"
                              << m_socket->errorString();
        m_socket->abort();
        return false;
    }
    const bool written = m_socket->write(bytes) == bytes.size()
                         && (m_socket->bytesToWrite() == 0 || m_socket->waitForBytesWritten(writeWaitMs))
                         && m_socket->bytesToWrite() == 0;
    if (!written) {
        qCWarning(lcCommands) << "StationCommandSocket::send: write to" << address << "did not finish -"
                              << m_socket->errorString();
        m_socket->abort();
        return false;
    }
    qCDebug(lcCommands).nospace() << "sent " << bytes << " to " << address;
    m_socket->close();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    return true;
}
