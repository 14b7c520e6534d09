// fontconfig leaks a block while it parses its configuration files, once per process; the leak checker is
// told to ignore that library so that it still reports ours. Include this in exactly one file of a test
// binary that draws text.
#pragma once

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
