// Effects: pixel-shader instructions and modifiers drawn over 4 x 4 textures and compared with values worked
// out here from each instruction's definition; texts the reader refuses; parameters reaching the constant
// registers; passes, states and the fixed-function program given back; the built-in invert and grey.
#include "device_fixture.h"
#include "driver-d3d8/builtin_effects.h"
#include "win32/d3dx8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace d3d_test;

namespace {

constexpr UINT Side = 4;
constexpr D3DCOLOR Ground = 0xFF204060;
constexpr D3DCOLOR Diffuse = 0xC0804020;

// Texels chosen to cross the thresholds the instructions test: 0, 1, just under and over one half.
constexpr std::array<D3DCOLOR, 16> TexelsA = {
    0xFF000000, 0x80FFFFFF, 0x40804020, 0xC0102030, 0xFF7F8081, 0x00C8641E, 0x7F0A1428, 0xFFFF0080,
    0x20406080, 0xE0E0C0A0, 0x90123456, 0xFF808080, 0x01FEFDFC, 0xA0335577, 0x6699CCFF, 0xFF7E7F80};
constexpr std::array<D3DCOLOR, 16> TexelsB = {
    0xFF102030, 0x80808080, 0x00FFFFFF, 0xFF000000, 0x7F7F7F7F, 0x40C0C0C0, 0xFF204060, 0xC0F0E0D0,
    0x10FF00FF, 0xFF00FF00, 0x80818283, 0x33445566, 0xFF999999, 0x0B0C0D0E, 0xEE112233, 0x55AA55AA};

// Red, green, blue, alpha.
using Vec = std::array<double, 4>;

Vec ToVec(D3DCOLOR c) {
    return {((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0, (c >> 24) / 255.0};
}

Vec All(double v) {
    return {v, v, v, v};
}

Vec Map(const Vec& a, const std::function<double(double)>& f) {
    return {f(a[0]), f(a[1]), f(a[2]), f(a[3])};
}

Vec Map2(const Vec& a, const Vec& b, const std::function<double(double, double)>& f) {
    return {f(a[0], b[0]), f(a[1], b[1]), f(a[2], b[2]), f(a[3], b[3])};
}

Vec Add(const Vec& a, const Vec& b) {
    return Map2(a, b, [](double x, double y) { return x + y; });
}
Vec Sub(const Vec& a, const Vec& b) {
    return Map2(a, b, [](double x, double y) { return x - y; });
}
Vec Mul(const Vec& a, const Vec& b) {
    return Map2(a, b, [](double x, double y) { return x * y; });
}
Vec Scale(const Vec& a, double s) {
    return Map(a, [s](double x) { return x * s; });
}
// Every result of versions 1.0 to 1.3 is held in -1..1, of 1.4 in -8..8.
Vec Range1(const Vec& a) {
    return Map(a, [](double x) { return std::clamp(x, -1.0, 1.0); });
}
Vec Range8(const Vec& a) {
    return Map(a, [](double x) { return std::clamp(x, -8.0, 8.0); });
}
Vec Sat(const Vec& a) {
    return Map(a, [](double x) { return std::clamp(x, 0.0, 1.0); });
}
double Dot3(const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec Replicate(const Vec& a, int component) {
    return All(a[static_cast<std::size_t>(component)]);
}

struct Inputs {
    Vec t0, t1, v0;
    double u, v; // the pixel's texture coordinates
};

struct ShaderCase {
    const char* name;
    const char* assembly;
    // The pixel's colour; none when the shader kills it.
    std::function<std::optional<Vec>(const Inputs&)> expected;
};

void PrintTo(const ShaderCase& c, std::ostream* os) {
    *os << c.name;
}

std::string EffectAround(const std::string& assembly) {
    return "texture Tex0;\ntexture Tex1;\ntechnique Main\n{\n    pass P0\n    {\n"
           "        Texture[0] = <Tex0>;\n        Texture[1] = <Tex1>;\n"
           "        PixelShader = asm\n        {\n" +
           assembly + "        };\n    }\n}\n";
}

const std::vector<ShaderCase>& ShaderCases() {
    using R = std::optional<Vec>;
    static const std::vector<ShaderCase> cases = {
        {"MovCopiesTheTexel", "ps.1.1\ntex t0\nmov r0, t0\n", [](const Inputs& in) -> R { return in.t0; }},
        {"AddClampsAtOne", "ps.1.1\ntex t0\ntex t1\nadd r0, t0, t1\n",
         [](const Inputs& in) -> R { return Range1(Add(in.t0, in.t1)); }},
        {"SubKeepsNegativeResultsForLaterInstructions",
         "ps.1.1\ndef c0, 0.5, 0.5, 0.5, 0.5\ntex t0\ntex t1\nsub r0, t0, t1\nadd r0, r0, c0\n",
         [](const Inputs& in) -> R { return Range1(Add(Range1(Sub(in.t0, in.t1)), All(0.5))); }},
        {"MulModulatesByTheDiffuseColour", "ps.1.1\ntex t0\nmul r0, t0, v0\n",
         [](const Inputs& in) -> R { return Mul(in.t0, in.v0); }},
        {"MadMultipliesThenAdds", "ps.1.1\ntex t0\ntex t1\nmad r0, t0, v0, t1\n",
         [](const Inputs& in) -> R { return Range1(Add(Mul(in.t0, in.v0), in.t1)); }},
        {"LrpBlendsByItsFirstSource", "ps.1.1\ntex t0\ntex t1\nlrp r0, v0, t0, t1\n",
         [](const Inputs& in) -> R { return Add(Mul(in.v0, in.t0), Mul(Sub(All(1), in.v0), in.t1)); }},
        {"Dp3ReplicatesTheDotOfTheColours", "ps.1.1\ntex t0\ntex t1\ndp3 r0, t0, t1\n",
         [](const Inputs& in) -> R { return Range1(All(Dot3(in.t0, in.t1))); }},
        {"Dp4IncludesAlpha", "ps.1.2\ntex t0\ntex t1\ndp4 r0, t0, t1\n",
         [](const Inputs& in) -> R { return Range1(All(Dot3(in.t0, in.t1) + in.t0[3] * in.t1[3])); }},
        {"CndChoosesByR0AlphaOverOneHalf", "ps.1.1\ntex t0\ntex t1\nmov r0, t0\ncnd r0, r0.a, t1, v0\n",
         [](const Inputs& in) -> R { return in.t0[3] > 0.5 ? in.t1 : in.v0; }},
        {"CndChoosesEachComponentInPs14",
         "ps.1.4\ndef c0, 0.25, 0.5, 0.75, 1.0\ntexld r0, t0\ntexld r1, t0\ncnd r0, r0, r1, c0\n",
         [](const Inputs& in) -> R {
             const Vec c0{0.25, 0.5, 0.75, 1.0};
             Vec out{};
             for (std::size_t i = 0; i < 4; ++i)
                 out[i] = in.t0[i] > 0.5 ? in.t1[i] : c0[i];
             return out;
         }},
        {"CmpChoosesByTheSignOfEachComponent",
         "ps.1.2\ndef c0, 0.5, 0.5, 0.5, 0.5\ntex t0\ntex t1\nsub r1, t0, c0\ncmp r0, r1, t1, v0\n",
         [](const Inputs& in) -> R {
             const Vec d = Range1(Sub(in.t0, All(0.5)));
             Vec out{};
             for (std::size_t i = 0; i < 4; ++i)
                 out[i] = d[i] >= 0 ? in.t1[i] : in.v0[i];
             return out;
         }},
        {"NopChangesNothing", "ps.1.1\ntex t0\nnop\nmov r0, t0\n",
         [](const Inputs& in) -> R { return in.t0; }},
        {"ResultTimesTwo", "ps.1.1\ntex t0\nmul_x2 r0, t0, v0\n",
         [](const Inputs& in) -> R { return Range1(Scale(Mul(in.t0, in.v0), 2)); }},
        {"ResultTimesFour", "ps.1.1\ntex t0\nmul_x4 r0, t0, v0\n",
         [](const Inputs& in) -> R { return Range1(Scale(Mul(in.t0, in.v0), 4)); }},
        {"ResultHalvedAfterTheSum", "ps.1.1\ntex t0\ntex t1\nadd_d2 r0, t0, t1\n",
         [](const Inputs& in) -> R { return Scale(Add(in.t0, in.t1), 0.5); }},
        {"ResultSaturatedDropsNegatives",
         "ps.1.1\ndef c0, 0.25, 0.25, 0.25, 0.25\ntex t0\ntex t1\nsub_sat r1, t0, t1\nadd r0, r1, c0\n",
         [](const Inputs& in) -> R { return Range1(Add(Sat(Sub(in.t0, in.t1)), All(0.25))); }},
        {"ResultTimesEightInPs14", "ps.1.4\ndef c0, 0.1, 0.1, 0.1, 0.1\ntexld r0, t0\nmul_x8 r0, r0, c0\n",
         [](const Inputs& in) -> R { return Scale(in.t0, 0.8); }},
        {"ResultQuarteredInPs14", "ps.1.4\ntexld r0, t0\ntexld r1, t0\nadd_d4 r0, r0, r1\n",
         [](const Inputs& in) -> R { return Scale(Add(in.t0, in.t1), 0.25); }},
        {"ResultEighthInPs14", "ps.1.4\ndef c0, 1, 1, 1, 1\ntexld r0, t0\nmad_d8 r0, r0, c0, c0\n",
         [](const Inputs& in) -> R { return Scale(Add(in.t0, All(1)), 0.125); }},
        {"RangeIsOneBelowPs14",
         "ps.1.1\ndef c0, 1, 1, 1, 1\ndef c1, 0.25, 0.25, 0.25, 0.25\ntex t0\n"
         "mul_x4 r0, t0, c0\nmul r0, r0, c1\n",
         [](const Inputs& in) -> R { return Scale(Range1(Scale(in.t0, 4)), 0.25); }},
        {"RangeIsEightInPs14",
         "ps.1.4\ndef c0, 1, 1, 1, 1\ndef c1, 0.25, 0.25, 0.25, 0.25\ntexld r0, t0\n"
         "mul_x4 r0, r0, c0\nmul r0, r0, c1\n",
         [](const Inputs& in) -> R { return Scale(Range8(Scale(in.t0, 4)), 0.25); }},
        {"SourceNegated", "ps.1.1\ndef c0, 1, 1, 1, 1\ntex t0\nadd r0, c0, -t0\n",
         [](const Inputs& in) -> R { return Sub(All(1), in.t0); }},
        {"SourceComplemented", "ps.1.1\ntex t0\nmov r0, 1-t0\n",
         [](const Inputs& in) -> R { return Sub(All(1), in.t0); }},
        {"SourceBiased", "ps.1.1\ndef c0, 0.25, 0.25, 0.25, 0.25\ntex t0\nadd r0, t0_bias, c0\n",
         [](const Inputs& in) -> R { return Add(Sub(in.t0, All(0.5)), All(0.25)); }},
        {"SourceSignedScaled",
         "ps.1.1\ndef c0, 0.25, 0.25, 0.25, 0.25\ndef c1, 0.5, 0.5, 0.5, 0.5\ntex t0\n"
         "mad r0, t0_bx2, c0, c1\n",
         [](const Inputs& in) -> R { return Add(Scale(Sub(Scale(in.t0, 2), All(1)), 0.25), All(0.5)); }},
        {"SourceSignedScaledAndNegated", "ps.1.1\ndef c0, 1, 1, 1, 1\ntex t0\nadd r0, -t0_bx2, c0\n",
         [](const Inputs& in) -> R { return Range1(Sub(All(1), Sub(Scale(in.t0, 2), All(1)))); }},
        {"SourceDoubledInPs14", "ps.1.4\ndef c0, 0.25, 0.25, 0.25, 0.25\ntexld r0, t0\nmul r0, r0_x2, c0\n",
         [](const Inputs& in) -> R { return Scale(in.t0, 0.5); }},
        {"SelectorReplicatesAlpha", "ps.1.1\ntex t0\nmov r0, t0.a\n",
         [](const Inputs& in) -> R { return Replicate(in.t0, 3); }},
        {"SelectorReplicatesBlue", "ps.1.1\ntex t0\nmov r0, t0.b\n",
         [](const Inputs& in) -> R { return Replicate(in.t0, 2); }},
        {"SelectorsReplicateRedAndGreenInPs14", "ps.1.4\ntexld r1, t0\nmul r0, r1.r, r1.g\n",
         [](const Inputs& in) -> R { return All(in.t1[0] * in.t1[1]); }},
        {"WriteMasksColourAndAlpha", "ps.1.1\ntex t0\ntex t1\nmov r0.rgb, t0\nmov r0.a, t1\n",
         [](const Inputs& in) -> R {
             return Vec{in.t0[0], in.t0[1], in.t0[2], in.t1[3]};
         }},
        {"WriteMaskOfSomeComponentsInPs14", "ps.1.4\ntexld r0, t0\ntexld r1, t0\nmov r0.rb, r1\n",
         [](const Inputs& in) -> R {
             return Vec{in.t1[0], in.t0[1], in.t1[2], in.t0[3]};
         }},
        {"CoIssuedPairReadsBeforeEitherWrites",
         "ps.1.1\ndef c0, 0.2, 0.4, 0.6, 0.8\nmov r0, c0\nmov r0.rgb, r0.a\n+mov r0.a, r0.b\n",
         [](const Inputs&) -> R {
             return Vec{0.8, 0.8, 0.8, 0.6};
         }},
        {"CoIssuedColourAndAlphaInstructions",
         "ps.1.1\ntex t0\ntex t1\nmul r0.rgb, t0, v0\n+add r0.a, t0, t1\n",
         [](const Inputs& in) -> R {
             const Vec m = Mul(in.t0, in.v0);
             return Vec{m[0], m[1], m[2], std::min(1.0, in.t0[3] + in.t1[3])};
         }},
        {"TexcoordGivesTheCoordinates", "ps.1.1\ntexcoord t0\nmov r0, t0\n",
         [](const Inputs& in) -> R {
             return Vec{in.u, in.v, 0, 1};
         }},
        {"TexcrdGivesTheCoordinatesInPs14", "ps.1.4\ndef c0, 0, 0, 0, 1\ntexcrd r0.rgb, t0\nmov r0.a, c0\n",
         [](const Inputs& in) -> R {
             return Vec{in.u, in.v, 0, 1};
         }},
        {"TexldReadsAtComputedCoordinatesAfterThePhase",
         "ps.1.4\ntexcrd r0.rgb, t0\nphase\ntexld r1, r0\nmov r0, r1\n",
         [](const Inputs& in) -> R { return in.t1; }},
        {"TexkillDropsPixelsWithANegativeComponent",
         "ps.1.4\ndef c0, 0.5, 0.5, 0.5, 0.5\ntexld r0, t0\nsub r1, r0, c0\nphase\ntexkill r1\n",
         [](const Inputs& in) -> R {
             for (std::size_t i = 0; i < 3; ++i)
                 if (in.t0[i] - 0.5 < 0) return std::nullopt;
             return in.t0;
         }},
        {"TexkillKeepsPixelsOfPositiveCoordinates", "ps.1.1\ntexkill t0\ntex t1\nmov r0, t1\n",
         [](const Inputs& in) -> R { return in.t1; }},
    };
    return cases;
}

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};

// A device with a 4 x 4 back buffer and the two textures of the cases on stages 0 and 1.
class EffectTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(Create(Windowed(child, Side, Side)), D3D_OK);
        textures[0] = MakeTexture(TexelsA);
        textures[1] = MakeTexture(TexelsB);
        ASSERT_TRUE(textures[0] && textures[1]);
        device->SetTexture(0, textures[0]);
        device->SetTexture(1, textures[1]);
    }
    void TearDown() override {
        device->SetTexture(0, nullptr);
        device->SetTexture(1, nullptr);
        for (IDirect3DTexture8* t : textures)
            if (t) t->Release();
        DeviceTest::TearDown();
    }

    IDirect3DTexture8* MakeTexture(const std::array<D3DCOLOR, 16>& texels) {
        IDirect3DTexture8* texture = nullptr;
        if (FAILED(device->CreateTexture(Side, Side, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture)))
            return nullptr;
        D3DLOCKED_RECT locked{};
        texture->LockRect(0, &locked, nullptr, 0);
        for (UINT y = 0; y < Side; ++y)
            std::copy_n(texels.begin() + y * Side, Side,
                        reinterpret_cast<D3DCOLOR*>(static_cast<char*>(locked.pBits) + y * locked.Pitch));
        texture->UnlockRect(0);
        return texture;
    }

    ID3DXEffect* Compile(const std::string& text, std::string* messages = nullptr) {
        ID3DXEffect* effect = nullptr;
        ID3DXBuffer* buffer = nullptr;
        const HRESULT made =
            D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), &effect, &buffer);
        if (buffer) {
            if (messages) *messages = static_cast<const char*>(buffer->GetBufferPointer());
            buffer->Release();
        }
        EXPECT_EQ(SUCCEEDED(made), effect != nullptr);
        return effect;
    }

    // Clears to the ground colour and draws the whole target, its texture coordinates on texel centres.
    void DrawQuad() {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, Ground, 0, 0);
        device->BeginScene();
        const float s = static_cast<float>(Side);
        const Vertex quad[] = {{0, 0, 0, 1, Diffuse, 0, 0},
                               {s, 0, 0, 1, Diffuse, 1, 0},
                               {s, s, 0, 1, Diffuse, 1, 1},
                               {0, s, 0, 1, Diffuse, 0, 1}};
        device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Vertex)), D3D_OK);
        device->EndScene();
    }

    // Pass `pass` of the effect drawn over the quad; the back buffer's pixels.
    std::vector<D3DCOLOR> DrawPass(ID3DXEffect* effect, UINT pass = 0) {
        UINT passes = 0;
        EXPECT_EQ(effect->Begin(&passes, 0), D3D_OK);
        EXPECT_EQ(effect->Pass(pass), D3D_OK);
        DrawQuad();
        EXPECT_EQ(effect->End(), D3D_OK);
        return BackBuffer();
    }

    std::array<IDirect3DTexture8*, 2> textures{};
};

int Channel(D3DCOLOR c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}

// Each channel of `got` within `tolerance` of the expected colour's, on the 0..255 scale.
::testing::AssertionResult Near(D3DCOLOR got, const Vec& expected, int tolerance, UINT x, UINT y) {
    constexpr std::array<int, 4> Shifts = {16, 8, 0, 24};
    for (std::size_t i = 0; i < 4; ++i) {
        const int want = static_cast<int>(std::lround(std::clamp(expected[i], 0.0, 1.0) * 255.0));
        if (std::abs(Channel(got, Shifts[i]) - want) > tolerance)
            return ::testing::AssertionFailure()
                   << "pixel (" << x << ", " << y << ") channel "
                   << "rgba"[i] << ": got " << Channel(got, Shifts[i]) << ", want " << want << std::hex
                   << " (pixel 0x" << got << ")";
    }
    return ::testing::AssertionSuccess();
}

class ShaderInstruction : public EffectTest, public ::testing::WithParamInterface<ShaderCase> {};

TEST_P(ShaderInstruction, DrawsAsItsDefinitionSays) {
    const ShaderCase& c = GetParam();
    std::string messages;
    ID3DXEffect* effect = Compile(EffectAround(c.assembly), &messages);
    ASSERT_NE(effect, nullptr) << messages;
    const std::vector<D3DCOLOR> pixels = DrawPass(effect);
    effect->Release();
    ASSERT_EQ(pixels.size(), Side * Side);
    for (UINT y = 0; y < Side; ++y) {
        for (UINT x = 0; x < Side; ++x) {
            const UINT i = y * Side + x;
            const Inputs in{ToVec(TexelsA[i]), ToVec(TexelsB[i]), ToVec(Diffuse), (x + 0.5) / Side,
                            (y + 0.5) / Side};
            const std::optional<Vec> want = c.expected(in);
            if (!want)
                EXPECT_EQ(pixels[i], Ground) << "pixel (" << x << ", " << y << ") should be killed";
            else
                EXPECT_TRUE(Near(pixels[i], *want, 1, x, y));
        }
    }
    EXPECT_EQ(win32::testing::TakeGlError(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Effects, ShaderInstruction, ::testing::ValuesIn(ShaderCases()),
                         [](const ::testing::TestParamInfo<ShaderCase>& info) { return info.param.name; });

// A refused text: its offending line carries the marker "<-" (in a comment), unless `line` says otherwise.
struct RefusedCase {
    const char* name;
    std::string text;
    int line = 0;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string& LongText() {
    static const std::string text = [] {
        std::string t;
        while (t.size() <= 70000)
            t += "// a comment line to make the text long\n";
        return t + "technique T { pass P { } }\n";
    }();
    return text;
}

const std::vector<RefusedCase>& RefusedCases() {
    static const std::vector<RefusedCase> cases = {
        {"VertexShaderState",
         "technique T\n{\n    pass P\n    {\n        VertexShader = asm { vs.1.1 }; // <-\n    }\n}\n"},
        {"VertexShaderDeclaration", "vertexshader vs; // <-\ntechnique T { pass P { } }\n"},
        {"StateOutsideTheSubset",
         "technique T\n{\n    pass P\n    {\n        ZEnable = True; // <-\n    }\n}\n"},
        {"HighLevelShader",
         "technique T\n{\n    pass P\n    {\n        PixelShader = compile ps_1_1 main(); // <-\n    }\n}\n"},
        {"HighLevelFunction", "float4 main() : COLOR { return 0; } // <-\n"},
        {"TextLongerThan64KiB", LongText(),
         1 + static_cast<int>(std::count(LongText().begin(), LongText().begin() + 65536, '\n'))},
        {"NameLongerThan63Bytes", "float " + std::string(64, 'n') + "; // <-\ntechnique T { pass P { } }\n"},
        {"ParameterDeclaredTwice", "float a;\nfloat a; // <-\ntechnique T { pass P { } }\n"},
        {"UnknownParameter",
         "technique T\n{\n    pass P\n    {\n        Texture[0] = <Nothing>; // <-\n    }\n}\n"},
        {"TextureInAConstantRegister", "texture Tex;\ntechnique T\n{\n    pass P\n    {\n        "
                                       "PixelShaderConstant[0] = <Tex>; // <-\n    }\n}\n"},
        {"StageOutOfRange",
         "technique T\n{\n    pass P\n    {\n        MinFilter[8] = Point; // <-\n    }\n}\n"},
        {"ValueOutOfItsState",
         "technique T\n{\n    pass P\n    {\n        SrcBlend = Linear; // <-\n    }\n}\n"},
        {"NoTechnique", "float a;\n", 2},
        {"CommentNotClosed", "/* <-\n technique T { pass P { } }\n"},
        {"AsmNotClosed", "technique T\n{\n    pass P\n    {\n        PixelShader = asm { ps.1.1 // <-\n tex "
                         "t0\n mov r0, t0\n"},
        {"TextureAddressingInstruction", EffectAround("ps.1.1\ntex t0\ntexbem t1, t0 // <-\nmov r0, t1\n")},
        {"TooManyArithmeticInstructions",
         EffectAround(
             "ps.1.1\ntex t0\nmov r0, t0\nmov r0, t0\nmov r0, t0\nmov r0, t0\nmov r0, t0\nmov r0, t0\n"
             "mov r0, t0\nmov r0, t0\nmov r0, t0 // <-\n")},
        {"TooManyTextureInstructions",
         EffectAround("ps.1.1\ntex t0\ntex t1\ntex t2\ntex t3\ntexkill t0 // <-\nmov r0, t0\n")},
        {"RegisterReadBeforeWritten", EffectAround("ps.1.1\ntex t0\nmov r0, r1 // <-\n")},
        {"AlphaReadBeforeWritten", EffectAround("ps.1.1\ntex t0\nmov r1.rgb, t0\nmov r0, r1 // <-\n")},
        {"TextureRegisterNotLoaded", EffectAround("ps.1.1\ntex t0\nadd r0, t0, t1 // <-\n")},
        {"ResultNotWrittenInFull", EffectAround("ps.1.1\ntex t0\nmov r0.rgb, t0 // <-\n")},
        {"UnknownRegister", EffectAround("ps.1.1\ntex t0\nmov r0, q0 // <-\n")},
        {"RegisterBeyondTheVersion", EffectAround("ps.1.1\ntex t0\nmov r2, t0 // <-\nmov r0, r2\n")},
        {"OperandMissing", EffectAround("ps.1.1\ntex t0\nadd r0, t0 // <-\n")},
        {"WriteMaskOfPs14Only", EffectAround("ps.1.1\ntex t0\nmov r0, t0\nmov r0.rg, t0 // <-\n")},
        {"SourceModifierOfPs14Only", EffectAround("ps.1.1\ntex t0\nmov r0, t0_x2 // <-\n")},
        {"ResultModifierOfPs14Only", EffectAround("ps.1.1\ntex t0\nmov_x8 r0, t0 // <-\n")},
        {"SelectorOfPs14Only", EffectAround("ps.1.1\ntex t0\nmov r0, t0.g // <-\n")},
        {"UnknownInstruction", EffectAround("ps.1.1\ntex t0\nfrob r0, t0 // <-\n")},
        {"InstructionOfALaterVersion", EffectAround("ps.1.1\ntex t0\ntex t1\ndp4 r0, t0, t1 // <-\n")},
        {"TextureInstructionAfterArithmetic", EffectAround("ps.1.1\ntex t0\nmov r0, t0\ntex t1 // <-\n")},
        {"CndConditionOtherThanR0Alpha",
         EffectAround("ps.1.1\ntex t0\ntex t1\ncnd r0, t0.a, t0, t1 // <-\n")},
        {"DefAfterAnInstruction", EffectAround("ps.1.1\ntex t0\ndef c0, 1, 1, 1, 1 // <-\nmov r0, c0\n")},
        {"DefOfANonNumber", EffectAround("ps.1.1\ndef c0, 1, one, 1, 1 // <-\nmov r0, c0\n")},
        {"CoIssuedWritesOfTheSameComponents",
         EffectAround("ps.1.1\ntex t0\nmov r0, t0\n+mov r1, t0 // <-\n")},
        {"CoIssueWithoutAFirstHalf", EffectAround("ps.1.1\n+tex t0 // <-\nmov r0, t0\n")},
        {"TextureRegisterInArithmeticOfPs14", EffectAround("ps.1.4\ntexld r0, t0\nadd r0, r0, t0 // <-\n")},
        {"TwoPhaseMarkers", EffectAround("ps.1.4\ntexld r0, t0\nphase\nphase // <-\nmov r0, r0\n")},
        {"VersionOfAVertexShader", EffectAround("vs.1.1 // <-\nmov r0, v0\n")},
        {"VersionBeyondPs14", EffectAround("ps.2.0 // <-\nmov r0, v0\n")},
    };
    return cases;
}

int MarkedLine(const RefusedCase& c) {
    if (c.line) return c.line;
    const std::size_t marker = c.text.find("<-");
    return marker == std::string::npos
               ? 1 + static_cast<int>(std::count(c.text.begin(), c.text.end(), '\n'))
               : 1 + static_cast<int>(std::count(c.text.begin(),
                                                 c.text.begin() + static_cast<std::ptrdiff_t>(marker), '\n'));
}

class RefusedText : public EffectTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedText, FailsWithAMessageNamingItsLine) {
    const RefusedCase& c = GetParam();
    ID3DXEffect* effect = reinterpret_cast<ID3DXEffect*>(1);
    ID3DXBuffer* buffer = nullptr;
    const HRESULT made =
        D3DXCreateEffect(device, c.text.data(), static_cast<UINT>(c.text.size()), &effect, &buffer);
    EXPECT_TRUE(FAILED(made));
    EXPECT_EQ(effect, nullptr);
    ASSERT_NE(buffer, nullptr);
    const std::string message(static_cast<const char*>(buffer->GetBufferPointer()));
    EXPECT_EQ(buffer->GetBufferSize(), message.size() + 1);
    buffer->Release();
    EXPECT_EQ(message.rfind("line " + std::to_string(MarkedLine(c)) + ": ", 0), 0u) << message;
    EXPECT_GT(message.size(), 12u) << "a reason follows the line";
    EXPECT_EQ(win32::testing::TakeGlError(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Effects, RefusedText, ::testing::ValuesIn(RefusedCases()),
                         [](const ::testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

// Each pass copies one parameter's constant register, scaled so that the four components differ.
constexpr const char* ParameterEffect = R"(dword Count;
float Amount = 0.5;
float Whole;
vector Tint = {0.2, 0.4, 0.6, 0.8};
texture Tex0;
technique Show
{
    pass Count { PixelShaderConstant[0] = <Count>; PixelShader = asm { ps.1.1
        def c1, 1.0, 0.5, 0.25, 1.0
        mul r0, c0, c1 }; }
    pass Amount { PixelShaderConstant[3] = <Amount>; PixelShader = asm { ps.1.1
        mov r0, c3 }; }
    pass Whole { PixelShaderConstant[7] = <Whole>; PixelShader = asm { ps.1.1
        def c1, 1.0, 0.5, 0.25, 1.0
        mul r0, c7, c1 }; }
    pass Tint { PixelShaderConstant[2] = <Tint>; PixelShader = asm { ps.1.1
        mov r0, c2 }; }
}
)";

D3DCOLOR PixelOf(const std::vector<D3DCOLOR>& pixels) {
    return pixels.empty() ? 0 : pixels[0];
}

TEST_F(EffectTest, ParametersReachTheirConstantRegisters) {
    ID3DXEffect* effect = Compile(ParameterEffect);
    ASSERT_NE(effect, nullptr);
    // Initial values, then values set; a dword is converted to float, a float fills all four components.
    EXPECT_TRUE(Near(PixelOf(DrawPass(effect, 0)), Vec{0, 0, 0, 0}, 1, 0, 0));
    EXPECT_TRUE(Near(PixelOf(DrawPass(effect, 1)), All(0.5), 1, 0, 0));
    EXPECT_TRUE(Near(PixelOf(DrawPass(effect, 3)), Vec{0.2, 0.4, 0.6, 0.8}, 1, 0, 0));
    EXPECT_EQ(effect->SetDword("Count", 1), D3D_OK);
    EXPECT_EQ(effect->SetFloat("Amount", 0.25f), D3D_OK);
    EXPECT_EQ(effect->SetFloat("Whole", static_cast<float>(1)), D3D_OK); // an integer given as a float
    const D3DXVECTOR4 tint{0.9f, 0.1f, 0.3f, 0.7f};
    EXPECT_EQ(effect->SetVector("Tint", &tint), D3D_OK);
    EXPECT_TRUE(Near(PixelOf(DrawPass(effect, 0)), Vec{1, 0.5, 0.25, 1}, 1, 0, 0));
    EXPECT_TRUE(Near(PixelOf(DrawPass(effect, 1)), All(0.25), 1, 0, 0));
    EXPECT_TRUE(Near(PixelOf(DrawPass(effect, 2)), Vec{1, 0.5, 0.25, 1}, 1, 0, 0));
    EXPECT_TRUE(Near(PixelOf(DrawPass(effect, 3)), Vec{0.9, 0.1, 0.3, 0.7}, 1, 0, 0));
    // Dwords and floats take each other's values, truncated toward zero into a dword.
    EXPECT_EQ(effect->SetFloat("Count", 0.75f), D3D_OK);
    EXPECT_TRUE(Near(PixelOf(DrawPass(effect, 0)), Vec{0, 0, 0, 0}, 1, 0, 0));
    EXPECT_EQ(effect->SetDword("Amount", 1), D3D_OK);
    EXPECT_TRUE(Near(PixelOf(DrawPass(effect, 1)), All(1), 1, 0, 0));
    effect->Release();
}

TEST_F(EffectTest, ParametersAreSetAndReadOnlyByTheirTypes) {
    ID3DXEffect* effect = Compile(ParameterEffect);
    ASSERT_NE(effect, nullptr);
    float value = -1;
    EXPECT_EQ(effect->GetFloat("Amount", &value), D3D_OK);
    EXPECT_EQ(value, 0.5f);
    EXPECT_EQ(effect->SetFloat("Amount", 0.125f), D3D_OK);
    EXPECT_EQ(effect->GetFloat("Amount", &value), D3D_OK);
    EXPECT_EQ(value, 0.125f);
    for (const char* notFloat : {"Count", "Tint", "Tex0", "Missing", "amount"})
        EXPECT_TRUE(FAILED(effect->GetFloat(notFloat, &value))) << notFloat;
    EXPECT_TRUE(FAILED(effect->GetFloat("Amount", nullptr)));
    EXPECT_TRUE(FAILED(effect->GetFloat(nullptr, &value)));
    const D3DXVECTOR4 v{1, 1, 1, 1};
    EXPECT_TRUE(FAILED(effect->SetVector("Amount", &v)));
    EXPECT_TRUE(FAILED(effect->SetVector("Tint", nullptr)));
    EXPECT_TRUE(FAILED(effect->SetDword("Tex0", 5)));
    EXPECT_TRUE(FAILED(effect->SetFloat("Tint", 1)));
    EXPECT_TRUE(FAILED(effect->SetDword("Missing", 1)));
    effect->Release();
}

constexpr const char* TwoPassEffect = R"(texture Tex0;
technique First
{
    pass Blended
    {
        AlphaBlendEnable = True;
        SrcBlend = One;
        DestBlend = 2;
        MagFilter[1] = Linear;
        AddressU[1] = Clamp;
        PixelShader = asm { ps.1.1
            tex t0
            mov r0, 1-t0 };
    }
    pass Plain { }
}
technique Second { pass Only { PixelShader = asm { ps.1.1
    def c0, 0, 0, 0, 1
    mov r0, c0 }; } }
)";

TEST_F(EffectTest, PassesSetTheirStatesAndEndGivesThemBack) {
    ID3DXEffect* effect = Compile(TwoPassEffect);
    ASSERT_NE(effect, nullptr);
    EXPECT_TRUE(FAILED(effect->Pass(0)));
    EXPECT_TRUE(FAILED(effect->End()));
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK); // the first technique
    EXPECT_EQ(passes, 2u);
    EXPECT_TRUE(FAILED(effect->Begin(&passes, 0)));
    EXPECT_TRUE(FAILED(effect->Pass(2)));
    ASSERT_EQ(effect->Pass(0), D3D_OK);
    DWORD value = 0;
    const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {
        {D3DRS_ALPHABLENDENABLE, TRUE}, {D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_ONE}};
    for (const auto& [state, want] : states) {
        device->GetRenderState(state, &value);
        EXPECT_EQ(value, want) << state;
    }
    device->GetTextureStageState(1, D3DTSS_MAGFILTER, &value);
    EXPECT_EQ(value, D3DTEXF_LINEAR);
    device->GetTextureStageState(1, D3DTSS_ADDRESSU, &value);
    EXPECT_EQ(value, D3DTADDRESS_CLAMP);
    ASSERT_EQ(effect->End(), D3D_OK);
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, FALSE);
    device->GetRenderState(D3DRS_SRCBLEND, &value);
    EXPECT_EQ(value, D3DBLEND_ONE);
    device->GetRenderState(D3DRS_DESTBLEND, &value);
    EXPECT_EQ(value, D3DBLEND_ZERO);
    device->GetTextureStageState(1, D3DTSS_MAGFILTER, &value);
    EXPECT_EQ(value, D3DTEXF_POINT);
    device->GetTextureStageState(1, D3DTSS_ADDRESSU, &value);
    EXPECT_EQ(value, D3DTADDRESS_WRAP);
    // Without saving, the states stay.
    ASSERT_EQ(effect->Begin(nullptr, D3DXFX_DONOTSAVESTATE), D3D_OK);
    ASSERT_EQ(effect->Pass(0), D3D_OK);
    ASSERT_EQ(effect->End(), D3D_OK);
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, TRUE);
    effect->Release();
}

TEST_F(EffectTest, TechniquesAreChosenByNameAndPassesWithoutShaderDrawFixedFunction) {
    ID3DXEffect* effect = Compile(TwoPassEffect);
    ASSERT_NE(effect, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    // Pass "Plain" has no shader: the texture is copied.
    EXPECT_EQ(DrawPass(effect, 1), std::vector<D3DCOLOR>(TexelsA.begin(), TexelsA.end()));
    EXPECT_TRUE(FAILED(effect->SetTechnique("Third")));
    EXPECT_TRUE(FAILED(effect->SetTechnique(nullptr)));
    ASSERT_EQ(effect->SetTechnique("Second"), D3D_OK);
    EXPECT_EQ(DrawPass(effect, 0), std::vector<D3DCOLOR>(Side * Side, 0xFF000000));
    effect->Release();
}

TEST_F(EffectTest, EndAndReleaseGiveTheFixedFunctionProgramBack) {
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    const std::vector<D3DCOLOR> copy(TexelsA.begin(), TexelsA.end());
    ID3DXEffect* effect = Compile(InvertEffectText);
    ASSERT_NE(effect, nullptr);
    EXPECT_NE(DrawPass(effect), copy);
    DrawQuad();
    EXPECT_EQ(BackBuffer(), copy);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), D3D_OK);
    ASSERT_EQ(effect->Pass(0), D3D_OK);
    effect->Release(); // between Pass and End
    DrawQuad();
    EXPECT_EQ(BackBuffer(), copy);
}

// The device's alpha test follows the pixel shader, as the driver's draws expect: texels the shader leaves
// with an alpha under the reference are not drawn.
TEST_F(EffectTest, AlphaTestAppliesAfterThePixelShader) {
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    ID3DXEffect* effect = Compile(EffectAround("ps.1.1\ntex t0\nmov r0, t0\n"));
    ASSERT_NE(effect, nullptr);
    const std::vector<D3DCOLOR> pixels = DrawPass(effect);
    effect->Release();
    ASSERT_EQ(pixels.size(), TexelsA.size());
    for (std::size_t i = 0; i < pixels.size(); ++i)
        EXPECT_EQ(pixels[i], TexelsA[i] >> 24 >= 0x80 ? TexelsA[i] : Ground) << i;
}

TEST_F(EffectTest, SucceedsWithoutMessagesAndRefusesBadArguments) {
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* buffer = reinterpret_cast<ID3DXBuffer*>(1);
    const std::string text = GreyEffectText;
    ASSERT_EQ(D3DXCreateEffect(device, text.data(), static_cast<UINT>(text.size()), &effect, &buffer),
              D3D_OK);
    EXPECT_EQ(buffer, nullptr);
    effect->Release();
    // A NUL ends the text sooner.
    const std::string cut = text + std::string(1, '\0') + "garbage";
    ASSERT_EQ(D3DXCreateEffect(device, cut.data(), static_cast<UINT>(cut.size()), &effect, nullptr), D3D_OK);
    effect->Release();
    EXPECT_EQ(D3DXCreateEffect(nullptr, text.data(), 10, &effect, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(D3DXCreateEffect(device, nullptr, 10, &effect, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateEffect(device, text.data(), 10, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_TRUE(FAILED(D3DXCreateEffect(device, "", 0, &effect, nullptr)));
    EXPECT_EQ(effect, nullptr);
}

// The built-in invert complements the colour, the grey weighs it by 0.299, 0.587 and 0.114; both keep alpha.
TEST_F(EffectTest, BuiltInInvertAndGreyDrawAsTheirDefinitionsSay) {
    const std::pair<const char*, std::function<Vec(const Vec&)>> builtIns[] = {
        {InvertEffectText,
         [](const Vec& t) {
             return Vec{1 - t[0], 1 - t[1], 1 - t[2], t[3]};
         }},
        {GreyEffectText, [](const Vec& t) {
             const double grey = 0.299 * t[0] + 0.587 * t[1] + 0.114 * t[2];
             return Vec{grey, grey, grey, t[3]};
         }}};
    for (const auto& [text, expected] : builtIns) {
        ID3DXEffect* effect = Compile(text);
        ASSERT_NE(effect, nullptr);
        ASSERT_EQ(effect->SetTechnique("tech_main"), D3D_OK);
        const std::vector<D3DCOLOR> pixels = DrawPass(effect);
        effect->Release();
        ASSERT_EQ(pixels.size(), TexelsA.size());
        for (std::size_t i = 0; i < pixels.size(); ++i)
            EXPECT_TRUE(Near(pixels[i], expected(ToVec(TexelsA[i])), 1, i % Side, i / Side));
    }
}

} // namespace
