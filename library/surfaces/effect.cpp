// The effect object: storage of an effect's parameters and the calls that hand it to a surface
// implementation.
#include "vtrs2/effect.h"

#include "vtrs2/surface.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

using namespace win32;

namespace {

constexpr DWORD OpaqueWhite = 0xFFFFFFFF;

// Toward zero, saturating: a float that does not fit (or is not a number) gives the nearest integer, 0 for
// not a number, where a plain conversion would be undefined.
int Truncate(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

float AsFloat(std::uint32_t bits) {
    return std::bit_cast<float>(bits);
}

std::uint32_t BitsOf(float value) {
    return std::bit_cast<std::uint32_t>(value);
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (Lower(*a) != Lower(*b)) return false;
    return *a == *b;
}

EffectParamValue* CopyValues(const EffectParamValue* values, int count) {
    if (!values || count <= 0) return nullptr;
    auto* copy = new (std::nothrow) EffectParamValue[static_cast<std::size_t>(count)];
    if (copy) std::memcpy(copy, values, sizeof(EffectParamValue) * static_cast<std::size_t>(count));
    return copy;
}

} // namespace

CEffectEx::CEffectEx()
    : rgba(OpaqueWhite), flags(0), source(nullptr), compiled(nullptr), options(0), paramCount(0),
      names(nullptr), values(nullptr), attached(nullptr), effectIndex(0), extra(0) {}

CEffectEx::CEffectEx(const CEffectEx& other)
    : rgba(other.rgba), flags(other.flags), source(other.source), compiled(nullptr), options(other.options),
      paramCount(other.paramCount), names(other.names), values(CopyValues(other.values, other.paramCount)),
      attached(nullptr), effectIndex(other.effectIndex), extra(other.extra) {
    if (!values) paramCount = 0;
}

CEffectEx& CEffectEx::operator=(const CEffectEx& other) {
    if (this == &other) return *this;
    EffectParamValue* copy = CopyValues(other.values, other.paramCount);
    Detach();
    delete[] values;
    rgba = other.rgba;
    flags = other.flags;
    source = other.source;
    options = other.options;
    names = other.names;
    values = copy;
    paramCount = copy ? other.paramCount : 0;
    effectIndex = other.effectIndex;
    extra = other.extra;
    return *this;
}

CEffectEx::~CEffectEx() {
    delete[] values;
    values = nullptr;
    if (attached) attached->DetachEffect(this);
}

void CEffectEx::Detach() {
    if (attached) attached->DetachEffect(this);
    compiled = nullptr;
    attached = nullptr;
}

int CEffectEx::SetParameters(const char* sourceText, int index, DWORD creatorFlags, int count,
                             const char* parameterNames, const BYTE* types) {
    delete[] values;
    values = nullptr;
    paramCount = 0;
    source = sourceText;
    effectIndex = index;
    flags = creatorFlags;
    names = parameterNames;
    if (count <= 0) return 1;
    if (count > std::numeric_limits<std::int16_t>::max()) count = std::numeric_limits<std::int16_t>::max();
    values = new (std::nothrow) EffectParamValue[static_cast<std::size_t>(count)]();
    if (!values) return 1;
    paramCount = static_cast<std::int16_t>(count);
    if (!types) return 1;
    for (int i = 0; i < count; ++i) {
        values[i].type = types[i];
        if (types[i] == EffectParamTexture) flags |= EffectHasTextures;
    }
    return 1;
}

int CEffectEx::AttachToSurface(cSurface* surface) {
    if (!compiled && surface) {
        attached = surface->GetImplementation();
        attached->AttachEffect(this);
        // An implementation that did not prepare the effect is not kept: nothing is to be detached from it,
        // and it may be gone before the effect is.
        if (!compiled) attached = nullptr;
    }
    return compiled != nullptr;
}

void* CEffectEx::GetCompiled() {
    return compiled;
}

void CEffectEx::DetachFromSurface(int) {
    if (Prepared()) attached->DetachEffect(this);
}

int CEffectEx::Compile(cSurface* surface, char* message, int messageSize) {
    if (!surface) return 0;
    return surface->GetImplementation()->CompileEffect(this, message, messageSize);
}

int CEffectEx::GetParamType(int index) {
    return InRange(index) ? values[index].type : 0;
}

int CEffectEx::FindParam(const char* name) {
    if (!names || !name) return -1;
    const char* at = names;
    for (int i = 0; i < paramCount; ++i) {
        if (EqualNoCase(at, name)) return i;
        at += std::strlen(at) + 1;
    }
    return -1;
}

DWORD CEffectEx::GetRgbaCoefficient() {
    return rgba;
}

DWORD CEffectEx::GetFlags() {
    return flags;
}

int CEffectEx::GetParamCount() {
    return paramCount;
}

int CEffectEx::GetParamInt(int index) {
    if (index == EffectParamExtra) return static_cast<int>(extra);
    if (!InRange(index)) return 0;
    const EffectParamValue& v = values[index];
    switch (v.type) {
    case EffectParamInteger:
    case EffectParamIntegerAsFloat:
        return static_cast<int>(v.value);
    case EffectParamFloat:
        return Truncate(AsFloat(v.value));
    default:
        return 0;
    }
}

float CEffectEx::GetParamFloat(int index) {
    if (!InRange(index)) return 0.0f;
    const EffectParamValue& v = values[index];
    switch (v.type) {
    case EffectParamInteger:
    case EffectParamIntegerAsFloat:
        return static_cast<float>(static_cast<std::int32_t>(v.value));
    case EffectParamFloat:
        return AsFloat(v.value);
    default:
        return 0.0f;
    }
}

DWORD CEffectEx::GetParamTexture(int index) {
    return InRange(index) && values[index].type == EffectParamTexture ? values[index].value : 0;
}

DWORD CEffectEx::SetRgbaCoefficient(DWORD value) {
    rgba = value;
    return value;
}

void CEffectEx::SetFlags(DWORD value) {
    flags = (flags & ~EffectCreatorFlagsMask) | (value & EffectCreatorFlagsMask);
}

void CEffectEx::PushParameter(int index) {
    if (Prepared()) attached->SetEffectParameter(this, index);
}

void CEffectEx::SetParamInt(int index, int value) {
    if (index == EffectParamExtra) {
        extra = value;
        return;
    }
    if (!InRange(index)) return;
    EffectParamValue& v = values[index];
    if (v.type == EffectParamInteger || v.type == EffectParamIntegerAsFloat)
        v.value = static_cast<std::uint32_t>(value);
    else if (v.type == EffectParamFloat)
        v.value = BitsOf(static_cast<float>(value));
    PushParameter(index);
}

void CEffectEx::SetParamFloat(int index, float value) {
    if (!InRange(index)) return;
    EffectParamValue& v = values[index];
    if (v.type == EffectParamInteger || v.type == EffectParamIntegerAsFloat)
        v.value = static_cast<std::uint32_t>(Truncate(value));
    else if (v.type == EffectParamFloat)
        v.value = BitsOf(value);
    PushParameter(index);
}

void CEffectEx::SetParamTexture(int index, DWORD texture) {
    if (InRange(index) && values[index].type == EffectParamTexture) values[index].value = texture;
}

void CEffectEx::SetOptions(std::int16_t value) {
    options = value;
}

int CEffectEx::GetOptions() {
    return options;
}

int CEffectEx::GetEffectIndex() {
    return effectIndex;
}

CEffectEx* NewEffect() {
    return new (std::nothrow) CEffectEx;
}

void DeleteEffect(CEffectEx* effect) {
    delete effect;
}
