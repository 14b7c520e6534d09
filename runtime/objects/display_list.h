// The per-loop display of a frame's objects: the erase, commit and draw passes of the window's sprites with
// the objects drawn over saved backgrounds between them, the deferred drawing into the background, redraw
// requests, scrolling, and the passes that call a routine for every object.
#pragma once

#include "plugin/run_object.h"

#include "win32/types.h"

#include <cstdint>

struct Sprite;
struct SavedRect;
class CEffectEx;

namespace vtrrt {

// Saved-background links of a record.
constexpr std::int16_t SavedBackgroundLast = -3;
constexpr std::int16_t SavedBackgroundHidden = -2;
constexpr std::int16_t SavedBackgroundUnlisted = -1;
constexpr std::int16_t NoListedObject = static_cast<std::int16_t>(0x8000);

// Redraw request bits of the run state.
constexpr std::uint8_t RedrawRequestScrolled = 0x01;
constexpr std::uint8_t RedrawRequestFrame = 0x04;
constexpr std::uint8_t RedrawRequestExtensions = 0x08;

// One deferred drawing into the background; the routine is called with its node.
struct BackgroundQueueNode {
    BackgroundQueueNode* next;
    void (*routine)(BackgroundQueueNode* node);
    std::int32_t arguments[5];
    CEffectEx* effect;
};

// Once per loop.
void DisplayFrame(int argument);
// Through a display driver, the frame's scene drawn again as it stands, nothing moved, freed or erased: for
// a frame held still while a question is asked. Nothing in the library's own modes.
void RedrawDriverScene();
void ScrollFrame(std::int32_t x, std::int32_t y);

void UpdateDisplayRect(RunObject* object);
void QueueBackgroundRestore(RunObject* object);
void FreeKilledObjects();
void SaveListedBackgrounds();
void DisplayObjectList();
void RestoreObjectBackground(RunObject* object);
void SaveObjectBackground(RunObject* object);
void KillObjectBackground(RunObject* object);
void RemoveFromSavedBackgroundList(RunObject* object);
// The object's saved rectangle; made on first demand when `create` is set.
SavedRect* SavedRectOf(RunObject* object, bool create);

void QueueBackgroundDraw(void (*routine)(BackgroundQueueNode*), std::int32_t a1, std::int32_t a2,
                         std::int32_t a3, std::int32_t a4, std::int32_t a5, CEffectEx* effect);
void RunBackgroundQueue();
void FreeBackgroundQueue();

void RefreshChangedObjects();
void RedisplayAllObjects();
void RequestFrameRedraw(RunObject* object);
void RequestFullRedraw();
RunObject* FindObjectByFrameItem(std::int32_t index);
void SetLayerObjectsVisible(std::int32_t layer, bool show);

// {mask, routine} pairs ended by a mask of 0xffff.
struct ObjectFlagRoutine {
    std::uint32_t mask;
    void (*routine)(RunObject* object, int value);
};
using ObjectKindRoutine = void (*)(RunObject* object, int selector);
// Selectors that reach extension objects: their PauseRunObject and ContinueRunObject.
constexpr int PauseSelector = 20;
constexpr int ContinueSelector = 24;
// For every object in slot order: the flag routines its object flags ask for, then the kind's routine of the
// table (indexed by object type 0 to 9) when one is given, or for an extension object and the pause or
// continue selector its pause or continue entry.
void CallObjectRoutines(const ObjectKindRoutine* kinds, int selector, const ObjectFlagRoutine* flagRoutines);

// The routine every owner-drawn object sprite carries.
win32::LONG_PTR SpriteManagerCallback(Sprite* sprite, int code, win32::LONG_PTR argument);

} // namespace vtrrt
