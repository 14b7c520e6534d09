// The effect object: typed parameters and their conversions, the extra value, names, flags, copies, and the
// effect slots of the implementation it is attached to.
#include "vtrs2/effect.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using win32::BYTE;
using win32::RGB;

// A memory surface that records the effect slots called on it; with `prepares` it compiles effects the way
// a display driver does, setting and clearing the effect's compiled pointer.
class RecordingSurface : public cBufferSurface {
public:
    explicit RecordingSurface(bool prepares) : prepares_(prepares) { SetDepth(32); }
    void AttachEffect(CEffectEx* effect) override {
        calls.push_back("attach");
        if (prepares_) effect->compiled = this;
    }
    void DetachEffect(CEffectEx* effect) override {
        calls.push_back("detach");
        effect->compiled = nullptr;
        effect->attached = nullptr;
    }
    int CompileEffect(CEffectEx*, char* message, int size) override {
        calls.push_back("compile");
        if (message && size > 2) message[0] = 'o', message[1] = 'k', message[2] = 0;
        return 1;
    }
    int SetEffectParameter(CEffectEx*, int index) override {
        calls.push_back("param " + std::to_string(index));
        return 0;
    }
    std::vector<std::string> calls;

private:
    bool prepares_;
};

// Parameters "Color" (integer), "amount" (float), "shown" (integer shown as float), "image" (texture).
constexpr char Names[] = "Color\0amount\0shown\0image";
constexpr BYTE Types[] = {EffectParamInteger, EffectParamFloat, EffectParamIntegerAsFloat,
                          EffectParamTexture};

void Fill(CEffectEx& e) {
    e.SetParameters("source", 7, 0x5, 4, Names, Types);
}

struct Conversion {
    const char* name;
    int index;
    bool setFloat;
    float value;
    int asInt;
    float asFloat;
};

class EffectConversions : public ::testing::TestWithParam<Conversion> {};

std::string ConversionName(const ::testing::TestParamInfo<Conversion>& info) {
    return info.param.name;
}

} // namespace

TEST(Effect, ANewEffectIsWhiteOpaqueAndEmpty) {
    CEffectEx e;
    EXPECT_EQ(e.GetRgbaCoefficient(), 0xFFFFFFFFu);
    EXPECT_EQ(e.GetFlags(), 0u);
    EXPECT_EQ(e.GetParamCount(), 0);
    EXPECT_EQ(e.FindParam("anything"), -1);
    EXPECT_EQ(e.GetParamInt(-2), 0);
    EXPECT_EQ(e.GetCompiled(), nullptr);
}

TEST_P(EffectConversions, ValuesAreStoredAndReadByTheParametersType) {
    const Conversion c = GetParam();
    CEffectEx e;
    Fill(e);
    if (c.setFloat)
        e.SetParamFloat(c.index, c.value);
    else
        e.SetParamInt(c.index, static_cast<int>(c.value));
    EXPECT_EQ(e.GetParamInt(c.index), c.asInt);
    EXPECT_FLOAT_EQ(e.GetParamFloat(c.index), c.asFloat);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EffectConversions,
    ::testing::Values(Conversion{"FloatOnIntegerTruncates", 0, true, 2.75f, 2, 2.0f},
                      Conversion{"NegativeFloatOnIntegerTruncatesTowardZero", 0, true, -2.75f, -2, -2.0f},
                      Conversion{"FloatOnFloatIsKept", 1, true, 2.75f, 2, 2.75f},
                      Conversion{"IntegerOnFloatIsConverted", 1, false, -9.0f, -9, -9.0f},
                      Conversion{"FloatOnShownAsFloatTruncates", 2, true, 5.5f, 5, 5.0f},
                      Conversion{"IntegerOnTextureIsIgnored", 3, false, 12.0f, 0, 0.0f},
                      Conversion{"HugeFloatOnIntegerSaturates", 0, true, 1e20f,
                                 std::numeric_limits<int>::max(), 2147483648.0f},
                      Conversion{"NotANumberOnIntegerGivesZero", 0, true, std::nanf(""), 0, 0.0f},
                      Conversion{"IndexPastTheEndDoesNothing", 4, false, 3.0f, 0, 0.0f},
                      Conversion{"NegativeIndexDoesNothing", -1, true, 3.0f, 0, 0.0f}),
    ConversionName);

TEST(Effect, IndexMinusTwoIsTheExtraValueAndNoParameter) {
    CEffectEx e;
    Fill(e);
    e.SetParamInt(-2, 0x1234);
    EXPECT_EQ(e.GetParamInt(-2), 0x1234);
    EXPECT_EQ(e.GetParamType(-2), 0);
    EXPECT_EQ(e.GetParamFloat(-2), 0.0f);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(e.GetParamInt(i), 0) << i;
}

TEST(Effect, TexturesAreStoredOnlyInTextureParameters) {
    CEffectEx e;
    Fill(e);
    e.SetParamTexture(3, 0xABCD);
    e.SetParamTexture(0, 0x55);
    EXPECT_EQ(e.GetParamTexture(3), 0xABCDu);
    EXPECT_EQ(e.GetParamTexture(0), 0u);
    EXPECT_EQ(e.GetParamInt(3), 0);
    EXPECT_EQ(e.GetParamInt(0), 0);
}

TEST(Effect, FindParamIgnoresCaseAndNullNames) {
    CEffectEx e;
    Fill(e);
    EXPECT_EQ(e.FindParam("COLOR"), 0);
    EXPECT_EQ(e.FindParam("color"), 0);
    EXPECT_EQ(e.FindParam("Image"), 3);
    EXPECT_EQ(e.FindParam("amoun"), -1);
    EXPECT_EQ(e.FindParam(nullptr), -1);
    CEffectEx unnamed;
    unnamed.SetParameters("s", 0, 0, 2, nullptr, nullptr);
    EXPECT_EQ(unnamed.FindParam("color"), -1);
    EXPECT_EQ(unnamed.GetParamType(1), EffectParamInteger);
}

TEST(Effect, ATextureParameterSetsAFlagThatSetFlagsKeeps) {
    CEffectEx e;
    const BYTE types[] = {EffectParamFloat, EffectParamTexture};
    e.SetParameters("s", 0, 0x3, 2, "a\0b", types);
    EXPECT_EQ(e.GetFlags(), EffectHasTextures | 0x3);
    e.SetFlags(0);
    EXPECT_EQ(e.GetFlags(), EffectHasTextures);
    e.SetFlags(0xF0000009);
    EXPECT_EQ(e.GetFlags(), EffectHasTextures | 0x9);
    EXPECT_EQ(e.GetEffectIndex(), 0);
    e.SetOptions(-3);
    EXPECT_EQ(e.GetOptions(), -3);
}

TEST(Effect, AnUnpreparedEffectMakesNoEffectCallsOnTheSurface) {
    auto* implementation = new RecordingSurface(false);
    cSurface surface;
    surface.SetImplementation(implementation);
    {
        CEffectEx e;
        Fill(e);
        EXPECT_EQ(e.AttachToSurface(&surface), 0);
        implementation->calls.clear();
        e.SetParamInt(0, 4);
        e.SetParamFloat(1, 1.5f);
        e.SetParamTexture(3, 9);
        e.DetachFromSurface(0);
        EXPECT_EQ(e.GetParamInt(0), 4);
        EXPECT_FLOAT_EQ(e.GetParamFloat(1), 1.5f);
    }
    EXPECT_TRUE(implementation->calls.empty());
}

TEST(Effect, APreparedEffectPushesValuesAndIsDetachedOnce) {
    auto* implementation = new RecordingSurface(true);
    cSurface surface;
    surface.SetImplementation(implementation);
    auto* e = NewEffect();
    ASSERT_NE(e, nullptr);
    Fill(*e);
    EXPECT_EQ(e->AttachToSurface(&surface), 1);
    EXPECT_EQ(e->AttachToSurface(&surface), 1); // already prepared: not attached again
    e->SetParamInt(0, 4);
    e->SetParamFloat(2, 3.0f);
    e->SetParamInt(-2, 1);    // the extra value is read when drawing
    e->SetParamTexture(3, 2); // textures too
    e->SetParamInt(9, 1);     // out of range
    char message[8] = {};
    EXPECT_EQ(e->Compile(&surface, message, sizeof message), 1);
    EXPECT_STREQ(message, "ok");
    EXPECT_EQ(e->Compile(nullptr, message, sizeof message), 0);
    e->DetachFromSurface(0);
    e->DetachFromSurface(0);
    DeleteEffect(e);
    DeleteEffect(nullptr);
    EXPECT_EQ(implementation->calls,
              (std::vector<std::string>{"attach", "param 0", "param 2", "compile", "detach"}));
}

TEST(Effect, CopiesOwnTheirValuesAndStartUnprepared) {
    auto* implementation = new RecordingSurface(true);
    cSurface surface;
    surface.SetImplementation(implementation);
    auto original = std::make_unique<CEffectEx>();
    Fill(*original);
    original->SetParamInt(0, 11);
    original->SetRgbaCoefficient(0x80FF0000);
    original->AttachToSurface(&surface);
    CEffectEx copy(*original);
    CEffectEx assigned;
    Fill(assigned);
    assigned = *original;
    assigned = assigned;
    original->SetParamInt(0, 22);
    EXPECT_EQ(copy.GetParamInt(0), 11);
    EXPECT_EQ(assigned.GetParamInt(0), 11);
    EXPECT_EQ(copy.GetRgbaCoefficient(), 0x80FF0000u);
    EXPECT_EQ(copy.GetFlags(), original->GetFlags());
    EXPECT_EQ(copy.FindParam("image"), 3);
    EXPECT_EQ(copy.GetCompiled(), nullptr);
    EXPECT_EQ(assigned.GetCompiled(), nullptr);
    original.reset(); // frees its own values, detaches its own compiled form
    EXPECT_EQ(copy.GetParamInt(0), 11);
    copy.SetParamInt(0, 5);
    EXPECT_EQ(assigned.GetParamInt(0), 11);
    EXPECT_EQ(implementation->calls, (std::vector<std::string>{"attach", "param 0", "detach"}));
}

TEST(Effect, SoftwareSurfacesDrawAnEffectObjectByTheAlphaOfItsCoefficient) {
    cSurface source, destination;
    auto* s = new cBufferSurface;
    s->SetDepth(32);
    auto* d = new cBufferSurface;
    d->SetDepth(32);
    source.SetImplementation(s);
    destination.SetImplementation(d);
    s->AllocatePixels(1, 1);
    d->AllocatePixels(1, 1);
    CEffectEx e;
    auto drawn = [&](win32::DWORD rgba) {
        destination.Fill(RGB(0, 0, 0));
        source.Fill(RGB(200, 100, 50));
        e.SetRgbaCoefficient(rgba);
        EXPECT_EQ(source.Blit(destination, 0, 0, 0, 0, 1, 1, 0, 13, reinterpret_cast<win32::LPARAM>(&e)), 1);
        win32::COLORREF c = 0;
        destination.GetPixel(0, 0, c);
        return c;
    };
    EXPECT_EQ(drawn(0xFFFFFFFF), RGB(200, 100, 50));
    EXPECT_EQ(drawn(0x00FFFFFF), RGB(0, 0, 0));
    // Alpha 0x80: coefficient 63 of 128 for the destination.
    EXPECT_EQ(drawn(0x80FFFFFF), RGB(200 * 65 / 128, 100 * 65 / 128, 50 * 65 / 128));
}
