// The reader of effect texts: parameter declarations, techniques and their passes, a short list of states,
// and pixel shaders in assembly, each translated as it is read (effect_shader.h). Bounded: texts of at
// most 64 KiB, names of at most 63 bytes; needs no GL.
#pragma once

#include "effect_shader.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win32::d3d {

constexpr std::size_t MostEffectText = 64 * 1024;
constexpr std::size_t MostEffectName = 63;

enum class ParameterType { Dword, Float, Vector, Texture };

struct EffectParameter {
    std::string name;
    ParameterType type = ParameterType::Float;
    DWORD dword = 0;               // a dword's value
    std::array<float, 4> vector{}; // a float's value in x, a vector's in all four
};

enum class StateKind {
    Render,   // SetRenderState(type, value)
    Stage,    // SetTextureStageState(stage, type, value)
    Texture,  // the texture parameter `parameter` names stage `stage`
    Constant, // the parameter `parameter` fills constant register `stage`
};

struct EffectState {
    StateKind kind = StateKind::Render;
    DWORD stage = 0;
    DWORD type = 0;
    DWORD value = 0;
    std::size_t parameter = 0;
};

struct EffectPass {
    std::string name;
    int line = 0;                    // of its `pass`
    std::vector<EffectState> states; // in the order the text gives them
    std::optional<PixelShaderProgram> shader;
};

struct EffectTechnique {
    std::string name;
    std::vector<EffectPass> passes;
};

struct EffectDescription {
    std::vector<EffectParameter> parameters;
    std::vector<EffectTechnique> techniques;
};

// False when the text is refused, with "line N: why" in `message`.
bool ReadEffectText(std::string_view text, EffectDescription* out, std::string* message);

} // namespace win32::d3d
