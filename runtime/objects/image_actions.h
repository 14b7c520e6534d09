// Actions that change the images of an object at run time: one colour replaced in every image of the
// object, or one frame of an animation loaded from an image file. The new images go into the image bank,
// and every instance of the object and its sprite take them. The active object's own actions call them.
#pragma once

#include "plugin/run_object.h"
#include "win32/types.h"

#include <cstdint>
#include <memory>
#include <vector>

class cSurface;

namespace vtrrt {

// A bank image as a surface of its own pixels (with its alpha plane and palette), or null.
std::unique_ptr<cSurface> ImageSurface(win32::DWORD image);

struct ImageLoadOptions {
    std::uint32_t size = 24;
    std::int32_t hotX = 0, hotY = 0;
    std::int32_t actionX = 0, actionY = 0;
    win32::COLORREF transparent = 0; // 0: the file's own
};

// Object info flag: its images were changed at run time.
constexpr std::uint32_t InfoImagesModified = 0x80;

// Per-handle routines for EnumObjectInfoHandles, each given the 16-bit field of one image.
// `user`: a std::uint32_t, raised to the handle.
void FindMaxImageHandle(int kind, std::uint8_t* field, void* user);
// `user`: a std::vector<std::uint32_t> of one entry per handle, counting the handle's uses.
void FlagImageHandle(int kind, std::uint8_t* field, void* user);
// `user`: a std::vector<std::uint32_t> of replacements; one use of a handle that has one ends.
void ReleaseReplacedImage(int kind, std::uint8_t* field, void* user);
// `user`: a std::vector<std::uint32_t> of replacements; the field takes its handle's replacement.
void RemapImageHandle(int kind, std::uint8_t* field, void* user);

// Every image of the object's animations and instances with one colour replaced; the object, or null when
// its images are not loaded or memory runs out (nothing is changed then).
RunObject* ReplaceObjectColor(RunObject* object, win32::COLORREF oldColour, win32::COLORREF newColour);
// The file read through the image filters into a new image (an identical one of the bank is used
// instead); the image the handle held loses this use and the handle is replaced. 1, or 0 with nothing
// changed.
int LoadImageFileToBank(std::uint16_t& handle, const win32::WCHAR* path, const ImageLoadOptions& options);
// One frame of one direction of one animation of the object loaded from a file; instances showing the old
// image show the new one. Nothing for out-of-range numbers or a file that cannot be read.
void LoadObjectFrameFromFile(RunObject* object, const win32::WCHAR* path, int animation, int direction,
                             int frame, int hotX, int hotY, int actionX, int actionY,
                             win32::COLORREF transparent);

} // namespace vtrrt
