// Builds the application's menu from arbitrary bytes: the menu chunk's offsets and sizes, the menu template
// inside it and the shortcut table come from the application data, as does the icon table that turns the
// items owner-drawn.
#include "quiet_target.h"
#include "shell/application_menu.h"

#include "win32/menu.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    // The template reader on its own, over the whole input.
    if (win32::HMENU menu = win32::LoadMenuIndirectSizedW(data, size)) win32::DestroyMenu(menu);
    // The first byte says how many of the following bytes are the icon table; the rest is the menu chunk.
    if (size == 0) return 0;
    const std::size_t iconBytes = std::min<std::size_t>(data[0], size - 1);
    const auto icons = bytes.subspan(1, iconBytes);
    const auto chunk = bytes.subspan(1 + iconBytes);
    vtrrt::LoadApplicationMenu(chunk, icons);
    vtrrt::FreeApplicationMenu(nullptr);
    return 0;
}
