// One image filter's reader over arbitrary bytes: the filter of the target's id is loaded from beside the
// program, chosen for the bytes, and its image read at the depth the first byte picks (8 bits with a palette
// of its own, 15, 16, 24 or 32), with an alpha plane, so that the conversions run too. IMAGE_SEEDS=folder
// writes seed files: small images saved by the same filter.
#pragma once

#include "vtrs2/image_filters.h"
#include "vtrs2/streams.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace imagefuzz {

inline std::u16string ProgramFolder() {
    char path[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string folder(path, n > 0 ? static_cast<std::size_t>(n) : 0);
    folder.erase(folder.find_last_of('/') == std::string::npos ? 0 : folder.find_last_of('/'));
    return std::u16string(folder.begin(), folder.end());
}

inline CImageFilterMgr& Filters() {
    static CImageFilterMgr* filters = [] {
        CImageFilterMgr* m = NewImageFilterMgr();
        m->Scan(ProgramFolder().c_str(), 0);
        return m;
    }();
    return *filters;
}

inline void WriteSeeds(const std::string& folder, win32::DWORD id) {
    int n = 0;
    for (int depth : {8, 24, 32}) {
        cSurface* prototype = nullptr;
        GetSurfacePrototype(&prototype, depth, PublicTypeMemory, DriverKindNone);
        cSurface s;
        if (!prototype || !s.Create(13, 7, prototype)) continue;
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                s.SetPixel(
                    x, y, win32::RGB(static_cast<win32::BYTE>(x * 19), static_cast<win32::BYTE>(y * 37), 90));
        if (depth == 32) s.AllocateAlphaPlane();
        // The file behind the byte that picks the read depth.
        const std::string name = folder + "/seed" + std::to_string(n), raw = name + ".raw";
        if (!SaveImageFileA(&Filters(), raw.c_str(), &s, id)) continue;
        std::ifstream in(raw, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(name, std::ios::binary) << static_cast<char>(n++) << bytes;
        std::remove(raw.c_str());
    }
}

inline int Initialize(win32::DWORD id) {
    if (const char* folder = std::getenv("IMAGE_SEEDS")) WriteSeeds(folder, id);
    if (Filters().FindFilterByID(id) < 0) std::abort();
    return 0;
}

constexpr int ReadDepths[5] = {8, 15, 16, 24, 32};

inline int ReadOne(win32::DWORD id, const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1 << 22)) return 0;
    CInputMemFile stream;
    stream.Attach(data + 1, static_cast<win32::LONG>(size - 1));
    ImageFile file(&Filters());
    if (!file.SelectFilterByID(id) || file.AttachInput(&stream) != ImageOk) return 0;
    const int width = file.GetWidth(), height = file.GetHeight(), depth = ReadDepths[data[0] % 5];
    // The filters refuse larger images themselves; the target keeps each run small.
    if (static_cast<long long>(width) * height > (1 << 22)) return 0;
    LogPalette256 palette{};
    palette.version = 0x300;
    palette.count = 256;
    for (int i = 0; i < 256; ++i)
        palette.entries[i] = {static_cast<win32::BYTE>(i), static_cast<win32::BYTE>(i * 3),
                              static_cast<win32::BYTE>(255 - i), 0};
    const long long pitch = (static_cast<long long>(width) * ((depth + 1) / 8) + 3) & ~3LL;
    std::vector<win32::BYTE> pixels(static_cast<std::size_t>(pitch * height));
    std::vector<win32::BYTE> alpha(static_cast<std::size_t>(width) * height);
    file.ReadImage(pixels.data(), width, height, static_cast<int>(pitch), depth,
                   (data[0] & 0x80) ? palette.Log() : nullptr, alpha.data(), width);
    win32::COLORREF key = 0;
    file.GetTransparentColor(&key);
    file.Close();
    return 0;
}

} // namespace imagefuzz
