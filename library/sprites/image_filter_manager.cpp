// The image-filter manager: the "*.ift" plug-ins of a folder, and the questions asked of one of them.
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

namespace {

int AskFilter(CImageFilterMgr* manager, int index, int (CFilterImpl::*question)()) {
    if (!manager || index < 0 || index >= manager->GetFilterCount()) return 0;
    auto* filter = static_cast<CFilterImpl*>(manager->CreateFilterAt(index));
    if (!filter) return 0;
    const int answer = (filter->*question)();
    filter->Release();
    return answer;
}

} // namespace

int FilterHandlesImages(CImageFilterMgr* manager, int index) {
    return AskFilter(manager, index, &CFilterImpl::HandlesImages);
}

int FilterHandlesAnimations(CImageFilterMgr* manager, int index) {
    return AskFilter(manager, index, &CFilterImpl::HandlesAnimations);
}
