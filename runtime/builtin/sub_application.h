// The sub-application object (type 9): a second application run inside the running one, in a window of its
// own placed at the object's box (a child window of the frame window or a popup) or drawn into the frame.
// The parent starts and ends it, steps it once per loop, places and sizes its window, pauses it, asks it for
// frame changes and reads and writes its global values and strings.
#pragma once

#include "core/application_record.h"

#include "win32/types.h"

#include <cstdint>
#include <span>
#include <string>

namespace vtrrt {

struct RunObject;
struct FrameRunState;

// Option flags of a sub-application definition (the others the shell reads are in application_record.h).
constexpr std::uint32_t SubAppFollowsSize = 0x10;
constexpr std::uint32_t SubAppCaption = 0x40;
constexpr std::uint32_t SubAppToolWindow = 0x80;
constexpr std::uint32_t SubAppBorder = 0x100;
constexpr std::uint32_t SubAppSizingBorder = 0x200;
constexpr std::uint32_t SubAppSystemMenu = 0x400;
constexpr std::uint32_t SubAppDialogFrame = 0x2000;
constexpr std::uint32_t SubAppOwnData = 0x4000;
constexpr std::uint32_t SubAppClipSiblings = 0x40000;
constexpr std::uint32_t SubAppNotMoved = 0x100000;

// Sub-applications nest at most this deep (the top application at depth 0).
constexpr int MaxSubApplicationDepth = 8;
// Frame numbers a jump may name.
constexpr std::int32_t MaxSubApplicationFrame = 4095;

// The definition (at the definition's type data offset), checked: the file name ends inside the definition
// and within 260 units; the icon, when there is one, is the rest of the definition from its offset, a packed
// bitmap whose own sizes CreateIconFromDib checks.
struct SubAppDefinition {
    std::int32_t width = 0, height = 0;
    std::uint16_t startFrame = 0;
    std::uint32_t options = 0;
    std::span<const std::uint8_t> icon; // empty: none
    std::u16string fileName;
};
// False when the definition is too short or its file name runs past its end.
bool ReadSubAppDefinition(std::span<const std::uint8_t> definition, SubAppDefinition& out);

// The window style and extended style of a child's frame window, from its options.
struct SubAppWindowStyle {
    win32::DWORD style = 0, exStyle = 0;
};
SubAppWindowStyle SubAppWindowStyleOf(std::uint32_t options);

// The kind's own part of a record.
struct SubAppPart {
    ApplicationRecord* child; // null when none runs
    std::int32_t previousFrame, currentFrame;
    std::int32_t width, height; // the definition's
    std::uint32_t options;      // the definition's, as the first start set them
    std::uint16_t startFrame;
    // The object's own copy of the file name: starting another file writes it.
    win32::WCHAR fileName[260];
    // The path the child was read from, which its record names but does not own: kept while it runs.
    win32::WCHAR* childPath;
};
SubAppPart* SubAppOf(RunObject* object);

// The child of a sub-application object, or null.
ApplicationRecord* SubApplicationChild(RunObject* object);

// Starts the object's child: at `frame`, or (for -1) the definition's start frame when it runs its parent's
// own data, else frame 0; `firstStart` takes the object's size from the definition, and a size given is
// the window's (the size of the child it replaces). Nothing happens for an empty file name without a frame
// of the parent's to run, past the deepest nesting, or for a file that is not there; a child that cannot be
// loaded or started is freed whole and the object keeps none.
void StartSubApplication(RunObject* object, bool firstStart, std::int32_t frame, std::int32_t width = 0,
                         std::int32_t height = 0);
// Sizes the child's window to its stored size: its client area takes that size, or, while the child has
// SubAppKeepsGivenSize (cleared here), the whole window does.
void SizeSubApplicationWindow(ApplicationRecord& child);
// One step of the child (its window placed, a modal child stepped until it is hidden or ends); a child that
// quits is freed. The kind's per-loop routine.
void RunSubApplicationStep(RunObject* object);
// Ends the child as its state asks and frees it.
void EndSubApplication(RunObject* object);

// Sub-applications drawn into the frame: the frame's list of their objects, drawn into the frame window's
// surface at each display, and the click offered to the one under a point of the frame window (1 when one
// took it).
void AddEmbeddedSubApp(FrameRunState& state, RunObject* object);
void RemoveEmbeddedSubApp(FrameRunState* state, RunObject* object);
void DrawEmbeddedSubApps();
RunObject* EmbeddedSubAppAt(std::int32_t x, std::int32_t y);

// The kind's routines, and its own conditions, actions and expressions as decoded routines.
void InstallSubApplicationRoutines();
void InstallSubApplicationEvents();

} // namespace vtrrt
