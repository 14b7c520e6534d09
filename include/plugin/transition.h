// The interface of transition modules: plug-ins that draw the fades of frames and objects step by step.
// A module exports CreateTransition as an extern "C" function; the objects it makes carry a table of
// operations in slot order, with the number of slots the module fills, so that no call reaches past it.
#pragma once

#include "win32/types.h"

#include <cstddef>
#include <cstdint>

class cSurface;

namespace transition {

struct Object;

// Mode of a step: fade-in or fade-out; with transparency; the other picture is the background.
constexpr std::uint32_t ModeFadeIn = 1;
constexpr std::uint32_t ModeFadeOut = 2;
constexpr std::uint32_t ModeTransparent = 4;
constexpr std::uint32_t ModeOtherIsBackground = 8;

// Capabilities (slot 4).
constexpr std::uint32_t NeedsRealBackground = 0x4; // an object's background is read from the window
constexpr std::uint32_t BeginDrawFlag = 0x8;       // handed to BeginDraw of the work surface

// A step may give the rectangles it changed: a list ended by an all-zero rectangle. Null: everything.
using ChangedRects = const win32::RECT*;

struct Operations {
    std::uint32_t size;                      // sizeof(Operations) as the module was built
    std::uint32_t slots;                     // how many of the slots below the module fills, from slot 0
    void (*destroy)(Object*);                // 0
    std::int32_t (*interfaceLevel)(Object*); // 1: above 1, slots 14 and 15 exist
    void* unused2;
    void* unused3;
    std::uint32_t (*capabilities)(Object*); // 4
    void* unused5;
    void* unused6;
    void* unused7;
    void (*start)(Object*, std::uint32_t duration); // 8: once, before the first step
    // 9: draws the next step into the target, from the source picture towards the destination picture.
    void (*step)(Object*, cSurface* target, cSurface* source, cSurface* destination, std::uint32_t mode,
                 ChangedRects* changed);
    void (*end)(Object*, std::int32_t isFadeOut); // 10: once, when the fade ends or is cut
    std::int32_t (*isDone)(Object*);              // 11: nonzero when finished
    void* unused12;
    void* unused13;
    std::int32_t (*canDrawDirectly)(Object*, std::int32_t one, std::int32_t isDirect3D); // 14
    // 15: draws the step at (x, y) of the target with an object's ink.
    void (*directStep)(Object*, cSurface* target, std::int32_t x, std::int32_t y, cSurface* source,
                       cSurface* destination, std::uint32_t mode, ChangedRects* changed,
                       std::int32_t transparent, std::uint32_t inkEffect, void* effect, std::int32_t zero);
};

constexpr std::uint32_t OperationSlots = 16;
static_assert(offsetof(Operations, destroy) == 8);
static_assert(offsetof(Operations, start) == 8 + 8 * sizeof(void*));
static_assert(offsetof(Operations, directStep) == 8 + 15 * sizeof(void*));
static_assert(sizeof(Operations) == 8 + OperationSlots * sizeof(void*));

struct Object {
    const Operations* operations;
};

// (0, identifier, parameter block, its size) -> a new transition object, or null.
using CreateTransitionProc = Object* (*)(std::uint32_t reserved, std::uint32_t identifier,
                                         const void* parameters, std::uint32_t size);
inline constexpr const char* CreateTransitionName = "CreateTransition";

} // namespace transition
