// Input recording and playback: the keys, player controls, pointer position and clicks a running frame
// receives, written to a file loop by loop, and such a file played back in place of the real input.
#pragma once

#include "win32/user.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vtrrt {

struct FrameRunState;

enum RecorderMode : std::int16_t {
    RecorderNone = 0,
    RecorderRecording = 1,
    RecorderPlaying = 2,
};

// Opcodes of the recording stream, each followed by its operands.
enum RecordingOpcode : std::uint8_t {
    OpEnd = 0,     // the recording ends
    OpLoopEnd = 1, // one loop ends
    OpKeyDown = 2, // key
    OpKeyUp = 3,   // key
    OpPlayers = 4, // the four player bytes
    OpPointer = 5, // x and y, 16-bit big-endian, signed
    OpClick = 6,   // click byte
    OpLastOpcode = OpClick,
};

// What reading one loop of a recording came to.
enum class PlayedLoop {
    Loop, // a loop was read to its end
    End,  // the recording ended (its end, a byte no recorder writes, or the data ran out)
};

// The click codes of the click conditions: the button (0 left, 1 middle, 2 right), plus 256 for a double
// click. A recording keeps a double click as its button with bit 0x80.
constexpr std::int32_t DoubleClickCode = 256;
std::uint8_t ClickByteOf(std::int32_t clickCode);
std::int32_t ClickCodeOf(std::uint8_t clickByte);

class InputRecorder {
public:
    // Recording.
    void SetInputRecordingFile(std::u16string_view name);
    void StartInputRecording(std::uint16_t seed);
    // Appends what changed since the previous loop, then the end of the loop. `keyboard` is the keyboard
    // state (down keys have bit 0x80).
    void AppendLoop(std::span<const std::uint8_t, 256> keyboard, std::uint32_t playerBits, std::int32_t x,
                    std::int32_t y);
    void AppendClick(std::int32_t clickCode);
    // Ends a recording: the end opcode, and the file written when it has a name. False when a recording
    // with a name could not be written. The name and the stream are let go of either way.
    bool EndInputRecording();
    // The bytes a recording writes: the seed, then the stream.
    std::vector<std::uint8_t> FileBytes() const;

    // Playback. False when the file is missing, cannot be read or holds no seed.
    bool LoadInputRecording();
    bool LoadRecordingBytes(std::span<const std::uint8_t> file);
    // Reads one loop; `onClick` is given the click code of each click met on the way.
    template <typename OnClick> PlayedLoop ReadLoop(OnClick&& onClick);

    bool Recording() const { return recording_; }
    const std::u16string& FileName() const { return fileName_; }
    std::uint16_t Seed() const { return seed_; }
    std::uint32_t PlayerBits() const;
    std::int32_t MouseX() const { return mouseX_; }
    std::int32_t MouseY() const { return mouseY_; }
    // Playback: whether the key is down.
    bool KeyDown(int key) const { return key >= 0 && key < 256 && keys_[static_cast<std::size_t>(key)] != 0; }
    std::size_t ReadPosition() const { return position_; }
    std::size_t StreamSize() const { return data_.size(); }

private:
    void Put(std::uint8_t b) { data_.push_back(b); }
    // One opcode and its operands at the read position; false when the recording ends there.
    bool ReadOpcode(std::uint8_t& opcode, std::int32_t& clickCode);

    std::array<std::uint8_t, 256> keys_{};
    std::array<std::uint8_t, 256> previousKeys_{};
    std::vector<std::uint8_t> data_;
    std::size_t position_ = 0;
    std::array<std::uint8_t, 4> players_{};
    std::int32_t mouseX_ = 0, mouseY_ = 0;
    std::uint16_t seed_ = 0;
    std::u16string fileName_;
    bool recording_ = false;
};

template <typename OnClick> PlayedLoop InputRecorder::ReadLoop(OnClick&& onClick) {
    for (;;) {
        std::uint8_t opcode = OpEnd;
        std::int32_t clickCode = -1;
        if (!ReadOpcode(opcode, clickCode)) return PlayedLoop::End;
        if (opcode == OpLoopEnd) return PlayedLoop::Loop;
        if (opcode == OpClick) onClick(clickCode);
    }
}

// The window whose client area positions the pointer: the frame window, or the main window without one.
win32::HWND PointerAreaWindow(const FrameRunState& state);

// The run state's recorder at each frame-run set-up: a frame that records its input gets a new one over its
// recording file name (a recorder made by an earlier set-up of the same run is dropped unwritten).
void StartFrameRecording(FrameRunState& state);
// Ends the run state's recorder and frees it; a recording that cannot be written is reported.
void FreeInputRecorder(FrameRunState& state);

// The loop's input: recorded (from the second loop of the run) or played back, on the current run state.
void RecordInputTick();
void PlayInputTick();
// The pointer put at the played position, for the mouse players.
void PlayMouseTick();
// A click of the running frame, recorded while recording.
void RecordInputEvent(std::int32_t clickCode);
// The click of a button-down or double-click message, recorded while recording.
void RecordMouseClick(win32::UINT message);

// Starts playing the named recording in the running frame, unless it has a recorder already; the run's
// random seed becomes the recording's. False when the file cannot be played.
bool StartInputPlayback(const win32::WCHAR* fileName);
// The played position, in the pointer area's client coordinates, while a recording plays.
std::optional<win32::POINT> PlayedPointer(const FrameRunState& state);
// Whether the key is down in the played recording; nothing while no recording plays.
std::optional<bool> PlayedKeyState(std::int32_t virtualKey);

} // namespace vtrrt
