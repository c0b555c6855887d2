#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

class QNetworkReply;

// HTTP GETs to the pulse generators: never through a proxy, given up when
// the generator stays silent, and with the answer's body bounded. Any
// answer counts as success, an HTTP error status (404) included: only a
// failed transport, a silent generator or an oversized page is a failure.
class GeneratorHttp : public QObject
{
    Q_OBJECT

public:
    explicit GeneratorHttp(QObject* parent = nullptr);

    // GET of TmxRequest::url(address, pathAndQuery) ("address" may carry
    // ":port"). The reply is aborted when it has not finished within
    // `timeoutMs` or its body grows past TmxPages::MaxPageBytes; it is the
    // caller's to delete once finished.
    QNetworkReply* get(const QString& address, const QString& pathAndQuery, int timeoutMs);

    // Why a finished reply failed, empty when it was answered.
    static QString failure(QNetworkReply* reply);

private:
    QNetworkAccessManager m_manager;
};
