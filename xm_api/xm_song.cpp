// Loading, freeing and the facts of the interface's one song.
#include <climits>
#include <filesystem>
#include <system_error>

#include "audio/channel_silencing.h"
#include "audio/block_streaming.h"
#include "audio/offline_render.h"
#include "audio/output_settings.h"
#include "module/file_callbacks.h"
#include "xm_api/memory_reader.h"
#include "xm_api/song_record.h"

namespace korvanthe::xmapi {

korvanthe_xm_song liveSong{};

namespace {

static_assert(KORVANTHE_XM_ERROR_NO_FILE_CALLBACKS == int(LoadError::NoFileCallbacks) &&
                  KORVANTHE_XM_ERROR_NOT_XM == int(LoadError::NotXm) &&
                  KORVANTHE_XM_ERROR_OUT_OF_MEMORY == int(LoadError::OutOfMemory),
              "the loader's refusals keep their numbers in the interface");

int setError(int* error, int code) {
    if (error != nullptr) {
        *error = code;
    }
    return code;
}

korvanthe_xm_song* adopt(Module* module, const XmLoadReport& report, int* error) {
    if (module == nullptr) {
        setError(error, report.error == LoadError::None ? KORVANTHE_XM_ERROR_OUT_OF_MEMORY
                                                        : static_cast<int>(report.error));
        return nullptr;
    }
    liveSong.module = module;
    liveSong.report = report;
    setError(error, KORVANTHE_XM_OK);
    return &liveSong;
}

} // namespace

bool takePlace(const korvanthe_xm_place& place, SongPosition& position) {
    switch (place.kind) {
    case KORVANTHE_XM_PLACE_ORDER_ROW:
        if (place.order < 0 || place.order > 255 || place.row < 0 || place.row > 255) {
            return false;
        }
        position = SongPosition::orderRow(place.order, place.row);
        return true;
    case KORVANTHE_XM_PLACE_FRAME:
        if (place.value < 0) {
            return false;
        }
        position = SongPosition::frame(place.value);
        return true;
    case KORVANTHE_XM_PLACE_MILLISECONDS:
        // No later than the tools' times.
        if (place.value < 0 || place.value > LongestMilliseconds) {
            return false;
        }
        position = SongPosition::time(place.value);
        return true;
    default:
        return false;
    }
}

int refusalCode(PositionRefusal refusal) {
    switch (refusal) {
    case PositionRefusal::None:
        return KORVANTHE_XM_OK;
    case PositionRefusal::OrderPastSong:
        return KORVANTHE_XM_ERROR_ORDER_PAST_SONG;
    case PositionRefusal::RowPastPattern:
        return KORVANTHE_XM_ERROR_ROW_PAST_PATTERN;
    case PositionRefusal::RowNeverReached:
        return KORVANTHE_XM_ERROR_ROW_NEVER_REACHED;
    case PositionRefusal::PastSongEnd:
        return KORVANTHE_XM_ERROR_PAST_SONG_END;
    }
    return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
}

void recordDuration(int32_t sampleRate, int64_t frames, bool ended) {
    if (frames >= 0) {
        liveSong.measuredRate = sampleRate;
        liveSong.measuredFrames = frames;
        liveSong.measuredEnded = ended;
    }
}

} // namespace korvanthe::xmapi

using namespace korvanthe;
using namespace korvanthe::xmapi;

extern "C" {

const char* korvanthe_xm_version(void) {
    return KORVANTHE_VERSION;
}

const char* korvanthe_xm_error_text(int error) {
    if (error >= 0 && error <= static_cast<int>(LoadError::OutOfMemory)) {
        return error == 0 ? "no error" : loadErrorText(static_cast<LoadError>(error));
    }
    switch (error) {
    case KORVANTHE_XM_ERROR_NO_SUCH_FILE:
        return "no such file";
    case KORVANTHE_XM_ERROR_IS_DIRECTORY:
        return "is a directory";
    case KORVANTHE_XM_ERROR_SONG_LIVE:
        return "another song is loaded (free it first)";
    case KORVANTHE_XM_ERROR_BAD_ARGUMENT:
        return "a null pointer or a value out of range";
    case KORVANTHE_XM_ERROR_BUSY:
        return "not while the song renders or plays";
    case KORVANTHE_XM_ERROR_NOT_RENDERING:
        return "no render runs";
    case KORVANTHE_XM_ERROR_NOT_PLAYING:
        return "the song does not play";
    case KORVANTHE_XM_ERROR_NO_DEVICE:
        return "no audio device to play on";
    case KORVANTHE_XM_ERROR_ORDER_PAST_SONG:
        return "the order entry is not in the song";
    case KORVANTHE_XM_ERROR_ROW_PAST_PATTERN:
        return "the pattern of that order entry has no such row";
    case KORVANTHE_XM_ERROR_ROW_NEVER_REACHED:
        return "playing from its start, the song never reaches that row";
    case KORVANTHE_XM_ERROR_PAST_SONG_END:
        return "at or beyond the song's end";
    default:
        return "unknown error";
    }
}

korvanthe_xm_song* korvanthe_xm_load_file(const char* path, int* error) {
    if (path == nullptr) {
        setError(error, KORVANTHE_XM_ERROR_BAD_ARGUMENT);
        return nullptr;
    }
    if (liveSong.module != nullptr) {
        setError(error, KORVANTHE_XM_ERROR_SONG_LIVE);
        return nullptr;
    }
    // The reasons `info` gives before the loader is asked.
    std::error_code failure;
    const std::filesystem::file_status status = std::filesystem::status(path, failure);
    if (!std::filesystem::exists(status)) {
        setError(error, KORVANTHE_XM_ERROR_NO_SUCH_FILE);
        return nullptr;
    }
    if (std::filesystem::is_directory(status)) {
        setError(error, KORVANTHE_XM_ERROR_IS_DIRECTORY);
        return nullptr;
    }
    useStandardFileCallbacks();
    XmLoadReport report;
    Module* module = createModule(path, &report);
    return adopt(module, report, error);
}

korvanthe_xm_song* korvanthe_xm_load_memory(const void* data, size_t size, int* error) {
    if ((data == nullptr && size != 0) || size > INT32_MAX) {
        setError(error, KORVANTHE_XM_ERROR_BAD_ARGUMENT);
        return nullptr;
    }
    if (liveSong.module != nullptr) {
        setError(error, KORVANTHE_XM_ERROR_SONG_LIVE);
        return nullptr;
    }
    XmLoadReport report;
    Module* module = loadModuleFromMemory(data, size, &report);
    return adopt(module, report, error);
}

void korvanthe_xm_free(korvanthe_xm_song* song) {
    if (!isLive(song)) {
        return;
    }
    if (song->state == korvanthe_xm_song::State::Rendering) {
        endRender();
    } else if (song->state == korvanthe_xm_song::State::Playing) {
        endPlayback();
    }
    unsilenceChannels(song->module);
    freeModule(song->module);
    liveSong.module = nullptr;
    liveSong.report = XmLoadReport{};
    liveSong.state = korvanthe_xm_song::State::Idle;
    liveSong.silenced = 0;
    liveSong.measuredRate = 0;
    liveSong.playRate = 0;
    liveSong.hasStart = false;
    std::vector<int16_t>().swap(liveSong.block);
    liveSong.blockFrames = nullptr;
    liveSong.blockFramesLeft = 0;
}

int korvanthe_xm_get_info(const korvanthe_xm_song* song, korvanthe_xm_info* info) {
    if (!isLive(song) || info == nullptr) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    const Module& module = *song->module;
    *info = korvanthe_xm_info{};
    static_assert(sizeof info->name == sizeof song->report.name, "names as stored");
    for (size_t i = 0; i + 1 < sizeof info->name; ++i) {
        info->name[i] = song->report.name[i];
        info->tracker_name[i] = song->report.trackerName[i];
    }
    info->channels = module.channelCount;
    info->orders = module.songLength;
    info->restart_order = module.restartPosition;
    info->patterns = song->report.storedPatternCount;
    info->instruments = module.instrumentCount;
    info->format_version = song->report.version;
    info->initial_speed = module.defaultSpeed;
    info->initial_bpm = module.defaultBpm;
    return KORVANTHE_XM_OK;
}

int64_t korvanthe_xm_duration_frames(korvanthe_xm_song* song, int32_t sample_rate, int* ended) {
    if (!isLive(song) || !rateFits(sample_rate)) {
        return -1;
    }
    if (song->measuredRate != sample_rate) {
        // The measure replays the song on the renderer and sets the output
        // geometry: not while either is in use.
        if (song->state != korvanthe_xm_song::State::Idle) {
            return -1;
        }
        const SongLength length = measureSongLength(song->module, sample_rate, 1);
        if (length.frames < 0) {
            return -1;
        }
        recordDuration(sample_rate, length.frames, length.ended);
    }
    if (ended != nullptr) {
        *ended = song->measuredEnded ? 1 : 0;
    }
    return song->measuredFrames;
}

int64_t korvanthe_xm_duration_ms(korvanthe_xm_song* song, int32_t sample_rate) {
    const int64_t frames = korvanthe_xm_duration_frames(song, sample_rate, nullptr);
    return frames < 0 ? -1 : frames * 1000 / sample_rate;
}

int korvanthe_xm_set_channels(korvanthe_xm_song* song, uint32_t muted, uint32_t solo) {
    if (!isLive(song)) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    if (song->state != korvanthe_xm_song::State::Idle) {
        return KORVANTHE_XM_ERROR_BUSY;
    }
    const int32_t channels = song->module->channelCount;
    const uint32_t present = channels >= 32 ? ~0u : (1u << channels) - 1;
    if ((muted & ~present) != 0 || (solo & ~present) != 0) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    const uint32_t silenced = muted | (solo != 0 ? ~solo & present : 0u);
    if (silenced != song->silenced) {
        // A map of the song keeps its replay states, silenced voices and all:
        // one made with other channels silenced no longer holds.
        forgetModule(song->module);
        song->hasStart = false;
        song->silenced = silenced;
    }
    return KORVANTHE_XM_OK;
}

int32_t korvanthe_xm_block_frames(int32_t sample_rate) {
    return rateFits(sample_rate) ? blockFramesAt(sample_rate) : 0;
}

} // extern "C"
