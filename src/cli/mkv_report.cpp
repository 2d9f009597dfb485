#include "cli/mkv_report.h"

#include <nlohmann/json.hpp>

#include "selection/stream_selection.h"

namespace tarnwell::cli {

std::string mkvReportJson(const disc::Disc& disc, const std::vector<TitleMkvResult>& results) {
    using Json = nlohmann::ordered_json;
    Json titles = Json::array();
    for (const auto& result : results) {
        std::string name;
        for (const auto& title : disc.titles)
            if (title.number == result.number) name = title.name;
        Json seams = Json::array();
        for (const auto& seam : result.seams)
            seams.push_back({{"seam", seam.seam},
                             {"slot", slotName(seam.kind, seam.number)},
                             {"gap_ms", seam.gapMs}});
        titles.push_back({{"number", result.number},
                          {"name", name},
                          {"file", result.matroskaFile},
                          {"status", result.cancelled       ? "cancelled"
                                     : result.error.empty() ? "made"
                                                            : "failed"},
                          {"error", result.error.empty() ? Json(nullptr) : Json(result.error)},
                          {"seams", seams}});
    }
    return Json{{"titles", titles}}.dump(2) + "\n";
}

}  // namespace tarnwell::cli
