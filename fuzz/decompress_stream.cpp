// Feeds arbitrary bytes to DecompressStream over a memory input stream (or the same bytes through a stream
// that is not one), with the output either growing freely or fixed in a small caller's buffer. The first
// byte chooses the declared compressed size, the output and the input.
#include "vtrs2/compression.h"
#include "vtrs2/memory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The bytes of another stream, seen through a stream of another kind: inflation then reads it in blocks.
class OtherStream final : public CInputFile {
public:
    explicit OtherStream(CInputFile& inner) : inner_(inner) {}
    int ReadCounted(void* buffer, win32::LONG size, win32::LONG* count) override {
        return inner_.ReadCounted(buffer, size, count);
    }
    int Read(void* buffer, win32::LONG size) override { return inner_.Read(buffer, size); }
    int ReadByte(win32::BYTE* value) override { return inner_.ReadByte(value); }
    win32::LONG GetPosition() override { return inner_.GetPosition(); }
    win32::LONG GetSize() override { return inner_.GetSize(); }
    win32::LONG Seek(win32::LONG offset, int origin) override { return inner_.Seek(offset, origin); }
    int Attach(win32::HANDLE file) override { return inner_.Attach(file); }
    win32::HANDLE Detach() override { return inner_.Detach(); }
    const char* GetFileNameA() override { return nullptr; }
    const win32::WCHAR* GetFileNameW() override { return nullptr; }

private:
    CInputFile& inner_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const std::uint8_t mode = data[0];
    const auto* payload = data + 1;
    const auto payloadSize = static_cast<win32::LONG>(size - 1);

    CInputMemFile memory;
    memory.Attach(payload, payloadSize);
    OtherStream other(memory);
    CInputFile& input = (mode & 0x80) ? static_cast<CInputFile&>(other) : memory;
    // Declared sizes below, at and beyond the data, and "the rest".
    const win32::LONG declared = (mode & 3) == 0   ? -1
                                 : (mode & 3) == 1 ? payloadSize
                                 : (mode & 3) == 2 ? payloadSize / 2
                                                   : payloadSize + 100;
    int code = 0;
    if (mode & 4) {
        static std::uint8_t buffer[4096];
        const win32::LONG capacity = ((mode >> 3) & 15) * 256;
        COutputMemFile output;
        output.Attach(buffer, capacity);
        code = DecompressStream(&output, &input, declared);
        if (output.GetSize() > capacity) std::abort();
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
