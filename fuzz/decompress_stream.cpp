// Feeds arbitrary bytes to DecompressStream over a memory input stream, with the output either growing
// freely or fixed in a small caller's buffer. The first byte chooses the declared compressed size.
#include "vtrs2/compression.h"
#include "vtrs2/memory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const std::uint8_t mode = data[0];
    const auto* payload = data + 1;
    const auto payloadSize = static_cast<win32::LONG>(size - 1);

    CInputMemFile input;
    input.Attach(payload, payloadSize);
    // Declared sizes below, at and beyond the data, and "the rest".
    const win32::LONG declared = (mode & 3) == 0   ? -1
                                 : (mode & 3) == 1 ? payloadSize
                                 : (mode & 3) == 2 ? payloadSize / 2
                                                   : payloadSize + 100;
    int code = 0;
    if (mode & 4) {
        static std::uint8_t buffer[4096];
        COutputMemFile output;
        output.Attach(buffer, (mode >> 3) * 128);
        code = DecompressStream(&output, &input, declared);
        if (output.GetSize() > (mode >> 3) * 128) std::abort();
    } else {
        // A large growth step: highly compressed inputs inflate to megabytes, and growing those 512 bytes
        // at a time under ASan (whose realloc always copies) would slow the run to a crawl.
        COutputMemFile output;
        output.Create(1 << 16);
        code = DecompressStream(&output, &input, declared);
        void* block = output.DetachBuffer();
        FreeMemory(&block);
    }
    // Only the documented codes may come back.
    if (code != StreamOk && code != StreamDataError && code != StreamEndOfData && code != StreamBufferFull &&
        code != StreamOutOfMemory)
        std::abort();
    return 0;
}
