#include "playlist/playlist_tree.h"

#include "playlist/attribute_lookup.h"

namespace tarnwell {

namespace {

enum TopNode : std::size_t { kInfo, kVideo, kAudio, kSubtitle, kChapter };

std::string twoDigits(int number) {
    auto digits = std::to_string(number);
    if (number < 10) digits.insert(0, "0");
    return digits;
}

// Marks the number as listed; false when it was listed already or has no place.
bool markListed(std::array<bool, kMaxListedNumber>& listed, int number) {
    if (number < 1 || number > kMaxListedNumber) return false;
    auto& entry = listed[static_cast<std::size_t>(number - 1)];
    if (entry) return false;
    entry = true;
    return true;
}

void addNode(std::vector<TreeNode>& tree, TopNode parent, std::string text) {
    tree[parent].children.push_back({std::move(text), {}});
}

}  // namespace

TitleTree buildTitleTree(const std::vector<std::string>& titleLines, std::string_view playlistName,
                         TrackListing listing) {
    TitleTree result;
    auto& tree = result.nodes;
    tree = {{"Info", {}}, {"Video", {}}, {"Audio", {}}, {"Subtitle", {}}, {"Chapter", {}}};
    if (!playlistName.empty()) addNode(tree, kInfo, "Title: " + std::string(playlistName));

    auto listStream = [&](std::string_view line, auto& listed, const auto& table, TopNode parent,
                          SlotKind kind) {
        const int stream = GetAttrInt(line, "streamNumber");
        if (!markListed(listed, stream)) return;
        const int attr = GetAttrInt(line, "mediaAttr");
        const auto text = PlaylistState::entry(table, attr) + ".stream." + twoDigits(stream - 1) +
                          "." + GetAttr(line, "description").text;
        addNode(tree, parent, text);
        listing.sink.log(text + " found!");
        result.slots.push_back({kind, stream - 1, text});
    };

    for (const auto& line : titleLines) {
        if (containsNoCase(line, "<TITLE ")) {
            addNode(tree, kInfo, "Name: " + GetAttr(line, "displayName").text);
            addNode(tree, kInfo, "Duration: " + GetAttr(line, "titleDuration").text);
        }
        if (containsNoCase(line, "<VIDEO ")) {
            const int track = GetAttrInt(line, "track");
            if (markListed(result.listed.video, track)) {
                const int attr = GetAttrInt(line, "mediaAttr");
                const auto text = PlaylistState::entry(listing.tables.VideoAttr, attr) +
                                  ".stream." + std::to_string(track - 1);
                addNode(tree, kVideo, text);
                listing.sink.log(text + " found!");
                // Only the first video track has a check box of its own.
                if (track == 1) result.slots.push_back({SlotKind::Video, 0, text});
            }
        }
        if (containsNoCase(line, "<AUDIO "))
            listStream(line, result.listed.audio, listing.tables.AudioAttr, kAudio,
                       SlotKind::Audio);
        if (containsNoCase(line, "<SUBTITLE "))
            listStream(line, result.listed.subtitles, listing.tables.SubAttr, kSubtitle,
                       SlotKind::Subpicture);
        if (containsNoCase(line, "<CHAPTER "))
            addNode(
                tree, kChapter,
                GetAttr(line, "titleTimeBegin").text + ": " + GetAttr(line, "displayName").text);
    }
    return result;
}

}  // namespace tarnwell
