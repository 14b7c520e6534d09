// Reads arbitrary bytes as the application's bank of shader effects: every effect's entry (name, source,
// parameter names and kinds) and every parameter's kind. What an entry gives lies inside the bank, and the
// kind read alone agrees with the entry's kinds. An empty first corpus folder receives banks laid out by hand
// from the bank's format.
#include "frame_run.h"
#include "quiet_target.h"

#include "startup/effect_bank.h"

#include "appwriter/byte_writer.h"

#include <cstring>

using namespace vtrrt;

namespace {

constexpr std::uint32_t MaxEffectsRead = 16, MaxParametersRead = 64;

// Bank: u32 count, the entries' offsets; entry: u32 name, source, parameter block (0: none), options, all
// from the entry's start; parameter block: u32 count, offset of the kind bytes, offset of the names.
struct EffectSeed {
    std::string name, source;
    std::vector<std::pair<std::string, std::uint8_t>> parameters;
};

std::vector<std::uint8_t> Bank(const std::vector<EffectSeed>& effects) {
    std::vector<appwriter::Bytes> entries;
    for (const EffectSeed& e : effects) {
        appwriter::ByteWriter w;
        const std::uint32_t head = 16, block = e.parameters.empty() ? 0 : head;
        const std::uint32_t kinds = head + 12,
                            names = kinds + static_cast<std::uint32_t>(e.parameters.size());
        std::uint32_t at = e.parameters.empty() ? head : names;
        for (const auto& p : e.parameters)
            at += static_cast<std::uint32_t>(p.first.size() + 1);
        const std::uint32_t name = at, source = name + static_cast<std::uint32_t>(e.name.size() + 1);
        w.U32(name);
        w.U32(source);
        w.U32(block);
        w.U32(1);
        if (block) {
            w.U32(static_cast<std::uint32_t>(e.parameters.size()));
            w.U32(kinds);
            w.U32(names);
            for (const auto& p : e.parameters)
                w.U8(p.second);
            for (const auto& p : e.parameters) {
                for (char c : p.first)
                    w.U8(static_cast<std::uint8_t>(c));
                w.U8(0);
            }
        }
        for (const std::string* text : {&e.name, &e.source}) {
            for (char c : *text)
                w.U8(static_cast<std::uint8_t>(c));
            w.U8(0);
        }
        entries.push_back(w.Data());
    }
    appwriter::ByteWriter bank;
    bank.U32(static_cast<std::uint32_t>(entries.size()));
    std::uint32_t offset = 4 + 4 * static_cast<std::uint32_t>(entries.size());
    for (const appwriter::Bytes& e : entries) {
        bank.U32(offset);
        offset += static_cast<std::uint32_t>(e.size());
    }
    std::vector<std::uint8_t> out = bank.Data();
    for (const appwriter::Bytes& e : entries)
        out.insert(out.end(), e.begin(), e.end());
    return out;
}

void Seeds(const std::filesystem::path& folder) {
    framerun::WriteFile(folder / "one-plain", Bank({{"Plain", "void main(){}", {}}}));
    framerun::WriteFile(folder / "two-with-parameters",
                        Bank({{"Tint",
                               "uniform float amount;",
                               {{"amount", EffectParameterFloat}, {"steps", EffectParameterInteger}}},
                              {"Mask", "uniform sampler2D mask;", {{"mask", EffectParameterImage}}}}));
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
