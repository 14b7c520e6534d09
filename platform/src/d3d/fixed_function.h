// The small program that stands for the fixed-function pipeline: pre-transformed vertices in pixels with y
// down, and texture stage 0 (modulate, select-argument, disable) with the alpha test, in one fragment
// program.
#pragma once

#include "program_link.h"

namespace win32::d3d {

struct StageZero {
    DWORD colourOp, colourArg1, colourArg2;
    DWORD alphaOp, alphaArg1, alphaArg2;
};

struct FixedFunctionInputs {
    float targetWidth, targetHeight;
    float offset; // added to x and y: half a pixel for lines, so they run through pixel centres
    StageZero stage;
    bool textured; // a texture is bound to stage 0
    D3DCOLOR textureFactor;
    bool alphaTest;
    DWORD alphaFunc;
    DWORD alphaRef;
};

// Makes the program current in the process's context (made on first use) and sets its inputs; false when
// it could not be built.
bool UseFixedFunction(const FixedFunctionInputs& inputs);

} // namespace win32::d3d
