#include "cli/read_json.h"

#include <nlohmann/json.hpp>
#include <string_view>

#include "formats/codec_table.h"
#include "jobs/output_naming.h"

namespace tarnwell::cli {

namespace {

// nlohmann's ordered object keeps the fields in the order the manual page lists them.
using Json = nlohmann::ordered_json;

Json ptsOrNull(std::int64_t pts) {
    return pts < 0 ? Json(nullptr) : Json(pts);
}

}  // namespace

std::string codecName(SlotKind kind, std::int32_t code) {
    const CodecRow* codec = codecFor(CodeUse::Found, kind, code);
    return codec ? std::string(codec->jsonName) : std::string();
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
        // A subpicture stream numbered 16 or more has no check box: no slot, no caption.
        const bool selectable = stream.number < StreamSelection::slotCount(stream.kind);
        streams.push_back({
            {"slot", selectable ? Json(slotName(stream.kind, stream.number)) : Json(nullptr)},
            {"code", stream.code},
            {"codec", codec.empty() ? Json(nullptr) : Json(codec)},
            {"caption",
             selectable ? Json(selection.Caption(stream.kind, stream.number)) : Json(nullptr)},
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
