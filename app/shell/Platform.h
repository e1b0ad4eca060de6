#pragma once

#include <QString>

class QObject;

namespace bravik::platform {

// Why the program cannot show windows here (no display), or empty when it can.
QString missingDisplayReason();

// The name of the user the program runs as, or empty when unknown.
QString userName();

// Calls `onQuit` on the event loop when the system asks the program to end
// (SIGTERM, SIGINT, SIGHUP on Unix; console close on Windows), so open
// windows can store what they hold before the program ends.
void onTerminationRequest(QObject *context, void (*onQuit)());

} // namespace bravik::platform
