#pragma once

#include <QString>

class QObject;

namespace bravik::platform {

// Why the program cannot show windows here (no display), or empty when it can.
QString missingDisplayReason();

// The name of the user the program runs as, or empty when unknown.
QString userName();

// Whether a process with that id runs on this computer now (a command
// started by an earlier run of the program, which may outlive it).
bool processIsRunning(qint64 processId);

// Calls `onQuit` on the event loop when the system asks the program to end
// (SIGTERM, SIGINT, SIGHUP on Unix; console close on Windows), so open
// windows can store what they hold before the program ends.
void onTerminationRequest(QObject *context, void (*onQuit)());

// Asks the system to start writing the given bytes of an open file to the
// disk now, without waiting for it (Linux); elsewhere it does nothing.  A
// long file written this way leaves little for its final sync, so that
// sync does not hold up other programs' (and the logbook's) syncs for long.
void startWritingBack(int fileHandle, qint64 offset, qint64 length);

} // namespace bravik::platform
