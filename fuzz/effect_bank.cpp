// Reads arbitrary bytes as the application's bank of shader effects: every effect's entry (name, source,
// parameter names and kinds) and every parameter's kind. What an entry gives lies inside the bank, and the
// kind read alone agrees with the entry's kinds. An empty first corpus folder receives banks written by the
// application writer.
#include "quiet_target.h"
#include "seed_folder.h"

#include "startup/effect_bank.h"

#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"

#include <cstring>

using namespace vtrrt;

namespace {

constexpr std::uint32_t MaxEffectsRead = 16, MaxParametersRead = 64;

// The bank as the application writer stores it: u32 count, the entries' offsets, the entries.
std::vector<std::uint8_t> Bank(const std::vector<appwriter::EffectEntryDesc>& effects) {
    appwriter::ByteWriter bank;
    bank.U32(static_cast<std::uint32_t>(effects.size()));
    std::vector<appwriter::Bytes> entries;
    std::uint32_t offset = 4 + 4 * static_cast<std::uint32_t>(effects.size());
    for (const appwriter::EffectEntryDesc& e : effects) {
        entries.push_back(appwriter::EffectEntry(e));
        bank.U32(offset);
        offset += static_cast<std::uint32_t>(entries.back().size());
    }
    for (const appwriter::Bytes& e : entries)
        bank.Bytes(e);
    return bank.Take();
}

void Seeds(const std::filesystem::path& folder) {
    framerun::WriteFile(folder / "one-plain", Bank({{"Plain", "void main(){}", {}, {}, 0}}));
    framerun::WriteFile(folder / "two-with-parameters",
                        Bank({{"Tint", "uniform float amount;", {1, 0}, {"amount", "steps"}, 1},
                              {"Mask", "uniform sampler2D mask;", {3}, {"mask"}, 0}}));
    framerun::WriteFile(folder / "empty", Bank({}));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bank(data, size);
    const auto inside = [&](const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        return b >= data && n <= size && b - data <= static_cast<std::ptrdiff_t>(size - n);
    };
    const std::uint32_t count = std::min(EffectBankCount(bank), MaxEffectsRead + 1);
    for (std::uint32_t e = 0; e < count; ++e) {
        EffectBankEntry entry;
        if (!ReadEffectBankEntry(bank, e, entry)) {
            for (std::uint32_t p = 0; p < 4; ++p)
                EffectParameterKind(bank, e, p);
            continue;
        }
        if (!inside(entry.name.data(), entry.name.size()) ||
            !inside(entry.source, std::strlen(entry.source) + 1))
            __builtin_trap();
        const char* name = entry.names;
        for (std::uint32_t p = 0; p < entry.count; ++p) {
            if (!inside(entry.kinds + p, 1) || !inside(name, std::strlen(name) + 1)) __builtin_trap();
            if (p < MaxParametersRead && EffectParameterKind(bank, e, p) != entry.kinds[p]) __builtin_trap();
            name += std::strlen(name) + 1;
        }
        if (EffectParameterKind(bank, e, entry.count) != -1) __builtin_trap();
    }
    return 0;
}
