// The disc model over arbitrary playlist text: the XML read, the title texts the list and the
// Titles tab show, the title plans a run takes and the file names it gives the titles. A read
// ends normally or with a PlaylistError; every time is finite; every file name is safe on any
// file system, fits one with " (NN).mkv" added, and is given once in a run.
//
// Input: the playlist text.

#include <cctype>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "disc/disc_model.h"
#include "disc/title_summary.h"
#include "fuzz_support.h"
#include "jobs/disc_titles.h"
#include "jobs/output_naming.h"

using namespace tarnwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    disc::Disc disc;
    try {
        disc = disc::readPlaylist(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const PlaylistError& error) {
        if (std::string_view(error.what()).find('\n') != std::string_view::npos)
            fuzz::finding("a playlist error of more than one line");
        return 0;
    }
    std::vector<std::pair<int, std::string>> names;
    for (const disc::Title& title : disc.titles) {
        const std::string texts = disc::durationText(title) + disc::filesText(title) +
                                  disc::tracksText(title.audio) + disc::chaptersText(title);
        if (texts.empty()) fuzz::finding("a title without words");
        if (title.duration && !std::isfinite(disc::toSeconds(*title.duration, title.timeBase)))
            fuzz::finding("a duration that is no number");
        for (const disc::Chapter& chapter : title.chapters)
            if (!std::isfinite(disc::toSeconds(chapter.start, title.timeBase)))
                fuzz::finding("a chapter time that is no number");
        const TitlePlan plan = titlePlan(disc, title);
        if (plan.clips.size() != title.clips.size()) fuzz::finding("a clip lost from the plan");
        names.emplace_back(title.number, title.name);
    }
    (void)disc::longestCompleteTitle(disc);

    std::set<std::string> given;
    for (const std::string& name : titleFileNames(names)) {
        if (name.empty() || name.size() + 10 > 255) fuzz::finding("a file name empty or too long");
        for (const char c : name)
            if (std::iscntrl(static_cast<unsigned char>(c)) ||
                std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos)
                fuzz::finding("a file name with a character some file system refuses");
        std::string folded = name;
        for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (!given.insert(folded).second) fuzz::finding("two titles given one file name");
    }
    return 0;
}
