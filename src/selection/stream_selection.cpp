#include "selection/stream_selection.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "formats/codec_table.h"

namespace tarnwell {

namespace {

const char* designCaption(SlotKind kind) {
    switch (kind) {
        case SlotKind::Video:
            return "Video stream";
        case SlotKind::Audio:
            return "Audio stream";
        case SlotKind::Subpicture:
            return "Subpicture";
    }
    return "";
}

// The captions Resetcbs gives; the subpicture one differs from SubTypeCaption(-1).
const char* emptySlotCaption(SlotKind kind) {
    switch (kind) {
        case SlotKind::Video:
            return "No video stream";
        case SlotKind::Audio:
            return "No audio stream";
        case SlotKind::Subpicture:
            return "No subpicture";
    }
    return "";
}

constexpr SlotKind kAllKinds[] = {SlotKind::Video, SlotKind::Audio, SlotKind::Subpicture};

std::string typeCaption(SlotKind kind, std::int32_t code) {
    const CodecRow* codec = codecFor(CodeUse::Captioned, kind, code);
    return codec ? std::string(codec->caption) : std::string();
}

}  // namespace

std::string slotDigits(SlotKind kind, int n) {
    std::string digits = std::to_string(n);
    if (kind != SlotKind::Video && digits.size() < 2) digits.insert(0, "0");
    return digits;
}

std::string slotName(SlotKind kind, int n) {
    const char* prefix = kind == SlotKind::Video   ? "video"
                         : kind == SlotKind::Audio ? "audio"
                                                   : "sub";
    return prefix + slotDigits(kind, n);
}

std::string VideoTypeCaption(std::int32_t code) {
    if (code == -1) return "No video stream";
    return typeCaption(SlotKind::Video, code);
}

std::string AudioTypeCaption(std::int32_t code) {
    if (code == -1) return "No audio stream";
    return typeCaption(SlotKind::Audio, code);
}

std::string SubTypeCaption(std::int32_t code) {
    if (code == -1) return "No subpicture stream";
    return typeCaption(SlotKind::Subpicture, code);
}

StreamSelection::StreamSelection() {
    for (const auto kind : kAllKinds)
        for (int n = 0; n < slotCount(kind); ++n) at(kind, n).Caption = designCaption(kind);
    for (int n = 1; n < kSubSlots; ++n) sub_[n].Hint = "Check the desired subpicture streams";
}

void StreamSelection::addObserver(SelectionObserver* observer) {
    observers_.push_back(observer);
}

void StreamSelection::removeObserver(SelectionObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

SelectionSlot* StreamSelection::group(SlotKind kind) {
    return const_cast<SelectionSlot*>(std::as_const(*this).group(kind));
}

const SelectionSlot* StreamSelection::group(SlotKind kind) const {
    switch (kind) {
        case SlotKind::Video:
            return video_.data();
        case SlotKind::Audio:
            return audio_.data();
        case SlotKind::Subpicture:
            return sub_.data();
    }
    return video_.data();
}

SelectionSlot& StreamSelection::at(SlotKind kind, int n) {
    if (n < 0 || n >= slotCount(kind)) throw std::out_of_range("selection slot");
    return group(kind)[n];
}

const SelectionSlot& StreamSelection::slot(SlotKind kind, int n) const {
    if (n < 0 || n >= slotCount(kind)) throw std::out_of_range("selection slot");
    return group(kind)[n];
}

void StreamSelection::notify(SlotKind kind, int n, SlotField field) {
    // Copy: an observer may add or remove observers while being told.
    const auto observers = observers_;
    for (auto* observer : observers) observer->slotChanged(kind, n, field);
    if (field == SlotField::Checked)
        for (auto* observer : observers) observer->cbVideoClick();
}

void StreamSelection::setEnabled(SlotKind kind, int n, bool enabled) {
    auto& s = at(kind, n);
    if (s.Enabled == enabled) return;
    s.Enabled = enabled;
    notify(kind, n, SlotField::Enabled);
}

void StreamSelection::setChecked(SlotKind kind, int n, bool checked) {
    auto& s = at(kind, n);
    if (s.Checked == checked) return;
    s.Checked = checked;
    notify(kind, n, SlotField::Checked);
}

void StreamSelection::setCaption(SlotKind kind, int n, std::string_view caption) {
    auto& s = at(kind, n);
    if (s.Caption == caption) return;
    s.Caption = std::string(caption);
    notify(kind, n, SlotField::Caption);
}

void StreamSelection::setHint(SlotKind kind, int n, std::string_view hint) {
    auto& s = at(kind, n);
    if (s.Hint == hint) return;
    s.Hint = std::string(hint);
    notify(kind, n, SlotField::Hint);
}

void StreamSelection::restore(const StreamSelection& saved) {
    for (const auto kind : kAllKinds)
        for (int n = 0; n < slotCount(kind); ++n) {
            const auto& s = saved.slot(kind, n);
            setCaption(kind, n, s.Caption);
            setHint(kind, n, s.Hint);
            setEnabled(kind, n, s.Enabled);
            setChecked(kind, n, s.Checked);
        }
}

void StreamSelection::click(SlotKind kind, int n) {
    const auto& s = at(kind, n);
    if (s.Enabled) setChecked(kind, n, !s.Checked);
}

void StreamSelection::Resetcbs() {
    for (const auto kind : kAllKinds) {
        for (int n = 0; n < slotCount(kind); ++n) {
            setEnabled(kind, n, false);
            setCaption(kind, n, emptySlotCaption(kind));
        }
    }
}

void StreamSelection::FillFromStreamTable(const StreamTable& table) {
    auto fill = [this](SlotKind kind, int n, std::int32_t code, std::string typeCaption) {
        const bool found = code >= 0;
        setEnabled(kind, n, found);
        setChecked(kind, n, found);
        if (found) setCaption(kind, n, typeCaption + "." + slotDigits(kind, n));
    };
    for (int n = 0; n < kVideoOutputs; ++n)
        fill(SlotKind::Video, n, table.VideoIds[n], VideoTypeCaption(table.VideoIds[n]));
    for (int n = 0; n < kAudioSlots; ++n)
        fill(SlotKind::Audio, n, table.AudioIds[n], AudioTypeCaption(table.AudioIds[n]));
    for (int n = 0; n < kSubSlots; ++n)
        fill(SlotKind::Subpicture, n, table.SubIds[n], SubTypeCaption(table.SubIds[n]));
}

void StreamSelection::MarkFromPlaylist(SlotKind kind, int n, std::string_view text) {
    setEnabled(kind, n, true);
    setChecked(kind, n, true);
    setCaption(kind, n, text);
    if (kind != SlotKind::Video) setHint(kind, n, text);
}

bool StreamSelection::AnyChecked() const {
    for (const auto kind : kAllKinds)
        for (int n = 0; n < slotCount(kind); ++n)
            if (group(kind)[n].Checked) return true;
    return false;
}

}  // namespace tarnwell
