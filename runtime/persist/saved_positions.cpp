#include "persist/saved_positions.h"
#include "core/upcalls.h"

#include "builtin/system_objects.h"
#include "core/application_record.h"
#include "core/command_line.h"
#include "core/error_message.h"
#include "core/event_state.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "events/extension_host.h"
#include "objects/animations.h"
#include "objects/backdrop_layers.h"
#include "objects/backgrounds.h"
#include "objects/display_list.h"
#include "objects/frame_run_state_setup.h"
#include "objects/movements.h"
#include "objects/object_sprites.h"
#include "objects/run_objects.h"
#include "persist/global_object_store.h"
#include "shell/mouse_capture.h"
#include "startup/display_mode.h"
#include "startup/event_program.h"
#include "startup/frame_loader.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"
#include "startup/player_globals.h"
#include "startup/sound_items.h"

#include "vtrs2/effect.h"
#include "vtrs2/memory.h"
#include "vtrs2/sprites.h"
#include "win32/comdlg.h"
#include "win32/kernel.h"
#include "win32/resource.h"
#include "win32/user.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint16_t EndOfChain = 0xFFFF;
constexpr std::uint16_t FirstInstanceBit = 0x8000;
constexpr std::uint16_t SpriteRunFlags = ObjectImageSprite | ObjectOwnerDrawn;
constexpr std::uint32_t RedrawAfterPosition = RedrawWholeFrame;
constexpr std::uint16_t Header2KeepsSounds = 0x1;
constexpr int MessageUnits = 256;
// Dialog filter: "Application Position|*.vps||" with its bars as terminators, and the extension a name
// typed without one takes; both name the same kind of file.
constexpr WCHAR PositionFilter[] = u"Application Position\0*.vpp\0";
constexpr WCHAR PositionExtension[] = u"vpp";

ApplicationRecord* App() {
    return CurrentApplication();
}

std::u16string ApplicationName(const ApplicationRecord& app) {
    return app.name ? std::u16string(app.name) : std::u16string();
}

// --- writing ---

void WriteRunBlock(PositionWriter& w, const FrameRunState& s) {
    const std::size_t start = w.bytes.size();
    w.U8(s.playerCount);
    w.U8(s.mousePlayers);
    w.U16(s.runFlags);
    w.I32(s.scrollX);
    w.I32(s.scrollY);
    w.I32(static_cast<std::int32_t>(s.loopCount));
    w.I32(static_cast<std::int32_t>(s.frameClock));
    w.I32(static_cast<std::int32_t>(s.clockBase - timeGetTime()));
    w.U32(s.enabledControls);
    w.U16(s.eventState ? s.eventState->emptyWhenStale : 0);
    w.U16(s.randomSeed);
    w.I32(s.previousScrollX);
    w.I32(s.previousScrollY);
    w.I32(s.windowAreaWidth);
    w.I32(s.windowAreaHeight);
    for (LONG v : {s.activeLimits.left, s.activeLimits.top, s.activeLimits.right, s.activeLimits.bottom})
        w.I32(v);
    for (LONG v : {s.outerLimits.left, s.outerLimits.top, s.outerLimits.right, s.outerLimits.bottom})
        w.I32(v);
    w.I32(static_cast<std::int32_t>(s.loopsToRun));
    w.I32(static_cast<std::int32_t>(s.targetLoopCount));
    w.I32(static_cast<std::int32_t>(s.secondLoopCounter));
    w.U16(s.loopCounter16);
    w.U16(s.creationCounter);
    w.U16(s.moveCounter);
    w.U16(0);
    w.I32(static_cast<std::int32_t>(s.totalLoopTime));
    w.Zeros(104 - (w.bytes.size() - start));
}

void WriteLayers(PositionWriter& w, FrameRecord& frame) {
    for (FrameLayer& layer : std::span(frame.layers, static_cast<std::size_t>(frame.layerCount))) {
        for (std::int32_t v : layer.scroll)
            w.I32(v);
        w.U32(layer.settings.flags);
        w.F32(layer.settings.xCoefficient);
        w.F32(layer.settings.yCoefficient);
        const LayerBackdrop* records = LayerBackdropsOf(layer);
        const std::int32_t count = records ? layer.runtimeBackdropCount : 0;
        w.U32(static_cast<std::uint32_t>(count));
        for (const LayerBackdrop& b : std::span(records, static_cast<std::size_t>(count))) {
            w.I32(b.x);
            w.I32(b.y);
            w.U16(b.image);
            w.U16(b.fine);
            w.U16(b.obstacle);
            w.U16(0);
            // An effect object of a pasted backdrop is not kept: it is pasted again with its ink code.
            w.U32(b.ink);
        }
    }
}

std::uint16_t AnimationRoutineIdentity(ObjectStepRoutine routine) {
    if (routine == AppearingAnimationRoutine) return 1;
    if (routine == DisappearingAnimationRoutine) return 2;
    return 0;
}

void WriteEffect(PositionWriter& w, CEffectEx* effect) {
    w.I32(effect ? effect->GetEffectIndex() : -1);
    w.U32(effect ? effect->GetRgbaCoefficient() : 0);
    const int count = effect ? std::max(effect->GetParamCount(), 0) : 0;
    w.U32(static_cast<std::uint32_t>(count));
    for (int i = 0; i < count; ++i) {
        if (effect->GetParamType(i) == EffectParamFloat)
            w.F32(effect->GetParamFloat(i));
        else
            w.I32(effect->GetParamInt(i));
    }
}

bool WriteObject(PositionWriter& w, RunObject* o) {
    w.I16(o->handle);
    w.I16(o->frameItem);
    w.I16(o->objectInfo);
    w.I16(o->objectType);
    for (std::int32_t v : {o->xFraction, o->x, o->yFraction, o->y, o->hotSpotX, o->hotSpotY, o->width,
                           o->height, o->displayLeft, o->displayTop, o->displayRight, o->displayBottom})
        w.I32(v);
    w.U32(o->objectFlags);
    w.U16(o->runFlags);
    w.U16(o->eventFlags);
    w.I32(o->layer);
    w.I16(o->collisionFlags);
    w.U16(o->creationNumber);
    w.U32(o->identifier);
    // The object's list of 32-bit entries: the objects built so far keep none.
    w.U16(0);
    if (RunObjectExtended* x = ExtendedOf(o)) {
        // A module's movement has its direction and speed in the module.
        std::int32_t direction = x->direction, speed = x->speed;
        ModuleMovementState(o, direction, speed);
        for (std::int32_t v : {x->player, x->movementType, x->animationRequest, x->image})
            w.I32(v);
        w.F32(x->scaleX);
        w.F32(x->scaleY);
        w.F32(x->angle);
        for (std::int32_t v :
             {direction, speed, x->minimumSpeed, x->maximumSpeed, x->changed, x->moved, x->xBeforeMove,
              x->yBeforeMove, x->imageBeforeMove, x->angleBeforeMove, x->previousDirection,
              x->boxBeforeMove[0], x->boxBeforeMove[1], x->boxBeforeMove[2], x->boxBeforeMove[3]})
            w.I32(v);
        w.U16(AnimationRoutineIdentity(x->animationRoutine));
        w.U16(0);
    }
    if (o->objectFlags & ObjectHasMovement) {
        const std::uint8_t* block = MovementBlockOf(o);
        if (!block) return false;
        // What the movement owns beside its block is this run's, and no business of the file.
        std::array<std::uint8_t, ObjectMovementBlockBytes> kept;
        std::copy_n(block, ObjectMovementBlockBytes, kept.begin());
        const MovementBlockBytes owned = MovementOwnedBytes(o);
        std::fill_n(kept.begin() + static_cast<std::ptrdiff_t>(owned.offset), owned.size, std::uint8_t{0});
        w.Bytes({kept.data(), kept.size()});
    }
    if (o->objectFlags & ObjectHasAnimation) {
        const ObjectAnimationBlock* a = AnimationOf(o);
        if (!a) return false;
        std::int32_t fields[20];
        std::memcpy(fields, a, sizeof fields);
        for (std::int32_t v : fields)
            w.I32(v);
    }
    if (o->objectFlags & ObjectHasSprite) {
        const ObjectSpriteBlock* b = SpriteBlockOf(o);
        if (!b) return false;
        for (std::int32_t v : {b->flashInterval, b->flashCountdown, b->layerKey, b->zOrder})
            w.I32(v);
        const bool effect = (b->inkEffect & InkCodeMask) == InkEffectObject;
        for (std::uint32_t v :
             {b->spriteFlags, b->eraseColour, b->inkEffect,
              effect ? 0u : static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(b->inkParameter))})
            w.U32(v);
        w.U16(b->displayFlags);
        w.U16(b->firstSpriteFlags);
        if (effect) WriteEffect(w, static_cast<CEffectEx*>(b->inkParameter));
    }
    if (o->objectFlags & ObjectHasValues) {
        const ObjectValuesBlock* v = ValuesBlockOf(o);
        if (!v) return false;
        const auto* values = static_cast<const TypedValue*>(v->values);
        const std::int32_t count = values ? v->count : 0;
        w.U32(static_cast<std::uint32_t>(count));
        for (std::int32_t i = 0; i < count; ++i)
            if (!WriteTypedValue(w, values[i])) return false;
        for (const char16_t* s : v->strings)
            w.Text(s);
        w.U32(v->flags);
    }
    const KindPositionRoutines* kind = KindPositionRoutinesOf(o->objectType);
    return !kind || kind->write(w, o);
}

// The objects of a layer in display order: those with a sprite as their sprites lie, back to front, then
// the others.
std::vector<RunObject*> LayerObjects(FrameRunState& s, std::int32_t layer) {
    std::vector<RunObject*> sprites, others;
    for (std::int32_t i = 0; i < s.maxObjects; ++i) {
        RunObject* o = s.objects[i].object;
        if (!o || o->layer != layer || !SpriteBlockOf(o)) continue;
        RunObjectExtended* x = ExtendedOf(o);
        (x && x->sprite ? sprites : others).push_back(o);
    }
    SpriteWindow* window = SpritesOfFrame();
    std::stable_sort(sprites.begin(), sprites.end(), [&](RunObject* a, RunObject* b) {
        return IsSpriteBehind(window, static_cast<Sprite*>(ExtendedOf(a)->sprite),
                              static_cast<Sprite*>(ExtendedOf(b)->sprite)) != 0;
    });
    sprites.insert(sprites.end(), others.begin(), others.end());
    return sprites;
}

void WriteChains(PositionWriter& w, FrameRunState& s) {
    PositionWriter chains;
    for (std::int32_t i = 0; i < s.objectInfoCount; ++i) {
        std::int32_t guard = s.maxObjects;
        for (std::int16_t h = s.objectInfos[i].firstInstance;
             h != NoInstanceLink && h >= 0 && h < s.maxObjects && s.objects[h].object && guard-- > 0;
             h = s.objects[h].object->nextInstance)
            chains.U16(static_cast<std::uint16_t>(h));
        chains.U16(EndOfChain);
    }
    w.U32(static_cast<std::uint32_t>(chains.bytes.size()));
    w.Bytes(chains.bytes);
}

// The event program's groups, in order: the offset of each and of each of its records.
struct ProgramLayout final : EventVisitor {
    struct Group {
        std::size_t offset;
        std::vector<std::size_t> records;
    };
    std::vector<Group> groups;
    bool Group(const EventGroupView& g) override {
        groups.push_back({g.offset, {}});
        return true;
    }
    bool Record(const EventGroupView&, const EventRecordView& r) override {
        groups.back().records.push_back(r.offset);
        return true;
    }
};

std::vector<std::uint8_t>* ProgramOf(FrameRunState& s) {
    return s.eventState && s.eventState->events && !s.eventState->events->program.empty()
               ? &s.eventState->events->program
               : nullptr;
}

bool LayoutOf(std::vector<std::uint8_t>& program, ProgramLayout& layout) {
    return WalkEventProgram(program, layout) == 0;
}

void WriteEventGroups(PositionWriter& w, FrameRunState& s) {
    std::vector<std::uint8_t>* program = ProgramOf(s);
    ProgramLayout layout;
    if (!program || !LayoutOf(*program, layout) || layout.groups.empty()) {
        w.U32(0);
        return;
    }
    w.U32(static_cast<std::uint32_t>(program->size()));
    const std::uint8_t* p = program->data();
    for (const auto& g : layout.groups) {
        w.U16(GetU16(p + g.offset + GroupFlags));
        w.I32(GetI32(p + g.offset + GroupCounterA));
        w.I32(GetI32(p + g.offset + GroupCounterB));
        for (std::size_t r : g.records) {
            w.U8(p[r + RecordRunFlags]);
            w.U8(p[r + RecordNegation]);
        }
    }
}

// --- files ---

bool DialogsImpossible() {
    return Services().fullScreen && (Services().displayFlags & DisplayDriverFlag);
}

bool RunFileDialog(bool save, std::u16string& path) {
    if (DialogsImpossible()) return false;
    WCHAR name[MAX_PATH] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = Services().frameWindow;
    ofn.lpstrFilter = PositionFilter;
    ofn.lpstrFile = name;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = PositionExtension;
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_EXPLORER | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    up::PauseApplication();
    const BOOL chosen = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    up::ResumeApplication();
    if (!chosen) return false;
    path = name;
    return true;
}

bool ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& bytes) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart >= 0 && size.QuadPart < (LONGLONG{1} << 30);
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() ||
             (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
              read == bytes.size());
    }
    CloseHandle(file);
    return ok;
}

// Written beside the target and renamed over it once complete, so that a failed save keeps the old file.
bool WriteFileWhole(const std::u16string& path, const std::vector<std::uint8_t>& bytes) {
    const std::u16string temporary = path + u".tmp";
    HANDLE file =
        CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && FlushFileBuffers(file);
    CloseHandle(file);
    if (ok && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileW(temporary.c_str());
    return false;
}

void ShowPositionMessage(int check) {
    ApplicationRecord* app = App();
    WCHAR text[MessageUnits];
    const int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(check), text, MessageUnits);
    if (length <= 0) return;
    ReportErrorLine(std::u16string_view(text, static_cast<std::size_t>(length)));
    if (GetCommandLineOptions().errorBoxes & 1)
        MessageBoxW(Services().frameWindow, text, app && app->name ? app->name : u"", MB_ICONWARNING);
}

// --- reading back ---

// Everything the run held goes; a new run of the frame is made without its objects.
bool RebuildRunForPosition() {
    ApplicationRecord& app = *App();
    FrameRecord* frame = Services().frame;
    if (FrameRunState* old = CurrentRunState()) {
        ResetFrameLayers(*frame, false);
        StopFrameSounds(app);
        if (!(app.header.flags2 & Header2KeepsSounds)) StopApplicationSounds(app);
        KillAllObjects();
        EndFrameEvents(old);
        ReleaseMouse();
        FreeFrameRunState(old);
    }
    frame->maxObjects = FrameObjectCapacity(*frame);
    if (CreateFrameRunState() != 0) return false;
    FrameRunState* s = CurrentRunState();
    s->positionLoadFlag = 1;
    ResetObjectList();
    ResetFrameLayers(*frame, false);
    BuildObjectInfoList();
    if (StartFrameEvents(*s) != 0) return false;
    up::InitFrameRunState();
    return true;
}

void ApplyRunBlock(FrameRunState& s, const std::array<std::uint8_t, 104>& block) {
    ByteReader r(block);
    std::uint8_t u8 = 0;
    std::uint16_t u16 = 0;
    std::int32_t i = 0;
    auto i32 = [&]() {
        r.I32(i);
        return i;
    };
    r.U8(s.playerCount);
    r.U8(u8);
    s.mousePlayers = u8;
    r.U16(s.runFlags);
    s.scrollX = i32();
    s.scrollY = i32();
    s.loopCount = i32();
    s.frameClock = i32();
    s.clockBase = timeGetTime() + static_cast<std::uint32_t>(i32());
    r.U32(s.enabledControls);
    r.U16(u16);
    if (s.eventState) s.eventState->emptyWhenStale = u16;
    r.U16(s.randomSeed);
    s.previousScrollX = i32();
    s.previousScrollY = i32();
    s.windowAreaWidth = i32();
    s.windowAreaHeight = i32();
    for (LONG* v : {&s.activeLimits.left, &s.activeLimits.top, &s.activeLimits.right, &s.activeLimits.bottom,
                    &s.outerLimits.left, &s.outerLimits.top, &s.outerLimits.right, &s.outerLimits.bottom})
        *v = i32();
    s.loopsToRun = i32();
    s.targetLoopCount = i32();
    s.secondLoopCounter = i32();
    r.U16(s.loopCounter16);
    r.U16(s.creationCounter);
    r.U16(s.moveCounter);
    r.U16(u16);
    s.totalLoopTime = i32();
}

// The frame's first four words are its scroll position and display size, which the run block and the redraw
// after the load restore.
void ApplyFrameAndLayers(FrameRunState& s, FrameRecord& frame, const PositionImage& image) {
    SetRunningFrameSize(image.frame[4], image.frame[5]);
    frame.virtualRect = {image.frame[6], image.frame[7], image.frame[8], image.frame[9]};
    s.virtualWidth = frame.virtualRect.right == -1 ? VirtualSizeUnbounded : frame.virtualRect.right;
    s.virtualHeight = frame.virtualRect.bottom == -1 ? VirtualSizeUnbounded : frame.virtualRect.bottom;
    frame.background = static_cast<std::uint32_t>(image.frame[10]);
    for (std::size_t i = 0; i < image.layers.size(); ++i) {
        FrameLayer& layer = frame.layers[i];
        const SavedLayer& saved = image.layers[i];
        std::copy(std::begin(saved.scroll), std::end(saved.scroll), layer.scroll);
        layer.settings.flags = saved.flags;
        layer.settings.xCoefficient = saved.xCoefficient;
        layer.settings.yCoefficient = saved.yCoefficient;
        for (const SavedLayer::Backdrop& b : saved.backdrops) {
            LayerBackdrop r{};
            r.x = b.x;
            r.y = b.y;
            r.image = b.image;
            r.fine = b.fine;
            r.layer = static_cast<std::uint16_t>(i);
            r.obstacle = b.obstacle;
            r.ink = b.ink;
            AddRunBackdropToLayer(r);
        }
    }
}

void ApplyEffect(CEffectEx* effect, const SavedEffect& saved) {
    if (!effect || effect->GetEffectIndex() != saved.index) return;
    effect->SetRgbaCoefficient(saved.rgba);
    const int count = std::min(effect->GetParamCount(), static_cast<int>(saved.values.size()));
    for (int i = 0; i < count; ++i) {
        const std::uint32_t v = saved.values[static_cast<std::size_t>(i)];
        if (effect->GetParamType(i) == EffectParamFloat)
            effect->SetParamFloat(i, std::bit_cast<float>(v));
        else if (effect->GetParamType(i) != EffectParamTexture)
            effect->SetParamInt(i, static_cast<int>(v));
    }
}

ObjectStepRoutine AnimationRoutineOf(std::uint16_t identity) {
    if (identity == 1) return AppearingAnimationRoutine;
    if (identity == 2) return DisappearingAnimationRoutine;
    return SaveObjectBox;
}

RunObject* ApplyObject(const SavedObject& saved) {
    const std::int32_t direction = saved.extended ? saved.extended->direction : 0;
    if (CreateObject(saved.frameItem, saved.objectInfo, saved.x, saved.y, direction, 0, saved.layer,
                     saved.handle) != saved.handle)
        return nullptr;
    RunObject* o = CurrentRunState()->objects[saved.handle].object;
    // Its sprite is made again from the restored block, in the saved display order.
    DestroyObjectSprite(o, 1);
    o->xFraction = saved.xFraction;
    o->yFraction = saved.yFraction;
    o->hotSpotX = saved.hotSpotX;
    o->hotSpotY = saved.hotSpotY;
    o->width = saved.width;
    o->height = saved.height;
    o->displayLeft = saved.display[0];
    o->displayTop = saved.display[1];
    o->displayRight = saved.display[2];
    o->displayBottom = saved.display[3];
    o->objectFlags = saved.objectFlags;
    o->runFlags =
        static_cast<std::uint16_t>((saved.runFlags & ~SpriteRunFlags) | (o->runFlags & SpriteRunFlags));
    o->eventFlags = saved.eventFlags;
    o->collisionFlags = saved.collisionFlags;
    // 0 would mark a record still waiting to be made, whose destruction leaves what its blocks own: the
    // object was made whole here, so it keeps the number it was made with.
    if (saved.creationNumber != 0) o->creationNumber = saved.creationNumber;
    o->identifier = saved.identifier;
    // An object that had gone on to another movement of its list is set up for it before its state returns,
    // the one it was made with freed; an index the list does not hold keeps that one.
    std::int32_t current = CurrentMovementIndex(o);
    if (saved.movement.size() == ObjectMovementBlockBytes) {
        const std::uint8_t* at = saved.movement.data() + MovementBlockCurrent;
        const auto index = static_cast<std::int32_t>(at[0] | (at[1] << 8) | (at[2] << 16) |
                                                     (static_cast<std::uint32_t>(at[3]) << 24));
        if (index != current && ReplaceObjectMovement(o, index)) current = index;
    }
    if (RunObjectExtended* x = ExtendedOf(o); x && saved.extended) {
        const SavedObject::Extended& e = *saved.extended;
        // The routines in use are those the set-up chose for the movement.
        const std::int32_t movementType = x->movementType;
        x->player = e.player;
        x->movementType = e.movementType;
        x->animationRequest = e.animationRequest;
        x->image = e.image;
        x->scaleX = e.scaleX;
        x->scaleY = e.scaleY;
        x->angle = e.angle;
        x->direction = e.direction;
        x->speed = e.speed;
        x->minimumSpeed = e.minimumSpeed;
        x->maximumSpeed = e.maximumSpeed;
        x->changed = e.changed;
        x->moved = e.moved;
        x->xBeforeMove = e.xBeforeMove;
        x->yBeforeMove = e.yBeforeMove;
        x->imageBeforeMove = e.imageBeforeMove;
        x->angleBeforeMove = e.angleBeforeMove;
        x->previousDirection = e.previousDirection;
        std::copy(std::begin(e.boxBeforeMove), std::end(e.boxBeforeMove), x->boxBeforeMove);
        x->animationRoutine = AnimationRoutineOf(e.animationRoutine);
        x->movementType = movementType;
    }
    // The movement keeps what it owns beside its block (made when the object was made again), and takes its
    // state from the file.
    if (std::uint8_t* block = MovementBlockOf(o);
        block && saved.movement.size() == ObjectMovementBlockBytes) {
        const MovementBlockBytes owned = MovementOwnedBytes(o);
        std::vector<std::uint8_t> live(block + owned.offset, block + owned.offset + owned.size);
        std::memcpy(block, saved.movement.data(), ObjectMovementBlockBytes);
        std::copy(live.begin(), live.end(), block + owned.offset);
        std::memcpy(block + MovementBlockCurrent, &current, sizeof current);
    }
    if (ObjectAnimationBlock* a = AnimationOf(o); a && saved.animation.size() * 4 == sizeof *a)
        std::memcpy(a, saved.animation.data(), sizeof *a);
    if (ObjectSpriteBlock* b = SpriteBlockOf(o); b && saved.sprite) {
        const SavedObject::SpriteState& s = *saved.sprite;
        b->flashInterval = s.flashInterval;
        b->flashCountdown = s.flashCountdown;
        b->layerKey = s.layerKey;
        b->zOrder = s.zOrder;
        b->spriteFlags = s.spriteFlags;
        b->eraseColour = s.eraseColour;
        b->displayFlags = s.displayFlags;
        b->firstSpriteFlags = s.firstSpriteFlags;
        // An effect object stays the one made for the object: its values are set from the file.
        const bool wasEffect = (b->inkEffect & InkCodeMask) == InkEffectObject;
        if ((s.inkEffect & InkCodeMask) == InkEffectObject) {
            if (wasEffect && s.effect) ApplyEffect(static_cast<CEffectEx*>(b->inkParameter), *s.effect);
        } else {
            if (wasEffect) DeleteEffect(static_cast<CEffectEx*>(b->inkParameter));
            b->inkParameter = reinterpret_cast<void*>(static_cast<std::uintptr_t>(s.inkParameter));
        }
        if (wasEffect || (s.inkEffect & InkCodeMask) != InkEffectObject) b->inkEffect = s.inkEffect;
    }
    if (ObjectValuesBlock* v = ValuesBlockOf(o); v && saved.values) {
        auto* values = static_cast<TypedValue*>(v->values);
        const std::size_t count = std::min<std::size_t>(values ? static_cast<std::size_t>(v->count) : 0,
                                                        saved.values->values.size());
        for (std::size_t i = 0; i < count; ++i)
            CopyTypedValue(values[i], saved.values->values[i]);
        for (int i = 0; i < AlterableStringCount; ++i) {
            const auto& text = saved.values->strings[static_cast<std::size_t>(i)];
            SetAlterableString(o, i, text ? text->c_str() : nullptr);
        }
        v->flags = saved.values->flags;
    }
    // A module's movement was made afresh with the object: it takes back what the record kept of it.
    if (saved.extended) RestoreModuleMovementState(o, saved.extended->direction, saved.extended->speed);
    if (const KindPositionRoutines* kind = KindPositionRoutinesOf(o->objectType);
        kind && !kind->apply(o, saved))
        return nullptr;
    return o;
}

void ApplyChains(FrameRunState& s, const PositionImage& image) {
    for (std::size_t i = 0; i < image.chains.size(); ++i) {
        ObjectInfoRunEntry& entry = s.objectInfos[i];
        const std::vector<std::uint16_t>& chain = image.chains[i];
        entry.firstInstance = chain.empty() ? NoInstanceLink : static_cast<std::int16_t>(chain.front());
        entry.instanceCount = static_cast<std::int32_t>(chain.size());
        ++entry.instanceChanges;
        for (std::size_t k = 0; k < chain.size(); ++k) {
            RunObject* o = s.objects[chain[k]].object;
            o->previousInstance = k == 0 ? static_cast<std::int16_t>(FirstInstanceBit | i)
                                         : static_cast<std::int16_t>(chain[k - 1]);
            o->nextInstance = k + 1 < chain.size() ? static_cast<std::int16_t>(chain[k + 1]) : NoInstanceLink;
        }
    }
}

// The sprites made again in the saved order, each in front of those before it.
void ApplyDisplayOrder(FrameRunState& s, const PositionImage& image) {
    SpriteWindow* window = SpritesOfFrame();
    for (const auto& order : image.layerOrder)
        for (std::uint16_t h : order) {
            RunObject* o = s.objects[h].object;
            if (Sprite* sprite = CreateObjectSprite(o, nullptr)) MoveSpriteToFront(window, sprite);
        }
}

void ApplyEventGroups(FrameRunState& s, const PositionImage& image) {
    std::vector<std::uint8_t>* program = ProgramOf(s);
    ProgramLayout layout;
    if (!program || !LayoutOf(*program, layout) || layout.groups.size() != image.groups.size()) return;
    std::uint8_t* p = program->data();
    for (std::size_t g = 0; g < layout.groups.size(); ++g) {
        const auto& group = layout.groups[g];
        const SavedGroup& saved = image.groups[g];
        PutU16(p + group.offset + GroupFlags, saved.flags);
        PutI32(p + group.offset + GroupCounterA, saved.counterA);
        PutI32(p + group.offset + GroupCounterB, saved.counterB);
        for (std::size_t r = 0; r < group.records.size() && 2 * r + 1 < saved.recordFlags.size(); ++r) {
            p[group.records[r] + RecordRunFlags] = saved.recordFlags[2 * r];
            p[group.records[r] + RecordNegation] = saved.recordFlags[2 * r + 1];
        }
    }
}

void ApplyGlobals(ApplicationRecord& app, const PositionImage& image) {
    if (ApplicationRecord* owner = GetScoresOwner(&app); owner && owner->globals.scores)
        std::copy(std::begin(image.scores), std::end(image.scores), owner->globals.scores);
    if (ApplicationRecord* owner = GetLivesOwner(&app); owner && owner->globals.lives)
        std::copy(std::begin(image.lives), std::end(image.lives), owner->globals.lives);
    for (std::size_t i = 0; i < image.globalValues.size(); ++i)
        SetGlobalValue(&app, static_cast<std::int32_t>(i), &image.globalValues[i]);
    for (std::size_t i = 0; i < image.globalStrings.size(); ++i)
        SetGlobalString(&app, static_cast<std::int32_t>(i),
                        image.globalStrings[i] ? image.globalStrings[i]->c_str() : nullptr);
    // A string never set stays absent.
    if (ApplicationRecord* owner = GetGlobalStringsOwner(&app); owner && owner->globals.strings)
        for (std::size_t i = 0; i < image.globalStrings.size() && i < std::size_t(owner->globals.stringCount);
             ++i)
            if (!image.globalStrings[i]) FreeMemory(&owner->globals.strings[i]);
}

bool ApplyPosition(const PositionImage& image) {
    ApplicationRecord& app = *App();
    if (!RebuildRunForPosition()) return false;
    FrameRunState& s = *CurrentRunState();
    ApplyFrameAndLayers(s, *s.frame, image);
    ApplyGlobals(app, image);
    for (const SavedObject& saved : image.objects)
        if (!ApplyObject(saved)) return false;
    ApplyChains(s, image);
    ApplyDisplayOrder(s, image);
    ReplaceGlobalObjectStore(app, image.store);
    ApplyEventGroups(s, image);
    ApplyRunBlock(s, image.run);
    s.frame->scrollX = s.scrollX;
    s.frame->scrollY = s.scrollY;
    return true;
}

// Where a load ends, whatever it did.
void EndPositionLoad() {
    ApplicationRecord* app = App();
    if (app) app->run.loadingPosition = false;
    if (FrameRunState* s = CurrentRunState()) {
        s->positionLoadFlag = 0;
        // The redraw scrolls to the restored position; the activity limits stay those that were saved.
        const RECT limits = s->activeLimits;
        RedrawFrame(RedrawAfterPosition);
        s->activeLimits = limits;
        CaptureMouse();
        s->lastWord = 0;
    }
}

// Applies a checked position to the current application's frame; false when the run it rebuilt could not
// take it.
bool ApplyParsedPosition(const PositionImage& image) {
    App()->run.loadingPosition = true;
    const bool applied = ApplyPosition(image);
    if (applied) {
        FrameRunState* now = CurrentRunState();
        if (now->eventState) now->eventState->positionLoadLoop = now->loopCount;
        // The next clear checks the window-size surface again.
        if (FrameRecord* frame = Services().frame) frame->checkWindowSurface = 1;
        RequestFullRedraw();
    }
    EndPositionLoad();
    return applied;
}

} // namespace

std::vector<std::uint8_t> WriteApplicationPosition(std::int32_t stamp) {
    ApplicationRecord* app = App();
    FrameRunState* s = CurrentRunState();
    if (!app || !s || !s->frame) return {};
    FrameRecord& frame = *s->frame;
    PositionWriter w;
    w.Bytes({reinterpret_cast<const std::uint8_t*>(PositionMagic), PositionMagicBytes});
    w.U16(PositionVersionWritten);
    const std::u16string name = ApplicationName(*app);
    w.U16(static_cast<std::uint16_t>(std::min<std::size_t>((name.size() + 1) * 2, 0xFFFE)));
    for (std::size_t i = 0; i < name.size() && i < 0x7FFE; ++i)
        w.U16(name[i]);
    w.U16(0);
    w.I32(stamp);
    w.U16(static_cast<std::uint16_t>(app->currentFrameIndex));
    WriteRunBlock(w, *s);
    for (std::int32_t v :
         {frame.scrollX, frame.scrollY, frame.displayWidth, frame.displayHeight, frame.width, frame.height,
          frame.virtualRect.left, frame.virtualRect.top, frame.virtualRect.right, frame.virtualRect.bottom})
        w.I32(v);
    w.U32(frame.background);
    WriteLayers(w, frame);
    const ApplicationRecord* scores = GetScoresOwner(app);
    const ApplicationRecord* lives = GetLivesOwner(app);
    for (int i = 0; i < PlayerCount; ++i)
        w.I32(scores && scores->globals.scores ? scores->globals.scores[i] : 0);
    for (int i = 0; i < PlayerCount; ++i)
        w.I32(lives && lives->globals.lives ? lives->globals.lives[i] : 0);
    const ApplicationRecord* values = GetGlobalValuesOwner(app);
    const std::int32_t valueCount = values && values->globals.values ? values->globals.valueCount : 0;
    w.U32(static_cast<std::uint32_t>(valueCount));
    for (std::int32_t i = 0; i < valueCount; ++i)
        if (!WriteTypedValue(w, values->globals.values[i])) return {};
    const ApplicationRecord* strings = GetGlobalStringsOwner(app);
    const std::int32_t stringCount = strings && strings->globals.strings ? strings->globals.stringCount : 0;
    w.U32(static_cast<std::uint32_t>(stringCount));
    for (std::int32_t i = 0; i < stringCount; ++i)
        w.Text(strings->globals.strings[i]);
    w.U32(static_cast<std::uint32_t>(s->objectInfoCount));
    w.U32(static_cast<std::uint32_t>(s->objectCount));
    for (std::int32_t i = 0; i < s->maxObjects; ++i)
        if (RunObject* o = s->objects[i].object; o && !WriteObject(w, o)) return {};
    for (std::int32_t layer = 0; layer < frame.layerCount; ++layer) {
        const std::vector<RunObject*> order = LayerObjects(*s, layer);
        w.U32(static_cast<std::uint32_t>(order.size() * 2));
        for (RunObject* o : order)
            w.U16(static_cast<std::uint16_t>(o->handle));
    }
    WriteChains(w, *s);
    WriteGlobalObjectStore(w, *app);
    WriteEventGroups(w, *s);
    // The frame's ink and effect are the frame's own until events can change them; the effect services
    // write them here when they can.
    w.U32(0);
    return std::move(w.bytes);
}

PositionExpectation ExpectationOfCurrentFrame(std::int32_t stamp) {
    PositionExpectation e;
    ApplicationRecord* app = App();
    FrameRecord* frame = Services().frame;
    if (!app || !frame) return e;
    e.applicationName = ApplicationName(*app);
    e.stamp = stamp;
    e.frameIndex = app->currentFrameIndex;
    e.layerCount = frame->layerCount;
    e.maxObjects = FrameObjectCapacity(*frame);
    MarkAndCountFrameObjectInfos();
    for (ObjectInfo* info = FirstFrameObjectInfo(); info; info = NextFrameObjectInfo()) {
        if (info->definition.empty()) LoadObjectDefinition(app, *info);
        const std::span<const std::uint8_t> def(info->definition);
        PositionExpectation::Info expected{
            info->handle, info->objectType, def.empty() ? 0u : DefU32(def, DefObjectFlags), 0, false, false};
        if (const std::optional<ExtensionSavedState> keeping = ExtensionStateKeeping(info->objectType)) {
            expected.extensionVersion = static_cast<std::uint32_t>(std::int32_t{keeping->dataVersion});
            expected.extensionSaves = keeping->saves;
            expected.extensionLoads = keeping->loads;
        }
        e.infos.push_back(expected);
    }
    FrameRunState* s = CurrentRunState();
    std::vector<std::uint8_t>* program = s ? ProgramOf(*s) : nullptr;
    std::vector<std::uint8_t> stored;
    if (!program && frame->events && !frame->events->stored.empty()) {
        // No run yet: the program as the preparation will copy it.
        stored = frame->events->stored;
        program = &stored;
    }
    ProgramLayout layout;
    if (program && LayoutOf(*program, layout)) {
        e.programBytes = static_cast<std::uint32_t>(program->size());
        for (const auto& g : layout.groups)
            e.groupRecords.push_back(static_cast<std::uint16_t>(g.records.size()));
    }
    return e;
}

int ChooseSavePositionFile(std::u16string& path) {
    FrameRunState* s = CurrentRunState();
    if (s && s->positionFile[0]) {
        path = s->positionFile;
        s->positionFile[0] = 0;
        return 1;
    }
    if (!RunFileDialog(true, path)) return 0;
    // A name typed without its extension takes it.
    const std::size_t slash = path.find_last_of(u"/\\");
    const std::size_t dot = path.find_last_of(u'.');
    if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash))
        path += std::u16string(u".") + PositionExtension;
    return 1;
}

int ChooseLoadPositionFile(std::u16string& path, std::int32_t& stamp) {
    FrameRunState* s = CurrentRunState();
    ApplicationRecord* app = App();
    if (s && s->positionFile[0]) {
        path = s->positionFile;
        s->positionFile[0] = 0;
        return 1;
    }
    if (app && app->run.pendingPositionFile[0]) {
        path = app->run.pendingPositionFile;
        stamp = app->run.pendingPositionStamp;
        app->run.pendingPositionFile[0] = 0;
        return 1;
    }
    return RunFileDialog(false, path) ? 1 : 0;
}

int SaveApplicationPosition(const WCHAR* file) {
    FrameRunState* s = CurrentRunState();
    if (!s) return 0;
    std::u16string path;
    if (file)
        path = file;
    else if (!ChooseSavePositionFile(path))
        return 0;
    const std::vector<std::uint8_t> bytes = WriteApplicationPosition(s->positionStamp);
    if (bytes.empty() || !WriteFileWhole(path, bytes)) return 0;
    if (s->eventState) s->eventState->positionSaveLoop = s->loopCount;
    return 1;
}

PositionLoad LoadApplicationPosition(const WCHAR* file, std::int32_t* frameIndex) {
    ApplicationRecord* app = App();
    if (!app || !Services().frame) return PositionLoad::Cancelled;
    FrameRunState* s = CurrentRunState();
    std::int32_t stamp = s ? s->positionStamp : app->run.pendingPositionStamp;
    std::u16string path;
    if (file)
        path = file;
    else if (!ChooseLoadPositionFile(path, stamp))
        return PositionLoad::Cancelled;
    std::vector<std::uint8_t> bytes;
    PositionExpectation expect = ExpectationOfCurrentFrame(stamp);
    expect.frameNumberOnly = frameIndex != nullptr;
    PositionImage image;
    const int check = ReadWholeFile(path, bytes) ? ParsePosition(bytes, expect, image) : PositionReadError;
    if (check != PositionValid) {
        ShowPositionMessage(check);
        return PositionLoad::Refused;
    }
    if (frameIndex) {
        *frameIndex = image.frameIndex;
        return PositionLoad::FrameNumber;
    }
    const bool applied = ApplyParsedPosition(image);
    if (!applied) ShowPositionMessage(PositionReadError);
    return applied ? PositionLoad::Applied : PositionLoad::Failed;
}

int LoadPositionFromBytes(std::span<const std::uint8_t> bytes, std::int32_t stamp) {
    if (!App() || !Services().frame) return PositionReadError;
    PositionImage image;
    const int check = ParsePosition(bytes, ExpectationOfCurrentFrame(stamp), image);
    if (check != PositionValid) return check;
    return ApplyParsedPosition(image) ? PositionValid : PositionReadError;
}

std::int32_t LoadPositionAndRestart() {
    ApplicationRecord* app = App();
    FrameRunState* s = CurrentRunState();
    if (!app || !s) return -1;
    std::int32_t stamp = s->positionStamp;
    std::u16string path;
    if (!ChooseLoadPositionFile(path, stamp)) return -1;
    std::int32_t frameIndex = -1;
    if (LoadApplicationPosition(path.c_str(), &frameIndex) != PositionLoad::FrameNumber) return -1;
    if (path.size() >= MAX_PATH) return -1;
    std::copy(path.begin(), path.end(), app->run.pendingPositionFile);
    app->run.pendingPositionFile[path.size()] = 0;
    app->run.pendingPositionStamp = stamp;
    return frameIndex;
}

} // namespace vtrrt
