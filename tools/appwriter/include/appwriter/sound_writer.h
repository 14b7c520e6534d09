// Writes the sound files the runtime plays: PCM WAV files and Standard MIDI Files (format 0, one track).
#pragma once

#include "appwriter/application_writer.h"

#include <cstdint>
#include <vector>

namespace appwriter {

struct WavDesc {
    std::uint32_t rate = 22050;
    std::uint16_t channels = 1;
    std::uint16_t bits = 16;           // 8-bit files store each value as (v >> 8) + 128
    std::vector<std::int16_t> samples; // interleaved
};
Bytes WriteWav(const WavDesc& wav);

// A sine tone on every channel, interleaved, starting at phase 0.
std::vector<std::int16_t> ToneSamples(std::uint32_t rate, std::uint16_t channels, double frequency,
                                      std::int16_t amplitude, std::size_t frames);

struct MidiNote {
    std::uint32_t start = 0;  // ticks
    std::uint32_t length = 0; // ticks
    std::uint8_t channel = 0;
    std::uint8_t key = 60;
    std::uint8_t velocity = 100;
};

struct MidiDesc {
    std::uint16_t division = 480; // ticks per quarter note
    std::uint32_t tempo = 500000; // microseconds per quarter note
    std::uint8_t program = 0;     // General MIDI program on every channel used
    std::vector<MidiNote> notes;
};
Bytes WriteMidi(const MidiDesc& midi);

} // namespace appwriter
