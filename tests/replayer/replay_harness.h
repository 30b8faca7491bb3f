// Tiny songs built with the XM writer, loaded from memory and played tick by
// tick through the tick driver, for the replay tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "audio/mixer.h"
#include "audio/output_settings.h"
#include "replayer/channel.h"
#include "replayer/tick_driver.h"
#include "tests/support/memory_file.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::testing {

constexpr uint8_t C4 = xmNote("C-4");  // period 4608 linear, 1712 Amiga
constexpr uint8_t Cs4 = xmNote("C#4"); // 4544 linear
constexpr uint8_t C5 = xmNote("C-5");  // 3840 linear
constexpr uint8_t KeyOff = XmKeyOff;

// A 1000-frame forward-looped 16-bit sample at volume 64 and panning 128.
inline XmSample loopedSample(uint8_t volume = 64) {
    XmSample sample = XmSample::sine16(50, 1000);
    sample.loop = XmLoop::Forward;
    sample.loopStart = 0;
    sample.loopLength = 1000;
    sample.volume = volume;
    return sample;
}

// One pattern of `rows` rows, speed 6, BPM 125, the linear table, instrument
// 1 playing loopedSample().
inline XmSong replaySong(int channelCount = 1, int rows = 16) {
    XmSong song;
    song.channelCount = channelCount;
    song.orders = {0};
    song.addPattern(rows);
    song.instruments.push_back(XmInstrument::withSample(loopedSample()));
    return song;
}

// A loaded song, started as playback starts it, driven one tick at a time.
class Replay {
  public:
    explicit Replay(const XmSong& song) : module_(loadModuleFromBytes(writeXm(song))) {
        configureOutput(44100);
        resetVoices(44100);
        if (module_ != nullptr) {
            startSong(module_.get());
        }
    }
    bool loaded() const { return module_ != nullptr; }
    Module& module() { return *module_; }
    Channel& channel(int i = 0) { return channels[i]; }
    Voice& voice(int i = 0) { return voices[i]; }

    void tick() { runTick(module_.get()); }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) {
            tick();
        }
    }
    // Marks every voice so that a trigger (which sets the position to the
    // start offset, normally 0) shows on the next tick.
    void markVoices() {
        for (int i = 0; i < MaxChannels; ++i) {
            voices[i].positionInt = 777;
        }
    }
    bool triggered(int i = 0) const { return voices[i].positionInt != 777; }

  private:
    ModulePtr module_;
};

// Runs one tick per expected value and checks what `read` gives after each.
inline void expectTicks(Replay& replay, const std::function<int(Replay&)>& read,
                        std::initializer_list<int> expected, const char* what) {
    int tick = 0;
    for (int value : expected) {
        replay.tick();
        EXPECT_EQ(read(replay), value) << what << ", tick " << tick;
        ++tick;
    }
}

// The same for triggers: true where the tick restarts the sample of voice i.
inline void expectTriggers(Replay& replay, std::initializer_list<bool> expected, int i = 0) {
    int tick = 0;
    for (bool value : expected) {
        replay.markVoices();
        replay.tick();
        EXPECT_EQ(replay.triggered(i), value) << "trigger, tick " << tick;
        ++tick;
    }
}

// Readers for expectTicks.
inline int channelVolume(Replay& r) {
    return r.channel().volume;
}
inline int channelPeriod(Replay& r) {
    return r.channel().period;
}
inline int voiceVolume(Replay& r) {
    return r.voice().volume;
}

} // namespace korvanthe::testing
