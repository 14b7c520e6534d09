// What lies under the mouse pointer, for the keyboard and mouse object's conditions and the click raiser.
#pragma once

#include <vector>

struct Sprite;

namespace vtrrt {

struct RunObject;

// The frame's live object a sprite stands for, or null (a backdrop's sprite, a freed object).
RunObject* LiveObjectOfSprite(Sprite* sprite);
// The sprites of the frame window under the pointer, front first, at most two per object slot.
std::vector<Sprite*> SpritesUnderPointer();
// Whether the pointer lies in the object's box (left and top inclusive).
bool PointerInBox(const RunObject* object);
// The objects under the pointer: by their sprites, then those drawn without one by their boxes; objects
// that are disappearing are left out.
std::vector<RunObject*> ObjectsUnderPointer();

} // namespace vtrrt
