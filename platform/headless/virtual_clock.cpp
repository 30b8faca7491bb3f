#include "platform/headless/virtual_clock.h"

#include <atomic>
#include <thread>

#include "platform/clock.h"

namespace korvanthe {

namespace {
std::atomic<uint32_t> virtualMilliseconds{0};
}

void setVirtualMilliseconds(uint32_t milliseconds) {
    virtualMilliseconds.store(milliseconds);
}

void advanceVirtualMilliseconds(uint32_t milliseconds) {
    virtualMilliseconds.fetch_add(milliseconds);
}

uint32_t platformMilliseconds() {
    return virtualMilliseconds.load();
}

// Virtual time does not pass while a thread waits; the thread only yields so
// that whoever drives the clock and the virtual devices can run.
void platformSleep(uint32_t milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

} // namespace korvanthe
