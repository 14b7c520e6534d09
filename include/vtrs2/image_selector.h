// The image file selector: the open or save dialog for image and animation files, with the file types of the
// loaded image filters, an information panel (type, size, depth, frames) and a preview of the selected file.
#pragma once

#include "vtrs2/export.h"
#include "win32/comdlg.h"

class CImageFilterMgr;

// Kinds of files the selector lists (bits).
constexpr int SelectStillImages = 1;
constexpr int SelectAnimations = 2;

// The library's panel beside the dialog's controls (dialog template ImageSelectorTemplateId) and its items.
constexpr int ImageSelectorTemplateId = 100;
constexpr int ImageSelectorTypeId = 101;
constexpr int ImageSelectorWidthId = 102;
constexpr int ImageSelectorHeightId = 103;
constexpr int ImageSelectorPreviewId = 104;
constexpr int ImageSelectorDepthId = 105;
constexpr int ImageSelectorFramesId = 106;
constexpr int ImageSelectorFramesLabelId = 107;

// Shows the open (non-zero `open`) or save dialog over the caller's record; non-zero when a file was chosen.
// With `filterId` the filter of that id is the type shown first, and after a save its id is replaced by the
// id of the type chosen. The record's filter, flags, hook, custom data and template are the selector's for
// the call and the caller's again after it. 0 without showing anything when memory runs out.
VTRS2_API int SelectImageFileW(win32::OPENFILENAMEW* ofn, int open, CImageFilterMgr* manager,
                               win32::DWORD* filterId, int kinds);
// The same over an ANSI record: its texts widened with the conversion code page, the chosen file, file
// name and custom filter narrowed back on success.
VTRS2_API int SelectImageFileA(win32::OPENFILENAMEA* ofn, int open, CImageFilterMgr* manager,
                               win32::DWORD* filterId, int kinds);
// The hook procedure of the selector's panel.
VTRS2_API win32::UINT_PTR ImageSelectorHookProc(win32::HWND panel, win32::UINT message, win32::WPARAM wParam,
                                                win32::LPARAM lParam);
