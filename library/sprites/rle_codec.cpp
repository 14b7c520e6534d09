// Run-length packing of pixel data: repeat packets (1..127) and literal packets (128 + n), then a 0 byte.
#include "vtrs2/rle_codec.h"

#include <algorithm>
#include <cstring>

using namespace win32;

namespace {

constexpr int MaxPacketPixels = 127;
constexpr BYTE LiteralBase = 128;
constexpr BYTE EndOfData = 0;

// A writer that counts always and stores only while there is room, so the size query and the packer
// share one walk.
class PacketSink {
public:
    PacketSink(BYTE* out, std::size_t capacity) : out_(out), capacity_(capacity) {}
    void Put(BYTE b) {
        if (out_ && count_ < capacity_) out_[count_] = b;
        ++count_;
    }
    void PutAt(std::size_t at, BYTE b) {
        if (out_ && at < capacity_) out_[at] = b;
    }
    void PutPixel(const BYTE* pixel, int size) {
        for (int i = 0; i < size; ++i)
            Put(pixel[i]);
    }
    std::size_t Count() const { return count_; }

private:
    BYTE* out_;
    std::size_t capacity_;
    std::size_t count_ = 0;
};

class PixelRun {
public:
    PixelRun(const BYTE* data, std::size_t pixels, int size) : data_(data), pixels_(pixels), size_(size) {}
    std::size_t Count() const { return pixels_; }
    const BYTE* At(std::size_t i) const { return data_ + i * size_; }
    // Pixels beyond the end count as different from everything.
    bool Equal(std::size_t a, std::size_t b) const {
        return a < pixels_ && b < pixels_ && std::memcmp(At(a), At(b), size_) == 0;
    }
    std::size_t RunLength(std::size_t start) const {
        std::size_t n = 1;
        while (n < MaxPacketPixels && Equal(start, start + n))
            ++n;
        return n;
    }
    // One-byte pixels need three equal bytes to be worth a repeat packet; wider pixels need two.
    bool RunBeginsAt(std::size_t i) const {
        if (size_ == 1) return Equal(i, i + 1) && Equal(i, i + 2);
        return Equal(i, i + 1);
    }

private:
    const BYTE* data_;
    std::size_t pixels_;
    int size_;
};

void Pack(PacketSink& sink, const BYTE* source, std::size_t size, DWORD flags) {
    const int pixelSize = RlePixelSize(flags);
    if (pixelSize > 0 && source) {
        const PixelRun pixels(source, size / pixelSize, pixelSize);
        std::size_t at = 0;
        while (at < pixels.Count()) {
            const std::size_t run = pixels.RunLength(at);
            if (run >= 2) {
                sink.Put(static_cast<BYTE>(run));
                sink.PutPixel(pixels.At(at), pixelSize);
                at += run;
                continue;
            }
            const std::size_t control = sink.Count();
            sink.Put(0);
            std::size_t n = 0;
            do {
                sink.PutPixel(pixels.At(at + n), pixelSize);
                ++n;
            } while (n < MaxPacketPixels && at + n < pixels.Count() && !pixels.RunBeginsAt(at + n));
            sink.PutAt(control, static_cast<BYTE>(LiteralBase + n));
            at += n;
        }
    }
    sink.Put(EndOfData);
}

// Unpacks into `destination`, or only counts what it would write when it is null.
std::size_t Unpack(BYTE* destination, std::size_t capacity, const BYTE* source, std::size_t sourceSize,
                   DWORD flags) {
    const std::size_t pixelSize = RlePixelSize(flags);
    if (!source || pixelSize == 0) return 0;
    std::size_t in = 0;
    std::size_t out = 0;
    while (in < sourceSize && out < capacity) {
        const BYTE control = source[in++];
        if (control == EndOfData) break;
        if (control < LiteralBase) {
            if (sourceSize - in < pixelSize) break;
            const BYTE* pixel = source + in;
            in += pixelSize;
            const std::size_t total = std::min(control * pixelSize, capacity - out);
            for (std::size_t done = 0; destination && done < total; done += pixelSize)
                std::memcpy(destination + out + done, pixel, std::min(pixelSize, total - done));
            out += total;
            continue;
        }
        std::size_t bytes = (control - LiteralBase) * pixelSize;
        if (bytes > sourceSize - in) bytes = sourceSize - in;
        if (bytes > capacity - out) bytes = capacity - out;
        if (destination) std::memcpy(destination + out, source + in, bytes);
        in += bytes;
        out += bytes;
    }
    return out;
}

} // namespace

int RlePixelSize(DWORD flags) {
    if (flags & RlePixel24) return 3;
    if (flags & RlePixel16) return 2;
    if (flags & RlePixel8) return 1;
    return 0;
}

std::size_t RleCompressPixels(BYTE* destination, std::size_t capacity, const BYTE* source, std::size_t size,
                              DWORD flags) {
    if (!destination) return 0;
    PacketSink sink(destination, capacity);
    Pack(sink, source, size, flags);
    return sink.Count() <= capacity ? sink.Count() : 0;
}

std::size_t GetRleCompressedSize(const BYTE* source, std::size_t size, DWORD flags) {
    PacketSink sink(nullptr, 0);
    Pack(sink, source, size, flags);
    return sink.Count();
}

std::size_t DecodeRlePixels(BYTE* destination, std::size_t capacity, const BYTE* source,
                            std::size_t sourceSize, DWORD flags) {
    if (!destination) return 0;
    return Unpack(destination, capacity, source, sourceSize, flags);
}

std::size_t GetRleDecodedSize(const BYTE* source, std::size_t sourceSize, DWORD flags, std::size_t limit) {
    return Unpack(nullptr, limit, source, sourceSize, flags);
}

DWORD ContinueChecksum(const void* buffer, std::size_t count, DWORD start) {
    auto s = static_cast<std::uint16_t>(start);
    const auto* bytes = static_cast<const BYTE*>(buffer);
    for (std::size_t i = 0; bytes && i < count; ++i) {
        s = static_cast<std::uint16_t>(s + bytes[i]);
        s = static_cast<std::uint16_t>((s << 1) | (s >> 15));
    }
    return s;
}

DWORD ComputeItemChecksum(const void* buffer, std::size_t count) {
    return ContinueChecksum(buffer, count, 0);
}

int CompareItemBytes(const void* first, const void* second, std::size_t count) {
    if (count == 0) return 0;
    if (!first || !second) return first == second ? 0 : 1;
    return std::memcmp(first, second, count) == 0 ? 0 : 1;
}
