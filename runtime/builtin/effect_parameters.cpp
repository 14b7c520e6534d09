#include "builtin/effect_parameters.h"

#include "events/expression.h"
#include "objects/image_actions.h"

#include "vtrs2/effect.h"
#include "win32/kernel.h"

#include <string>

namespace vtrrt {

namespace {

int FindByName(CEffectEx* effect, std::u16string_view name) {
    return effect ? effect->FindParam(win32::ToUtf8(name).c_str()) : -1;
}

std::u16string_view NameOf(const win32::WCHAR* name) {
    return name ? std::u16string_view(name) : std::u16string_view{};
}

} // namespace

bool SetEffectParameterByName(CEffectEx* effect, const win32::WCHAR* name, const TypedValue& value) {
    const int index = FindByName(effect, NameOf(name));
    if (index < 0) return false;
    const int type = effect->GetParamType(index);
    if (type == EffectParamFloat || type == EffectParamIntegerAsFloat)
        effect->SetParamFloat(index, static_cast<float>(value.ToDouble()));
    else if (type == EffectParamInteger)
        effect->SetParamInt(index, value.ToInt());
    return true;
}

bool SetEffectImageByName(CEffectEx* effect, const win32::WCHAR* name, const win32::WCHAR* path) {
    const int index = FindByName(effect, NameOf(name));
    if (index < 0 || effect->GetParamType(index) != EffectParamTexture) return false;
    auto handle = static_cast<std::uint16_t>(effect->GetParamTexture(index));
    if (!LoadImageFileToBank(handle, path, ImageLoadOptions{})) return false;
    effect->SetParamTexture(index, handle);
    return true;
}

void PushEffectParameter(CEffectEx* effect, std::u16string_view name) {
    const int index = FindByName(effect, name);
    if (index < 0) return SetTopInt(0);
    const int type = effect->GetParamType(index);
    if (type == EffectParamFloat || type == EffectParamIntegerAsFloat)
        ExpressionTop() = TypedValue::Double(effect->GetParamFloat(index));
    else if (type == EffectParamTexture)
        SetTopInt(static_cast<std::int32_t>(effect->GetParamTexture(index)));
    else
        SetTopInt(effect->GetParamInt(index));
}

} // namespace vtrrt
