// Loads application data held in memory, the way the program loads a data file.
#pragma once

#include "app/application_loader.h"
#include "core/runtime_services.h"

#include "vtrs2/app_context.h"
#include "vtrs2/streams.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace loadertest {

inline const char16_t* DataPath = u"/games/demo/app.vtg";

struct RecordDeleter {
    void operator()(vtrrt::ApplicationRecord* app) const { vtrrt::CloseApplication(app); }
};
using RecordPtr = std::unique_ptr<vtrrt::ApplicationRecord, RecordDeleter>;

// The bytes must outlive the record: its data stream reads them in place.
inline RecordPtr LoadFromMemory(const std::vector<std::uint8_t>& bytes, int* code = nullptr,
                                vtrrt::ApplicationRecord* parent = nullptr,
                                const vtrrt::FrameWindowDescription* description = nullptr,
                                std::uint32_t windowStyle = 0) {
    CInputMemFile* stream = NewInputMemFile();
    stream->Attach(bytes.data(), static_cast<win32::LONG>(bytes.size()));
    return RecordPtr(
        vtrrt::LoadApplicationFromStream(stream, DataPath, 7, parent, description, windowStyle, 0, code));
}

// The library context the program makes before it loads an application (an application loaded without one
// cannot start), destroyed with the scope; declare it before the records that use it.
class LibraryContextScope {
public:
    LibraryContextScope() { vtrrt::Services().libraryContext = CreateAppContext(nullptr, nullptr); }
    ~LibraryContextScope() {
        DestroyAppContext(vtrrt::Services().libraryContext);
        vtrrt::Services().libraryContext = nullptr;
    }
    LibraryContextScope(const LibraryContextScope&) = delete;
    LibraryContextScope& operator=(const LibraryContextScope&) = delete;
};

inline std::u16string Text(const char16_t* s) {
    return s ? std::u16string(s) : std::u16string(u"<null>");
}

} // namespace loadertest
