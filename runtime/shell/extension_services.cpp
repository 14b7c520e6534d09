#include "shell/extension_services.h"

#include "core/upcalls.h"
#include "shell/mdi_client.h"

#include "builtin/special_services.h"
#include "core/application_record.h"
#include "core/error_message.h"
#include "core/event_state.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/dispatch.h"
#include "events/event_evaluation.h"
#include "events/expression.h"
#include "events/extension_host.h"
#include "events/parameters.h"
#include "events/selection.h"
#include "objects/backgrounds.h"
#include "objects/image_actions.h"
#include "objects/movements.h"
#include "objects/object_moved.h"
#include "objects/run_objects.h"
#include "shell/control_windows.h"
#include "startup/chunk_reader.h"
#include "startup/ink_effects.h"
#include "startup/object_infos.h"
#include "startup/plugin_modules.h"
#include "startup/runtime_files.h"
#include "startup/shell_services.h"
#include "startup/stored_text.h"
#include "startup/text_files.h"

#include "vtrs2/containers.h"
#include "vtrs2/effect.h"
#include "vtrs2/memory.h"
#include "vtrs2/raw_files.h"
#include "vtrs2/streams.h"
#include "win32/dialog.h"
#include "win32/kernel.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint32_t CopyBlockBytes = 32768;
constexpr std::uint32_t ApplicationBuild = 285;
constexpr std::uint32_t ObjectsRedisplayedByChange = ObjectExtendedHeader;

// The block handed to extensions, and the strings its fields point to.
struct ServicesBlock {
    extension::RuntimeServices block{};
    extension::RunRoutines run{};
    std::u16string applicationPath;
    std::u16string tempFolder;
    std::u16string languageFolder;
};

ServicesBlock& Block() {
    static ServicesBlock services;
    return services;
}

// Text taken from an extension in 8-bit form: the application's code page.
std::uint32_t CodePage() {
    const ApplicationRecord* app = CurrentApplication();
    return app ? app->codePage : 0;
}

std::u16string WideOf(const char* text) {
    if (!text) return {};
    const std::size_t length = std::strlen(text);
    std::u16string wide(length + 1, u'\0');
    const std::size_t n = NarrowToWide({reinterpret_cast<const std::uint8_t*>(text), length}, CodePage(),
                                       wide.data(), wide.size());
    wide.resize(n);
    return wide;
}

// Copies UTF-16 text into an 8-bit buffer of `capacity` bytes; false when it does not fit.
bool NarrowInto(std::u16string_view text, char* out, std::size_t capacity) {
    if (!out || capacity == 0) return false;
    const int units = static_cast<int>(std::min<std::size_t>(text.size(), INT32_MAX / 4));
    const int bytes =
        units ? WideCharToMultiByte(CodePage(), 0, text.data(), units, nullptr, 0, nullptr, nullptr) : 0;
    if (bytes < 0 || static_cast<std::size_t>(bytes) >= capacity) return false;
    if (bytes) WideCharToMultiByte(CodePage(), 0, text.data(), units, out, bytes, nullptr, nullptr);
    out[bytes] = 0;
    return true;
}

// --- files stored in the application ---

// The stored file copied into a new file of the temporary folder; false when it could not be.
bool CopyEmbeddedFile(ApplicationRecord& app, EmbeddedFileEntry& entry) {
    if (!app.dataStream) return false;
    WCHAR path[PathUnits] = {};
    const std::u16string& folder = GetRuntimeFiles().runtimeTempFolder;
    if (!GetTempFileNameW(folder.c_str(), u"tmp", 0, path)) return false;
    const HANDLE file = FileCreateRaw(path);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(path);
        return false;
    }
    CInputFile& stream = *app.dataStream;
    bool copied =
        stream.Seek(static_cast<LONG>(entry.position), SeekFromStart) == static_cast<LONG>(entry.position);
    std::vector<std::uint8_t> block(CopyBlockBytes);
    for (std::uint32_t left = entry.size; copied && left > 0;) {
        const std::uint32_t n = std::min(left, CopyBlockBytes);
        copied = stream.Read(block.data(), static_cast<LONG>(n)) == 0 &&
                 FileWriteRaw(file, block.data(), static_cast<LONG>(n)) == 0;
        left -= n;
    }
    FileCloseRaw(file);
    const std::size_t units = std::char_traits<char16_t>::length(path) + 1;
    if (!copied || !AllocMemory(units * sizeof(WCHAR), &entry.extractedPath)) {
        DeleteFileW(path);
        return false;
    }
    std::copy(path, path + units, entry.extractedPath);
    return true;
}

int UsablePathA(const char* name, char* out, std::uint32_t capacity) {
    if (!name || !out) return 0;
    const std::u16string wide = WideOf(name);
    WCHAR path[PathUnits] = {};
    if (!GetEmbeddedFilePath(wide.c_str(), path, PathUnits)) return 0;
    if (NarrowInto(path, out, capacity)) return 1;
    // A path the caller cannot take is not in use.
    ReleaseEmbeddedFilePath(wide.c_str());
    return 0;
}

void ReleasePathA(const char* name) {
    if (name) ReleaseEmbeddedFilePath(WideOf(name).c_str());
}

int UsablePath(const char16_t* name, char16_t* out, std::uint32_t capacity) {
    return GetEmbeddedFilePath(name, out, capacity);
}

void ReleasePath(const char16_t* name) {
    ReleaseEmbeddedFilePath(name);
}

HANDLE OpenFileA(const char* name, std::uint32_t* size) {
    if (!name) return INVALID_HANDLE_VALUE;
    return OpenEmbeddedFile(WideOf(name).c_str(), size);
}

HANDLE OpenFileW(const char16_t* name, std::uint32_t* size) {
    return OpenEmbeddedFile(name, size);
}

// --- generic calls ---

using GenericRoutine = std::intptr_t (*)(std::intptr_t a1, std::intptr_t a2, std::intptr_t a3);

struct GenericEntry {
    std::int32_t code;
    GenericRoutine routine;
};

ApplicationRecord* ApplicationArgument(std::intptr_t a) {
    return a ? reinterpret_cast<ApplicationRecord*>(a) : nullptr;
}

std::intptr_t LoadImageFile(std::intptr_t image, const WCHAR* path, std::intptr_t options) {
    if (!image || !path) return 0;
    ImageLoadOptions o;
    if (options) o = *reinterpret_cast<const ImageLoadOptions*>(options);
    return LoadImageFileToBank(*reinterpret_cast<std::uint16_t*>(image), path, o);
}

constexpr std::array<GenericEntry, 19> GenericCalls{{
    {extension::CallLayoutSubApplications,
     [](std::intptr_t, std::intptr_t, std::intptr_t) -> std::intptr_t {
         LayoutDockedSubApps();
         return 1;
     }},
    {extension::CallBuildInformation,
     [](std::intptr_t a1, std::intptr_t a2, std::intptr_t) -> std::intptr_t {
         if (auto* r = reinterpret_cast<std::int32_t*>(a1)) r[0] = ApplicationBuild, r[1] = 0;
         if (auto* r = reinterpret_cast<std::int32_t*>(a2)) r[0] = 0, r[1] = 0;
         return 1;
     }},
    {extension::CallAllocate,
     [](std::intptr_t size, std::intptr_t, std::intptr_t) -> std::intptr_t {
         void* block = nullptr;
         return size >= 0 && AllocMemory(static_cast<std::size_t>(size), &block)
                    ? reinterpret_cast<std::intptr_t>(block)
                    : 0;
     }},
    {extension::CallAllocateZeroed,
     [](std::intptr_t size, std::intptr_t, std::intptr_t) -> std::intptr_t {
         void* block = nullptr;
         return size >= 0 && AllocZeroedMemory(static_cast<std::size_t>(size), &block)
                    ? reinterpret_cast<std::intptr_t>(block)
                    : 0;
     }},
    {extension::CallReallocate,
     [](std::intptr_t block, std::intptr_t size, std::intptr_t) -> std::intptr_t {
         void* b = reinterpret_cast<void*>(block);
         if (size < 0) return 0;
         const int done = b ? ReallocMemory(static_cast<std::size_t>(size), &b)
                            : AllocMemory(static_cast<std::size_t>(size), &b);
         return done ? reinterpret_cast<std::intptr_t>(b) : 0;
     }},
    {extension::CallFree,
     [](std::intptr_t block, std::intptr_t, std::intptr_t) -> std::intptr_t {
         FreeMemoryBlock(reinterpret_cast<void*>(block));
         return 1;
     }},
    {extension::CallSoundManager,
     // The shell makes the main window's sound player at start-up.
     [](std::intptr_t, std::intptr_t, std::intptr_t) -> std::intptr_t {
         return reinterpret_cast<std::intptr_t>(Services().soundManager);
     }},
    {extension::CallReleaseSoundManager,
     // The player stays the shell's until shutdown.
     [](std::intptr_t, std::intptr_t, std::intptr_t) -> std::intptr_t { return 1; }},
    {extension::CallPauseFrameTimer,
     [](std::intptr_t, std::intptr_t, std::intptr_t) -> std::intptr_t {
         up::PauseFrameTimer();
         return 1;
     }},
    {extension::CallResumeFrameTimer,
     [](std::intptr_t, std::intptr_t, std::intptr_t) -> std::intptr_t {
         up::ResumeFrameTimer();
         return 1;
     }},
    {extension::CallInkEffectByName,
     [](std::intptr_t name, std::intptr_t code, std::intptr_t effect) -> std::intptr_t {
         std::uint32_t ink = 0;
         CEffectEx* made = nullptr;
         const int result =
             ParseInkEffect(CurrentApplication(), reinterpret_cast<const WCHAR*>(name), ink, made);
         if (auto* c = reinterpret_cast<std::uint32_t*>(code)) *c = ink;
         if (auto* e = reinterpret_cast<CEffectEx**>(effect))
             *e = made;
         else
             DeleteEffect(made);
         return result;
     }},
    {extension::CallReleaseInkEffect,
     [](std::intptr_t, std::intptr_t ink, std::intptr_t effect) -> std::intptr_t {
         if ((static_cast<std::uint32_t>(ink) & 0xFFF) == InkEffectObject && effect)
             DeleteEffect(reinterpret_cast<CEffectEx*>(effect));
         return 1;
     }},
    {extension::CallLoadImageFileA,
     [](std::intptr_t image, std::intptr_t path, std::intptr_t options) -> std::intptr_t {
         WCHAR wide[PathUnits] = {};
         const char* text = reinterpret_cast<const char*>(path);
         if (!text) return 0;
         MultiByteToWideChar(0, 0, text, -1, wide, PathUnits - 1);
         return LoadImageFile(image, wide, options);
     }},
    {extension::CallSetModified,
     [](std::intptr_t object, std::intptr_t flag, std::intptr_t) -> std::intptr_t {
         auto* o = reinterpret_cast<RunObject*>(object);
         if (o && flag)
             if (ObjectInfo* info =
                     SeekObjectInfoByHandle(CurrentApplication(), static_cast<std::uint16_t>(o->objectInfo)))
                 info->runFlags |= InfoImagesModified;
         return 0;
     }},
    {112, [](std::intptr_t, std::intptr_t, std::intptr_t) -> std::intptr_t { return 1; }},
    {113, [](std::intptr_t, std::intptr_t, std::intptr_t) -> std::intptr_t { return 1; }},
    {extension::CallUnicodeOf,
     [](std::intptr_t app, std::intptr_t, std::intptr_t) -> std::intptr_t {
         const ApplicationRecord* a = ApplicationArgument(app);
         return a ? a->unicode : 1;
     }},
    {extension::CallCodePageOf,
     [](std::intptr_t app, std::intptr_t, std::intptr_t) -> std::intptr_t {
         const ApplicationRecord* a = ApplicationArgument(app);
         return a ? static_cast<std::intptr_t>(a->codePage) : 0;
     }},
    {extension::CallLoadImageFile,
     [](std::intptr_t image, std::intptr_t path, std::intptr_t options) -> std::intptr_t {
         return LoadImageFile(image, reinterpret_cast<const WCHAR*>(path), options);
     }},
}};

std::intptr_t TextFileCall(std::int32_t code, std::intptr_t a1, std::intptr_t a2, std::intptr_t a3) {
    if (code == extension::CallReadTextFile) {
        WCHAR* text = ReadTextFile(reinterpret_cast<const WCHAR*>(a1), static_cast<int>(a2));
        if (auto* out = reinterpret_cast<WCHAR**>(a3))
            *out = text;
        else
            FreeMemory(&text);
        return text ? 1 : 0;
    }
    return WriteTextFile(static_cast<int>(a3), reinterpret_cast<const WCHAR*>(a1),
                         reinterpret_cast<const WCHAR*>(a2));
}

std::intptr_t Generic(std::int32_t code, std::intptr_t a1, std::intptr_t a2, std::intptr_t a3) {
    return ExtensionGenericCall(code, a1, a2, a3);
}

// --- modeless dialogs ---

std::vector<HWND>& Dialogs() {
    static std::vector<HWND> dialogs;
    return dialogs;
}

// --- run routines ---

std::uint32_t FloatBits(double value) {
    const auto f = static_cast<float>(value);
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

// A value converted as an extension wants it: 0 integer, 1 string, 2 float bits, -1 as it is.
std::intptr_t ValueAs(const TypedValue& v, std::int32_t wanted, RunObject* o) {
    const auto text = [&](std::u16string_view t) -> std::intptr_t {
        if (ExtensionTakesNarrowStrings(o)) return reinterpret_cast<std::intptr_t>(NarrowTemporaryString(t));
        return reinterpret_cast<std::intptr_t>(MakeTemporaryString(t));
    };
    switch (wanted) {
    case 1:
        return text(v.IsString() ? v.Text() : std::u16string_view());
    case 2:
        return FloatBits(v.ToDouble());
    case -1:
        if (v.IsString()) return text(v.Text());
        if (v.IsDouble()) return FloatBits(v.real);
        return v.integer;
    default:
        return v.ToInt();
    }
}

std::intptr_t ExpressionArgument(const std::uint8_t*, RunObject* o, std::int32_t wanted) {
    StepToken();
    const TypedValue v = *EvaluateExpression();
    return ValueAs(v, wanted, o);
}

std::intptr_t ReadNextParameter(RunObject* o, std::int32_t wanted) {
    std::uint8_t* record = DecodedCallRecord();
    const std::uint8_t* p = o ? o->currentParameter : nullptr;
    if (!record || !p) return 0;
    o->currentParameter = NextParameter(record, p);
    const std::int16_t code = ParameterCode(p);
    if (IsExpressionParameterCode(code)) return ValueAs(*EvaluateExpressionParameter(p), wanted, o);
    std::int32_t type = TypeInteger, comparison = 0;
    int ok = 1;
    const std::intptr_t value = DecodeParameter(-1, &type, &comparison, &ok, o->objectType, p, record,
                                                ExtensionTakesNarrowStrings(o));
    return ok ? value : 0;
}

std::intptr_t ExpressionParameter(RunObject* o) {
    return ReadNextParameter(o, -1);
}

std::uint32_t ComparisonValue(std::int32_t second) {
    return FloatBits(SlotComparisonValue(second ? 1 : 0).ToDouble());
}

// Extension notifications run in the object's application, and not while it is paused.
template <typename F> std::int32_t InObjectApplication(RunObject* o, F&& f) {
    if (!o || !o->runState) return 0;
    CurrentApplicationScope scope(o->runState->application);
    if (up::ApplicationPaused()) return 0;
    EventRunState* s = CurrentEventState();
    if (!s) return 0;
    f(*s);
    return 0;
}

constexpr std::int32_t ParameterPairBit = 0x8000;

std::int32_t RaiseOwnCondition(RunObject* o, std::int32_t n, std::intptr_t parameter) {
    return InObjectApplication(o, [&](EventRunState& s) {
        const std::int32_t p1 = s.eventParameter1, p2 = s.eventParameter2;
        if (n & ParameterPairBit) {
            n &= ~ParameterPairBit;
            const auto* words = reinterpret_cast<const std::int32_t*>(parameter);
            s.eventParameter1 = words ? words[0] : 0;
            s.eventParameter2 = words ? words[1] : 0;
        } else {
            s.eventParameter1 = static_cast<std::int32_t>(parameter);
            s.eventParameter2 = 0;
        }
        TriggerObjectCondition(o, EventCodeOf(o->objectType, static_cast<std::int16_t>(-(n + 81))));
        s.eventParameter1 = p1;
        s.eventParameter2 = p2;
    });
}

std::int32_t RaiseCommonCondition(RunObject* o, std::int32_t n, const std::int32_t* words) {
    return InObjectApplication(o, [&](EventRunState& s) {
        const std::int32_t p1 = s.eventParameter1, p2 = s.eventParameter2;
        s.eventParameter1 = words ? words[0] : 0;
        s.eventParameter2 = words ? words[1] : 0;
        TriggerObjectCondition(o, EventCodeOf(o->objectType, static_cast<std::int16_t>(-n)));
        s.eventParameter1 = p1;
        s.eventParameter2 = p2;
    });
}

std::int32_t PushCondition(RunObject* o, std::int32_t n, std::intptr_t parameter, bool withObjectInfo) {
    return InObjectApplication(o, [&](EventRunState&) {
        PushEvent(TriggerObjectCondition, EventCodeOf(o->objectType, static_cast<std::int16_t>(-(n + 81))),
                  static_cast<std::int32_t>(parameter), o, withObjectInfo ? o->objectInfo : 0);
    });
}

std::int32_t PushOwnCondition(RunObject* o, std::int32_t n, std::intptr_t parameter) {
    return PushCondition(o, n, parameter, false);
}
std::int32_t PushOwnConditionWithObjectInfo(RunObject* o, std::int32_t n, std::intptr_t parameter) {
    return PushCondition(o, n, parameter, true);
}

std::int32_t RequestDestroy(RunObject* o) {
    return InObjectApplication(o, [&](EventRunState&) { MarkObjectForDestroy(o->handle); });
}

std::int32_t NotifyMoved(RunObject* o) {
    if (o) NotifyObjectMoved(o);
    return 0;
}

void Redisplay(RunObject* o) {
    if (!o) return;
    if (RunObjectExtended* x = ExtendedOf(o); x && (o->objectFlags & ObjectsRedisplayedByChange))
        x->changed = 1;
    else if (o->displayRoutine)
        o->displayRoutine(o);
}

void* AllocateTemporaryString(std::size_t bytes) {
    WCHAR* block = nullptr;
    if (bytes > INT32_MAX || !AllocZeroedMemory(bytes + 4, &block)) return nullptr;
    return AddTemporaryString(block);
}

std::int32_t ApplicationPathPart(RunObject* o, std::int32_t kind, void* buffer, std::uint32_t capacity) {
    if (!buffer || capacity == 0) return 0;
    WCHAR part[PathUnits] = {};
    GetApplicationPathPart(kind, part);
    const std::u16string_view text(part);
    if (ExtensionTakesNarrowStrings(o)) {
        if (!NarrowInto(text, static_cast<char*>(buffer), capacity)) static_cast<char*>(buffer)[0] = 0;
        return 0;
    }
    auto* out = static_cast<WCHAR*>(buffer);
    const std::size_t n = std::min<std::size_t>(text.size(), capacity - 1);
    std::copy_n(text.data(), n, out);
    out[n] = 0;
    return 0;
}

std::int32_t Subclass(RunObject* o, std::int32_t number, extension::ControlMessageRoutine routine) {
    SubclassControlWindows(o, static_cast<std::int16_t>(number), routine);
    return 0;
}

void* RoutineTables() {
    return GetRoutineTables();
}

std::int32_t RandomDirection(std::uint32_t mask) {
    return RandomDirectionInMask(mask);
}

// --- files stored in the program image ---

// The tag block of the program's own data that says where its stored files are: a marker the packer finds
// in the packed copy of the program (the only place the marker's text is), then the u32 position and u32
// count it writes there.
struct ProgramFilesTag {
    char marker[16];
    std::uint32_t position;
    std::uint32_t count;
};
[[gnu::used]] volatile ProgramFilesTag programFilesTag = {"vtr-files-here!", 0, 0};

std::vector<std::u16string>& ExtractedFiles() {
    static std::vector<std::u16string> files;
    return files;
}

// Stream codes are shown as the chunk error.
int ShownCode(int code) {
    return code == StreamReadError || code == StreamCannotOpen ? ErrorChunkTooLarge : code;
}

int ExtractOne(CInputFile& stream) {
    ChunkHeader h;
    if (int code = ReadChunkHeader(stream, h)) return code;
    std::uint8_t* payload = nullptr;
    std::uint32_t size = 0;
    if (int code = ReadChunk(stream, h, &payload, &size, nullptr)) return code;
    // A terminated UTF-16 name, then the bytes.
    std::u16string name;
    std::size_t at = 0;
    for (; at + 1 < size; at += 2) {
        const auto c = static_cast<char16_t>(payload[at] | (payload[at + 1] << 8));
        if (!c) break;
        name.push_back(c);
    }
    int code = at + 1 < size && IsPlainFileName(name) ? LoadOk : StreamDataError;
    if (code == LoadOk) {
        at += 2;
        const std::u16string path = TempFolderPath(name);
        ExtractedFiles().push_back(path);
        const HANDLE file = FileCreateRaw(path.c_str());
        if (file == INVALID_HANDLE_VALUE) {
            code = ErrorCannotOpen;
        } else {
            if (size > at && FileWriteRaw(file, payload + at, static_cast<LONG>(size - at)) != 0)
                code = StreamWriteError;
            FileCloseRaw(file);
        }
    }
    FreeMemory(&payload);
    return code;
}

} // namespace

void InitExtensionServices() {
    ServicesBlock& s = Block();
    extension::RuntimeServices& b = s.block;
    b.size = sizeof(extension::RuntimeServices);
    b.version = extension::InterfaceVersion;
    b.runtimeVersion = extension::RuntimeVersion;
    b.getUserData = GetExtensionUserData;
    b.setUserData = SetExtensionUserData;
    b.registerDialog = RegisterModelessDialog;
    b.unregisterDialog = UnregisterModelessDialog;
    b.pasteIntoBackground = [](cSurface* surface, std::int32_t x, std::int32_t y, std::uint32_t ink,
                               CEffectEx* effect, std::uint16_t obstacle, std::int32_t layer) {
        PasteSurfaceIntoBackground(surface, x, y, ink, effect, obstacle, layer);
    };
    b.usablePathA = UsablePathA;
    b.releasePathA = ReleasePathA;
    b.usablePath = UsablePath;
    b.releasePath = ReleasePath;
    b.openFileA = OpenFileA;
    b.openFile = OpenFileW;
    b.closeFile = CloseEmbeddedFile;
    b.generic = Generic;
    b.run = &s.run;

    extension::RunRoutines& r = s.run;
    r.size = sizeof(extension::RunRoutines);
    r.count = extension::RunRoutineCount;
    r.firstExpressionParameter = ExpressionArgument;
    r.nextExpressionParameter = ExpressionArgument;
    r.nextParameter = ReadNextParameter;
    r.expressionParameter = ExpressionParameter;
    r.comparisonValue = ComparisonValue;
    r.raiseOwnCondition = RaiseOwnCondition;
    r.raiseCommonCondition = RaiseCommonCondition;
    r.pushOwnCondition = PushOwnCondition;
    r.pushOwnConditionWithObjectInfo = PushOwnConditionWithObjectInfo;
    r.requestDestroy = RequestDestroy;
    r.notifyMoved = NotifyMoved;
    r.redisplay = Redisplay;
    r.allocateTemporaryString = AllocateTemporaryString;
    r.applicationPathPart = ApplicationPathPart;
    r.subclassControlWindows = Subclass;
    r.random = RandomBelow;
    r.routineTables = RoutineTables;
    r.pause = up::PauseService;
    r.resume = up::ResumeService;
    r.selectObjectRoutine = SelectObjectRoutine;
    r.randomDirectionInMask = RandomDirection;
    // The same services movement modules are handed.
    const movement::Services& m = MovementServices();
    r.moveObjectByOwnSpeed = m.moveObjectByOwnSpeed;
    r.findFreePosition = m.findFreePosition;
    r.testPositionAt = m.testObjectPosition;
    r.playerControls = m.getPlayerControls;
    r.testRectAgainstBackdrops = m.testRectAgainstBackdrops;
    r.testPointAgainstBackground = m.testPointAgainstBackground;
    r.callMovementService = [](RunObject* o, std::intptr_t a, std::intptr_t b) {
        return static_cast<std::int32_t>(MovementServices().callMovementService(o, a, b));
    };
    r.setObjectPosition = m.setObjectPosition;
    r.addObjectToSelection = ExtensionAddObjectToSelection;
}

extension::RuntimeServices* ExtensionServices() {
    ServicesBlock& s = Block();
    if (s.block.size == 0) InitExtensionServices();
    extension::RuntimeServices& b = s.block;
    const RuntimeServices& shell = Services();
    const RuntimeFiles& files = GetRuntimeFiles();
    b.instance = files.instance;
    b.context = shell.libraryContext;
    b.startContext = shell.libraryContext;
    b.mainLibraryWindow = shell.mainLibraryWindow;
    b.frameLibraryWindow = shell.frameLibraryWindow;
    b.mainWindow = shell.mainWindow;
    b.frameWindow = shell.frameWindow;
    b.palette = shell.palette;
    b.displayFlags = shell.displayFlags;
    b.displayMode = shell.displayType;
    b.flags = shell.flags;
    b.imageFilters = shell.imageFilters;
    b.soundFilters = shell.soundFilters;
    b.soundManager = shell.soundManager;
    b.application = shell.application;
    b.frame = shell.frame;
    b.runState = shell.runState;
    b.servicePaused = shell.hookPaused ? 1 : 0;
    const ApplicationRecord* top = TopApplication();
    const WCHAR* dataPath = top && top->dataFilePath ? top->dataFilePath : files.programPath.c_str();
    if (s.applicationPath != dataPath) s.applicationPath = dataPath;
    b.applicationPath = s.applicationPath.c_str();
    if (s.tempFolder != files.runtimeTempFolder) s.tempFolder = files.runtimeTempFolder;
    b.tempFolder = s.tempFolder.c_str();
    if (files.languageFolder) {
        if (s.languageFolder != *files.languageFolder) s.languageFolder = *files.languageFolder;
        b.languageFolder = s.languageFolder.c_str();
    } else {
        b.languageFolder = nullptr;
    }
    return &b;
}

namespace {

ExtensionRecord* RecordOfModule(HMODULE module) {
    if (!module) return nullptr;
    ApplicationRecord* app = CurrentApplication();
    if (!app || !app->extensions) return nullptr;
    for (int i = 0; i < app->extensionCount; ++i)
        if (app->extensions[i].module == module) return &app->extensions[i];
    return nullptr;
}

} // namespace

std::intptr_t GetExtensionUserData(HMODULE module) {
    const ExtensionRecord* record = RecordOfModule(module);
    return record ? record->userData : 0;
}

std::intptr_t SetExtensionUserData(HMODULE module, std::intptr_t value) {
    ExtensionRecord* record = RecordOfModule(module);
    if (!record) return 0;
    const std::intptr_t previous = record->userData;
    record->userData = value;
    return previous;
}

std::intptr_t ExtensionGenericCall(std::int32_t code, std::intptr_t a1, std::intptr_t a2, std::intptr_t a3) {
    if (code == extension::CallReadTextFile || code == extension::CallWriteTextFile)
        return TextFileCall(code, a1, a2, a3);
    for (const GenericEntry& entry : GenericCalls)
        if (entry.code == code) return entry.routine(a1, a2, a3);
    return 0;
}

void RegisterModelessDialog(HWND dialog) {
    std::vector<HWND>& dialogs = Dialogs();
    if (dialog && std::find(dialogs.begin(), dialogs.end(), dialog) == dialogs.end())
        dialogs.push_back(dialog);
}

void UnregisterModelessDialog(HWND dialog) {
    std::vector<HWND>& dialogs = Dialogs();
    std::erase(dialogs, dialog);
    if (dialogs.empty()) std::vector<HWND>().swap(dialogs);
}

bool IsRegisteredDialogMessage(MSG* message) {
    if (!message) return false;
    // A dialog may unregister itself while it handles the message.
    const std::vector<HWND> dialogs = Dialogs();
    for (HWND dialog : dialogs)
        if (IsDialogMessageW(dialog, message)) return true;
    return false;
}

int GetEmbeddedFilePath(const WCHAR* name, WCHAR* out, std::size_t capacity) {
    if (!name || !out || capacity == 0) return 0;
    const std::u16string_view wanted(name);
    ApplicationRecord* app = CurrentApplication();
    EmbeddedFileEntry* entry = FindEmbeddedFile(wanted);
    std::u16string_view path = wanted;
    if (entry) {
        if (entry->size == 0) return 0;
        if (!entry->extractedPath && !CopyEmbeddedFile(*app, *entry)) return 0;
        path = entry->extractedPath;
    }
    if (path.size() >= capacity) {
        // A copy made for a caller that cannot take its path has no user.
        if (entry && entry->extractedRefCount == 0) {
            DeleteFileW(entry->extractedPath);
            FreeMemory(&entry->extractedPath);
        }
        return 0;
    }
    std::copy(path.begin(), path.end(), out);
    out[path.size()] = 0;
    if (entry) ++entry->extractedRefCount;
    return 1;
}

void ReleaseEmbeddedFilePath(const WCHAR* name) {
    EmbeddedFileEntry* entry = name ? FindEmbeddedFile(name) : nullptr;
    if (!entry || !entry->extractedPath || entry->extractedRefCount <= 0) return;
    if (--entry->extractedRefCount > 0) return;
    DeleteFileW(entry->extractedPath);
    FreeMemory(&entry->extractedPath);
}

HANDLE OpenEmbeddedFile(const WCHAR* name, std::uint32_t* size) {
    if (!name) return INVALID_HANDLE_VALUE;
    const ApplicationRecord* app = CurrentApplication();
    if (const EmbeddedFileEntry* entry = FindEmbeddedFile(name)) {
        // The application's data stream is its own: the file is opened afresh at the stored bytes.
        if (!app->dataFilePath) return INVALID_HANDLE_VALUE;
        const HANDLE file = FileOpenRaw(app->dataFilePath, 0);
        if (file == INVALID_HANDLE_VALUE) return file;
        const std::int64_t at = std::int64_t{app->dataBaseOffset} + entry->position;
        if (at > INT32_MAX || FileSeekRaw(file, static_cast<LONG>(at)) != at) {
            FileCloseRaw(file);
            return INVALID_HANDLE_VALUE;
        }
        if (size) *size = entry->size;
        return file;
    }
    const HANDLE file = FileOpenRaw(name, 0);
    if (file != INVALID_HANDLE_VALUE && size)
        *size = static_cast<std::uint32_t>(std::max(0, FileGetSizeRaw(file)));
    return file;
}

void CloseEmbeddedFile(HANDLE file) {
    if (file && file != INVALID_HANDLE_VALUE) FileCloseRaw(file);
}

int ExtractEmbeddedFiles() {
    const std::uint32_t count = programFilesTag.count;
    const std::uint32_t position = programFilesTag.position;
    if (count == 0) return 1;
    RuntimeFiles& files = GetRuntimeFiles();
    if (!ExtractProgramFiles(files.programPath.c_str(), position, count)) return 0;
    files.embeddedFilesExtracted = true;
    return 1;
}

int ExtractProgramFiles(const WCHAR* programPath, std::uint32_t position, std::uint32_t count) {
    if (count == 0) return 1;
    CInputBufFile* stream = NewInputBufFile();
    int code = stream ? LoadOk : ErrorOutOfMemory;
    if (stream && position > INT32_MAX) code = StreamDataError;
    if (code == LoadOk) code = stream->OpenRange(programPath, static_cast<LONG>(position), 0);
    for (std::uint32_t i = 0; code == LoadOk && i < count; ++i)
        code = ExtractOne(*stream);
    if (stream) stream->Delete();
    if (code == LoadOk) return 1;
    ShowErrorMessage(nullptr, ShownCode(code), programPath);
    return 0;
}

void DeleteExtractedFiles() {
    for (const std::u16string& path : ExtractedFiles())
        DeleteFileW(path.c_str());
    std::vector<std::u16string>().swap(ExtractedFiles());
}

} // namespace vtrrt
