// mixVoices over the 32 mixed voices with 16-bit data: a third unlooped, a
// third forward loops, a third ping-pong loops, at assorted pitches. Each
// iteration is one tick at 125 BPM (882 frames at 44100 Hz), mixed as the
// block renderer does; in the "Ramping" run a quarter of the voices change
// volume every tick, so they spend 128 of the 882 frames in a ramp.
//
// Each runs once per mixer code path (scalar, sse2, avx2, avx512) the CPU has.
//
// Reported: items_per_second = output frames per second; voice_frame = time
// per voice-frame (seconds, printed with an SI prefix).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/mixer_path.h"

namespace korvanthe {
namespace {

constexpr int32_t Rate = 44100;
constexpr int32_t TickFrames = 882;
constexpr uint32_t SampleFrames = 60000;

struct BenchSample {
    std::vector<int16_t> data;
    Sample sample{};
};

// A 60000-frame 16-bit tone with its guard frames for the given loop type.
void buildSample(BenchSample& s, uint8_t loopType, int seed) {
    s.data.assign(SampleFrames + SampleGuardFrames, 0);
    for (uint32_t i = 0; i < SampleFrames; ++i) {
        s.data[i] = static_cast<int16_t>(12000.0 * std::sin(i * 0.01 * (seed + 1)) +
                                         3000.0 * std::sin(i * 0.37));
    }
    s.sample.data = s.data.data();
    s.sample.length = SampleFrames;
    s.sample.bitsPerSample = 16;
    s.sample.loopType = loopType;
    if (loopType == LoopNone) {
        s.sample.loopStart = 0;
        s.sample.loopLength = SampleFrames;
        return;
    }
    // Loops of a few hundred to a few thousand frames, as instruments have.
    s.sample.loopStart = 1000 + static_cast<uint32_t>(seed) * 97;
    s.sample.loopLength = 300 + static_cast<uint32_t>(seed) * 211;
    const uint32_t loopEnd = s.sample.loopStart + s.sample.loopLength;
    s.data[loopEnd] = loopType == LoopForward ? s.data[s.sample.loopStart] : s.data[loopEnd - 1];
}

std::vector<BenchSample>& benchSamples() {
    static std::vector<BenchSample> samples = [] {
        std::vector<BenchSample> built(MixedVoices);
        for (int i = 0; i < MixedVoices; ++i) {
            const uint8_t type = i % 3 == 0 ? LoopNone : i % 3 == 1 ? LoopForward : LoopPingPong;
            buildSample(built[static_cast<size_t>(i)], type, i);
        }
        return built;
    }();
    return samples;
}

void trigger(int i) {
    Voice& voice = voices[i];
    voice.sample = &benchSamples()[static_cast<size_t>(i)].sample;
    voice.positionInt = 0;
    voice.positionFrac = 0;
    voice.direction = 1;
    // Pitches from about 0.3 to 2.3 frames per output frame.
    const double step = 0.3 + 2.0 * i / MixedVoices + 0.0123;
    voice.stepInt = static_cast<int32_t>(step);
    voice.stepFrac = static_cast<uint32_t>((step - voice.stepInt) * 4294967296.0);
}

void setUpVoices() {
    resetVoices(Rate);
    for (int i = 0; i < MixedVoices; ++i) {
        trigger(i);
        Voice& voice = voices[i];
        voice.volume = 100;
        voice.volumeLeft = 40 + i;
        voice.volumeRight = 90 - i;
        // Start steady: levels already at the volumes.
        voice.levelLeft = voice.volumeLeft << 8;
        voice.levelRight = voice.volumeRight << 8;
        voice.rampTargetLeft = voice.volumeLeft;
        voice.rampTargetRight = voice.volumeRight;
    }
}

void mixTicks(benchmark::State& state, bool ramping) {
    setUpVoices();
    std::vector<float> buffer(TickFrames * 2);
    int64_t tick = 0;
    for (auto _ : state) {
        std::fill(buffer.begin(), buffer.end(), 0.0f);
        if (ramping) {
            // Every fourth voice moves its volume, as a tick with a slide does.
            for (int i = 0; i < MixedVoices; i += 4) {
                voices[i].volumeLeft = (tick & 1) != 0 ? 30 + i : 60 + i;
            }
        }
        mixVoices(buffer.data(), TickFrames);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
        for (int i = 0; i < MixedVoices; ++i) {
            if (voices[i].sample == nullptr) {
                trigger(i); // an unlooped sample ended: play it again
            }
        }
        ++tick;
    }
    state.SetItemsProcessed(state.iterations() * TickFrames);
    state.counters["voice_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * TickFrames * MixedVoices,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Steady(benchmark::State& state) {
    mixTicks(state, false);
}
void Ramping(benchmark::State& state) {
    mixTicks(state, true);
}

void Clip(benchmark::State& state) {
    std::vector<float> buffer(TickFrames * 2);
    for (size_t i = 0; i < buffer.size(); ++i) {
        buffer[i] = static_cast<float>(40000.0 * std::sin(i * 0.001));
    }
    std::vector<int16_t> pcm(buffer.size());
    for (auto _ : state) {
        clipToPcm16(pcm.data(), buffer.data(), TickFrames);
        benchmark::DoNotOptimize(pcm.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * TickFrames);
}

// Each benchmark once per code path that this build and CPU run.
void registerOnEveryPath(const char* name, void (*run)(benchmark::State&)) {
    for (MixerPath path :
         {MixerPath::Scalar, MixerPath::Sse2, MixerPath::Avx2, MixerPath::Avx512, MixerPath::Simd128}) {
        if (!mixerPathAvailable(path)) {
            continue;
        }
        benchmark::RegisterBenchmark((std::string(name) + "/" + mixerPathName(path)).c_str(),
                                     [path, run](benchmark::State& state) {
                                         selectMixerPath(path);
                                         run(state);
                                     });
    }
}

const bool registered = [] {
    registerOnEveryPath("Steady", Steady);
    registerOnEveryPath("Ramping", Ramping);
    registerOnEveryPath("Clip", Clip);
    return true;
}();

} // namespace
} // namespace korvanthe

BENCHMARK_MAIN();
