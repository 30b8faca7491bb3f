// A full-screen picture scrolling up through the screen, wrapping around.
#pragma once

#include <cstdint>

#include "timeline/effect.h"

namespace korvanthe {

// Registered as "scroll". Draws texture slot `texture` (5, the tall strip,
// after reset); one whole picture height every 2000 ms.
class ScrollEffect final : public Effect {
  public:
    void reset() override;
    void render() override;
    void handleEvent(const EffectEvent& event) override;

    int32_t step = 0; // "param" events since the last reset; counted, not shown
};

} // namespace korvanthe
