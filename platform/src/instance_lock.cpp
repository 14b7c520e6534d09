#include "win32/instance.h"

#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace win32 {

namespace {

// Instances that share a temporary folder share a lock; the lock file stays out of that folder, in the
// user's runtime folder (or /tmp), named after the folder's path.
std::string LockPath(LPCWSTR name) {
    const char* temp = std::getenv("TMPDIR");
    const std::string shared = temp && *temp ? temp : "/tmp";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string path = runtime && *runtime ? runtime : "/tmp";
    path += "/";
    for (const WCHAR* c = name; c && *c; ++c)
        path += (*c < 0x80 && *c != u'/' && *c != u'\\') ? static_cast<char>(*c) : '_';
    path += "-" + std::to_string(std::hash<std::string>{}(shared)) + "-" + std::to_string(getuid()) + ".lock";
    return path;
}

} // namespace

BOOL RegisterProgramInstance(LPCWSTR name) {
    static int held = -1;
    static BOOL alone = TRUE;
    if (held >= 0) return alone;
    held = open(LockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (held < 0) return FALSE; // cannot tell: act as if another ran
    // Exclusive succeeds only when nobody holds it; then this process keeps a shared hold like the others.
    alone = flock(held, LOCK_EX | LOCK_NB) == 0 ? TRUE : FALSE;
    flock(held, LOCK_SH | LOCK_NB);
    return alone;
}

} // namespace win32
