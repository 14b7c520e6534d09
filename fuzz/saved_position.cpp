// Parses arbitrary bytes as a saved position against a fixed application and frame: two layers, room for 64
// objects, an active object with values, a text, a counter, a score display and an extension object that
// keeps a state, and a program of two groups.
// Whatever the bytes, the parse either refuses them with one of its check numbers or hands back a position
// whose handles, chains and display orders all name live objects of the frame's object infos. The first
// corpus folder given, when empty, receives a position written for this frame as the seed.
#include "persist/position_file.h"
#include "quiet_target.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace vtrrt;

namespace {

PositionExpectation Expected() {
    PositionExpectation e;
    e.applicationName = u"Fuzzed";
    e.stamp = 3;
    e.frameIndex = 1;
    e.layerCount = 2;
    e.maxObjects = 64;
    e.infos = {{1, 2, 0x330, 0, false, false},
               {2, 3, 0x200, 0, false, false},
               {3, 7, 0x200, 0, false, false},
               {4, 5, 0x200, 0, false, false},
               {6, 32, 0x200, 2, true, true}};
    e.groupRecords = {2, 3};
    e.programBytes = 120;
    return e;
}

// One object record of the writer's form: common part, no entries, then the blocks its flags ask for.
void Object(PositionWriter& w, std::int16_t handle, std::int16_t info, std::int16_t type, std::uint32_t flags,
            std::int32_t layer) {
    w.I16(handle);
    w.I16(-1);
    w.I16(info);
    w.I16(type);
    w.Zeros(48);
    w.U32(flags);
    w.Zeros(4);
    w.I32(layer);
    w.Zeros(8);
    w.U16(0);
    w.Zeros(92);
    if (flags & 0x10) w.Zeros(158);
    if (flags & 0x20) w.Zeros(80);
    // The sprite block: its layer key is the object's layer.
    w.Zeros(8);
    w.I32(layer);
    w.Zeros(24);
    if (flags & 0x100) {
        w.U32(2);
        WriteTypedValue(w, TypedValue::Int(4));
        WriteTypedValue(w, TypedValue::Double(0.5));
        for (int i = 0; i < 10; ++i)
            w.Text(i == 3 ? u"three" : nullptr);
        w.U32(0);
    }
    if (type == 3) {
        w.Zeros(80);
        w.Text(u"text");
    } else if (type >= 32) {
        // Data version 2, a state of 12 bytes.
        w.U32(2);
        w.U8(1);
        w.U32(12);
        w.Zeros(12);
    } else if (type >= 5) {
        w.Zeros(80);
    }
}

std::vector<std::uint8_t> Seed() {
    PositionWriter w;
    w.Bytes({reinterpret_cast<const std::uint8_t*>(PositionMagic), PositionMagicBytes});
    w.U16(PositionVersionWritten);
    w.Text(u"Fuzzed");
    w.I32(3);
    w.U16(1);
    w.Zeros(104 + 44);
    for (int layer = 0; layer < 2; ++layer) {
        w.Zeros(20);
        w.F32(1);
        w.F32(1);
        w.U32(layer);
        for (int b = 0; b < layer; ++b)
            w.Zeros(20);
    }
    w.Zeros(32);
    w.U32(1);
    WriteTypedValue(w, TypedValue::Int(12));
    w.U32(2);
    w.Text(nullptr);
    w.Text(u"global");
    w.U32(5);
    w.U32(5);
    Object(w, 0, 1, 2, 0x330, 0);
    Object(w, 1, 2, 3, 0x200, 1);
    Object(w, 2, 3, 7, 0x200, 0);
    Object(w, 5, 1, 2, 0x330, 1);
    Object(w, 7, 6, 32, 0x200, 1);
    for (const auto& order : {std::vector<std::uint16_t>{2, 0}, std::vector<std::uint16_t>{1, 5, 7}}) {
        w.U32(static_cast<std::uint32_t>(order.size() * 2));
        for (std::uint16_t h : order)
            w.U16(h);
    }
    const std::vector<std::vector<std::uint16_t>> chains{{5, 0}, {1}, {2}, {}, {7}};
    std::size_t chainBytes = 0;
    for (const auto& c : chains)
        chainBytes += 2 * (c.size() + 1);
    w.U32(static_cast<std::uint32_t>(chainBytes));
    for (const auto& c : chains) {
        for (std::uint16_t h : c)
            w.U16(h);
        w.U16(0xFFFF);
    }
    // A store of one text entry and one counter entry.
    w.U32(2);
    const std::u16string keys[] = {u"Text::3", u"Counter::7"};
    const std::uint32_t sizes[] = {16, 40};
    for (int i = 0; i < 2; ++i) {
        w.U32(static_cast<std::uint32_t>(8 + 2 * (keys[i].size() + 1) + sizes[i] + 4));
        w.U32(1);
        w.U32(sizes[i]);
        for (char16_t c : keys[i])
            w.U16(c);
        w.U16(0);
        w.Zeros(sizes[i]);
        w.U32(0);
        if (i == 0) {
            w.U32(3);
            w.U16(u'h');
            w.U16(u'i');
            w.U16(0);
        }
    }
    w.U32(120);
    for (std::uint16_t records : {2, 3}) {
        w.U16(0x4000);
        w.I32(1);
        w.I32(2);
        w.Zeros(2u * records);
    }
    w.U32(0);
    return std::move(w.bytes);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    const std::vector<std::uint8_t> seed = Seed();
    PositionImage image;
    if (const int check = ParsePosition(seed, Expected(), image); check != PositionValid) {
        std::fprintf(stderr, "the seed is refused with %d\n", check);
        __builtin_trap();
    }
    for (int i = 1; i < *argc; ++i) {
        const std::filesystem::path folder((*argv)[i]);
        std::error_code error;
        if ((*argv)[i][0] == '-' || !std::filesystem::is_directory(folder, error)) continue;
        if (std::filesystem::is_empty(folder, error))
            std::ofstream(folder / "seed.vpp", std::ios::binary)
                .write(reinterpret_cast<const char*>(seed.data()), static_cast<std::streamsize>(seed.size()));
        break;
    }
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PositionExpectation expect = Expected();
    PositionImage image;
    const int check = ParsePosition({data, size}, expect, image);
    if (check != PositionValid) {
        if (check < PositionReadError || check > PositionOtherFrame) __builtin_trap();
        return 0;
    }
    // A position accepted names only live objects, each once in its chain.
    std::vector<int> seen(64);
    for (const auto& chain : image.chains)
        for (std::uint16_t h : chain)
            if (h >= seen.size() || seen[h]++) __builtin_trap();
    for (const SavedObject& o : image.objects)
        if (o.handle < 0 || o.handle >= 64 || !seen[static_cast<std::size_t>(o.handle)]) __builtin_trap();
    expect.frameNumberOnly = true;
    PositionImage header;
    if (ParsePosition({data, size}, expect, header) != PositionValid || header.frameIndex != 1)
        __builtin_trap();
    return 0;
}
