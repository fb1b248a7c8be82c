#pragma once

#include "application/Session.h"

namespace flashdesk::cli {

// Gives Ctrl-C the session while an upload runs (nullptr after it). The first
// Ctrl-C requests the abort, so the upload stops before its next block and ends with an honest
// report, as the window's exit does; a second one, or one outside an upload, ends the program
// at once. A signal handler on POSIX, where SIGTERM and SIGHUP count as Ctrl-C too, a console
// control handler on Windows.
void WatchInterrupt(application::Session* session);

// True when error output goes to a terminal (a console on Windows) that can redraw a
// progress bar in place.
bool ErrorsGoToTerminal();

// For the handlers: true when an interrupt has just stopped the upload, false when the
// program is to end.
bool StopUploadOnInterrupt();

// What a handler writes to error output when it has stopped the upload.
constexpr char kStoppingNote[] =
    "\nflashdesk-cli: stopping before the next block; interrupt again to end at once\n";

// The operating system's half of WatchInterrupt: takes Ctrl-C while on is true.
void CatchInterrupts(bool on);

}  // namespace flashdesk::cli
