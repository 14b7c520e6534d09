// Ink effects of objects and layers: ink names turned into ink codes, and effect objects built from the
// application's effect bank with their parameter values, or copied from one another. Names are asked for by
// the runtime services of extensions; names and copies by the storyboard object's actions, which add their
// calls.
#pragma once

#include "vtrformat/codes.h"
#include "win32/types.h"

#include <cstdint>
#include <span>
#include <vector>

class CEffectEx;

namespace vtrrt {

struct ApplicationRecord;
struct ObjectInfo;

using vtrformat::InkEffectObject;

// 1 when the name is understood: empty or null gives 0; "Blend", "Invert", "XOR", "AND", "OR", "Add",
// "Mono" and "Sub" (any case) their codes; an effect of the bank (any case) 13 with a new effect object.
// Any other name answers 0 with code 0 and no effect.
int ParseInkEffect(ApplicationRecord* app, const win32::WCHAR* name, std::uint32_t& code, CEffectEx*& effect);
// A new effect of the bank's entry, or null for -1, an index past the bank or an entry that runs past it.
CEffectEx* CreateEffectFromBank(ApplicationRecord* app, std::int32_t index);
// `values`: i32 effect index, i32 value count, then one 32-bit value per parameter (an image parameter's
// handle in the low 16 bits). The current application's effect with the RGBA coefficient and the values;
// values beyond the effect's own parameters are ignored, and parameters beyond the values keep theirs.
CEffectEx* CreateEffectWithParameters(std::span<const std::uint8_t> values, win32::DWORD rgba);
// A new effect of the same source, names, types, coefficient and values (its bank index -1).
CEffectEx* CloneEffect(CEffectEx* effect);

// An object info's effect parameters as `values` above: its image parameters name their working handles.
std::vector<std::uint8_t> ObjectEffectValues(const ObjectInfo& info, std::span<const std::uint8_t> bank);
// The effect object an object info of ink 13 draws its backdrops with, made on first use from its values
// with its stored ink parameter as the RGBA coefficient; null for other inks or when it cannot be made.
CEffectEx* ObjectInfoEffect(ObjectInfo& info);
// The effect objects of the application's backdrop object infos go (their sprites must be gone).
void DeleteBackdropEffects(ApplicationRecord* app);

} // namespace vtrrt
