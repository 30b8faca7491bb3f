// A request to end the demo from outside its window: SIGINT (Ctrl+C in a
// terminal) and SIGTERM (a service manager, `kill`, a session ending). The
// handlers only set a flag; the frame pump and the start-up delay look at it
// and end the demo through its ordinary shutdown, so the player's thread is
// stopped and the display restored before the process goes. Any thread and
// signal handlers may set the flag; the first thread reads it. The player
// tool's play command ends on the same handlers.
#pragma once

namespace korvanthe {

// Installs the handlers for SIGINT and SIGTERM, except for a signal that the
// process was started with ignored. Installed before the window system
// starts, they also keep it from installing handlers of its own. First
// thread, once.
void installQuitSignalHandlers();

// The signal that asked the demo to end, 0 when none has.
int quitSignal();

// True once a quit signal has arrived.
bool quitRequested();

// Forgets a request (tests only).
void clearQuitRequest();

// Ends the process with the signal that asked for the end, after the demo has
// shut down, so that a shell or service manager sees the same status as from
// a program that the signal killed; returns when no signal asked.
void endWithQuitSignal();

} // namespace korvanthe
