#include "PulseGeneratorSim.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

// The generator and the client share this thread with whatever else a loaded
// machine runs.
constexpr int ReplyWaitMs = 10000;

// The simulated generator is what the generator links of the station and
// the console are tested against, so its own answers are checked here.
class TestPulseGeneratorSim : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pages();
    void notFound();
    void requestsInPiecesAndTogether();
    void refuseAndSilent();

private:
    QNetworkReply* get(const QString& pathAndQuery);

    std::unique_ptr<PulseGeneratorSim> generator_;
    std::unique_ptr<QNetworkAccessManager> manager_;
};

void TestPulseGeneratorSim::init()
{
    generator_ = std::make_unique<PulseGeneratorSim>();
    QVERIFY(generator_->start());
    QVERIFY(generator_->address().startsWith("127.0.0.1:"));
    manager_ = std::make_unique<QNetworkAccessManager>();
    manager_->setProxy(QNetworkProxy::NoProxy);
}

void TestPulseGeneratorSim::cleanup()
{
    manager_.reset();
    generator_.reset();
}

QNetworkReply* TestPulseGeneratorSim::get(const QString& pathAndQuery)
{
    QNetworkReply* reply = manager_->get(QNetworkRequest(QUrl("http://" + generator_->address() + pathAndQuery)));
    reply->setParent(manager_.get());
    return reply;
}

void TestPulseGeneratorSim::pages()
{
    const QByteArray index("<html>value=\"1\"\0value=\"2\"</html>", 32);
    generator_->setPage("/index.shtml", index);
    generator_->setDefaultBody("default");
    QNetworkReply* first = get("/index.shtml");
    QVERIFY(QTest::qWaitFor([&] { return first->isFinished(); }, ReplyWaitMs));
    QCOMPARE(first->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    QCOMPARE(first->readAll(), index); // NUL bytes and all
    QNetworkReply* second = get("/sg_run.shtml?reset1=1&reset2=1");
    QVERIFY(QTest::qWaitFor([&] { return second->isFinished(); }, ReplyWaitMs));
    QCOMPARE(second->readAll(), QByteArray("default"));

    QCOMPARE(generator_->requests().size(), 2);
    const PulseGeneratorSim::Request& r = generator_->requests().at(1);
    QCOMPARE(r.line, QByteArray("GET /sg_run.shtml?reset1=1&reset2=1 HTTP/1.1"));
    QCOMPARE(r.path, QStringLiteral("/sg_run.shtml"));
    QCOMPARE(r.query, (QList<QPair<QString, QString>>{{"reset1", "1"}, {"reset2", "1"}}));
}

void TestPulseGeneratorSim::notFound()
{
    generator_->setMode(PulseGeneratorSim::Mode::Answer404);
    QNetworkReply* reply = get("/sg_status.shtml");
    QVERIFY(QTest::qWaitFor([&] { return reply->isFinished(); }, ReplyWaitMs));
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 404);
    QCOMPARE(reply->error(), QNetworkReply::ContentNotFoundError);
    QCOMPARE(generator_->requests().size(), 1);
}

void TestPulseGeneratorSim::requestsInPiecesAndTogether()
{
    generator_->setDefaultBody("ok");
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, generator_->port());
    QVERIFY(socket.waitForConnected(ReplyWaitMs));
    socket.write("GET /a?x=1 HT");
    socket.flush();
    QTest::qWait(50);
    QVERIFY(generator_->requests().isEmpty());
    socket.write("TP/1.1\r\nHost: x\r\n\r\nGET /b HTTP/1.1\r\n\r\n");
    QVERIFY(QTest::qWaitFor([&] { return generator_->requests().size() == 2; }, ReplyWaitMs));
    QCOMPARE(generator_->requests().at(0).line, QByteArray("GET /a?x=1 HTTP/1.1"));
    QCOMPARE(generator_->requests().at(1).path, QStringLiteral("/b"));
    QByteArray answers;
    QVERIFY(QTest::qWaitFor([&] {
        answers += socket.readAll();
        return answers.count("HTTP/1.1 200 OK") == 2;
    }, ReplyWaitMs));
}

void TestPulseGeneratorSim::refuseAndSilent()
{
    generator_->setMode(PulseGeneratorSim::Mode::Refuse);
    QNetworkReply* refused = get("/sg_status.shtml");
    QVERIFY(QTest::qWaitFor([&] { return refused->isFinished(); }, ReplyWaitMs));
    QVERIFY(refused->error() != QNetworkReply::NoError);
    QVERIFY(generator_->requests().isEmpty());
    QVERIFY(generator_->connectionCount() >= 1);

    generator_->setMode(PulseGeneratorSim::Mode::Silent);
    QNetworkReply* silent = get("/sg_status.shtml");
    QVERIFY(QTest::qWaitFor([&] { return generator_->requests().size() == 1; }, ReplyWaitMs));
    QTest::qWait(300);
    QVERIFY(!silent->isFinished());
    silent->abort();
}

QTEST_GUILESS_MAIN(TestPulseGeneratorSim)
#include "tst_pulse_generator_sim.moc"
