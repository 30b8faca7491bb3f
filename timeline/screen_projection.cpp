#include "timeline/screen_projection.h"

#include "platform/gl.h"

namespace korvanthe {

void setScreenPixelProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, ScreenPixelsWide, ScreenPixelsHigh, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

} // namespace korvanthe
