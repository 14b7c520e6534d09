#include "translator/language_file.h"

#include "win32/kernel.h"

#include <json.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vtrrt {

namespace {

constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
// Objects of more members than this are looked up through an index.
constexpr unsigned IndexedMembers = 16;

std::string_view NameOf(const json_object_entry& member) {
    return std::string_view(member.name, member.name_length);
}

std::optional<std::int32_t> InRange(long double value) {
    if (!std::isfinite(value) || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

LanguageTree::LanguageTree(JsonValue* root) : root_(root) {}

LanguageTree::~LanguageTree() {
    json_value_free(root_);
}

const LanguageTree::Index& LanguageTree::IndexOf(const JsonValue* object) const {
    auto [found, made] = indexes_.try_emplace(object);
    if (made) {
        // The first member of a name wins: later ones are not put in.
        for (const json_object_entry& member : object->u.object)
            found->second.try_emplace(NameOf(member), member.value);
    }
    return found->second;
}

const JsonValue* LanguageTree::Member(const JsonValue* object, std::string_view name) const {
    if (!object || object->type != json_object) return nullptr;
    if (object->u.object.length > IndexedMembers) {
        const Index& index = IndexOf(object);
        const auto found = index.find(name);
        return found == index.end() ? nullptr : found->second;
    }
    for (const json_object_entry& member : object->u.object)
        if (NameOf(member) == name) return member.value;
    return nullptr;
}

std::unique_ptr<LanguageTree> ParseLanguageJson(std::string_view text, std::u16string& error) {
    if (text.starts_with(Utf8Bom)) text.remove_prefix(Utf8Bom.size());
    json_settings settings{};
    char message[json_error_max]{};
    json_value* root = json_parse_ex(&settings, text.data(), text.size(), message);
    if (!root) {
        error = message[0] ? win32::FromUtf8(message) : u"Cannot parse JSON file";
        return nullptr;
    }
    if (root->type != json_object) {
        json_value_free(root);
        error = u"The language file is not a JSON object";
        return nullptr;
    }
    return std::make_unique<LanguageTree>(root);
}

std::optional<std::u16string> ValueText(const JsonValue* value) {
    if (!value) return std::nullopt;
    char number[32];
    switch (value->type) {
    case json_string:
        return win32::FromUtf8(std::string_view(value->u.string.ptr, value->u.string.length));
    case json_integer:
        std::snprintf(number, sizeof number, "%lld", static_cast<long long>(value->u.integer));
        break;
    case json_double:
        std::snprintf(number, sizeof number, "%g", value->u.dbl);
        break;
    case json_boolean:
        std::snprintf(number, sizeof number, "%d", value->u.boolean ? 1 : 0);
        break;
    default:
        return std::nullopt;
    }
    return std::u16string(number, number + std::char_traits<char>::length(number));
}

std::int32_t ValueNumber(const JsonValue* value) {
    if (!value) return 0;
    switch (value->type) {
    case json_integer:
        return InRange(static_cast<long double>(value->u.integer)).value_or(0);
    case json_double:
        return InRange(std::trunc(static_cast<long double>(value->u.dbl))).value_or(0);
    case json_boolean:
        return value->u.boolean ? 1 : 0;
    case json_string: {
        const std::string_view digits(value->u.string.ptr, value->u.string.length);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return 0;
        std::int32_t number = 0;
        const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        return failure == std::errc() && end == digits.data() + digits.size() ? number : 0;
    }
    default:
        return 0;
    }
}

} // namespace vtrrt
