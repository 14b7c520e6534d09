// CEffectEx: one shader effect that a display driver compiles and applies when it draws: its source text,
// named parameters with typed values, an RGBA coefficient and option words. The library only stores it and
// hands it to the surface implementation through the effect slots (95 to 98); software surfaces ignore it.
#pragma once

#include "vtrs2/export.h"
#include "win32/types.h"

#include <cstdint>

class cSurface;
class cSurfaceImplementation;

// Parameter types.
constexpr int EffectParamInteger = 0;
constexpr int EffectParamFloat = 1;
constexpr int EffectParamIntegerAsFloat = 2;
constexpr int EffectParamTexture = 3;
// The parameter index that reaches the extra value (the context used for image lookups).
constexpr int EffectParamExtra = -2;
// Flag: at least one parameter is a texture. SetFlags keeps the top four bits.
constexpr win32::DWORD EffectHasTextures = 0x10000000;
constexpr win32::DWORD EffectCreatorFlagsMask = 0x0FFFFFFF;

struct EffectParamValue {
    std::int32_t type;
    std::uint32_t value; // an integer, or the bits of an IEEE single, or a texture handle
};

class VTRS2_API CEffectEx {
public:
    CEffectEx();
    // A copy has values of its own and starts unprepared: the compiled form belongs to the effect that the
    // driver prepared, which alone detaches it.
    CEffectEx(const CEffectEx& other);
    CEffectEx& operator=(const CEffectEx& other);
    // Frees the values and, when an implementation prepared the effect, tells it (slot 96).
    virtual ~CEffectEx();

    // (source, bank index, flags, count, NUL-separated names, one type byte per parameter or null) -> 1.
    // The source and names are not copied and must outlive the effect.
    virtual int SetParameters(const char* source, int effectIndex, win32::DWORD flags, int count,
                              const char* names, const win32::BYTE* types);
    // Asks the surface's implementation to prepare the effect (slot 95) when it is not prepared yet;
    // answers whether it is prepared now.
    virtual int AttachToSurface(cSurface* surface);
    virtual void* GetCompiled();
    // The argument is not used.
    virtual void DetachFromSurface(int unused);
    // The surface's implementation compiles the source (slot 97) and copies its message; 0 without one.
    virtual int Compile(cSurface* surface, char* message, int messageSize);
    virtual int GetParamType(int index);
    // Case-insensitive; -1 when not found.
    virtual int FindParam(const char* name);
    virtual win32::DWORD GetRgbaCoefficient();
    virtual win32::DWORD GetFlags();
    virtual int GetParamCount();
    virtual int GetParamInt(int index);
    virtual float GetParamFloat(int index);
    virtual win32::DWORD GetParamTexture(int index);
    virtual win32::DWORD SetRgbaCoefficient(win32::DWORD rgba);
    virtual void SetFlags(win32::DWORD flags);
    // Integer and float values are pushed to the implementation that prepared the effect (slot 98).
    virtual void SetParamInt(int index, int value);
    virtual void SetParamFloat(int index, float value);
    virtual void SetParamTexture(int index, win32::DWORD texture);
    virtual void SetOptions(std::int16_t options);
    virtual int GetOptions();
    virtual int GetEffectIndex();

    // The extra value whole: it holds a context pointer, which index -2 gives only in 32 bits.
    std::intptr_t GetExtraValue() const { return extra; }
    void SetExtraValue(std::intptr_t value) { extra = value; }

    // The fields, in their order; `compiled` and `attached` are written by the display driver.
    win32::DWORD rgba;
    win32::DWORD flags;
    const char* source;
    void* compiled;
    std::int16_t options;
    std::int16_t paramCount;
    const char* names;
    EffectParamValue* values;
    cSurfaceImplementation* attached;
    std::int32_t effectIndex;
    std::intptr_t extra; // pointer-sized: it may hold the application's library context

private:
    bool Prepared() const { return compiled != nullptr && attached != nullptr; }
    bool InRange(int index) const { return index >= 0 && index < paramCount && values; }
    void PushParameter(int index);
    void Detach();
};

VTRS2_API CEffectEx* NewEffect();
// Destroys and frees an effect made by NewEffect; nothing for null.
VTRS2_API void DeleteEffect(CEffectEx* effect);
