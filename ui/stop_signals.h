// SIGINT, SIGTERM and SIGHUP (Ctrl-C in the terminal, a kill, a logout) end the window
// program the way they end korvane-cli: a run in progress stops after the file in hand,
// with its temporaries removed, and then the window closes.
#pragma once

#include <csignal>

class QWidget;

namespace korvane {

// Catches the three signals from now on; each closes `window` once the event loop gets
// to it, after the run in progress has stopped.
void CloseOnStopSignals(QWidget& window);

// Non-zero (the signal's number) once a stop signal came: what runs are handed as their
// stop request.
const volatile std::sig_atomic_t* StopSignalRequest();

}  // namespace korvane
