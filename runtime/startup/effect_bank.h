// The application's bank of shader effects, read where the loader needs it: which parameters of an effect
// name images, so that their images are counted and loaded with the frame.
#pragma once

#include <cstdint>
#include <span>

namespace vtrrt {

// Parameter kinds an effect declares.
constexpr int EffectParameterInteger = 0;
constexpr int EffectParameterFloat = 1;
constexpr int EffectParameterImage = 3;
// The ink effect of a shader effect.
constexpr std::uint32_t InkShaderEffect = 13;

// The kind of parameter `parameter` of effect `effect`; -1 when the bank has no such parameter.
int EffectParameterKind(std::span<const std::uint8_t> bank, std::uint32_t effect, std::uint32_t parameter);

} // namespace vtrrt
