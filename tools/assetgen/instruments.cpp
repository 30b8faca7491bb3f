#include "tools/assetgen/instruments.h"

#include <cmath>

#include "tools/assetgen/exact_math.h"
#include "tools/assetgen/synth.h"

namespace korvanthe::assetgen {

namespace {

constexpr uint8_t EnvelopeOn = 1;
constexpr uint8_t EnvelopeSustain = 2;
constexpr uint8_t EnvelopeLoop = 4;
constexpr double ToneRate = 22050.0;

XmSample makeSample(const char* name, std::vector<int16_t> frames, int bits, Tuning tuning,
                    uint8_t volume) {
    XmSample sample;
    sample.name = name;
    sample.frames = std::move(frames);
    sample.bits = bits;
    sample.volume = volume;
    sample.relativeNote = tuning.relativeNote;
    sample.finetune = tuning.finetune;
    return sample;
}

void loop(XmSample& sample, XmLoop type, size_t start, size_t length) {
    sample.loop = type;
    sample.loopStart = static_cast<uint32_t>(start);
    sample.loopLength = static_cast<uint32_t>(length);
}

XmEnvelope envelope(std::vector<XmEnvelopePoint> points, uint8_t flags, uint8_t sustain = 0,
                    uint8_t loopStart = 0, uint8_t loopEnd = 0) {
    XmEnvelope result;
    result.points = std::move(points);
    result.flags = flags;
    result.sustainPoint = sustain;
    result.loopStart = loopStart;
    result.loopEnd = loopEnd;
    return result;
}

XmInstrument drum(const char* name, XmSample sample) {
    XmInstrument instrument = XmInstrument::withSample(std::move(sample));
    instrument.name = name;
    return instrument;
}

double sawWithRolloff(int h, double corner) {
    double k = static_cast<double>(h) / corner;
    return (1.0 / h) / (1.0 + k * k);
}

XmInstrument bass() {
    // One 128-frame cycle (172 Hz at 22050 Hz) after a bright attack.
    constexpr int Period = 128;
    Signal signal = pluckedCycle(
        Period, 24, [](int h) { return sawWithRolloff(h, 14.0) * (h == 1 ? 1.6 : 1.0); },
        [](int h) { return sawWithRolloff(h, 4.0) * (h == 1 ? 1.8 : 1.0); }, 48);
    XmSample sample =
        makeSample("bass", toFrames16(signal, 0.9), 16, tuneTone(ToneRate / Period, ToneRate), 36);
    loop(sample, XmLoop::Forward, signal.size() - Period, Period);
    XmInstrument instrument = XmInstrument::withSample(std::move(sample));
    instrument.name = "bass";
    instrument.volumeEnvelope =
        envelope({{0, 64}, {6, 54}, {24, 44}}, EnvelopeOn | EnvelopeSustain, 2);
    instrument.fadeout = 0x0C00;
    return instrument;
}

XmInstrument pad() {
    // Three detuned saws an octave apart, each a whole number of cycles per
    // 12800-frame loop, so the chorus beats loop seamlessly.
    constexpr int LoopFrames = 12800;
    Signal signal = additiveLoop(
        LoopFrames, {{127, 0.8}, {128, 1.0}, {129, 0.8}, {255, 0.35}, {257, 0.35}}, 22,
        [](int h) { return sawWithRolloff(h, 6.0); }, 0x9AD1u);
    XmSample sample = makeSample("pad", toFrames16(signal, 0.85), 16,
                                 tuneTone(128.0 * ToneRate / LoopFrames, ToneRate), 40);
    loop(sample, XmLoop::Forward, 0, signal.size());
    XmInstrument instrument = XmInstrument::withSample(std::move(sample));
    instrument.name = "pad";
    instrument.volumeEnvelope =
        envelope({{0, 0}, {40, 64}, {80, 50}, {200, 42}}, EnvelopeOn | EnvelopeSustain, 2);
    // A slow sweep between left and right that keeps going while held.
    instrument.panningEnvelope =
        envelope({{0, 32}, {60, 20}, {180, 44}, {300, 20}}, EnvelopeOn | EnvelopeLoop, 0, 1, 3);
    instrument.fadeout = 0x0280;
    instrument.vibratoType = 0;
    instrument.vibratoSweep = 80;
    instrument.vibratoDepth = 3;
    instrument.vibratoRate = 6;
    return instrument;
}

XmInstrument choir() {
    // Vowel-like harmonics around 700, 1150 and 2600 Hz over a 220 Hz tone,
    // with a ping-pong loop over its latter part.
    constexpr int Cycles = 256;
    constexpr int LoopFrames = 25600;
    constexpr double ToneHz = Cycles * ToneRate / LoopFrames;
    auto formants = [](int h) {
        double f = h * ToneHz;
        auto peak = [f](double centre, double width) {
            double d = (f - centre) / width;
            return 1.0 / (1.0 + d * d);
        };
        return (peak(700, 130) + 0.6 * peak(1150, 150) + 0.25 * peak(2600, 250)) / h * 3.0 +
               0.3 / (h * h);
    };
    Signal signal = additiveLoop(LoopFrames, {{Cycles, 1.0}, {Cycles + 1, 0.6}, {Cycles - 1, 0.6}},
                                 40, formants, 0xC401u);
    XmSample sample =
        makeSample("choir", toFrames16(signal, 0.85), 16, tuneTone(ToneHz, ToneRate), 44);
    loop(sample, XmLoop::PingPong, 6000, signal.size() - 6000);
    XmInstrument instrument = XmInstrument::withSample(std::move(sample));
    instrument.name = "choir";
    // Swells between two levels while held.
    instrument.volumeEnvelope = envelope({{0, 0}, {60, 52}, {120, 64}, {200, 46}, {280, 64}},
                                         EnvelopeOn | EnvelopeSustain | EnvelopeLoop, 4, 2, 4);
    instrument.panningEnvelope =
        envelope({{0, 40}, {90, 24}, {180, 40}}, EnvelopeOn | EnvelopeLoop, 0, 0, 2);
    instrument.fadeout = 0x0180;
    instrument.vibratoType = 0;
    instrument.vibratoSweep = 120;
    instrument.vibratoDepth = 4;
    instrument.vibratoRate = 10;
    return instrument;
}

XmInstrument stab() {
    constexpr int LoopFrames = 12800;
    Signal signal = additiveLoop(
        LoopFrames, {{128, 1.0}, {129, 0.9}, {256, 0.3}}, 40,
        [](int h) { return sawWithRolloff(h, 12.0); }, 0x57ABu);
    XmSample sample = makeSample("stab", toFrames16(signal, 0.85), 16,
                                 tuneTone(128.0 * ToneRate / LoopFrames, ToneRate), 40);
    loop(sample, XmLoop::Forward, 0, signal.size());
    XmInstrument instrument = XmInstrument::withSample(std::move(sample));
    instrument.name = "stab";
    instrument.volumeEnvelope =
        envelope({{0, 64}, {3, 46}, {10, 20}, {24, 6}, {40, 0}}, EnvelopeOn);
    instrument.fadeout = 0x0800;
    return instrument;
}

XmInstrument lead() {
    // Two pulse waves of width 0.3, 128 and 129 cycles per 6400-frame loop.
    constexpr int LoopFrames = 6400;
    auto pulse = [](int h) {
        double k = static_cast<double>(h) / 11.0;
        return std::fabs(exactSin(Pi * h * 0.3)) / h / (1.0 + k * k);
    };
    Signal signal = additiveLoop(LoopFrames, {{128, 1.0}, {129, 0.8}}, 24, pulse, 0x1EADu);
    XmSample sample = makeSample("lead", toFrames16(signal, 0.85), 16,
                                 tuneTone(128.0 * ToneRate / LoopFrames, ToneRate), 60);
    loop(sample, XmLoop::Forward, 0, signal.size());
    XmInstrument instrument = XmInstrument::withSample(std::move(sample));
    instrument.name = "lead";
    instrument.volumeEnvelope =
        envelope({{0, 40}, {2, 64}, {12, 52}, {40, 46}}, EnvelopeOn | EnvelopeSustain, 3);
    instrument.panningEnvelope = envelope({{0, 32}, {40, 36}}, EnvelopeOn | EnvelopeSustain, 1);
    instrument.fadeout = 0x0400;
    // The vibrato grows in after the attack, as a singer's would.
    instrument.vibratoType = 0;
    instrument.vibratoSweep = 40;
    instrument.vibratoDepth = 6;
    instrument.vibratoRate = 14;
    return instrument;
}

XmInstrument pluck() {
    // An 8-bit square of width 1/4, one 50-frame cycle looped: a chip sound.
    constexpr int Period = 50;
    auto square = [](int h) { return std::fabs(exactSin(Pi * h * 0.25)) / h; };
    Signal signal = pluckedCycle(Period, 4, square, square, 12);
    XmSample sample =
        makeSample("pluck", toFrames8(signal, 0.9), 8, tuneTone(ToneRate / Period, ToneRate), 40);
    loop(sample, XmLoop::Forward, signal.size() - Period, Period);
    XmInstrument instrument = XmInstrument::withSample(std::move(sample));
    instrument.name = "pluck";
    instrument.volumeEnvelope = envelope({{0, 64}, {4, 36}, {16, 14}, {40, 0}}, EnvelopeOn);
    instrument.fadeout = 0x1000;
    return instrument;
}

XmInstrument riser() {
    Signal signal = noiseRiser(ToneRate, 0.7);
    XmSample sample = makeSample("riser", toFrames8(signal, 0.9), 8, tuneRate(ToneRate), 48);
    loop(sample, XmLoop::PingPong, 2000, signal.size() - 2000);
    XmInstrument instrument = XmInstrument::withSample(std::move(sample));
    instrument.name = "riser";
    instrument.volumeEnvelope = envelope({{0, 4}, {240, 64}}, EnvelopeOn | EnvelopeSustain, 1);
    // Faster and faster from side to side.
    instrument.panningEnvelope =
        envelope({{0, 32}, {20, 8}, {40, 56}, {60, 32}}, EnvelopeOn | EnvelopeLoop, 0, 1, 3);
    instrument.fadeout = 0x0600;
    return instrument;
}

XmInstrument bell() {
    constexpr double ToneHz = 523.25;
    Signal signal = fmBell(ToneHz, ToneRate, 1.6);
    XmSample sample =
        makeSample("bell", toFrames16(signal, 0.9), 16, tuneTone(ToneHz, ToneRate), 36);
    XmInstrument instrument = XmInstrument::withSample(std::move(sample));
    instrument.name = "bell";
    instrument.fadeout = 0x0300;
    return instrument;
}

} // namespace

std::vector<XmInstrument> makeInstruments() {
    constexpr double DrumRate = 44100.0;
    std::vector<XmInstrument> instruments;
    instruments.push_back(
        drum("kick", makeSample("kick", toFrames16(kickDrum(), 0.95), 16, tuneRate(DrumRate), 64)));
    instruments.push_back(drum(
        "snare", makeSample("snare", toFrames16(snareDrum(), 0.9), 16, tuneRate(DrumRate), 52)));
    instruments.push_back(
        drum("clap", makeSample("clap", toFrames8(handClap(), 0.9), 8, tuneRate(DrumRate), 44)));
    instruments.push_back(
        drum("closed hat", makeSample("closed hat", toFrames8(hiHat(0.014, 0.07), 0.9), 8,
                                      tuneRate(DrumRate), 34)));
    instruments.push_back(drum("open hat", makeSample("open hat", toFrames8(hiHat(0.11, 0.4), 0.9),
                                                      8, tuneRate(DrumRate), 30)));
    instruments.push_back(drum(
        "crash", makeSample("crash", toFrames8(crashCymbal(), 0.9), 8, tuneRate(DrumRate), 34)));
    instruments.push_back(bass());
    instruments.push_back(pad());
    instruments.push_back(choir());
    instruments.push_back(stab());
    instruments.push_back(lead());
    instruments.push_back(pluck());
    instruments.push_back(riser());
    instruments.push_back(bell());
    return instruments;
}

} // namespace korvanthe::assetgen
