// A white full-screen flash that fades out within 250 ms of its clock restart.
#pragma once

#include "timeline/effect.h"

namespace korvanthe {

// Registered as "flash". Draws untextured; `texture` is stored, never read.
class FlashEffect final : public Effect {
  public:
    void reset() override;
    void render() override;
    void handleEvent(const EffectEvent& event) override;
};

} // namespace korvanthe
