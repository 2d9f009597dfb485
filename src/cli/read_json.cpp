#include "cli/read_json.h"

#include <nlohmann/json.hpp>
#include <string_view>

#include "jobs/output_naming.h"

namespace tarnwell::cli {

namespace {

// nlohmann's ordered object keeps the fields in the order the manual page lists them.
using Json = nlohmann::ordered_json;

Json ptsOrNull(std::int64_t pts) {
    return pts < 0 ? Json(nullptr) : Json(pts);
}

}  // namespace

std::string slotName(SlotKind kind, int n) {
    switch (kind) {
        case SlotKind::Video:
            return "video" + std::to_string(n);
        case SlotKind::Audio:
        case SlotKind::Subpicture:
            break;
    }
    const std::string digits = (n < 10 ? "0" : "") + std::to_string(n);
    return (kind == SlotKind::Audio ? "audio" : "sub") + digits;
}

std::string codecName(SlotKind kind, std::int32_t code) {
    struct CodeRange {
        SlotKind kind;
        std::int32_t first;
        std::int32_t last;
        std::string_view name;
    };
    static constexpr CodeRange kRanges[] = {
        {SlotKind::Video, 0xE0, 0xE1, "MPEG-2"},
        {SlotKind::Video, 0xE2, 0xE3, "H.264"},
        {SlotKind::Video, 0x55, 0x56, "VC-1"},
        {SlotKind::Audio, 0x80, 0x87, "DD"},
        {SlotKind::Audio, 0x88, 0x8F, "DTS-HD"},
        {SlotKind::Audio, 0xC0, 0xCF, "DD+"},
        {SlotKind::Audio, 0xA0, 0xA7, "LPCM"},
        {SlotKind::Audio, 0xB0, 0xB7, "MLP"},
        {SlotKind::Subpicture, 0x20, 0x3F, "Subpicture"},
        {SlotKind::Subpicture, 0x60, 0x7F, "Ext.Subpicture"},
    };
    for (const auto& range : kRanges)
        if (range.kind == kind && code >= range.first && code <= range.last)
            return std::string(range.name);
    return {};
}

std::string readJsonText(const std::string& file, const ScanResult& scan,
                         const std::array<std::int32_t, kVideoOutputs>& frameCounts,
                         const StreamSelection& selection) {
    const FoundStream* video0 = scan.find(SlotKind::Video, 0);
    const std::int64_t videoPts = video0 ? video0->firstPts : -1;
    Json streams = Json::array();
    for (const auto& stream : scan.streams) {
        const auto codec = codecName(stream.kind, stream.code);
        Json delay = nullptr;
        if (stream.firstPts >= 0 && videoPts >= 0) delay = streamDelayMs(stream.firstPts, videoPts);
        streams.push_back({
            {"slot", slotName(stream.kind, stream.number)},
            {"code", stream.code},
            {"codec", codec.empty() ? Json(nullptr) : Json(codec)},
            {"caption", selection.Caption(stream.kind, stream.number)},
            {"first_pts", ptsOrNull(stream.firstPts)},
            {"delay_ms", delay},
            {"packets", stream.packets},
            {"bytes", stream.bytes},
        });
    }
    const Json document = {
        {"file", file},
        {"size", scan.fileSize},
        {"cut_by_fast_check", scan.cutByFastCheck},
        {"frame_counts", frameCounts},
        {"streams", streams},
    };
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace tarnwell::cli
