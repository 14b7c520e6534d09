#include "startup/loader_environment.h"

namespace vtrrt {

namespace {
std::u16string& AdoptedFolder() {
    static std::u16string folder;
    return folder;
}
} // namespace

bool FindPackedData(PackedDataLocation&) {
    return false;
}

std::u16string_view RunTempFolder() {
    return AdoptedFolder();
}

void AdoptRunTempFolder(std::u16string_view folder) {
    if (AdoptedFolder().empty()) AdoptedFolder() = folder;
}

} // namespace vtrrt
