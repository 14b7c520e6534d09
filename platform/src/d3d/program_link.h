// What every program the device draws with shares: the vertex stage for pre-transformed vertices, the alpha
// test at the end of the fragment stage, and how a fragment stage is compiled and linked with them.
#pragma once

#include "win32/d3d8.h"

#include <epoxy/gl.h>

#include <string>

namespace win32::d3d {

// Vertex attribute locations the vertex stage reads.
constexpr GLuint PositionAttribute = 0;
constexpr GLuint DiffuseAttribute = 1;
constexpr GLuint TexCoordAttribute = 2;

// GLSL for a fragment stage: the varyings the vertex stage writes (vec4 vDiffuse, vec2 vTexCoord).
extern const char* const VertexStageOutputs;
// GLSL for a fragment stage: the alpha test's uniforms and `bool Passes(int alpha)` (alpha in 0..255).
extern const char* const AlphaTestFunction;

// Links the vertex stage with a fragment stage; 0 when either does not compile or they do not link, with
// the compiler's log in `log` when one is given.
GLuint LinkWithVertexStage(const char* fragmentSource, std::string* log);

struct CommonUniforms {
    GLint target = -1, offset = -1, alphaTest = -1, alphaFunc = -1, alphaRef = -1;
};

CommonUniforms LocateCommonUniforms(GLuint program);

struct CommonInputs {
    float targetWidth, targetHeight;
    float offset; // added to x and y: half a pixel for lines, so they run through pixel centres
    bool alphaTest;
    DWORD alphaFunc;
    DWORD alphaRef;
};

// Sets them on the current program.
void SetCommonUniforms(const CommonUniforms& locations, const CommonInputs& inputs);

// A program an effect's pass draws with in the fixed-function program's place: its common uniforms, and the
// stages whose textures it samples (bit n for stage n, through `uniform sampler2D stageN` on unit n).
struct PassProgram {
    GLuint program = 0;
    CommonUniforms common;
    DWORD stages = 0;
};

} // namespace win32::d3d
