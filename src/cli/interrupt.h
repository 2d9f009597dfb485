#pragma once
// The terminal's interrupt (Ctrl-C) and SIGTERM as a cancel request: the first one is only
// noted, so the running job can stop at its next progress step and close its files; the next
// one ends the program at once.

namespace tarnwell::cli {

void installInterruptHandler();
bool interruptRequested();

}  // namespace tarnwell::cli
