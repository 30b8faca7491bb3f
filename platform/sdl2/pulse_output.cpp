#include "platform/sdl2/pulse_output.h"

#include "platform/sdl2/heard_position.h"
#include "platform/sdl2/loop_copy.h"
#include "platform/thread.h"

#if defined(__linux__) && __has_include(<pulse/pulseaudio.h>)
#define KORVANTHE_PULSE_OUTPUT 1
#else
#define KORVANTHE_PULSE_OUTPUT 0
#endif

#if KORVANTHE_PULSE_OUTPUT

#include <dlfcn.h>
#include <pulse/pulseaudio.h>

#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace korvanthe {

namespace {

// The library's entry points, taken from the one dlopen'ed copy; the
// header's declarations give their types.
struct PulseLibrary {
    decltype(&::pa_threaded_mainloop_new) mainloopNew;
    decltype(&::pa_threaded_mainloop_free) mainloopFree;
    decltype(&::pa_threaded_mainloop_start) mainloopStart;
    decltype(&::pa_threaded_mainloop_stop) mainloopStop;
    decltype(&::pa_threaded_mainloop_lock) lock;
    decltype(&::pa_threaded_mainloop_unlock) unlock;
    decltype(&::pa_threaded_mainloop_wait) wait;
    decltype(&::pa_threaded_mainloop_signal) signal;
    decltype(&::pa_threaded_mainloop_get_api) mainloopApi;
    decltype(&::pa_context_new) contextNew;
    decltype(&::pa_context_set_state_callback) contextSetStateCallback;
    decltype(&::pa_context_connect) contextConnect;
    decltype(&::pa_context_get_state) contextGetState;
    decltype(&::pa_context_disconnect) contextDisconnect;
    decltype(&::pa_context_unref) contextUnref;
    decltype(&::pa_stream_new) streamNew;
    decltype(&::pa_stream_set_state_callback) streamSetStateCallback;
    decltype(&::pa_stream_set_write_callback) streamSetWriteCallback;
    decltype(&::pa_stream_connect_playback) streamConnectPlayback;
    decltype(&::pa_stream_get_state) streamGetState;
    decltype(&::pa_stream_begin_write) streamBeginWrite;
    decltype(&::pa_stream_write) streamWrite;
    decltype(&::pa_stream_get_timing_info) streamGetTimingInfo;
    decltype(&::pa_stream_set_latency_update_callback) streamSetLatencyUpdateCallback;
    decltype(&::pa_stream_update_timing_info) streamUpdateTimingInfo;
    decltype(&::pa_stream_cork) streamCork;
    decltype(&::pa_operation_unref) operationUnref;
    decltype(&::pa_stream_disconnect) streamDisconnect;
    decltype(&::pa_stream_unref) streamUnref;
};

template <typename Function> bool take(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// Null when libpulse is not there or lacks an entry point. The handle stays
// open: the library's threads and callbacks must never outlive it.
const PulseLibrary* pulseLibrary() {
    static const PulseLibrary* const loaded = []() -> const PulseLibrary* {
        void* library = dlopen("libpulse.so.0", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            return nullptr;
        }
        static PulseLibrary pulse{};
        const bool complete =
            take(library, "pa_threaded_mainloop_new", pulse.mainloopNew) &&
            take(library, "pa_threaded_mainloop_free", pulse.mainloopFree) &&
            take(library, "pa_threaded_mainloop_start", pulse.mainloopStart) &&
            take(library, "pa_threaded_mainloop_stop", pulse.mainloopStop) &&
            take(library, "pa_threaded_mainloop_lock", pulse.lock) &&
            take(library, "pa_threaded_mainloop_unlock", pulse.unlock) &&
            take(library, "pa_threaded_mainloop_wait", pulse.wait) &&
            take(library, "pa_threaded_mainloop_signal", pulse.signal) &&
            take(library, "pa_threaded_mainloop_get_api", pulse.mainloopApi) &&
            take(library, "pa_context_new", pulse.contextNew) &&
            take(library, "pa_context_set_state_callback", pulse.contextSetStateCallback) &&
            take(library, "pa_context_connect", pulse.contextConnect) &&
            take(library, "pa_context_get_state", pulse.contextGetState) &&
            take(library, "pa_context_disconnect", pulse.contextDisconnect) &&
            take(library, "pa_context_unref", pulse.contextUnref) &&
            take(library, "pa_stream_new", pulse.streamNew) &&
            take(library, "pa_stream_set_state_callback", pulse.streamSetStateCallback) &&
            take(library, "pa_stream_set_write_callback", pulse.streamSetWriteCallback) &&
            take(library, "pa_stream_connect_playback", pulse.streamConnectPlayback) &&
            take(library, "pa_stream_get_state", pulse.streamGetState) &&
            take(library, "pa_stream_begin_write", pulse.streamBeginWrite) &&
            take(library, "pa_stream_write", pulse.streamWrite) &&
            take(library, "pa_stream_get_timing_info", pulse.streamGetTimingInfo) &&
            take(library, "pa_stream_set_latency_update_callback",
                 pulse.streamSetLatencyUpdateCallback) &&
            take(library, "pa_stream_update_timing_info", pulse.streamUpdateTimingInfo) &&
            take(library, "pa_stream_cork", pulse.streamCork) &&
            take(library, "pa_operation_unref", pulse.operationUnref) &&
            take(library, "pa_stream_disconnect", pulse.streamDisconnect) &&
            take(library, "pa_stream_unref", pulse.streamUnref);
        return complete ? &pulse : nullptr;
    }();
    return loaded;
}

// What the server buffers ahead of the sink when nothing else asks. The
// pictures do not lag by it, since the position counts it, so it is chosen
// for a busy machine: at 50 ms the stream now and then ran dry on two cores
// shared with a compiler or a software-rendered demo; at 100 it did not.
// PULSE_LATENCY_MSEC overrides it.
constexpr uint32_t TargetLatencyMilliseconds = 100;

// The server's clock is asked this often while the position is asked for,
// and carried forward on our own clock in between, at most this far: a
// stream that has run dry does not move on for long.
constexpr std::chrono::milliseconds TimingRequestInterval{20};
constexpr std::chrono::milliseconds LongestCarry{100};

using Clock = std::chrono::steady_clock;

// Everything below the connection is touched only with the main loop's lock
// held; the write callback runs in the loop's thread with it held.
struct PulseOutput {
    const PulseLibrary* pulse = nullptr;
    pa_threaded_mainloop* mainloop = nullptr;
    pa_context* context = nullptr;
    pa_stream* stream = nullptr;
    int32_t sampleRate = 0;

    const uint8_t* loopBuffer = nullptr; // null: silence is written
    uint32_t loopBytes = 0;
    uint32_t cursorBytes = 0;
    uint64_t writtenBytes = 0;   // every byte handed to the stream, silence too
    uint64_t loopStartBytes = 0; // writtenBytes when the loop began: all after it is loop
    uint64_t heardBytes = 0;     // the last answer

    // The stream's frames heard as the server last reported them, the
    // moment the report describes, and whether the sink was playing then.
    bool clockKnown = false;
    ServerClock clock{};
    Clock::time_point clockArrival{};
    Clock::time_point timingRequested{};
    bool priorityRaised = false;
    bool corked = false; // held by pausePulseOutput: the server neither plays nor asks for more
};

PulseOutput output;

void onContextState(pa_context*, void*) {
    output.pulse->signal(output.mainloop, 0);
}

void onStreamState(pa_stream*, void*) {
    output.pulse->signal(output.mainloop, 0);
}

// Each timing report of the server: the frames the sink has taken from the
// stream less those the sink still holds, at the moment the server wrote
// the report (its time stamp, on the same machine's clock). Dated by that
// stamp and not by its arrival, a report that waited for a busy thread
// does not set the clock back. The library's own interpolation is not used:
// its smoothing let the clock run tens of milliseconds ahead of the sound
// between reports when the server takes data in large pieces; carried
// forward here at the nominal rate, the clock is at most one report
// interval's drift away from the server's.
void onTimingReport(pa_stream* stream, void*) {
    const pa_timing_info* timing = output.pulse->streamGetTimingInfo(stream);
    if (timing == nullptr || timing->read_index_corrupt != 0) {
        return;
    }
    timeval wallNow{};
    gettimeofday(&wallNow, nullptr);
    const ServerTimingReport report{
        static_cast<uint64_t>(std::max<int64_t>(timing->read_index, 0)),
        static_cast<int64_t>(timing->sink_usec),
        (static_cast<int64_t>(wallNow.tv_sec) - timing->timestamp.tv_sec) * 1000000 +
            (static_cast<int64_t>(wallNow.tv_usec) - timing->timestamp.tv_usec),
        timing->playing != 0};
    output.clockKnown = true;
    output.clock = serverClockOfReport(
        report, output.sampleRate, std::chrono::microseconds(LongestCarry).count());
    output.clockArrival = Clock::now();
}

void onWritable(pa_stream* stream, size_t wanted, void*) {
    const PulseLibrary& pulse = *output.pulse;
    // The library's thread feeds the server: as the streaming thread, it
    // must not wait behind a busy machine's other work (where allowed).
    if (!output.priorityRaised) {
        output.priorityRaised = true;
        makeCurrentThreadTimeCritical();
    }
    while (wanted >= 4) {
        void* data = nullptr;
        size_t size = wanted;
        if (pulse.streamBeginWrite(stream, &data, &size) != 0 || data == nullptr) {
            return;
        }
        size &= ~static_cast<size_t>(3); // whole frames, so the loop stays aligned
        if (size == 0) {
            return;
        }
        copyFromLoop(static_cast<uint8_t*>(data), size, output.loopBuffer, output.loopBytes,
                     output.cursorBytes);
        if (pulse.streamWrite(stream, data, size, nullptr, 0, PA_SEEK_RELATIVE) != 0) {
            return;
        }
        output.writtenBytes += size;
        wanted -= size;
    }
}

// SDL's choice of driver is the user's too: with another one named, SDL plays.
bool serverWanted() {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return driver == nullptr || driver[0] == '\0' || std::strcmp(driver, "pulseaudio") == 0 ||
           std::strcmp(driver, "pulse") == 0 || std::strcmp(driver, "pipewire") == 0;
}

// Waits, lock held, until the context is ready or has failed.
bool contextReady() {
    for (;;) {
        const pa_context_state_t state = output.pulse->contextGetState(output.context);
        if (state == PA_CONTEXT_READY) {
            return true;
        }
        if (!PA_CONTEXT_IS_GOOD(state)) {
            return false;
        }
        output.pulse->wait(output.mainloop);
    }
}

bool streamReady() {
    for (;;) {
        const pa_stream_state_t state = output.pulse->streamGetState(output.stream);
        if (state == PA_STREAM_READY) {
            return true;
        }
        if (!PA_STREAM_IS_GOOD(state)) {
            return false;
        }
        output.pulse->wait(output.mainloop);
    }
}

// Lock held.
bool connectStream(int32_t sampleRate) {
    const PulseLibrary& pulse = *output.pulse;
    pulse.contextSetStateCallback(output.context, onContextState, nullptr);
    if (pulse.contextConnect(output.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        !contextReady()) {
        return false;
    }
    const pa_sample_spec format{PA_SAMPLE_S16LE, static_cast<uint32_t>(sampleRate), 2};
    output.stream = pulse.streamNew(output.context, "Korvanthe", &format, nullptr);
    if (output.stream == nullptr) {
        return false;
    }
    pulse.streamSetStateCallback(output.stream, onStreamState, nullptr);
    pulse.streamSetWriteCallback(output.stream, onWritable, nullptr);
    pulse.streamSetLatencyUpdateCallback(output.stream, onTimingReport, nullptr);
    pa_buffer_attr buffering{};
    buffering.maxlength = static_cast<uint32_t>(-1);
    buffering.tlength = static_cast<uint32_t>(static_cast<int64_t>(sampleRate) *
                                              TargetLatencyMilliseconds / 1000 * 4);
    buffering.prebuf = static_cast<uint32_t>(-1);
    buffering.minreq = static_cast<uint32_t>(-1);
    buffering.fragsize = static_cast<uint32_t>(-1);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    return pulse.streamConnectPlayback(output.stream, nullptr, &buffering, flags, nullptr,
                                       nullptr) == 0 &&
           streamReady();
}

// Lock not held; the main loop stopped first, so no callback runs.
void dropConnection() {
    const PulseLibrary& pulse = *output.pulse;
    if (output.mainloop != nullptr) {
        pulse.mainloopStop(output.mainloop);
    }
    if (output.stream != nullptr) {
        pulse.streamDisconnect(output.stream);
        pulse.streamUnref(output.stream);
    }
    if (output.context != nullptr) {
        pulse.contextDisconnect(output.context);
        pulse.contextUnref(output.context);
    }
    if (output.mainloop != nullptr) {
        pulse.mainloopFree(output.mainloop);
    }
    output = PulseOutput{};
}

} // namespace

bool openPulseOutput(int32_t sampleRate) {
    closePulseOutput();
    if (sampleRate <= 0 || !serverWanted()) {
        return false;
    }
    output.pulse = pulseLibrary();
    if (output.pulse == nullptr) {
        return false;
    }
    const PulseLibrary& pulse = *output.pulse;
    output.sampleRate = sampleRate;
    output.mainloop = pulse.mainloopNew();
    if (output.mainloop == nullptr) {
        output = PulseOutput{};
        return false;
    }
    output.context = pulse.contextNew(pulse.mainloopApi(output.mainloop), "Korvanthe");
    if (output.context == nullptr || pulse.mainloopStart(output.mainloop) < 0) {
        dropConnection();
        return false;
    }
    pulse.lock(output.mainloop);
    const bool connected = connectStream(sampleRate);
    pulse.unlock(output.mainloop);
    if (!connected) {
        dropConnection();
        return false;
    }
    return true;
}

bool pulseOutputIsOpen() {
    return output.stream != nullptr;
}

bool startPulseLoop(const uint8_t* buffer, uint32_t byteCount) {
    if (output.stream == nullptr || buffer == nullptr || byteCount < 4 || byteCount % 4 != 0) {
        return false;
    }
    output.pulse->lock(output.mainloop);
    output.loopBuffer = buffer;
    output.loopBytes = byteCount;
    output.cursorBytes = 0;
    output.loopStartBytes = output.writtenBytes;
    output.heardBytes = 0;
    output.pulse->unlock(output.mainloop);
    return true;
}

bool pulseHeardBytes(uint64_t* bytes) {
    if (output.stream == nullptr) {
        return false;
    }
    output.pulse->lock(output.mainloop);
    const bool looping = output.loopBuffer != nullptr;
    if (looping) {
        const Clock::time_point now = Clock::now();
        if (now - output.timingRequested >= TimingRequestInterval) {
            output.timingRequested = now;
            if (pa_operation* request =
                    output.pulse->streamUpdateTimingInfo(output.stream, nullptr, nullptr)) {
                output.pulse->operationUnref(request);
            }
        }
        // No report yet (just after the start): the last answer stands.
        if (output.clockKnown) {
            const int64_t sinceReport =
                std::chrono::duration_cast<std::chrono::microseconds>(now - output.clockArrival)
                    .count() +
                output.clock.microsecondsBeforeArrival;
            const int64_t streamFrames = streamFramesHeard(
                output.clock.frames, sinceReport, output.clock.running && !output.corked,
                std::chrono::duration_cast<std::chrono::microseconds>(LongestCarry).count(),
                output.sampleRate);
            output.heardBytes = loopBytesHeard(
                static_cast<uint64_t>(streamFrames) * 4, output.loopStartBytes,
                output.writtenBytes - output.loopStartBytes, output.loopBytes, output.heardBytes);
        }
        *bytes = output.heardBytes;
    }
    output.pulse->unlock(output.mainloop);
    return looping;
}

bool pulseTakenBytes(uint64_t* bytes) {
    if (output.stream == nullptr) {
        return false;
    }
    output.pulse->lock(output.mainloop);
    const bool looping = output.loopBuffer != nullptr;
    if (looping) {
        *bytes = output.writtenBytes - output.loopStartBytes;
    }
    output.pulse->unlock(output.mainloop);
    return looping;
}

void pausePulseOutput(bool paused) {
    if (output.stream == nullptr) {
        return;
    }
    output.pulse->lock(output.mainloop);
    if (paused != output.corked) {
        output.corked = paused;
        // What the server holds stays there and plays on once uncorked.
        if (pa_operation* cork =
                output.pulse->streamCork(output.stream, paused ? 1 : 0, nullptr, nullptr)) {
            output.pulse->operationUnref(cork);
        }
        // The last report describes the stream before the change: the
        // position is carried forward again only from a report made after it.
        output.clock.running = false;
    }
    output.pulse->unlock(output.mainloop);
}

bool pulseOutputPaused() {
    return output.stream != nullptr && output.corked;
}

void resetPulseOutput() {
    if (output.stream == nullptr) {
        return;
    }
    output.pulse->lock(output.mainloop);
    output.loopBuffer = nullptr;
    output.loopBytes = 0;
    output.cursorBytes = 0;
    output.heardBytes = 0;
    output.pulse->unlock(output.mainloop);
}

void closePulseOutput() {
    if (output.pulse == nullptr) {
        return;
    }
    // The main loop stops first, so no callback runs while it all goes.
    dropConnection();
}

} // namespace korvanthe

#else

namespace korvanthe {

bool openPulseOutput(int32_t) {
    return false;
}

bool pulseOutputIsOpen() {
    return false;
}

bool startPulseLoop(const uint8_t*, uint32_t) {
    return false;
}

bool pulseHeardBytes(uint64_t*) {
    return false;
}

bool pulseTakenBytes(uint64_t*) {
    return false;
}

void pausePulseOutput(bool) {}

bool pulseOutputPaused() {
    return false;
}

void resetPulseOutput() {}

void closePulseOutput() {}

} // namespace korvanthe

#endif
