// What the loader takes from the start-up: where packed data lies, and the run's temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vtrrt {

struct PackedDataLocation {
    std::u16string programPath;
    std::uint32_t offset = 0; // file offset of the data in the program
};

// False when the program carries no application data.
bool FindPackedData(PackedDataLocation& location);

// This run's temporary folder, without trailing separator; empty when none is set.
std::u16string_view RunTempFolder();
// Sets it from the application data when the start-up has made none.
void AdoptRunTempFolder(std::u16string_view folder);

} // namespace vtrrt
