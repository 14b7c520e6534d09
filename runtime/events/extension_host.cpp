#include "events/extension_host.h"
#include "core/upcalls.h"

#include "core/application_record.h"
#include "core/byte_reader.h"
#include "core/error_message.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "startup/application_paths.h"
#include "startup/chunk_reader.h"
#include "startup/event_program.h"
#include "startup/object_infos.h"
#include "startup/plugin_modules.h"
#include "startup/stored_text.h"

#include "vtrs2/app_window.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"
#include "win32/font.h"
#include "win32/kernel.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::u16string_view ModuleExtension = u".vxe";

template <typename Proc> Proc EntryOf(const ExtensionRecord& record, extension::ApplicationEntry entry) {
    return reinterpret_cast<Proc>(record.entries[entry]);
}

template <typename Proc> Proc RunEntryOf(const ExtensionRunRoutines& routines, extension::ObjectEntry entry) {
    return reinterpret_cast<Proc>(routines.entries[entry]);
}

WCHAR* CopyText(std::u16string_view text) {
    WCHAR* copy = nullptr;
    if (!AllocMemory((text.size() + 1) * sizeof(WCHAR), &copy)) return nullptr;
    std::copy(text.begin(), text.end(), copy);
    copy[text.size()] = 0;
    return copy;
}

// The arrays the extension handed over as the dispatch calls them: a negative count, or a count without its
// array, is no routine at all.
void BuildDecodedRoutines(ExtensionRunRoutines& r, bool unicode) {
    const extension::RunInfo& info = r.info;
    DecodedRoutines d;
    d.conditions = info.conditions;
    d.conditionCount = info.conditions ? std::max<std::int32_t>(info.conditionCount, 0) : 0;
    d.actions = info.actions;
    d.actionCount = info.actions ? std::max<std::int32_t>(info.actionCount, 0) : 0;
    d.expressions = info.expressions;
    d.expressionCount = info.expressions ? std::max<std::int32_t>(info.expressionCount, 0) : 0;
    d.unicode = unicode;
    r.routines = d;
}

// Asks the extension for its run information with its sub-type current; false when it gives none.
bool AskRunInfo(const ExtensionRecord& record, ExtensionRunRoutines& routines) {
    auto getRunInfo = EntryOf<extension::GetRunObjectInfosProc>(record, extension::EntryGetRunObjectInfos);
    if (!getRunInfo) return false;
    extension::RuntimeServices* services = up::ExtensionServices();
    extension::RunInfo info{};
    info.size = sizeof(extension::RunInfo);
    info.version = extension::InterfaceVersion;
    services->subType = record.subType;
    const std::int32_t done = getRunInfo(services, &info);
    services->subType = nullptr;
    if (!done) return false;
    routines.info = info;
    BuildDecodedRoutines(routines, record.unicode != 0);
    return true;
}

const std::uint8_t* ExtensionDataOf(const std::vector<std::uint8_t>& definition, std::size_t* bytes) {
    const std::uint16_t at = DefU16(definition, DefExtensionData);
    if (at < DefCommonBytes || at >= definition.size()) return nullptr;
    if (bytes) *bytes = definition.size() - at;
    return definition.data() + at;
}

// The extension data of a definition in memory form: its size word holds the definition's real size.
const std::uint8_t* ExtensionDataOf(const std::uint8_t* definition) {
    if (!definition) return nullptr;
    const std::uint32_t size = DefU32({definition, DefCommonBytes}, DefSize);
    const std::uint16_t at = DefU16({definition, DefCommonBytes}, DefExtensionData);
    if (size <= DefCommonBytes || at < DefCommonBytes || at >= size) return nullptr;
    return definition + at;
}

ExtensionRunRoutines* RoutinesOfObject(const RunObject* o) {
    if (!o || !o->runState) return nullptr;
    const FrameRunState* s = o->runState;
    const std::int32_t index = o->objectType - FirstExtensionType;
    if (!s->extensionRoutines || index < 0 || index >= s->extensionCount) return nullptr;
    return &s->extensionRoutines[index];
}

// The application the extension relocation routines work for while UpdateFileNames runs.
const ApplicationRecord* relocating = nullptr;

void RelocateWide(void* name, std::uint32_t capacity) {
    if (!relocating || !name || capacity == 0) return;
    auto* text = static_cast<WCHAR*>(name);
    WCHAR path[PathUnits] = {};
    const std::size_t length = std::char_traits<char16_t>::length(text);
    if (length >= PathUnits || length >= capacity) return;
    std::copy(text, text + length, path);
    RelocatePathToTempFolder(*relocating, path);
    const std::size_t units = std::char_traits<char16_t>::length(path);
    if (units < capacity) std::copy(path, path + units + 1, text);
}

void RelocateNarrow(void* name, std::uint32_t capacity) {
    if (!relocating || !name || capacity == 0) return;
    auto* text = static_cast<char*>(name);
    const std::size_t length = strnlen(text, capacity);
    if (length >= capacity || length >= PathUnits) return;
    WCHAR path[PathUnits] = {};
    const std::size_t n = NarrowToWide({reinterpret_cast<const std::uint8_t*>(text), length},
                                       relocating->codePage, path, PathUnits);
    if (n != length) return;
    RelocatePathToTempFolder(*relocating, path);
    char narrow[PathUnits * 3] = {};
    const int bytes =
        WideCharToMultiByte(relocating->codePage, 0, path, -1, narrow, sizeof narrow, nullptr, nullptr);
    if (bytes > 0 && static_cast<std::uint32_t>(bytes) <= capacity) std::memcpy(text, narrow, bytes);
}

} // namespace

int LoadExtensionList(ApplicationRecord& app, std::span<const std::uint8_t> chunk, int form) {
    FreeAllExtensions(app);
    ByteReader r(chunk);
    std::uint16_t entries = 0, count = 0;
    if (!r.U16(entries) || !r.U16(count)) return StreamDataError;
    // Types run from 32 to 127: no more extensions can be named by an object.
    count = static_cast<std::uint16_t>(std::min<int>(count, MaxExtensions));
    const std::size_t slots = std::max<std::size_t>(count, 1);
    if (!AllocZeroedMemory(slots * sizeof(ExtensionRecord), &app.extensions) ||
        !AllocZeroedMemory(slots * sizeof(ExtensionRunRoutines), &app.extensionRoutines)) {
        FreeAllExtensions(app);
        return ErrorOutOfMemory;
    }
    app.extensionCount = static_cast<std::int16_t>(count);
    const std::size_t nameOffset = form == ExtensionListFormWide ? 16 : 8;
    std::size_t at = 4;
    for (std::uint16_t i = 0; i < entries; ++i) {
        ByteReader header(chunk.subspan(std::min(at, chunk.size())));
        std::int16_t size = 0;
        std::uint16_t index = 0;
        if (!header.I16(size) || !header.U16(index)) {
            FreeAllExtensions(app);
            return StreamDataError;
        }
        const std::size_t length = static_cast<std::size_t>(std::abs(static_cast<int>(size)));
        if (size > 0) {
            if (length > chunk.size() - at) {
                FreeAllExtensions(app);
                return StreamDataError;
            }
            const std::span<const std::uint8_t> entry = chunk.subspan(at, length);
            std::size_t next = 0;
            const std::optional<std::u16string> name =
                TerminatedStoredText(entry, nameOffset, app.unicode != 0, app.codePage, &next);
            if (!name) {
                FreeAllExtensions(app);
                return StreamDataError;
            }
            const std::optional<std::u16string> subType =
                TerminatedStoredText(entry, next, app.unicode != 0, app.codePage, &next);
            if (const int code = LoadExtension(app, index, *name, subType ? *subType : u""); code != 0) {
                FreeAllExtensions(app);
                return code;
            }
        }
        at += length;
    }
    return LoadOk;
}

int LoadExtension(ApplicationRecord& app, int index, std::u16string_view name, std::u16string_view subType) {
    if (index < 0 || index >= app.extensionCount || !app.extensions) return ExtensionIndexOutOfRange;
    ExtensionRecord& record = app.extensions[index];
    if (record.module) return LoadOk;
    record = ExtensionRecord{};
    app.extensionRoutines[index] = ExtensionRunRoutines{};
    if (name.empty()) return LoadOk;
    const std::u16string shown(name);
    // The list names a module of the temporary folder; a name that reaches elsewhere is never loaded.
    if (!IsPlainFileName(name)) {
        ShowCannotFindMessage(shown.c_str());
        return ExtensionRefused;
    }
    HMODULE module = LoadPluginModule(PluginModulePath(WithFileExtension(name, ModuleExtension)), shown);
    if (!module) return ExtensionRefused;
    if (const auto language = LanguageFilePath(WithFileExtension(name, LanguageFileExtension)))
        up::LoadModuleTranslation(module, *language);
    extension::RuntimeServices* services = up::ExtensionServices();
    if (auto initialize =
            reinterpret_cast<extension::InitializeProc>(GetProcAddress(module, extension::InitializeName));
        initialize && initialize(services, module) != 0) {
        ShowCannotLoadMessage(shown.c_str());
        up::ReleaseModuleTranslation(module);
        FreeLibrary(module);
        return ExtensionRefused;
    }
    record.name = CopyText(name);
    record.subType = subType.empty() ? nullptr : CopyText(subType);
    record.module = module;
    if (!record.name || (!subType.empty() && !record.subType)) {
        FreeExtension(app, index);
        return ErrorOutOfMemory;
    }
    for (int i = 0; i < extension::ApplicationEntryCount; ++i)
        if (*extension::ApplicationEntryNames[i])
            record.entries[i] = GetProcAddress(module, extension::ApplicationEntryNames[i]);
    ExtensionRunRoutines& routines = app.extensionRoutines[index];
    for (int i = 0; i < extension::ObjectEntryCount; ++i)
        routines.entries[i] = GetProcAddress(module, extension::ObjectEntryNames[i]);
    if (auto getInfos = EntryOf<extension::GetInfosProc>(record, extension::EntryGetInfos))
        record.unicode = getInfos(services, extension::InfoUnicode) != 0 ? 1 : 0;
    if (!AskRunInfo(record, routines)) {
        FreeExtension(app, index);
        return ExtensionRefused;
    }
    return LoadOk;
}

void FreeExtension(ApplicationRecord& app, int index) {
    if (index < 0 || index >= app.extensionCount || !app.extensions) return;
    ExtensionRecord& record = app.extensions[index];
    if (record.module) {
        if (auto free =
                reinterpret_cast<extension::FreeProc>(GetProcAddress(record.module, extension::FreeName)))
            free(up::ExtensionServices());
        up::ReleaseModuleTranslation(record.module);
        FreeLibrary(record.module);
    }
    FreeMemory(&record.name);
    FreeMemory(&record.subType);
    record = ExtensionRecord{};
    app.extensionRoutines[index] = ExtensionRunRoutines{};
}

void FreeAllExtensions(ApplicationRecord& app) {
    for (int i = 0; i < app.extensionCount; ++i)
        FreeExtension(app, i);
    FreeMemory(&app.extensions);
    FreeMemory(&app.extensionRoutines);
    app.extensionCount = 0;
}

namespace {

template <typename Proc, typename... Args> void Broadcast(extension::ApplicationEntry entry, Args... args) {
    ApplicationRecord* app = CurrentApplication();
    if (!app) return;
    // An extension may end the application's run meanwhile: the count is read again each time.
    for (int i = 0; i < app->extensionCount && app->extensions; ++i) {
        const ExtensionRecord& record = app->extensions[i];
        if (!record.module) continue;
        if (auto call = EntryOf<Proc>(record, entry)) call(up::ExtensionServices(), app, args...);
    }
}

} // namespace

void BroadcastStartApp() {
    Broadcast<extension::StartAppProc>(extension::EntryStartApp);
}
void BroadcastEndApp() {
    Broadcast<extension::EndAppProc>(extension::EntryEndApp);
}
void BroadcastStartFrame(std::int32_t frameIndex) {
    Broadcast<extension::StartFrameProc>(extension::EntryStartFrame, frameIndex);
}
void BroadcastEndFrame(std::int32_t frameIndex) {
    Broadcast<extension::EndFrameProc>(extension::EntryEndFrame, frameIndex);
}

void StartExtensionType(std::int16_t type) {
    ApplicationRecord* app = CurrentApplication();
    ExtensionRecord* record = ExtensionOfType(app, type);
    if (!record) return;
    AskRunInfo(*record, app->extensionRoutines[type - FirstExtensionType]);
}

ExtensionRecord* ExtensionOfType(ApplicationRecord* app, std::int32_t type) {
    const std::int32_t index = type - FirstExtensionType;
    if (!app || !app->extensions || index < 0 || index >= app->extensionCount) return nullptr;
    ExtensionRecord& record = app->extensions[index];
    return record.module ? &record : nullptr;
}

ExtensionRunRoutines* ExtensionRoutinesOfType(ApplicationRecord* app, std::int32_t type) {
    return ExtensionOfType(app, type) ? &app->extensionRoutines[type - FirstExtensionType] : nullptr;
}

const DecodedRoutines* RunStateExtensionRoutines(const FrameRunState* s, std::int32_t type) {
    const std::int32_t index = type - FirstExtensionType;
    if (!s || !s->extensionRoutines || index < 0 || index >= s->extensionCount) return nullptr;
    return &s->extensionRoutines[index].routines;
}

void* ObjectEntryOf(const RunObject* o, extension::ObjectEntry entry) {
    const ExtensionRunRoutines* r = RoutinesOfObject(o);
    return r && entry >= 0 && entry < extension::ObjectEntryCount ? r->entries[entry] : nullptr;
}

bool ExtensionTakesNarrowStrings(const RunObject* o) {
    const ExtensionRunRoutines* r = RoutinesOfObject(o);
    return r && !r->routines.unicode;
}

std::uint16_t ExtensionRecordSize(std::int16_t type, const std::uint8_t* definition) {
    FrameRunState* s = CurrentRunState();
    const ExtensionRunRoutines* r = s ? ExtensionRoutinesOfType(s->application, type) : nullptr;
    auto size = r ? RunEntryOf<extension::GetRunObjectDataSizeProc>(*r, extension::EntryGetRunObjectDataSize)
                  : nullptr;
    const std::uint8_t* data = ExtensionDataOf(definition);
    if (!size || !data) return 0;
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(size(s, data), 0xFFFF));
}

int CreateExtensionObject(RunObject* o, const ObjectCreationParams* params) {
    auto create = ObjectEntry<extension::CreateRunObjectProc>(o, extension::EntryCreateRunObject);
    const std::uint8_t* data = ExtensionDataOf(o ? o->definition : nullptr);
    if (!create || !data) return 1;
    return create(o, const_cast<std::uint8_t*>(data), params);
}

void DestroyExtensionObject(RunObject* o, int mode) {
    if (auto destroy = ObjectEntry<extension::DestroyRunObjectProc>(o, extension::EntryDestroyRunObject))
        destroy(o, mode);
}

void SetExtensionObjectRoutines(RunObject* o) {
    o->handleRoutine = ObjectEntry<extension::HandleRunObjectProc>(o, extension::EntryHandleRunObject);
    o->displayRoutine =
        ObjectEntryOf(o, extension::EntryGetRunObjectSurface)
            ? DisplayExtensionSurface
            : ObjectEntry<extension::DisplayRunObjectProc>(o, extension::EntryDisplayRunObject);
}

namespace {

void CallObjectRoutine(RunObject* o, extension::ObjectEntry entry) {
    if (auto routine = ObjectEntry<extension::ObjectRoutineProc>(o, entry)) routine(o);
}

} // namespace

void UpdateExtensionZone(RunObject* o) {
    CallObjectRoutine(o, extension::EntryGetZoneInfo);
}
void DisplayExtensionObject(RunObject* o) {
    if (ObjectEntryOf(o, extension::EntryGetRunObjectSurface))
        DisplayExtensionSurface(o);
    else
        CallObjectRoutine(o, extension::EntryDisplayRunObject);
}
void PauseExtensionObject(RunObject* o) {
    CallObjectRoutine(o, extension::EntryPauseRunObject);
}
void ContinueExtensionObject(RunObject* o) {
    CallObjectRoutine(o, extension::EntryContinueRunObject);
}
void SaveExtensionBackground(RunObject* o) {
    CallObjectRoutine(o, extension::EntrySaveBackground);
}
void RestoreExtensionBackground(RunObject* o) {
    CallObjectRoutine(o, extension::EntryRestoreBackground);
}
void KillExtensionBackground(RunObject* o) {
    CallObjectRoutine(o, extension::EntryKillBackground);
}

cSurface* ExtensionObjectSurface(RunObject* o) {
    auto get = ObjectEntry<extension::GetRunObjectSurfaceProc>(o, extension::EntryGetRunObjectSurface);
    return get ? get(o) : nullptr;
}

void* ExtensionCollisionMask(RunObject* o, LPARAM flags) {
    auto get =
        ObjectEntry<extension::GetRunObjectCollisionMaskProc>(o, extension::EntryGetRunObjectCollisionMask);
    return get ? get(o, flags) : nullptr;
}

namespace {

// The two forms of a font differ only in their face name, at the same offset.
static_assert(offsetof(LOGFONTA, lfFaceName) == offsetof(LOGFONTW, lfFaceName));

std::uint32_t ObjectCodePage(const RunObject* o) {
    const FrameRunState* s = o ? o->runState : nullptr;
    return s && s->application ? s->application->codePage : 0;
}

} // namespace

bool GetExtensionFont(RunObject* o, LOGFONTW& font) {
    auto get = ObjectEntry<extension::GetRunObjectFontProc>(o, extension::EntryGetRunObjectFont);
    if (!get) return false;
    if (!ExtensionTakesNarrowStrings(o)) {
        get(o, &font);
        return true;
    }
    // An 8-bit extension fills the 8-bit form; its face name is turned into UTF-16 in the application's code
    // page.
    LOGFONTA narrow{};
    std::memcpy(&narrow, &font, offsetof(LOGFONTA, lfFaceName));
    get(o, reinterpret_cast<LOGFONTW*>(&narrow));
    std::memcpy(&font, &narrow, offsetof(LOGFONTA, lfFaceName));
    narrow.lfFaceName[LF_FACESIZE - 1] = 0;
    std::fill(std::begin(font.lfFaceName), std::end(font.lfFaceName), WCHAR{0});
    MultiByteToWideChar(ObjectCodePage(o), 0, narrow.lfFaceName, -1, font.lfFaceName, LF_FACESIZE - 1);
    return true;
}

bool SetExtensionFont(RunObject* o, const LOGFONTW& font, const RECT* box) {
    auto set = ObjectEntry<extension::SetRunObjectFontProc>(o, extension::EntrySetRunObjectFont);
    if (!set) return false;
    if (!ExtensionTakesNarrowStrings(o)) {
        set(o, &font, box);
        return true;
    }
    LOGFONTA narrow{};
    std::memcpy(&narrow, &font, offsetof(LOGFONTA, lfFaceName));
    WCHAR face[LF_FACESIZE] = {};
    std::copy_n(font.lfFaceName, LF_FACESIZE - 1, face);
    WideCharToMultiByte(ObjectCodePage(o), 0, face, -1, narrow.lfFaceName, LF_FACESIZE - 1, nullptr, nullptr);
    set(o, reinterpret_cast<const LOGFONTW*>(&narrow), box);
    return true;
}

bool GetExtensionTextColour(RunObject* o, COLORREF& colour) {
    auto get = ObjectEntry<extension::GetRunObjectTextColorProc>(o, extension::EntryGetRunObjectTextColor);
    if (!get) return false;
    colour = get(o);
    return true;
}

bool SetExtensionTextColour(RunObject* o, COLORREF colour) {
    auto set = ObjectEntry<extension::SetRunObjectTextColorProc>(o, extension::EntrySetRunObjectTextColor);
    if (!set) return false;
    set(o, colour);
    return true;
}

void DisplayExtensionSurface(RunObject* o) {
    cSurface* surface = ExtensionObjectSurface(o);
    if (!surface) {
        CallObjectRoutine(o, extension::EntryDisplayRunObject);
        return;
    }
    AppWindow* window = Services().frameLibraryWindow;
    cSurface* work = window ? GetWindowSurface(window, 0) : nullptr;
    if (!work) return;
    std::uint32_t ink = 0;
    LPARAM parameter = 0;
    if (const ObjectSpriteBlock* block = up::SpriteBlockOf(o)) {
        ink = block->inkEffect;
        parameter = reinterpret_cast<LPARAM>(block->inkParameter);
    }
    const int transparent = (ink & InkTransparent) ? 1 : 0;
    const int antialias = (ink & InkAntialiased) ? 1 : 0;
    surface->BlitWhole(*work, o->displayLeft, o->displayTop, transparent, static_cast<int>(ink & 0xFFFF),
                       (ink & 0xFFFF) == InkEffectObject || parameter ? parameter : 0, antialias);
    RECT drawn{o->displayLeft, o->displayTop, o->displayLeft + surface->GetWidth(),
               o->displayTop + surface->GetHeight()};
    AddUpdateRect(window, &drawn);
}

void AddExtensionWindowHooks(FrameRunState& state) {
    ApplicationRecord* app = state.application;
    if (!app) return;
    for (int i = 0; i < app->extensionCount && app->extensions; ++i) {
        const ExtensionRecord& record = app->extensions[i];
        const ExtensionRunRoutines& routines = app->extensionRoutines[i];
        auto proc = EntryOf<extension::WindowProcProc>(record, extension::EntryWindowProc);
        if (record.module && proc && (routines.info.options & extension::RunInfoWindowProc))
            up::AppendWindowHook(state, proc, routines.info.windowProcPriority);
    }
}

int PrepareExtensionDefinition(ApplicationRecord& app, ObjectInfo& info) {
    const ExtensionRecord* record = ExtensionOfType(&app, info.objectType);
    std::vector<std::uint8_t>& def = info.definition;
    if (!record || def.size() < DefCommonBytes) return LoadOk;
    // The size word is what the object services read the data's bounds from.
    const auto setSize = [&] {
        const auto size = static_cast<std::uint32_t>(def.size());
        for (int b = 0; b < 4; ++b)
            def[DefSize + b] = static_cast<std::uint8_t>(size >> (8 * b));
    };
    setSize();
    const std::size_t at = DefU16(def, DefExtensionData);
    std::size_t bytes = 0;
    if (!ExtensionDataOf(def, &bytes)) return LoadOk;
    // The extension takes the data's bounds from its size word: data shorter than its header, or cut short
    // of the size it gives, is damaged and never handed over.
    if (bytes < extension::DataHeaderBytes || DefU32(def, at) > bytes) {
        def.clear();
        return StreamDataError;
    }
    extension::RuntimeServices* services = up::ExtensionServices();
    const ExtensionRunRoutines& routines = app.extensionRoutines[info.objectType - FirstExtensionType];
    const std::uint32_t dataVersion = DefU32(def, at + 8);
    auto update = EntryOf<extension::UpdateEditStructureProc>(*record, extension::EntryUpdateEditStructure);
    if (update && (!app.unicode || dataVersion < static_cast<std::uint32_t>(
                                                     std::max<std::int16_t>(routines.info.dataVersion, 0)))) {
        if (void* block = update(services, def.data() + at)) {
            const auto* b = static_cast<const std::uint8_t*>(block);
            const std::uint32_t size = DefU32({b, 4}, 0);
            try {
                if (size > bytes) {
                    def.resize(at);
                    def.insert(def.end(), b, b + size);
                } else {
                    std::memcpy(def.data() + at, b, size);
                }
            } catch (const std::bad_alloc&) {
                FreeMemory(&block);
                return ErrorOutOfMemory;
            }
            FreeMemory(&block);
            setSize();
        }
    }
    if (auto load = EntryOf<extension::LoadObjectProc>(*record, extension::EntryLoadObject))
        load(services, &info, def.data() + at, 1);
    if (auto names = EntryOf<extension::UpdateFileNamesProc>(*record, extension::EntryUpdateFileNames)) {
        relocating = &app;
        names(services, nullptr, def.data() + at, record->unicode ? RelocateWide : RelocateNarrow);
        relocating = nullptr;
    }
    return LoadOk;
}

void ReleaseExtensionDefinition(ApplicationRecord& app, ObjectInfo& info) {
    const ExtensionRecord* record = ExtensionOfType(&app, info.objectType);
    std::size_t bytes = 0;
    const std::uint8_t* data = ExtensionDataOf(info.definition, &bytes);
    if (!record || !data) return;
    if (auto unload = EntryOf<extension::UnloadObjectProc>(*record, extension::EntryUnloadObject))
        unload(up::ExtensionServices(), const_cast<std::uint8_t*>(data), 1);
}

namespace {

struct ReferenceVisit {
    std::span<std::uint8_t> definition;
    void (*visit)(int, std::uint8_t*, void*);
    void* user;
};

void VisitExtensionReference(std::int32_t bank, std::uint16_t* handle, void* user) {
    auto* v = static_cast<ReferenceVisit*>(user);
    auto* field = reinterpret_cast<std::uint8_t*>(handle);
    // Only fields inside the definition's data are the object's references.
    if (bank < 0 || bank > 3 || field < v->definition.data() ||
        field + 2 > v->definition.data() + v->definition.size())
        return;
    v->visit(bank, field, v->user);
}

} // namespace

void EnumExtensionReferences(ObjectInfo& info, void (*visit)(int, std::uint8_t*, void*), void* user) {
    const ExtensionRecord* record = ExtensionOfType(CurrentApplication(), info.objectType);
    std::size_t bytes = 0;
    const std::uint8_t* data = ExtensionDataOf(info.definition, &bytes);
    auto enumerate = record ? EntryOf<extension::EnumEltsProc>(*record, extension::EntryEnumElts) : nullptr;
    if (!enumerate || !data) return;
    ReferenceVisit v{info.definition, visit, user};
    enumerate(up::ExtensionServices(), const_cast<std::uint8_t*>(data), VisitExtensionReference, &v);
}

std::int32_t ExtensionConditionCount(std::int32_t type) {
    const ExtensionRunRoutines* r = ExtensionRoutinesOfType(CurrentApplication(), type);
    return r ? r->routines.conditionCount : 0;
}

} // namespace vtrrt
