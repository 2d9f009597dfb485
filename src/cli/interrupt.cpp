#include "cli/interrupt.h"

#include <signal.h>

#include <csignal>

namespace tarnwell::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

}  // namespace

void installInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Restart interrupted reads and writes; SA_RESETHAND makes the next signal fatal.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool interruptRequested() {
    return interrupted != 0;
}

}  // namespace tarnwell::cli
