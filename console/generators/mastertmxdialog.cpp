#include "generators/mastertmxdialog.h"

mastertmxdialog::mastertmxdialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Master TMX Settings"));
}

void mastertmxdialog::setMasterIP(const QString&) {}
