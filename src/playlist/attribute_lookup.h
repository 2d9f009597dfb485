#pragma once
// Attribute lookup in a tag line without an XML parser: a case-insensitive substring match of
// the name, then the first double-quoted value within the 255 characters that follow it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwell {

struct AttrValue {
    std::string text;
    bool found = false;  // the name occurs in the tag (the value may still be empty)
};

// The characters after a matched name that the value must lie in.
inline constexpr std::size_t kAttrWindow = 255;

// The first position of `needle` in `text`, ASCII letters compared without regard to case.
std::size_t findNoCase(std::string_view text, std::string_view needle);
inline bool containsNoCase(std::string_view text, std::string_view needle) {
    return findNoCase(text, needle) != std::string_view::npos;
}

// Finds `name` anywhere in the tag (it may fall inside a longer name), skips to after the first
// "=" and the first double quote of the window, and returns the text up to the next double
// quote; a value whose closing quote is missing or lies beyond the window reads as empty.
AttrValue GetAttr(std::string_view tag, std::string_view name);

// An optional sign followed by decimal digits that fits 32 bits; anything else is no integer.
std::optional<std::int32_t> parseInteger(std::string_view text);

// The attribute read as an integer: 0 when absent, empty or not an integer.
std::int32_t GetAttrInt(std::string_view tag, std::string_view name);

}  // namespace tarnwell
