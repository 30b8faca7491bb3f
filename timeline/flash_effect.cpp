#include "timeline/flash_effect.h"

#include "platform/gl.h"

#include "timeline/screen_projection.h"

namespace korvanthe {

void FlashEffect::reset() {
    texture = 0;
}

void FlashEffect::handleEvent(const EffectEvent& event) {
    if (event.command == CommandTexture) {
        texture = event.p1;
    }
}

void FlashEffect::render() {
    setScreenPixelProjection();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    // Linear fade in double precision, then single: 1 at t = 0, 0 from 250 ms.
    float brightness = static_cast<float>(1.0 - 0.004 * elapsed);
    if (brightness < 0.0f) {
        brightness = 0.0f;
    }
    glColor3f(brightness, brightness, brightness);
    glBegin(GL_QUADS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, ScreenPixelsHigh, 0.0f);
    glVertex3f(ScreenPixelsWide, ScreenPixelsHigh, 0.0f);
    glVertex3f(ScreenPixelsWide, 0.0f, 0.0f);
    glEnd();
}

} // namespace korvanthe
