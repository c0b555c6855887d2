#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

class QNetworkReply;

// HTTP GETs to the pulse generators: never through a proxy, never following
// a redirect, given up when the generator stays silent, and with the
// answer's body bounded. Only a 2xx answer counts as success: an HTTP error
// or a redirect (404, 500, 302) is the generator refusing the request.
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

    // Why a finished reply failed (the transport, the silence, the size, or
    // the status the generator answered), empty when it was answered 2xx.
    static QString failure(QNetworkReply* reply);

private:
    QNetworkAccessManager m_manager;
};
