// The PCM converters between 8- and 16-bit, mono and stereo frames, each taking every step-th frame and
// writing it repeat times (step 1 and repeat 1 keep the rate). 8-bit samples are unsigned around 128.
#include "vtrs2/sound.h"

#include <array>
#include <cstdint>

using namespace win32;

namespace {

// One frame read as signed 16-bit samples, then written in the output layout.
template <int Bits> int ReadSample(const BYTE* p) {
    if constexpr (Bits == 8)
        return *p;
    else
        return static_cast<std::int16_t>(p[0] | (p[1] << 8));
}

template <int Bits> void WriteSample(BYTE* p, int v) {
    if constexpr (Bits == 8) {
        *p = static_cast<BYTE>(v);
    } else {
        p[0] = static_cast<BYTE>(v & 0xFF);
        p[1] = static_cast<BYTE>((v >> 8) & 0xFF);
    }
}

// A sample of one layout in the other's scale: (s - 128) * 256 up, (s >> 8) + 128 down.
template <int From, int To> int Rescale(int s) {
    if constexpr (From == To)
        return s;
    else if constexpr (From == 8)
        return (s - 128) * 256;
    else
        return (s >> 8) + 128;
}

// Two channels to one: the average, taken in the source's own scale (signed for 16 bits).
template <int From, int To> int Average(int l, int r) {
    if constexpr (From == 8 && To == 8)
        return (l + r) / 2;
    else if constexpr (From == 8)
        return ((l + r) / 2 - 128) * 256;
    else
        return Rescale<16, To>((l + r) / 2);
}

template <int InBits, int InChannels, int OutBits, int OutChannels>
void Convert(const BYTE* in, BYTE* out, DWORD frames, DWORD step, DWORD repeat) {
    constexpr int inBlock = InBits / 8 * InChannels;
    constexpr int outBlock = OutBits / 8 * OutChannels;
    for (DWORD f = 0; f < frames; f += step) {
        const BYTE* s = in + static_cast<std::size_t>(f) * inBlock;
        int l = ReadSample<InBits>(s);
        int r = InChannels == 2 ? ReadSample<InBits>(s + InBits / 8) : l;
        if constexpr (InChannels == 2 && OutChannels == 1) {
            l = Average<InBits, OutBits>(l, r);
        } else {
            l = Rescale<InBits, OutBits>(l);
            r = Rescale<InBits, OutBits>(r);
        }
        for (DWORD k = 0; k < repeat; ++k) {
            WriteSample<OutBits>(out, l);
            if constexpr (OutChannels == 2) WriteSample<OutBits>(out + OutBits / 8, r);
            out += outBlock;
        }
    }
}

// Indexed by (in bits 16?) * 8 + (in stereo?) * 4 + (out bits 16?) * 2 + (out stereo?).
constexpr std::array<PcmConverter, 16> Converters = {
    Convert<8, 1, 8, 1>,  Convert<8, 1, 8, 2>,  Convert<8, 1, 16, 1>,  Convert<8, 1, 16, 2>,
    Convert<8, 2, 8, 1>,  Convert<8, 2, 8, 2>,  Convert<8, 2, 16, 1>,  Convert<8, 2, 16, 2>,
    Convert<16, 1, 8, 1>, Convert<16, 1, 8, 2>, Convert<16, 1, 16, 1>, Convert<16, 1, 16, 2>,
    Convert<16, 2, 8, 1>, Convert<16, 2, 8, 2>, Convert<16, 2, 16, 1>, Convert<16, 2, 16, 2>,
};

bool Known(int bits, int channels) {
    return (bits == 8 || bits == 16) && (channels == 1 || channels == 2);
}

} // namespace

PcmConverter SelectPcmConverter(int inBits, int inChannels, int outBits, int outChannels) {
    if (!Known(inBits, inChannels) || !Known(outBits, outChannels)) return nullptr;
    const std::size_t index = (inBits == 16 ? 8u : 0u) + (inChannels == 2 ? 4u : 0u) +
                              (outBits == 16 ? 2u : 0u) + (outChannels == 2 ? 1u : 0u);
    return Converters[index];
}
