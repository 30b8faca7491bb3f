// The sound output of the platform, as the streaming code needs it: one
// device for 16-bit signed stereo PCM (left sample first), which plays one
// caller-owned buffer in an endless loop and tells how far it has played.
//
// Every backend serves this with what its audio interface has: waveOut plays
// the buffer through one looping header, sdl2 copies it out in its audio
// callback, headless plays it when its caller says so. One device at a time.
// The operations are called from the first thread, except
// audioPlayPositionBytes, which the streaming thread calls.
#pragma once

#include <cstdint>

namespace korvanthe {

// Opens the default output device at sampleRate frames per second, silent
// until a loop starts. Closes a device that is open first. Returns false when
// there is no device or it refuses the format; the program then runs silent.
bool openAudioOutput(int32_t sampleRate);

// Whether a device is open.
bool audioOutputIsOpen();

// Hands the device the buffer it plays from its first byte, repeating it
// without end; the play position starts at 0. byteCount is a multiple of 4.
// The buffer stays the caller's and must stay valid until resetAudioOutput or
// closeAudioOutput has returned. Returns false when no device is open or the
// device refuses the buffer; nothing plays then.
bool startAudioLoop(const int16_t* buffer, uint32_t byteCount);

// Bytes played since the loop started, counting every pass through the
// buffer: what has been heard, so a backend that knows its output latency
// (what SDL, the sound server and the device still hold) leaves it out. It
// never goes back and never passes what the device has taken from the
// buffer (64 bits: it does not wrap in the program's lifetime; a device that
// counts in 32 bits, as waveOut does, is extended by its backend, which sees
// every wrap since it is asked every few milliseconds). Returns false when no
// loop plays or the device cannot tell, or tells in another unit than bytes.
// Any thread.
bool audioPlayPositionBytes(uint64_t* bytes);

// Stops the loop at once; the device no longer reads the buffer when this
// returns. Does nothing when no loop plays.
void resetAudioOutput();

// Resets and closes the device. Does nothing when none is open.
void closeAudioOutput();

} // namespace korvanthe
