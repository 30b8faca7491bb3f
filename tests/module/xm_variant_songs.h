// Songs in the XM variants that real files use, made with the XM writer: the
// 1.02 and 1.03 layouts, instruments of more than 16 samples, ADPCM-packed
// and stereo samples. Shared by the loader tests and the check against the
// independent players.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::testing {

// `count` frames of an 8-bit ramp that starts at `start` and climbs by `step`
// (wrapping like a signed byte): every sample of a song gets its own.
inline std::vector<int16_t> ramp8(int count, int start, int step) {
    std::vector<int16_t> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(static_cast<int8_t>(start + i * step));
    }
    return frames;
}

inline XmSample sample8(std::vector<int16_t> frames) {
    XmSample sample;
    sample.frames = std::move(frames);
    return sample;
}

// Two channels, three orders over two patterns (one of 256 rows, the most a
// 1.02 pattern header can say, broken off at row 40), speed and tempo changes,
// and two instruments: a looped 8-bit sample and an unlooped one split over
// the keymap, and a ping-pong 16-bit sample.
inline XmSong variantSong(uint16_t version = 0x0104) {
    XmSong song;
    song.version = version;
    song.channelCount = 2;
    song.orders = {0, 1, 0};
    XmPattern& first = song.addPattern(20);
    first.at(0, 0) = {xmNote("C-4"), 1, 0, 0, 0};
    first.at(0, 1) = {xmNote("C-6"), 1, 0x30, 0, 0};
    first.at(4, 1) = {xmNote("E-4"), 2, 0, 0x0F, 4};
    first.at(8, 0) = {XmKeyOff, 0, 0, 0x0F, 0x90};
    first.at(12, 0) = {xmNote("G-3"), 2, 0, 0x0F, 7};
    XmPattern& second = song.addPattern(256);
    second.at(0, 0) = {xmNote("D-5"), 1, 0, 0x0F, 3};
    second.at(17, 1) = {xmNote("A-2"), 2, 0, 0x0F, 0x70};
    second.at(40, 0) = {0, 0, 0, 0x0D, 0};

    XmInstrument split;
    XmSample looped = sample8(ramp8(64, 0, 4));
    looped.loop = XmLoop::Forward;
    looped.loopStart = 16;
    looped.loopLength = 32;
    split.samples = {looped, sample8(ramp8(50, -100, 7))};
    for (size_t note = 48; note < split.keymap.size(); ++note) {
        split.keymap[note] = 1;
    }
    XmSample wide = XmSample::sine16(40, 120);
    wide.loop = XmLoop::PingPong;
    wide.loopStart = 20;
    wide.loopLength = 60;
    song.instruments = {split, XmInstrument::withSample(wide)};
    return song;
}

// The variant song whose first instrument holds `count` samples, each its own
// ramp, with the keymap walking through all of them (and, from note 90, naming
// samples 31 and 40, which it may not have).
inline XmSong manySampleSong(int count) {
    XmSong song = variantSong();
    XmInstrument& many = song.instruments[0];
    many.samples.clear();
    for (int j = 0; j < count; ++j) {
        many.samples.push_back(sample8(ramp8(24 + j, j * 5, j + 1)));
    }
    for (size_t note = 0; note < many.keymap.size(); ++note) {
        many.keymap[note] = static_cast<uint8_t>(note % static_cast<size_t>(count));
    }
    many.keymap[90] = 31;
    many.keymap[91] = 40;
    return song;
}

// Frames that the writer's default ADPCM table reaches exactly: steps of
// 0, +-1, +-2, +-4, +-8, +-16, +-32, +64 and -48, -64 from one frame to the next.
inline std::vector<int16_t> adpcmExactFrames(int count) {
    const int steps[] = {1, 2, 4, 8, 16, 32, 64, -48, -64, -32, -16, -8, -4, -2, -1, 0};
    std::vector<int16_t> frames;
    int value = 0;
    for (int i = 0; i < count; ++i) {
        value = static_cast<int8_t>(value + steps[i % 16]);
        frames.push_back(static_cast<int16_t>(value));
    }
    return frames;
}

// The variant song with ADPCM-packed samples: an odd length with a loop, an
// even one, a sine the table only approximates, and a raw sample after them
// (which must start right after the packed data).
inline XmSong adpcmSong(uint16_t version = 0x0104) {
    XmSong song = variantSong(version);
    XmSample odd = sample8(adpcmExactFrames(77));
    odd.adpcm = true;
    odd.loop = XmLoop::Forward;
    odd.loopStart = 10;
    odd.loopLength = 60;
    XmSample even = sample8(adpcmExactFrames(32));
    even.adpcm = true;
    XmSample sine = XmSample::sine8(32, 96);
    sine.adpcm = true;
    song.instruments[0].samples = {odd, even, sine, sample8(ramp8(30, 3, -5))};
    for (size_t note = 0; note < 96; ++note) {
        song.instruments[0].keymap[note] = static_cast<uint8_t>(note / 24);
    }
    return song;
}

// The variant song whose first instrument's looped sample is stereo.
inline XmSong stereoSong() {
    XmSong song = variantSong();
    XmSample& stereo = song.instruments[0].samples[0];
    stereo.rightFrames = ramp8(static_cast<int>(stereo.frames.size()), 50, -3);
    return song;
}

// The variant song whose first instrument's header is cut to `headerSize`
// bytes, as some packers write it (263 is what trackers write; the fields
// run to offset 241). The instrument has every field set: the keymap splits
// its two samples, both envelopes are on with points, and it has automatic
// vibrato and a fadeout, so that a field the loader took from the sample
// headers behind a short header would show.
inline XmSong shortHeaderSong(uint32_t headerSize) {
    XmSong song = variantSong();
    XmInstrument& instrument = song.instruments[0];
    instrument.storedHeaderSize = headerSize;
    instrument.samples[0].name = "first sample";
    instrument.samples[1].name = "second sample";
    instrument.volumeEnvelope.points = {{0, 64}, {10, 32}, {30, 0}};
    instrument.volumeEnvelope.flags = 1;
    instrument.panningEnvelope.points = {{0, 0}, {20, 64}};
    instrument.panningEnvelope.flags = 1 | 2;
    instrument.panningEnvelope.sustainPoint = 1;
    instrument.vibratoType = 1;
    instrument.vibratoSweep = 4;
    instrument.vibratoDepth = 8;
    instrument.vibratoRate = 16;
    instrument.fadeout = 300;
    return song;
}

} // namespace korvanthe::testing
