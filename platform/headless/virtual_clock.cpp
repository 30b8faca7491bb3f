#include "platform/headless/virtual_clock.h"

#include <atomic>
#include <thread>

#include "platform/clock.h"

namespace korvanthe {

namespace {
std::atomic<uint32_t> virtualMilliseconds{0};
std::atomic<bool> sleepMovesTime{false};
std::atomic<uint32_t> oversleep{0};
} // namespace

void setVirtualMilliseconds(uint32_t milliseconds) {
    virtualMilliseconds.store(milliseconds);
}

void advanceVirtualMilliseconds(uint32_t milliseconds) {
    virtualMilliseconds.fetch_add(milliseconds);
}

void setVirtualSleep(bool movesTime, uint32_t oversleepMilliseconds) {
    oversleep.store(oversleepMilliseconds);
    sleepMovesTime.store(movesTime);
}

uint32_t platformMilliseconds() {
    return virtualMilliseconds.load();
}

// Virtual time does not pass while a thread waits (unless a test asked for
// it with setVirtualSleep); the thread only yields so that whoever drives the
// clock and the virtual devices can run.
void platformSleep(uint32_t milliseconds) {
    if (milliseconds > 0 && sleepMovesTime.load()) {
        virtualMilliseconds.fetch_add(milliseconds + oversleep.load());
    } else if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

} // namespace korvanthe
