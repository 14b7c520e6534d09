// The BMP image filter's reader over arbitrary bytes (see image_filter_fuzz.h).
#include "image_filter_fuzz.h"

namespace {
constexpr win32::DWORD Id = BmpFilterId;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return imagefuzz::Initialize(Id);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return imagefuzz::ReadOne(Id, data, size);
}
