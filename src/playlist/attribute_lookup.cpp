#include "playlist/attribute_lookup.h"

#include <limits>

namespace tarnwell {

namespace {

constexpr char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

}  // namespace

std::size_t findNoCase(std::string_view text, std::string_view needle) {
    if (needle.empty()) return 0;
    if (needle.size() > text.size()) return std::string_view::npos;
    const char first = upperAscii(needle.front());
    const std::size_t last = text.size() - needle.size();
    for (std::size_t pos = 0; pos <= last; ++pos) {
        if (upperAscii(text[pos]) != first) continue;
        std::size_t k = 1;
        while (k < needle.size() && upperAscii(text[pos + k]) == upperAscii(needle[k])) ++k;
        if (k == needle.size()) return pos;
    }
    return std::string_view::npos;
}

AttrValue GetAttr(std::string_view tag, std::string_view name) {
    const auto match = findNoCase(tag, name);
    if (match == std::string_view::npos) return {};
    std::string_view rest = tag.substr(match + name.size(), kAttrWindow);
    if (const auto equals = rest.find('='); equals != std::string_view::npos)
        rest.remove_prefix(equals + 1);
    if (const auto quote = rest.find('"'); quote != std::string_view::npos)
        rest.remove_prefix(quote + 1);
    else
        return {{}, true};
    const auto closing = rest.find('"');
    if (closing == std::string_view::npos) return {{}, true};
    return {std::string(rest.substr(0, closing)), true};
}

std::optional<std::int32_t> parseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    // Accumulate towards the negative end so that -2147483648 fits too.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > kLimit) return std::nullopt;
    }
    if (!negative && magnitude == kLimit) return std::nullopt;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t GetAttrInt(std::string_view tag, std::string_view name) {
    return parseInteger(GetAttr(tag, name).text).value_or(0);
}

}  // namespace tarnwell
