// Reads a transition descriptor from arbitrary bytes, as frames and object definitions store them: the
// module name's offset and terminator and the parameter block's offset and size come from the data.
#include "objects/transition_modules.h"
#include "quiet_target.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<vtrrt::TransitionDescriptor> d = vtrrt::ReadTransitionDescriptor({data, size});
    // What a descriptor gives is read whole, as the fade would read it.
    if (d) {
        volatile std::uint32_t sum = 0;
        for (std::uint8_t b : d->parameters)
            sum = sum + b;
        for (char16_t c : d->moduleName)
            sum = sum + c;
    }
    return 0;
}
