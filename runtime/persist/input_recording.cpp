#include "persist/input_recording.h"
#include "core/upcalls.h"

#include "core/error_message.h"
#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "shell/shell_events.h"

#include "win32/kernel.h"

#include <algorithm>
#include <new>

namespace vtrrt {

using namespace win32;

namespace {

constexpr std::uint8_t KeyDownBit = 0x80;
constexpr std::uint8_t DoubleClickBit = 0x80;
constexpr std::size_t StreamGrowth = 1024;
constexpr std::size_t SeedBytes = 2;
// Far more than hours of input; a larger file is not a recording.
constexpr std::uint64_t LargestRecording = 64u << 20;

// Operand bytes of each opcode.
constexpr std::array<std::size_t, OpLastOpcode + 1> OperandBytes{0, 0, 1, 1, 4, 4, 1};

struct ClickMessage {
    UINT message;
    std::int32_t code;
};
constexpr ClickMessage ClickMessages[] = {{WM_LBUTTONDOWN, 0}, {WM_LBUTTONDBLCLK, DoubleClickCode},
                                          {WM_MBUTTONDOWN, 1}, {WM_MBUTTONDBLCLK, DoubleClickCode + 1},
                                          {WM_RBUTTONDOWN, 2}, {WM_RBUTTONDBLCLK, DoubleClickCode + 2}};

std::int16_t Clamp16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, INT16_MIN, INT16_MAX));
}

bool WriteWholeFile(const std::u16string& name, const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() > UINT32_MAX) return false;
    HANDLE file =
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const auto size = static_cast<DWORD>(bytes.size());
    const bool ok = WriteFile(file, bytes.data(), size, &written, nullptr) && written == size;
    return CloseHandle(file) && ok;
}

bool ReadWholeFile(const std::u16string& name, std::vector<std::uint8_t>& bytes) {
    if (name.empty()) return false;
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    const std::uint64_t size = (std::uint64_t{high} << 32) | low;
    bool ok = low != INVALID_FILE_SIZE && size <= LargestRecording;
    if (ok) {
        try {
            bytes.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    DWORD read = 0;
    ok = ok && ReadFile(file, bytes.data(), static_cast<DWORD>(size), &read, nullptr) && read == size;
    CloseHandle(file);
    return ok;
}

UINT MessageOfClick(std::int32_t code) {
    for (const ClickMessage& c : ClickMessages)
        if (c.code == code) return c.message;
    return 0;
}

InputRecorder* ActiveRecorder(FrameRunState* s, RecorderMode mode) {
    return s && s->recorderMode == mode ? s->recorder : nullptr;
}

} // namespace

std::uint8_t ClickByteOf(std::int32_t clickCode) {
    const auto button = static_cast<std::uint8_t>(clickCode & 0x7F);
    return clickCode >= DoubleClickCode ? static_cast<std::uint8_t>(button | DoubleClickBit) : button;
}

std::int32_t ClickCodeOf(std::uint8_t clickByte) {
    return (clickByte & 0x7F) + ((clickByte & DoubleClickBit) ? DoubleClickCode : 0);
}

void InputRecorder::SetInputRecordingFile(std::u16string_view name) {
    fileName_.assign(name);
    recording_ = false;
}

void InputRecorder::StartInputRecording(std::uint16_t seed) {
    data_.clear();
    data_.reserve(StreamGrowth);
    keys_.fill(0);
    previousKeys_.fill(0);
    players_.fill(0);
    mouseX_ = mouseY_ = 0;
    seed_ = seed;
    recording_ = true;
}

void InputRecorder::AppendLoop(std::span<const std::uint8_t, 256> keyboard, std::uint32_t playerBits,
                               std::int32_t x, std::int32_t y) {
    std::copy(keyboard.begin(), keyboard.end(), keys_.begin());
    for (std::size_t key = 0; key < keys_.size(); ++key) {
        const bool down = keys_[key] & KeyDownBit;
        if (down == ((previousKeys_[key] & KeyDownBit) != 0)) continue;
        Put(down ? OpKeyDown : OpKeyUp);
        Put(static_cast<std::uint8_t>(key));
    }
    previousKeys_ = keys_;
    std::array<std::uint8_t, 4> players{};
    for (std::size_t p = 0; p < players.size(); ++p)
        players[p] = static_cast<std::uint8_t>(playerBits >> (8 * p));
    if (players != players_) {
        Put(OpPlayers);
        for (std::uint8_t b : players)
            Put(b);
        players_ = players;
    }
    // Positions are kept signed, so that a pointer left of or above the window plays back there.
    const std::int16_t px = Clamp16(x), py = Clamp16(y);
    if (px != mouseX_ || py != mouseY_) {
        Put(OpPointer);
        for (std::int16_t v : {px, py}) {
            Put(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
            Put(static_cast<std::uint8_t>(v));
        }
        mouseX_ = px;
        mouseY_ = py;
    }
    Put(OpLoopEnd);
}

void InputRecorder::AppendClick(std::int32_t clickCode) {
    Put(OpClick);
    Put(ClickByteOf(clickCode));
}

std::vector<std::uint8_t> InputRecorder::FileBytes() const {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(SeedBytes + data_.size());
    bytes.push_back(static_cast<std::uint8_t>(seed_));
    bytes.push_back(static_cast<std::uint8_t>(seed_ >> 8));
    bytes.insert(bytes.end(), data_.begin(), data_.end());
    return bytes;
}

bool InputRecorder::EndInputRecording() {
    bool written = true;
    if (recording_) {
        try {
            Put(OpEnd);
            if (!fileName_.empty()) written = WriteWholeFile(fileName_, FileBytes());
        } catch (const std::bad_alloc&) {
            written = false;
        }
    }
    recording_ = false;
    fileName_.clear();
    fileName_.shrink_to_fit();
    data_.clear();
    data_.shrink_to_fit();
    return written;
}

bool InputRecorder::LoadInputRecording() {
    std::vector<std::uint8_t> file;
    return ReadWholeFile(fileName_, file) && LoadRecordingBytes(file);
}

bool InputRecorder::LoadRecordingBytes(std::span<const std::uint8_t> file) {
    if (file.size() < SeedBytes) return false;
    try {
        data_.assign(file.begin() + SeedBytes, file.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    seed_ = static_cast<std::uint16_t>(file[0] | (file[1] << 8));
    position_ = 0;
    keys_.fill(0);
    players_.fill(0);
    mouseX_ = mouseY_ = 0;
    recording_ = false;
    return true;
}

std::uint32_t InputRecorder::PlayerBits() const {
    std::uint32_t bits = 0;
    for (std::size_t p = 0; p < players_.size(); ++p)
        bits |= std::uint32_t{players_[p]} << (8 * p);
    return bits;
}

bool InputRecorder::ReadOpcode(std::uint8_t& opcode, std::int32_t& clickCode) {
    if (position_ >= data_.size()) return false;
    opcode = data_[position_];
    // The end stays where it is; a byte no recorder writes, or operands cut short, end the playback too.
    if (opcode == OpEnd || opcode > OpLastOpcode) return false;
    const std::size_t operands = OperandBytes[opcode];
    if (data_.size() - position_ - 1 < operands) return false;
    const std::uint8_t* p = data_.data() + position_ + 1;
    position_ += 1 + operands;
    switch (opcode) {
    case OpKeyDown:
    case OpKeyUp:
        keys_[p[0]] = opcode == OpKeyDown ? 1 : 0;
        break;
    case OpPlayers:
        std::copy_n(p, players_.size(), players_.begin());
        break;
    case OpPointer:
        mouseX_ = static_cast<std::int16_t>((p[0] << 8) | p[1]);
        mouseY_ = static_cast<std::int16_t>((p[2] << 8) | p[3]);
        break;
    case OpClick:
        clickCode = ClickCodeOf(p[0]);
        break;
    default:
        break;
    }
    return true;
}

HWND PointerAreaWindow(const FrameRunState& s) {
    return s.frameWindow ? s.frameWindow : s.mainWindow;
}

void StartFrameRecording(FrameRunState& s) {
    if (!s.frame || !(s.frame->flags & FrameRecordInput)) return;
    // The recorder of the set-up's first call has seen no loop: it is dropped, not written.
    delete s.recorder;
    s.recorder = nullptr;
    s.recorderMode = RecorderNone;
    auto* recorder = new (std::nothrow) InputRecorder;
    if (!recorder) return;
    try {
        // The frame's string 0x3343 names its recording file.
        recorder->SetInputRecordingFile(s.frame->string3343 ? s.frame->string3343 : u"");
        recorder->StartInputRecording(s.randomSeed);
    } catch (const std::bad_alloc&) {
        delete recorder;
        return;
    }
    s.recorder = recorder;
    s.recorderMode = RecorderRecording;
}

void FreeInputRecorder(FrameRunState& s) {
    if (!s.recorder) return;
    const std::u16string name = s.recorder->Recording() ? s.recorder->FileName() : std::u16string();
    if (!s.recorder->EndInputRecording()) ShowFileErrorMessage(s.mainWindow, name.c_str());
    delete s.recorder;
    s.recorder = nullptr;
    s.recorderMode = RecorderNone;
}

void RecordInputTick() {
    FrameRunState* s = CurrentRunState();
    InputRecorder* r = ActiveRecorder(s, RecorderRecording);
    if (!r) return;
    up::ReadPlayerControls();
    // The first loop of the run is not recorded: playback starts from the second.
    if (s->loopCount < 2) return;
    std::array<BYTE, 256> keyboard{};
    GetKeyboardState(keyboard.data());
    POINT pointer{};
    GetCursorPos(&pointer);
    if (const HWND area = PointerAreaWindow(*s)) ScreenToClient(area, &pointer);
    try {
        r->AppendLoop(keyboard, s->playerBits, pointer.x, pointer.y);
    } catch (const std::bad_alloc&) {
        // What was recorded so far is still written at the end.
        s->recorderMode = RecorderNone;
    }
}

void PlayInputTick() {
    FrameRunState* s = CurrentRunState();
    InputRecorder* r = ActiveRecorder(s, RecorderPlaying);
    if (!r) return;
    if (s->loopCount >= 2) {
        const PlayedLoop read = r->ReadLoop([r](std::int32_t code) {
            const UINT message = MessageOfClick(code);
            if (message && CurrentRunState() && EventRaisers().mouseClick)
                EventRaisers().mouseClick(message, r->MouseX(), r->MouseY());
        });
        if (read == PlayedLoop::End) {
            // The recording's buffer stays; the real input takes over again.
            s->recorderMode = RecorderNone;
            return;
        }
    }
    s->playerBits = r->PlayerBits();
}

void PlayMouseTick() {
    FrameRunState* s = CurrentRunState();
    const InputRecorder* r = ActiveRecorder(s, RecorderPlaying);
    if (!r) return;
    POINT at{r->MouseX(), r->MouseY()};
    if (const HWND area = PointerAreaWindow(*s)) ClientToScreen(area, &at);
    SetCursorPos(at.x, at.y);
}

void RecordInputEvent(std::int32_t clickCode) {
    FrameRunState* s = CurrentRunState();
    InputRecorder* r = ActiveRecorder(s, RecorderRecording);
    if (!r) return;
    try {
        r->AppendClick(clickCode);
    } catch (const std::bad_alloc&) {
        s->recorderMode = RecorderNone;
    }
}

void RecordMouseClick(UINT message) {
    for (const ClickMessage& c : ClickMessages)
        if (c.message == message) RecordInputEvent(c.code);
}

bool StartInputPlayback(const WCHAR* fileName) {
    FrameRunState* s = CurrentRunState();
    if (!s || s->recorder) return false;
    auto* recorder = new (std::nothrow) InputRecorder;
    if (!recorder) return false;
    bool loaded = false;
    try {
        recorder->SetInputRecordingFile(fileName ? fileName : u"");
        loaded = recorder->LoadInputRecording();
    } catch (const std::bad_alloc&) {
        loaded = false;
    }
    if (!loaded) {
        // Not kept, so that a later playback can still start.
        delete recorder;
        return false;
    }
    s->recorder = recorder;
    s->randomSeed = recorder->Seed();
    s->recorderMode = RecorderPlaying;
    return true;
}

std::optional<POINT> PlayedPointer(const FrameRunState& s) {
    if (s.recorderMode != RecorderPlaying || !s.recorder) return std::nullopt;
    return POINT{s.recorder->MouseX(), s.recorder->MouseY()};
}

std::optional<bool> PlayedKeyState(std::int32_t virtualKey) {
    const FrameRunState* s = CurrentRunState();
    if (!s || s->recorderMode != RecorderPlaying || !s->recorder) return std::nullopt;
    return s->recorder->KeyDown(virtualKey);
}

} // namespace vtrrt
