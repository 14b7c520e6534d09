// The sprites of objects: an image sprite for animated objects, an owner-drawn sprite for the other kinds,
// or drawing over a saved background; hiding, showing and flashing; transitions through a transition sprite;
// and the parking and destruction of objects that leave the activity area.
#pragma once

#include "plugin/run_object.h"

#include <cstdint>

struct Sprite;
struct SpriteWindow;

namespace vtrrt {

struct ObjectCreationParams;

// Display flags of the sprite block.
// Flags of the sprite record itself: a transition sprite, and one whose freeing leaves its object.
constexpr std::uint32_t SpriteRecordKeepsObject = 0x4;
constexpr std::uint32_t SpriteRecordInTransition = 0x8000;

constexpr std::uint16_t DisplayHidden = 0x01;
constexpr std::uint16_t DisplayStatic = 0x02;
constexpr std::uint16_t DisplayParked = 0x04;
constexpr std::uint16_t DisplayResample = 0x08;
constexpr std::uint16_t DisplayAntialias = 0x10;
constexpr std::uint16_t DisplayFlashShown = 0x20;

// The sprites of the frame window; null without one.
SpriteWindow* SpritesOfFrame();

int InitObjectSpriteBlock(RunObject* object, const ObjectCreationParams* params);
// The appearing transition, else the object's sprite.
void ShowNewObject(RunObject* object);
// The object's sprite, or null (also for objects drawn over a saved background, which have none).
Sprite* CreateObjectSprite(RunObject* object, Sprite* behind);
// The transition sprite of the appearing (false) or disappearing (true) transition, or null when there is
// none.
Sprite* StartObjectTransitionSprite(RunObject* object, bool fadeOut);
// Frees (mode 1) or deletes (mode 0) the object's sprite.
void DestroyObjectSprite(RunObject* object, int mode);
void ReleaseObjectSprite(RunObject* object);
void RestoreObjectSprite(RunObject* object);
void DisplayImageSprite(RunObject* object);
void DisplayOwnerDrawnSprite(RunObject* object);
void RestoreOwnerDrawnSprite(RunObject* object);
void HideObject(RunObject* object);
void ShowObject(RunObject* object);
bool FinishObjectFadeIn(RunObject* object);
bool FinishObjectFadeOut(RunObject* object);
// Once per loop for sprite objects: parking, transitions, flashing, the movement, and the activity area.
void UpdateObjectVisibility(RunObject* object);

} // namespace vtrrt
