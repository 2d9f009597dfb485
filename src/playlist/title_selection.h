#pragma once
// Finds, in the tag lines of a whole playlist, the one title element that plays an EVO file.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// The lines to keep: [first, first + count).
struct TitleLines {
    std::size_t first = 0;
    std::size_t count = 0;
    bool operator==(const TitleLines&) const = default;
};

// The first line containing the EVO base name (letter case respected) marks the clip; the
// nearest line above it containing "<TITLE " and the first line after the top of what is left
// containing "</TITLE" (both compared in upper case) bound the title. The EVO file counts as
// not found (nullopt) when the base name is empty, occurs nowhere, or first occurs on the very
// first line.
std::optional<TitleLines> selectTitle(const std::vector<std::string>& lines,
                                      std::string_view evoBase);

}  // namespace tarnwell
