// The library's build identity, shown by the program's debug title.
#include "vtrs2/export.h"

extern "C" VTRS2_API const char* GetLibraryBuildName() { return "vtrs2"; }
