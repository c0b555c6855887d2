#include "generators/multitmxdialog.h"

multitmxdialog::multitmxdialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Slave TMX's Settings"));
}

void multitmxdialog::setSlaveTMXList(const QStringList&) {}

void multitmxdialog::fillProfiles() {}
