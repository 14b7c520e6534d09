// A module with a function and a data export for the loader tests.
#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int TestModuleAnswer() {
    return 42;
}

EXPORT int TestModuleValue;
int TestModuleValue = 7;
