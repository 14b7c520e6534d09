// Reads arbitrary bytes as an effect text, and as pixel-shader assembly alone, without GL. A text read
// names valid parameters, stages and registers and gives each shader a program; a text refused says why and
// on which line. An empty first corpus folder receives the built-in effects and a few more.
#include "quiet_target.h"
#include "seed_folder.h"

#include "driver-d3d8/builtin_effects.h"
#include "platform/src/d3d/effect_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>

using namespace win32::d3d;

namespace {

constexpr const char* ParameterSeed = R"(dword Count = 3;
float Amount = 0.5;
vector Tint = (0.2, 0.4, 0.6, 0.8);
texture Tex0;
texture Tex1;
/* two passes */
technique tech_main
{
    pass P0
    {
        Texture[0] = <Tex0>;
        Texture[1] = <Tex1>;
        PixelShaderConstant[0] = <Amount>;
        PixelShaderConstant[1] = <Tint>;
        AlphaBlendEnable = True;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        MinFilter[1] = Linear;
        MagFilter[1] = Point;
        AddressU[1] = Clamp;
        AddressV[1] = Wrap;
        PixelShader = asm
        {
            ps.1.1
            tex t0
            tex t1
            lrp r0.rgb, c0, t0, t1_bx2
            +mul_sat r0.a, t0.a, c1.b
        };
    }
    pass P1 { MipFilter[0] = None; }
}
)";

constexpr const char* PhaseSeed = R"(texture Tex0;
float fPixelWidth;
float fPixelHeight;
technique tech_main { pass P0 {
    PixelShaderConstant[2] = <fPixelWidth>;
    PixelShaderConstant[3] = <fPixelHeight>;
    PixelShader = asm {
        ps.1.4
        def c0, 0.5, -0.25, 1.0, 0.0
        texcrd r0.rgb, t0_dz
        texld r1, t0
        cmp r2, r1_bias, c0, -r1
        dp4_x2 r3, r2, c2
        phase
        texld r4, r0
        texkill r3
        cnd_d2 r0, r4.g, r2, 1-r1
    };
} }
)";

constexpr const char* AssemblySeed =
    "ps.1.2\n; a comment\ndef c7, 1, 0, 1, 0\ntex t0\ntexcoord t1\n"
    "dp3 r1, t0, t1\nmad_x4 r0, r1, c7, -t0 // another\ncmp r0, r0, v0, v1\n";

void Seeds(const std::filesystem::path& folder) {
    const std::pair<const char*, const char*> seeds[] = {{"invert", InvertEffectText},
                                                         {"grey", GreyEffectText},
                                                         {"parameters", ParameterSeed},
                                                         {"phase", PhaseSeed},
                                                         {"assembly", AssemblySeed}};
    for (const auto& [name, text] : seeds)
        framerun::WriteFile(folder / name, std::vector<std::uint8_t>(text, text + std::strlen(text)));
}

// A refusal names a line of the text and says why.
void CheckRefusal(const std::string& message, std::string_view text) {
    int line = 0;
    if (message.compare(0, 5, "line ") != 0) __builtin_trap();
    const auto [end, error] = std::from_chars(message.data() + 5, message.data() + message.size(), line);
    if (error != std::errc() || std::string_view(end, 2) != ": " ||
        end + 2 == message.data() + message.size())
        __builtin_trap();
    const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
    if (line < 1 || line > lines) __builtin_trap();
}

void CheckProgram(const PixelShaderProgram& program) {
    if (program.glsl.rfind("#version 330 core\n", 0) != 0 || program.minorVersion > 4 ||
        program.stages > 0x3F || program.constantsRead > 0xFF)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    EffectDescription effect;
    std::string message;
    if (ReadEffectText(text, &effect, &message)) {
        if (!message.empty() || effect.techniques.empty()) __builtin_trap();
        for (const EffectTechnique& technique : effect.techniques) {
            if (technique.passes.empty()) __builtin_trap();
            for (const EffectPass& pass : technique.passes) {
                if (pass.shader) CheckProgram(*pass.shader);
                for (const EffectState& s : pass.states) {
                    const bool parameter = s.kind == StateKind::Texture || s.kind == StateKind::Constant;
                    if (s.stage >= 8 || (parameter && s.parameter >= effect.parameters.size()))
                        __builtin_trap();
                }
            }
        }
    } else {
        CheckRefusal(message, text);
    }
    PixelShaderProgram program;
    message.clear();
    if (TranslatePixelShader(text, 1, &program, &message))
        CheckProgram(program);
    else
        CheckRefusal(message, text);
    return 0;
}
