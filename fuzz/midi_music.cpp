// Plays arbitrary bytes as a music file through the sequencer device, as the runtime hands its music to it:
// the file is opened (its chunk list checked before the synthesizer sees it), played from the position the
// first byte picks (rendered up to it), asked for its mode and position, paused, stopped and closed. An empty
// first corpus folder receives tunes written by the application writer.
#include "frame_run.h"
#include "quiet_target.h"

#include "appwriter/sound_writer.h"
#include "win32/mm.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace win32;

namespace {

const std::string& FilePath() {
    static const std::string path = "/tmp/vtr-fuzz-music-" + std::to_string(getpid()) + ".mid";
    return path;
}

void RemoveFile() {
    std::remove(FilePath().c_str());
}

void Seeds(const std::filesystem::path& folder) {
    appwriter::MidiDesc two;
    two.notes = {{0, 480, 0, 60, 110}, {480, 480, 0, 67, 110}};
    appwriter::MidiDesc chord;
    chord.division = 96;
    chord.tempo = 250000;
    chord.program = 40;
    chord.notes = {{0, 96, 0, 60, 100}, {0, 96, 1, 64, 100}, {48, 200, 9, 38, 127}, {96, 10, 2, 72, 1}};
    int n = 0;
    for (const appwriter::MidiDesc& tune : {two, chord, appwriter::MidiDesc{}}) {
        std::vector<std::uint8_t> input{static_cast<std::uint8_t>(n)};
        const appwriter::Bytes bytes = appwriter::WriteMidi(tune);
        input.insert(input.end(), bytes.begin(), bytes.end());
        framerun::WriteFile(folder / ("tune" + std::to_string(n++)), input);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    framerun::QuietRun();
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    FilePath(); // made before the hook is set, so that it outlives it
    std::atexit(RemoveFile);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1 << 16)) return 0;
    if (FILE* f = std::fopen(FilePath().c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    } else {
        return 0;
    }
    const std::u16string path(FilePath().begin(), FilePath().end());
    MCI_OPEN_PARMSW open{0, 0, u"sequencer", path.c_str(), nullptr};
    if (mciSendCommandW(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)) !=
        0)
        return 0;
    const MCIDEVICEID id = open.wDeviceID;
    // Up to 1.75 s in, in steps of 250 ms.
    MCI_PLAY_PARMS play{0, static_cast<DWORD>((data[0] & 7) * 250), 0};
    mciSendCommandW(id, MCI_PLAY, MCI_FROM, reinterpret_cast<DWORD_PTR>(&play));
    for (DWORD item : {DWORD{MCI_STATUS_MODE}, DWORD{MCI_STATUS_POSITION}}) {
        MCI_STATUS_PARMS status{0, 0, item, 0};
        mciSendCommandW(id, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status));
    }
    mciSendCommandW(id, MCI_PAUSE, 0, 0);
    mciSendCommandW(id, MCI_PLAY, 0, 0);
    mciSendCommandW(id, MCI_STOP, 0, 0);
    mciSendCommandW(id, MCI_CLOSE, 0, 0);
    return 0;
}
