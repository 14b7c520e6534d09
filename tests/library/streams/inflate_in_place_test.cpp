// Inflation straight into a caller's buffer (a whole stream from memory, or block by block from a file)
// against the block path into a buffer of the stream's own: the same bytes, the same result codes, the same
// input position afterwards.
#include "file_fixture.h"

#include "vtrs2/compression.h"
#include "vtrs2/memory.h"
#include "vtrs2/streams.h"

#include <functional>
#include <string>

using namespace win32;

namespace {

enum class Way { OwnBuffer, CallerBufferFromMemory, CallerBufferFromFile };

struct Outcome {
    int code = 0;
    Bytes out;
    LONG inputPosition = 0;
};

class InflateInPlace : public FileTest {
protected:
    // Inflates `size` bytes of `compressed` (-1: all) the given way into at most `capacity` bytes.
    Outcome Inflate(Way way, const Bytes& compressed, LONG size, LONG capacity) {
        Outcome outcome;
        COutputMemFile output;
        Bytes buffer(static_cast<std::size_t>(capacity) + 16, 0xEE);
        if (way == Way::OwnBuffer)
            output.Create(0);
        else
            output.Attach(buffer.data(), capacity);
        if (way == Way::CallerBufferFromFile) {
            CInputBufFile input;
            EXPECT_EQ(input.Open(MakeFile("in.z", compressed).c_str()), StreamOk);
            outcome.code = DecompressStream(&output, &input, size);
            outcome.inputPosition = input.GetPosition();
        } else {
            CInputMemFile input;
            input.Attach(compressed.data(), static_cast<LONG>(compressed.size()));
            outcome.code = DecompressStream(&output, &input, size);
            outcome.inputPosition = input.GetPosition();
        }
        const LONG produced = output.GetSize();
        if (way == Way::OwnBuffer) {
            auto* data = static_cast<BYTE*>(output.DetachBuffer());
            outcome.out.assign(data, data + produced);
            FreeMemory(&data);
        } else {
            // Nothing lands past the caller's capacity.
            for (std::size_t i = static_cast<std::size_t>(capacity); i < buffer.size(); ++i)
                EXPECT_EQ(buffer[i], 0xEE) << "byte " << i;
            outcome.out.assign(buffer.begin(), buffer.begin() + produced);
        }
        return outcome;
    }

    // The in-place ways give what the block path gives: on success the same bytes and input position,
    // on failure the same code.
    void ExpectSameAsBlocks(const Bytes& compressed, LONG size, LONG capacity) {
        const Outcome blocks = Inflate(Way::OwnBuffer, compressed, size, capacity);
        for (const Way way : {Way::CallerBufferFromMemory, Way::CallerBufferFromFile}) {
            SCOPED_TRACE(way == Way::CallerBufferFromMemory ? "from memory" : "from a file");
            const Outcome direct = Inflate(way, compressed, size, capacity);
            const bool fits = blocks.code != StreamOk || static_cast<LONG>(blocks.out.size()) <= capacity;
            EXPECT_EQ(direct.code, fits ? blocks.code : StreamBufferFull);
            if (direct.code != StreamOk) continue;
            EXPECT_EQ(direct.out, blocks.out);
            EXPECT_EQ(direct.inputPosition, blocks.inputPosition);
        }
    }
};

TEST_F(InflateInPlace, WholeStreamsOfEverySize) {
    for (const std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{8192}, std::size_t{40000}, std::size_t{300000}}) {
        SCOPED_TRACE(size);
        const Bytes data = Pattern(size);
        ExpectSameAsBlocks(Deflated(data), -1, static_cast<LONG>(size));
        ExpectSameAsBlocks(Deflated(data), -1, static_cast<LONG>(size) + 100);
    }
}

// The input is left where reading whole blocks up to the stream's end leaves it, whatever follows.
TEST_F(InflateInPlace, LeavesTheInputWhereTheBlocksDo) {
    for (const std::size_t size : {std::size_t{100}, std::size_t{30000}, std::size_t{70000}}) {
        SCOPED_TRACE(size);
        Bytes compressed = Deflated(Pattern(size));
        compressed.resize(compressed.size() + 20000, 0x55);
        ExpectSameAsBlocks(compressed, -1, static_cast<LONG>(size));
        ExpectSameAsBlocks(compressed, static_cast<LONG>(compressed.size()) - 5, static_cast<LONG>(size));
    }
}

TEST_F(InflateInPlace, TooSmallABufferIsFull) {
    const Bytes compressed = Deflated(Pattern(50000));
    ExpectSameAsBlocks(compressed, -1, 49999);
    ExpectSameAsBlocks(compressed, -1, 0);
    ExpectSameAsBlocks(compressed, -1, 8192);
}

struct Damage {
    const char* name;
    std::function<void(Bytes&)> apply;
};

TEST_F(InflateInPlace, DamagedStreamsFailAlike) {
    const Damage damages[] = {
        {"empty", [](Bytes& b) { b.clear(); }},
        {"header only", [](Bytes& b) { b.resize(2); }},
        {"bad header", [](Bytes& b) { b[0] = 0x12; }},
        {"preset dictionary",
         [](Bytes& b) {
             // The dictionary bit set and the header check bits made right again.
             int flags = (b[1] & 0xE0) | 0x20;
             flags += (31 - (b[0] * 256 + flags) % 31) % 31;
             b[1] = static_cast<BYTE>(flags);
         }},
        {"bad block type", [](Bytes& b) { b[2] |= 0x06; }},
        {"flipped body", [](Bytes& b) { b[b.size() / 2] ^= 0xFF; }},
        {"bad checksum", [](Bytes& b) { b.back() ^= 0x01; }},
        {"truncated", [](Bytes& b) { b.resize(b.size() * 2 / 3); }},
        {"no checksum", [](Bytes& b) { b.resize(b.size() - 4); }},
        {"one byte short", [](Bytes& b) { b.pop_back(); }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        Bytes compressed = Deflated(Pattern(40000));
        damage.apply(compressed);
        // Room for what damaged data may make up, so that a data error is met before the buffer is full.
        ExpectSameAsBlocks(compressed, -1, 1 << 20);
    }
}

TEST_F(InflateInPlace, DeclaredSizesPastOrShortOfTheStream) {
    const Bytes compressed = Deflated(Pattern(40000));
    ExpectSameAsBlocks(compressed, static_cast<LONG>(compressed.size()) + 10000, 40000);
    ExpectSameAsBlocks(compressed, static_cast<LONG>(compressed.size()) - 1, 40000);
    ExpectSameAsBlocks(compressed, 0, 40000);
}

} // namespace
