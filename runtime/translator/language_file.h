// A language file's parsed JSON tree and the lookups translations make in it: members by name, values as text
// and as numbers.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

struct _json_value;

namespace vtrrt {

using JsonValue = _json_value;

class LanguageTree {
public:
    explicit LanguageTree(JsonValue* root);
    ~LanguageTree();
    LanguageTree(const LanguageTree&) = delete;
    LanguageTree& operator=(const LanguageTree&) = delete;

    const JsonValue* Root() const { return root_; }
    // The first member of `object` of that name, compared byte for byte; null when there is none or `object`
    // is not an object.
    const JsonValue* Member(const JsonValue* object, std::string_view name) const;

private:
    using Index = std::unordered_map<std::string_view, const JsonValue*>;
    const Index& IndexOf(const JsonValue* object) const;

    JsonValue* root_;
    // Large objects (a section of thousands of texts) are looked up through an index made on first use.
    mutable std::unordered_map<const JsonValue*, Index> indexes_;
};

// Parses a language file's UTF-8 text, a UTF-8 byte-order mark skipped. Null when it does not parse or its
// root is not an object; `error` then says why (never shown).
std::unique_ptr<LanguageTree> ParseLanguageJson(std::string_view text, std::u16string& error);

// A translation value as text: a string as it is, an integer in decimal, a floating-point number as "%g",
// a boolean as 0 or 1. Anything else (an object, an array, null, a missing value) has no text.
std::optional<std::u16string> ValueText(const JsonValue* value);
// A value read as a number: an integer, a floating-point number's whole part, a string of decimal digits, a
// boolean as 0 or 1. Anything else, or a number beyond 32 bits, is 0.
std::int32_t ValueNumber(const JsonValue* value);

} // namespace vtrrt
