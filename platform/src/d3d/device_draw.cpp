// Drawing pre-transformed vertices with the fixed-function program into the render target.
#include "device.h"

#include "fixed_function.h"
#include "gl_context.h"
#include "render_states.h"
#include "texture.h"

#include <cstdint>

namespace win32::d3d {

HRESULT Device::SetVertexShader(DWORD handle) {
    vertexFormat_ = handle;
    return D3D_OK;
}

HRESULT Device::GetVertexShader(DWORD* handle) {
    if (!handle) return D3DERR_INVALIDCALL;
    *handle = vertexFormat_;
    return D3D_OK;
}

namespace {

struct VertexLayout {
    UINT size = 16; // x, y, z, rhw
    int diffuse = -1;
    int texCoord = -1;
};

constexpr DWORD PositionMask = 0x00E;
constexpr DWORD SpecularBit = 0x080;

bool LayoutOf(DWORD format, VertexLayout* out) {
    if ((format & PositionMask) != D3DFVF_XYZRHW) return false;
    VertexLayout layout;
    if (format & D3DFVF_DIFFUSE) {
        layout.diffuse = static_cast<int>(layout.size);
        layout.size += 4;
    }
    if (format & SpecularBit) layout.size += 4;
    const DWORD sets = (format >> 8) & 0xF;
    if (sets > 0) layout.texCoord = static_cast<int>(layout.size);
    layout.size += sets * 8;
    *out = layout;
    return true;
}

// The vertices a number of primitives takes, and the GL mode; 0 for a type that is none.
std::size_t VertexCount(D3DPRIMITIVETYPE type, UINT primitives, GLenum* mode) {
    const std::size_t n = primitives;
    switch (type) {
    case D3DPT_POINTLIST:
        *mode = GL_POINTS;
        return n;
    case D3DPT_LINELIST:
        *mode = GL_LINES;
        return 2 * n;
    case D3DPT_LINESTRIP:
        *mode = GL_LINE_STRIP;
        return n + 1;
    case D3DPT_TRIANGLELIST:
        *mode = GL_TRIANGLES;
        return 3 * n;
    case D3DPT_TRIANGLESTRIP:
        *mode = GL_TRIANGLE_STRIP;
        return n + 2;
    case D3DPT_TRIANGLEFAN:
        *mode = GL_TRIANGLE_FAN;
        return n + 2;
    default:
        return 0;
    }
}

const void* At(int offset) {
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(offset));
}

} // namespace

bool Device::PrepareDraw(bool line) {
    if (!vertexArray_) {
        glGenVertexArrays(1, &vertexArray_);
        glGenBuffers(1, &vertexBuffer_);
    }
    if (!BindTarget()) return false;
    target_->ContextWillWrite();
    const UINT width = target_->Width(), height = target_->Height();
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    ApplyRenderStates(renderStates_, target_->HasDepth(), target_->WritesAlpha());
    if (pass_.program) return PreparePass(line);
    const auto& s0 = stageStates_[0];
    Texture* texture = dynamic_cast<Texture*>(textures_[0]);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture ? texture->Name() : 0);
    if (texture)
        ApplySamplerStates(s0[D3DTSS_MAGFILTER], s0[D3DTSS_MINFILTER], s0[D3DTSS_MIPFILTER],
                           s0[D3DTSS_ADDRESSU], s0[D3DTSS_ADDRESSV], s0[D3DTSS_MAXANISOTROPY]);
    FixedFunctionInputs in{};
    in.targetWidth = static_cast<float>(width);
    in.targetHeight = static_cast<float>(height);
    in.offset = line ? 0.5f : 0.0f;
    in.stage = StageZero{s0[D3DTSS_COLOROP], s0[D3DTSS_COLORARG1], s0[D3DTSS_COLORARG2],
                         s0[D3DTSS_ALPHAOP], s0[D3DTSS_ALPHAARG1], s0[D3DTSS_ALPHAARG2]};
    in.textured = texture != nullptr;
    in.textureFactor = renderStates_[D3DRS_TEXTUREFACTOR];
    in.alphaTest = renderStates_[D3DRS_ALPHATESTENABLE] != 0;
    in.alphaFunc = renderStates_[D3DRS_ALPHAFUNC];
    in.alphaRef = renderStates_[D3DRS_ALPHAREF];
    return UseFixedFunction(in);
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                                UINT stride) {
    constexpr UINT MostPrimitives = 0xFFFFF;
    VertexLayout layout;
    GLenum mode = GL_NONE;
    const std::size_t count = VertexCount(type, primitiveCount, &mode);
    if (!inScene_ || !vertices || primitiveCount == 0 || primitiveCount > MostPrimitives || count == 0 ||
        !LayoutOf(vertexFormat_, &layout) || stride < layout.size)
        return D3DERR_INVALIDCALL;
    FlushPendingBatch();
    GlScope gl;
    if (!gl.ok()) return D3DERR_DRIVERINTERNALERROR;
    const bool line = mode == GL_LINES || mode == GL_LINE_STRIP || mode == GL_POINTS;
    if (!PrepareDraw(line)) return D3DERR_DRIVERINTERNALERROR;
    glBindVertexArray(vertexArray_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * stride), vertices, GL_STREAM_DRAW);
    const auto s = static_cast<GLsizei>(stride);
    glEnableVertexAttribArray(PositionAttribute);
    glVertexAttribPointer(PositionAttribute, 4, GL_FLOAT, GL_FALSE, s, At(0));
    if (layout.diffuse >= 0) {
        glEnableVertexAttribArray(DiffuseAttribute);
        // D3DCOLOR's bytes are blue, green, red, alpha: GL reads them so as BGRA.
        glVertexAttribPointer(DiffuseAttribute, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, s, At(layout.diffuse));
    } else {
        glDisableVertexAttribArray(DiffuseAttribute);
        glVertexAttrib4f(DiffuseAttribute, 1, 1, 1, 1);
    }
    if (layout.texCoord >= 0) {
        glEnableVertexAttribArray(TexCoordAttribute);
        glVertexAttribPointer(TexCoordAttribute, 2, GL_FLOAT, GL_FALSE, s, At(layout.texCoord));
    } else {
        glDisableVertexAttribArray(TexCoordAttribute);
        glVertexAttrib2f(TexCoordAttribute, 0, 0);
    }
    glDrawArrays(mode, 0, static_cast<GLsizei>(count));
    target_->ContextWrote();
    ++drawCalls_;
    return D3D_OK;
}

} // namespace win32::d3d
