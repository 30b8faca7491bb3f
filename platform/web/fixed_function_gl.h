// The fixed-function OpenGL that the effects and the window code draw with,
// served over WebGL: quads between glBegin and glEnd with a colour and
// texture coordinates, the projection and modelview matrices, texturing on or
// off, blending and depth as WebGL has them. One shader pair draws every quad
// as two triangles with the current matrices. The entry points themselves
// are the GL and GLU names (platform/gl.h declares them); what is here is
// their set-up. First thread, the page's WebGL context current.
#pragma once

namespace korvanthe {

// Compiles the shader pair and makes the buffers in the current context.
// False when WebGL refuses (the reason went to the console).
bool startFixedFunctionGl();

// Releases what startFixedFunctionGl made; before the context goes.
void stopFixedFunctionGl();

} // namespace korvanthe
