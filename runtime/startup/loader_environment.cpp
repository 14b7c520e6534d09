#include "startup/loader_environment.h"

#include "startup/runtime_files.h"

namespace vtrrt {

bool FindPackedData(PackedDataLocation& location) {
    const RuntimeFiles& files = GetRuntimeFiles();
    if (!files.packFound || files.packHeader.dataOffset == 0 || files.programPath.empty()) return false;
    location.programPath = files.programPath;
    location.offset = files.packHeader.dataOffset;
    return true;
}

std::u16string_view RunTempFolder() {
    return GetRuntimeFiles().runtimeTempFolder;
}

void AdoptRunTempFolder(std::u16string_view folder) {
    RuntimeFiles& files = GetRuntimeFiles();
    if (files.runtimeTempFolder.empty()) files.runtimeTempFolder = folder;
}

} // namespace vtrrt
