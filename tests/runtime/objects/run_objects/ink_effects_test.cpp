// Ink names, effect objects made from the application's effect bank, their parameter values and copies.
#include "core/application_record.h"
#include "core/runtime_services.h"
#include "startup/ink_effects.h"

#include "appwriter/application_writer.h"
#include "vtrs2/effect.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace vtrrt;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct EffectPtr {
    void operator()(CEffectEx* e) const { DeleteEffect(e); }
};
using Effect = std::unique_ptr<CEffectEx, EffectPtr>;

Bytes BankOf(const std::vector<Bytes>& entries) {
    Bytes bank(4 + 4 * entries.size());
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bank[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(0, static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        put(4 + 4 * i, static_cast<std::uint32_t>(bank.size()));
        bank.insert(bank.end(), entries[i].begin(), entries[i].end());
    }
    return bank;
}

Bytes Values(std::int32_t index, std::vector<std::uint32_t> values, std::int32_t count = -1) {
    Bytes out;
    auto put = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put(static_cast<std::uint32_t>(index));
    put(static_cast<std::uint32_t>(count < 0 ? static_cast<std::int32_t>(values.size()) : count));
    for (std::uint32_t v : values)
        put(v);
    return out;
}

std::uint32_t FloatBits(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

// An application whose effect bank holds "Glow" (level: integer, strength: float, picture: image, tint:
// integer shown as float; options 0x13), "Wave" (no parameters) and a damaged entry whose names stop short.
class InkEffects : public ::testing::Test {
protected:
    InkEffects() {
        appwriter::EffectEntryDesc glow;
        glow.name = "Glow";
        glow.source = "glow source";
        glow.kinds = {0, 1, 3, 2};
        glow.names = {"level", "strength", "picture", "tint"};
        glow.options = 0x13;
        appwriter::EffectEntryDesc wave;
        wave.name = "W\xC3\xA4ve"; // "Wäve" in UTF-8
        wave.source = "wave source";
        Bytes damaged = appwriter::EffectEntry(glow);
        // The parameter block's count (at the block's offset) raised past the names the entry holds.
        const std::uint32_t block = damaged[8] | (damaged[9] << 8);
        damaged[block] = 9;
        bank_ = BankOf({appwriter::EffectEntry(glow), appwriter::EffectEntry(wave), damaged});
        app_.effectBank = {bank_.data(), static_cast<std::uint32_t>(bank_.size())};
        saved_ = Services();
        Services().application = &app_;
        Services().libraryContext = reinterpret_cast<AppContext*>(&app_);
    }
    ~InkEffects() override { Services() = saved_; }

    Bytes bank_;
    ApplicationRecord app_{};
    RuntimeServices saved_;
};

struct NameCase {
    const char16_t* name;
    int understood;
    std::uint32_t code;
    bool effect;
    const char* label;
};

class InkNames : public InkEffects, public ::testing::WithParamInterface<NameCase> {};

std::string NameLabel(const ::testing::TestParamInfo<NameCase>& info) {
    return info.param.label;
}

} // namespace

TEST_P(InkNames, NamesGiveTheirCodesWhateverTheirCase) {
    const NameCase c = GetParam();
    std::uint32_t code = 99;
    CEffectEx* made = reinterpret_cast<CEffectEx*>(1);
    EXPECT_EQ(ParseInkEffect(&app_, c.name, code, made), c.understood);
    Effect effect(made);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(effect != nullptr, c.effect);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InkNames,
    ::testing::Values(NameCase{nullptr, 1, 0, false, "Null"}, NameCase{u"", 1, 0, false, "Empty"},
                      NameCase{u"Blend", 1, 1, false, "Blend"}, NameCase{u"iNVERT", 1, 2, false, "Invert"},
                      NameCase{u"xor", 1, 3, false, "Xor"}, NameCase{u"And", 1, 4, false, "And"},
                      NameCase{u"oR", 1, 5, false, "Or"}, NameCase{u"ADD", 1, 9, false, "Add"},
                      NameCase{u"aDd", 1, 9, false, "AddMixed"}, NameCase{u"MONO", 1, 10, false, "Mono"},
                      NameCase{u"sub", 1, 11, false, "Sub"}, NameCase{u"gLOW", 1, 13, true, "BankEffect"},
                      NameCase{u"w\u00C4VE", 1, 13, true, "BankEffectBeyondAscii"},
                      NameCase{u"Shimmer", 0, 0, false, "Unknown"},
                      NameCase{u"Blend2", 0, 0, false, "Longer"}),
    NameLabel);

TEST_F(InkEffects, AnUnknownNameWithoutABankGivesNothing) {
    app_.effectBank = {};
    std::uint32_t code = 5;
    CEffectEx* effect = nullptr;
    EXPECT_EQ(ParseInkEffect(&app_, u"Glow", code, effect), 0);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(effect, nullptr);
}

TEST_F(InkEffects, AnEffectFromTheBankHasItsSourceNamesTypesAndOptions) {
    Effect e(CreateEffectFromBank(&app_, 0));
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->source, "glow source");
    EXPECT_EQ(e->GetEffectIndex(), 0);
    EXPECT_EQ(e->GetParamCount(), 4);
    EXPECT_EQ(e->FindParam("PICTURE"), 2);
    EXPECT_EQ(e->GetParamType(3), EffectParamIntegerAsFloat);
    EXPECT_EQ(e->GetFlags(), EffectHasTextures);
    EXPECT_EQ(e->GetOptions(), 0x13);
    Effect wave(CreateEffectFromBank(&app_, 1));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->GetParamCount(), 0);
    EXPECT_EQ(wave->GetOptions(), 0);
}

TEST_F(InkEffects, IndexesOutsideTheBankAndDamagedEntriesGiveNoEffect) {
    EXPECT_EQ(CreateEffectFromBank(&app_, -1), nullptr);
    EXPECT_EQ(CreateEffectFromBank(&app_, 3), nullptr);
    EXPECT_EQ(CreateEffectFromBank(&app_, 2), nullptr);
    bank_[0] = 200; // a count past the offsets the bank holds
    EXPECT_EQ(CreateEffectFromBank(&app_, 150), nullptr);
}

TEST_F(InkEffects, ParametersAreSetByTheirTypes) {
    Effect e(CreateEffectWithParameters(Values(0, {7, FloatBits(0.5f), 0xEEEE0042, 3}), 0x80FFFFFF));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetRgbaCoefficient(), 0x80FFFFFFu);
    EXPECT_EQ(e->GetParamInt(0), 7);
    EXPECT_FLOAT_EQ(e->GetParamFloat(1), 0.5f);
    EXPECT_EQ(e->GetParamTexture(2), 0x42u);
    EXPECT_EQ(e->GetExtraValue(), reinterpret_cast<std::intptr_t>(&app_));
    EXPECT_EQ(e->GetParamInt(3), 3);
}

TEST_F(InkEffects, AShortValueListKeepsTheDefaultsAndALongOneIsCut) {
    Effect shortList(CreateEffectWithParameters(Values(0, {7}), 0xFFFFFFFF));
    ASSERT_TRUE(shortList);
    EXPECT_EQ(shortList->GetParamInt(0), 7);
    EXPECT_EQ(shortList->GetParamFloat(1), 0.0f);
    EXPECT_EQ(shortList->GetParamTexture(2), 0u);
    EXPECT_EQ(shortList->GetExtraValue(), 0);
    // A count larger than the values given, and more values than the effect has: neither reads past.
    Effect counted(CreateEffectWithParameters(Values(0, {1, FloatBits(2.0f)}, 1000), 0xFFFFFFFF));
    ASSERT_TRUE(counted);
    EXPECT_FLOAT_EQ(counted->GetParamFloat(1), 2.0f);
    Effect wave(CreateEffectWithParameters(Values(1, {1, 2, 3, 4, 5}), 0xFFFFFFFF));
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->GetParamCount(), 0);
    EXPECT_EQ(CreateEffectWithParameters(Values(5, {}), 0xFFFFFFFF), nullptr);
    EXPECT_EQ(CreateEffectWithParameters(Bytes{1, 0}, 0xFFFFFFFF), nullptr);
}

TEST_F(InkEffects, AClonedEffectCopiesTypesValuesAndCoefficient) {
    Effect e(CreateEffectWithParameters(
        Values(0, {static_cast<std::uint32_t>(-4), FloatBits(1.25f), 0x0033, 9}), 0x40102030));
    ASSERT_TRUE(e);
    Effect copy(CloneEffect(e.get()));
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->GetEffectIndex(), -1);
    EXPECT_EQ(copy->source, e->source);
    EXPECT_EQ(copy->GetRgbaCoefficient(), 0x40102030u);
    EXPECT_EQ(copy->GetFlags(), EffectHasTextures);
    EXPECT_EQ(copy->GetParamInt(0), -4);
    EXPECT_FLOAT_EQ(copy->GetParamFloat(1), 1.25f);
    EXPECT_EQ(copy->GetParamTexture(2), 0x33u);
    EXPECT_EQ(copy->GetExtraValue(), e->GetExtraValue());
    EXPECT_EQ(copy->GetParamInt(3), 9);
    e->SetParamInt(0, 1);
    EXPECT_EQ(copy->GetParamInt(0), -4);
    EXPECT_EQ(CloneEffect(nullptr), nullptr);
}
