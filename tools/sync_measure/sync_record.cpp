// korvanthe-sync-record SOURCE RAW TIMES SECONDS: records a PulseAudio source
// (a sink's monitor) as 16-bit stereo at 44100 Hz into RAW, for at most
// SECONDS or until SIGTERM or SIGINT. TIMES gets one line per fragment read:
// "FRAMES HEARD ARRIVED", the frames recorded before the fragment, the
// moment at which its first frame is heard and the moment the fragment
// came, in nanoseconds of the monotonic clock.
//
// That moment comes from the server's timing of the stream, not from when
// the fragment arrived: a monitor gets what its sink plays as soon as the
// sink has mixed it, which may be well before the sink plays it, and the
// server reports exactly that as a negative latency.
#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t SampleRate = 44100;
constexpr uint32_t FrameBytes = 4;
constexpr uint32_t FragmentMilliseconds = 5;

std::atomic<bool> stopAsked{false};

void onStopSignal(int) {
    stopAsked.store(true);
}

struct Recording {
    pa_threaded_mainloop* mainloop = nullptr;
    std::FILE* raw = nullptr;
    std::FILE* times = nullptr;
    uint64_t frames = 0;
    bool failed = false;
    std::vector<char> silence;
};

Recording recording;

int64_t monotonicNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void onState(pa_context*, void*) {
    pa_threaded_mainloop_signal(recording.mainloop, 0);
}

void onStreamState(pa_stream*, void*) {
    pa_threaded_mainloop_signal(recording.mainloop, 0);
}

void onReadable(pa_stream* stream, size_t, void*) {
    const void* data = nullptr;
    size_t size = 0;
    while (pa_stream_peek(stream, &data, &size) == 0 && size > 0) {
        const int64_t now = monotonicNanoseconds();
        pa_usec_t latency = 0;
        int negative = 0;
        if (pa_stream_get_latency(stream, &latency, &negative) == 0) {
            const int64_t heard = negative != 0 ? now + static_cast<int64_t>(latency) * 1000
                                                : now - static_cast<int64_t>(latency) * 1000;
            std::fprintf(recording.times, "%llu %lld %lld\n",
                         static_cast<unsigned long long>(recording.frames),
                         static_cast<long long>(heard), static_cast<long long>(now));
        }
        if (data == nullptr) { // a hole: silence
            recording.silence.assign(size, 0);
            data = recording.silence.data();
        }
        if (std::fwrite(data, 1, size, recording.raw) != size) {
            recording.failed = true;
        }
        recording.frames += size / FrameBytes;
        pa_stream_drop(stream);
    }
}

bool waitReady(pa_context* context) {
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) {
            return true;
        }
        if (!PA_CONTEXT_IS_GOOD(state)) {
            return false;
        }
        pa_threaded_mainloop_wait(recording.mainloop);
    }
}

bool waitReady(pa_stream* stream) {
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_READY) {
            return true;
        }
        if (!PA_STREAM_IS_GOOD(state)) {
            return false;
        }
        pa_threaded_mainloop_wait(recording.mainloop);
    }
}

int fail(const char* what) {
    std::fprintf(stderr, "korvanthe-sync-record: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: korvanthe-sync-record SOURCE RAW TIMES SECONDS\n");
        return 2;
    }
    const char* source = argv[1];
    const double seconds = std::atof(argv[4]);
    recording.raw = std::fopen(argv[2], "wb");
    recording.times = std::fopen(argv[3], "w");
    if (recording.raw == nullptr || recording.times == nullptr) {
        return fail("cannot write the output files");
    }
    std::signal(SIGTERM, onStopSignal);
    std::signal(SIGINT, onStopSignal);

    recording.mainloop = pa_threaded_mainloop_new();
    pa_context* context =
        pa_context_new(pa_threaded_mainloop_get_api(recording.mainloop), "korvanthe-sync-record");
    pa_context_set_state_callback(context, onState, nullptr);
    pa_threaded_mainloop_start(recording.mainloop);
    pa_threaded_mainloop_lock(recording.mainloop);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        !waitReady(context)) {
        pa_threaded_mainloop_unlock(recording.mainloop);
        return fail("no sound server to record from");
    }
    const pa_sample_spec format{PA_SAMPLE_S16LE, SampleRate, 2};
    pa_stream* stream = pa_stream_new(context, "sync recording", &format, nullptr);
    pa_stream_set_state_callback(stream, onStreamState, nullptr);
    pa_stream_set_read_callback(stream, onReadable, nullptr);
    pa_buffer_attr buffering{};
    buffering.maxlength = static_cast<uint32_t>(-1);
    buffering.fragsize = SampleRate * FragmentMilliseconds / 1000 * FrameBytes;
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(stream, source, &buffering, flags) < 0 || !waitReady(stream)) {
        pa_threaded_mainloop_unlock(recording.mainloop);
        return fail("cannot record from the source");
    }
    pa_threaded_mainloop_unlock(recording.mainloop);
    std::fprintf(stderr, "korvanthe-sync-record: recording\n");

    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
    while (!stopAsked.load() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pa_threaded_mainloop_lock(recording.mainloop);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    pa_context_disconnect(context);
    pa_context_unref(context);
    pa_threaded_mainloop_unlock(recording.mainloop);
    pa_threaded_mainloop_stop(recording.mainloop);
    pa_threaded_mainloop_free(recording.mainloop);
    const bool written =
        !recording.failed && std::fclose(recording.raw) == 0 && std::fclose(recording.times) == 0;
    return written ? 0 : fail("cannot write the output files");
}
