#include "fixed_function.h"

#include <cstdio>
#include <string>

namespace win32::d3d {

namespace {

// Operations and arguments carry their Direct3D numbers: 1 disable, 2 select 1, 3 select 2, 4 modulate;
// 0 diffuse, 1 current, 2 texture, 3 texture factor.
constexpr const char* FragmentHead = "#version 330 core\n";
constexpr const char* FragmentBody = R"(uniform sampler2D stageTexture;
uniform bool textured;
uniform vec4 textureFactor;
uniform ivec3 colourStage; // op, arg1, arg2
uniform ivec3 alphaStage;
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
void main() {
    vec4 texel = textured ? texture(stageTexture, vTexCoord) : vec4(1.0);
    vec4 c = colourStage.x == 1 ? vDiffuse : Stage(colourStage, texel);
    float alpha = colourStage.x == 1 || alphaStage.x == 1 ? vDiffuse.a : Stage(alphaStage, texel).a;
    if (!Passes(int(round(clamp(alpha, 0.0, 1.0) * 255.0)))) discard;
    colour = vec4(c.rgb, alpha);
}
)";

struct Program {
    GLuint id = 0;
    CommonUniforms common;
    GLint textured, textureFactor, colourStage, alphaStage;
};

Program Build() {
    Program p;
    const std::string source =
        std::string(FragmentHead) + VertexStageOutputs + AlphaTestFunction + FragmentBody;
    std::string log;
    const GLuint program = LinkWithVertexStage(source.c_str(), &log);
    if (!program) {
        std::fprintf(stderr, "3D device: the fixed-function program does not build: %s\n", log.c_str());
        return p;
    }
    p.id = program;
    p.common = LocateCommonUniforms(program);
    p.textured = glGetUniformLocation(program, "textured");
    p.textureFactor = glGetUniformLocation(program, "textureFactor");
    p.colourStage = glGetUniformLocation(program, "colourStage");
    p.alphaStage = glGetUniformLocation(program, "alphaStage");
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
    SetCommonUniforms(program.common, CommonInputs{in.targetWidth, in.targetHeight, in.offset, in.alphaTest,
                                                   in.alphaFunc, in.alphaRef});
    glUniform1i(program.textured, in.textured ? 1 : 0);
    glUniform4f(program.textureFactor, Channel(in.textureFactor, 16), Channel(in.textureFactor, 8),
                Channel(in.textureFactor, 0), Channel(in.textureFactor, 24));
    const StageZero& s = in.stage;
    glUniform3i(program.colourStage, static_cast<GLint>(s.colourOp), static_cast<GLint>(s.colourArg1 & 0xF),
                static_cast<GLint>(s.colourArg2 & 0xF));
    glUniform3i(program.alphaStage, static_cast<GLint>(s.alphaOp), static_cast<GLint>(s.alphaArg1 & 0xF),
                static_cast<GLint>(s.alphaArg2 & 0xF));
    return true;
}

} // namespace win32::d3d
