#include "host/author_mode.h"

#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <span>
#include <system_error>
#include <vector>

#include "audio/output_settings.h"
#include "audio/player.h"
#include "host/images.h"
#include "host/main_sequence.h"
#include "host/textures.h"
#include "host/window.h"
#include "module/xm_loader.h"
#include "platform/clock.h"
#include "timeline/script_reader.h"
#include "timeline/script_table.h"
#include "timeline/song_timeline.h"

#if defined(_WIN32)
#include <io.h>
#define korvanthe_isatty _isatty
#define korvanthe_fileno _fileno
#else
#include <unistd.h>
#define korvanthe_isatty isatty
#define korvanthe_fileno fileno
#endif

namespace korvanthe {

namespace {

namespace fs = std::filesystem;

// Virtual-key codes of the keys author mode takes (Space and Escape keep
// their meaning: fullscreen and quit).
constexpr int KeyEnter = 13;
constexpr int KeyPageUp = 0x21;
constexpr int KeyPageDown = 0x22;
constexpr int KeyHome = 0x24;
constexpr int KeyLeft = 37;
constexpr int KeyUp = 38;
constexpr int KeyRight = 39;
constexpr int KeyDown = 40;

constexpr int64_t SkipSeconds = 5;
// The files are looked at this often.
constexpr uint32_t WatchMilliseconds = 250;
// Keys typed this soon after a move count from where it went, not from what
// is still heard (the device plays out what it holds first).
constexpr uint32_t MoveSettleMilliseconds = 400;

constexpr const char* KeysHelp =
    "  P, Enter          pause and go on (the sound and every effect's clock)\n"
    "  Left, Right       one row back, one row on\n"
    "  Up, Down          the previous, the next order entry (as the song plays them)\n"
    "  Page Up, Down     5 seconds back, 5 seconds on\n"
    "  Home              back to the start\n"
    "  L                 loop the pattern heard now; again: stop looping\n"
    "  A, B              the loop's start, its end: here (it runs once both are set)\n"
    "  R                 read the song, the script and the pictures again now\n"
    "  C                 print the position heard, as a script line begins (12:32)\n"
    "  H                 print these keys\n"
    "  Space             fullscreen and back\n"
    "  Escape            quit\n";

struct WatchedFile {
    std::string path;
    bool exists = false;
    fs::file_time_type time{};
    uintmax_t size = 0;
};

// What the file is now; true when that differs from what was seen before.
bool changed(WatchedFile& file) {
    std::error_code error;
    const bool exists = fs::is_regular_file(file.path, error);
    const fs::file_time_type time = exists ? fs::last_write_time(file.path, error) : fs::file_time_type{};
    const uintmax_t size = exists ? fs::file_size(file.path, error) : 0;
    const bool differs = exists != file.exists || time != file.time || size != file.size;
    file.exists = exists;
    file.time = time;
    file.size = size;
    return differs;
}

struct AuthorState {
    AuthorSettings settings;
    bool running = false;
    DemoFilePaths paths;
    WatchedFile song;
    WatchedFile script;
    std::array<WatchedFile, PictureFiles.size()> pictures;
    uint32_t lastWatch = 0;
    bool terminal = false;
    std::string title;
    std::string status;
    int64_t startFrame = 0;
    int64_t loopFrom = -1; // A: -1 until set
    int64_t loopTo = -1;   // B
    int64_t moveTarget = -1; // the frame the last move went to
    uint32_t moveTime = 0;
};

AuthorState author;

const SongMap* map() {
    return playerSongMap();
}

int64_t heardFrame() {
    const HeardPosition heard = playerHeardPosition();
    return heard.known ? heard.songFrame : author.startFrame;
}

// Where a move counts from: the frame heard, or where the last move went
// when it has only just been made.
int64_t moveBase() {
    if (author.moveTarget >= 0 && platformMilliseconds() - author.moveTime < MoveSettleMilliseconds) {
        return author.moveTarget;
    }
    return heardFrame();
}

int64_t sampleRate() {
    return map() != nullptr ? map()->sampleRate : 44100;
}

void moveTo(int64_t frame) {
    if (map() == nullptr || frame >= map()->endFrame) {
        return; // past the end there is nothing to move to
    }
    frame = std::max<int64_t>(frame, 0);
    if (playerSeek(SongPosition::frame(frame)) == PositionRefusal::None) {
        author.moveTarget = frame;
        author.moveTime = platformMilliseconds();
    }
}

// The order entry before the one playing at frame, as the song played them.
int64_t previousEntry(int64_t frame) {
    int64_t first = 0;
    int64_t end = 0;
    if (!orderStretchAt(*map(), frame, &first, &end) || first == 0) {
        return 0;
    }
    orderStretchAt(*map(), first - 1, &first, &end);
    return first;
}

void loopBetween(int64_t from, int64_t to) {
    if (from >= 0 && to > from) {
        playerLoop(SongPosition::frame(from), SongPosition::frame(to));
    }
}

std::string timeText(int64_t frame) {
    const int64_t tenths = frame * 10 / sampleRate();
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(tenths / 600),
                  static_cast<long long>(tenths / 10 % 60), static_cast<long long>(tenths % 10));
    return text;
}

void reloadScript() {
    static ScriptTable fresh; // 260 entries: kept off the stack
    std::vector<std::string> warnings;
    if (!readScript(author.paths.script.c_str(), fresh, warnings)) {
        for (const std::string& line : warnings) {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
        std::fprintf(stderr, "korvanthe: %s: the last good timeline stays\n",
                     author.paths.script.c_str());
        return;
    }
    scriptTable = fresh;
    // Rebuilt at the song frame heard: the next frame replays the song's
    // positions up to there with the new entries.
    restartSongTimeline();
    std::printf("\nkorvanthe: %s read again: %d entries\n", author.paths.script.c_str(),
                scriptTable.count);
    std::fflush(stdout);
}

void reloadPicture(size_t index) {
    const PictureFile& picture = PictureFiles[index];
    const std::string& path = author.paths.pictures[index];
    const std::string mismatch = pictureFileMismatch(
        path.c_str(), picture.reader == PictureReader::Targa, picture.width, picture.height);
    if (!mismatch.empty()) {
        std::fprintf(stderr, "korvanthe: %s: %s; the last good picture stays\n", path.c_str(),
                     mismatch.c_str());
        return;
    }
    const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    std::unique_ptr<uint32_t[]> pixels(new (std::nothrow) uint32_t[count]());
    if (!pixels) {
        return;
    }
    const std::span<uint32_t> view(pixels.get(), count);
    const bool read = picture.reader == PictureReader::Targa
                          ? readTarga(path.c_str(), view)
                          : readRawRGB(path.c_str(), view, picture.width, picture.height);
    if (!read) {
        std::fprintf(stderr, "korvanthe: %s: cannot be read; the last good picture stays\n",
                     path.c_str());
        return;
    }
    setPicture(picture.slot, view, picture.width, picture.height);
    std::printf("\nkorvanthe: %s read again\n", path.c_str());
    std::fflush(stdout);
}

// Maps the loaded song and starts the timeline on it.
bool followLoadedSong() {
    Module* song = loadedModule();
    if (song == nullptr) {
        startSongTimeline({}, outputSettings.blockFrames, outputSettings.sampleRate);
        return false;
    }
    if (playerSeek(SongPosition::frame(0)) != PositionRefusal::None || map() == nullptr) {
        return false;
    }
    std::vector<SongBlockPosition> positions;
    positions.reserve(map()->blockStamps.size());
    for (const BlockStamp& stamp : map()->blockStamps) {
        positions.push_back({stamp.order, stamp.row});
    }
    startSongTimeline(std::move(positions), outputSettings.blockFrames, map()->sampleRate);
    return true;
}

void reloadSong() {
    const std::string& path = author.paths.song;
    XmLoadReport report;
    Module* trial = createModule(path.c_str(), &report);
    if (trial == nullptr) {
        std::fprintf(stderr, "korvanthe: %s: %s; the last good song plays on\n", path.c_str(),
                     loadErrorText(report.error));
        return;
    }
    freeModule(trial);
    // The position heard stays, when the new song has it.
    const HeardPosition heard = playerHeardPosition();
    const bool paused = playerPaused();
    playerLoad(path.c_str());
    followLoadedSong();
    author.loopFrom = author.loopTo = -1;
    if (heard.known &&
        playerSeek(SongPosition::orderRow(heard.stamp.order, heard.stamp.row)) != PositionRefusal::None) {
        playerSeek(SongPosition::frame(0));
    }
    playerPlay();
    playerPause(paused);
    std::printf("\nkorvanthe: %s read again\n", path.c_str());
    std::fflush(stdout);
}

void watchFiles(bool now) {
    const uint32_t clock = platformMilliseconds();
    if (!now && clock - author.lastWatch < WatchMilliseconds) {
        return;
    }
    author.lastWatch = clock;
    if (changed(author.song) || now) {
        reloadSong();
    }
    if (changed(author.script) || now) {
        reloadScript();
    }
    for (size_t i = 0; i < author.pictures.size(); ++i) {
        if (changed(author.pictures[i]) || now) {
            reloadPicture(i);
        }
    }
}

void printPosition() {
    const HeardPosition heard = playerHeardPosition();
    std::printf("\n%d:%d\n", heard.stamp.order, heard.stamp.row);
    std::fflush(stdout);
}

void act(int key) {
    if (map() == nullptr && key != 'R' && key != 'H' && key != 'C') {
        return; // without a song there is nowhere to move
    }
    const int64_t base = key == 'A' || key == 'B' ? heardFrame() : moveBase();
    const int64_t skip = sampleRate() * SkipSeconds;
    int64_t first = 0;
    int64_t end = 0;
    switch (key) {
    case 'P':
    case KeyEnter:
        playerPause(!playerPaused());
        break;
    case KeyLeft: {
        const RowNeighbours rows = rowsAround(*map(), base);
        moveTo(rows.previous >= 0 ? rows.previous : 0);
        break;
    }
    case KeyRight:
        moveTo(rowsAround(*map(), base).next);
        break;
    case KeyUp:
        moveTo(previousEntry(base));
        break;
    case KeyDown:
        if (orderStretchAt(*map(), base, &first, &end)) {
            moveTo(end);
        }
        break;
    case KeyPageUp:
        moveTo(base - skip);
        break;
    case KeyPageDown:
        moveTo(base + skip);
        break;
    case KeyHome:
        moveTo(0);
        break;
    case 'L':
        if (playerLooping()) {
            playerStopLooping();
            author.loopFrom = author.loopTo = -1;
        } else if (orderStretchAt(*map(), base, &first, &end)) {
            author.loopFrom = first;
            author.loopTo = end;
            loopBetween(first, end);
        }
        break;
    case 'A':
        author.loopFrom = base;
        loopBetween(author.loopFrom, author.loopTo);
        break;
    case 'B':
        author.loopTo = base;
        author.loopFrom = std::max<int64_t>(author.loopFrom, 0);
        loopBetween(author.loopFrom, author.loopTo);
        break;
    case 'R':
        watchFiles(true);
        break;
    case 'C':
        printPosition();
        break;
    case 'H':
        std::printf("\n%s", KeysHelp);
        std::fflush(stdout);
        break;
    default:
        break;
    }
}

void takeKeys() {
    static constexpr int Keys[] = {'P', KeyEnter, KeyLeft, KeyRight, KeyUp, KeyDown, KeyPageUp,
                                   KeyPageDown, KeyHome, 'L', 'A', 'B', 'R', 'C', 'H'};
    for (const int key : Keys) {
        if (windowState.keyDown[key]) {
            // Taken once; a held key comes back with each repeat.
            windowState.keyDown[key] = false;
            act(key);
        }
    }
}

void showWhere(int64_t frame) {
    const HeardPosition heard = playerHeardPosition();
    std::string where = std::to_string(heard.stamp.order) + ":" + std::to_string(heard.stamp.row) +
                        " " + timeText(frame);
    if (playerPaused()) {
        where += " paused";
    }
    int64_t from = 0;
    int64_t to = 0;
    if (playerLooping(&from, &to)) {
        where += " looping " + timeText(from) + "-" + timeText(to);
    }
    const std::string title = std::string(displayTitle) + " - " + where;
    if (title != author.title) {
        author.title = title;
        platformSetWindowTitle(title.c_str());
    }
    if (author.terminal && where != author.status) {
        author.status = where;
        std::printf("\r%s\033[K", where.c_str());
        std::fflush(stdout);
    }
}

} // namespace

void setAuthorSettings(const AuthorSettings& settings) {
    author.settings = settings;
}

const AuthorSettings& authorSettings() {
    return author.settings;
}

const char* authorKeysHelp() {
    return KeysHelp;
}

bool startAuthorMode(const DemoFilePaths& paths) {
    author.running = true;
    author.paths = paths;
    author.song.path = paths.song;
    author.script.path = paths.script;
    for (size_t i = 0; i < author.pictures.size(); ++i) {
        author.pictures[i].path = paths.pictures[i];
    }
    // What the files are now, so that only later changes count.
    changed(author.song);
    changed(author.script);
    for (WatchedFile& picture : author.pictures) {
        changed(picture);
    }
    author.lastWatch = platformMilliseconds();
    author.terminal = !author.settings.onPage && korvanthe_isatty(korvanthe_fileno(stdout)) != 0;
    author.startFrame = 0;
    if (!followLoadedSong()) {
        return true; // no song: the timeline stays at its start
    }
    if (author.settings.hasStart) {
        const PositionRefusal refusal = playerSeek(author.settings.start);
        if (refusal != PositionRefusal::None) {
            std::fprintf(stderr, "korvanthe: %s: %s %s: %s\n", paths.song.c_str(),
                         author.settings.onPage ? "start" : "--author start",
                         describeSongPosition(author.settings.start).c_str(),
                         describePositionRefusal(*map(), *loadedModule(), author.settings.start,
                                                 refusal)
                             .c_str());
            return false;
        }
        int64_t frame = 0;
        songPositionFrame(*map(), *loadedModule(), author.settings.start, &frame);
        author.startFrame = frame;
    }
    return true;
}

void authorFrame() {
    takeKeys();
    if (!author.settings.onPage) {
        watchFiles(false);
    }
    const HeardPosition heard = playerHeardPosition();
    const int64_t frame = heard.known ? heard.songFrame : author.startFrame;
    followSong(frame, heard.stamp.order, heard.stamp.row);
    drawSongFrame(frame);
    showWhere(frame);
}

void stopAuthorMode() {
    if (author.running && author.terminal && !author.status.empty()) {
        std::printf("\n");
    }
    const AuthorSettings settings = author.settings;
    author = AuthorState{};
    author.settings = settings;
}

std::string authorTitle() {
    return author.title;
}

} // namespace korvanthe
