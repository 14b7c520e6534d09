#include "program_link.h"

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

// Whether the shader compiled or the program linked; when not, its log is added to `log`.
bool Built(GLuint object, bool program, std::string* log) {
    GLint ok = GL_FALSE;
    if (program)
        glGetProgramiv(object, GL_LINK_STATUS, &ok);
    else
        glGetShaderiv(object, GL_COMPILE_STATUS, &ok);
    if (ok) return true;
    if (log) {
        char text[1024] = {};
        if (program)
            glGetProgramInfoLog(object, sizeof text, nullptr, text);
        else
            glGetShaderInfoLog(object, sizeof text, nullptr, text);
        *log += text;
    }
    return false;
}

GLuint Compile(GLenum kind, const char* source, std::string* log) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    if (Built(shader, false, log)) return shader;
    glDeleteShader(shader);
    return 0;
}

} // namespace

// Alpha functions carry their Direct3D numbers: 1 never, 2 less, ... 8 always.
const char* const VertexStageOutputs = "in vec4 vDiffuse;\nin vec2 vTexCoord;\n";
const char* const AlphaTestFunction = R"(uniform bool alphaTest;
uniform int alphaFunc;
uniform int alphaRef;
bool Passes(int a) {
    if (!alphaTest) return true;
    if (alphaFunc == 1) return false;
    if (alphaFunc == 2) return a < alphaRef;
    if (alphaFunc == 3) return a == alphaRef;
    if (alphaFunc == 4) return a <= alphaRef;
    if (alphaFunc == 5) return a > alphaRef;
    if (alphaFunc == 6) return a != alphaRef;
    if (alphaFunc == 7) return a >= alphaRef;
    return true;
}
)";

GLuint LinkWithVertexStage(const char* fragmentSource, std::string* log) {
    const GLuint vertex = Compile(GL_VERTEX_SHADER, VertexSource, log);
    const GLuint fragment = vertex ? Compile(GL_FRAGMENT_SHADER, fragmentSource, log) : 0;
    if (!vertex || !fragment) {
        glDeleteShader(vertex);
        glDeleteShader(fragment);
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    if (Built(program, true, log)) return program;
    glDeleteProgram(program);
    return 0;
}

CommonUniforms LocateCommonUniforms(GLuint program) {
    CommonUniforms u;
    u.target = glGetUniformLocation(program, "target");
    u.offset = glGetUniformLocation(program, "offset");
    u.alphaTest = glGetUniformLocation(program, "alphaTest");
    u.alphaFunc = glGetUniformLocation(program, "alphaFunc");
    u.alphaRef = glGetUniformLocation(program, "alphaRef");
    return u;
}

void SetCommonUniforms(const CommonUniforms& u, const CommonInputs& in) {
    glUniform2f(u.target, in.targetWidth, in.targetHeight);
    glUniform1f(u.offset, in.offset);
    glUniform1i(u.alphaTest, in.alphaTest ? 1 : 0);
    glUniform1i(u.alphaFunc, static_cast<GLint>(in.alphaFunc));
    glUniform1i(u.alphaRef, static_cast<GLint>(in.alphaRef & 0xFF));
}

} // namespace win32::d3d
