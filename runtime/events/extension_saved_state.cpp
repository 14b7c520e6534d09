// An extension object's state in a saved position: the extension writes it to, and reads it from, a file
// handle; the position keeps it as a block of bytes, so the handle is a scratch file of the run's temporary
// folder that holds that block alone.
#include "events/extension_host.h"

#include "core/runtime_services.h"
#include "startup/runtime_files.h"

#include "win32/kernel.h"

#include <string>

namespace vtrrt {

using namespace win32;

namespace {

// Larger states are refused: a position keeps them in memory whole.
constexpr LONGLONG MaxStateBytes = LONGLONG{1} << 28;

// A file of its own, opened for reading and writing, deleted when done with.
class ScratchFile {
public:
    ScratchFile() {
        std::u16string folder = GetRuntimeFiles().runtimeTempFolder;
        if (folder.empty()) {
            WCHAR temp[MAX_PATH] = {};
            if (GetTempPathW(MAX_PATH, temp) == 0) return;
            folder = temp;
        }
        WCHAR name[MAX_PATH] = {};
        if (GetTempFileNameW(folder.c_str(), u"pos", 0, name) == 0) return;
        name_ = name;
        file_ = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    }
    ~ScratchFile() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        if (!name_.empty()) DeleteFileW(name_.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    HANDLE Handle() const { return file_; }
    bool Rewind() const { return SetFilePointer(file_, 0, nullptr, FILE_BEGIN) == 0; }
    LONGLONG Size() const {
        LARGE_INTEGER size{};
        return GetFileSizeEx(file_, &size) ? size.QuadPart : -1;
    }
    LONGLONG Position() const {
        LARGE_INTEGER at{};
        return SetFilePointerEx(file_, LARGE_INTEGER{}, &at, FILE_CURRENT) ? at.QuadPart : -1;
    }

private:
    std::u16string name_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

} // namespace

std::optional<ExtensionSavedState> ExtensionStateKeeping(std::int16_t type) {
    // The application's, so that a position loaded as its frame starts, before there is a run, is checked
    // against the same extensions.
    const ExtensionRunRoutines* r = ExtensionRoutinesOfType(CurrentApplication(), type);
    if (!r) return std::nullopt;
    return ExtensionSavedState{r->info.dataVersion, r->entries[extension::EntrySaveRunObject] != nullptr,
                               r->entries[extension::EntryLoadRunObject] != nullptr};
}

bool SaveExtensionObjectState(RunObject* o, std::vector<std::uint8_t>& state) {
    state.clear();
    auto save = ObjectEntry<extension::SaveRunObjectProc>(o, extension::EntrySaveRunObject);
    if (!save) return false;
    ScratchFile scratch;
    if (scratch.Handle() == INVALID_HANDLE_VALUE || !save(o, scratch.Handle())) return false;
    const LONGLONG size = scratch.Size();
    if (size < 0 || size > MaxStateBytes || !scratch.Rewind()) return false;
    state.resize(static_cast<std::size_t>(size));
    DWORD read = 0;
    return state.empty() ||
           (ReadFile(scratch.Handle(), state.data(), static_cast<DWORD>(size), &read, nullptr) &&
            read == size);
}

bool LoadExtensionObjectState(RunObject* o, std::span<const std::uint8_t> state) {
    auto load = ObjectEntry<extension::LoadRunObjectProc>(o, extension::EntryLoadRunObject);
    if (!load || state.size() > static_cast<std::size_t>(MaxStateBytes)) return false;
    ScratchFile scratch;
    DWORD written = 0;
    if (scratch.Handle() == INVALID_HANDLE_VALUE ||
        (!state.empty() &&
         (!WriteFile(scratch.Handle(), state.data(), static_cast<DWORD>(state.size()), &written, nullptr) ||
          written != state.size())) ||
        !scratch.Rewind())
        return false;
    // The extension must take what it wrote, no more and no less.
    return load(o, scratch.Handle()) && scratch.Position() == static_cast<LONGLONG>(state.size());
}

} // namespace vtrrt
