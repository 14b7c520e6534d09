// Loading application data into an ApplicationRecord, and freeing it again.
#pragma once

#include "core/application_record.h"
#include "startup/application_paths.h"

#include "win32/types.h"

class CInputFile;

namespace vtrrt {

// What a sub-application object hands to the loader about the window it runs in.
struct FrameWindowDescription {
    std::uint32_t options;
};

// Loads a stand-alone data file (path given) or the data packed behind the program (null path). Returns
// the record, or null after the error has been reported.
ApplicationRecord* LoadApplication(const win32::WCHAR* path, std::int32_t value, ApplicationRecord* parent,
                                   const FrameWindowDescription* description, win32::DWORD windowStyle,
                                   win32::DWORD windowOption);

// The same over a stream already open at the start of the data (a memory stream in tests and fuzzing). The
// record takes the stream over; on failure it is deleted. `dataPath` names the data in messages and for
// relocated paths and may be null. `error` receives the result code; a failure is reported like any other.
ApplicationRecord* LoadApplicationFromStream(CInputFile* stream, const win32::WCHAR* dataPath,
                                             std::int32_t value, ApplicationRecord* parent,
                                             const FrameWindowDescription* description,
                                             win32::DWORD windowStyle, win32::DWORD windowOption,
                                             int* error = nullptr);

// Frees the record and everything it owns. Null is accepted.
void CloseApplication(ApplicationRecord* app);

} // namespace vtrrt
