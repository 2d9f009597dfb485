#include "playlist/matroska_title.h"

#include "playlist/attribute_lookup.h"

namespace tarnwell {

namespace {

std::size_t indentation(std::string_view line) {
    const auto first = line.find_first_not_of(' ');
    return first == std::string_view::npos ? line.size() : first;
}

std::string languageOf(std::string_view langcode) {
    return std::string(langcode.substr(0, langcode.find(':')));
}

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The character a reference between "&" and ";" stands for, or nullopt.
std::optional<std::uint32_t> referenced(std::string_view name) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [text, c] : kNamed)
        if (name == text) return static_cast<std::uint32_t>(c);
    if (name.size() < 2 || name.front() != '#') return std::nullopt;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const auto digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 6) return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : digits) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return std::nullopt;
    return value;
}

}  // namespace

std::int32_t titleSetTimeBase(const std::vector<std::string>& lines, std::size_t titleFirst) {
    for (std::size_t line = std::min(titleFirst, lines.size()); line-- > 0;) {
        if (!containsNoCase(lines[line], "<TITLESET")) continue;
        const auto text = GetAttr(lines[line], "timeBase").text;
        std::int32_t fps = 0;
        for (std::size_t i = 0; i < text.size() && text[i] >= '0' && text[i] <= '9' && fps < 1000;
             ++i)
            fps = fps * 10 + (text[i] - '0');
        return fps > 0 ? fps : kDefaultTimeBase;
    }
    return kDefaultTimeBase;
}

std::optional<std::int64_t> titleTimeFrames(std::string_view text, std::int32_t timeBase) {
    std::int64_t fields[4] = {};
    std::size_t at = 0;
    for (int field = 0; field < 4; ++field) {
        const std::size_t start = at;
        while (at < text.size() && at - start < 9 && text[at] >= '0' && text[at] <= '9')
            fields[field] = fields[field] * 10 + (text[at++] - '0');
        if (at == start) return std::nullopt;
        if (field < 3 && (at >= text.size() || text[at++] != ':')) return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;
    return ((fields[0] * 60 + fields[1]) * 60 + fields[2]) * timeBase + fields[3];
}

MatroskaTitle readMatroskaTitle(const std::vector<std::string>& titleLines,
                                std::string_view evoBase, std::int32_t timeBase) {
    MatroskaTitle title;
    if (timeBase <= 0) timeBase = kDefaultTimeBase;
    std::size_t clip = 0;
    while (clip < titleLines.size() &&
           (evoBase.empty() || titleLines[clip].find(evoBase) == std::string::npos))
        ++clip;

    // The title's navigation entries: the language of each audio and subtitle track.
    std::vector<std::pair<int, std::string>> audioNav, subNav;
    for (const auto& line : titleLines) {
        if (title.name.empty() && containsNoCase(line, "<TITLE "))
            title.name = decodeXmlText(GetAttr(line, "displayName").text);
        auto* nav = containsNoCase(line, "<AUDIOTRACK ")      ? &audioNav
                    : containsNoCase(line, "<SUBTITLETRACK ") ? &subNav
                                                              : nullptr;
        const auto langcode = GetAttr(line, "langcode");
        if (nav && langcode.found && !langcode.text.empty())
            nav->emplace_back(GetAttrInt(line, " track"), languageOf(langcode.text));
    }
    if (clip == titleLines.size()) return title;

    auto fill = [](auto& tracks, const std::vector<std::pair<int, std::string>>& nav,
                   std::string_view line, std::vector<bool>& seen) {
        const int stream = GetAttrInt(line, "streamNumber");
        if (stream < 1 || stream > static_cast<int>(tracks.size()) || seen[stream - 1]) return;
        seen[stream - 1] = true;
        TitleTrack& track = tracks[static_cast<std::size_t>(stream - 1)];
        track.name = decodeXmlText(GetAttr(line, "description").text);
        const int number = GetAttrInt(line, " track");
        const auto own = GetAttr(line, "langcode").text;
        if (!own.empty()) track.language = languageOf(own);
        for (const auto& [navTrack, language] : nav)
            if (navTrack == number && !language.empty()) {
                track.language = language;
                break;
            }
        if (track.language.empty()) track.language = "und";
    };
    std::vector<bool> audioSeen(title.audio.size()), subSeen(title.subtitles.size());
    const std::size_t depth = indentation(titleLines[clip]);
    for (std::size_t line = clip + 1;
         line < titleLines.size() && indentation(titleLines[line]) > depth; ++line) {
        const auto& text = titleLines[line];
        if (containsNoCase(text, "<AUDIO ")) fill(title.audio, audioNav, text, audioSeen);
        if (containsNoCase(text, "<SUBTITLE ")) fill(title.subtitles, subNav, text, subSeen);
    }

    const auto clipStart =
        titleTimeFrames(GetAttr(titleLines[clip], "titleTimeBegin").text, timeBase).value_or(0);
    for (const auto& line : titleLines) {
        if (!containsNoCase(line, "<CHAPTER ")) continue;
        const auto start = titleTimeFrames(GetAttr(line, "titleTimeBegin").text, timeBase);
        if (!start || *start < clipStart) continue;
        const std::int64_t frames = *start - clipStart;
        title.chapters.push_back({(frames * 1'000'000'000 + timeBase / 2) / timeBase,
                                  decodeXmlText(GetAttr(line, "displayName").text)});
    }
    return title;
}

std::string decodeXmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] == '&') {
            const auto end = text.find(';', at + 1);
            if (end != std::string_view::npos && end - at <= 10) {
                if (const auto c = referenced(text.substr(at + 1, end - at - 1))) {
                    appendUtf8(out, *c);
                    at = end + 1;
                    continue;
                }
            }
        }
        out += text[at++];
    }
    return out;
}

}  // namespace tarnwell
