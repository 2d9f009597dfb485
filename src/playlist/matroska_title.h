#pragma once
// What a Matroska file takes from the playlist: the title's name, its chapters and the names
// and languages of its tracks, read from the tag lines of the title that plays the EVO file
// with the same attribute lookup as the tree. The clip is the first line of the title that
// contains the EVO base name; its own elements are the lines after it indented deeper.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/matroska_chapters.h"
#include "formats/slot_limits.h"

namespace tarnwell {

inline constexpr std::int32_t kDefaultTimeBase = 60;

struct TitleTrack {
    std::string name;              // the track's description; empty for none
    std::string language = "und";  // the part of its langcode before ":"
    bool operator==(const TitleTrack&) const = default;
};

struct MatroskaTitle {
    std::string name;  // the title's displayName
    std::vector<TitleChapter> chapters;
    // By stream number (streamNumber - 1), as the tracks fill the stream tabs.
    std::array<TitleTrack, kAudioEntries> audio;
    std::array<TitleTrack, kSubEntries> subtitles;
};

// The frames per second of the TitleSet around the title that starts at line `titleFirst`:
// the leading digits of the nearest TitleSet line's timeBase ("24fps"), else 60.
std::int32_t titleSetTimeBase(const std::vector<std::string>& lines, std::size_t titleFirst);

// "HH:MM:SS:FF" as a count of frames of `timeBase`; nullopt when it isn't of that form.
std::optional<std::int64_t> titleTimeFrames(std::string_view text, std::int32_t timeBase);

// Reads the title from its tag lines. A track's language is that of the title's
// AudioTrack/SubtitleTrack navigation entry whose track equals the clip entry's track, else
// the clip entry's own langcode, else "und". Chapters count from the clip's titleTimeBegin;
// those before it, or with a time not of the HH:MM:SS:FF form, are left out.
MatroskaTitle readMatroskaTitle(const std::vector<std::string>& titleLines,
                                std::string_view evoBase, std::int32_t timeBase);

// Attribute text with the XML character references and the five named entities replaced by
// the characters they stand for; anything else stays as it is.
std::string decodeXmlText(std::string_view text);

}  // namespace tarnwell
