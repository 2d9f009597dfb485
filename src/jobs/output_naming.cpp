#include "jobs/output_naming.h"

#include "formats/codec_table.h"
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
    constexpr std::int64_t kWrap = std::int64_t{1} << 33;
    std::int64_t ticks = (firstPts - videoFirstPts) % kWrap;
    if (ticks < 0) ticks += kWrap;
    if (ticks >= kWrap / 2) ticks -= kWrap;
    const std::int64_t ms = (ticks < 0 ? -ticks + 45 : ticks + 45) / 90;
    return ticks < 0 ? -ms : ms;
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

}  // namespace tarnwell
