// The application's images, fonts, sounds and music, loaded into the library's banks when a frame or an
// object needs them, with the library's reference counts kept equal to the uses of the current frame.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "vtrformat/chunks.h"

class CInputFile;
struct ContextBanks;

namespace vtrrt {

enum AppBankKind : int { AppBankImages = 0, AppBankFonts = 1, AppBankSounds = 2, AppBankMusic = 3 };
constexpr int AppBankCount = 4;
constexpr std::uint16_t ChunkBankItemsFirst = vtrformat::ChunkImageBank;
constexpr std::uint16_t ChunkBankOffsetsFirst = vtrformat::ChunkImageOffsets;
constexpr std::uint16_t NoStoredIndex = 0xFFFF;
constexpr std::size_t ReverseMapStep = 256;

// Image load flags (their high nibble goes to the library); the /NOC switch drops 0x80.
constexpr std::uint32_t ImageLoadFlags = 0x8090;
constexpr std::uint32_t ImageLoadFlagsNoPacking = 0x8010;

struct AppBank {
    bool present = false; // a bank chunk was read
    std::uint32_t payloadPosition = 0;
    std::vector<std::uint32_t> offsets;   // absolute, by stored index
    std::vector<std::uint8_t> hasItem;    // stored offset was not 0
    std::vector<std::uint16_t> reverse;   // library handle -> stored index; 0xFFFF = none
    std::vector<std::uint16_t> forward;   // stored index -> library handle; 0 = not loaded
    std::vector<std::uint32_t> held;      // references this application holds, by stored index
    std::vector<std::uint32_t> useCounts; // during a frame load
};

// The banks of one application over its data stream and the library's banks.
struct ApplicationBanks {
    AppBank banks[AppBankCount];
    CInputFile* stream = nullptr; // not owned
    ContextBanks* library = nullptr;
    std::uint32_t targetMode = 4; // display mode code images are added in
    bool unicode = true;
    bool itemsCompressed = false; // header flags word 1 has 0x8000
    std::uint32_t build = 0;
    bool noPacking = false; // /NOC
    // The application's image list holds library handles (it is translated at the first frame load).
    bool imageListTranslated = false;
    // The application's effect bank, which says which effect parameters name images.
    std::span<const std::uint8_t> effects;
    // Images made while the application runs, by library handle: the references it holds on them (beside
    // the loader's references by stored index). Released whole with the banks.
    std::vector<std::uint32_t> runtimeImages;
};

// The library's banks of the current application; null when it has none.
ContextBanks* CurrentLibraryBanks();

// The bank chunk's payload position, and the offsets chunk that follows it; false on a bad payload.
void ReadBankChunk(ApplicationBanks& banks, int kind, std::uint32_t payloadPosition);
bool ReadBankOffsets(ApplicationBanks& banks, int kind, std::span<const std::uint8_t> payload);

// The next item's bytes: `fixedBytes` as stored, or the whole item inflated when the bank is compressed.
bool ReadBankItemBytes(ApplicationBanks& banks, std::size_t fixedBytes, std::vector<std::uint8_t>& out);
// `size` bytes from the bank stream, checked against what is left in it.
bool ReadBankStreamBytes(ApplicationBanks& banks, std::uint32_t size, std::vector<std::uint8_t>& out);

// The loaded handle with one more reference, or the item loaded now; 0 when there is none or it fails.
std::uint32_t LoadBankItem(ApplicationBanks& banks, int kind, std::uint16_t index);
// forward[index] = handle and reverse[handle] = index; false when the index or handle is out of range.
bool SetBankMapping(ApplicationBanks& banks, int kind, std::uint16_t index, std::uint32_t handle);
std::uint16_t StoredIndexOfHandle(const ApplicationBanks& banks, int kind, std::uint32_t handle);
std::uint32_t HandleOfStoredIndex(const ApplicationBanks& banks, int kind, std::uint16_t index);

void AddBankItemReference(ApplicationBanks& banks, int kind, std::uint32_t handle);
void ReleaseBankItem(ApplicationBanks& banks, int kind, std::uint32_t handle);
// The library's count for the item (0 when it is not there).
std::uint32_t GetBankItemReferenceCount(const ApplicationBanks& banks, int kind, std::uint32_t handle);

// The uses of the coming frame: each entry one stored index of a bank (repeats count twice).
struct FrameBankUses {
    std::vector<std::uint16_t> indexes[AppBankCount];
};
// Brings the library into line with the frame's uses: items used by the frame are loaded and hold one
// reference per use; items no longer used are released and unmapped, except sounds still playing
// (`isPlaying`, may be null). Returns 0, or 8 when memory runs out.
int LoadFrameBankItems(ApplicationBanks& banks, const FrameBankUses& uses,
                       bool (*isPlaying)(int kind, std::uint32_t handle) = nullptr);
// Releases every item this application holds, those made at run time included, and frees the maps.
void FreeBanks(ApplicationBanks& banks);

// An image made at run time with one reference, or one more reference to one, held by the application.
bool HoldRuntimeImage(ApplicationBanks& banks, std::uint32_t handle, std::uint32_t references = 1);
// One use of an image ends: a reference made at run time when there is one, else the loader's.
void ReleaseImageUse(ApplicationBanks& banks, std::uint32_t handle);

} // namespace vtrrt
