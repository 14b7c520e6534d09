// Effects drawn by the screen: the built-in invert and grey against the library's ink and the luminance
// weights, effect objects' parameters of each type reaching their passes, the pixel size, texture parameters
// through the image texture cache and past the capture stage, passes drawn one after the other, text through
// an effect, the test compile's messages, and effects let go with the device's resources.
#include "demo/title_panel.h"
#include "effects.h"
#include "screen_fixture.h"

#include "vtrs2/app_context.h"
#include "vtrs2/banks.h"
#include "vtrs2/context_record.h"
#include "vtrs2/effect.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/font.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace driver_test {
namespace {

constexpr COLORREF Ground = RGB(40, 60, 90);

int Ch(COLORREF c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}

void ExpectNear(COLORREF got, COLORREF want, int tolerance, const std::string& where) {
    for (int shift : {0, 8, 16})
        EXPECT_LE(std::abs(Ch(got, shift) - Ch(want, shift)), tolerance)
            << where << std::hex << ": got " << got << ", want " << want;
}

// A 32-bit DIB section of the library, each pixel coloured by the function.
std::unique_ptr<cSurface> Software(int w, int h, const std::function<COLORREF(int, int)>& colour) {
    auto surface = std::make_unique<cSurface>();
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 32, PublicTypeDibSection, DriverKindNone);
    if (!prototype || !surface->Create(w, h, prototype)) return nullptr;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            surface->SetPixel(x, y, colour(x, y));
    return surface;
}

// The source of most draws: 12 x 10 colours spread over every channel.
constexpr int SW = 12, SH = 10;
COLORREF Pattern(int x, int y) {
    return RGB(20 + x * 19, 200 - y * 17, (x * 7 + y * 13) % 256);
}

class Effects : public ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        screen = BoundScreen();
        ASSERT_NE(screen, nullptr);
    }
    // A managed texture surface holding the pixels; kept until the test ends.
    cSurfaceImplementation* Texture(int w, int h, const std::function<COLORREF(int, int)>& colour) {
        auto source = Software(w, h, colour);
        if (!source) return nullptr;
        auto texture = std::make_unique<cSurface>();
        texture->SetImplementation(SEGetSIPrototype(7)->CreateSameKind(w, h));
        if (texture->GetImplementation()->UploadFrom(source->GetImplementation()) != 1) return nullptr;
        kept.push_back(std::move(texture));
        return kept.back()->GetImplementation();
    }
    // One scene on the ground colour, presented.
    void Draw(const std::function<void()>& draw) {
        screen->BeginDraw(1, Ground);
        draw();
        screen->EndDraw();
        ASSERT_EQ(screen->Present(), 0);
    }
    COLORREF Pixel(int x, int y) const { return win32::testing::ReadWindowPixel(child, x, y); }
    // Draws the texture whole at (x, y) through the ink.
    void BlitThrough(cSurfaceImplementation* texture, int x, int y, int ink, LPARAM parameter) {
        Draw([&] {
            texture->Blit(screen, x, y, 0, 0, texture->width, texture->height, 1, ink, parameter, 0);
        });
    }

    cD3DScreenSurface* screen = nullptr;
    std::vector<std::unique_ptr<cSurface>> kept;
};

// An effect object over a text and its parameters' names and types.
struct EffectObject {
    CEffectEx effect;
    EffectObject(const char* text, const char* names = nullptr, std::vector<BYTE> types = {}) {
        effect.SetParameters(text, 0, 0, static_cast<int>(types.size()), names,
                             types.empty() ? nullptr : types.data());
    }
    LPARAM Parameter() { return reinterpret_cast<LPARAM>(&effect); }
};

// The built-in inks against their references, unscaled from the texture: invert as the library's software
// ink draws it, grey by the weights 0.299, 0.587 and 0.114, a coloured source inverted once coloured.
struct BuiltInCase {
    const char* name;
    int ink;
    LPARAM parameter;
    std::function<COLORREF(COLORREF source, int x, int y)> reference; // null: the library's software ink
};

class BuiltInInks : public Effects, public ::testing::WithParamInterface<BuiltInCase> {};

TEST_P(BuiltInInks, DrawWithinOneOfTheirReference) {
    const BuiltInCase& c = GetParam();
    cSurfaceImplementation* texture = Texture(SW, SH, Pattern);
    ASSERT_NE(texture, nullptr);
    std::unique_ptr<cSurface> software;
    if (!c.reference) {
        software = Software(SW, SH, [](int, int) { return Ground; });
        auto source = Software(SW, SH, Pattern);
        ASSERT_TRUE(software && source);
        source->GetImplementation()->Blit(software->GetImplementation(), 0, 0, 0, 0, SW, SH, 1, c.ink,
                                          c.parameter, 0);
    }
    BlitThrough(texture, 5, 7, c.ink, c.parameter);
    for (int y = 0; y < SH; ++y)
        for (int x = 0; x < SW; ++x) {
            COLORREF want = 0;
            if (software)
                software->GetPixel(x, y, want);
            else
                want = c.reference(Pattern(x, y), x, y);
            ExpectNear(Pixel(5 + x, 7 + y), want, 1, "at " + std::to_string(x) + "," + std::to_string(y));
        }
}

COLORREF Grey(COLORREF c) {
    const auto g =
        static_cast<BYTE>(std::lround(0.299 * GetRValue(c) + 0.587 * GetGValue(c) + 0.114 * GetBValue(c)));
    return RGB(g, g, g);
}

// The colour parameter 0xAARRGGBB of the coloured case, and each channel modulated by it.
constexpr D3DCOLOR Tint = 0xFF80C0FFu;
COLORREF InvertedTinted(COLORREF c) {
    const auto mod = [](int v, int t) { return static_cast<int>(std::lround(v * t / 255.0)); };
    return RGB(255 - mod(GetRValue(c), 0x80), 255 - mod(GetGValue(c), 0xC0), 255 - mod(GetBValue(c), 0xFF));
}

INSTANTIATE_TEST_SUITE_P(
    Table, BuiltInInks,
    ::testing::Values(BuiltInCase{"InvertAsTheSoftwareInk", 2, 0, nullptr},
                      BuiltInCase{"GreyByTheWeights", 10, 0, [](COLORREF c, int, int) { return Grey(c); }},
                      BuiltInCase{"InvertOfAColouredSource", 0x1000 | 2, static_cast<LPARAM>(Tint),
                                  [](COLORREF c, int, int) { return InvertedTinted(c); }}),
    [](const auto& info) { return std::string(info.param.name); });

// The effect text of one parameter `p` shown as the pixel's colour (alpha 1). A first technique drawing
// black makes sure "tech_main" is the one drawn.
std::string ShowParameter(const std::string& declaration) {
    return declaration + R"(
technique first { pass P0 { PixelShader = asm { ps.1.1
    def c0, 0.0, 0.0, 0.0, 1.0
    mov r0, c0 }; } }
technique tech_main { pass P0 { PixelShaderConstant[1] = <p>; PixelShader = asm { ps.1.1
    def c0, 1.0, 1.0, 1.0, 1.0
    mov r0.rgb, c1
    +mov r0.a, c0 }; } }
)";
}

struct ParameterCase {
    const char* name;
    const char* declaration;
    int type; // -1: the text's initial value alone
    std::uint32_t value;
    COLORREF shown;
};

class Parameters : public Effects, public ::testing::WithParamInterface<ParameterCase> {};

TEST_P(Parameters, ReachTheProgramByTheirType) {
    const ParameterCase& c = GetParam();
    const std::string text = ShowParameter(c.declaration);
    EffectObject object(text.c_str(), "p",
                        c.type < 0 ? std::vector<BYTE>{} : std::vector<BYTE>{BYTE(c.type)});
    if (c.type >= 0) object.effect.values[0].value = c.value;
    cSurfaceImplementation* texture = Texture(4, 4, [](int, int) { return RGB(255, 255, 255); });
    ASSERT_NE(texture, nullptr);
    BlitThrough(texture, 2, 3, 13, object.Parameter());
    ASSERT_NE(object.effect.compiled, nullptr);
    EXPECT_EQ(object.effect.attached, screen);
    ExpectNear(Pixel(3, 4), c.shown, 1, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Parameters,
    ::testing::Values(
        ParameterCase{"DwordOne", "dword p;", 0, 1, RGB(255, 255, 255)},
        ParameterCase{"DwordZero", "dword p = 1;", 0, 0, RGB(0, 0, 0)},
        ParameterCase{"FloatByItsBits", "float p;", 1, std::bit_cast<std::uint32_t>(0.25f), RGB(64, 64, 64)},
        // Ruling: an integer shown as a float is set as that integer's value, not its bits.
        ParameterCase{"IntegerAsFloat", "float p;", 2, 1, RGB(255, 255, 255)},
        ParameterCase{"VectorOfTheText", "vector p = {0.25, 0.5, 0.75, 1.0};", -1, 0, RGB(64, 128, 191)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Effects, AParameterChangedOnceCompiledReachesTheNextDraw) {
    const std::string text = ShowParameter("float p;");
    EffectObject object(text.c_str(), "p", {EffectParamFloat});
    object.effect.SetParamFloat(0, 0.25f);
    cSurfaceImplementation* texture = Texture(4, 4, [](int, int) { return RGB(255, 255, 255); });
    BlitThrough(texture, 0, 0, 13, object.Parameter());
    ExpectNear(Pixel(1, 1), RGB(64, 64, 64), 1, "first");
    object.effect.SetParamFloat(0, 0.75f);
    BlitThrough(texture, 0, 0, 13, object.Parameter());
    ExpectNear(Pixel(1, 1), RGB(191, 191, 191), 1, "changed");
}

TEST_F(Effects, SetEffectParameterAnswersZeroWithoutACompiledEffectAndTheCountOutsideIt) {
    const std::string text = ShowParameter("float p;");
    EffectObject object(text.c_str(), "p", {EffectParamFloat});
    EXPECT_EQ(screen->SetEffectParameter(nullptr, 0), 0);
    EXPECT_EQ(screen->SetEffectParameter(&object.effect, 0), 0);
    screen->AttachEffect(&object.effect);
    ASSERT_NE(object.effect.compiled, nullptr);
    auto* compiled = static_cast<ID3DXEffect*>(object.effect.compiled);
    object.effect.values[0].value = std::bit_cast<std::uint32_t>(0.5f);
    EXPECT_EQ(screen->SetEffectParameter(&object.effect, 1), 1);
    EXPECT_EQ(screen->SetEffectParameter(&object.effect, -1), 1);
    float p = -1;
    ASSERT_EQ(compiled->GetFloat("p", &p), D3D_OK);
    EXPECT_EQ(p, 0.0f) << "an index outside the count set nothing";
    EXPECT_EQ(screen->SetEffectParameter(&object.effect, 0), D3D_OK);
    ASSERT_EQ(compiled->GetFloat("p", &p), D3D_OK);
    EXPECT_EQ(p, 0.5f);
}

// fPixelWidth to red, fPixelHeight to green; either declared alone sets the flag, and the draw sets both it
// has: one pixel of the drawn texture, 16 x 4.
constexpr const char* PixelSizeText = R"(%s
technique tech_main { pass P0 { %s PixelShader = asm { ps.1.1
    def c0, 0.0, 0.0, 0.0, 1.0
    def c3, 1.0, 0.0, 0.0, 0.0
    def c4, 0.0, 1.0, 0.0, 0.0
    mul r0, c1, c3
    mad r0, c2, c4, r0
    add r0, r0, c0 }; } }
)";

struct PixelSizeCase {
    const char* name;
    const char* declarations;
    const char* constants;
    COLORREF shown;
};

class PixelSize : public Effects, public ::testing::WithParamInterface<PixelSizeCase> {};

TEST_P(PixelSize, FlagsTheEffectAndReachesItsPasses) {
    const PixelSizeCase& c = GetParam();
    char text[1024];
    std::snprintf(text, sizeof text, PixelSizeText, c.declarations, c.constants);
    EffectObject object(text);
    object.effect.SetFlags(0x20);
    cSurfaceImplementation* texture = Texture(16, 4, [](int, int) { return RGB(255, 255, 255); });
    BlitThrough(texture, 0, 0, 13, object.Parameter());
    ASSERT_NE(object.effect.compiled, nullptr);
    EXPECT_EQ(object.effect.GetFlags(), 0x21u) << "the flag joins the creator's";
    ExpectNear(Pixel(2, 2), c.shown, 1, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PixelSize,
    ::testing::Values(PixelSizeCase{"Both", "float fPixelWidth; float fPixelHeight;",
                                    "PixelShaderConstant[1] = <fPixelWidth>; PixelShaderConstant[2] = "
                                    "<fPixelHeight>;",
                                    RGB(16, 64, 0)},
                      PixelSizeCase{"HeightAlone", "float fPixelHeight;",
                                    "PixelShaderConstant[2] = <fPixelHeight>;", RGB(0, 64, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Effects, AnEffectWithoutThePixelSizeIsNotFlagged) {
    const std::string text = ShowParameter("float p = 0.5;");
    EffectObject object(text.c_str());
    screen->AttachEffect(&object.effect);
    ASSERT_NE(object.effect.compiled, nullptr);
    EXPECT_EQ(object.effect.GetFlags() & EffectReadsPixelSize, 0u);
}

// An application context whose image 5 has the given texture in the texture cache.
struct ImageContext {
    AppContext* context = CreateAppContext(nullptr, nullptr);
    ~ImageContext() { DestroyAppContext(context); }
    bool PutImage(DWORD wanted, cSurfaceImplementation* texture) {
        std::vector<BYTE> pixels(4 * 4 * 4, 0x80);
        DWORD handle = 0;
        while (handle < wanted) {
            handle =
                AddImage(context->banks, 8, 4, 4, 0, 0, 0, 0, 0, 8, pixels.data(), pixels.size(), nullptr);
            if (handle == 0) return false;
        }
        return handle == wanted && SetImageTexture(context->banks, wanted, texture);
    }
};

constexpr COLORREF ImageColour = RGB(255, 128, 0);

// Stage 0 is the drawn texture; `Picture` is bound after it, past the capture's stage when there is one.
constexpr const char* PictureText = R"(texture Picture;
technique tech_main { pass P0 { PixelShader = asm { ps.1.1
    def c0, 1.0, 1.0, 1.0, 1.0
    tex t0
    tex t1
    tex t2
    %s
    +mov r0.a, c0 }; } }
)";

struct TextureParameterCase {
    const char* name;
    std::int16_t captureStage;
    DWORD image;
    const char* shader;
    COLORREF shown; // over the ground
};

class TextureParameters : public Effects, public ::testing::WithParamInterface<TextureParameterCase> {};

TEST_P(TextureParameters, AreBoundThroughTheImageTextureCache) {
    const TextureParameterCase& c = GetParam();
    ImageContext images;
    // The cache owns the texture it is given: it is made here, not kept by the fixture.
    auto source = Software(4, 4, [](int, int) { return ImageColour; });
    cSurfaceImplementation* picture = SEGetSIPrototype(7)->CreateSameKind(4, 4);
    ASSERT_EQ(picture->UploadFrom(source->GetImplementation()), 1);
    ASSERT_TRUE(images.PutImage(5, picture));
    char text[1024];
    std::snprintf(text, sizeof text, PictureText, c.shader);
    EffectObject object(text, "Picture", {EffectParamTexture});
    object.effect.SetExtraValue(reinterpret_cast<std::intptr_t>(images.context));
    object.effect.SetParamTexture(0, c.image);
    object.effect.SetOptions(c.captureStage);
    cSurfaceImplementation* texture = Texture(4, 4, [](int, int) { return RGB(255, 255, 255); });
    BlitThrough(texture, 2, 2, 13, object.Parameter());
    ExpectNear(Pixel(3, 3), c.shown, 1, c.name);

    // The stages as they are bound for a draw: the picture's stage, and the capture's left alone.
    screen->AttachEffect(&object.effect);
    IDirect3DDevice8* device = screen->Device();
    const DWORD last = BindEffectTextures(device, &object.effect, 0, static_cast<DWORD>(c.captureStage));
    EXPECT_EQ(last, c.captureStage == 1 ? 2u : 1u);
    IDirect3DBaseTexture8* bound = nullptr;
    device->GetTexture(last, &bound);
    EXPECT_EQ(bound != nullptr, c.image == 5);
    if (bound) bound->Release();
    device->SetTexture(last, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextureParameters,
    ::testing::Values(
        TextureParameterCase{"ImageFiveOnStageOne", 0, 5, "mov r0.rgb, t1", ImageColour},
        // The capture of the ground takes stage 1: the picture moves on to stage 2.
        TextureParameterCase{"CaptureMovesThePictureToStageTwo", 1, 5, "mul r0.rgb, t1, t2", RGB(40, 30, 0)},
        // An empty stage samples as black.
        TextureParameterCase{"ImageNotInTheBankLeavesTheStageEmpty", 0, 77, "mov r0.rgb, t1", RGB(0, 0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

// Two passes: the first draws red, the second adds blue with its own blending. Drawn together after both
// passes were set, the quads would come out of the second pass alone.
TEST_F(Effects, EachPassDrawsItsOwnQuads) {
    EffectObject object(R"(technique tech_main {
    pass P0 { PixelShader = asm { ps.1.1
        def c0, 1.0, 0.0, 0.0, 1.0
        mov r0, c0 }; }
    pass P1 { AlphaBlendEnable = true; SrcBlend = One; DestBlend = One; PixelShader = asm { ps.1.1
        def c0, 0.0, 0.0, 1.0, 1.0
        mov r0, c0 }; }
})");
    cSurfaceImplementation* texture = Texture(4, 4, [](int, int) { return RGB(255, 255, 255); });
    Draw([&] {
        texture->Blit(screen, 1, 1, 0, 0, 4, 4, 1, 13, object.Parameter(), 0);
        // In the same scene a plain draw blends as its ink says: the effect's states went back.
        texture->Blit(screen, 20, 1, 0, 0, 4, 4, 1, 0x1000, static_cast<LPARAM>(0x80FFFFFFu), 0);
    });
    ExpectNear(Pixel(2, 2), RGB(255, 0, 255), 1, "both passes");
    ExpectNear(Pixel(21, 2), RGB(148, 158, 173), 2, "half blend after");
}

// Text through an effect that shows a green of its own with the glyphs' coverage: white text goes through
// the passes as it is, coloured text through a texture of the box first; both cover as plain green text.
TEST_F(Effects, TextDrawsThroughTheEffectLikePlainTextOfItsColour) {
    EffectObject object(R"(vector Green = {0.0, 1.0, 0.0, 1.0};
technique tech_main { pass P0 { PixelShaderConstant[1] = <Green>; PixelShader = asm { ps.1.1
    tex t0
    mov r0.rgb, c1
    +mov r0.a, t0.a }; } })");
    LOGFONTA logFont{};
    logFont.lfHeight = -14;
    std::strcpy(logFont.lfFaceName, "DejaVu Sans");
    HFONT font = CreateFontIndirectA(&logFont);
    const auto picture = [&](COLORREF colour, int ink, LPARAM parameter) {
        Draw([&] {
            RECT box{2, 2, 62, 46};
            screen->DrawTextWide(u"Green\ntext", -1, &box, DT_WORDBREAK | DT_NOPREFIX, colour, font, 0, ink,
                                 parameter, 0, 0, 0, 0);
        });
        std::vector<COLORREF> pixels;
        for (int y = 0; y < ChildHeight; ++y)
            for (int x = 0; x < ChildWidth; ++x)
                pixels.push_back(Pixel(x, y));
        return pixels;
    };
    const std::vector<COLORREF> want = picture(RGB(0, 255, 0), 0, 0);
    int covered = 0;
    for (COLORREF p : want)
        covered += p != Ground;
    ASSERT_GT(covered, 50);
    for (COLORREF colour : {RGB(255, 255, 255), RGB(200, 30, 30)}) {
        const std::vector<COLORREF> got = picture(colour, 13, object.Parameter());
        for (std::size_t i = 0; i < got.size(); ++i)
            ExpectNear(got[i], want[i], 2,
                       "pixel " + std::to_string(i) + " of text " + std::to_string(colour));
    }
    DeleteFont(font);
}

// The demo's tint: the first column takes the first colour whole, and column x the mix x / 64 of the way.
TEST_F(Effects, TheDemosTintGoesFromOneColourToTheOtherAcrossTheTexture) {
    std::vector<BYTE> types(TitlePanelEffectParameters, EffectParamFloat);
    EffectObject object(TitlePanelEffectText, TitlePanelEffectNames, types);
    for (int i = 0; i < 3; ++i) {
        object.effect.SetParamFloat(i, TitlePanelTintFrom[static_cast<std::size_t>(i)]);
        object.effect.SetParamFloat(3 + i, TitlePanelTintTo[static_cast<std::size_t>(i)]);
    }
    cSurfaceImplementation* texture = Texture(ChildWidth, 8, [](int, int) { return RGB(255, 255, 255); });
    BlitThrough(texture, 0, 0, 13, object.Parameter());
    ASSERT_NE(object.effect.compiled, nullptr);
    for (int x : {0, 1, 31, 63}) {
        const auto at = [&](std::size_t c) {
            const double w = x / static_cast<double>(ChildWidth);
            return static_cast<int>(std::lround(
                255 * (TitlePanelTintFrom[c] + (TitlePanelTintTo[c] - TitlePanelTintFrom[c]) * w)));
        };
        ExpectNear(Pixel(x, 4), RGB(at(0), at(1), at(2)), 1, "column " + std::to_string(x));
    }
}

struct CompileCase {
    const char* name;
    const char* text;
    bool bound; // the screen has a device
    int result;
    std::string message; // the start of the message
};

class CompileMessages : public Effects, public ::testing::WithParamInterface<CompileCase> {};

TEST_P(CompileMessages, TellTheReasonAndLeaveTheEffectUnprepared) {
    const CompileCase& c = GetParam();
    cD3DScreenSurface* target = c.bound ? screen : NewScreen();
    EffectObject object(c.text);
    char message[256];
    std::memset(message, 'x', sizeof message);
    EXPECT_EQ(target->CompileEffect(&object.effect, message, sizeof message), c.result);
    EXPECT_EQ(std::string(message).substr(0, c.message.size()), c.message) << message;
    if (c.message.empty()) {
        EXPECT_EQ(message[0], '\0');
    }
    EXPECT_EQ(object.effect.compiled, nullptr);
    EXPECT_EQ(object.effect.attached, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompileMessages,
    ::testing::Values(
        CompileCase{"NoText", nullptr, true, 0, "No .FX data\n"},
        CompileCase{"NoDevice", "technique tech_main { pass P0 { } }", false, 0, "No D3D device\n"},
        CompileCase{"RefusedText", "technique tech_main {\n pass P0 {\n VertexShader = asm { vs.1.1 };\n } }",
                    true, 0, "line 3"},
        CompileCase{"GoodText", "technique tech_main { pass P0 { } }", true, 1, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Effects, CompileMessagesAreCutToTheBuffer) {
    EffectObject object(nullptr);
    char message[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(screen->CompileEffect(&object.effect, message, sizeof message), 0);
    EXPECT_STREQ(message, "No .");
}

TEST_F(Effects, ARefusedTextDrawsWithItsCoefficientAlone) {
    EffectObject object("technique tech_main { pass P0 { VertexShader = asm { vs.1.1 }; } }");
    object.effect.SetRgbaCoefficient(0xFFFF0000u); // red, opaque
    cSurfaceImplementation* texture = Texture(4, 4, [](int, int) { return RGB(255, 255, 255); });
    BlitThrough(texture, 1, 1, 13, object.Parameter());
    EXPECT_EQ(object.effect.compiled, nullptr);
    ExpectNear(Pixel(2, 2), RGB(255, 0, 0), 0, "coefficient");
}

// Effects compiled for the device go with its resources and come back at their next draw.
TEST_F(Effects, ReleasingTheDevicesResourcesDetachesEffectsAndTheNextDrawCompilesAgain) {
    const std::string text = ShowParameter("float p = 1.0;");
    EffectObject first(text.c_str()), second(text.c_str());
    cSurfaceImplementation* texture = Texture(4, 4, [](int, int) { return RGB(255, 255, 255); });
    Draw([&] {
        texture->Blit(screen, 0, 0, 0, 0, 4, 4, 1, 13, first.Parameter(), 0);
        texture->Blit(screen, 8, 0, 0, 0, 4, 4, 1, 13, second.Parameter(), 0);
        texture->Blit(screen, 16, 0, 0, 0, 4, 4, 1, 2, 0, 0);
    });
    ASSERT_EQ(screen->AttachedEffects(), (std::vector<CEffectEx*>{&first.effect, &second.effect}));
    first.effect.DetachFromSurface(0);
    EXPECT_EQ(first.effect.compiled, nullptr);
    EXPECT_EQ(screen->AttachedEffects(), std::vector<CEffectEx*>{&second.effect});
    screen->ReleaseDeviceResources();
    EXPECT_EQ(second.effect.compiled, nullptr);
    EXPECT_EQ(second.effect.attached, nullptr);
    EXPECT_TRUE(screen->AttachedEffects().empty());
    screen->ResetDevice();
    BlitThrough(texture, 0, 0, 13, second.Parameter());
    EXPECT_NE(second.effect.compiled, nullptr);
    ExpectNear(Pixel(1, 1), RGB(255, 255, 255), 0, "compiled again");
}

} // namespace
} // namespace driver_test
