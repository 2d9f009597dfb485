#include "jobs/stream_routing.h"

namespace tarnwell {

StreamRouting::StreamRouting(const StreamSelection& selection, EngineState& state)
    : selection_(selection), state_(state) {
    files_.reserve(chosen_.size());
    for (auto& file : state.VideoOut) files_.emplace_back(file);
    for (auto& file : state.AudioOut) files_.emplace_back(file);
    for (auto& file : state.SubOut) files_.emplace_back(file);
}

int StreamRouting::limit(SlotKind kind) {
    return kind == SlotKind::Video   ? kVideoOutputs
           : kind == SlotKind::Audio ? kAudioSlots
                                     : kSubSlots;
}

int StreamRouting::index(SlotKind kind, int n) {
    if (n < 0 || n >= limit(kind)) return -1;
    if (kind == SlotKind::Video) return n;
    return kind == SlotKind::Audio ? kVideoOutputs + n : kVideoOutputs + kAudioSlots + n;
}

void StreamRouting::setOutput(SlotKind kind, int n, PayloadOutput* output) {
    const int i = index(kind, n);
    if (i >= 0) chosen_[i] = output;
}

PayloadOutput* StreamRouting::payload(SlotKind kind, int n) {
    const int i = index(kind, n);
    if (i < 0 || !selection_.IsChecked(kind, n)) return nullptr;
    if (chosen_[i]) return chosen_[i];
    FileOutput& out = files_[i];
    return out.file().isOpen() ? &out : nullptr;
}

OutputFile* StreamRouting::timeStamps(int n) {
    if (n < 0 || n >= kSubSlots) return nullptr;
    OutputFile& out = state_.SubPtsOut[n];
    return out.isOpen() ? &out : nullptr;
}

bool StreamRouting::videoSelected(int n) const {
    return selection_.IsChecked(SlotKind::Video, n);
}

void StreamRouting::flush() {
    for (PayloadOutput* output : chosen_)
        if (output) output->flush();
}

}  // namespace tarnwell
