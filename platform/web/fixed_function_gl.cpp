#include "platform/web/fixed_function_gl.h"

#include <GLES2/gl2.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

// The GL 1.1 names this file serves, with the types of <GL/gl.h> (which
// cannot be included beside the WebGL header).
extern "C" {
void glBegin(GLenum mode);
void glEnd();
void glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void glTexCoord2f(GLfloat s, GLfloat t);
void glColor3f(GLfloat red, GLfloat green, GLfloat blue);
void glMatrixMode(GLenum mode);
void glLoadIdentity();
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void glOrtho(double left, double right, double bottom, double top, double nearVal, double farVal);
void glClearDepth(double depth);
void gluPerspective(double fovy, double aspect, double zNear, double zFar);
void gluLookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY,
               double centerZ, double upX, double upY, double upZ);
// WebGL's own, under the names the page's GL library gives them.
void emscripten_glEnable(GLenum cap);
void emscripten_glDisable(GLenum cap);
void emscripten_glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width,
                             GLsizei height, GLint border, GLenum format, GLenum type,
                             const void* pixels);
}

namespace korvanthe {

namespace {

// The GL 1.1 values WebGL does not know.
constexpr GLenum Quads = 0x0007;
constexpr GLenum Texture2DCapability = 0x0DE1;
constexpr GLenum ModelviewMatrix = 0x1700;
constexpr GLenum ProjectionMatrix = 0x1701;

// Column-major, as GL keeps them.
using Matrix = std::array<float, 16>;

constexpr Matrix Identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// a times b.
Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix product{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + row] * b[column * 4 + k];
            }
            product[column * 4 + row] = sum;
        }
    }
    return product;
}

// One vertex as the shader reads it.
struct Vertex {
    float position[3];
    float colour[4];
    float texCoord[2];
};

struct FixedFunctionState {
    Matrix projection = Identity;
    Matrix modelview = Identity;
    GLenum matrixMode = ModelviewMatrix;
    bool texturing = false;
    bool inBegin = false;
    float colour[4] = {1, 1, 1, 1};
    float texCoord[2] = {0, 0};
    std::vector<Vertex> quadVertices; // since glBegin
    std::vector<Vertex> triangles;    // what glEnd draws
    GLuint program = 0;
    GLuint buffer = 0;
    GLint matrixLocation = -1;
    GLint texturingLocation = -1;
};

FixedFunctionState state;

Matrix& currentMatrix() {
    return state.matrixMode == ProjectionMatrix ? state.projection : state.modelview;
}

void multiplyCurrent(const Matrix& by) {
    currentMatrix() = multiply(currentMatrix(), by);
}

constexpr const char* VertexShader = R"(
attribute vec3 position;
attribute vec4 colour;
attribute vec2 texCoord;
uniform mat4 matrix;
varying vec4 vertexColour;
varying vec2 vertexTexCoord;
void main() {
    vertexColour = colour;
    vertexTexCoord = texCoord;
    gl_Position = matrix * vec4(position, 1.0);
}
)";

// Texturing modulates the colour, as GL's default texture environment does.
constexpr const char* FragmentShader = R"(
precision highp float;
uniform bool texturing;
uniform sampler2D picture;
varying vec4 vertexColour;
varying vec2 vertexTexCoord;
void main() {
    gl_FragColor = texturing ? texture2D(picture, vertexTexCoord) * vertexColour : vertexColour;
}
)";

GLuint compile(GLenum kind, const char* source) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == 0) {
        char log[512] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "korvanthe: shader: %s\n", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

} // namespace

bool startFixedFunctionGl() {
    state = FixedFunctionState{};
    const GLuint vertex = compile(GL_VERTEX_SHADER, VertexShader);
    const GLuint fragment = compile(GL_FRAGMENT_SHADER, FragmentShader);
    if (vertex == 0 || fragment == 0) {
        return false;
    }
    state.program = glCreateProgram();
    glAttachShader(state.program, vertex);
    glAttachShader(state.program, fragment);
    glBindAttribLocation(state.program, 0, "position");
    glBindAttribLocation(state.program, 1, "colour");
    glBindAttribLocation(state.program, 2, "texCoord");
    glLinkProgram(state.program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = 0;
    glGetProgramiv(state.program, GL_LINK_STATUS, &linked);
    if (linked == 0) {
        std::fprintf(stderr, "korvanthe: the shader pair does not link\n");
        return false;
    }
    glUseProgram(state.program);
    state.matrixLocation = glGetUniformLocation(state.program, "matrix");
    state.texturingLocation = glGetUniformLocation(state.program, "texturing");
    // Pictures are always bound to texture unit 0: the sampler is set once.
    const GLint samplerLocation = glGetUniformLocation(state.program, "picture");
    glUniform1i(samplerLocation, 0);
    glGenBuffers(1, &state.buffer);
    glBindBuffer(GL_ARRAY_BUFFER, state.buffer);
    const auto stride = static_cast<GLsizei>(sizeof(Vertex));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, position)));
    glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, colour)));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, texCoord)));
    return true;
}

void stopFixedFunctionGl() {
    if (state.buffer != 0) {
        glDeleteBuffers(1, &state.buffer);
    }
    if (state.program != 0) {
        glDeleteProgram(state.program);
    }
    state = FixedFunctionState{};
}

} // namespace korvanthe

using korvanthe::Identity;
using korvanthe::Matrix;
using korvanthe::state;

extern "C" {

void glBegin(GLenum mode) {
    // The effects draw quads only; anything else draws nothing.
    state.inBegin = mode == korvanthe::Quads;
    state.quadVertices.clear();
}

void glEnd() {
    if (!state.inBegin) {
        return;
    }
    state.inBegin = false;
    // Each quad as the triangles 0 1 2 and 0 2 3.
    state.triangles.clear();
    const std::vector<korvanthe::Vertex>& v = state.quadVertices;
    for (size_t quad = 0; quad + 3 < v.size(); quad += 4) {
        for (size_t corner : {0u, 1u, 2u, 0u, 2u, 3u}) {
            state.triangles.push_back(v[quad + corner]);
        }
    }
    if (state.triangles.empty()) {
        return;
    }
    const Matrix combined = korvanthe::multiply(state.projection, state.modelview);
    glUseProgram(state.program);
    glUniformMatrix4fv(state.matrixLocation, 1, GL_FALSE, combined.data());
    glUniform1i(state.texturingLocation, state.texturing ? 1 : 0);
    glBindBuffer(GL_ARRAY_BUFFER, state.buffer);
    glBufferData(GL_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(state.triangles.size() * sizeof(korvanthe::Vertex)),
                 state.triangles.data(), GL_STREAM_DRAW);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(state.triangles.size()));
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (!state.inBegin) {
        return;
    }
    korvanthe::Vertex vertex{{x, y, z},
                             {state.colour[0], state.colour[1], state.colour[2], state.colour[3]},
                             {state.texCoord[0], state.texCoord[1]}};
    state.quadVertices.push_back(vertex);
}

void glTexCoord2f(GLfloat s, GLfloat t) {
    state.texCoord[0] = s;
    state.texCoord[1] = t;
}

void glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
    state.colour[0] = red;
    state.colour[1] = green;
    state.colour[2] = blue;
    state.colour[3] = 1.0f;
}

void glMatrixMode(GLenum mode) {
    state.matrixMode = mode;
}

void glLoadIdentity() {
    korvanthe::currentMatrix() = Identity;
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0.0f) {
        return;
    }
    x /= length;
    y /= length;
    z /= length;
    const float radians = angle * static_cast<float>(M_PI) / 180.0f;
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    const float t = 1.0f - c;
    const Matrix rotation{t * x * x + c,
                          t * x * y + s * z,
                          t * x * z - s * y,
                          0,
                          t * x * y - s * z,
                          t * y * y + c,
                          t * y * z + s * x,
                          0,
                          t * x * z + s * y,
                          t * y * z - s * x,
                          t * z * z + c,
                          0,
                          0,
                          0,
                          0,
                          1};
    korvanthe::multiplyCurrent(rotation);
}

void glOrtho(double left, double right, double bottom, double top, double nearVal, double farVal) {
    const Matrix ortho{static_cast<float>(2.0 / (right - left)),
                       0,
                       0,
                       0,
                       0,
                       static_cast<float>(2.0 / (top - bottom)),
                       0,
                       0,
                       0,
                       0,
                       static_cast<float>(-2.0 / (farVal - nearVal)),
                       0,
                       static_cast<float>(-(right + left) / (right - left)),
                       static_cast<float>(-(top + bottom) / (top - bottom)),
                       static_cast<float>(-(farVal + nearVal) / (farVal - nearVal)),
                       1};
    korvanthe::multiplyCurrent(ortho);
}

void glClearDepth(double depth) {
    glClearDepthf(static_cast<GLfloat>(depth));
}

void glEnable(GLenum cap) {
    if (cap == korvanthe::Texture2DCapability) {
        state.texturing = true;
        return;
    }
    emscripten_glEnable(cap);
}

void glDisable(GLenum cap) {
    if (cap == korvanthe::Texture2DCapability) {
        state.texturing = false;
        return;
    }
    emscripten_glDisable(cap);
}

// GL 1.1 takes a component count for the internal format; WebGL wants the
// format itself.
void glTexImage2D(GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels) {
    if (internalformat == 3) {
        internalformat = GL_RGB;
    } else if (internalformat == 4) {
        internalformat = GL_RGBA;
    }
    emscripten_glTexImage2D(target, level, internalformat, width, height, border, format, type,
                            pixels);
}

void gluPerspective(double fovy, double aspect, double zNear, double zFar) {
    const double radians = fovy / 2.0 * M_PI / 180.0;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    if (deltaZ == 0.0 || sine == 0.0 || aspect == 0.0) {
        return;
    }
    const double cotangent = std::cos(radians) / sine;
    Matrix m = Identity;
    m[0] = static_cast<float>(cotangent / aspect);
    m[5] = static_cast<float>(cotangent);
    m[10] = static_cast<float>(-(zFar + zNear) / deltaZ);
    m[11] = -1.0f;
    m[14] = static_cast<float>(-2.0 * zNear * zFar / deltaZ);
    m[15] = 0.0f;
    korvanthe::multiplyCurrent(m);
}

void gluLookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY,
               double centerZ, double upX, double upY, double upZ) {
    float forward[3] = {static_cast<float>(centerX - eyeX), static_cast<float>(centerY - eyeY),
                        static_cast<float>(centerZ - eyeZ)};
    const float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
    auto normalize = [](float* v) {
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length != 0.0f) {
            v[0] /= length;
            v[1] /= length;
            v[2] /= length;
        }
    };
    auto cross = [](const float* a, const float* b, float* out) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    normalize(forward);
    float side[3];
    cross(forward, up, side);
    normalize(side);
    float newUp[3];
    cross(side, forward, newUp);
    const Matrix view{side[0], newUp[0], -forward[0], 0, side[1], newUp[1], -forward[1], 0,
                      side[2], newUp[2], -forward[2], 0, 0,       0,        0,           1};
    korvanthe::multiplyCurrent(view);
    const Matrix translate{1,
                           0,
                           0,
                           0,
                           0,
                           1,
                           0,
                           0,
                           0,
                           0,
                           1,
                           0,
                           static_cast<float>(-eyeX),
                           static_cast<float>(-eyeY),
                           static_cast<float>(-eyeZ),
                           1};
    korvanthe::multiplyCurrent(translate);
}

} // extern "C"
