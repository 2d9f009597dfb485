#include "jobs/title_time_line.h"

#include "formats/pts.h"

namespace tarnwell {

TitleTimeLine::TitleTimeLine(const ClipList& clips, const std::vector<std::int64_t>& clipOffsetsNs)
    : clips_(clips), clip_(clips.paths().size()) {
    for (std::size_t k = 0; k < clip_.size() && k < clipOffsetsNs.size(); ++k)
        clip_[k].offsetTicks = clipOffsetsNs[k] * 9 / 100000;
}

int TitleTimeLine::slotIndex(SlotKind kind, int n) {
    const int limit = kind == SlotKind::Video   ? kVideoOutputs
                      : kind == SlotKind::Audio ? kAudioSlots
                                                : kSubSlots;
    if (n < 0 || n >= limit) return -1;
    if (kind == SlotKind::Video) return n;
    return kind == SlotKind::Audio ? kVideoOutputs + n : kVideoOutputs + kAudioSlots + n;
}

void TitleTimeLine::see(SlotKind kind, int n, const PacketInfo& packet, bool written) {
    const int i = slotIndex(kind, n);
    if (i < 0 || clips_.current() >= clip_.size()) return;
    written_[i] = written_[i] || written;
    if (!packet.starts || packet.pts < 0) return;
    Clip& clip = clip_[clips_.current()];
    Times& times = clip.times[i];
    if (times.first < 0) times.first = packet.pts;
    times.previous = times.last;
    times.last = packet.pts;
    if (clip.anyFirst < 0) clip.anyFirst = packet.pts;
    if (i == 0 && clip.origin < 0) clip.origin = packet.pts;
}

std::int64_t TitleTimeLine::origin(Clip& clip) {
    if (clip.origin < 0)
        clip.origin = clip.times[0].first >= 0 ? clip.times[0].first : clip.anyFirst;
    return clip.origin;
}

std::int64_t TitleTimeLine::titlePts(std::int64_t pts) {
    const std::size_t k = clips_.current();
    if (k == 0 || k >= clip_.size() || pts < 0) return pts;
    const std::int64_t first = origin(clip_[0]);
    const std::int64_t here = origin(clip_[k]);
    if (first < 0 || here < 0) return pts;
    return wrappedPts(first + clip_[k].offsetTicks - clip_[0].offsetTicks + ptsDistance(pts, here));
}

std::vector<SeamFigure> TitleTimeLine::seams() const {
    std::vector<SeamFigure> figures;
    for (std::size_t k = 0; k + 1 < clip_.size(); ++k) {
        Clip before = clip_[k], after = clip_[k + 1];  // their origins fixed here, if not yet
        const std::int64_t originBefore = origin(before), originAfter = origin(after);
        if (originBefore < 0 || originAfter < 0) continue;
        for (int i = 0; i < kVideoOutputs + kAudioSlots; ++i) {
            const Times& end = before.times[i];
            const Times& start = after.times[i];
            if (!written_[i] || end.last < 0 || start.first < 0) continue;
            const std::int64_t step = end.previous < 0 ? 0 : ptsDistance(end.last, end.previous);
            const std::int64_t ends =
                before.offsetTicks + ptsDistance(end.last, originBefore) + step;
            const std::int64_t starts = after.offsetTicks + ptsDistance(start.first, originAfter);
            const bool video = i < kVideoOutputs;
            figures.push_back({static_cast<int>(k + 1), video ? SlotKind::Video : SlotKind::Audio,
                               video ? i : i - kVideoOutputs, ticksToMs(starts - ends)});
        }
    }
    return figures;
}

TitleRouting::TitleRouting(OutputRouting& inner, TitleTimeLine& timeLine)
    : inner_(inner), timeLine_(timeLine), seen_(TitleTimeLine::kSlots) {
    for (const auto kind : {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture})
        for (int n = 0; TitleTimeLine::slotIndex(kind, n) >= 0; ++n) {
            Seen& seen = seen_[static_cast<std::size_t>(TitleTimeLine::slotIndex(kind, n))];
            seen.timeLine = &timeLine_;
            seen.kind = kind;
            seen.number = n;
        }
}

PayloadOutput* TitleRouting::payload(SlotKind kind, int n) {
    PayloadOutput* output = inner_.payload(kind, n);
    const int i = TitleTimeLine::slotIndex(kind, n);
    if (i < 0 || (!output && i != 0)) return output;
    Seen& seen = seen_[static_cast<std::size_t>(i)];
    seen.output = output;
    return &seen;
}

void TitleRouting::Seen::write(std::span<const std::uint8_t> chunk, const PacketInfo& packet) {
    timeLine->see(kind, number, packet, output != nullptr);
    if (!output) return;
    if (kind != SlotKind::Subpicture || packet.pts < 0) {
        output->write(chunk, packet);
        return;
    }
    PacketInfo moved = packet;
    moved.pts = timeLine->titlePts(packet.pts);
    output->write(chunk, moved);
}

}  // namespace tarnwell
