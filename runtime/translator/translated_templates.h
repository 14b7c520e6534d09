// Translated copies of a module's resources: string-table blocks, dialog templates (standard and extended)
// and menu templates, every text replaced by its translation and a dialog's font by the module's own.
#pragma once

#include "translator/resource_translator.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vtrrt {

// Builds the record's translated copy from the resource's bytes, once: nothing when no translator is current,
// the record has a copy already, or the bytes do not make a template of its type (a walk that runs past the
// resource's size, an unterminated text, a menu template other than version 0).
void RebuildTranslatedResource(CResourceData& record, const CModuleResources& entry, const void* data,
                               std::size_t size);

// The translated copy of a resource of a type (RT_STRING, RT_DIALOG, RT_MENU) and identifier; none when the
// bytes do not make such a template.
std::optional<std::vector<std::uint8_t>> TranslatedCopy(std::uint32_t type, std::uint32_t id,
                                                        const CModuleResources& entry,
                                                        std::span<const std::uint8_t> data);

} // namespace vtrrt
