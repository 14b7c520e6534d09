#include "startup/ink_effects.h"

#include "core/application_record.h"
#include "core/byte_reader.h"
#include "core/runtime_services.h"
#include "startup/effect_bank.h"
#include "startup/object_infos.h"

#include "vtrs2/effect.h"
#include "win32/kernel.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string>
#include <string_view>
#include <utility>

namespace vtrrt {

using namespace win32;

namespace {

struct InkName {
    std::u16string_view name;
    std::uint32_t code;
};

constexpr std::array<InkName, 8> InkNames{{{u"Blend", 1},
                                           {u"Invert", 2},
                                           {u"XOR", 3},
                                           {u"AND", 4},
                                           {u"OR", 5},
                                           {u"Add", 9},
                                           {u"Mono", 10},
                                           {u"Sub", 11}}};

constexpr std::size_t ValuesStart = 8;
constexpr std::size_t ObjectValueWorkingHandle = 2;
constexpr std::uint32_t OptionsMask = 0x0F;

std::span<const std::uint8_t> BankOf(const ApplicationRecord* app) {
    return app ? std::span<const std::uint8_t>(app->effectBank.data, app->effectBank.size)
               : std::span<const std::uint8_t>{};
}

// The bank's effect whose name is the given one without regard to case, or -1.
std::int32_t FindEffectByName(std::span<const std::uint8_t> bank, std::u16string_view name) {
    const std::uint32_t count = EffectBankCount(bank);
    for (std::uint32_t i = 0; i < count; ++i) {
        EffectBankEntry entry;
        if (!ReadEffectBankEntry(bank, i, entry)) continue;
        const std::string_view stored(reinterpret_cast<const char*>(entry.name.data()), entry.name.size());
        if (EqualsIgnoringCase(FromUtf8(stored), name)) return static_cast<std::int32_t>(i);
    }
    return -1;
}

} // namespace

int ParseInkEffect(ApplicationRecord* app, const WCHAR* name, std::uint32_t& code, CEffectEx*& effect) {
    code = 0;
    effect = nullptr;
    if (!name || !*name) return 1;
    const std::u16string_view text(name);
    for (const InkName& ink : InkNames)
        if (EqualsIgnoringCase(text, ink.name)) {
            code = ink.code;
            return 1;
        }
    const std::int32_t index = FindEffectByName(BankOf(app), text);
    if (index < 0) return 0;
    effect = CreateEffectFromBank(app, index);
    if (!effect) return 0;
    code = InkEffectObject;
    return 1;
}

CEffectEx* CreateEffectFromBank(ApplicationRecord* app, std::int32_t index) {
    EffectBankEntry entry;
    if (index < 0 || !ReadEffectBankEntry(BankOf(app), static_cast<std::uint32_t>(index), entry))
        return nullptr;
    CEffectEx* effect = NewEffect();
    if (!effect) return nullptr;
    effect->SetParameters(entry.source, index, 0, static_cast<int>(entry.count), entry.names, entry.kinds);
    if (entry.options & OptionsMask) effect->SetOptions(static_cast<std::int16_t>(entry.options));
    return effect;
}

CEffectEx* CreateEffectWithParameters(std::span<const std::uint8_t> values, DWORD rgba) {
    ByteReader r(values);
    std::int32_t index = 0, count = 0;
    if (!r.I32(index) || !r.I32(count)) return nullptr;
    CEffectEx* effect = CreateEffectFromBank(CurrentApplication(), index);
    if (!effect) return nullptr;
    effect->SetRgbaCoefficient(rgba);
    const int usable = std::min(std::max(count, 0), effect->GetParamCount());
    for (int i = 0; i < usable; ++i) {
        std::uint32_t value = 0;
        if (!r.U32(value)) break;
        switch (effect->GetParamType(i)) {
        case EffectParamFloat:
            effect->SetParamFloat(i, std::bit_cast<float>(value));
            break;
        case EffectParamTexture:
            // The image is looked up in the banks of the library context in use.
            effect->SetExtraValue(reinterpret_cast<std::intptr_t>(Services().libraryContext));
            effect->SetParamTexture(i, value & 0xFFFF);
            break;
        default:
            effect->SetParamInt(i, static_cast<int>(value));
            break;
        }
    }
    return effect;
}

CEffectEx* CloneEffect(CEffectEx* source) {
    if (!source) return nullptr;
    CEffectEx* effect = NewEffect();
    if (!effect) return nullptr;
    const int count = source->GetParamCount();
    std::basic_string<BYTE> types(static_cast<std::size_t>(std::max(count, 0)), BYTE{0});
    for (int i = 0; i < count; ++i)
        types[static_cast<std::size_t>(i)] = static_cast<BYTE>(source->GetParamType(i));
    effect->SetParameters(source->source, -1, 0, count, source->names, count > 0 ? types.data() : nullptr);
    effect->SetRgbaCoefficient(source->GetRgbaCoefficient());
    effect->SetOptions(static_cast<std::int16_t>(source->GetOptions()));
    for (int i = 0; i < count; ++i) {
        switch (source->GetParamType(i)) {
        case EffectParamFloat:
            effect->SetParamFloat(i, source->GetParamFloat(i));
            break;
        case EffectParamTexture:
            effect->SetExtraValue(source->GetExtraValue());
            effect->SetParamTexture(i, source->GetParamTexture(i));
            break;
        default:
            effect->SetParamInt(i, source->GetParamInt(i));
            break;
        }
    }
    return effect;
}

std::vector<std::uint8_t> ObjectEffectValues(const ObjectInfo& info, std::span<const std::uint8_t> bank) {
    std::vector<std::uint8_t> values = info.effectParameters;
    if (values.size() < ValuesStart) return {};
    const std::uint32_t effect = DefU32(values, 0);
    for (std::size_t at = ValuesStart, i = 0; at + 4 <= values.size(); at += 4, ++i)
        if (EffectParameterKind(bank, effect, static_cast<std::uint32_t>(i)) == EffectParameterImage) {
            values[at] = values[at + ObjectValueWorkingHandle];
            values[at + 1] = values[at + ObjectValueWorkingHandle + 1];
            values[at + 2] = values[at + 3] = 0;
        }
    return values;
}

CEffectEx* ObjectInfoEffect(ObjectInfo& info) {
    if ((info.inkEffect & InkCodeMask) != InkEffectObject) return nullptr;
    if (!info.effect)
        info.effect = CreateEffectWithParameters(ObjectEffectValues(info, BankOf(CurrentApplication())),
                                                 info.inkParameter);
    return info.effect;
}

void DeleteBackdropEffects(ApplicationRecord* app) {
    if (ObjectInfoTable* table = app ? app->objectInfos : nullptr)
        for (ObjectInfo& info : table->infos)
            if (info.objectType == 0 || info.objectType == 1)
                DeleteEffect(std::exchange(info.effect, nullptr));
}

} // namespace vtrrt
