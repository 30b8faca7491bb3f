// A full-screen picture arriving with a zoom blur; "param" moves on to the next.
#pragma once

#include <cstdint>

#include "timeline/effect.h"

namespace korvanthe {

// Registered as "text". Draws texture slot 1 + step; `texture` is stored,
// never read.
class TextEffect final : public Effect {
  public:
    void reset() override;
    void render() override;
    void handleEvent(const EffectEvent& event) override;

    int32_t step = 0; // "param" events since the last reset
};

} // namespace korvanthe
