// fontconfig leaks a block while it parses its configuration, and the D-Bus library SDL's X driver starts
// keeps one of its own to the end; the leak checker still reports ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}
