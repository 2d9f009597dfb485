#pragma once
// The disc as its playlist describes it: every title of every TitleSet with its clips (the EVO
// files it plays, in order), its tracks and its chapters. Read with an XML parser, apart from
// Read XPL's tag scan, which stays the window's XPL tab; for one title both give the same
// names, languages and chapter times. Plain values: the model is built once and only read.
//
// Times are whole frames of the title's TitleSet timeBase ("HH:MM:SS:FF", FF counting frames
// of the timeBase, 60 when absent; no 1000/1001 factor), so nothing is lost before a writer
// turns them into seconds or nanoseconds with the functions below.
//
// Unknown elements and attributes are passed over. A time that isn't of the HH:MM:SS:FF form
// reads as absent: a clip's begin times then count as 0, a chapter is left out.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_error.h"

namespace tarnwell::disc {

inline constexpr std::int32_t kDefaultTimeBase = 60;

struct Clip {
    std::string src;  // the clip's src as written: "file:///dvddisc/HVDVD_TS/FEATURE_1.MAP"
    // Relative to the disc root, with the letter case found on disk ("HVDVD_TS/FEATURE_1.EVO");
    // when the file is missing, the name the src gives it. Empty when the clip has no src.
    std::filesystem::path evo;
    bool present = false;               // the EVO file is on disk (openDisc alone looks)
    std::optional<std::uint64_t> size;  // its size in bytes, when present
    std::int64_t titleBegin = 0;        // frames: where the clip starts on the title's time line
    std::optional<std::int64_t> titleEnd;
    std::int64_t clipBegin = 0;  // frames into the EVO file where playing starts
};

struct VideoTrack {
    int track = 0;
    std::string codec;  // of the VideoAttributeItem its mediaAttr names, as written
};

struct Track {
    int stream = 0;     // the streamNumber: 1 is stream 0 of the stream table (audio00, sub00)
    std::string codec;  // of the attribute item its mediaAttr names, as written ("DD+")
    std::optional<int> channels;  // the item's channels, when an integer (audio only)
    // The part before ":" of the langcode of the title's AudioTrack/SubtitleTrack navigation
    // entry with the same track number, else of the clip entry's own langcode, else "und".
    std::string language = "und";
    std::string description;
};

struct Chapter {
    std::int64_t start = 0;  // frames on the title's time line
    std::string name;
};

struct Title {
    int number = 0;  // titleNumber; when absent or no integer, the title's place on the disc
    std::string id;
    std::string name;                      // displayName
    std::optional<std::int64_t> duration;  // frames: titleDuration
    std::int32_t timeBase = kDefaultTimeBase;
    std::vector<Clip> clips;  // PrimaryAudioVideoClip elements, in document order
    // Each track number or stream number once: where clips of the title list one differently,
    // the first listing holds. In order of track or stream number.
    std::vector<VideoTrack> video;
    std::vector<Track> audio;
    std::vector<Track> subtitles;
    std::vector<Chapter> chapters;  // in document order
};

struct Disc {
    std::filesystem::path root;      // the folder holding HVDVD_TS and ADV_OBJ (absolute)
    std::string name;                // the Playlist's displayName
    std::filesystem::path playlist;  // relative to root when inside it ("ADV_OBJ/VPLST000.XPL")
    std::vector<Title> titles;       // in document order
};

// Frames of `timeBase` as seconds and as nanoseconds (rounded to the nearest, half away from
// zero; held at the limits of the type where they would overflow).
double toSeconds(std::int64_t frames, std::int32_t timeBase);
std::int64_t toNanoseconds(std::int64_t frames, std::int32_t timeBase);

// The model of playlist text, touching no file: every clip is marked not present, its evo
// the name its src gives. `fileName` names the playlist in errors. Throws PlaylistError (from
// io/file_error.h) when the text is not well-formed, on one line naming the file:
// "VPLST000.XPL: not a playlist: line 7: Start-end tags mismatch".
Disc readPlaylist(std::string_view xml, std::string_view fileName = "VPLST000.XPL");

// Opens a disc from its root folder, its HVDVD_TS or ADV_OBJ folder, or its playlist file. The
// playlist is `playlist` when given, else the VPLST*.XPL of ADV_OBJ with the lowest number;
// each clip's EVO file is looked up in HVDVD_TS, letter case ignored. Throws PlaylistError, on
// one line naming the file or folder, also when there is no playlist or it cannot be read.
Disc openDisc(const std::filesystem::path& discRootOrFolderOrXpl,
              const std::optional<std::filesystem::path>& playlist = std::nullopt);

}  // namespace tarnwell::disc
