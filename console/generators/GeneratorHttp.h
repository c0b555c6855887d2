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

    // What went wrong with a finished request, if anything.
    struct Failure
    {
        enum class Kind {
            None,     // answered 2xx
            NoAnswer, // the transport failed, the generator stayed silent, or its answer grew too large
            Refused,  // the generator answered an HTTP error or a redirect
        };
        Kind kind = Kind::None;
        // NoAnswer: why; Refused: the status answered ("404 Not Found").
        QString detail;

        bool failed() const { return kind != Kind::None; }
        bool refused() const { return kind == Kind::Refused; }
    };
    static Failure failure(QNetworkReply* reply);

private:
    QNetworkAccessManager m_manager;
};
