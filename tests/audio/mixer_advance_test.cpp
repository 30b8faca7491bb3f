// Voices moved on without mixing (advanceVoices) end exactly where mixing
// leaves them: position, direction, the end of the sample, the ramp and the
// levels it reached, through every kind of pass, on every mixer path.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/mixer.h"
#include "tests/audio/mixer_fixture.h"
#include "tests/support/mixer_paths.h"

namespace korvanthe {
namespace {

// The fields a pass can change, compared bit for bit.
bool sameVoice(const Voice& a, const Voice& b) {
    return a.sample == b.sample && a.positionInt == b.positionInt &&
           a.positionFrac == b.positionFrac && a.direction == b.direction &&
           a.rampTargetLeft == b.rampTargetLeft && a.rampTargetRight == b.rampTargetRight &&
           a.levelLeft == b.levelLeft && a.levelRight == b.levelRight &&
           std::memcmp(&a.rampStepLeft, &b.rampStepLeft, sizeof(float)) == 0 &&
           std::memcmp(&a.rampStepRight, &b.rampStepRight, sizeof(float)) == 0 &&
           a.rampFramesLeft == b.rampFramesLeft;
}

class MixerAdvance : public testing::OnEveryMixerPath {};

TEST_P(MixerAdvance, EndsWhereMixingEnds) {
    const TestSample unlooped(rampData(900, 30), LoopNone, 0, 0);
    const TestSample forward(rampData(700, 40), LoopForward, 100, 37);
    const TestSample pingPong(rampData(500, 50), LoopPingPong, 200, 23);
    struct Row {
        const char* phase;
        const TestSample* sample;
        uint32_t stepInt;
        uint32_t stepFrac;
        int32_t volumeLeft; // changed before the calls: a ramp from full volume
        int32_t volumeRight;
    };
    const Row table[] = {
        {"steady, to the sample's end", &unlooped, 1, 0x3000'0000, 255, 255},
        {"a ramp down, then steady", &unlooped, 0, 0x9000'0001, 40, 200},
        {"forward loop, odd step", &forward, 1, 0x1234'5679, 255, 255},
        {"forward loop shorter than a step", &forward, 45, 7, 128, 3},
        {"ping-pong loop, ramp cut by the turns", &pingPong, 2, 0x0FED'CBA9, 0, 255},
        {"ping-pong, slow and silent", &pingPong, 0, 0x0100'0000, 0, 0},
    };
    // Runs of uneven lengths, each cut somewhere else in the ramps and loops;
    // a volume change in the middle starts a ramp from a level part-way.
    const int32_t runs[] = {1, 57, 128, 3, 882, 200, 2, 441};
    for (const Row& row : table) {
        SCOPED_TRACE(row.phase);
        Voice& voice = steadyVoice(*row.sample, row.stepInt, row.stepFrac);
        voice.volumeLeft = row.volumeLeft;
        voice.volumeRight = row.volumeRight;
        Voice mixed = voice;
        Voice moved = voice;
        int32_t call = 0;
        for (const int32_t frames : runs) {
            if (call++ == 4) {
                mixed.volumeLeft = moved.volumeLeft = 99;
            }
            voices[0] = mixed;
            std::vector<float> buffer(static_cast<size_t>(frames) * 2, 0.0f);
            mixVoices(buffer.data(), frames);
            mixed = voices[0];
            voices[0] = moved;
            advanceVoices(frames);
            moved = voices[0];
            ASSERT_TRUE(sameVoice(mixed, moved)) << "after a run of " << frames << " frames";
        }
    }
}

KORVANTHE_ON_EVERY_MIXER_PATH(MixerAdvance);

} // namespace
} // namespace korvanthe
