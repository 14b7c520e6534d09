// Process entry: hands control to the runtime's own entry sequence.
#include "app/win_main.h"

namespace {
constexpr int ShowNormal = 1;
}

int main() {
    return vtrrt::WinMain(win32::GetModuleHandleW(nullptr), nullptr, nullptr, ShowNormal);
}
