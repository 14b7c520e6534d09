// The sound-filter manager: "*.sft" plug-ins, the decoder search, and the device that the first manager of
// the process makes through a built-in entry of an internal filter list.
#include "sound_internal.h"

#include "vtrs2/compat.h"
#include "vtrs2/streams.h"

#include <new>

using namespace win32;

namespace {

constexpr DWORD DirectSoundDeviceId = 0x20205344; // "DS  "

int managerUsers = 0;
CFilterMgr* deviceFilters = nullptr;

// The internal list's value cannot carry a pointer in 32 bits; the scanning manager is passed through here.
CSoundFilterMgr* scanning = nullptr;

void* MakeDeviceForScanningManager(DWORD) {
    return sound::CreateDirectSoundDevice(scanning);
}

} // namespace

CSoundFilterMgr::CSoundFilterMgr() : counted_(0) {}

CSoundFilterMgr::~CSoundFilterMgr() {
    CSoundFilterMgr::FreeFilters();
}

void CSoundFilterMgr::Scan(const WCHAR* folder, DWORD option) {
    {
        SoundLock lock;
        if (!counted_) {
            counted_ = 1;
            if (managerUsers++ == 0) {
                deviceFilters = NewFilterMgr();
                if (deviceFilters) {
                    deviceFilters->Initialize(nullptr, nullptr, 0);
                    deviceFilters->InsertBuiltInFilter(&MakeDeviceForScanningManager, DirectSoundDeviceId,
                                                       u"DirectSound", 0);
                    scanning = this;
                    sound::SetDevice(static_cast<CSoundAPI*>(deviceFilters->CreateFilterAt(0)));
                    scanning = nullptr;
                }
            }
        }
    }
    Initialize(folder, u"*.sft", option);
}

void CSoundFilterMgr::ScanA(const char* folder, DWORD option) {
    WCHAR* wide = ToWideString(folder, -1);
    Scan(wide, option);
    FreeString(wide);
}

void CSoundFilterMgr::FreeFilters() {
    CSoundAPI* gone = nullptr;
    CFilterMgr* goneFilters = nullptr;
    {
        SoundLock lock;
        if (counted_) {
            counted_ = 0;
            if (--managerUsers == 0) {
                gone = sound::Device();
                sound::SetDevice(nullptr);
                goneFilters = deviceFilters;
                deviceFilters = nullptr;
            }
        }
    }
    // Outside the lock: the device stops its timer first, which never waits while holding it.
    if (gone) gone->Delete();
    if (goneFilters) goneFilters->Delete();
    CFilterMgr::FreeFilters();
}

CSoundFilter* CSoundFilterMgr::OpenDecoder(CInputFile* stream) {
    if (!stream || !filters_) return nullptr;
    for (int i = 0; i < filters_->count; ++i) {
        FilterEntry* e = filters_->items[i];
        if (!e->canRead) continue;
        const LONG at = stream->GetPosition();
        const int accepted = e->canRead(stream);
        if (stream->GetPosition() != at) stream->Seek(at, SeekFromStart);
        if (!accepted) continue;
        auto* decoder = static_cast<CSoundFilter*>(e->create(e->value));
        if (!decoder) continue;
        if (decoder->Open(stream) == 0) {
            decoder->SetOutputFormat(decoder->GetSourceFormat());
            return decoder;
        }
        decoder->Release();
        // The next plug-in reads from where this one was asked.
        stream->Seek(at, SeekFromStart);
    }
    return nullptr;
}

CSoundFilterMgr* NewSoundFilterMgr() {
    return new (std::nothrow) CSoundFilterMgr;
}

CSoundManager* CreateSoundManagerForWindow(CSoundFilterMgr*, HWND window) {
    CSoundAPI* device = sound::Device();
    return device ? device->CreateSoundManager(window) : nullptr;
}
