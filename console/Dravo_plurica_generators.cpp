// The pulse generators and the run log. The master and slave requests, the
// generator dialogs' read-back and the log file are still to come: these
// slots are wired to their buttons and dialogs and do nothing yet.

#include "Dravo_plurica.h"

void Dravo_plurica::runMaster() {}

void Dravo_plurica::runMaster1() {}

void Dravo_plurica::runMaster2() {}

void Dravo_plurica::stopTMX() {}

void Dravo_plurica::showMasterTMXSettings() {}

void Dravo_plurica::finishedSlot(QNetworkReply*) {}

void Dravo_plurica::handleHTTPResponseSlave(bool) {}

void Dravo_plurica::handleHTTPResponseMaster(bool) {}

void Dravo_plurica::selectLogFile(bool) {}
