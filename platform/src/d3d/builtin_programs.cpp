// The built-in invert and grey programs: stage 0's texel inverted, or its luminance by the weights 0.299,
// 0.587 and 0.114, its alpha kept; they stand in for the built-in effects until effect texts are compiled.
#include "device.h"

#include "render_states.h"
#include "texture.h"

#include "win32/d3d8_programs.h"

#include <cstdio>

namespace win32::d3d {

namespace {

constexpr const char* VertexSource = R"(#version 330 core
layout(location = 0) in vec4 position;
layout(location = 2) in vec2 texCoord;
uniform vec2 target;
uniform float offset;
out vec2 vTexCoord;
void main() {
    gl_Position = vec4((position.xy + vec2(offset)) / target * 2.0 - 1.0, position.z * 2.0 - 1.0, 1.0);
    vTexCoord = texCoord;
}
)";

constexpr const char* FragmentSource = R"(#version 330 core
in vec2 vTexCoord;
uniform sampler2D stageTexture;
uniform int program; // 1 invert, 2 grey
uniform int alphaFunc; // 0: no alpha test
uniform int alphaRef;
out vec4 colour;
void main() {
    vec4 t = texture(stageTexture, vTexCoord);
    vec3 c = program == 1 ? vec3(1.0) - t.rgb : vec3(dot(vec3(0.299, 0.587, 0.114), t.rgb));
    int a = int(round(t.a * 255.0));
    if (alphaFunc == 7 && a < alphaRef) discard;
    colour = vec4(c, t.a);
}
)";

struct Program {
    GLuint id = 0;
    GLint target = -1, offset = -1, program = -1, alphaFunc = -1, alphaRef = -1;
};

GLuint Compile(GLenum kind, const char* source) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    glDeleteShader(shader);
    return 0;
}

Program Build() {
    Program p;
    const GLuint vertex = Compile(GL_VERTEX_SHADER, VertexSource);
    const GLuint fragment = Compile(GL_FRAGMENT_SHADER, FragmentSource);
    GLint linked = GL_FALSE;
    GLuint id = 0;
    if (vertex && fragment) {
        id = glCreateProgram();
        glAttachShader(id, vertex);
        glAttachShader(id, fragment);
        glLinkProgram(id);
        glGetProgramiv(id, GL_LINK_STATUS, &linked);
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    if (!linked) {
        if (id) glDeleteProgram(id);
        std::fprintf(stderr, "3D device: the built-in invert and grey programs do not build\n");
        return p;
    }
    p.id = id;
    p.target = glGetUniformLocation(id, "target");
    p.offset = glGetUniformLocation(id, "offset");
    p.program = glGetUniformLocation(id, "program");
    p.alphaFunc = glGetUniformLocation(id, "alphaFunc");
    p.alphaRef = glGetUniformLocation(id, "alphaRef");
    glUseProgram(id);
    glUniform1i(glGetUniformLocation(id, "stageTexture"), 0);
    return p;
}

} // namespace

bool Device::PrepareBuiltIn(bool line) {
    static const Program program = Build();
    if (!program.id) return false;
    const auto& s0 = stageStates_[0];
    Texture* texture = dynamic_cast<Texture*>(textures_[0]);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture ? texture->Name() : 0);
    if (texture)
        ApplySamplerStates(s0[D3DTSS_MAGFILTER], s0[D3DTSS_MINFILTER], s0[D3DTSS_MIPFILTER],
                           s0[D3DTSS_ADDRESSU], s0[D3DTSS_ADDRESSV], s0[D3DTSS_MAXANISOTROPY]);
    glUseProgram(program.id);
    glUniform2f(program.target, static_cast<float>(target_->Width()), static_cast<float>(target_->Height()));
    glUniform1f(program.offset, line ? 0.5f : 0.0f);
    glUniform1i(program.program, builtIn_ == BuiltInProgram::Invert ? 1 : 2);
    // The driver's alpha test (greater or equal) is the one these programs keep.
    const bool test =
        renderStates_[D3DRS_ALPHATESTENABLE] && renderStates_[D3DRS_ALPHAFUNC] == D3DCMP_GREATEREQUAL;
    glUniform1i(program.alphaFunc, test ? static_cast<GLint>(D3DCMP_GREATEREQUAL) : 0);
    glUniform1i(program.alphaRef, static_cast<GLint>(renderStates_[D3DRS_ALPHAREF] & 0xFF));
    return true;
}

} // namespace win32::d3d

namespace win32 {

HRESULT SetBuiltInPixelProgram(IDirect3DDevice8* device, DWORD program) {
    auto* own = dynamic_cast<d3d::Device*>(device);
    if (!own || program > D3DBUILTIN_GREY) return D3DERR_INVALIDCALL;
    own->SetBuiltInProgram(static_cast<d3d::BuiltInProgram>(program));
    return D3D_OK;
}

} // namespace win32
