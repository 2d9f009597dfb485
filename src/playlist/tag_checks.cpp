#include "playlist/tag_checks.h"

#include "playlist/attribute_lookup.h"

namespace tarnwell {

std::string invalidIntegerText(std::string_view value) {
    return "'" + std::string(value) + "' is not a valid integer value";
}

void TagChecks::keepFound(std::string& memory, std::string_view tag, std::string_view name) {
    auto value = GetAttr(tag, name);
    if (value.found) memory = std::move(value.text);
}

int TagChecks::tableIndex(const std::string& indexText) {
    const auto index = parseInteger(indexText);
    if (!index) throw PlaylistError(invalidIntegerText(indexText));
    // An index the tables have no place for changes no table.
    return *index >= 1 && *index <= kAttrTableSize ? *index : 0;
}

void TagChecks::run(std::string_view tag) {
    if (tag.find("Playlist") != std::string_view::npos) {
        // The closing tag of the playlist has no name and leaves the one found before.
        auto name = GetAttr(tag, "displayName");
        if (name.found) playlistName_ = std::move(name.text);
    }
    if (tag.find("VideoAttributeItem") != std::string_view::npos) {
        keepFound(video_.index, tag, "index");
        keepFound(video_.codec, tag, "codec");
        if (const int i = tableIndex(video_.index)) playlist_.VideoAttr[i] = video_.codec;
    }
    if (tag.find("AudioAttributeItem") != std::string_view::npos) {
        keepFound(audio_.index, tag, "index");
        keepFound(audio_.codec, tag, "codec");
        keepFound(audio_.channels, tag, "channels");
        if (const int i = tableIndex(audio_.index)) {
            playlist_.AudioAttr[i] = audio_.codec;
            if (!audio_.channels.empty()) playlist_.AudioAttr[i] += "." + audio_.channels + "ch";
        }
    }
    if (tag.find("SubpictureAttributeItem") != std::string_view::npos) {
        keepFound(sub_.index, tag, "index");
        keepFound(sub_.codec, tag, "codec");
        if (const int i = tableIndex(sub_.index)) playlist_.SubAttr[i] = sub_.codec;
    }
}

}  // namespace tarnwell
