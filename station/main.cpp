#include "Lumi_cam.h"
#include "remote/DescriptorLimit.h"

#include <QApplication>
#include <QPixmap>
#include <QSplashScreen>
#include <QThread>

int main(int argc, char* argv[])
{
    // All the descriptors the system allows, not a desktop's usual 1,024.
    DescriptorLimit::raiseSoftToHard();
    QApplication app(argc, argv);

    QPixmap pixmap(QStringLiteral(":/Dravo_cam/kessane_new_splash.png"));
    QSplashScreen splash(pixmap);
    splash.show();
    app.processEvents();
    QThread::msleep(1618);

    int result = 0;
    {
        Lumi_cam window;
        window.show();
        splash.finish(&window);
        result = app.exec();
    } // the window disconnects the camera and ends its threads here
    return result;
}
