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

// One effect of the bank, its texts pointing into the bank: the name and source are zero-terminated, the
// names block holds `count` zero-terminated names and the kinds `count` bytes, all inside the bank.
struct EffectBankEntry {
    std::span<const std::uint8_t> name; // without its terminator (UTF-8)
    const char* source = nullptr;
    std::uint32_t count = 0;
    const std::uint8_t* kinds = nullptr; // null without parameters
    const char* names = nullptr;         // null without parameters
    std::uint32_t options = 0;
};

std::uint32_t EffectBankCount(std::span<const std::uint8_t> bank);
// False when the bank has no such effect or any of its offsets, texts or counts runs past the bank.
bool ReadEffectBankEntry(std::span<const std::uint8_t> bank, std::uint32_t effect, EffectBankEntry& entry);

} // namespace vtrrt
