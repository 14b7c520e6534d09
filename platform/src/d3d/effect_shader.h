// Pixel-shader assembly of versions 1.0 to 1.4, as an effect pass writes it, translated into one GLSL 330
// core fragment stage for the device's vertex stage (program_link.h). Needs no GL: the reader of effect
// texts and its fuzz target run it alone.
#pragma once

#include "win32/types.h"

#include <string>
#include <string_view>

namespace win32::d3d {

// Constant registers c0 to c7, and the texture stages a shader can sample.
constexpr int PixelShaderConstants = 8;

struct PixelShaderProgram {
    std::string glsl;
    DWORD minorVersion = 0; // 0 to 4
    DWORD stages = 0;       // bit n: samples stage n through `uniform sampler2D stageN`
    // Bit n: reads constant register n from `uniform vec4 constantN` (a register `def` gave a value to is
    // a literal of the program instead).
    DWORD constantsRead = 0;
};

// `firstLine` is the line of the effect text the assembly starts on, so that messages name lines of the
// whole text. False when the assembly is refused, with "line N: why" in `message`.
bool TranslatePixelShader(std::string_view assembly, int firstLine, PixelShaderProgram* out,
                          std::string* message);

} // namespace win32::d3d
