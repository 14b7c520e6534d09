#include "render_states.h"

#include "gl_context.h"

#include <algorithm>

namespace win32::d3d {

namespace {

// Indexed by the Direct3D number; 0 is no value and falls back to the state's default.
constexpr std::array<GLenum, 12> BlendFactors = {GL_ONE,
                                                 GL_ZERO,
                                                 GL_ONE,
                                                 GL_SRC_COLOR,
                                                 GL_ONE_MINUS_SRC_COLOR,
                                                 GL_SRC_ALPHA,
                                                 GL_ONE_MINUS_SRC_ALPHA,
                                                 GL_DST_ALPHA,
                                                 GL_ONE_MINUS_DST_ALPHA,
                                                 GL_DST_COLOR,
                                                 GL_ONE_MINUS_DST_COLOR,
                                                 GL_SRC_ALPHA_SATURATE};
constexpr std::array<GLenum, 6> BlendOps = {
    GL_FUNC_ADD, GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN, GL_MAX};
constexpr std::array<GLenum, 9> Compares = {GL_ALWAYS,  GL_NEVER,    GL_LESS,   GL_EQUAL, GL_LEQUAL,
                                            GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};

template <std::size_t N> GLenum Lookup(const std::array<GLenum, N>& table, DWORD value) {
    return value < N ? table[value] : table[0];
}

GLenum Address(DWORD mode) {
    switch (mode) {
    case 2:
        return GL_MIRRORED_REPEAT;
    case 3:
        return GL_CLAMP_TO_EDGE;
    case 4:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

bool Linear(DWORD filter) {
    return filter == D3DTEXF_LINEAR || filter == D3DTEXF_ANISOTROPIC;
}

} // namespace

void ApplyRenderStates(const RenderStates& rs, bool hasDepthBuffer, bool targetHasAlpha) {
    if (rs[D3DRS_ALPHABLENDENABLE]) {
        glEnable(GL_BLEND);
        glBlendFunc(Lookup(BlendFactors, rs[D3DRS_SRCBLEND]), Lookup(BlendFactors, rs[D3DRS_DESTBLEND]));
        glBlendEquation(Lookup(BlendOps, rs[D3DRS_BLENDOP]));
    } else {
        glDisable(GL_BLEND);
    }
    const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
    glColorMask((mask & D3DCOLORWRITEENABLE_RED) != 0, (mask & D3DCOLORWRITEENABLE_GREEN) != 0,
                (mask & D3DCOLORWRITEENABLE_BLUE) != 0,
                targetHasAlpha && (mask & D3DCOLORWRITEENABLE_ALPHA) != 0);
    if (hasDepthBuffer && rs[D3DRS_ZENABLE]) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(Lookup(Compares, rs[D3DRS_ZFUNC]));
    } else {
        glDisable(GL_DEPTH_TEST);
    }
    glDepthMask(hasDepthBuffer && rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    // Rows run top first, which mirrors the screen: a triangle clockwise on screen is counter-clockwise here.
    const DWORD cull = rs[D3DRS_CULLMODE];
    if (cull == 2 || cull == 3) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(cull == 3 ? GL_CCW : GL_CW);
    } else {
        glDisable(GL_CULL_FACE);
    }
    glDisable(GL_SCISSOR_TEST);
}

void ApplySamplerStates(DWORD magFilter, DWORD minFilter, DWORD mipFilter, DWORD addressU, DWORD addressV,
                        DWORD maxAnisotropy) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, Linear(magFilter) ? GL_LINEAR : GL_NEAREST);
    GLenum min = Linear(minFilter) ? GL_LINEAR : GL_NEAREST;
    if (mipFilter == D3DTEXF_POINT)
        min = Linear(minFilter) ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (mipFilter == D3DTEXF_LINEAR)
        min = Linear(minFilter) ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(min));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLint>(Address(addressU)));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLint>(Address(addressV)));
    const GLfloat most = MaxAnisotropy();
    if (most >= 2) {
        const bool anisotropic = magFilter == D3DTEXF_ANISOTROPIC || minFilter == D3DTEXF_ANISOTROPIC;
        const GLfloat degree =
            anisotropic ? std::clamp(static_cast<GLfloat>(maxAnisotropy), 1.0f, most) : 1.0f;
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, degree);
    }
}

} // namespace win32::d3d
