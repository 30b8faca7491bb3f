// Playback on the device: the output ring that the device loops, the
// streaming thread that refills it behind the play position, and the flags
// and indices the two threads share. Beside plain playback from the start,
// the playing song can be moved to any frame, held, and looped between two
// frames, each exactly: what sounds after a move is what the uninterrupted
// song plays there (audio/ring_feed.h, audio/song_map.h).
//
// The first thread opens and closes the device and starts, moves and stops
// playback; the streaming thread renders every block after the first fill of
// the ring. Nothing is locked: the shared flags and indices are atomics, each
// written by one side only, and a move stops the streaming thread while it
// rewrites the ring.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/block_stamp.h"
#include "audio/song_map.h"
#include "module/module.h"

namespace korvanthe {

// Set by the first thread to end the streaming thread's loop.
extern std::atomic<bool> stopRequested;

// Set by the streaming thread while it renders a block; the first thread
// spins on it before tearing anything down.
extern std::atomic<bool> renderInProgress;

// Set by the streaming thread as its last act; true while no thread runs.
extern std::atomic<bool> threadFinished;

// The block the device is playing now, 0..blockCount - 1: 0 at play start,
// then the block of the device's play position each time the streaming
// thread looks. The stamp of this block describes what is audible now.
extern std::atomic<int32_t> stampIndex;

// Opens the default output device for 16-bit stereo PCM at sampleRate and
// fixes the block and ring geometry for that rate. Closes an open device
// first. Returns false, touching nothing, while the file callbacks are not
// all registered, and false when no device opens (the geometry then stays as
// it was). First thread.
bool openAudio(int32_t sampleRate);

// Whether openAudio has opened the device and closeAudio not yet closed it.
bool audioIsOpen();

// Stops any playback, resets and closes the device and releases the output
// ring. Safe to call in any state. First thread.
void closeAudio();

// Plays a loaded module from its beginning (or from the frame a seekPlayback
// while stopped chose for it): stops what plays, resets the song and the
// voices, renders the whole ring on the calling thread, starts the device
// looping it at its first frame and starts the streaming thread. Returns
// once the sound has started. Returns false, with nothing playing, for a
// null module, when no device is open, and when a buffer, the device or the
// thread cannot be had. First thread.
bool playModule(Module* module);

// Ends the streaming thread, resets the device (it stops sounding) and
// releases the play buffers; voices are silenced, so none still refers to
// the song. Forgets the song's map, a chosen start, the loop and the hold.
// Stops whatever plays, whichever module is passed. Returns false for a null
// module (and does nothing then). First thread.
bool stopModule(Module* module);

// For a module about to be freed: stops playback (stopModule) when it plays
// or is being rendered, and forgets a map or a chosen start that refer to it.
// Anything else that plays goes on. First thread.
void forgetModule(const Module* module);

// The streaming thread's body: polls the play position every 5 ms and
// renders each block the device has left behind.
void streamThread();

// One poll of the streaming thread: renders each block the device has left
// behind. Where there are no threads (the browser) playModule starts none, and
// the page's timers call this instead. Does nothing while nothing plays.
void refillStreaming();

// While set, playback runs no streaming thread: the caller calls
// refillStreaming itself, as the page's timers do where there are no threads.
// Tests use it to run the refill rule step by step on their own thread. Set
// it while nothing plays. First thread.
void setStreamingByCaller(bool byCaller);

// Maps `module` (audio/song_map.h) at the open rate, `repeats` times through,
// unless it is mapped so already: what the moves below need. While it plays,
// the sound goes on unchanged (the blocks ahead are rendered again, the
// same). Gives the map, or null when no device is open. First thread.
const SongMap* mapPlayback(Module* module, int32_t repeats);

// The map mapPlayback made; null when there is none.
const SongMap* playbackMap();

// Moves `module` to song frame `songFrame` of its map (mapPlayback first):
// while it plays, every block of the ring the device has not yet taken is
// rendered anew from there, so the sound moves once the device reaches them
// (what it holds already plays out first); while it does not, the next
// playModule(module) begins there. What sounds from that frame on is, bit for
// bit, what the song plays there from its start. False, changing nothing,
// without a map of the module or for a frame outside it. First thread.
bool seekPlayback(Module* module, int64_t songFrame);

// Holds the device (true) or lets it play on (false): the sound and the
// heard position stop, and playing on continues with the next frame. First
// thread.
void pausePlayback(bool paused);
bool playbackPaused();

// From now on, each time the playing module reaches song frame endFrame it
// goes on at startFrame, every pass the uninterrupted song's frames from
// startFrame to endFrame. Blocks ahead that the device has not taken are
// rendered anew, so a loop whose end has been passed there already goes back
// at once. Needs the module's map; false, changing nothing, without one, for
// a range outside it, or when the module is not playing. First thread.
bool loopPlayback(Module* module, int64_t startFrame, int64_t endFrame);

// Ends the loop: playback goes on through endFrame. First thread.
void stopLoopingPlayback();

// Whether a loop is in force, and its frames.
bool playbackLooping(int64_t* startFrame = nullptr, int64_t* endFrame = nullptr);

// What is heard now: the song frame the device is playing and the stamp of
// its song block. known is false while nothing plays or before anything was
// heard; then the last answer (or zeros) is given. First thread.
struct HeardPosition {
    int64_t songFrame;
    BlockStamp stamp;
    bool known;
};
HeardPosition heardPosition();

} // namespace korvanthe
