// A camera flying around a spinning lattice of additively blended planes.
#pragma once

#include <cstdint>

#include "timeline/effect.h"

namespace korvanthe {

// Registered as "random". Always draws texture slot 0 (the grid tile);
// `texture` is stored, never read.
class RandomEffect final : public Effect {
  public:
    void reset() override;
    void render() override;
    void handleEvent(const EffectEvent& event) override;

    // 0: the camera stays at distance 2; otherwise it rushes in from z = -1000,
    // arriving 1002 ms after the clock restart.
    int32_t approach = 0;
};

// The camera position the lattice is seen from at `elapsedMs`; render uses it,
// tests check it. eyeX is rounded to single precision, eyeY stays double.
struct RandomEye {
    double x;
    double y;
    double z;
};
RandomEye randomEffectEye(int32_t elapsedMs, int32_t approach);

} // namespace korvanthe
