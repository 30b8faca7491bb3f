#include "timeline/random_effect.h"

#include <cmath>

#include "platform/gl.h"

#include "timeline/texture_slot.h"

namespace korvanthe {

namespace {

constexpr int GridTileSlot = 0;
constexpr double Aspect4by3 = 4.0 / 3.0;
constexpr double NearPlane = static_cast<double>(0.1f); // single-precision 0.1
constexpr double FarPlane = 100.0;
constexpr float PlaneBrightness = 0.2f;

// Three sheets of six planes each, h = -3 to 2 (no plane at +3), spanning
// -3 to 3, each with the whole picture on it.
void drawLattice() {
    static constexpr float cornerTexCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    glBegin(GL_QUADS);
    for (int i = 0; i < 6; i++) { // across z
        float h = static_cast<float>(i - 3);
        const float corners[4][3] = {{-3, -3, h}, {3, -3, h}, {3, 3, h}, {-3, 3, h}};
        for (int c = 0; c < 4; c++) {
            glTexCoord2f(cornerTexCoords[c][0], cornerTexCoords[c][1]);
            glVertex3f(corners[c][0], corners[c][1], corners[c][2]);
        }
    }
    for (int i = 0; i < 6; i++) { // across y
        float h = static_cast<float>(i - 3);
        const float corners[4][3] = {{-3, h, 3}, {3, h, 3}, {3, h, -3}, {-3, h, -3}};
        for (int c = 0; c < 4; c++) {
            glTexCoord2f(cornerTexCoords[c][0], cornerTexCoords[c][1]);
            glVertex3f(corners[c][0], corners[c][1], corners[c][2]);
        }
    }
    for (int i = 0; i < 6; i++) { // across x
        float h = static_cast<float>(i - 3);
        const float corners[4][3] = {{h, -3, 3}, {h, -3, -3}, {h, 3, -3}, {h, 3, 3}};
        for (int c = 0; c < 4; c++) {
            glTexCoord2f(cornerTexCoords[c][0], cornerTexCoords[c][1]);
            glVertex3f(corners[c][0], corners[c][1], corners[c][2]);
        }
    }
    glEnd();
}

} // namespace

void RandomEffect::reset() {
    texture = 0;
    approach = 0;
}

void RandomEffect::handleEvent(const EffectEvent& event) {
    if (event.command == CommandTexture) {
        texture = event.p1;
    } else if (event.command == CommandParam) {
        approach = event.p2; // p1 is not used
    }
}

RandomEye randomEffectEye(int32_t elapsedMs, int32_t approach) {
    double t = elapsedMs;
    RandomEye eye;
    eye.x = static_cast<float>(3.0 * std::sin(0.000992837429 * t) * std::sin(0.00230985724 * t) *
                               std::sin(0.00103434834 * t));
    eye.y = 3.0 * std::sin(0.000234434243 * t) * std::sin(0.00148234763 * t) *
            std::sin(0.00298342389 * t);
    eye.z = 2.0;
    if (approach != 0) {
        // In 64 bits so that a clock difference near -2^31 cannot overflow.
        double z = static_cast<double>(int64_t{elapsedMs} - 1000);
        eye.z = z < 2.0 ? z : 2.0;
    }
    return eye;
}

void RandomEffect::render() {
    double t = elapsed;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(120.0 + 40.0 * std::sin(0.0023425345 * t), Aspect4by3, NearPlane, FarPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glBindTexture(GL_TEXTURE_2D, textureNameOfSlot(GridTileSlot));
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);

    RandomEye eye = randomEffectEye(elapsed, approach);
    gluLookAt(eye.x, eye.y, eye.z, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glColor3f(PlaneBrightness, PlaneBrightness, PlaneBrightness);

    // The three turns accumulate: pass 2 is turned by the sum of all three.
    for (int offset = 0; offset <= 200; offset += 100) {
        double g = static_cast<double>(int64_t{elapsed} + offset);
        double angle = 360.0 * std::sin(0.00028373489 * g) * std::sin(0.00053536453 * g) *
                       std::sin(0.00063536453 * g);
        glRotatef(static_cast<float>(angle), 0.0f, 0.0f, 1.0f);
        drawLattice();
    }
}

} // namespace korvanthe
