// A filter plug-in for the filter manager's tests; the variant chosen at build time decides its priority,
// identifier, which entry points it exports and what it reads.
#include "vtrs2/streams.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

using win32::DWORD;
using win32::WCHAR;

namespace {

// What CreateFilter makes: the variant's name and the value it was given.
struct Made {
    const char* variant;
    DWORD value;
};
[[maybe_unused]] Made made;

// The first byte of the stream, read so that the stream moves.
[[maybe_unused]] int FirstByte(CInputFile* stream) {
    win32::BYTE bytes[2] = {};
    win32::LONG got = 0;
    stream->ReadCounted(bytes, 2, &got);
    return got > 0 ? bytes[0] : -1;
}

} // namespace

#if defined(FILTER_ALPHA)
constexpr DWORD Refused = 0xDEAD;
EXPORT void* CreateFilter(DWORD value) {
    if (value == Refused) return nullptr;
    made = {"alpha", value};
    return &made;
}
EXPORT DWORD GetFilterID() {
    return 0x41464C41;
}
EXPORT const WCHAR* GetFilterNameW() {
    return u"Alpha";
}
EXPORT int GetPriority() {
    return 100;
}
EXPORT const WCHAR* const* GetFilterExtsW() {
    static const WCHAR* const exts[] = {u"alf", u"al\u00e9", nullptr};
    return exts;
}
EXPORT int CanReadFile(CInputFile* stream) {
    return FirstByte(stream) == 'A';
}
#elif defined(FILTER_BETA)
EXPORT void* CreateFilter(DWORD value) {
    made = {"beta", value};
    return &made;
}
EXPORT DWORD GetFilterID() {
    return 0x41544542;
}
EXPORT const char* GetFilterName() {
    return "Beta";
}
EXPORT const char* const* GetFilterExts() {
    static const char* const exts[] = {"bet", "b2", nullptr};
    return exts;
}
EXPORT const char* const* GetDependencies() {
    static const char* const deps[] = {"zlib", nullptr};
    return deps;
}
EXPORT int CanReadFile(CInputFile* stream) {
    const int first = FirstByte(stream);
    return first == 'A' || first == 'B';
}
#elif defined(FILTER_GAMMA)
EXPORT void* CreateFilter(DWORD value) {
    made = {"gamma", value};
    return &made;
}
EXPORT DWORD GetFilterID() {
    return 0x4D4D4147;
}
EXPORT const WCHAR* GetFilterNameW() {
    return u"Gamma";
}
EXPORT int GetPriority() {
    return 50;
}
#elif defined(FILTER_NOCREATE)
EXPORT DWORD GetFilterID() {
    return 1;
}
EXPORT const WCHAR* GetFilterNameW() {
    return u"No create";
}
#elif defined(FILTER_NONAME)
EXPORT void* CreateFilter(DWORD) {
    return &made;
}
EXPORT DWORD GetFilterID() {
    return 2;
}
#endif
