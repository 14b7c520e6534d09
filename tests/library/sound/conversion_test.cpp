// PCM conversion of decoders, the ring's size, and the DirectSound level and rate conversions, each against
// the rules written out here.
#include "vtrs2/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace win32;

namespace {

WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits) {
    const WORD block = static_cast<WORD>(channels * bits / 8);
    return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * block, block, bits, 0};
}

// A decoder over bytes in memory.
class MemoryDecoder final : public CSoundFilter {
public:
    MemoryDecoder(const WAVEFORMATEX& native, std::vector<BYTE> data) : data_(std::move(data)) {
        nativeFormat_ = native;
        outputFormat_ = native;
    }
    void Release() override { delete this; }
    int Open(CInputFile*) override { return 0; }
    void Close() override {}
    std::uint64_t GetLength() override { return data_.size(); }
    int Seek(std::uint64_t position) override {
        at_ = std::min<std::uint64_t>(position, data_.size());
        return 0;
    }
    int Read(void* buffer, DWORD size, DWORD* count) override {
        const auto n = static_cast<DWORD>(std::min<std::uint64_t>(size, data_.size() - at_));
        std::memcpy(buffer, data_.data() + at_, n);
        at_ += n;
        *count = n;
        return 0;
    }

private:
    std::vector<BYTE> data_;
    std::uint64_t at_ = 0;
};

// Samples as the test sees them: 8-bit unsigned, 16-bit signed.
std::vector<BYTE> Store(const std::vector<int>& samples, int bits) {
    std::vector<BYTE> out;
    for (int s : samples) {
        out.push_back(static_cast<BYTE>(s & 0xFF));
        if (bits == 16) out.push_back(static_cast<BYTE>((s >> 8) & 0xFF));
    }
    return out;
}

std::vector<int> Load(const std::vector<BYTE>& bytes, int bits) {
    std::vector<int> out;
    for (std::size_t i = 0; i < bytes.size(); i += static_cast<std::size_t>(bits / 8))
        out.push_back(bits == 8 ? bytes[i] : static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return out;
}

// The conversion rules, one sample or pair at a time.
int Up(int s) {
    return (s - 128) * 256;
}
int Down(int s) {
    return (s >> 8) + 128;
}

struct LayoutCase {
    int inBits, inChannels, outBits, outChannels;
};

std::string LayoutName(const LayoutCase& c) {
    auto part = [](int bits, int channels) {
        return std::string(channels == 1 ? "Mono" : "Stereo") + std::to_string(bits);
    };
    return part(c.inBits, c.inChannels) + "To" + part(c.outBits, c.outChannels);
}

std::vector<int> Expected(const LayoutCase& c, const std::vector<int>& in) {
    std::vector<int> out;
    for (std::size_t f = 0; f < in.size() / static_cast<std::size_t>(c.inChannels); ++f) {
        const int l = in[f * c.inChannels];
        const int r = c.inChannels == 2 ? in[f * c.inChannels + 1] : l;
        auto scale = [&](int s) { return c.inBits == c.outBits ? s : c.inBits == 8 ? Up(s) : Down(s); };
        if (c.inChannels == 2 && c.outChannels == 1) {
            if (c.inBits == 8)
                out.push_back(c.outBits == 8 ? (l + r) / 2 : ((l + r) / 2 - 128) * 256);
            else
                out.push_back(c.outBits == 16 ? (l + r) / 2 : Down((l + r) / 2));
            continue;
        }
        out.push_back(scale(l));
        if (c.outChannels == 2) out.push_back(scale(r));
    }
    return out;
}

class PcmLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PcmLayouts, EachLayoutConvertsByItsRule) {
    const LayoutCase& c = GetParam();
    const std::vector<int> in = c.inBits == 8
                                    ? std::vector<int>{0, 64, 128, 200, 255, 1, 130, 129}
                                    : std::vector<int>{-32768, -1000, 0, 1000, 32767, -1, 255, -256};
    auto* decoder = new MemoryDecoder(
        Pcm(22050, static_cast<WORD>(c.inChannels), static_cast<WORD>(c.inBits)), Store(in, c.inBits));
    const WAVEFORMATEX out = Pcm(22050, static_cast<WORD>(c.outChannels), static_cast<WORD>(c.outBits));
    ASSERT_EQ(decoder->SetOutputFormat(&out), 0);
    const std::vector<int> expected = Expected(c, in);
    std::vector<BYTE> bytes(expected.size() * static_cast<std::size_t>(c.outBits / 8));
    DWORD got = 0;
    ASSERT_EQ(decoder->ReadConverted(bytes.data(), static_cast<DWORD>(bytes.size()), &got), 0);
    EXPECT_EQ(got, bytes.size());
    EXPECT_EQ(Load(bytes, c.outBits), expected);
    decoder->Release();
}

std::vector<LayoutCase> AllLayouts() {
    std::vector<LayoutCase> all;
    for (int inBits : {8, 16})
        for (int inChannels : {1, 2})
            for (int outBits : {8, 16})
                for (int outChannels : {1, 2})
                    if (inBits != outBits || inChannels != outChannels)
                        all.push_back({inBits, inChannels, outBits, outChannels});
    return all;
}

INSTANTIATE_TEST_SUITE_P(Sound, PcmLayouts, ::testing::ValuesIn(AllLayouts()),
                         [](const auto& info) { return LayoutName(info.param); });

std::vector<int> Ramp(int n) {
    std::vector<int> r;
    for (int i = 0; i < n; ++i)
        r.push_back(i * 10);
    return r;
}

TEST(SoundConversion, LowerRatesTakeEveryNthFrameAndHigherOnesRepeatEachFrame) {
    auto* halve = new MemoryDecoder(Pcm(44100, 1, 16), Store(Ramp(8), 16));
    const WAVEFORMATEX half = Pcm(22050, 1, 16);
    ASSERT_EQ(halve->SetOutputFormat(&half), 0);
    std::vector<BYTE> bytes(8);
    DWORD got = 0;
    halve->ReadConverted(bytes.data(), 8, &got);
    EXPECT_EQ(Load(bytes, 16), (std::vector<int>{0, 20, 40, 60}));
    EXPECT_EQ(halve->GetConvertedLength(), 8u);
    halve->Release();

    auto* twice = new MemoryDecoder(Pcm(11025, 1, 16), Store(Ramp(4), 16));
    ASSERT_EQ(twice->SetOutputFormat(&half), 0);
    EXPECT_EQ(twice->GetConvertedLength(), 16u);
    // Three frames, then the rest: the repeated frame split between two reads.
    std::vector<BYTE> first(6), rest(10);
    twice->ReadConverted(first.data(), 6, &got);
    EXPECT_EQ(Load(first, 16), (std::vector<int>{0, 0, 10}));
    twice->ReadConverted(rest.data(), 10, &got);
    EXPECT_EQ(Load(rest, 16), (std::vector<int>{10, 20, 20, 30, 30}));
    twice->ReadConverted(rest.data(), 10, &got);
    EXPECT_EQ(got, 0u) << "the end of the data";
    twice->SeekConverted(10);
    twice->ReadConverted(first.data(), 6, &got);
    EXPECT_EQ(Load(first, 16), (std::vector<int>{20, 20, 30}));
    twice->Release();
}

TEST(SoundConversion, ARatioThatIsNoWholeNumberNeverWritesPastTheBuffer) {
    auto* decoder = new MemoryDecoder(Pcm(44100, 2, 16), Store(Ramp(20000), 16));
    const WAVEFORMATEX out = Pcm(32000, 2, 16);
    ASSERT_EQ(decoder->SetOutputFormat(&out), 0);
    std::vector<BYTE> bytes(1000 + 16, 0xAB);
    DWORD got = 0;
    ASSERT_EQ(decoder->ReadConverted(bytes.data(), 1000, &got), 0);
    EXPECT_EQ(got, 1000u);
    EXPECT_TRUE(std::all_of(bytes.begin() + 1000, bytes.end(), [](BYTE b) { return b == 0xAB; }));
    decoder->Release();
}

// A sound that only keeps its format, to look at the buffer size it works out.
class FormatProbe final : public CSound {
public:
    FormatProbe() : CSound(nullptr) {}
    int Play() override { return 0; }
    int Pause() override { return 0; }
    int Resume() override { return 0; }
    int Stop(int, int) override { return 0; }
    int IsPlaying() override { return 0; }
    int SetVolume(int) override { return 0; }
    int SetPan(int) override { return 0; }
    int SetFrequency(DWORD) override { return 0; }
    int Seek(std::uint64_t, int) override { return 0; }
    int FillBuffer() override { return 0; }
    int Update() override { return 0; }
    std::uint64_t GetPlayPosition() override { return 0; }
    DWORD BufferSize() const { return bufferSize_; }
};

TEST(SoundConversion, TheRingHoldsAWholeNumberOfFramesOfOnePointTwoSeconds) {
    FormatProbe probe;
    WAVEFORMATEX f = Pcm(22050, 1, 16);
    ASSERT_EQ(probe.SetFormat(&f, 0, 0), 0);
    EXPECT_EQ(probe.BufferSize(), 52920u);
    f = Pcm(3, 2, 16); // 3.6 frames a second and a bit: whole frames only
    ASSERT_EQ(probe.SetFormat(&f, 0, 0), 0);
    EXPECT_EQ(probe.BufferSize() % 4, 0u);
    f.wFormatTag = 2;
    EXPECT_EQ(probe.SetFormat(&f, 0, 0), 2) << "only PCM";
}

TEST(SoundConversion, VolumesBecomeHundredthsOfADecibelAndRatesAreHeldInRange) {
    const std::pair<int, LONG> volumes[] = {{1000, 0},  {2000, 0},   {500, -602}, {100, -2000},
                                            {1, -6000}, {0, -10000}, {-5, -10000}};
    for (auto [volume, expected] : volumes)
        EXPECT_EQ(VolumeToDirectSound(volume), expected) << volume;
    const std::pair<DWORD, DWORD> rates[] = {{0, 0}, {50, 100}, {100, 100}, {22050, 22050}, {200000, 100000}};
    for (auto [rate, expected] : rates)
        EXPECT_EQ(FrequencyToDirectSound(rate), expected) << rate;
}

} // namespace
