// Loads arbitrary bytes as bank items: the first byte chooses compressed items and the string form, the
// next two give the number of stored offsets, which follow as u32 words; the rest is the bank payload.
// Every item is loaded as an image, a font, a sample and a music, then two frames' uses are applied and the
// banks freed.
#include "startup/banks.h"

#include "vtrs2/banks.h"
#include "vtrs2/streams.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size > 0x7FFFFFFF) return 0;
    const std::uint8_t options = data[0];
    const std::size_t count = std::min<std::size_t>(data[1] | (data[2] << 8), 64);
    if (size < 3 + 4 * count) return 0;
    const std::vector<std::uint8_t> offsets(data + 3, data + 3 + 4 * count);
    CInputMemFile* stream = NewInputMemFile();
    if (!stream) return 0;
    stream->Attach(data, static_cast<win32::LONG>(size));
    ContextBanks library{};
    vtrrt::ApplicationBanks banks;
    banks.stream = stream;
    banks.library = &library;
    banks.itemsCompressed = options & 1;
    banks.unicode = options & 2;
    banks.build = (options & 4) ? 285 : 200;
    const auto payloadPosition = static_cast<std::uint32_t>(3 + 4 * count);
    vtrrt::FrameBankUses uses, fewer;
    for (int kind : {vtrrt::AppBankImages, vtrrt::AppBankFonts, vtrrt::AppBankSounds, vtrrt::AppBankMusic}) {
        vtrrt::ReadBankChunk(banks, kind, payloadPosition);
        if (!vtrrt::ReadBankOffsets(banks, kind, offsets)) continue;
        for (std::size_t i = 0; i < count; ++i) {
            vtrrt::LoadBankItem(banks, kind, static_cast<std::uint16_t>(i));
            uses.indexes[kind].push_back(static_cast<std::uint16_t>(i));
            uses.indexes[kind].push_back(static_cast<std::uint16_t>(i));
            if (i % 2) fewer.indexes[kind].push_back(static_cast<std::uint16_t>(i));
        }
    }
    vtrrt::LoadFrameBankItems(banks, uses);
    vtrrt::LoadFrameBankItems(banks, fewer);
    vtrrt::FreeBanks(banks);
    FreeAllBanks(&library);
    stream->Delete();
    return 0;
}
