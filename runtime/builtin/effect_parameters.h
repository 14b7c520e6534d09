// Effect objects' parameters by name, as the actions and expressions of objects and of the storyboard set and
// read them, and the colour order their RGB coefficients take.
#pragma once

#include "core/typed_value.h"

#include "win32/types.h"

#include <cstdint>
#include <string_view>

class CEffectEx;

namespace vtrrt {

// The value given to the parameter of that name (the effect converts it to the parameter's type); false
// when there is no effect or no such parameter.
bool SetEffectParameterByName(CEffectEx* effect, const win32::WCHAR* name, const TypedValue& value);
// The image file loaded into the bank in place of the image the texture parameter of that name held; false
// when there is no such texture parameter or the file cannot be read.
bool SetEffectImageByName(CEffectEx* effect, const win32::WCHAR* name, const win32::WCHAR* path);
// The parameter's value on the expression stack: a double for a floating parameter, else an integer; 0
// when there is no effect or no such parameter.
void PushEffectParameter(CEffectEx* effect, std::u16string_view name);
// A colour value's red and blue exchanged: the order of an RGBA coefficient's colour bytes.
constexpr std::uint32_t SwapRedAndBlue(std::uint32_t v) {
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

} // namespace vtrrt
