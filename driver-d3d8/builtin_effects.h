// The inks invert and grey as effect texts: one technique "tech_main", one pass "P0" drawing the texture
// of stage 0 (parameter "Tex0") through a version 1.0 pixel shader; compiled like an application's effects.
#pragma once

// The form both take: constant c0, the colour worked out of t0 and c0, the alpha kept.
#define VTR_BUILTIN_EFFECT_TEXT(constant, colour)                                                            \
    "texture Tex0;\n"                                                                                        \
    "\n"                                                                                                     \
    "technique tech_main\n"                                                                                  \
    "{\n"                                                                                                    \
    "    pass P0\n"                                                                                          \
    "    {\n"                                                                                                \
    "        Texture[0] = <Tex0>;\n"                                                                         \
    "        PixelShader = asm\n"                                                                            \
    "        {\n"                                                                                            \
    "            ps.1.0\n"                                                                                   \
    "            def c0, " constant "\n"                                                                     \
    "            tex t0\n"                                                                                   \
    "            " colour "\n"                                                                               \
    "            mov r0.a, t0.a\n"                                                                           \
    "        };\n"                                                                                           \
    "    }\n"                                                                                                \
    "}\n"

// Each colour channel from 1.
inline constexpr const char* InvertEffectText =
    VTR_BUILTIN_EFFECT_TEXT("1.0, 1.0, 1.0, 0.0", "sub r0, c0, t0");
// The luminance of the colour in every channel.
inline constexpr const char* GreyEffectText =
    VTR_BUILTIN_EFFECT_TEXT("0.299, 0.587, 0.114, 0.0", "dp3 r0.rgb, c0, t0");

#undef VTR_BUILTIN_EFFECT_TEXT
