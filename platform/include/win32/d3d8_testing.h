// What tests use to drive a 3D device: losing it on demand, and reading its back buffer.
#pragma once

#include "win32/d3d8.h"

#include <string>
#include <vector>

namespace win32::testing {

// From now on Present fails and TestCooperativeLevel answers D3DERR_DEVICELOST, until
// LetLostDeviceReset; a Reset then brings the device back.
void LoseDevice(IDirect3DDevice8* device);
// TestCooperativeLevel answers D3DERR_DEVICENOTRESET from now on, as a lost device that can be reset.
void LetLostDeviceReset(IDirect3DDevice8* device);

// The back buffer's pixels as 0xAARRGGBB, top row first; empty for a device of another kind.
std::vector<D3DCOLOR> ReadBackBuffer(IDirect3DDevice8* device, UINT* width, UINT* height);

// Caps and texture checks answer this limit instead of the context's when it is smaller; 0 lifts it.
void LimitTextureSize(UINT limit);

// The draws a device has sent to the context since it was made.
unsigned DrawCallCount(IDirect3DDevice8* device);
// The render and texture-stage states it was given that changed a value, since it was made.
unsigned StateChangeCount(IDirect3DDevice8* device);

// The first OpenGL error the context holds (0 for none), and none held afterwards: what a call left behind.
DWORD TakeGlError();

// The OpenGL renderer and version the devices run on ("llvmpipe ..." without a GPU), so that measurements
// can say what they measured; empty when no context can be made.
std::string RendererName();

} // namespace win32::testing
