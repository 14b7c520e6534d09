// An ANSI name as a wide one for the length of a call, for the ANSI twins of the image-file functions.
#pragma once

#include "vtrs2/compat.h"

class WideName {
public:
    explicit WideName(const char* name) : wide_(name ? ToWideString(name, -1) : nullptr) {}
    ~WideName() { FreeString(wide_); }
    WideName(const WideName&) = delete;
    WideName& operator=(const WideName&) = delete;
    const win32::WCHAR* get() const { return wide_; }

private:
    win32::WCHAR* wide_;
};
