// Effects of a device: the text read and translated (effect_text.h), one GL program per pass that has a
// pixel shader, and the passes applied to the device.
#include "win32/d3dx8.h"

#include "device.h"
#include "effect_text.h"
#include "gl_context.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

namespace win32 {

namespace {

using d3d::EffectDescription;
using d3d::EffectParameter;
using d3d::EffectState;
using d3d::ParameterType;
using d3d::PassProgram;
using d3d::StateKind;

class Buffer final : public ID3DXBuffer {
public:
    explicit Buffer(const std::string& text) : text_(text.c_str(), text.size() + 1) {}
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    void* GetBufferPointer() override { return text_.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(text_.size()); }

private:
    ~Buffer() = default;
    std::atomic<ULONG> refs_{1};
    std::string text_; // with its NUL
};

// A pass's program, and where its constant registers are set (-1 for a register it does not read).
struct BuiltPass {
    PassProgram program; // program 0: the pass draws with the fixed-function program
    std::array<GLint, d3d::PixelShaderConstants> constants{};
};

// Truncated toward zero, and kept in range: a float given to a dword parameter.
DWORD DwordOf(float value) {
    if (!(value > -2147483648.0f)) return value < 0 ? 0x80000000u : 0;
    if (value >= 4294967296.0f) return 0xFFFFFFFFu;
    return value < 0 ? static_cast<DWORD>(static_cast<std::int64_t>(value)) : static_cast<DWORD>(value);
}

// What a parameter puts in a constant register.
std::array<float, 4> ConstantOf(const EffectParameter& p) {
    switch (p.type) {
    case ParameterType::Dword: {
        const auto v = static_cast<float>(p.dword);
        return {v, v, v, v};
    }
    case ParameterType::Float:
        return {p.vector[0], p.vector[0], p.vector[0], p.vector[0]};
    default:
        return p.vector;
    }
}

class Effect final : public ID3DXEffect {
public:
    Effect(d3d::Device* device, EffectDescription description)
        : device_(device), description_(std::move(description)) {
        device_->AddRef();
    }

    // The passes' programs; false with the reason in `message` when the context cannot build one.
    bool Build(std::string* message);

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT SetTechnique(const char* name) override;
    HRESULT SetDword(const char* name, DWORD value) override;
    HRESULT SetFloat(const char* name, float value) override;
    HRESULT SetVector(const char* name, const D3DXVECTOR4* value) override;
    HRESULT GetFloat(const char* name, float* value) override;
    HRESULT Begin(UINT* passes, DWORD flags) override;
    HRESULT Pass(UINT pass) override;
    HRESULT End() override;

private:
    ~Effect();
    EffectParameter* Find(const char* name);
    HRESULT SetNumber(const char* name, DWORD asDword, float asFloat);
    void GiveBackFixedFunction();

    struct SavedState {
        StateKind kind;
        DWORD stage, type, value;
    };

    std::atomic<ULONG> refs_{1};
    d3d::Device* device_;
    EffectDescription description_;
    std::vector<std::vector<BuiltPass>> built_; // by technique, then pass
    std::size_t technique_ = 0;
    bool begun_ = false;
    std::vector<SavedState> saved_;
};

bool Effect::Build(std::string* message) {
    d3d::GlScope gl;
    if (!gl.ok()) {
        *message = "line 1: the device has no context to build pixel shaders in";
        return false;
    }
    for (const d3d::EffectTechnique& technique : description_.techniques) {
        built_.emplace_back();
        for (const d3d::EffectPass& pass : technique.passes) {
            BuiltPass& built = built_.back().emplace_back();
            built.constants.fill(-1);
            if (!pass.shader) continue;
            std::string log;
            const GLuint program = d3d::LinkWithVertexStage(pass.shader->glsl.c_str(), &log);
            if (!program) {
                d3d::DrainGlErrors();
                *message =
                    "line " + std::to_string(pass.line) + ": the pass's pixel shader does not build: " + log;
                return false;
            }
            built.program.program = program;
            built.program.common = d3d::LocateCommonUniforms(program);
            built.program.stages = pass.shader->stages;
            glUseProgram(program);
            for (DWORD n = 0; n < d3d::PixelShaderConstants; ++n) {
                const std::string index = std::to_string(n);
                if (pass.shader->stages & (1u << n))
                    glUniform1i(glGetUniformLocation(program, ("stage" + index).c_str()),
                                static_cast<GLint>(n));
                if (pass.shader->constantsRead & (1u << n))
                    built.constants[n] = glGetUniformLocation(program, ("constant" + index).c_str());
            }
        }
    }
    glUseProgram(0);
    d3d::DrainGlErrors();
    return true;
}

Effect::~Effect() {
    GiveBackFixedFunction();
    d3d::GlScope gl;
    if (gl.ok()) {
        // Programs still in use are only marked for deletion, and the rasteriser frees what it made for
        // them once its work is done: both are settled here, not left for a draw that may not come.
        glUseProgram(0);
        for (const auto& technique : built_)
            for (const BuiltPass& pass : technique)
                if (pass.program.program) glDeleteProgram(pass.program.program);
        glFinish();
    }
    device_->Release();
}

// The device draws with the fixed-function program again when one of these passes is its program.
void Effect::GiveBackFixedFunction() {
    const GLuint current = device_->PassProgramName();
    if (!current) return;
    for (const auto& technique : built_)
        for (const BuiltPass& pass : technique)
            if (pass.program.program == current) device_->UsePassProgram(nullptr);
}

EffectParameter* Effect::Find(const char* name) {
    if (!name) return nullptr;
    for (EffectParameter& p : description_.parameters)
        if (p.name == name) return &p;
    return nullptr;
}

HRESULT Effect::SetTechnique(const char* name) {
    if (!name || begun_) return D3DERR_INVALIDCALL;
    for (std::size_t t = 0; t < description_.techniques.size(); ++t) {
        if (description_.techniques[t].name == name) {
            technique_ = t;
            return D3D_OK;
        }
    }
    return D3DERR_INVALIDCALL;
}

// Dword and float parameters take each other's values: the dword is the float truncated toward zero.
HRESULT Effect::SetNumber(const char* name, DWORD asDword, float asFloat) {
    EffectParameter* p = Find(name);
    if (!p || (p->type != ParameterType::Dword && p->type != ParameterType::Float)) return D3DERR_INVALIDCALL;
    p->dword = asDword;
    p->vector[0] = asFloat;
    return D3D_OK;
}

HRESULT Effect::SetDword(const char* name, DWORD value) {
    return SetNumber(name, value, static_cast<float>(value));
}

HRESULT Effect::SetFloat(const char* name, float value) {
    return SetNumber(name, DwordOf(value), value);
}

HRESULT Effect::SetVector(const char* name, const D3DXVECTOR4* value) {
    EffectParameter* p = Find(name);
    if (!p || !value || p->type != ParameterType::Vector) return D3DERR_INVALIDCALL;
    p->vector = {value->x, value->y, value->z, value->w};
    return D3D_OK;
}

HRESULT Effect::GetFloat(const char* name, float* value) {
    const EffectParameter* p = Find(name);
    if (!p || !value || p->type != ParameterType::Float) return D3DERR_INVALIDCALL;
    *value = p->vector[0];
    return D3D_OK;
}

HRESULT Effect::Begin(UINT* passes, DWORD flags) {
    if (begun_) return D3DERR_INVALIDCALL;
    const auto& technique = description_.techniques[technique_];
    saved_.clear();
    if (!(flags & D3DXFX_DONOTSAVESTATE)) {
        for (const d3d::EffectPass& pass : technique.passes) {
            for (const EffectState& s : pass.states) {
                SavedState saved{s.kind, s.stage, s.type, 0};
                if (s.kind == StateKind::Render)
                    device_->GetRenderState(s.type, &saved.value);
                else if (s.kind == StateKind::Stage)
                    device_->GetTextureStageState(s.stage, s.type, &saved.value);
                else
                    continue;
                saved_.push_back(saved);
            }
        }
    }
    begun_ = true;
    if (passes) *passes = static_cast<UINT>(technique.passes.size());
    return D3D_OK;
}

HRESULT Effect::Pass(UINT index) {
    const auto& technique = description_.techniques[technique_];
    if (!begun_ || index >= technique.passes.size()) return D3DERR_INVALIDCALL;
    const d3d::EffectPass& pass = technique.passes[index];
    // Quads queued before draw as they were set up: this pass's constants may go to the program they use.
    device_->FlushPendingBatch();
    std::array<std::array<float, 4>, d3d::PixelShaderConstants> constants{};
    for (const EffectState& s : pass.states) {
        switch (s.kind) {
        case StateKind::Render:
            device_->SetRenderState(s.type, s.value);
            break;
        case StateKind::Stage:
            device_->SetTextureStageState(s.stage, s.type, s.value);
            break;
        case StateKind::Constant:
            constants[s.stage] = ConstantOf(description_.parameters[s.parameter]);
            break;
        case StateKind::Texture:
            // The stage's texture is the caller's to bind: the effect holds no textures.
            break;
        }
    }
    const BuiltPass& built = built_[technique_][index];
    if (!built.program.program) {
        device_->UsePassProgram(nullptr);
        return D3D_OK;
    }
    d3d::GlScope gl;
    if (!gl.ok()) return D3DERR_DRIVERINTERNALERROR;
    glUseProgram(built.program.program);
    for (std::size_t n = 0; n < constants.size(); ++n)
        if (built.constants[n] >= 0) glUniform4fv(built.constants[n], 1, constants[n].data());
    device_->UsePassProgram(&built.program);
    return D3D_OK;
}

HRESULT Effect::End() {
    if (!begun_) return D3DERR_INVALIDCALL;
    for (const SavedState& s : saved_) {
        if (s.kind == StateKind::Render)
            device_->SetRenderState(s.type, s.value);
        else
            device_->SetTextureStageState(s.stage, s.type, s.value);
    }
    saved_.clear();
    device_->UsePassProgram(nullptr);
    begun_ = false;
    return D3D_OK;
}

HRESULT Refuse(const std::string& message, ID3DXBuffer** messages) {
    if (messages) *messages = new (std::nothrow) Buffer(message);
    return D3DXERR_INVALIDDATA;
}

} // namespace

HRESULT D3DXCreateEffect(IDirect3DDevice8* device, const void* text, UINT length, ID3DXEffect** effect,
                         ID3DXBuffer** messages) {
    if (messages) *messages = nullptr;
    if (!effect) return D3DERR_INVALIDCALL;
    *effect = nullptr;
    auto* owner = dynamic_cast<d3d::Device*>(device);
    if (!owner || (!text && length > 0)) return D3DERR_INVALIDCALL;
    std::string_view source(static_cast<const char*>(text), text ? length : 0);
    source = source.substr(0, source.find('\0'));
    EffectDescription description;
    std::string message;
    if (!d3d::ReadEffectText(source, &description, &message)) return Refuse(message, messages);
    Effect* made = new (std::nothrow) Effect(owner, std::move(description));
    if (!made) return E_OUTOFMEMORY;
    if (!made->Build(&message)) {
        made->Release();
        return Refuse(message, messages);
    }
    *effect = made;
    return D3D_OK;
}

} // namespace win32
