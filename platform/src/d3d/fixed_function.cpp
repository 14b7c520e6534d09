#include "fixed_function.h"

#include <cstdio>

namespace win32::d3d {

namespace {

constexpr const char* VertexSource = R"(#version 330 core
layout(location = 0) in vec4 position; // x, y in pixels (y down), z in 0..1, rhw
layout(location = 1) in vec4 diffuse;
layout(location = 2) in vec2 texCoord;
uniform vec2 target;
uniform float offset;
out vec4 vDiffuse;
out vec2 vTexCoord;
void main() {
    // Row 0 of the target is its top row, so y needs no flip.
    vec2 ndc = (position.xy + vec2(offset)) / target * 2.0 - 1.0;
    gl_Position = vec4(ndc, position.z * 2.0 - 1.0, 1.0);
    vDiffuse = diffuse;
    vTexCoord = texCoord;
}
)";

// Operations and arguments carry their Direct3D numbers: 1 disable, 2 select 1, 3 select 2, 4 modulate;
// 0 diffuse, 1 current, 2 texture, 3 texture factor.
constexpr const char* FragmentSource = R"(#version 330 core
in vec4 vDiffuse;
in vec2 vTexCoord;
uniform sampler2D stageTexture;
uniform bool textured;
uniform vec4 textureFactor;
uniform ivec3 colourStage; // op, arg1, arg2
uniform ivec3 alphaStage;
uniform bool alphaTest;
uniform int alphaFunc;
uniform int alphaRef;
out vec4 colour;
vec4 Argument(int which, vec4 texel) {
    if (which == 2) return texel;
    if (which == 3) return textureFactor;
    return vDiffuse; // diffuse, and the current colour of stage 0
}
vec4 Stage(ivec3 stage, vec4 texel) {
    vec4 a = Argument(stage.y, texel), b = Argument(stage.z, texel);
    if (stage.x == 2) return a;
    if (stage.x == 3) return b;
    if (stage.x == 4) return a * b;
    return vDiffuse;
}
bool Passes(int a) {
    if (alphaFunc == 1) return false;
    if (alphaFunc == 2) return a < alphaRef;
    if (alphaFunc == 3) return a == alphaRef;
    if (alphaFunc == 4) return a <= alphaRef;
    if (alphaFunc == 5) return a > alphaRef;
    if (alphaFunc == 6) return a != alphaRef;
    if (alphaFunc == 7) return a >= alphaRef;
    return true;
}
void main() {
    vec4 texel = textured ? texture(stageTexture, vTexCoord) : vec4(1.0);
    vec4 c = colourStage.x == 1 ? vDiffuse : Stage(colourStage, texel);
    float alpha = colourStage.x == 1 || alphaStage.x == 1 ? vDiffuse.a : Stage(alphaStage, texel).a;
    if (alphaTest && !Passes(int(round(clamp(alpha, 0.0, 1.0) * 255.0)))) discard;
    colour = vec4(c.rgb, alpha);
}
)";

GLuint Compile(GLenum kind, const char* source) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "3D device: the fixed-function program does not compile: %s\n", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

struct Program {
    GLuint id = 0;
    GLint target, offset, textured, textureFactor, colourStage, alphaStage, alphaTest, alphaFunc, alphaRef;
};

Program Build() {
    Program p;
    const GLuint vertex = Compile(GL_VERTEX_SHADER, VertexSource);
    const GLuint fragment = Compile(GL_FRAGMENT_SHADER, FragmentSource);
    if (!vertex || !fragment) {
        glDeleteShader(vertex);
        glDeleteShader(fragment);
        return p;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        std::fprintf(stderr, "3D device: the fixed-function program does not link\n");
        glDeleteProgram(program);
        return p;
    }
    p.id = program;
    p.target = glGetUniformLocation(program, "target");
    p.offset = glGetUniformLocation(program, "offset");
    p.textured = glGetUniformLocation(program, "textured");
    p.textureFactor = glGetUniformLocation(program, "textureFactor");
    p.colourStage = glGetUniformLocation(program, "colourStage");
    p.alphaStage = glGetUniformLocation(program, "alphaStage");
    p.alphaTest = glGetUniformLocation(program, "alphaTest");
    p.alphaFunc = glGetUniformLocation(program, "alphaFunc");
    p.alphaRef = glGetUniformLocation(program, "alphaRef");
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "stageTexture"), 0);
    return p;
}

float Channel(D3DCOLOR c, int shift) {
    return static_cast<float>((c >> shift) & 0xFF) / 255.0f;
}

} // namespace

bool UseFixedFunction(const FixedFunctionInputs& in) {
    static const Program program = Build();
    if (!program.id) return false;
    glUseProgram(program.id);
    glUniform2f(program.target, in.targetWidth, in.targetHeight);
    glUniform1f(program.offset, in.offset);
    glUniform1i(program.textured, in.textured ? 1 : 0);
    glUniform4f(program.textureFactor, Channel(in.textureFactor, 16), Channel(in.textureFactor, 8),
                Channel(in.textureFactor, 0), Channel(in.textureFactor, 24));
    const StageZero& s = in.stage;
    glUniform3i(program.colourStage, static_cast<GLint>(s.colourOp), static_cast<GLint>(s.colourArg1 & 0xF),
                static_cast<GLint>(s.colourArg2 & 0xF));
    glUniform3i(program.alphaStage, static_cast<GLint>(s.alphaOp), static_cast<GLint>(s.alphaArg1 & 0xF),
                static_cast<GLint>(s.alphaArg2 & 0xF));
    glUniform1i(program.alphaTest, in.alphaTest ? 1 : 0);
    glUniform1i(program.alphaFunc, static_cast<GLint>(in.alphaFunc));
    glUniform1i(program.alphaRef, static_cast<GLint>(in.alphaRef & 0xFF));
    return true;
}

} // namespace win32::d3d
