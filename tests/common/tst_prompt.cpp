#include "LogLines.h"
#include "Prompt.h"
#include "ScriptedPrompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QtTest>

// Boxes shown under Prompt::NoWait: Qt's boxes stay open without holding the
// caller, one per title; the installed prompt is still asked for the rest.
class TestPrompt : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void qtNoticesDoNotWait();
    void scopesNestAndEnd();

private:
    static QList<QMessageBox*> openBoxes();
};

QList<QMessageBox*> TestPrompt::openBoxes()
{
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            boxes << box;
    return boxes;
}

void TestPrompt::cleanup()
{
    Prompt::setNoticeReporter({});
    for (QMessageBox* box : openBoxes())
        box->close();
    QTest::qWait(10);
}

void TestPrompt::qtNoticesDoNotWait()
{
    const LogLines log("kessane.prompt");
    QStringList reported;
    Prompt::setNoticeReporter([&](const QString& title, const QString& text) { reported << title + ": " + text; });
    {
        const Prompt::NoWait noWait;
        // Returns at once: a modal box would wait here until the test ends.
        Prompt::current().message(nullptr, Prompt::Critical, "Camera error", "Camera <b>A</b> is gone");
        Prompt::current().message(nullptr, Prompt::Critical, "Camera error", "Camera <b>B</b> is gone");
        Prompt::current().message(nullptr, Prompt::Warning, "Warning", "ProgFrameTimeEnable Error");
    }
    QCOMPARE(reported, (QStringList{"Camera error: Camera A is gone", "Camera error: Camera B is gone",
                                    "Warning: ProgFrameTimeEnable Error"}));
    // Nobody may be at the screen: the log keeps each box, as plain text.
    QCOMPARE(log.count("not waited for: Camera error - Camera A is gone"), 1);
    QCOMPARE(log.count("not waited for: Camera error - Camera B is gone"), 1);
    QCOMPARE(log.count("not waited for: Warning - ProgFrameTimeEnable Error"), 1);
    const QList<QMessageBox*> boxes = openBoxes();
    QCOMPARE(boxes.size(), 2);
    for (QMessageBox* box : boxes) {
        QVERIFY(!box->isModal());
        QCOMPARE(box->windowModality(), Qt::NonModal);
    }
    // The second camera error replaced the first's text.
    QStringList texts;
    for (QMessageBox* box : boxes)
        texts << box->text();
    texts.sort();
    QCOMPARE(texts, (QStringList{"Camera <b>B</b> is gone", "ProgFrameTimeEnable Error"}));
    // Once closed, the title gets a box of its own again.
    for (QMessageBox* box : boxes)
        box->close();
    QTRY_VERIFY(openBoxes().isEmpty());
    {
        const Prompt::NoWait noWait;
        Prompt::current().message(nullptr, Prompt::Critical, "Camera error", "again");
    }
    QCOMPARE(openBoxes().size(), 1);
}

// Scopes nest; a question still waits for its answer.
void TestPrompt::scopesNestAndEnd()
{
    ScriptedPrompt scripted;
    scripted.questionAnswers = {true};
    {
        const Prompt::NoWait outer;
        {
            const Prompt::NoWait inner;
            Prompt::current().message(nullptr, Prompt::Information, "inner", "");
        }
        Prompt::current().message(nullptr, Prompt::Information, "outer", "");
        QVERIFY(Prompt::current().question(nullptr, Prompt::Warning, "Quit", "Sure?"));
    }
    Prompt::current().message(nullptr, Prompt::Information, "after", "");
    QCOMPARE(scripted.titles(), (QStringList{"inner", "outer", "Quit", "after"}));
    QCOMPARE(scripted.waitedTitles(), (QStringList{"Quit", "after"}));
    QVERIFY(openBoxes().isEmpty());
}

QTEST_MAIN(TestPrompt)
#include "tst_prompt.moc"
