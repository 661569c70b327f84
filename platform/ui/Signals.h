#pragma once

#include <functional>

// Termination requests from outside the program (SIGTERM from a logout or
// `kill`, SIGINT from Ctrl+C in the terminal that started it) turned into a
// call on the main thread, so that the program can close its window in an
// orderly way instead of being ended where it stands.
//
// Contract:
// - Call on the main thread, once the QApplication exists. A later call
//   replaces the handler.
// - The signal itself only writes a byte to a pipe; `handler` runs on the
//   main thread from the event loop (also from a modal dialog's loop), once,
//   for the first request.
// - From the first request on, both signals take their default action again:
//   a second Ctrl+C or `kill` ends a program whose close does not finish.
void OnTerminationRequest(std::function<void()> handler);
