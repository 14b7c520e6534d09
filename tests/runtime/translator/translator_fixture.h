// What the translator's tests share: language files written into the test's temporary folder, and a
// translator of their own made current for the life of a test.
#pragma once

#include "translator/resource_translator.h"

#include "win32/kernel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

namespace translatortest {

namespace fs = std::filesystem;

// A file of the test's temporary folder, removed with the object.
class TempFile {
public:
    TempFile(const std::string& name, std::string_view bytes) : path_(fs::temp_directory_path() / name) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::u16string Path() const { return path_.u16string(); }

private:
    fs::path path_;
};

// A translator of the test's own, current while it lives.
class LocalTranslator {
public:
    LocalTranslator() = default;
    ~LocalTranslator() { translator_.DeleteImpl(); }
    int Load(win32::HMODULE module, const std::u16string& path, int flags = 0) {
        const int loaded = translator_.LoadModule(module, path, flags);
        translator_.MakeCurrent();
        return loaded;
    }
    int Release(win32::HMODULE module) { return translator_.ReleaseModule(module); }
    vtrrt::CResourceTranslator& Get() { return translator_; }
    vtrrt::CResourceTranslatorImpl& Impl() { return *translator_.Impl(); }

private:
    vtrrt::CResourceTranslator translator_;
};

// Handles for modules that only register (no hooks are installed for them, so nothing reads them).
inline win32::HMODULE FakeModule(std::uintptr_t n) {
    return reinterpret_cast<win32::HMODULE>(0x10000 + 16 * n);
}

} // namespace translatortest
