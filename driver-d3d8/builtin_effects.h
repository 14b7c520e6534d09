// The inks invert and grey as effect texts: one technique "tech_main", one pass "P0" drawing the texture
// of stage 0 (parameter "Tex0") through a version 1.0 pixel shader; compiled like an application's effects.
#pragma once

// Each colour channel from 1, the alpha kept.
inline constexpr const char* InvertEffectText = R"(texture Tex0;

technique tech_main
{
    pass P0
    {
        Texture[0] = <Tex0>;
        PixelShader = asm
        {
            ps.1.0
            def c0, 1.0, 1.0, 1.0, 0.0
            tex t0
            sub r0, c0, t0
            mov r0.a, t0.a
        };
    }
}
)";

// The luminance of the colour in every channel, the alpha kept.
inline constexpr const char* GreyEffectText = R"(texture Tex0;

technique tech_main
{
    pass P0
    {
        Texture[0] = <Tex0>;
        PixelShader = asm
        {
            ps.1.0
            def c0, 0.299, 0.587, 0.114, 0.0
            tex t0
            dp3 r0.rgb, c0, t0
            mov r0.a, t0.a
        };
    }
}
)";
