// korvanthe-xm trace FILE --ticks N: plays the first N ticks of a song through
// the block renderer (the code live playback runs) and prints, after each
// tick, one line per channel with what the replayer left in the channel and
// its voice. A channel shows no note and no instrument ("---  --") until the
// pattern has given it one.
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

constexpr int32_t TraceRate = 44100;
constexpr long long MostTicks = 100000000;

struct Trace {
    TickHandler replayerTick; // the handler the loader stored
    long long ticksLeft;
    // Bit i: channel i has had a note (an instrument) from the pattern. A
    // cleared channel reads as note C-0 with instrument 1, which it never had.
    uint32_t hadNote;
    uint32_t hadInstrument;
};

Trace trace{};

// noteIndex as a note name: 0 is C-0.
std::string noteName(uint8_t noteIndex) {
    static constexpr const char* names[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                              "F#", "G-", "G#", "A-", "A#", "B-"};
    return std::string(names[noteIndex % 12]) + std::to_string(noteIndex / 12);
}

int32_t tracedChannels(const Module* module) {
    return module->channelCount < MaxChannels ? module->channelCount : MaxChannels;
}

// After a row tick: which channels the row gave a note or an instrument.
void noteRowCells(const Module* module) {
    if (module->patterns == nullptr || module->order < 0 || module->order >= OrderTableSize) {
        return;
    }
    const int32_t slot = module->orderTable[module->order];
    if (slot >= module->patternSlotCount) {
        return;
    }
    const Pattern& pattern = module->patterns[slot];
    if (pattern.cells == nullptr || module->row < 0 || module->row >= pattern.rowCount) {
        return;
    }
    const PatternCell* row =
        pattern.cells + static_cast<size_t>(module->row) * module->channelCount;
    for (int32_t i = 0; i < tracedChannels(module); ++i) {
        if (row[i].note >= 1 && row[i].note <= 96) {
            trace.hadNote |= 1u << i;
        }
        if (row[i].instrument != 0) {
            trace.hadInstrument |= 1u << i;
        }
    }
}

void printTick(const Module* module, int32_t tick) {
    for (int32_t i = 0; i < tracedChannels(module); ++i) {
        const Channel& channel = channels[i];
        const Voice& voice = voices[i];
        const std::string note =
            (trace.hadNote & (1u << i)) != 0 ? noteName(channel.noteIndex) : "---";
        const std::string instrument = (trace.hadInstrument & (1u << i)) != 0
                                           ? std::to_string(channel.instrumentIndex + 1)
                                           : "--";
        std::printf("%3d %3d %3d %2d %s %3s %6d %5d %3d %4d %4d %3d %3d %6d %3d %3d %3d\n",
                    module->order, module->row, tick, i + 1, note.c_str(), instrument.c_str(),
                    channel.period, channel.periodDelta, channel.volume, channel.volumeDelta,
                    channel.panning, channel.volumeEnvelope.value, channel.panningEnvelope.value,
                    channel.fadeoutVolume, voice.volume, voice.volumeLeft, voice.volumeRight);
    }
}

// Stands in for the module's tick handler while tracing: runs the replayer's
// tick, then prints the tick's state.
void traceTick(Module* module) {
    const int32_t tick = module->tick; // the tick about to run; the driver moves it on
    trace.replayerTick(module);
    if (tick == 0) {
        noteRowCells(module);
    }
    if (trace.ticksLeft > 0) {
        printTick(module, tick);
        trace.ticksLeft -= 1;
    }
}

int runTraceCommand(const CommandArguments& arguments) {
    std::string input;
    long long ticks = -1;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--ticks") {
            if (i + 1 >= arguments.size()) {
                return reportUsageError("--ticks needs a value", traceCommand);
            }
            const std::string& value = arguments[++i];
            char* end = nullptr;
            errno = 0;
            ticks = std::strtoll(value.c_str(), &end, 10);
            if (errno != 0 || end == value.c_str() || *end != 0 || ticks < 1 || ticks > MostTicks) {
                return reportUsageError("--ticks needs a number from 1 to 100000000, got \"" +
                                            value + "\"",
                                        traceCommand);
            }
        } else if (!word.empty() && word[0] == '-') {
            return reportUsageError("unknown option \"" + word + "\"", traceCommand);
        } else if (input.empty()) {
            input = word;
        } else {
            return reportUsageError("more than one FILE", traceCommand);
        }
    }
    if (input.empty()) {
        return reportUsageError("no FILE given", traceCommand);
    }
    if (ticks < 0) {
        return reportUsageError("no tick count given (--ticks N)", traceCommand);
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
    trace = Trace{song->tickHandler, ticks, 0, 0};
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

} // namespace

const XmCommand traceCommand = {
    "trace",
    "trace FILE --ticks N",
    "print every channel after each tick",
    "Plays the first N ticks through the code live playback runs and prints, after\n"
    "each tick, one line per channel: order, row, tick, channel (from 1), note,\n"
    "instrument, period, period offset, volume, volume offset, panning, volume and\n"
    "panning envelope values, fadeout, the voice's volume and its left and right\n"
    "gains. A channel the pattern has not given a note yet shows --- and --.\n",
    "  --ticks N          ticks to trace, 1 to 100000000\n",
    false,
    "korvanthe-xm trace song.xm --ticks 12\n"
    "korvanthe-xm trace song.xm --ticks 600 | grep '^  3 '\n",
    runTraceCommand,
};

} // namespace korvanthe
