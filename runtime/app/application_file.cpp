// Opening the application data: a stand-alone data file, or the data packed behind the program.
#include "app/application_loader.h"

#include "core/error_message.h"
#include "startup/chunk_reader.h"
#include "startup/loader_environment.h"

#include "vtrs2/streams.h"

using namespace win32;

namespace vtrrt {

ApplicationRecord* LoadApplication(const WCHAR* path, std::int32_t value, ApplicationRecord* parent,
                                   const FrameWindowDescription* description, DWORD windowStyle,
                                   DWORD windowOption) {
    // Packed data: the program itself, from the pack's data offset; without either there is nothing to load.
    static PackedDataLocation packed;
    const WCHAR* dataPath = path;
    std::uint32_t base = 0;
    if (!dataPath) {
        if (!FindPackedData(packed)) return nullptr;
        dataPath = packed.programPath.c_str();
        base = packed.offset;
    }
    CInputBufFile* stream = NewInputBufFile();
    if (!stream) {
        ShowErrorMessage(nullptr, ErrorOutOfMemory, dataPath);
        return nullptr;
    }
    // The stream's window starts at the data, so every position in the data is relative to its start.
    if (stream->OpenRange(dataPath, static_cast<LONG>(base), 0) != StreamOk) {
        stream->Delete();
        ShowErrorMessage(nullptr, ErrorCannotOpen, dataPath);
        return nullptr;
    }
    // A damaged chunk is reported at its offset in the file, past whatever comes before the data.
    LastChunkFailure().dataOffset = base;
    ApplicationRecord* app =
        LoadApplicationFromStream(stream, dataPath, value, parent, description, windowStyle, windowOption);
    LastChunkFailure().dataOffset = 0;
    if (app) app->dataBaseOffset = base;
    return app;
}

} // namespace vtrrt
