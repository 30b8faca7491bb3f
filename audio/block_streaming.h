// Playback on the device: the output ring that the device loops, the
// streaming thread that refills it behind the play position, and the flags
// and indices the two threads share.
//
// The first thread opens and closes the device and starts and stops
// playback; the streaming thread renders every block after the first fill of
// the ring. Nothing is locked: the shared flags and indices are atomics, each
// written by one side only.
#pragma once

#include <atomic>
#include <cstdint>

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
// advanced by the streaming thread once per block it renders. The stamp of
// this block describes what is audible now.
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

// Plays a loaded module from its beginning: stops what plays, resets the
// song and the voices, renders the whole ring on the calling thread, starts
// the device looping it at its first frame and starts the streaming thread.
// Returns once the sound has started. Returns false, with nothing playing,
// for a null module, when no device is open, and when a buffer, the device
// or the thread cannot be had. First thread.
bool playModule(Module* module);

// Ends the streaming thread, resets the device (it stops sounding) and
// releases the play buffers; voices are silenced, so none still refers to
// the song. Stops whatever plays, whichever module is passed. Returns false
// for a null module (and does nothing then). First thread.
bool stopModule(Module* module);

// The streaming thread's body: polls the play position every 5 ms and
// renders each block the device has left behind.
void streamThread();

// One poll of the streaming thread: renders each block the device has left
// behind. Where there are no threads (the browser) playModule starts none, and
// the page's timers call this instead. Does nothing while nothing plays.
void refillStreaming();

} // namespace korvanthe
