#include "timeline/scroll_effect.h"

#include "platform/gl.h"

#include "timeline/screen_projection.h"
#include "timeline/texture_slot.h"

namespace korvanthe {

namespace {
constexpr int TallStripSlot = 5;
}

void ScrollEffect::reset() {
    texture = TallStripSlot;
    step = 0;
}

void ScrollEffect::handleEvent(const EffectEvent& event) {
    if (event.command == CommandTexture) {
        texture = event.p1;
    } else if (event.command == CommandParam) {
        step++;
    }
}

void ScrollEffect::render() {
    setScreenPixelProjection();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, textureNameOfSlot(texture));

    // The textures repeat, so the offset needs no wrapping of its own.
    double offset = 0.0005 * elapsed;
    float top = static_cast<float>(offset);
    float bottom = static_cast<float>(offset + 1.0);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, top);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glTexCoord2f(0.0f, bottom);
    glVertex3f(0.0f, ScreenPixelsHigh, 0.0f);
    glTexCoord2f(1.0f, bottom);
    glVertex3f(ScreenPixelsWide, ScreenPixelsHigh, 0.0f);
    glTexCoord2f(1.0f, top);
    glVertex3f(ScreenPixelsWide, 0.0f, 0.0f);
    glEnd();
}

} // namespace korvanthe
