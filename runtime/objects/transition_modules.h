// Transition modules, loaded by name from the run's temporary folder and kept until the shell shuts down,
// the transition descriptors of the application data, and the calls into a module's transition objects.
#pragma once

#include "plugin/transition.h"

#include "win32/types.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vtrrt {

// One loaded module: its handle, its name (with ".dll"), and its CreateTransition.
struct TransitionModuleRecord {
    win32::HMODULE module;
    std::u16string name;
    transition::CreateTransitionProc createTransition;
};

// Descriptor flags.
constexpr std::uint32_t TransitionPlainColour = 0x1; // the fade runs from or to a colour
constexpr std::uint32_t TransitionWideName = 0x2;    // the module name is UTF-16
constexpr std::size_t TransitionDescriptorBytes = 32;

// A transition descriptor as the application data holds it, its fields checked: the name and the
// parameter block lie inside it.
struct TransitionDescriptor {
    std::uint32_t identifier;
    std::uint32_t duration;
    std::uint32_t flags;
    win32::COLORREF colour;
    std::u16string moduleName;
    std::span<const std::uint8_t> parameters;
};
std::optional<TransitionDescriptor> ReadTransitionDescriptor(std::span<const std::uint8_t> bytes);

// The cached record, or the module loaded now (a name without extension gets ".dll", another extension is
// replaced by it; names compare without regard to case). A name that is not a plain file name, a module
// that is missing or does not load (told to the user), or one without CreateTransition gives null.
const TransitionModuleRecord* LoadTransitionModule(std::u16string_view name);
// A transition object from the descriptor's module; null when there is none.
transition::Object* CreateTransitionObject(const TransitionDescriptor& descriptor);
// Frees every cached module.
void FreeTransitionModules();

// The operations of a transition object, each called only when the module fills its slot.
std::int32_t TransitionInterfaceLevel(transition::Object* t);
std::uint32_t TransitionCapabilities(transition::Object* t);
void StartTransition(transition::Object* t, std::uint32_t duration);
void StepTransition(transition::Object* t, cSurface* target, cSurface* source, cSurface* destination,
                    std::uint32_t mode, transition::ChangedRects* changed);
void EndTransition(transition::Object* t, bool isFadeOut);
// A transition whose module cannot say counts as done.
bool TransitionDone(transition::Object* t);
// Slot 14 when the interface level is above 1.
bool TransitionDrawsDirectly(transition::Object* t, bool isDirect3D);
void StepTransitionDirect(transition::Object* t, cSurface* target, int x, int y, cSurface* source,
                          cSurface* destination, std::uint32_t mode, transition::ChangedRects* changed,
                          bool transparent, std::uint32_t inkEffect, void* effect);
void DestroyTransition(transition::Object* t);

} // namespace vtrrt
