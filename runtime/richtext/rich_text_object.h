// The rich text object (type 8): an RTF document shown in a rectangle of the frame with optional scroll
// bars; its kind routines, its own actions and expressions (called with decoded parameters), the search,
// the scroll bars and the window hook that moves them, and its part of saved positions.
#pragma once

#include "core/frame_run_state.h"
#include "plugin/run_object.h"
#include "richtext/rtf_document.h"

#include "win32/user.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

class cSurface;

namespace vtrrt {

// The identifier a rich text object's definition carries: "RTF ".
constexpr std::uint32_t RichTextIdentifier = 0x20465452;
constexpr std::int32_t RichTextHookPriority = 100;

// Redraw flags of the object.
constexpr std::uint32_t RedrawDocument = 0x01;
constexpr std::uint32_t RedrawMoved = 0x10;
constexpr std::uint32_t RedrawResized = 0x20;
constexpr std::uint32_t RedrawShowBars = 0x40;

// The kind's part of its record.
struct RichTextPart {
    std::int32_t viewWidth, viewHeight; // the object's size, bars included
    std::uint32_t options;
    std::uint32_t background;
    RtfDocument* document; // owned
    std::uint32_t redraw;
    win32::HWND horizontalBar, verticalBar;
    win32::RECT horizontalRect, verticalRect;
    std::int32_t barWidth, barHeight; // of the vertical and the horizontal bar
    std::int32_t lastX, lastY;        // the position last handled
    cSurface* surface;                // owned; when the runtime draws through surfaces
};

// The object data of the kind: options, background colour, size and the RTF text.
struct RichTextData {
    std::uint32_t options = 0;
    std::uint32_t background = 0;
    std::int32_t width = 0, height = 0;
    std::span<const std::uint8_t> text;
};
RichTextData ReadRichTextData(std::span<const std::uint8_t> definition);

RichTextPart* RichTextOf(RunObject* object);

// The kind's routines in the routine arrays and its actions and expressions in the dispatch.
void InstallRichTextRoutines();

// The window hook of the frame: scroll-bar messages of the rich text objects.
std::uint16_t RtfObjectScrollHook(FrameRunState* state, win32::HWND window, win32::UINT message,
                                  win32::WPARAM wParam, win32::LPARAM lParam);
// Whether the frame uses a definition of type 8 (its hook is then installed).
bool FrameUsesRichText(const FrameRunState& state);

// The bars as the options, the page and the view want them; false when a bar could not be made.
bool RtfObjectUpdateScrollBars(RunObject* object);

// Searches of RtfFind.
enum class RtfFindMode { First, Next, All };
// Selects the hits of the search (the text in the document's code page, at most 255 bytes).
void RtfFind(RtfDocument& document, std::string_view text, bool wholeWord, RtfFindMode mode);

// The object's part of a saved position: scroll positions and zoom (nothing without a document); reading
// takes 12 bytes (fewer is a failure) and applies them, the zoom first.
void WriteRichTextState(RunObject* object, std::vector<std::uint8_t>& out);
bool ReadRichTextState(RunObject* object, std::span<const std::uint8_t> state);
constexpr std::size_t RichTextStateBytes = 12;

} // namespace vtrrt
