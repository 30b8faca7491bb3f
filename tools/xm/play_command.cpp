// `korvanthe-xm play FILE`: plays a song live through the default device and
// keeps one terminal line up to date with the order, row and song time heard
// now, read from the block stamps as the demo reads them. Ends where the song
// ends (as `render` finds it), or on q, Escape or Ctrl-C.
#include <csignal>
#include <cstdint>
#include <cstdio>

#include "audio/block_streaming.h"
#include "audio/offline_render.h"
#include "audio/player.h"
#include "platform/clock.h"
#include "tools/xm/commands.h"
#include "tools/xm/quit_keys.h"

namespace korvanthe {

namespace {

constexpr int32_t PlayRate = 44100;
constexpr uint32_t PollMilliseconds = 10;
// A song whose end is not found within an hour plays until it is stopped.
constexpr int64_t LongestSongFrames = int64_t{PlayRate} * 3600;

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) {
    interrupted = 1;
}

// The stamp of the song's last block that holds song frames, found by
// rendering the song offline; -1 when no end is found within the limit.
int32_t findSongEndMs(Module* song) {
    if (!startOfflineRender(song, PlayRate, true)) {
        return -1;
    }
    int32_t lastMs = -1;
    int64_t frames = 0;
    OfflineBlock block{};
    while (frames < LongestSongFrames && renderOfflineBlock(&block)) {
        lastMs = block.stamp.elapsedMs;
        frames += block.frames;
    }
    const bool ended = offlineSongEnded();
    stopOfflineRender();
    return ended ? lastMs : -1;
}

void showPosition(const BlockStamp& stamp) {
    const int32_t ms = stamp.elapsedMs;
    std::printf("\rorder %3d  row %3d  %d:%02d.%02d ", stamp.order, stamp.row, ms / 60000,
                ms / 1000 % 60, ms / 10 % 100);
    std::fflush(stdout);
}

} // namespace

int runPlayCommand(const CommandArguments& arguments) {
    constexpr const char* usage = "play FILE";
    if (arguments.size() != 1) {
        return reportUsageError("play takes one file", usage);
    }
    const std::string& path = arguments[0];
    XmLoadReport report;
    std::string reason;
    Module* song = loadSongFile(path, report, reason);
    if (song == nullptr) {
        return reportFileError(path, reason);
    }
    const int32_t songEndMs = findSongEndMs(song);
    if (!openAudio(PlayRate)) {
        freeModule(song);
        return reportFileError(path, "no audio device to play on");
    }
    if (!playModule(song)) {
        freeModule(song);
        closeAudio();
        return reportFileError(path, "the audio device did not start playing");
    }

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    {
        QuitKeys keys;
        BlockStamp shown{0, 0, -1};
        while (!interrupted && !keys.quitKeyTyped()) {
            const BlockStamp heard = audibleStamp(song);
            // The block after the song's last one sounds: the song is over.
            if (songEndMs >= 0 && heard.elapsedMs > songEndMs) {
                break;
            }
            if (heard.elapsedMs != shown.elapsedMs) {
                showPosition(heard);
                shown = heard;
            }
            platformSleep(PollMilliseconds);
        }
    }
    std::printf("\n");
    freeModule(song);
    closeAudio();
    return 0;
}

} // namespace korvanthe
