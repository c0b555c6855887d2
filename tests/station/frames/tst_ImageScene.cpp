#include "ScriptedPrompt.h"
#include "frames/CustomScene.h"
#include "frames/MyGraphicsView.h"

#include <QtTest>

#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSimpleTextItem>
#include <QMimeData>

#include <cmath>

namespace {

void mouse(QGraphicsScene& scene, QEvent::Type type, QPointF pos, Qt::MouseButton button = Qt::LeftButton)
{
    QGraphicsSceneMouseEvent event(type);
    event.setScenePos(pos);
    event.setButton(type == QEvent::GraphicsSceneMouseMove ? Qt::NoButton : button);
    event.setButtons(type == QEvent::GraphicsSceneMouseRelease ? Qt::NoButton : Qt::MouseButtons(button));
    QCoreApplication::sendEvent(&scene, &event);
}

void drag(QGraphicsScene& scene, QPointF from, QPointF to, Qt::MouseButton button = Qt::LeftButton)
{
    mouse(scene, QEvent::GraphicsSceneMousePress, from, button);
    mouse(scene, QEvent::GraphicsSceneMouseMove, to, button);
    mouse(scene, QEvent::GraphicsSceneMouseRelease, to, button);
}

} // namespace

class TestImageScene : public QObject
{
    Q_OBJECT

private slots:
    void nothingIsDrawnBeforeTheFirstFrame()
    {
        ScriptedPrompt prompt;
        CustomScene scene;
        scene.setSceneSize(100, 100);
        scene.setRoiResizeMode(true);
        QSignalSpy resize(&scene, &CustomScene::changeImageSizeROI);
        drag(scene, {10, 10}, {50, 50});
        QVERIFY(!scene.toolItem());
        QCOMPARE(prompt.titles(), QStringList{"Error"}); // still asked
        QCOMPARE(prompt.shown[0].text, QString("Apply this ROI?"));
        QCOMPARE(prompt.shown[0].kind, QString("critical question"));
        QCOMPARE(resize.count(), 0);
    }

    // A drag pressed before the first frame and released after it is no drag:
    // neither its press nor a stale one becomes a corner.
    void dragBegunBeforeTheFirstFrameDrawsNothing()
    {
        CustomScene scene;
        scene.setSceneSize(100, 100);
        mouse(scene, QEvent::GraphicsSceneMousePress, {10, 10});
        scene.setFrameShown();
        mouse(scene, QEvent::GraphicsSceneMouseRelease, {50, 50});
        QVERIFY(!scene.toolItem());
        QVERIFY(!scene.valueLabel());
        drag(scene, {20, 20}, {30, 30}); // the next drag is taken
        QCOMPARE(scene.roi(), QRect(QPoint(20, 20), QPoint(29, 29)));
    }

    // Stored corners and label position for every drag direction.
    void roiCornersAndLabel_data()
    {
        QTest::addColumn<QPointF>("press");
        QTest::addColumn<QPointF>("release");
        QTest::addColumn<QRect>("corners");
        QTest::addColumn<QPointF>("label");
        QTest::newRow("down right") << QPointF(10.7, 20.2) << QPointF(30.9, 40.5)
                                    << QRect(QPoint(10, 20), QPoint(29, 39)) << QPointF(10, 20);
        QTest::newRow("down left") << QPointF(30, 20) << QPointF(10, 40)
                                   << QRect(QPoint(10, 20), QPoint(29, 39)) << QPointF(10, 20);
        QTest::newRow("up right") << QPointF(10, 40) << QPointF(30, 20)
                                  << QRect(QPoint(10, 20), QPoint(29, 39)) << QPointF(10, 40);
        QTest::newRow("up left") << QPointF(30, 40) << QPointF(10, 20)
                                 << QRect(QPoint(10, 20), QPoint(29, 39)) << QPointF(10, 20);
        QTest::newRow("clamped to the image") << QPointF(90, 40) << QPointF(150, 80)
                                              << QRect(QPoint(90, 40), QPoint(99, 49)) << QPointF(90, 40);
        QTest::newRow("clamped at zero") << QPointF(20, 30) << QPointF(-15.5, -3)
                                         << QRect(QPoint(0, 0), QPoint(19, 29)) << QPointF(0, 0);
    }
    void roiCornersAndLabel()
    {
        QFETCH(QPointF, press);
        QFETCH(QPointF, release);
        QFETCH(QRect, corners);
        QFETCH(QPointF, label);
        CustomScene scene;
        scene.setSceneSize(100, 50);
        scene.setFrameShown();
        scene.setIntensityValue(42);
        QSignalSpy intensity(&scene, &CustomScene::getRIOIntensity);
        drag(scene, press, release);
        QVERIFY(scene.toolItem());
        QCOMPARE(scene.roi(), corners);
        QCOMPARE(intensity.count(), 1);
        QCOMPARE(intensity[0][0].toRect(), corners);
        QVERIFY(scene.valueLabel());
        QCOMPARE(scene.valueLabel()->text(), QString("42%"));
        QCOMPARE(scene.valueLabel()->pos(), label);
    }

    void clickRemovesRoiButKeepsCorners()
    {
        CustomScene scene;
        scene.setSceneSize(100, 100);
        scene.setFrameShown();
        drag(scene, {10, 10}, {20, 30});
        QVERIFY(scene.toolItem());
        drag(scene, {50, 50}, {50, 50});
        QVERIFY(!scene.toolItem());
        QVERIFY(!scene.valueLabel());
        QCOMPARE(scene.roi(), QRect(QPoint(10, 10), QPoint(19, 29)));
    }

    void sharpnessReadout()
    {
        CustomScene scene;
        scene.setSceneSize(100, 100);
        scene.setFrameShown();
        scene.setSharpnessMode(true);
        scene.setSharpnessValue(17);
        QSignalSpy sharpness(&scene, &CustomScene::doROISharpness);
        QSignalSpy intensity(&scene, &CustomScene::getRIOIntensity);
        drag(scene, {10, 10}, {40, 40});
        QCOMPARE(sharpness.count(), 1);
        QCOMPARE(intensity.count(), 0);
        QCOMPARE(scene.valueLabel()->text(), QString("17f"));
        scene.updateIntesity(); // wrong readout mode: nothing
        QCOMPARE(intensity.count(), 0);
    }

    void profileLine()
    {
        CustomScene scene;
        scene.setSceneSize(100, 100);
        scene.setFrameShown();
        scene.setLineMode(true);
        QSignalSpy profile(&scene, &CustomScene::lineProfile);
        QSignalSpy coords(&scene, &CustomScene::show_coord);
        drag(scene, {5, 6}, {60.8, 70.2});
        QCOMPARE(coords.count(), 1);
        QCOMPARE(coords[0], (QList<QVariant>{60, 70}));
        QCOMPARE(profile.count(), 2);
        QCOMPARE(profile[0], (QList<QVariant>{5, 6, 60, 70}));
        QCOMPARE(profile[1], (QList<QVariant>{0, 0, 0, 0}));
        QVERIFY(scene.hasProfileLine());
        QCOMPARE(scene.profileLine(), QLine(5, 6, 60, 70));
        QVERIFY(!scene.valueLabel());

        mouse(scene, QEvent::GraphicsSceneMouseRelease, {1, 1}, Qt::RightButton);
        QCOMPARE(profile.last(), (QList<QVariant>{-10, -10, -10, -10}));
        QVERIFY(!scene.lineMode());
        QVERIFY(!scene.hasProfileLine());
    }

    void noCoordinatesAtTheEdge()
    {
        CustomScene scene;
        QSignalSpy coords(&scene, &CustomScene::show_coord);
        mouse(scene, QEvent::GraphicsSceneMouseMove, {0, 12});
        mouse(scene, QEvent::GraphicsSceneMouseMove, {3.5, 0});
        QCOMPARE(coords.count(), 0);
    }

    void applyRoiToCamera()
    {
        ScriptedPrompt prompt;
        prompt.questionAnswers = {true};
        CustomScene scene;
        scene.setSceneSize(200, 200);
        scene.setFrameShown();
        scene.setRoiResizeMode(true);
        QSignalSpy resize(&scene, &CustomScene::changeImageSizeROI);
        drag(scene, {110, 60}, {10, 10});
        QCOMPARE(resize.count(), 1);
        QCOMPARE(resize[0][0].toRect(), QRect(QPoint(10, 10), QPoint(109, 59)));
        QVERIFY(!scene.valueLabel()); // no readout while resizing
        drag(scene, {10, 10}, {30, 30}); // answered No
        QCOMPARE(resize.count(), 1);
    }

    void zoomStopsBelowATenth()
    {
        MyGraphicsView view;
        for (int i = 0; i < 60; ++i)
            view.zoomOut();
        QVERIFY(view.zoomFactor() < 0.1);
        QVERIFY(view.zoomFactor() > 0.1 / 1.07);
        QCOMPARE(view.transform().m11(), view.zoomFactor());
        view.zoomIn();
        view.zoomFit();
        QCOMPARE(view.zoomFactor(), 1.0);
        QVERIFY(qFuzzyCompare(view.transform().m11(), 1.0));

        QWheelEvent forward(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                            Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view.viewport(), &forward);
        QVERIFY(qFuzzyCompare(view.zoomFactor(), 1.15));
    }

    void loadableNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("loadable");
        QTest::newRow("a.cine") << "a.cine" << true;
        QTest::newRow("a.CINE refused") << "a.CINE" << false;
        QTest::newRow("a.cine.tif") << "a.cine.tif" << false;
        QTest::newRow("a..cine") << "a..cine" << true;
        QTest::newRow("a.cine.") << "a.cine." << true; // empty parts are skipped
        QTest::newRow("run.tif") << "run.tif" << false;
        QTest::newRow("empty") << "" << false;
    }
    void loadableNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, loadable);
        QCOMPARE(MyGraphicsView::isLoadableName(name), loadable);
    }

    void drops()
    {
        ScriptedPrompt prompt;
        // Drops only reach a widget during a real drag, so the handler is called directly.
        struct DropView : MyGraphicsView
        {
            using MyGraphicsView::dropEvent;
        } view;
        QSignalSpy load(&view, &MyGraphicsView::tryLoadFile);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile("/data/take.cine"), QUrl::fromLocalFile("/data/take.CINE")});
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        view.dropEvent(&drop);
        QCOMPARE(load.count(), 1);
        QCOMPARE(load[0][0].toString(), QString("/data/take.cine"));
        QCOMPARE(prompt.titles(), QStringList{"Image Loader"});
        QCOMPARE(prompt.shown[0].text, QString("It is not a MY file"));
    }
};

QTEST_MAIN(TestImageScene)
#include "tst_ImageScene.moc"
