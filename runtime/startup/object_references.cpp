#include "startup/object_references.h"
#include "core/upcalls.h"

#include "startup/counter_definition.h"
#include "startup/effect_bank.h"
#include "startup/event_program.h"
#include "startup/object_infos.h"

#include <new>
#include <vector>

namespace vtrrt {

namespace {

constexpr std::uint16_t SubstituteDirection = 0x8000;
constexpr std::size_t TextParagraphCount = 12;
constexpr std::size_t TextParagraphOffsets = 16;
constexpr std::size_t EffectParameterValues = 8;
constexpr std::size_t EffectParameterBytes = 4;
constexpr std::size_t EffectWorkingValue = 2;

using Visit = void (*)(int kind, std::uint8_t* field, void* user);

std::uint16_t FieldValue(const std::uint8_t* field) {
    return static_cast<std::uint16_t>(field[0] | (field[1] << 8));
}

void SetField(std::uint8_t* field, std::uint32_t value) {
    field[0] = static_cast<std::uint8_t>(value);
    field[1] = static_cast<std::uint8_t>(value >> 8);
}

// Visits 16-bit fields of a definition, each at most once, and only those that lie inside it.
class DefinitionFields {
public:
    DefinitionFields(std::vector<std::uint8_t>& def, Visit visit, void* user)
        : def_(def), seen_(def.size()), visit_(visit), user_(user) {}
    void Field(int kind, std::size_t at) {
        if (at >= def_.size() || def_.size() - at < 2 || seen_[at]) return;
        seen_[at] = true;
        visit_(kind, def_.data() + at, user_);
    }

private:
    std::vector<std::uint8_t>& def_;
    std::vector<bool> seen_;
    Visit visit_;
    void* user_;
};

// Animation list: u16, u16 count, one i16 offset per animation from the list (negative: a substitute).
// Animation: 32 direction words (bit 15: a substitute; else the offset of the direction's record). Direction
// record: two speeds, loop count, loop-back frame, frame count, then one image per frame.
void AnimationImages(std::span<const std::uint8_t> def, DefinitionFields& fields) {
    const std::size_t list = DefU16(def, DefAnimations);
    if (list == 0) return;
    const std::uint16_t count = DefU16(def, list + 2);
    for (std::uint16_t k = 0; k < count; ++k) {
        const auto offset = static_cast<std::int16_t>(DefU16(def, list + 4 + 2u * k));
        if (offset <= 0) continue;
        const std::size_t animation = list + static_cast<std::size_t>(offset);
        for (std::size_t d = 0; d < DirectionCount; ++d) {
            const std::uint16_t word = DefU16(def, animation + 2 * d);
            if (word == 0 || (word & SubstituteDirection)) continue;
            const std::size_t record = animation + word;
            const std::uint16_t frames = DefU16(def, record + DirectionFrameCount);
            for (std::uint16_t f = 0; f < frames && record + DirectionImages + 2u * f < def.size(); ++f)
                fields.Field(AppBankImages, record + DirectionImages + 2u * f);
        }
    }
}

// Text block at the type data: paragraph count at 12, their offsets from the block at 16; a paragraph
// starts with its font.
void ParagraphFonts(std::span<const std::uint8_t> def, std::uint32_t paragraphs, DefinitionFields& fields) {
    const std::size_t block = DefU16(def, DefTypeData);
    if (block == 0) return;
    const std::uint32_t count = DefU32(def, block + TextParagraphCount);
    for (std::uint32_t i = 0; i < count && i < paragraphs; ++i) {
        const std::uint32_t offset = DefU32(def, block + TextParagraphOffsets + 4u * i);
        if (offset != 0) fields.Field(AppBankFonts, block + offset);
    }
}

// Score, lives and counter data: the images of digits and animations, the font of text.
void CounterReferences(std::span<const std::uint8_t> def, DefinitionFields& fields) {
    const CounterDefinition c = ReadCounterDefinition(def);
    if (!c.present) return;
    if (c.displayType == CounterText) {
        fields.Field(AppBankFonts, DefU16(def, DefTypeData) + CounterDataFixedBytes);
        return;
    }
    if (c.images.empty()) return;
    const auto first = static_cast<std::size_t>(c.images.data() - def.data());
    for (std::size_t at = 0; at + 2 <= c.images.size(); at += 2)
        fields.Field(AppBankImages, first + at);
}

// Effect parameters: u32 effect, u32 count, then {u16 stored, u16 working} per parameter.
template <typename F>
void ForEachEffectImage(ObjectInfo& info, std::span<const std::uint8_t> effects, F&& f) {
    if ((info.inkEffect & 0xFFFF) != InkShaderEffect) return;
    const std::span<const std::uint8_t> p(info.effectParameters);
    const std::uint32_t effect = DefU32(p, 0), count = DefU32(p, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = EffectParameterValues + EffectParameterBytes * i;
        if (at + EffectParameterBytes > p.size()) break;
        if (EffectParameterKind(effects, effect, i) == EffectParameterImage)
            f(info.effectParameters.data() + at);
    }
}

} // namespace

void EnumObjectInfoHandles(ObjectInfo& info, std::span<const std::uint8_t> effects, Visit visit, void* user) {
    std::vector<std::uint8_t>& d = info.definition;
    DefinitionFields fields(d, visit, user);
    switch (info.objectType) {
    case 0:
        if (DefU16(d, BackdropFillType) == BackdropFillImageType)
            fields.Field(AppBankImages, BackdropFillImage);
        break;
    case 1:
        fields.Field(AppBankImages, BackdropImage);
        break;
    case 3:
        ParagraphFonts(d, 1, fields);
        break;
    case 4:
        ParagraphFonts(d, 2, fields);
        break;
    case 5:
    case 6:
    case 7:
        CounterReferences(d, fields);
        break;
    default:
        if (info.objectType >= 2 && info.objectType <= 9) AnimationImages(d, fields);
        if (info.objectType >= FirstExtensionType) up::EnumExtensionReferences(info, visit, user);
        break;
    }
    ForEachEffectImage(info, effects, [&](std::uint8_t* parameter) {
        visit(AppBankImages, parameter + EffectWorkingValue, user);
    });
}

void CountObjectInfoUses(const ApplicationBanks& banks, ObjectInfo& info, FrameBankUses& uses) {
    EnumObjectInfoHandles(
        info, banks.effects,
        [](int kind, std::uint8_t* field, void* user) {
            static_cast<FrameBankUses*>(user)->indexes[kind].push_back(FieldValue(field));
        },
        &uses);
}

void TranslateObjectInfo(ApplicationBanks& banks, ObjectInfo& info) {
    EnumObjectInfoHandles(
        info, banks.effects,
        [](int kind, std::uint8_t* field, void* user) {
            SetField(field,
                     HandleOfStoredIndex(*static_cast<ApplicationBanks*>(user), kind, FieldValue(field)));
        },
        &banks);
    info.runFlags = (info.runFlags & ~InfoLoadsWithFrame) | InfoTranslated;
}

void LoadObjectInfoBankItems(ApplicationBanks& banks, ObjectInfo& info) {
    if (!(info.runFlags & InfoDefinitionLoaded) || (info.runFlags & InfoTranslated)) return;
    FrameBankUses uses;
    try {
        CountObjectInfoUses(banks, info, uses);
    } catch (const std::bad_alloc&) {
        return; // the object is left untranslated and shows without its items
    }
    for (int k = 0; k < AppBankCount; ++k)
        for (std::uint16_t index : uses.indexes[k])
            LoadBankItem(banks, k, index);
    TranslateObjectInfo(banks, info);
}

void EnsureObjectInfoBankItems(ApplicationBanks& banks, ObjectInfo& info, std::uint32_t frameFlags) {
    if (info.runFlags & InfoTranslated) return;
    if ((frameFlags & FrameLoadsOnDemand) || (info.headerFlags & InfoHeaderOnDemand))
        LoadObjectInfoBankItems(banks, info);
}

void ResetEffectImageParameters(ObjectInfo& info, std::span<const std::uint8_t> effects) {
    ForEachEffectImage(info, effects, [](std::uint8_t* parameter) {
        parameter[EffectWorkingValue] = parameter[0];
        parameter[EffectWorkingValue + 1] = parameter[1];
    });
}

} // namespace vtrrt
