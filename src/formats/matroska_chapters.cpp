#include "formats/matroska_chapters.h"

#include <cstdio>

namespace tarnwell {

namespace {

std::string escapeXml(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

}  // namespace

std::string matroskaChaptersXml(const std::vector<TitleChapter>& chapters) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE Chapters SYSTEM \"matroskachapters.dtd\">\n"
        "<Chapters>\n"
        "  <EditionEntry>\n";
    for (const auto& chapter : chapters) {
        const std::int64_t ns = chapter.startNs;
        char time[32];
        std::snprintf(time, sizeof time, "%02lld:%02lld:%02lld.%09lld",
                      static_cast<long long>(ns / 3'600'000'000'000),
                      static_cast<long long>(ns / 60'000'000'000 % 60),
                      static_cast<long long>(ns / 1'000'000'000 % 60),
                      static_cast<long long>(ns % 1'000'000'000));
        xml += "    <ChapterAtom>\n      <ChapterTimeStart>";
        xml += time;
        xml += "</ChapterTimeStart>\n      <ChapterDisplay>\n        <ChapterString>";
        xml += escapeXml(chapter.name);
        xml +=
            "</ChapterString>\n        <ChapterLanguage>und</ChapterLanguage>\n"
            "      </ChapterDisplay>\n    </ChapterAtom>\n";
    }
    xml += "  </EditionEntry>\n</Chapters>\n";
    return xml;
}

}  // namespace tarnwell
