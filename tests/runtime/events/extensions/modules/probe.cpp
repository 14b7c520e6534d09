// A test extension that notes every call it gets, for the host tests. It takes and gives 8-bit strings.
// Built in several forms: PROBE_REFUSES (Initialize refuses), PROBE_NO_RUN_INFO (no GetRunObjectInfos),
// PROBE_RUN_INFO_ZERO (GetRunObjectInfos gives nothing).
//
// Conditions: 0 holds always, 1 holds (raised by action 2). Actions: 0 notes its value, 1 notes its 8-bit
// text in hexadecimal, 2 raises condition 1 now. Expressions: 0 the 8-bit text "caf\xe9", 1 the number 42.
// Definition data after the 12-byte header: a 64-byte 8-bit file name, then a u16 image handle.
#include "plugin/extension.h"
#include "win32/font.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using extension::RunObject;

extension::RuntimeServices* services = nullptr;
std::string notes;
std::string tag;
void (*observer)(const char*) = nullptr;

void Note(const std::string& what) {
    const std::string entry = tag + what;
    if (!notes.empty()) notes += ' ';
    notes += entry;
    if (observer) observer(entry.c_str());
}

std::string Hex(const char* text) {
    std::string out;
    char byte[4];
    for (const char* c = text; c && *c; ++c) {
        std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(*c));
        out += byte;
    }
    return out;
}

std::int32_t Holds(RunObject*, std::intptr_t, std::intptr_t) {
    return 1;
}
std::int32_t NoteValue(RunObject*, std::intptr_t value, std::intptr_t) {
    Note("Act0:" + std::to_string(static_cast<std::int32_t>(value)));
    return 0;
}
std::int32_t NoteText(RunObject*, std::intptr_t text, std::intptr_t) {
    Note("Act1:" + Hex(reinterpret_cast<const char*>(text)));
    return 0;
}
std::int32_t RaiseOne(RunObject* o, std::intptr_t, std::intptr_t) {
    services->run->raiseOwnCondition(o, 1, 0);
    return 0;
}
char text[] = "caf\xe9";
std::intptr_t Text(RunObject* o, const std::uint8_t*) {
    o->resultFlags |= vtrrt::ExpressionResultString;
    return reinterpret_cast<std::intptr_t>(text);
}
std::intptr_t FortyTwo(RunObject*, const std::uint8_t*) {
    return 42;
}

constexpr extension::ConditionRoutine Conditions[] = {Holds, Holds};
constexpr extension::ActionRoutine Actions[] = {NoteValue, NoteText, RaiseOne};
constexpr extension::ExpressionRoutine Expressions[] = {Text, FortyTwo};

struct Probe {
    std::int32_t created;
};

} // namespace

VTR_EXTENSION_EXPORT const char* ProbeLog() {
    return notes.c_str();
}
VTR_EXTENSION_EXPORT void SetProbeObserver(void (*routine)(const char*)) {
    observer = routine;
}

VTR_EXTENSION_EXPORT std::int32_t Initialize(extension::RuntimeServices* s, win32::HMODULE) {
    services = s;
    Note("Initialize");
#ifdef PROBE_REFUSES
    return 1;
#else
    return 0;
#endif
}

VTR_EXTENSION_EXPORT std::int32_t Free(extension::RuntimeServices*) {
    Note("Free");
    return 0;
}

VTR_EXTENSION_EXPORT std::intptr_t GetInfos(extension::RuntimeServices*, std::int32_t which) {
    Note("GetInfos" + std::to_string(which));
    return 0;
}

#ifndef PROBE_NO_RUN_INFO
VTR_EXTENSION_EXPORT std::int32_t GetRunObjectInfos(extension::RuntimeServices* s, extension::RunInfo* info) {
    std::string sub;
    for (const char16_t* c = s->subType; c && *c; ++c)
        sub += static_cast<char>(*c);
    if (tag.empty() && !sub.empty()) tag = sub + ":";
    Note("RunInfo");
    info->conditions = Conditions;
    info->conditionCount = 2;
    info->actions = Actions;
    info->actionCount = 3;
    info->expressions = Expressions;
    info->expressionCount = 2;
    info->dataVersion = 1;
#ifdef PROBE_RUN_INFO_ZERO
    return 0;
#else
    return 1;
#endif
}
#endif

VTR_EXTENSION_EXPORT void StartApp(extension::RuntimeServices*, void*) {
    Note("StartApp");
}
VTR_EXTENSION_EXPORT void EndApp(extension::RuntimeServices*, void*) {
    Note("EndApp");
}
VTR_EXTENSION_EXPORT void StartFrame(extension::RuntimeServices*, void*, std::int32_t frame) {
    Note("StartFrame:" + std::to_string(frame));
}
VTR_EXTENSION_EXPORT void EndFrame(extension::RuntimeServices*, void*, std::int32_t frame) {
    Note("EndFrame:" + std::to_string(frame));
}

VTR_EXTENSION_EXPORT void* UpdateEditStructure(extension::RuntimeServices*, const std::uint8_t*) {
    Note("UpdateEditStructure");
    return nullptr;
}
VTR_EXTENSION_EXPORT std::int32_t LoadObject(extension::RuntimeServices*, void*, std::uint8_t*,
                                             std::int32_t) {
    Note("LoadObject");
    return 0;
}
VTR_EXTENSION_EXPORT void UnloadObject(extension::RuntimeServices*, std::uint8_t*, std::int32_t) {
    Note("UnloadObject");
}
VTR_EXTENSION_EXPORT void UpdateFileNames(extension::RuntimeServices*, void*, std::uint8_t* data,
                                          extension::RelocateFileNameProc relocate) {
    Note("UpdateFileNames");
    relocate(data + 12, 64);
}
VTR_EXTENSION_EXPORT void EnumElts(extension::RuntimeServices*, std::uint8_t* data,
                                   extension::BankReferenceProc visit, void* user) {
    visit(0, reinterpret_cast<std::uint16_t*>(data + 76), user);
    // A field outside the object's data is no reference of it.
    static std::uint16_t elsewhere = 0;
    visit(0, &elsewhere, user);
}

VTR_EXTENSION_EXPORT std::uint32_t GetRunObjectDataSize(vtrrt::FrameRunState*, const std::uint8_t*) {
    return static_cast<std::uint32_t>(vtrrt::MaxKindDataOffset + sizeof(Probe));
}
VTR_EXTENSION_EXPORT std::int32_t CreateRunObject(RunObject* o, std::uint8_t*,
                                                  const extension::ObjectCreationParams*) {
    vtrrt::KindDataOf<Probe>(o)->created = 1;
    o->width = o->height = 8;
    Note("Create");
    return 0;
}
VTR_EXTENSION_EXPORT std::int32_t DestroyRunObject(RunObject*, std::int32_t mode) {
    Note("Destroy:" + std::to_string(mode));
    return 0;
}
VTR_EXTENSION_EXPORT std::int32_t HandleRunObject(RunObject*) {
    return 0;
}
// The font in its 8-bit form: the face name set last, "Arial" at first, noted in hexadecimal when set.
char face[32] = "Arial";
VTR_EXTENSION_EXPORT void GetRunObjectFont(RunObject*, win32::LOGFONTW* font) {
    auto* narrow = reinterpret_cast<win32::LOGFONTA*>(font);
    narrow->lfWeight = 700;
    std::memcpy(narrow->lfFaceName, face, sizeof face);
}
VTR_EXTENSION_EXPORT void SetRunObjectFont(RunObject*, const win32::LOGFONTW* font, const win32::RECT*) {
    const auto* narrow = reinterpret_cast<const win32::LOGFONTA*>(font);
    std::memcpy(face, narrow->lfFaceName, sizeof face);
    face[sizeof face - 1] = 0;
    Note("Font:" + Hex(face) + ":" + std::to_string(narrow->lfHeight));
}
VTR_EXTENSION_EXPORT void PauseRunObject(RunObject*) {
    Note("Pause");
}
VTR_EXTENSION_EXPORT void ContinueRunObject(RunObject*) {
    Note("Continue");
}
