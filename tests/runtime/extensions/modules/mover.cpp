// A movement module for the loader tests: it has the creation entry point and makes no movements.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) void* CreateMvt(std::uint32_t) {
    return nullptr;
}
