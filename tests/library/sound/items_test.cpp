// Bank-1 items: their layout and checksum, sharing, finding, and items whose data stays in a file.
#include "sound_fixture.h"

#include "vtrs2/rle_codec.h"
#include "win32/kernel.h"

#include <zlib.h>

#include <cstring>

using namespace win32;
using namespace sound_test;

namespace {

// The checksum as the rule says it: kind, reserved word and (ANSI length + 4) & ~3 as three little-endian
// words, then the name and zeros to (length & ~3) + 16 bytes in all, then the data; each byte added and the
// sum rotated left by one within 16 bits.
DWORD ReferenceChecksum(DWORD kind, const std::string& name, const std::vector<BYTE>& data) {
    std::vector<BYTE> bytes((name.size() & ~std::size_t{3}) + 16, 0);
    const DWORD words[3] = {kind, 0, static_cast<DWORD>((name.size() + 4) & ~std::size_t{3})};
    std::memcpy(bytes.data(), words, 12);
    std::memcpy(bytes.data() + 12, name.data(), name.size());
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (BYTE b : bytes) {
        sum = (sum + b) & 0xFFFF;
        sum = ((sum << 1) | (sum >> 15)) & 0xFFFF;
    }
    return sum;
}

class Items : public SoundFixture {
protected:
    ContextBanks* Banks() { return context_->banks; }
    const SoundItem* Item(DWORD handle) {
        return reinterpret_cast<const SoundItem*>(GetBankItem(Banks(), BankSounds, handle));
    }
};

TEST_F(Items, AnItemKeepsItsNameInWholeUnitsItsDataAndItsChecksum) {
    const std::vector<BYTE> data = {1, 2, 3, 250, 251};
    const DWORD h = AddSoundItemW(Banks(), SoundKindSample, u"Boom", data.data(), 5);
    ASSERT_NE(h, 0u);
    const SoundItem* item = Item(h);
    EXPECT_EQ(item->nameLength, 8u) << "(4 + 4) & ~3";
    EXPECT_EQ(item->header.headerSize, 28u + 16u);
    EXPECT_EQ(std::u16string(SoundItemName(item)), u"Boom");
    EXPECT_EQ(item->checksum, ReferenceChecksum(1, "Boom", data));
    EXPECT_EQ(ComputeItemChecksum("abc", 3), 0x0556u);
    std::vector<BYTE> copy(GetSoundItemData(Banks(), h, nullptr));
    GetSoundItemData(Banks(), h, copy.data());
    EXPECT_EQ(copy, data);
    SoundItemInfo info{};
    ASSERT_EQ(GetSoundItemInfo(Banks(), h, &info), 1);
    EXPECT_EQ(info.refCount, 1u);
    EXPECT_EQ(info.size, 5u + 16u);
    EXPECT_EQ(info.kind, 1u);
    ASSERT_EQ(GetSoundItemInfoA(Banks(), h, &info), 1);
    EXPECT_EQ(info.size, 5u + 8u);
    char name[3];
    ASSERT_EQ(GetSoundItemNameA(Banks(), h, name, 3), 1);
    EXPECT_STREQ(name, "Bo");
    EXPECT_EQ(GetSoundItemData(Banks(), 77, nullptr), 0u);
    EXPECT_EQ(GetSoundItemInfo(Banks(), 77, &info), 0);
}

TEST_F(Items, EqualItemsAreSharedOnAskingAndFoundByKindAndNameWithoutCase) {
    const std::vector<BYTE> data(40, 9);
    const DWORD first = AddSoundItemW(Banks(), SoundKindSample, u"Shot", data.data(), 40);
    const DWORD music = AddSoundItemW(Banks(), SoundKindMusic, u"shot", data.data(), 40);
    EXPECT_NE(music, first);
    EXPECT_EQ(AddSoundItemW(Banks(), SoundKindSample | SoundDeduplicate, u"Shot", data.data(), 40), first);
    EXPECT_EQ(Item(first)->header.refCount, 2u);
    EXPECT_EQ(Item(first)->kind, 1u) << "the sharing bit is not kept";
    EXPECT_NE(AddSoundItemW(Banks(), SoundKindSample, u"Shot", data.data(), 40), first);
    EXPECT_EQ(FindSoundItemW(Banks(), SoundKindSample, u"SHOT"), first);
    EXPECT_EQ(FindSoundItemW(Banks(), SoundKindMusic, u"Shot"), music);
    EXPECT_EQ(FindSoundItemA(Banks(), SoundKindSample, "shot"), first);
    EXPECT_EQ(FindSoundItemW(Banks(), SoundKindSample, u"none"), 0u);
    EXPECT_EQ(ReleaseSoundItem(Banks(), first), 1);
    EXPECT_EQ(ReplaceSoundItemW(Banks(), SoundKindSample, first, u"New", data.data(), 10), first);
    EXPECT_EQ(Item(first)->header.refCount, 1u) << "a replacement keeps the count";
    EXPECT_EQ(SetSoundItemKind(Banks(), first, SoundKindMusic), 1);
    EXPECT_EQ(FindSoundItemW(Banks(), SoundKindMusic, u"new"), first);
}

TEST_F(Items, ReleasingAPlayingItemStopsItsChannelFirst) {
    const DWORD h = AddSample(ToneWav(1.0));
    ASSERT_EQ(Play(h, PlayLoops, 0), PlayStarted);
    Run(2);
    EXPECT_EQ(ReleaseSoundItem(Banks(), h), 0);
    EXPECT_EQ(FindChannelOfSound(context_, SoundHandle(h)), 0);
    EXPECT_TRUE(Silent(Run(2)));
}

class FileItems : public Items {
protected:
    void SetUp() override {
        Items::SetUp();
        wav_ = ToneWav(0.5);
        const appwriter::Bytes sound = appwriter::WriteWav(wav_);
        // Some other data first, then the block: the name in UTF-16, then the sound.
        block_.assign(PrefixBytes, 0xEE);
        for (char16_t c : std::u16string(u"Ding"))
            block_.insert(block_.end(), {static_cast<BYTE>(c), 0});
        block_.insert(block_.end(), sound.begin(), sound.end());
        path_ = Wide(WriteTempFile("file_items.bin", block_));
    }
    SoundFileDescriptor Descriptor(HANDLE file) {
        return {file, PrefixBytes, static_cast<DWORD>(block_.size() - PrefixBytes),
                4,    0,           file == INVALID_HANDLE_VALUE ? path_.c_str() : nullptr};
    }
    DWORD AddReference(DWORD kind, const SoundFileDescriptor& d) {
        return AddSoundItemW(Banks(), kind, u"Ding", &d, sizeof d);
    }
    bool PlaysWhole(DWORD handle) {
        if (Play(handle) != PlayStarted) return false;
        const Samples left = Left(Run(12));
        return std::equal(wav_.samples.begin(), wav_.samples.end(), left.begin());
    }

    static constexpr DWORD PrefixBytes = 37;
    appwriter::WavDesc wav_;
    std::vector<BYTE> block_;
    std::u16string path_;
};

TEST_F(FileItems, AnItemLeftInTheFileIsReadThroughAHandleOfItsOwnWhenFirstPlayed) {
    HANDLE file =
        CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFilePointer(file, 11, nullptr, FILE_BEGIN);
    const DWORD h = AddReference(SoundKindSample | SoundInFile, Descriptor(file));
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(PlaysWhole(h));
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 11u) << "the shared position never moved";
    EXPECT_EQ(Item(h)->kind, SoundKindSample) << "now an ordinary sample";
    EXPECT_EQ(std::u16string(SoundItemName(Item(h))), u"Ding");
    CloseHandle(file);
}

TEST_F(FileItems, AStreamedItemPlaysFromTheFileByNameOrByHandleAndACompressedBlockIsInflated) {
    EXPECT_TRUE(
        PlaysWhole(AddReference(SoundKindSample | SoundStreamedFromFile, Descriptor(INVALID_HANDLE_VALUE))));
    HANDLE file =
        CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD byHandle = AddReference(SoundKindSample | SoundStreamedFromFile, Descriptor(file));
    EXPECT_TRUE(PlaysWhole(byHandle));
    EXPECT_EQ(Item(byHandle)->kind, SoundStreamedFromFile | SoundKindSample) << "streamed again next time";
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 0u);
    CloseHandle(file);

    // The block stored as a compressed length and a zlib stream.
    std::vector<BYTE> plain(block_.begin() + PrefixBytes, block_.end());
    uLongf packedSize = compressBound(static_cast<uLong>(plain.size()));
    std::vector<BYTE> packed(packedSize);
    compress2(packed.data(), &packedSize, plain.data(), static_cast<uLong>(plain.size()), 9);
    std::vector<BYTE> stored(PrefixBytes, 0);
    const auto length = static_cast<DWORD>(packedSize);
    stored.insert(stored.end(), reinterpret_cast<const BYTE*>(&length),
                  reinterpret_cast<const BYTE*>(&length) + 4);
    stored.insert(stored.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize));
    const std::u16string packedPath = Wide(WriteTempFile("file_items_packed.bin", stored));
    SoundFileDescriptor d{INVALID_HANDLE_VALUE, PrefixBytes, static_cast<DWORD>(plain.size()), 4, 1,
                          packedPath.c_str()};
    EXPECT_TRUE(PlaysWhole(AddReference(SoundKindSample | SoundStreamedFromFile, d)));
    EXPECT_TRUE(PlaysWhole(AddReference(SoundKindSample | SoundInFile, d)));
}

TEST_F(FileItems, AMissingOrDamagedFileFailsThePlay) {
    SoundFileDescriptor d = Descriptor(INVALID_HANDLE_VALUE);
    const std::u16string missing = u"/nonexistent/sounds.bin";
    d.fileName = missing.c_str();
    EXPECT_EQ(Play(AddReference(SoundKindSample | SoundInFile, d)), PlayFailed);
    d = Descriptor(INVALID_HANDLE_VALUE);
    d.nameLength = 0x7FFFFFFF;
    EXPECT_EQ(Play(AddReference(SoundKindSample | SoundInFile, d)), PlayFailed)
        << "a name longer than its block";
    d = Descriptor(INVALID_HANDLE_VALUE);
    d.fileName = nullptr;
    EXPECT_EQ(AddReference(SoundKindSample | SoundInFile, d), 0u) << "neither a handle nor a name";
}

} // namespace
