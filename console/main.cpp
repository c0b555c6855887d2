#include "Dravo_plurica.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int result = 0;
    {
        Dravo_plurica window;
        window.show();
        result = app.exec();
    } // the window stops its workers here, before the application goes
    return result;
}
