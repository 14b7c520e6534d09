// The title's glass panel and the effect of the demo's effect bank it is drawn through: a tint going from
// one colour at the panel's left edge to another at its right, both set by the effect's parameters, the
// first column taking the first colour whole (the effect reads the width of one pixel for it). Through the
// display driver the panel shows the tint; on the library's surfaces it shows its coefficient alone, a
// blend of half.
#pragma once

#include <array>
#include <cstdint>

// Where the panel's centre is placed on the title, and its side.
constexpr int TitlePanelX = 320, TitlePanelY = 300, TitlePanelSize = 64;
// The panel's colour, red in the low byte.
constexpr std::uint32_t TitlePanelColour = 0xE0F0F0;
// The effect object's coefficient: white at alpha 127, which software surfaces draw as a blend of 64.
constexpr std::uint32_t TitlePanelCoefficient = 0x7FFFFFFF;
// The tint's colours at the left and right edges: red, green, blue.
constexpr std::array<float, 3> TitlePanelTintFrom = {1.0f, 0.8f, 0.4f};
constexpr std::array<float, 3> TitlePanelTintTo = {0.4f, 0.8f, 1.0f};

// The effect's parameters, in bank order, all floats: the first colour's channels, then the second's.
inline constexpr char TitlePanelEffectNames[] = "fromRed\0fromGreen\0fromBlue\0toRed\0toGreen\0toBlue";
constexpr int TitlePanelEffectParameters = 6;

inline constexpr const char* TitlePanelEffectText = R"(// A tint from one colour to another, left to right.
float fromRed = 1.0;
float fromGreen = 1.0;
float fromBlue = 1.0;
float toRed = 1.0;
float toGreen = 1.0;
float toBlue = 1.0;
float fPixelWidth;
texture Tex0;

technique tech_main
{
    pass P0
    {
        Texture[0] = <Tex0>;
        PixelShaderConstant[1] = <fromRed>;
        PixelShaderConstant[2] = <fromGreen>;
        PixelShaderConstant[3] = <fromBlue>;
        PixelShaderConstant[4] = <toRed>;
        PixelShaderConstant[5] = <toGreen>;
        PixelShaderConstant[6] = <toBlue>;
        PixelShaderConstant[7] = <fPixelWidth>;
        PixelShader = asm
        {
            ps.1.4
            def c0, -0.5, -0.5, -0.5, -0.5
            texcrd r1.rgb, t0
            mov r2, c1
            mov r2.g, c2
            mov r2.b, c3
            mov r3, c4
            mov r3.g, c5
            mov r3.b, c6
            mad r1.r, c7, c0, r1
            phase
            texld r0, t0
            lrp r4.rgb, r1.r, r3, r2
            mul r0.rgb, r0, r4
        };
    }
}
)";
