#include "formats/mkvmerge_options.h"

#include <nlohmann/json.hpp>

#include "io/file_io.h"

namespace tarnwell {

std::vector<std::string> mkvmergeArguments(const MkvmergeJob& job) {
    std::vector<std::string> args{"--output", fullPath(job.output)};
    if (!job.title.empty()) args.insert(args.end(), {"--title", job.title});
    if (!job.chapters.empty()) args.insert(args.end(), {"--chapters", fullPath(job.chapters)});
    for (const auto& track : job.tracks) {
        args.insert(args.end(),
                    {"--language", "0:" + (track.language.empty() ? "und" : track.language)});
        if (!track.name.empty()) args.insert(args.end(), {"--track-name", "0:" + track.name});
        if (track.delayMs != 0)
            args.insert(args.end(), {"--sync", "0:" + std::to_string(track.delayMs)});
        args.push_back(fullPath(track.file));
    }
    return args;
}

std::string mkvmergeOptionText(const MkvmergeJob& job) {
    // Names from a playlist may hold bytes that are not UTF-8; they are replaced, not refused.
    return nlohmann::json(mkvmergeArguments(job))
               .dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
           "\n";
}

void writeMkvmergeOptionFile(const std::string& name, const MkvmergeJob& job) {
    writeTextFile(name, mkvmergeOptionText(job));
}

}  // namespace tarnwell
