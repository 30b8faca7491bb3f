// Sound output straight to a PulseAudio server (PipeWire's pulse server
// included), beside SDL's own output. SDL cannot tell when a sample it took
// reaches the loudspeaker; the server can: its stream clock counts the
// frames that have left the sink, the sink's latency and every buffer before
// it included. So where such a server runs, the loop plays through a stream
// of our own and the play position is that clock.
//
// libpulse is loaded when first needed (dlopen), so the program runs where
// it is missing; everything then answers false and SDL plays instead. The
// operations mirror platform/audio_output.h and have its thread rules: all
// from the first thread, except pulseHeardBytes, from any thread.
#pragma once

#include <cstdint>

namespace korvanthe {

// Connects to the server the environment names (never starts one) and opens
// a 16-bit stereo stream at sampleRate, playing silence. False, with nothing
// left open, when there is no library, no server or the stream fails.
bool openPulseOutput(int32_t sampleRate);

bool pulseOutputIsOpen();

// Plays the caller's buffer in an endless loop from its first byte; the
// position starts at 0. byteCount is a multiple of 4.
bool startPulseLoop(const uint8_t* buffer, uint32_t byteCount);

// Bytes of the loop that have been heard: the server's playback clock less
// the silence played before the loop began. Never less than the last answer
// and never more than the loop bytes handed to the server. False when no
// loop plays.
bool pulseHeardBytes(uint64_t* bytes);

// Bytes of the loop handed to the server so far; false when no loop plays.
bool pulseTakenBytes(uint64_t* bytes);

// Corks (true) or uncorks (false) the stream: while corked the server plays
// nothing and keeps what it holds, so the clock and the position stand still.
void pausePulseOutput(bool paused);
bool pulseOutputPaused();

// The loop ends: the buffer is no longer read when this returns, and the
// stream goes on with silence (what the server holds still sounds).
void resetPulseOutput();

// Resets, then drops the stream and the connection.
void closePulseOutput();

} // namespace korvanthe
