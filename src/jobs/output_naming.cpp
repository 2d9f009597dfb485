#include "jobs/output_naming.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "formats/codec_table.h"
#include "formats/pts.h"
#include "jobs/input_choice.h"

namespace tarnwell {

std::string outputBase(std::string_view workdir, std::string_view stem) {
    std::string base(workdir);
    if (!base.empty() && base.back() != kPathSeparator) base += kPathSeparator;
    base += stem;
    return base;
}

std::string streamFileName(std::string_view base, std::string_view caption,
                           std::string_view extension) {
    std::string name(base);
    name += '.';
    name += caption;
    name += '.';
    name += extension;
    return name;
}

std::string ptsFileName(std::string_view base, std::string_view caption) {
    return streamFileName(base, caption, "pts");
}

std::string rebuiltFileName(std::string_view base) {
    std::string name(base);
    name += ".rebuilt.EVO";
    return name;
}

std::string_view codecExtension(SlotKind kind, std::int32_t code) {
    const CodecRow* codec = codecFor(CodeUse::Found, kind, code);
    return codec ? codec->extension : std::string_view{};
}

std::int64_t streamDelayMs(std::int64_t firstPts, std::int64_t videoFirstPts) {
    if (firstPts < 0 || videoFirstPts < 0) return 0;
    return ticksToMs(ptsDistance(firstPts, videoFirstPts));
}

std::string delayedStreamFileName(std::string_view base, std::string_view caption,
                                  std::int64_t delayMs, std::string_view extension) {
    if (delayMs == 0) return streamFileName(base, caption, extension);
    return streamFileName(base, std::string(caption) + " DELAY " + std::to_string(delayMs) + "ms",
                          extension);
}

std::string chaptersFileName(std::string_view base) {
    return std::string(base) + ".chapters.xml";
}

std::string mkvmergeOptionFileName(std::string_view base) {
    return std::string(base) + ".mkvmerge.json";
}

std::string matroskaFileName(std::string_view base) {
    return std::string(base) + ".mkv";
}

namespace {

std::string safeTitleName(int number, std::string_view name) {
    std::string safe;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool refused = byte < 0x20 || byte == 0x7F ||
                             std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
        safe += refused ? '_' : c;
    }
    if (safe.empty()) return "Title " + std::to_string(number);
    // With " (NN)" and ".mkv" it stays within the 255 bytes a file name may hold; the cut falls
    // before a UTF-8 character, not inside one (bytes that are no UTF-8 are cut at the limit).
    if (safe.size() > kTitleNameBytes) {
        std::size_t end = kTitleNameBytes;
        const auto inside = [&](std::size_t at) {
            return (static_cast<unsigned char>(safe[at]) & 0xC0) == 0x80;
        };
        while (end > kTitleNameBytes - 3 && inside(end)) --end;
        safe.resize(inside(end) ? kTitleNameBytes : end);
    }
    return safe;
}

std::string folded(std::string_view name) {
    std::string lower(name);
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

std::vector<std::string> titleFileNames(const std::vector<std::pair<int, std::string>>& titles) {
    std::vector<std::size_t> order(titles.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return titles[a].first < titles[b].first;
    });
    std::vector<std::string> names(titles.size());
    std::set<std::string> taken;
    for (const auto i : order) {
        const auto safe = safeTitleName(titles[i].first, titles[i].second);
        auto name = safe;
        for (int again = 2; taken.contains(folded(name)); ++again)
            name = safe + " (" + std::to_string(again) + ")";
        taken.insert(folded(name));
        names[i] = name;
    }
    return names;
}

std::string titleWorkFolder(std::string_view dir, int number) {
    return outputBase(dir.empty() ? std::string_view(".") : dir,
                      ".tarnwell-title-" + std::to_string(number));
}

std::string titleMatroskaFile(std::string_view dir, std::string_view name) {
    return matroskaFileName(outputBase(dir, name));
}

}  // namespace tarnwell
