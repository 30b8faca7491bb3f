/* korvanthe/xm.h: Korvanthe's XM module player for other programs.
 *
 * Load an XM song (from a file or from memory), read its facts, render it
 * into your own buffer as 16-bit stereo PCM with the song position of every
 * block, or play it through the default sound device and ask which order,
 * row and time the listener hears now.
 *
 * One song at a time. The player keeps its song, its channels and its voices
 * in static storage, so there is at most one live song in a process: a load
 * while a song is live is refused (KORVANTHE_XM_ERROR_SONG_LIVE) and the live
 * song is left exactly as it was, playing on if it plays. Free it first.
 *
 * Threads. No call is safe to make while another call runs. Make them all
 * from one thread, or guard them with one lock of your own (an audio callback
 * that calls korvanthe_xm_render is fine while every other call takes the
 * same lock, e.g. SDL_LockAudioDevice). During korvanthe_xm_play the player
 * runs a streaming thread of its own; that changes nothing for the caller.
 *
 * Units. A frame is one stereo sample pair (left first, 16-bit signed,
 * native byte order). Song time is in milliseconds of song, as the player
 * counts it (its elapsed time after a block), frames are counted from the
 * song's start at the rate in use. Orders and rows count from 0.
 *
 * Bad input. Every call takes a null song, null pointers where a pointer is
 * required, and values out of range without harm and says so in its result
 * (KORVANTHE_XM_ERROR_BAD_ARGUMENT, -1 or 0 as each says). Files the loader
 * refuses give a reason code and its text; no input makes the player crash,
 * hang or read outside its buffers.
 *
 * Plain C99; usable from C++ (the declarations are extern "C").
 */
#ifndef KORVANTHE_XM_H
#define KORVANTHE_XM_H

#include <stddef.h>
#include <stdint.h>

#if defined(KORVANTHE_XM_BUILDING) && defined(__GNUC__)
#define KORVANTHE_XM_API __attribute__((visibility("default")))
#else
#define KORVANTHE_XM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The version of this header: "MAJOR.MINOR.PATCH", and as numbers. Compare
 * with korvanthe_xm_version() to see which library a program runs with. */
#define KORVANTHE_XM_VERSION "1.0.0"
#define KORVANTHE_XM_VERSION_MAJOR 1
#define KORVANTHE_XM_VERSION_MINOR 0
#define KORVANTHE_XM_VERSION_PATCH 0

/* The library's version text, "1.0.0": a static string, never null. */
KORVANTHE_XM_API const char* korvanthe_xm_version(void);

/* Reason codes. 0 is success. 1 to 12 are the loader's refusals, the same
 * reasons `korvanthe-xm info` prints; 100 on are this interface's own. */
typedef enum korvanthe_xm_error {
    KORVANTHE_XM_OK = 0,
    KORVANTHE_XM_ERROR_NO_FILE_CALLBACKS = 1,   /* the player's own; not met through this interface */
    KORVANTHE_XM_ERROR_FILE_NOT_OPENED = 2,     /* the file cannot be opened */
    KORVANTHE_XM_ERROR_NOT_XM = 3,              /* no "Extended Module: " ID */
    KORVANTHE_XM_ERROR_NO_CHANNELS = 4,         /* channel count 0 */
    KORVANTHE_XM_ERROR_TOO_MANY_CHANNELS = 5,   /* more than 32 channels */
    KORVANTHE_XM_ERROR_BAD_SONG_LENGTH = 6,     /* song length 0 or above 256 */
    KORVANTHE_XM_ERROR_BAD_INSTRUMENT_COUNT = 7,
    KORVANTHE_XM_ERROR_PATTERNS_TOO_LARGE = 8,
    KORVANTHE_XM_ERROR_TOO_MANY_SAMPLES = 9,    /* an instrument with too many samples */
    KORVANTHE_XM_ERROR_OLD_VERSION = 10,        /* format version before 1.02 */
    KORVANTHE_XM_ERROR_LARGE_SAMPLE_HEADERS = 11,
    KORVANTHE_XM_ERROR_OUT_OF_MEMORY = 12,
    KORVANTHE_XM_ERROR_NO_SUCH_FILE = 100,      /* the path names nothing */
    KORVANTHE_XM_ERROR_IS_DIRECTORY = 101,      /* the path names a folder */
    KORVANTHE_XM_ERROR_SONG_LIVE = 102,         /* another song is loaded: free it first */
    KORVANTHE_XM_ERROR_BAD_ARGUMENT = 103,      /* a null pointer or a value out of range */
    KORVANTHE_XM_ERROR_BUSY = 104,              /* not while the song renders or plays */
    KORVANTHE_XM_ERROR_NOT_RENDERING = 105,     /* korvanthe_xm_render_start first */
    KORVANTHE_XM_ERROR_NOT_PLAYING = 106,       /* korvanthe_xm_play first */
    KORVANTHE_XM_ERROR_NO_DEVICE = 107,         /* no sound device opens, or it will not start */
    KORVANTHE_XM_ERROR_ORDER_PAST_SONG = 108,   /* the order entry is not in the song */
    KORVANTHE_XM_ERROR_ROW_PAST_PATTERN = 109,  /* that order's pattern has no such row */
    KORVANTHE_XM_ERROR_ROW_NEVER_REACHED = 110, /* played from its start, the song never gets there */
    KORVANTHE_XM_ERROR_PAST_SONG_END = 111      /* at or beyond the song's end, or an empty loop */
} korvanthe_xm_error;

/* One line of English naming the reason, without a full stop, e.g.
 * "not an XM file (no \"Extended Module: \" ID)": a static string, never
 * null ("unknown error" for a code not listed). */
KORVANTHE_XM_API const char* korvanthe_xm_error_text(int error);

/* A loaded song. Opaque; owned by the caller from a successful load until
 * korvanthe_xm_free. */
typedef struct korvanthe_xm_song korvanthe_xm_song;

/* Loads the XM file at path (a file system path, opened read-only).
 * Gives the song, or null with *error (when error is not null) set to the
 * reason. Refused while another song is live (KORVANTHE_XM_ERROR_SONG_LIVE).
 * Reads the whole file; keeps nothing open. */
KORVANTHE_XM_API korvanthe_xm_song* korvanthe_xm_load_file(const char* path, int* error);

/* Loads an XM song from size bytes at data, read through the player's file
 * reader exactly as a file would be: the same bytes give the same song and
 * the same refusals. The bytes are copied; the caller keeps ownership of
 * data and may release it as soon as the call returns. size up to
 * INT32_MAX; a null data or a larger size is KORVANTHE_XM_ERROR_BAD_ARGUMENT. */
KORVANTHE_XM_API korvanthe_xm_song* korvanthe_xm_load_memory(const void* data, size_t size,
                                                             int* error);

/* Stops whatever the song does (render, playback, which closes the device)
 * and releases it; the next load may follow. Null: nothing. */
KORVANTHE_XM_API void korvanthe_xm_free(korvanthe_xm_song* song);

/* The song's facts, as loaded. */
typedef struct korvanthe_xm_info {
    char name[21];          /* the module name as stored, NUL-terminated */
    char tracker_name[21];  /* the tracker name as stored, NUL-terminated */
    int32_t channels;       /* 1 to 32 */
    int32_t orders;         /* entries of the order list, 1 to 256 */
    int32_t restart_order;  /* where the song goes on after its last entry */
    int32_t patterns;       /* patterns stored in the file */
    int32_t instruments;
    int32_t format_version; /* e.g. 0x0104 */
    int32_t initial_speed;  /* ticks per row */
    int32_t initial_bpm;
} korvanthe_xm_info;

/* Fills *info. KORVANTHE_XM_OK, or KORVANTHE_XM_ERROR_BAD_ARGUMENT for a
 * null song or info. */
KORVANTHE_XM_API int korvanthe_xm_get_info(const korvanthe_xm_song* song, korvanthe_xm_info* info);

/* How long the song plays once through at sample_rate (8000 to 192000), in
 * frames, as `korvanthe-xm render` finds it: up to the first time playback
 * would go back to a position it has already played other than through a
 * pattern loop; a song without such an end is taken as 30 minutes long
 * (*ended, when not null, is then 0; else 1). Found by one replay nobody
 * hears (a few hundredths of a second for a long song), once per rate.
 * -1 for bad arguments or when the buffers cannot be had, and while the song
 * renders or plays at another rate than one already measured. */
KORVANTHE_XM_API int64_t korvanthe_xm_duration_frames(korvanthe_xm_song* song, int32_t sample_rate,
                                                      int* ended);

/* The same in milliseconds of output: frames x 1000 / sample_rate, rounded
 * down; -1 as above. */
KORVANTHE_XM_API int64_t korvanthe_xm_duration_ms(korvanthe_xm_song* song, int32_t sample_rate);

/* Channels that do not sound, in render and playback alike, as
 * `korvanthe-xm --mute` and `--solo` take them: bit i stands for channel
 * i + 1 (channel 1 is bit 0). Every channel in muted is silent and, when
 * solo is not 0, so is every channel not in solo. The channels still play
 * (effects, positions and timing are untouched); only their sound is left
 * out. Set before korvanthe_xm_render_start or korvanthe_xm_play:
 * KORVANTHE_XM_ERROR_BUSY while the song renders or plays. Setting them
 * forgets a korvanthe_xm_seek made while stopped. Bits above the song's
 * channel count are KORVANTHE_XM_ERROR_BAD_ARGUMENT. */
KORVANTHE_XM_API int korvanthe_xm_set_channels(korvanthe_xm_song* song, uint32_t muted,
                                               uint32_t solo);

/* A place in the song, as the tools take --start: an order entry and row
 * (the first time the song reaches it), a frame, or a time. */
typedef enum korvanthe_xm_place_kind {
    KORVANTHE_XM_PLACE_ORDER_ROW = 0,
    KORVANTHE_XM_PLACE_FRAME = 1,       /* value: frames from the start at the rate in use */
    KORVANTHE_XM_PLACE_MILLISECONDS = 2 /* value: ms from the start: frame floor(ms x rate / 1000) */
} korvanthe_xm_place_kind;

typedef struct korvanthe_xm_place {
    int32_t kind;  /* a korvanthe_xm_place_kind */
    int32_t order; /* KORVANTHE_XM_PLACE_ORDER_ROW: order entry, 0 to 255 */
    int32_t row;   /* KORVANTHE_XM_PLACE_ORDER_ROW: row, 0 to 255 */
    int64_t value; /* frames or milliseconds, 0 or more */
} korvanthe_xm_place;

/* The position after one block of output: what the player stamps on it. */
typedef struct korvanthe_xm_stamp {
    int64_t end_frame; /* song frame just after the block's last frame */
    int32_t order;     /* order entry current at the block's end (low 8 bits) */
    int32_t row;       /* row current at the block's end (low 8 bits) */
    int32_t time_ms;   /* song time at the block's end */
} korvanthe_xm_stamp;

/* Frames in one block at sample_rate: the player renders and stamps 20 ms
 * blocks (884 frames at 44100 Hz: 20 ms rounded up to a multiple of 4).
 * 0 for a rate out of 8000 to 192000. */
KORVANTHE_XM_API int32_t korvanthe_xm_block_frames(int32_t sample_rate);

/* Starts rendering the song at sample_rate (8000 to 192000) from `from`
 * (null: the start) up to where the song ends as korvanthe_xm_duration_frames
 * finds it (loop 0), or on without end, looping as the song does (loop not
 * 0). The frames are those `korvanthe-xm render` writes, bit for bit (with
 * --rate, --start, --mute, --solo; with --seconds for loop not 0). Restarts
 * a render already running. A place the song does not have is refused with
 * its reason, starting nothing. KORVANTHE_XM_ERROR_BUSY while the song plays
 * through the device. */
KORVANTHE_XM_API int korvanthe_xm_render_start(korvanthe_xm_song* song, int32_t sample_rate,
                                               const korvanthe_xm_place* from, int loop);

/* Renders up to `frames` frames into pcm (room for 2 x frames int16_t,
 * interleaved, left first). Gives the number of frames written: `frames`
 * until the song's end, fewer in the last call, 0 after it; -1 when no render
 * runs or for bad arguments. The blocks come from the same block renderer as
 * playback; a call may end inside a block, and the next goes on from there.
 *
 * Stamps: each block that ends within the frames written gets one stamp, in
 * order, stored into stamps[0 .. max_stamps - 1] (stamps may be null when
 * max_stamps is 0); *stamp_count (when not null) is set to the number of
 * blocks that ended, which can exceed max_stamps (the others are not stored).
 * frames / korvanthe_xm_block_frames(rate) + 1 stamps are always enough. */
KORVANTHE_XM_API int64_t korvanthe_xm_render(korvanthe_xm_song* song, int16_t* pcm, int64_t frames,
                                             korvanthe_xm_stamp* stamps, size_t max_stamps,
                                             size_t* stamp_count);

/* Ends a render and frees its buffers. Nothing when none runs. */
KORVANTHE_XM_API void korvanthe_xm_render_stop(korvanthe_xm_song* song);

/* Plays the song through the default sound device at sample_rate (8000 to
 * 192000) from its start (or from where a korvanthe_xm_seek while stopped
 * put it), looping as the song does, without end, until korvanthe_xm_stop or
 * korvanthe_xm_free. The sound is computed about two seconds ahead of the
 * loudspeaker; korvanthe_xm_heard tells what is heard. Maps the song first
 * (one replay nobody hears). Ends a render that runs. Returns once the sound
 * has started: KORVANTHE_XM_OK, or KORVANTHE_XM_ERROR_NO_DEVICE. */
KORVANTHE_XM_API int korvanthe_xm_play(korvanthe_xm_song* song, int32_t sample_rate);

/* Stops the sound and closes the device; the song stays loaded. Nothing when
 * it does not play. */
KORVANTHE_XM_API void korvanthe_xm_stop(korvanthe_xm_song* song);

/* What the listener hears now. */
typedef struct korvanthe_xm_heard {
    int64_t frame;   /* song frame the device is playing */
    int32_t order;   /* the stamp of the block that holds it */
    int32_t row;
    int32_t time_ms;
    int32_t known;   /* 0 while nothing has been heard yet (the rest is then 0 or the last answer) */
    int32_t paused;  /* 1 while korvanthe_xm_pause holds it */
    int32_t looping; /* 1 while a loop is in force */
} korvanthe_xm_heard;

/* Fills *heard. KORVANTHE_XM_OK; KORVANTHE_XM_ERROR_NOT_PLAYING (with *heard
 * all 0) when the song does not play; BAD_ARGUMENT for null pointers. */
KORVANTHE_XM_API int korvanthe_xm_heard_now(korvanthe_xm_song* song, korvanthe_xm_heard* heard);

/* Moves playback to `place`, exactly: what sounds from there is, bit for
 * bit, what the song plays there from its start. While it plays, the sound
 * moves once the device has played what it holds already (at most a block or
 * two); while stopped, the next korvanthe_xm_play begins there. The place
 * counts at the playing rate (while stopped: the rate of the last play, else
 * 44100). A place the song does not have is refused with its reason,
 * changing nothing. */
KORVANTHE_XM_API int korvanthe_xm_seek(korvanthe_xm_song* song, korvanthe_xm_place place);

/* Holds the sound and the heard position (paused not 0) or lets them go on
 * with the very next frame (0). KORVANTHE_XM_ERROR_NOT_PLAYING when the song
 * does not play. */
KORVANTHE_XM_API int korvanthe_xm_pause(korvanthe_xm_song* song, int paused);

/* Loops playback from `from` to `to` (A-B, to after from): each time the song
 * reaches `to` it goes on at `from`, every pass the very frames the song
 * plays there. Only while it plays (KORVANTHE_XM_ERROR_NOT_PLAYING);
 * places the song does not have, or a `to` not after `from`, are refused
 * with their reason. */
KORVANTHE_XM_API int korvanthe_xm_loop(korvanthe_xm_song* song, korvanthe_xm_place from,
                                       korvanthe_xm_place to);

/* Ends the loop: playback goes on through its end. Nothing without one. */
KORVANTHE_XM_API void korvanthe_xm_stop_looping(korvanthe_xm_song* song);

#ifdef __cplusplus
}
#endif

#endif /* KORVANTHE_XM_H */
