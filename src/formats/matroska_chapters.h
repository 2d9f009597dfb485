#pragma once
// Matroska chapters as mkvmerge reads them from an XML file.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell {

struct TitleChapter {
    std::int64_t startNs = 0;  // from the start of the clip
    std::string name;          // plain text (entities decoded)
    bool operator==(const TitleChapter&) const = default;
};

// One edition, one atom per chapter, names escaped.
std::string matroskaChaptersXml(const std::vector<TitleChapter>& chapters);

}  // namespace tarnwell
