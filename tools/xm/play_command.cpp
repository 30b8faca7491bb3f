// korvanthe-xm play FILE [options]: plays a song live through the default
// device. On a terminal it keeps one line up to date with the order and row
// heard now, the time heard and whether it is paused or looping, and takes
// keys that move about in the song, every move exact (what sounds after it is
// what the song plays there from its start). Ends once the song's end has been
// heard (where `render` finds it), or on q, Escape or Ctrl-C.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "audio/block_streaming.h"
#include "audio/output_settings.h"
#include "audio/player.h"
#include "host/quit_request.h"
#include "platform/clock.h"
#include "tools/xm/commands.h"
#include "tools/xm/play_keys.h"
#include "tools/xm/playback_options.h"
#include "tools/xm/song_playback.h"

namespace korvanthe {

namespace {

// The status line is written anew on every poll, changed or not, so that a
// recording of the terminal shows when a row appeared (scripts/measure-sync.sh
// reads it). Well below the streaming thread's 5 ms: two loops of the same
// period keep their phase, and one that always looks just before the other
// moves on would show every row a whole poll late.
constexpr uint32_t PollMilliseconds = 2;

constexpr int64_t SkipSeconds = 5;

constexpr const char* KeysHelp = "keys: Space pause, Left/Right 5 s back/on, Page Up/Up and Page "
                                 "Down/Down the previous/next order,\n"
                                 "      Home the start, l loop the pattern (again: stop), a/b the "
                                 "loop's start/end here, q/Escape quit\n";

int usageError(const std::string& message) {
    return reportUsageError(message, playCommand);
}

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

// The song being played and what the keys have made of it.
struct Session {
    Module* song;
    const SongMap* map;
    int32_t rate;
    bool terminal;
    int64_t loopFrom = -1; // a: -1 until set
    int64_t loopTo = -1;   // b
    bool over = false;     // the end was reached by a move
};

// Song time as the status line shows it.
std::string timeOf(const Session& session, int64_t frame) {
    return songTime(frame, session.rate, SongTimeDigits::Tenths);
}

void moveTo(Session& session, int64_t frame) {
    if (frame >= session.map->endFrame) {
        session.over = true; // on past the end: the song is over
        return;
    }
    seekPlayback(session.song, std::max<int64_t>(frame, 0));
}

void loopBetween(Session& session, int64_t from, int64_t to) {
    if (to > from) {
        loopPlayback(session.song, from, to);
    }
}

// The order entry before the one playing at frame, as the song played them.
int64_t previousEntry(const SongMap& map, int64_t frame) {
    int64_t first = 0;
    int64_t end = 0;
    if (!orderStretchAt(map, frame, &first, &end) || first == 0) {
        return 0;
    }
    orderStretchAt(map, first - 1, &first, &end);
    return first;
}

void act(Session& session, PlayKey key, int64_t heard) {
    const SongMap& map = *session.map;
    const int64_t skip = int64_t{session.rate} * SkipSeconds;
    int64_t first = 0;
    int64_t end = 0;
    switch (key) {
    case PlayKey::Pause:
        pausePlayback(!playbackPaused());
        break;
    case PlayKey::Back:
        moveTo(session, heard - skip);
        break;
    case PlayKey::Forward:
        moveTo(session, heard + skip);
        break;
    case PlayKey::PreviousOrder:
        moveTo(session, previousEntry(map, heard));
        break;
    case PlayKey::NextOrder:
        if (orderStretchAt(map, heard, &first, &end)) {
            moveTo(session, end);
        }
        break;
    case PlayKey::Start:
        moveTo(session, 0);
        break;
    case PlayKey::LoopPattern:
        if (playbackLooping()) {
            stopLoopingPlayback();
            session.loopFrom = session.loopTo = -1;
        } else if (orderStretchAt(map, heard, &first, &end)) {
            session.loopFrom = first;
            session.loopTo = end;
            loopBetween(session, first, end);
        }
        break;
    case PlayKey::LoopFrom:
        session.loopFrom = heard;
        loopBetween(session, session.loopFrom, session.loopTo);
        break;
    case PlayKey::LoopTo:
        session.loopTo = heard;
        session.loopFrom = std::max<int64_t>(session.loopFrom, 0);
        loopBetween(session, session.loopFrom, session.loopTo);
        break;
    case PlayKey::Help:
        if (session.terminal) {
            std::printf("\n%s", KeysHelp);
        }
        break;
    case PlayKey::Quit:
    case PlayKey::None:
        break;
    }
}

// The line a person sees while the song plays.
void showStatus(const Session& session, const HeardPosition& heard, const std::string& total) {
    std::string state;
    int64_t from = 0;
    int64_t to = 0;
    if (playbackPaused()) {
        state += "  paused";
    }
    if (playbackLooping(&from, &to)) {
        state += "  looping " + timeOf(session, from) + "-" + timeOf(session, to);
    }
    std::printf("\rorder %3d  row %3d  %s / %s%s\033[K", heard.stamp.order, heard.stamp.row,
                timeOf(session, heard.songFrame).c_str(), total.c_str(), state.c_str());
    std::fflush(stdout);
}

// Plays the loaded song until it ends or is stopped.
void playUntilEnd(Session& session, int64_t startFrame) {
    const SongMap& map = *session.map;
    const std::string total = map.ended ? timeOf(session, map.endFrame) : "?";
    bool shown = false;
    {
        PlayKeys keys;
        if (keys.active() && session.terminal) {
            std::printf("%s", KeysHelp);
        }
        while (!quitRequested() && !session.over) {
            HeardPosition heard = heardPosition();
            if (!heard.known) {
                heard.songFrame = startFrame;
            }
            // Once the device plays the song's last frame, the song is over.
            if (map.ended && heard.known && !playbackLooping() &&
                heard.songFrame >= map.endFrame - 1) {
                break;
            }
            const PlayKey key = keys.next();
            if (key == PlayKey::Quit) {
                break;
            }
            if (key != PlayKey::None) {
                act(session, key, heard.songFrame);
            }
            if (session.terminal) {
                // The block that holds the song's last frames already says
                // where the song goes on after them.
                if (map.ended && heard.songFrame >= map.endFrame - outputSettings.blockFrames) {
                    heard.stamp = map.endStamp;
                }
                showStatus(session, heard, total);
                shown = true;
            }
            platformSleep(PollMilliseconds);
        }
    }
    if (shown) {
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
    installQuitSignalHandlers();
    // Mapped before the device opens (at the rate it will open at): where the
    // song ends, and where --start is; muted channels are part of the map.
    hookLivePlayback(song, playback);
    configureOutput(playback.sampleRate);
    const SongMap* map = mapPlayback(song, playback.repeats);
    int64_t startFrame = 0;
    const PositionRefusal refusal =
        map != nullptr ? songPositionFrame(*map, *song, playback.start, &startFrame)
                       : PositionRefusal::None;
    if (map == nullptr || refusal != PositionRefusal::None) {
        if (map != nullptr) {
            reportFileError(path, positionRefusalLine(*map, *song, playback, refusal));
        }
        unhookLivePlayback(song);
        freeModule(song);
        return map != nullptr ? ExitUsageError : reportFileError(path, "cannot map the song");
    }
    Session session{song, map, playback.sampleRate, isTerminal(stdout)};
    if (!openAudio(playback.sampleRate)) {
        unhookLivePlayback(song);
        freeModule(song);
        return reportFileError(path, "no audio device to play on");
    }
    seekPlayback(song, startFrame);
    if (!playModule(song)) {
        unhookLivePlayback(song);
        freeModule(song);
        closeAudio();
        return reportFileError(path, "the audio device did not start playing");
    }
    std::printf("%s: %d channels, %s at %d Hz\n", path.c_str(), song->channelCount,
                map->ended ? songTime(map->endFrame, playback.sampleRate).c_str()
                           : "no end found, plays until stopped",
                playback.sampleRate);
    std::fflush(stdout);
    playUntilEnd(session, startFrame);
    stopModule(song);
    unhookLivePlayback(song);
    freeModule(song);
    closeAudio();
    endWithQuitSignal();
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
    "the order and row heard now, the time heard and whether it is paused or looping,\n"
    "and keys move about in the song; every move is exact: what sounds after it is\n"
    "what the song plays there when played from its start.\n"
    "  Space               pause and go on\n"
    "  Left, Right         5 seconds back, 5 seconds on\n"
    "  Page Up, Up         the previous order entry (as the song played them)\n"
    "  Page Down, Down     the next order entry\n"
    "  Home                the start\n"
    "  l                   loop the pattern heard now; again: stop looping\n"
    "  a, b                the loop's start, the loop's end: here\n"
    "  h, ?                the keys\n"
    "  q, Escape           quit\n",
    "",
    true,
    "korvanthe-xm play song.xm\n"
    "korvanthe-xm play song.xm --start 8:16 --repeat 2\n"
    "korvanthe-xm play song.xm --start 1:23.5 --mute 2,4\n",
    runPlayCommand,
};

} // namespace korvanthe
