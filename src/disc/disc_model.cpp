#include "disc/disc_model.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <pugixml.hpp>
#include <unordered_map>

#include "formats/slot_limits.h"

namespace tarnwell::disc {

namespace {

namespace fs = std::filesystem;

// Element names compared without a namespace prefix: "pl:Title" is a Title too.
bool named(const pugi::xml_node& node, std::string_view name) {
    std::string_view full = node.name();
    if (const auto colon = full.rfind(':'); colon != std::string_view::npos)
        full.remove_prefix(colon + 1);
    return full == name;
}

std::string text(const pugi::xml_node& node, const char* attribute) {
    return node.attribute(attribute).value();
}

// An optional sign and decimal digits that fit an int; anything else is no integer.
std::optional<int> integer(const pugi::xml_node& node, const char* attribute) {
    std::string_view value = node.attribute(attribute).value();
    if (!value.empty() && value.front() == '+') {
        value.remove_prefix(1);
        if (!value.empty() && value.front() == '-') return std::nullopt;
    }
    int number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size())
        return std::nullopt;
    return number;
}

// The leading digits of a timeBase ("24fps"); 60 when there are none or they make 0.
std::int32_t timeBaseOf(const pugi::xml_node& titleSet) {
    std::string_view value = titleSet.attribute("timeBase").value();
    std::int32_t fps = 0;
    for (std::size_t i = 0; i < value.size() && value[i] >= '0' && value[i] <= '9' && fps < 1000;
         ++i)
        fps = fps * 10 + (value[i] - '0');
    return fps > 0 ? fps : kDefaultTimeBase;
}

// "HH:MM:SS:FF" as frames of `timeBase`; nullopt when absent or not of that form.
std::optional<std::int64_t> frames(const pugi::xml_node& node, const char* attribute,
                                   std::int32_t timeBase) {
    const std::string_view value = node.attribute(attribute).value();
    std::int64_t fields[4] = {};
    std::size_t at = 0;
    for (int field = 0; field < 4; ++field) {
        const std::size_t start = at;
        while (at < value.size() && at - start < 9 && value[at] >= '0' && value[at] <= '9')
            fields[field] = fields[field] * 10 + (value[at++] - '0');
        if (at == start) return std::nullopt;
        if (field < 3 && (at >= value.size() || value[at++] != ':')) return std::nullopt;
    }
    if (at != value.size()) return std::nullopt;
    return ((fields[0] * 60 + fields[1]) * 60 + fields[2]) * timeBase + fields[3];
}

std::string languageOf(std::string_view langcode) {
    return std::string(langcode.substr(0, langcode.find(':')));
}

// "file:///dvddisc/HVDVD_TS/FEATURE_1.MAP" plays HVDVD_TS/FEATURE_1.EVO.
fs::path evoOf(std::string_view src) {
    if (const auto slash = src.find_last_of("/\\"); slash != std::string_view::npos)
        src.remove_prefix(slash + 1);
    src = src.substr(0, src.rfind('.'));
    if (src.empty()) return {};
    return fs::path("HVDVD_TS") / (std::string(src) + ".EVO");
}

struct Attributes {
    std::string codec;
    std::optional<int> channels;
};

// The media attribute items by index; a later item of the same index replaces an earlier one.
struct AttributeTables {
    std::map<int, Attributes> video, audio, subpicture;

    const Attributes* find(const std::map<int, Attributes>& table,
                           const pugi::xml_node& entry) const {
        const auto index = integer(entry, "mediaAttr");
        const auto found = index ? table.find(*index) : table.end();
        return found == table.end() ? nullptr : &found->second;
    }
};

AttributeTables attributeTables(const pugi::xml_node& playlist) {
    AttributeTables tables;
    for (const auto& list : playlist.children()) {
        if (!named(list, "MediaAttributeList")) continue;
        for (const auto& item : list.children()) {
            auto* table = named(item, "VideoAttributeItem")        ? &tables.video
                          : named(item, "AudioAttributeItem")      ? &tables.audio
                          : named(item, "SubpictureAttributeItem") ? &tables.subpicture
                                                                   : nullptr;
            const auto index = integer(item, "index");
            if (table && index) (*table)[*index] = {text(item, "codec"), integer(item, "channels")};
        }
    }
    return tables;
}

// The languages the title's navigation entries give its tracks, by track number.
struct Navigation {
    std::vector<std::pair<int, std::string>> audio, subtitles;
};

Navigation navigationOf(const pugi::xml_node& title) {
    Navigation navigation;
    for (const auto& list : title.children()) {
        if (!named(list, "TrackNavigationList")) continue;
        for (const auto& entry : list.children()) {
            auto* languages = named(entry, "AudioTrack")      ? &navigation.audio
                              : named(entry, "SubtitleTrack") ? &navigation.subtitles
                                                              : nullptr;
            auto language = languageOf(entry.attribute("langcode").value());
            if (languages && !language.empty())
                languages->emplace_back(integer(entry, "track").value_or(0), std::move(language));
        }
    }
    return navigation;
}

class TitleReader {
  public:
    TitleReader(const AttributeTables& tables, std::int32_t timeBase)
        : tables_(tables), timeBase_(timeBase) {}

    Title read(const pugi::xml_node& node, int place) {
        Title title;
        title.number = integer(node, "titleNumber").value_or(place);
        title.id = text(node, "id");
        title.name = text(node, "displayName");
        title.duration = frames(node, "titleDuration", timeBase_);
        title.timeBase = timeBase_;
        const Navigation navigation = navigationOf(node);
        for (const auto& child : node.children()) {
            if (named(child, "PrimaryAudioVideoClip")) {
                readClip(child, navigation, title);
            } else if (named(child, "ChapterList")) {
                for (const auto& chapter : child.children()) {
                    if (!named(chapter, "Chapter")) continue;
                    if (const auto start = frames(chapter, "titleTimeBegin", timeBase_))
                        title.chapters.push_back({*start, text(chapter, "displayName")});
                }
            }
        }
        const auto byNumber = [](const auto& a, const auto& b) { return number(a) < number(b); };
        std::sort(title.video.begin(), title.video.end(), byNumber);
        std::sort(title.audio.begin(), title.audio.end(), byNumber);
        std::sort(title.subtitles.begin(), title.subtitles.end(), byNumber);
        return title;
    }

  private:
    static int number(const VideoTrack& track) { return track.track; }
    static int number(const Track& track) { return track.stream; }

    void readClip(const pugi::xml_node& node, const Navigation& navigation, Title& title) {
        Clip clip;
        clip.src = text(node, "src");
        clip.evo = evoOf(clip.src);
        clip.titleBegin = frames(node, "titleTimeBegin", timeBase_).value_or(0);
        clip.titleEnd = frames(node, "titleTimeEnd", timeBase_);
        clip.clipBegin = frames(node, "clipTimeBegin", timeBase_).value_or(0);
        title.clips.push_back(std::move(clip));

        for (const auto& entry : node.children()) {
            if (named(entry, "Video")) {
                const int track = integer(entry, "track").value_or(0);
                if (track < 1 || track > kVideoEntries || listed(title.video, track)) continue;
                const auto* item = tables_.find(tables_.video, entry);
                title.video.push_back({track, item ? item->codec : std::string()});
            } else if (named(entry, "Audio")) {
                addTrack(entry, tables_.audio, navigation.audio, kAudioEntries, title.audio, true);
            } else if (named(entry, "Subtitle")) {
                addTrack(entry, tables_.subpicture, navigation.subtitles, kSubEntries,
                         title.subtitles, false);
            }
        }
    }

    template <typename T>
    static bool listed(const std::vector<T>& tracks, int n) {
        return std::any_of(tracks.begin(), tracks.end(),
                           [n](const T& t) { return number(t) == n; });
    }

    void addTrack(const pugi::xml_node& entry, const std::map<int, Attributes>& table,
                  const std::vector<std::pair<int, std::string>>& navigation, int streams,
                  std::vector<Track>& tracks, bool withChannels) const {
        const int stream = integer(entry, "streamNumber").value_or(0);
        if (stream < 1 || stream > streams || listed(tracks, stream)) return;
        Track track;
        track.stream = stream;
        if (const auto* item = tables_.find(table, entry)) {
            track.codec = item->codec;
            if (withChannels) track.channels = item->channels;
        }
        track.description = text(entry, "description");
        const int number = integer(entry, "track").value_or(0);
        const auto nav = std::find_if(navigation.begin(), navigation.end(),
                                      [number](const auto& n) { return n.first == number; });
        const auto own = languageOf(entry.attribute("langcode").value());
        track.language = nav != navigation.end() ? nav->second : !own.empty() ? own : "und";
        tracks.push_back(std::move(track));
    }

    const AttributeTables& tables_;
    std::int32_t timeBase_;
};

bool sameNoCase(std::string_view a, std::string_view b) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return upper(x) == upper(y); });
}

std::string upperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return text;
}

// The entries of a folder; none when it can't be read.
std::vector<fs::directory_entry> entriesOf(const fs::path& folder) {
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        entries.push_back(*it);
    return entries;
}

std::optional<fs::path> subfolder(const fs::path& folder, std::string_view name) {
    for (const auto& entry : entriesOf(folder)) {
        std::error_code error;
        if (sameNoCase(entry.path().filename().string(), name) && entry.is_directory(error))
            return entry.path();
    }
    return std::nullopt;
}

// The path made absolute, without "." and ".." and without a trailing slash, so that its
// last name is the folder's or the file's own name ("." in ADV_OBJ is ADV_OBJ).
fs::path plainPath(const fs::path& path) {
    std::error_code error;
    auto normal = fs::absolute(path, error).lexically_normal();
    if (!normal.has_filename() && normal != normal.root_path()) normal = normal.parent_path();
    return normal;
}

bool namedNoCase(const fs::path& path, std::string_view name) {
    return sameNoCase(path.filename().string(), name);
}

// VPLST<digits>.XPL in any letter case; the number, or nullopt for any other name.
std::optional<unsigned long> playlistNumber(const std::string& name) {
    const auto upper = upperCase(name);
    if (upper.size() <= 9 || upper.rfind("VPLST", 0) != 0 || !upper.ends_with(".XPL"))
        return std::nullopt;
    const std::string_view digits(upper.data() + 5, upper.size() - 9);
    unsigned long number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return number;
}

fs::path lowestPlaylist(const fs::path& root) {
    const auto advObj = subfolder(root, "ADV_OBJ");
    if (!advObj) throw PlaylistError(root.string() + ": no playlist: no ADV_OBJ folder");
    std::optional<std::pair<unsigned long, fs::path>> lowest;
    for (const auto& entry : entriesOf(*advObj)) {
        const auto number = playlistNumber(entry.path().filename().string());
        if (number && (!lowest || *number < lowest->first)) lowest.emplace(*number, entry.path());
    }
    if (!lowest) throw PlaylistError(advObj->string() + ": no playlist: no VPLST*.XPL file");
    return lowest->second;
}

std::string readWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw PlaylistError(file.string() + ": cannot open: " + std::strerror(errno));
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw PlaylistError(file.string() + ": cannot read: " + std::strerror(errno));
    return content;
}

// Marks each clip whose EVO file lies in HVDVD_TS (names compared without letter case) and
// gives it the names as they are on disk.
void findClips(const fs::path& root, Disc& disc) {
    const auto hvdvd = subfolder(root, "HVDVD_TS");
    std::unordered_map<std::string, fs::directory_entry> files;
    if (hvdvd)
        for (const auto& entry : entriesOf(*hvdvd))
            files.emplace(upperCase(entry.path().filename().string()), entry);
    const fs::path folder = hvdvd ? hvdvd->filename() : fs::path("HVDVD_TS");
    for (auto& title : disc.titles) {
        for (auto& clip : title.clips) {
            if (clip.evo.empty()) continue;
            const auto found = files.find(upperCase(clip.evo.filename().string()));
            std::error_code error;
            if (found == files.end() || !found->second.is_regular_file(error)) {
                clip.evo = folder / clip.evo.filename();
                continue;
            }
            clip.evo = folder / found->second.path().filename();
            clip.present = true;
            if (const auto size = found->second.file_size(error); !error) clip.size = size;
        }
    }
}

}  // namespace

double toSeconds(std::int64_t frames, std::int32_t timeBase) {
    return static_cast<double>(frames) / (timeBase > 0 ? timeBase : kDefaultTimeBase);
}

std::int64_t toNanoseconds(std::int64_t frames, std::int32_t timeBase) {
    if (timeBase <= 0) timeBase = kDefaultTimeBase;
    // Whole seconds and the frames left apart, so that no time a playlist can write (up to
    // 999,999,999 hours) overflows; beyond what nanoseconds can hold it stays at the limit.
    constexpr std::int64_t kNs = 1'000'000'000;
    constexpr std::int64_t kMaxSeconds = std::numeric_limits<std::int64_t>::max() / kNs - 1;
    const std::int64_t seconds = frames / timeBase;
    if (seconds > kMaxSeconds) return std::numeric_limits<std::int64_t>::max();
    if (seconds < -kMaxSeconds) return std::numeric_limits<std::int64_t>::min();
    const std::int64_t rest = frames % timeBase * kNs;
    return seconds * kNs + (rest + (rest < 0 ? -1 : 1) * (timeBase / 2)) / timeBase;
}

Disc readPlaylist(std::string_view xml, std::string_view fileName) {
    const std::string prefix = std::string(fileName) + ": not a playlist: ";
    pugi::xml_document document;
    const auto parsed = document.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        const auto offset = std::min<std::size_t>(
            static_cast<std::size_t>(std::max<std::ptrdiff_t>(parsed.offset, 0)), xml.size());
        const auto line = 1 + std::count(xml.begin(), xml.begin() + offset, '\n');
        throw PlaylistError(prefix + "line " + std::to_string(line) + ": " + parsed.description());
    }
    const auto playlist = document.document_element();
    if (!named(playlist, "Playlist"))
        throw PlaylistError(prefix + "its top element is <" + playlist.name() +
                            ">, not <Playlist>");

    Disc disc;
    disc.name = text(playlist, "displayName");
    const auto tables = attributeTables(playlist);
    for (const auto& titleSet : playlist.children()) {
        if (!named(titleSet, "TitleSet")) continue;
        TitleReader reader(tables, timeBaseOf(titleSet));
        for (const auto& title : titleSet.children())
            if (named(title, "Title"))
                disc.titles.push_back(reader.read(title, static_cast<int>(disc.titles.size()) + 1));
    }
    return disc;
}

Disc openDisc(const std::filesystem::path& discRootOrFolderOrXpl,
              const std::optional<std::filesystem::path>& playlist) {
    const auto& typed = discRootOrFolderOrXpl;
    const fs::path given = plainPath(typed);
    std::error_code error;
    fs::path root;
    std::optional<fs::path> xpl = playlist;
    if (fs::is_directory(given, error)) {
        const bool inner = namedNoCase(given, "HVDVD_TS") || namedNoCase(given, "ADV_OBJ");
        root = inner ? given.parent_path() : given;
    } else if (fs::exists(given, error)) {
        // The playlist file itself: the disc root is the folder above its ADV_OBJ folder.
        if (!xpl) xpl = given;
        const auto folder = given.parent_path();
        root = namedNoCase(folder, "ADV_OBJ") ? folder.parent_path() : folder;
    } else {
        throw PlaylistError(typed.string() + ": no such disc folder or playlist");
    }
    if (!xpl) xpl = lowestPlaylist(root);

    Disc disc = readPlaylist(readWhole(*xpl), xpl->filename().string());
    disc.root = root;
    const auto relative = plainPath(*xpl).lexically_relative(root);
    const bool inside = !relative.empty() && *relative.begin() != "..";
    disc.playlist = inside ? relative : *xpl;
    findClips(root, disc);
    return disc;
}

}  // namespace tarnwell::disc
