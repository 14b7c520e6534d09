// Effects on the screen: application effect objects compiled for its device (attached, detached, test
// compiled, their parameters set), their texture parameters and pixel size, and the built-in invert and grey.
#include "builtin_effects.h"
#include "effects.h"
#include "ink_mapping.h"
#include "render_texture.h"
#include "screen_surface.h"
#include "texture_surfaces.h"

#include "vtrs2/effect.h"
#include "vtrs2/image_surface.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>
#include <utility>

using namespace win32;

namespace {

constexpr const char* NoSourceMessage = "No .FX data\n";
constexpr const char* NoDeviceMessage = "No D3D device\n";
constexpr const char* NoCompilerTextMessage = "Cannot compile effect";
// The texture cache keeps the textures effects bind: they are never purged.
constexpr DWORD LockedTexture = 1;

// Copies the text into the caller's buffer, cut to `size` characters with the NUL.
void CopyMessage(char* buffer, int size, std::string_view text) {
    if (!buffer || size <= 0) return;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

// The parameter names, NUL-separated in parameter order; null past the last.
const char* ParameterName(const CEffectEx& effect, int index) {
    const char* name = effect.names;
    if (!name) return nullptr;
    for (int i = 0; i < index; ++i)
        name += std::strlen(name) + 1;
    return name;
}

// One parameter set on the compiled effect by its type; textures are bound when drawing (0).
HRESULT SetByType(ID3DXEffect* compiled, const char* name, const EffectParamValue& value) {
    switch (value.type) {
    case EffectParamInteger:
        return compiled->SetDword(name, value.value);
    case EffectParamFloat:
        return compiled->SetFloat(name, std::bit_cast<float>(value.value));
    case EffectParamIntegerAsFloat:
        return compiled->SetFloat(name, static_cast<float>(static_cast<std::int32_t>(value.value)));
    default:
        return 0;
    }
}

// The texture behind a driver surface of the texture kinds; null for any other surface.
IDirect3DTexture8* TextureOfSurface(cSurfaceImplementation* surface) {
    if (!surface) return nullptr;
    switch (surface->GetType()) {
    case SurfaceTypeD3DRenderTexture:
        return static_cast<cD3DRenderTextureSurface*>(surface)->Texture();
    case SurfaceTypeD3DUnmanagedTexture:
    case SurfaceTypeD3DManagedTexture:
        return static_cast<cD3DTextureSurface*>(surface)->Texture();
    default:
        return nullptr;
    }
}

} // namespace

ID3DXEffect* CreateEffectFromEffectEx(cD3DScreenSurface* screen, CEffectEx* effect) {
    if (!effect || !effect->source || !screen || !screen->Device()) return nullptr;
    ID3DXEffect* compiled = nullptr;
    if (FAILED(D3DXCreateEffect(screen->Device(), effect->source,
                                static_cast<UINT>(std::strlen(effect->source)), &compiled, nullptr)) ||
        !compiled)
        return nullptr;
    effect->compiled = compiled;
    compiled->SetTechnique(EffectTechnique);
    for (int i = 0; i < effect->paramCount && effect->values; ++i)
        if (const char* name = ParameterName(*effect, i)) SetByType(compiled, name, effect->values[i]);
    float unused = 0;
    if (SUCCEEDED(compiled->GetFloat("fPixelWidth", &unused)) ||
        SUCCEEDED(compiled->GetFloat("fPixelHeight", &unused)))
        effect->flags |= EffectReadsPixelSize;
    return compiled;
}

void SetEffectPixelSize(CEffectEx* effect, int width, int height) {
    if (!effect || !effect->compiled || width == 0 || height == 0) return;
    auto* compiled = static_cast<ID3DXEffect*>(effect->compiled);
    compiled->SetFloat("fPixelWidth", 1.0f / static_cast<float>(width));
    compiled->SetFloat("fPixelHeight", 1.0f / static_cast<float>(height));
}

DWORD BindEffectTextures(IDirect3DDevice8* device, CEffectEx* effect, DWORD stage, DWORD captureStage) {
    if (!device || !effect || !effect->values) return stage;
    auto* context = reinterpret_cast<AppContext*>(effect->GetExtraValue());
    for (int i = 0; i < effect->paramCount; ++i) {
        const EffectParamValue& parameter = effect->values[i];
        if (parameter.type != EffectParamTexture) continue;
        const DWORD next = stage + 1 == captureStage ? stage + 2 : stage + 1;
        if (next >= D3DMAXTEXTURESTAGES) break;
        stage = next;
        // A 32-bit value cannot hold a surface's address here: only image numbers name textures.
        cSurfaceImplementation* surface = nullptr;
        if (parameter.value != 0 && parameter.value < EffectImageNumberLimit)
            surface = GetImageTexture(context, parameter.value, LockedTexture);
        device->SetTexture(stage, TextureOfSurface(surface));
    }
    return stage;
}

void cD3DScreenSurface::AttachEffect(CEffectEx* effect) {
    if (!effect || effect->compiled) return;
    if (!CreateEffectFromEffectEx(this, effect)) return;
    effect->attached = this;
    effects_.push_back(effect);
}

void cD3DScreenSurface::DetachEffect(CEffectEx* effect) {
    if (!effect) return;
    if (effect->compiled) static_cast<ID3DXEffect*>(effect->compiled)->Release();
    effect->compiled = nullptr;
    effect->attached = nullptr;
    if (const auto at = std::find(effects_.begin(), effects_.end(), effect); at != effects_.end())
        effects_.erase(at);
}

int cD3DScreenSurface::CompileEffect(CEffectEx* effect, char* message, int messageSize) {
    if (!effect || !effect->source) {
        CopyMessage(message, messageSize, NoSourceMessage);
        return 0;
    }
    if (!device_) {
        CopyMessage(message, messageSize, NoDeviceMessage);
        return 0;
    }
    ID3DXEffect* compiled = nullptr;
    ID3DXBuffer* errors = nullptr;
    const HRESULT made = D3DXCreateEffect(device_, effect->source,
                                          static_cast<UINT>(std::strlen(effect->source)), &compiled, &errors);
    const char* text = errors ? static_cast<const char*>(errors->GetBufferPointer()) : nullptr;
    const bool compiledOk = SUCCEEDED(made) && compiled;
    CopyMessage(message, messageSize, text ? text : compiledOk ? "" : NoCompilerTextMessage);
    if (errors) errors->Release();
    if (compiled) compiled->Release();
    return compiledOk ? 1 : 0;
}

int cD3DScreenSurface::SetEffectParameter(CEffectEx* effect, int index) {
    if (!effect || !effect->compiled) return 0;
    if (index < 0 || index >= effect->paramCount || !effect->values) return effect->paramCount;
    const char* name = ParameterName(*effect, index);
    if (!name) return 0;
    return static_cast<int>(
        SetByType(static_cast<ID3DXEffect*>(effect->compiled), name, effect->values[index]));
}

ID3DXEffect* cD3DScreenSurface::BuiltInEffect(ID3DXEffect*& slot, const char* text) {
    if (slot || !device_) return slot;
    ID3DXEffect* made = nullptr;
    if (FAILED(D3DXCreateEffect(device_, text, static_cast<UINT>(std::strlen(text)), &made, nullptr)) ||
        !made)
        return nullptr;
    made->SetTechnique(EffectTechnique);
    slot = made;
    return slot;
}

ID3DXEffect* cD3DScreenSurface::GetInvertEffect() {
    return BuiltInEffect(invertEffect_, InvertEffectText);
}

ID3DXEffect* cD3DScreenSurface::GetGrayscaleEffect() {
    return BuiltInEffect(greyEffect_, GreyEffectText);
}

ID3DXEffect* cD3DScreenSurface::EffectOf(const InkDrawing& drawing) {
    switch (drawing.effect) {
    case InkEffectKind::Invert:
        return GetInvertEffect();
    case InkEffectKind::Grey:
        return GetGrayscaleEffect();
    case InkEffectKind::Object: {
        CEffectEx* object = drawing.object;
        if (!object->compiled) AttachEffect(object);
        // An effect compiled for another screen's device does not draw here.
        return object->attached == this ? static_cast<ID3DXEffect*>(object->compiled) : nullptr;
    }
    default:
        return nullptr;
    }
}

void cD3DScreenSurface::ReleaseEffects() {
    const std::vector<CEffectEx*> effects = std::exchange(effects_, {});
    for (CEffectEx* effect : effects)
        DetachEffect(effect);
    if (greyEffect_) std::exchange(greyEffect_, nullptr)->Release();
    if (invertEffect_) std::exchange(invertEffect_, nullptr)->Release();
}

IDirect3DTexture8* cD3DScreenSurface::CaptureArea(const RECT& area) {
    const int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0 || w > maxTextureWidth_ || h > maxTextureHeight_) return nullptr;
    IDirect3DTexture8* capture = nullptr;
    if (FAILED(device_->CreateTexture(static_cast<UINT>(w), static_cast<UINT>(h), 1, D3DUSAGE_RENDERTARGET,
                                      D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &capture)))
        return nullptr;
    IDirect3DSurface8* level = nullptr;
    IDirect3DSurface8* target = nullptr;
    capture->GetSurfaceLevel(0, &level);
    device_->GetRenderTarget(&target);
    D3DSURFACE_DESC desc{};
    if (level && target && SUCCEEDED(target->GetDesc(&desc))) {
        // What lies outside the target stays transparent black.
        const RECT inside{std::max<LONG>(area.left, 0), std::max<LONG>(area.top, 0),
                          std::min<LONG>(area.right, static_cast<LONG>(desc.Width)),
                          std::min<LONG>(area.bottom, static_cast<LONG>(desc.Height))};
        device_->SetRenderTarget(level, nullptr);
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        device_->SetRenderTarget(target, nullptr);
        if (inside.left < inside.right && inside.top < inside.bottom) {
            const POINT at{inside.left - area.left, inside.top - area.top};
            device_->CopyRects(target, &inside, 1, level, &at);
        }
    }
    if (level) level->Release();
    if (target) target->Release();
    return capture;
}

bool cD3DScreenSurface::BeginEffectRun(EffectRun& run, const InkDrawing& drawing, const RECT& area,
                                       IDirect3DTexture8* drawn) {
    CEffectEx* object = drawing.effect == InkEffectKind::Object ? drawing.object : nullptr;
    run.captureStage = object ? static_cast<DWORD>(std::max(object->GetOptions(), 0)) : 0;
    if (run.captureStage >= D3DMAXTEXTURESTAGES) run.captureStage = 0;
    if (run.captureStage) {
        run.capture = CaptureArea(area);
        device_->SetTexture(run.captureStage, run.capture);
    }
    run.lastStage = object ? BindEffectTextures(device_, object, 0, run.captureStage) : 0;
    if (object && (object->flags & EffectReadsPixelSize) && drawn) {
        D3DSURFACE_DESC desc{};
        if (SUCCEEDED(drawn->GetLevelDesc(0, &desc)))
            SetEffectPixelSize(object, static_cast<int>(desc.Width), static_cast<int>(desc.Height));
    }
    if (SUCCEEDED(run.effect->Begin(&run.passes, 0))) return true;
    EndEffectRun(run);
    return false;
}

void cD3DScreenSurface::EndEffectRun(EffectRun& run) {
    for (DWORD stage = run.lastStage; stage >= 1; --stage)
        device_->SetTexture(stage, nullptr);
    if (run.captureStage) device_->SetTexture(run.captureStage, nullptr);
    if (run.capture) {
        // Quads still queued may read it: the scene keeps it until it ends.
        DeferRelease(run.capture);
        std::exchange(run.capture, nullptr)->Release();
    }
}
