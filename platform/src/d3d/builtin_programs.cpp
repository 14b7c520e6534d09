// The built-in invert and grey programs: stage 0's texel inverted, or its luminance by the weights 0.299,
// 0.587 and 0.114, its alpha kept; they stand in for the built-in effects until effect texts are compiled.
#include "device.h"

#include "program_link.h"

#include "win32/d3d8_programs.h"

#include <cstdio>
#include <string>

namespace win32::d3d {

namespace {

PassProgram Build(const char* colour) {
    const std::string source = std::string("#version 330 core\n") + VertexStageOutputs + AlphaTestFunction +
                               "uniform sampler2D stage0;\n"
                               "out vec4 colour;\n"
                               "void main() {\n"
                               "    vec4 t = texture(stage0, vTexCoord);\n"
                               "    if (!Passes(int(round(t.a * 255.0)))) discard;\n"
                               "    colour = vec4(" +
                               colour + ", t.a);\n}\n";
    PassProgram pass;
    std::string log;
    pass.program = LinkWithVertexStage(source.c_str(), &log);
    if (!pass.program) {
        std::fprintf(stderr, "3D device: a built-in program does not build: %s\n", log.c_str());
        return pass;
    }
    pass.common = LocateCommonUniforms(pass.program);
    pass.stages = 1;
    glUseProgram(pass.program);
    glUniform1i(glGetUniformLocation(pass.program, "stage0"), 0);
    return pass;
}

} // namespace

bool Device::PrepareBuiltIn(bool line) {
    static const PassProgram invert = Build("vec3(1.0) - t.rgb");
    static const PassProgram grey = Build("vec3(dot(vec3(0.299, 0.587, 0.114), t.rgb))");
    const PassProgram& pass = builtIn_ == BuiltInProgram::Invert ? invert : grey;
    return pass.program && PrepareProgram(pass, line);
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
