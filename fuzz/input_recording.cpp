// Plays an input recording made of arbitrary bytes loop after loop until it ends, as a frame would: every
// opcode, operand and the end of the data come from the input. What each loop played is recorded again and
// read back, which must give the same loops: the reader and the recorder agree on every stream. An empty
// first corpus folder receives recordings the recorder makes.
#include "persist/input_recording.h"
#include "quiet_target.h"
#include "seed_folder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

struct PlayedState {
    std::array<std::uint8_t, 256> keys{};
    std::uint32_t players = 0;
    std::int32_t x = 0, y = 0;
    std::vector<std::int32_t> clicks;
    bool operator==(const PlayedState&) const = default;
};

// The loops of a recording, until it ends.
std::vector<PlayedState> Play(vtrrt::InputRecorder& r, std::size_t limit) {
    std::vector<PlayedState> loops;
    // Every loop read takes at least one byte: the stream's size bounds the loops.
    for (std::size_t i = 0; i <= limit; ++i) {
        PlayedState s;
        if (r.ReadLoop([&](std::int32_t code) { s.clicks.push_back(code); }) == vtrrt::PlayedLoop::End) break;
        for (int k = 0; k < 256; ++k)
            s.keys[static_cast<std::size_t>(k)] = r.KeyDown(k) ? 0x80 : 0;
        s.players = r.PlayerBits();
        s.x = r.MouseX();
        s.y = r.MouseY();
        loops.push_back(std::move(s));
    }
    if (r.ReadPosition() > r.StreamSize()) __builtin_trap();
    return loops;
}

// Recordings the recorder makes: keys held and let go, players' bits, pointer moves and clicks.
void Seeds(const std::filesystem::path& folder) {
    vtrrt::InputRecorder short_;
    short_.StartInputRecording(7);
    std::array<std::uint8_t, 256> keys{};
    for (int loop = 0; loop < 12; ++loop) {
        keys[0x25 + loop % 4] = loop % 3 ? 0x80 : 0;
        keys[0x20] = loop > 6 ? 0x80 : 0;
        if (loop == 4) short_.AppendClick(0x201);
        if (loop == 9) short_.AppendClick(0x204);
        short_.AppendLoop(keys, static_cast<std::uint32_t>(loop & 3), 10 * loop, 200 - 3 * loop);
    }
    framerun::WriteFile(folder / "keys-and-clicks", short_.FileBytes());
    vtrrt::InputRecorder still;
    still.StartInputRecording(0);
    for (int loop = 0; loop < 3; ++loop)
        still.AppendLoop(std::array<std::uint8_t, 256>{}, 0, 0, 0);
    framerun::WriteFile(folder / "still", still.FileBytes());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vtrrt::InputRecorder played;
    if (!played.LoadRecordingBytes({data, size})) return 0;
    const std::vector<PlayedState> loops = Play(played, size);

    vtrrt::InputRecorder again;
    again.StartInputRecording(played.Seed());
    for (const PlayedState& s : loops) {
        for (std::int32_t code : s.clicks)
            again.AppendClick(code);
        again.AppendLoop(s.keys, s.players, s.x, s.y);
    }
    const std::vector<std::uint8_t> bytes = again.FileBytes();
    vtrrt::InputRecorder reread;
    if (!reread.LoadRecordingBytes(bytes) || Play(reread, bytes.size()) != loops) __builtin_trap();
    return 0;
}
