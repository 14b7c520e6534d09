// The image-filter manager: the "*.ift" plug-ins of a folder.
#include "vtrs2/image_filters.h"

#include "vtrs2/compat.h"

#include <new>

using namespace win32;

CImageFilterMgr::CImageFilterMgr() = default;

CImageFilterMgr::~CImageFilterMgr() {
    CImageFilterMgr::FreeFilters();
}

void CImageFilterMgr::Scan(const WCHAR* folder, DWORD option) {
    Initialize(folder, u"*.ift", option);
}

void CImageFilterMgr::ScanA(const char* folder, DWORD option) {
    WCHAR* wide = ToWideString(folder, -1);
    Scan(wide, option);
    FreeString(wide);
}

void CImageFilterMgr::FreeFilters() {
    CFilterMgr::FreeFilters();
}

CImageFilterMgr* NewImageFilterMgr() {
    return new (std::nothrow) CImageFilterMgr;
}
