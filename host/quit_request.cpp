#include "host/quit_request.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <initializer_list>

namespace korvanthe {

namespace {

// Lock-free, so that a signal handler may store into it.
std::atomic<int> requestedBy{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onQuitSignal(int signalNumber) {
    requestedBy.store(signalNumber);
}

} // namespace

void installQuitSignalHandlers() {
    for (const int signalNumber : {SIGINT, SIGTERM}) {
        // A signal ignored by whoever started the demo (nohup, a shell's
        // background job) stays ignored.
        if (std::signal(signalNumber, onQuitSignal) == SIG_IGN) {
            std::signal(signalNumber, SIG_IGN);
        }
    }
}

int quitSignal() {
    return requestedBy.load();
}

bool quitRequested() {
    return requestedBy.load() != 0;
}

void clearQuitRequest() {
    requestedBy.store(0);
}

void endWithQuitSignal() {
    const int signalNumber = requestedBy.load();
    if (signalNumber == 0) {
        return;
    }
    // Death by a signal skips the exit handlers that would write out what
    // the streams still hold.
    std::fflush(nullptr);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

} // namespace korvanthe
