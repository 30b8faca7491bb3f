// korvanthe-xm trace FILE --ticks N: plays the first N ticks of a song through
// the block renderer (the code live playback runs) and prints, after each
// tick, one line per channel with what the replayer left in the channel and
// its voice.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/mixer.h"
#include "audio/offline_render.h"
#include "replayer/channel.h"
#include "tools/xm/commands.h"

namespace korvanthe {

namespace {

constexpr const char* TraceUsage = "trace FILE --ticks N";
constexpr int32_t TraceRate = 44100;
constexpr long long MostTicks = 100000000;

struct Trace {
    TickHandler replayerTick; // the handler the loader stored
    long long ticksLeft;
};

Trace trace{};

// noteIndex as a note name: 0 is C-0.
std::string noteName(uint8_t noteIndex) {
    static constexpr const char* names[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                              "F#", "G-", "G#", "A-", "A#", "B-"};
    return std::string(names[noteIndex % 12]) + std::to_string(noteIndex / 12);
}

void printTick(const Module* module, int32_t tick) {
    const int32_t channelCount =
        module->channelCount < MaxChannels ? module->channelCount : MaxChannels;
    for (int32_t i = 0; i < channelCount; ++i) {
        const Channel& channel = channels[i];
        const Voice& voice = voices[i];
        std::printf("%3d %3d %3d %2d %s %3d %6d %5d %3d %4d %4d %3d %3d %6d %3d %3d %3d\n",
                    module->order, module->row, tick, i, noteName(channel.noteIndex).c_str(),
                    channel.instrumentIndex + 1, channel.period, channel.periodDelta,
                    channel.volume, channel.volumeDelta, channel.panning,
                    channel.volumeEnvelope.value, channel.panningEnvelope.value,
                    channel.fadeoutVolume, voice.volume, voice.volumeLeft, voice.volumeRight);
    }
}

// Stands in for the module's tick handler while tracing: runs the replayer's
// tick, then prints the tick's state.
void traceTick(Module* module) {
    const int32_t tick = module->tick; // the tick about to run; the driver moves it on
    trace.replayerTick(module);
    if (trace.ticksLeft > 0) {
        printTick(module, tick);
        trace.ticksLeft -= 1;
    }
}

} // namespace

int runTraceCommand(const CommandArguments& arguments) {
    std::string input;
    long long ticks = -1;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--ticks") {
            if (i + 1 >= arguments.size()) {
                return reportUsageError("--ticks needs a value", TraceUsage);
            }
            const std::string& value = arguments[++i];
            char* end = nullptr;
            errno = 0;
            ticks = std::strtoll(value.c_str(), &end, 10);
            if (errno != 0 || end == value.c_str() || *end != 0 || ticks < 1 || ticks > MostTicks) {
                return reportUsageError("--ticks needs a number from 1 to 100000000, got \"" +
                                            value + "\"",
                                        TraceUsage);
            }
        } else if (!word.empty() && word[0] == '-') {
            return reportUsageError("unknown option \"" + word + "\"", TraceUsage);
        } else if (input.empty()) {
            input = word;
        } else {
            return reportUsageError("more than one FILE", TraceUsage);
        }
    }
    if (input.empty()) {
        return reportUsageError("no FILE given", TraceUsage);
    }
    if (ticks < 0) {
        return reportUsageError("no tick count given (--ticks N)", TraceUsage);
    }

    XmLoadReport report;
    std::string reason;
    Module* song = loadSongFile(input, report, reason);
    if (song == nullptr) {
        return reportFileError(input, reason);
    }
    if (!startOfflineRender(song, TraceRate, false)) {
        freeModule(song);
        return reportFileError(input, "cannot allocate the render buffers");
    }
    trace = Trace{song->tickHandler, ticks};
    if (trace.replayerTick != nullptr) {
        song->tickHandler = traceTick;
        std::printf("# order row tick ch note ins period pdelta vol vdelta pan venv penv fadeout "
                    "vvol left right\n");
        OfflineBlock block{};
        while (trace.ticksLeft > 0 && renderOfflineBlock(&block)) {
        }
        song->tickHandler = trace.replayerTick;
    }
    stopOfflineRender();
    freeModule(song);
    return std::fflush(stdout) == 0 ? 0 : ExitFileError;
}

} // namespace korvanthe
