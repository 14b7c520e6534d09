// A movement module for the loader tests: it has the creation entry point and makes no movements.
#include "plugin/movement.h"

extern "C" __attribute__((visibility("default"))) movement::Plugin* CreateMvt(std::uint32_t,
                                                                              const movement::Services*) {
    return nullptr;
}
