// korvanthe-xm play FILE [options]: plays a song live through the default
// device. On a terminal it keeps one line up to date with the order and row
// heard now (the block stamps, as the demo reads them) and the time heard
// (the frames the device has played, less its output latency where it can
// tell it). Ends once the song's end has been heard (where `render` finds
// it), or on q, Escape or Ctrl-C.
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

#include "audio/block_streaming.h"
#include "audio/player.h"
#include "platform/audio_output.h"
#include "platform/clock.h"
#include "tools/xm/commands.h"
#include "tools/xm/playback_options.h"
#include "tools/xm/quit_keys.h"
#include "tools/xm/song_playback.h"

namespace korvanthe {

namespace {

// The status line is written anew on every poll, changed or not, so that a
// recording of the terminal shows when a row appeared (scripts/measure-sync.sh
// reads it). Well below the streaming thread's 5 ms: two loops of the same
// period keep their phase, and one that always looks just before the other
// moves on would show every row a whole poll late.
constexpr uint32_t PollMilliseconds = 2;

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

int usageError(const std::string& message) {
    return reportUsageError(message, playCommand);
}

// Frames the device has played since the song started, as far as heard. The stamps' song
// time would do as well were it not summed from whole milliseconds per mixer
// run, which falls behind the sound by up to a few percent.
int64_t framesPlayed() {
    uint64_t bytes = 0;
    return audioPlayPositionBytes(&bytes) ? static_cast<int64_t>(bytes / 4) : 0;
}

// The line a person sees while the song plays.
struct StatusLine {
    bool shown = false;

    void update(const BlockStamp& heard, int64_t frames, int32_t rate, const std::string& total) {
        const std::string time = songTime(frames, rate, SongTimeDigits::Tenths);
        std::printf("\rorder %3d  row %3d  %s / %s ", heard.order, heard.row, time.c_str(),
                    total.c_str());
        std::fflush(stdout);
        shown = true;
    }
};

struct PlayOptions {
    std::string input;
    PlaybackOptions playback;
};

int parsePlayArguments(const CommandArguments& arguments, PlayOptions& options) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (const int taken = takePlaybackOption(arguments, i, options.playback, playCommand);
            taken >= 0) {
            if (taken != 0) {
                return taken;
            }
        } else if (word.size() > 1 && word[0] == '-') {
            return usageError("unknown option \"" + word + "\"");
        } else if (options.input.empty()) {
            options.input = word;
        } else {
            return usageError("play takes one FILE");
        }
    }
    return options.input.empty() ? usageError("no FILE given") : 0;
}

// Plays the loaded song until it ends or is stopped.
void playUntilEnd(Module* song, const SongLength& length, int32_t rate) {
    const bool terminal = isTerminal(stdout);
    const std::string total =
        length.ended ? songTime(length.frames, rate, SongTimeDigits::Tenths) : "?";
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    StatusLine status;
    {
        QuitKeys keys;
        while (!interrupted && !keys.quitKeyTyped()) {
            const int64_t played = framesPlayed();
            // Once the device has taken the song's last frame, the song is over.
            if (length.ended && played >= length.frames) {
                break;
            }
            if (terminal) {
                BlockStamp heard = audibleStamp(song);
                // The block that holds the song's last frames already says
                // where the song goes on after them.
                if (length.ended && heard.elapsedMs > length.lastStamp.elapsedMs) {
                    heard = length.lastStamp;
                }
                status.update(heard, played, rate, total);
            }
            platformSleep(PollMilliseconds);
        }
    }
    if (status.shown) {
        std::printf("\n");
    }
}

int runPlayCommand(const CommandArguments& arguments) {
    PlayOptions options;
    if (const int usage = parsePlayArguments(arguments, options); usage != 0) {
        return usage;
    }
    const std::string& path = options.input;
    const PlaybackOptions& playback = options.playback;
    XmLoadReport report;
    std::string reason;
    Module* song = loadSongFile(path, report, reason);
    if (song == nullptr) {
        return reportFileError(path, reason);
    }
    if (!playbackOptionsFit(*song, playback, reason)) {
        freeModule(song);
        return reportFileError(path, reason);
    }
    // Rendered once before the sound starts, to know where it ends.
    SongLength length{};
    if (!measureSongFile(path, playback, length, reason)) {
        freeModule(song);
        return reportFileError(path, reason);
    }
    if (!openAudio(playback.sampleRate)) {
        freeModule(song);
        return reportFileError(path, "no audio device to play on");
    }
    hookLivePlayback(song, playback);
    if (!playModule(song)) {
        unhookLivePlayback(song);
        freeModule(song);
        closeAudio();
        return reportFileError(path, "the audio device did not start playing");
    }
    std::printf("%s: %d channels, %s at %d Hz\n", path.c_str(), song->channelCount,
                length.ended ? songTime(length.frames, playback.sampleRate).c_str()
                             : "no end found, plays until stopped",
                playback.sampleRate);
    std::fflush(stdout);
    playUntilEnd(song, length, playback.sampleRate);
    stopModule(song);
    unhookLivePlayback(song);
    freeModule(song);
    closeAudio();
    return 0;
}

} // namespace

const XmCommand playCommand = {
    "play",
    "play FILE [options]",
    "play through the default audio device",
    "Plays the song live through the default audio device (SDL_AUDIODRIVER=disk\n"
    "SDL_DISKAUDIOFILE=OUT.raw writes the raw sound to a file instead) until it ends\n"
    "as render finds it, or q, Escape or Ctrl-C stop it. On a terminal one line shows\n"
    "the order and row heard now and the time heard.\n",
    "",
    true,
    "korvanthe-xm play song.xm\n"
    "korvanthe-xm play song.xm --start 8 --repeat 2\n"
    "korvanthe-xm play song.xm --mute 2,4\n",
    runPlayCommand,
};

} // namespace korvanthe
