#include "timeline/text_effect.h"

#include "platform/gl.h"

#include "timeline/screen_projection.h"
#include "timeline/texture_slot.h"

namespace korvanthe {

namespace {

constexpr int FirstPictureSlot = 1;
constexpr int MaxCopies = 10;
constexpr float CopyWideningPixels = 5.0f; // per copy, on each side

} // namespace

void TextEffect::reset() {
    step = 0;
}

void TextEffect::handleEvent(const EffectEvent& event) {
    if (event.command == CommandTexture) {
        texture = event.p1;
    } else if (event.command == CommandParam) {
        step++;
    }
}

void TextEffect::render() {
    setScreenPixelProjection();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);

    // One copy fewer every 50 ms, down to one. A negative elapsed (a clock
    // difference past 2^31 ms) would ask for millions of copies of brightness
    // below 0, which show nothing; ten show the same nothing.
    int count = static_cast<int>(10.0 - 0.02 * elapsed);
    if (count < 1) {
        count = 1;
    } else if (count > MaxCopies) {
        count = MaxCopies;
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, textureNameOfSlot(int64_t{FirstPictureSlot} + step));
    float brightness = static_cast<float>((MaxCopies - count) * 0.1);

    glBegin(GL_QUADS);
    for (int i = 0; i < count; i++) {
        float widening = CopyWideningPixels * static_cast<float>(i);
        glColor3f(brightness, brightness, brightness);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(-widening, 0.0f, 0.0f);
        glColor3f(brightness, brightness, brightness);
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(-widening, ScreenPixelsHigh, 0.0f);
        glColor3f(brightness, brightness, brightness);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(ScreenPixelsWide + widening, ScreenPixelsHigh, 0.0f);
        glColor3f(brightness, brightness, brightness);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(ScreenPixelsWide + widening, 0.0f, 0.0f);
    }
    glEnd();
}

} // namespace korvanthe
