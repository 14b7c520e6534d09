#include "appwriter/sound_writer.h"

#include "appwriter/byte_writer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace appwriter {

namespace {

constexpr std::uint8_t NoteOn = 0x90;
constexpr std::uint8_t NoteOff = 0x80;
constexpr std::uint8_t ProgramChange = 0xC0;

void VariableLength(ByteWriter& w, std::uint32_t v) {
    std::uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<std::uint8_t>(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n-- > 0)
        w.U8(static_cast<std::uint8_t>(groups[n] | (n ? 0x80 : 0)));
}

void U32BE(ByteWriter& w, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        w.U8(static_cast<std::uint8_t>(v >> shift));
}

struct Event {
    std::uint32_t tick;
    int order; // offs before ons at the same tick
    std::uint8_t status, a, b;
};

} // namespace

Bytes WriteWav(const WavDesc& wav) {
    const std::uint32_t bytesPerSample = wav.bits / 8;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(wav.samples.size()) * bytesPerSample;
    const std::uint16_t block = static_cast<std::uint16_t>(wav.channels * bytesPerSample);
    ByteWriter w;
    w.Bytes(std::vector<std::uint8_t>{'R', 'I', 'F', 'F'});
    w.U32(36 + dataBytes + (dataBytes & 1));
    w.Bytes(std::vector<std::uint8_t>{'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    w.U32(16);
    w.U16(1);
    w.U16(wav.channels);
    w.U32(wav.rate);
    w.U32(wav.rate * block);
    w.U16(block);
    w.U16(wav.bits);
    w.Bytes(std::vector<std::uint8_t>{'d', 'a', 't', 'a'});
    w.U32(dataBytes);
    for (std::int16_t s : wav.samples) {
        if (wav.bits == 8)
            w.U8(static_cast<std::uint8_t>((s >> 8) + 128));
        else
            w.U16(static_cast<std::uint16_t>(s));
    }
    if (dataBytes & 1) w.U8(0);
    return w.Take();
}

std::vector<std::int16_t> ToneSamples(std::uint32_t rate, std::uint16_t channels, double frequency,
                                      std::int16_t amplitude, std::size_t frames) {
    std::vector<std::int16_t> samples;
    samples.reserve(frames * channels);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v =
            amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / rate);
        for (std::uint16_t c = 0; c < channels; ++c)
            samples.push_back(static_cast<std::int16_t>(std::lround(v)));
    }
    return samples;
}

Bytes WriteMidi(const MidiDesc& midi) {
    std::vector<Event> events;
    std::vector<bool> programmed(16, false);
    for (const MidiNote& n : midi.notes) {
        const auto channel = static_cast<std::uint8_t>(n.channel & 0x0F);
        if (!programmed[channel]) {
            programmed[channel] = true;
            events.push_back({0, 0, static_cast<std::uint8_t>(ProgramChange | channel), midi.program, 0});
        }
        events.push_back({n.start, 2, static_cast<std::uint8_t>(NoteOn | channel), n.key, n.velocity});
        events.push_back({n.start + n.length, 1, static_cast<std::uint8_t>(NoteOff | channel), n.key, 0});
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& x, const Event& y) {
        return x.tick != y.tick ? x.tick < y.tick : x.order < y.order;
    });
    ByteWriter track;
    // Tempo first.
    track.U8(0);
    track.Bytes(std::vector<std::uint8_t>{0xFF, 0x51, 0x03});
    track.U8(static_cast<std::uint8_t>(midi.tempo >> 16));
    track.U8(static_cast<std::uint8_t>(midi.tempo >> 8));
    track.U8(static_cast<std::uint8_t>(midi.tempo));
    std::uint32_t at = 0;
    for (const Event& e : events) {
        VariableLength(track, e.tick - at);
        at = e.tick;
        track.U8(e.status);
        track.U8(e.a);
        if ((e.status & 0xF0) != ProgramChange) track.U8(e.b);
    }
    track.U8(0);
    track.Bytes(std::vector<std::uint8_t>{0xFF, 0x2F, 0x00});
    ByteWriter w;
    w.Bytes(std::vector<std::uint8_t>{'M', 'T', 'h', 'd'});
    U32BE(w, 6);
    w.U8(0);
    w.U8(0); // format 0
    w.U8(0);
    w.U8(1); // one track
    w.U8(static_cast<std::uint8_t>(midi.division >> 8));
    w.U8(static_cast<std::uint8_t>(midi.division));
    w.Bytes(std::vector<std::uint8_t>{'M', 'T', 'r', 'k'});
    U32BE(w, static_cast<std::uint32_t>(track.Size()));
    w.Bytes(track.Data());
    return w.Take();
}

} // namespace appwriter
