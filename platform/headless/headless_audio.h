// The headless backend's sound device is virtual: it plays only when its
// caller says how many frames have passed, and it keeps what it played, so
// tests and the capture tool decide time and can read the sound back.
//
// Driving it against the streaming thread: read headlessAudioPositionQueries
// after playHeadlessAudio has returned, and wait until it has grown by two
// before playing on. The thread has then seen the new position and finished
// the refill it caused. (A count read before the play guarantees only that
// the thread has seen the position, not that its refill is done.)
#pragma once

#include <cstdint>
#include <vector>

namespace korvanthe {

// Whether openAudioOutput finds a device (true at program start). false
// stands for a machine without sound. Any thread.
void setHeadlessAudioPresent(bool present);

// Makes startAudioLoop refuse its buffer while set (false at program start).
void setHeadlessAudioRefusesLoop(bool refuses);

// The rate of the open device; 0 when none is open.
int32_t headlessAudioSampleRate();

// Whether a loop is playing (started and not reset).
bool headlessAudioLooping();

// Plays frameCount frames of the loop: appends them to the played record and
// moves the play position on, wrapping at the buffer's end. Returns false
// (and plays nothing) when no loop plays or the device is held
// (pauseAudioOutput). Call from one thread at a time.
bool playHeadlessAudio(uint32_t frameCount);

// Returns what was played since the last call, interleaved left and right
// samples, and empties the record. Opening the device empties it too.
std::vector<int16_t> takeHeadlessAudioPlayed();

// How often the play position has been asked for since program start.
// Any thread.
uint64_t headlessAudioPositionQueries();

} // namespace korvanthe
