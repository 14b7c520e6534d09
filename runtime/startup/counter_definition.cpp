#include "startup/counter_definition.h"

#include "startup/object_infos.h"

#include <algorithm>

namespace vtrrt {

CounterDefinition ReadCounterDefinition(std::span<const std::uint8_t> def) {
    CounterDefinition c;
    const std::size_t at = DefU16(def, DefTypeData);
    if (at != 0 && at + CounterDataFixedBytes <= def.size()) {
        c.present = true;
        c.width = DefI32(def, at);
        c.height = DefI32(def, at + 4);
        c.displayType = DefU16(def, at + 8);
        c.format = DefU16(def, at + 10);
        c.player = DefU16(def, at + 12);
        c.imageCount = DefU16(def, at + 14);
        if (c.displayType == CounterDigits || c.displayType == CounterAnimation) {
            const std::size_t first = at + 16;
            if (first <= def.size())
                c.images = def.subspan(first, std::min<std::size_t>(2u * c.imageCount, def.size() - first));
        } else {
            c.colour1 = DefU32(def, at + 16);
            c.colour2 = DefU32(def, at + 20);
        }
    }
    const std::size_t values = DefU16(def, DefWord10);
    if (values != 0 && values + 12 <= def.size()) {
        c.initial = DefI32(def, values);
        c.minimum = DefI32(def, values + 4);
        c.maximum = DefI32(def, values + 8);
    }
    return c;
}

} // namespace vtrrt
