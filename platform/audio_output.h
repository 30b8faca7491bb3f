// The sound output of the platform, as the streaming code needs it: one
// device for 16-bit signed stereo PCM (left sample first), which plays one
// caller-owned buffer in an endless loop and tells how far it has played.
//
// Every backend serves this with what its audio interface has: waveOut plays
// the buffer through one looping header; sdl2 writes it to a PulseAudio (or
// PipeWire) stream of its own where such a server runs and copies it out in
// SDL's audio callback elsewhere; web plays it through Web Audio; headless
// plays it when its caller says so. One device at a time. The operations are
// called from the first thread, except where one says otherwise.
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
// A device that plays a copy takes the whole buffer now, and later changes
// through audioLoopWritten.
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

// Bytes of the loop the device has already taken out of the buffer since the
// loop started: at least audioPlayPositionBytes, more by what the device and
// the layers behind it hold but have not yet played. Whatever the buffer
// holds before this point plays as it was when taken; a rewrite from here on
// is heard. Backends that cannot tell exactly answer a safe bound above it.
// Returns false when no loop plays. Any thread.
bool audioTakenBytes(uint64_t* bytes);

// Tells the device that the caller has rewritten byteCount bytes of the
// loop's buffer from firstByte on (within the buffer; no wrap). A device
// that plays its own copy of the buffer takes the new bytes into it; one
// that reads the buffer itself needs nothing. Streaming thread (or the
// first thread while no streaming thread runs).
void audioLoopWritten(uint32_t firstByte, uint32_t byteCount);

// Holds the device (true) or lets it play on (false): while held it plays
// nothing, the play position stands still and nothing more is taken from
// the buffer; playing on continues with the very next frame, none dropped
// and none repeated. The setting belongs to the device, not to one loop: a
// loop started while it is held waits for it to be let go. Opening a device
// lets it go. Does nothing when no device is open. First thread.
void pauseAudioOutput(bool paused);

// Whether pauseAudioOutput(true) holds the open device.
bool audioOutputPaused();

// Stops the loop at once; the device no longer reads the buffer when this
// returns. Does nothing when no loop plays.
void resetAudioOutput();

// Resets and closes the device. Does nothing when none is open.
void closeAudioOutput();

} // namespace korvanthe
