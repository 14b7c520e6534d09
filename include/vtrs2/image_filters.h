// The manager of "*.ift" image-filter plug-ins.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/filters.h"

class VTRS2_API CImageFilterMgr : public CFilterMgr {
public:
    CImageFilterMgr();
    ~CImageFilterMgr() override;

    void Scan(const win32::WCHAR* folder, win32::DWORD option);
    void ScanA(const char* folder, win32::DWORD option);
    void FreeFilters() override;
};

VTRS2_API CImageFilterMgr* NewImageFilterMgr();
