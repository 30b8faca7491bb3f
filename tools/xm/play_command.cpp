// `korvanthe-xm play FILE`: plays a song live through the default device and
// keeps one terminal line up to date with the order, row and song time heard
// now, read from the block stamps as the demo reads them. Ends where the song
// ends (as `render` finds it), or on q, Escape or Ctrl-C.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>

#include "audio/block_streaming.h"
#include "audio/offline_render.h"
#include "audio/player.h"
#include "platform/clock.h"
#include "tools/xm/commands.h"

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

// Keys arrive one by one and unechoed while playing; restored on every exit.
class RawTerminal {
  public:
    RawTerminal() {
        if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved_) == 0) {
            termios raw = saved_;
            raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
            raw.c_cc[VMIN] = 0;
            raw.c_cc[VTIME] = 0;
            active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
        }
    }
    ~RawTerminal() {
        if (active_) {
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
        }
    }
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    // True when q or a lone Escape (not the start of an arrow key's
    // sequence) has been typed.
    bool quitKeyTyped() const {
        if (!active_) {
            return false;
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (poll(&input, 1, 0) <= 0) {
            return false;
        }
        char keys[16];
        const ssize_t count = read(STDIN_FILENO, keys, sizeof keys);
        for (ssize_t i = 0; i < count; ++i) {
            if (keys[i] == 'q' || keys[i] == 'Q' || (keys[i] == 27 && count == 1)) {
                return true;
            }
        }
        return false;
    }

  private:
    termios saved_{};
    bool active_ = false;
};

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
        RawTerminal terminal;
        BlockStamp shown{0, 0, -1};
        while (!interrupted && !terminal.quitKeyTyped()) {
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
