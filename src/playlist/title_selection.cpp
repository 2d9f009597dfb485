#include "playlist/title_selection.h"

#include "playlist/attribute_lookup.h"

namespace tarnwell {

std::optional<TitleLines> selectTitle(const std::vector<std::string>& lines,
                                      std::string_view evoBase) {
    if (evoBase.empty()) return std::nullopt;
    std::size_t clip = 0;
    while (clip < lines.size() && lines[clip].find(evoBase) == std::string::npos) ++clip;
    if (clip == lines.size() || clip == 0) return std::nullopt;

    // Only the ASCII letters of the needles have case, so a case-free match is the same as a
    // match in the upper-case form of the line.
    std::size_t first = 0;
    for (std::size_t line = clip; line-- > 0;) {
        if (containsNoCase(lines[line], "<TITLE ")) {
            first = line;
            break;
        }
    }

    // The match on the first kept line itself is passed over.
    std::size_t last = lines.size() - 1;
    for (std::size_t line = first + 1; line < lines.size(); ++line) {
        if (containsNoCase(lines[line], "</TITLE")) {
            last = line;
            break;
        }
    }
    return TitleLines{first, last - first + 1};
}

}  // namespace tarnwell
