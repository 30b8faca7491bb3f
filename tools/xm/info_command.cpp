// korvanthe-xm info FILE [--json]: loads a song and prints what the player
// made of it and how long it plays, as text or as one JSON object keyed by
// the record field names.
#include <cstdio>
#include <string>

#include "module/module.h"
#include "tools/xm/commands.h"
#include "tools/xm/song_playback.h"

namespace korvanthe {

namespace {

// The duration is the length render finds at its default rate.
constexpr int32_t DurationRate = DefaultRate;

const char* loopTypeName(uint8_t loopType) {
    switch (loopType) {
    case LoopForward:
        return "forward";
    case LoopPingPong:
        return "ping-pong";
    default:
        return "none";
    }
}

// Stored names are bytes in no particular encoding: shown as printable ASCII
// with anything else replaced, and without trailing blanks.
std::string displayText(const char* text) {
    std::string shown;
    for (const char* c = text; *c != 0; ++c) {
        auto byte = static_cast<unsigned char>(*c);
        shown += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?';
    }
    while (!shown.empty() && shown.back() == ' ') {
        shown.pop_back();
    }
    return shown;
}

// A JSON string literal; bytes outside ASCII are taken as Latin-1.
std::string jsonString(const char* text) {
    std::string quoted = "\"";
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == ' ') {
        trimmed.pop_back();
    }
    for (char c : trimmed) {
        auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

uint8_t storedBits(const XmLoadReport& report, int instrument, int sample) {
    return report.storedSampleBits.at(static_cast<size_t>(instrument))
        .at(static_cast<size_t>(sample));
}

void printText(const std::string& path, const Module& module, const XmLoadReport& report,
               const SongLength& length) {
    std::printf("File: %s\n", path.c_str());
    std::printf("Name: %s\n", displayText(report.name).c_str());
    std::printf("Tracker: %s (format version %x.%02x)\n", displayText(report.trackerName).c_str(),
                report.version >> 8, report.version & 0xFF);
    std::printf("Layout: %s\n", xmLayoutText(report.layout));
    std::printf("Extensions: %s\n", xmExtensionsText(report).c_str());
    std::printf("Channels: %d\n", module.channelCount);
    std::printf("Song length: %d\n", module.songLength);
    std::printf("Restart position: %d\n", module.restartPosition);
    std::printf("Patterns: %u stored, %d used, %d slots\n", report.storedPatternCount,
                module.usedPatternCount, module.patternSlotCount);
    std::printf("Instruments: %d\n", module.instrumentCount);
    std::printf("Frequency table: %s\n",
                module.flags & ModuleLinearFrequencies ? "linear" : "Amiga");
    std::printf("Default speed: %d\n", module.defaultSpeed);
    std::printf("Default BPM: %d\n", module.defaultBpm);
    if (length.ended) {
        std::printf("Duration: %s (%lld frames at %d Hz)\n",
                    songTime(length.frames, DurationRate).c_str(),
                    static_cast<long long>(length.frames), DurationRate);
    } else {
        std::printf("Duration: no end found within %d minutes (the song plays on)\n",
                    LongestSongSeconds / 60);
    }
    if (report.truncated) {
        std::printf("Truncated: the file ends early; missing bytes read as zeros\n");
    }
    for (int i = 0; i < module.instrumentCount; ++i) {
        const Instrument& instrument = module.instruments[i];
        std::printf("Instrument %d: %d sample%s\n", i + 1, instrument.sampleCount,
                    instrument.sampleCount == 1 ? "" : "s");
        for (int j = 0; j < instrument.sampleCount; ++j) {
            const Sample& sample = *instrument.samples[j];
            std::printf("  Sample %d: length %u, loop start %u, loop length %u, loop %s, "
                        "%u-bit, volume %u, finetune %d, panning %d, relative note %d\n",
                        j, sample.length, sample.loopStart, sample.loopLength,
                        loopTypeName(sample.loopType), storedBits(report, i, j), sample.volume,
                        sample.finetune, sample.panning, sample.relativeNote);
        }
    }
}

void printJson(const std::string& path, const Module& module, const XmLoadReport& report,
               const SongLength& length) {
    std::printf("{\"file\": %s, \"name\": %s, \"trackerName\": %s, \"version\": %u, "
                "\"truncated\": %s,\n",
                jsonString(path.c_str()).c_str(), jsonString(report.name).c_str(),
                jsonString(report.trackerName).c_str(), report.version,
                report.truncated ? "true" : "false");
    std::printf(" \"layout\": %s, \"extensions\": %s,\n",
                jsonString(xmLayoutText(report.layout)).c_str(),
                jsonString(xmExtensionsText(report).c_str()).c_str());
    std::printf(" \"channelCount\": %d, \"songLength\": %d, \"restartPosition\": %d, "
                "\"storedPatternCount\": %u, \"usedPatternCount\": %d, \"patternSlotCount\": %d, "
                "\"instrumentCount\": %d, \"flags\": %u, \"defaultSpeed\": %d, "
                "\"defaultBpm\": %d,\n",
                module.channelCount, module.songLength, module.restartPosition,
                report.storedPatternCount, module.usedPatternCount, module.patternSlotCount,
                module.instrumentCount, module.flags, module.defaultSpeed, module.defaultBpm);
    // Without an end the song has no duration: null, and endFound false.
    if (length.ended) {
        std::printf(" \"endFound\": true, \"durationFrames\": %lld, \"durationRate\": %d, "
                    "\"durationSeconds\": %.3f,\n",
                    static_cast<long long>(length.frames), DurationRate,
                    static_cast<double>(length.frames) / DurationRate);
    } else {
        std::printf(" \"endFound\": false, \"durationFrames\": null, \"durationRate\": %d, "
                    "\"durationSeconds\": null,\n",
                    DurationRate);
    }
    std::printf(" \"instruments\": [");
    for (int i = 0; i < module.instrumentCount; ++i) {
        const Instrument& instrument = module.instruments[i];
        std::printf("%s\n  {\"sampleCount\": %d, \"samples\": [", i == 0 ? "" : ",",
                    instrument.sampleCount);
        for (int j = 0; j < instrument.sampleCount; ++j) {
            const Sample& sample = *instrument.samples[j];
            std::printf("%s\n   {\"length\": %u, \"loopStart\": %u, \"loopLength\": %u, "
                        "\"loopType\": %u, \"storedBitsPerSample\": %u, \"volume\": %u, "
                        "\"finetune\": %d, \"panning\": %d, \"relativeNote\": %d}",
                        j == 0 ? "" : ",", sample.length, sample.loopStart, sample.loopLength,
                        sample.loopType, storedBits(report, i, j), sample.volume, sample.finetune,
                        sample.panning, sample.relativeNote);
        }
        std::printf("]}");
    }
    std::printf("]}\n");
}

int runInfoCommand(const CommandArguments& arguments) {
    bool json = false;
    std::string path;
    int files = 0;
    for (const std::string& argument : arguments) {
        if (argument == "--json") {
            json = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return reportUsageError("unknown option \"" + argument + "\"", infoCommand);
        } else {
            path = argument;
            ++files;
        }
    }
    if (files != 1) {
        return reportUsageError(files == 0 ? "no FILE given" : "more than one FILE given",
                                infoCommand);
    }
    XmLoadReport report;
    std::string reason;
    Module* module = loadSongFile(path, report, reason);
    if (module == nullptr) {
        return reportFileError(path, reason);
    }
    const SongLength length = measureSong(module, PlaybackOptions{});
    if (length.frames < 0) {
        freeModule(module);
        return reportFileError(path, "cannot allocate the render buffers");
    }
    if (json) {
        printJson(path, *module, report, length);
    } else {
        printText(path, *module, report, length);
    }
    freeModule(module);
    return std::fflush(stdout) == 0 ? 0 : ExitFileError;
}

} // namespace

const XmCommand infoCommand = {
    "info",
    "info FILE [--json]",
    "the song, its samples and how long it plays",
    "Loads an XM file and prints what the player made of it: name, channels, song\n"
    "length, restart position, patterns, instruments, frequency table, default speed\n"
    "and BPM, the duration (the length render finds), and each sample.\n",
    "  --json             one JSON object keyed by the record field names\n",
    false,
    "korvanthe-xm info song.xm\n"
    "korvanthe-xm info --json song.xm\n",
    runInfoCommand,
};

} // namespace korvanthe
