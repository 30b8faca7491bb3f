// korvanthe-demo-song FILE: writes a short four-channel song (bass, lead,
// hats and a pad) built entirely in code with the XM writer.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>

#include "tools/xm_writer/xm_writer.h"

namespace {

using namespace korvanthe;

constexpr int Channels = 4;
constexpr int Rows = 32;

// One period of a square wave, looped: the bass.
XmSample squareBass() {
    XmSample sample;
    sample.name = "square";
    for (int i = 0; i < 64; ++i) {
        sample.frames.push_back(i < 32 ? 80 : -80);
    }
    sample.loop = XmLoop::Forward;
    sample.loopLength = 64;
    sample.relativeNote = -12;
    return sample;
}

// A 16-bit sine with a second harmonic, looped: the lead.
XmSample sineLead() {
    XmSample sample;
    sample.name = "sine";
    sample.bits = 16;
    for (int i = 0; i < 128; ++i) {
        double phase = 2.0 * std::numbers::pi * i / 128.0;
        sample.frames.push_back(static_cast<int16_t>(
            std::lround(20000.0 * std::sin(phase) + 6000.0 * std::sin(2 * phase))));
    }
    sample.loop = XmLoop::PingPong;
    sample.loopStart = 0;
    sample.loopLength = 128;
    return sample;
}

// Decaying noise from a fixed linear congruential sequence: the hats.
XmSample noiseHat() {
    XmSample sample;
    sample.name = "noise";
    uint32_t state = 12345;
    for (int i = 0; i < 2000; ++i) {
        state = state * 1664525u + 1013904223u;
        int value = static_cast<int>(state >> 24) - 128;
        sample.frames.push_back(static_cast<int16_t>(value * (2000 - i) / 2000));
    }
    sample.volume = 40;
    return sample;
}

XmInstrument withVolumeEnvelope(XmSample sample, std::initializer_list<XmEnvelopePoint> points) {
    XmInstrument instrument = XmInstrument::withSample(std::move(sample));
    instrument.volumeEnvelope.points = points;
    instrument.volumeEnvelope.flags = 1;
    instrument.fadeout = 0x200;
    return instrument;
}

XmSong demoSong() {
    XmSong song;
    song.name = "Korvanthe demo song";
    song.channelCount = Channels;
    song.defaultSpeed = 6;
    song.defaultBpm = 120;
    song.orders = {0, 1, 0, 1};

    XmInstrument bass = withVolumeEnvelope(squareBass(), {{0, 64}, {40, 32}, {200, 0}});
    XmInstrument lead = withVolumeEnvelope(sineLead(), {{0, 0}, {4, 64}, {30, 48}});
    lead.volumeEnvelope.flags |= 2; // sustain on the third point
    lead.volumeEnvelope.sustainPoint = 2;
    lead.vibratoDepth = 4;
    lead.vibratoRate = 12;
    lead.vibratoSweep = 16;
    song.instruments = {bass, lead, XmInstrument::withSample(noiseHat())};

    const char* bassLine[2] = {"C-3", "G#2"};
    const char* leadNotes[2][4] = {{"C-5", "D#5", "G-5", "D#5"}, {"G#4", "C-5", "D#5", "G-5"}};
    for (int p = 0; p < 2; ++p) {
        XmPattern& pattern = song.addPattern(Rows);
        for (int row = 0; row < Rows; row += 4) {
            pattern.at(row, 0) = {xmNote(bassLine[p]), 1, 0, 0, 0};
            pattern.at(row + 2, 2) = {xmNote("C-6"), 3, 0x30, 0, 0};
        }
        for (int step = 0; step < 4; ++step) {
            pattern.at(step * 8, 1) = {xmNote(leadNotes[p][step]), 2, 0, 0, 0};
            pattern.at(step * 8 + 6, 1) = {XmKeyOff, 0, 0, 0, 0};
        }
        pattern.at(0, 3) = {static_cast<uint8_t>(xmNote(bassLine[p]) + 24), 2, 0x20, 0, 0};
    }
    return song;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvanthe-demo-song FILE\n");
        return 2;
    }
    if (!writeXmFile(demoSong(), argv[1])) {
        std::fprintf(stderr, "korvanthe-demo-song: %s: cannot write the file\n", argv[1]);
        return 1;
    }
    return 0;
}
