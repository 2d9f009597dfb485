#pragma once
// What the jobs need from the window besides reporting: letting pending events run,
// repainting, the enabled state of the command buttons, the tab in front, the options as the
// controls hold them at the moment of reading, the Cancel question and the clock.
// The window implements it over its widgets; `BasicHost` keeps plain values for the command
// line and for tests. The engine sees only the part a loop needs, through `HostRunControl`.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/run_control.h"

namespace tarnwell {

// The command buttons whose enabled state the core sets.
enum class Command : std::uint8_t {
    ReadEvo,  // bCheck
    Demux,    // bDemux
    ReadXpl,  // bReadXPL
    Rebuild,  // bRebuild
    Cancel,   // bCancel
};
inline constexpr int kCommandCount = 5;

// The option check boxes of the Options tab.
enum class Option : std::uint8_t {
    Continue,     // cbContinue, "Continue with second  EVO"
    FastCheck,    // cbFastCheck, "Fast EVO checking"
    CountFrames,  // cbCountFr, "Count frames"
    // Off by default: codec extensions, WAV for LPCM, PGS subpictures, delays in the names,
    // chapters and an mkvmerge option file.
    MatroskaReady,  // cbMatroska, "Matroska-ready files"
    // Off by default: Matroska-ready files, then mkvmerge runs on their option file.
    MakeMkv,  // cbMakeMkv, "Make MKV with mkvmerge"
};

// How Demux writes a subpicture stream.
enum class SubpictureForm : std::uint8_t {
    Raw,    // the bare payload, and a ".pts" file of time stamps (the default)
    HdSup,  // HD-DVD SUP: one record per subpicture unit with its time stamp
    Pgs,    // Blu-ray presentation graphics
};

// The text fields of the Options tab.
enum class TextOption : std::uint8_t {
    Workdir,   // eWorkdir, "Output folder"
    VideoExt,  // eVideoExt
    AudioExt,  // eAudioExt
    SubExt,    // eSubExt
};

// The Options tab's design defaults: the window starts with them, and the command line and
// `BasicHost` hold them until told otherwise.
constexpr bool defaultChecked(Option option) {
    return option == Option::Continue || option == Option::FastCheck ||
           option == Option::CountFrames;
}
constexpr std::string_view defaultText(TextOption option) {
    switch (option) {
        case TextOption::VideoExt:
            return "mpv";
        case TextOption::AudioExt:
            return "mpa";
        case TextOption::SubExt:
            return "sup";
        case TextOption::Workdir:
            break;
    }
    return {};
}
inline constexpr SubpictureForm kDefaultSubpictureForm = SubpictureForm::Raw;
// The most characters an extension field takes.
inline constexpr std::size_t kMaxExtensionLength = 5;

// Tab pages of PageControl that the jobs bring to the front.
inline constexpr int kStatusPage = 0;
inline constexpr int kXplPage = 4;

class Host {
  public:
    virtual ~Host() = default;

    // Lets the window handle clicks, repaints and drops before the loop goes on.
    virtual void processEvents() = 0;
    virtual void repaint() = 0;
    virtual void setCommandEnabled(Command command, bool enabled) = 0;
    virtual void showPage(int index) = 0;

    virtual bool isOptionChecked(Option option) const = 0;
    virtual std::string optionText(TextOption option) const = 0;
    virtual SubpictureForm subpictureForm() const = 0;

    // The modal Yes/No question of the Cancel command; true for Yes.
    virtual bool confirm(std::string_view question) = 0;

    // The current local date and time, in days (any fixed epoch).
    virtual double now() const = 0;
};

// Days since the Unix epoch from the system clock.
double systemClockDays();

// "Matroska-ready files" is in force: ticked, or implied by "Make MKV with mkvmerge".
inline bool matroskaReady(const Host& host) {
    return host.isOptionChecked(Option::MatroskaReady) || host.isOptionChecked(Option::MakeMkv);
}

// A host without a window: options are plain fields holding the design defaults, and
// every call the core makes is recorded or forwarded to an optional hook.
class BasicHost : public Host {
  public:
    void processEvents() override {
        ++eventRounds;
        if (onProcessEvents) onProcessEvents();
    }
    void repaint() override { ++repaints; }
    void setCommandEnabled(Command command, bool enabled) override {
        commandEnabled[static_cast<int>(command)] = enabled;
    }
    void showPage(int index) override { page = index; }

    bool isOptionChecked(Option option) const override {
        switch (option) {
            case Option::Continue:
                return continueWithNext;
            case Option::FastCheck:
                return fastCheck;
            case Option::CountFrames:
                return countFrames;
            case Option::MatroskaReady:
                return matroskaReady;
            case Option::MakeMkv:
                return makeMkv;
        }
        return false;
    }
    SubpictureForm subpictureForm() const override { return subpictures; }
    std::string optionText(TextOption option) const override {
        switch (option) {
            case TextOption::Workdir:
                return workdir;
            case TextOption::VideoExt:
                return videoExt;
            case TextOption::AudioExt:
                return audioExt;
            case TextOption::SubExt:
                return subExt;
        }
        return {};
    }

    bool confirm(std::string_view question) override {
        ++questions;
        lastQuestion = std::string(question);
        return confirmAnswer;
    }
    double now() const override { return clock ? clock() : systemClockDays(); }

    bool isEnabled(Command command) const { return commandEnabled[static_cast<int>(command)]; }

    // Options, with the window's design defaults.
    bool continueWithNext = defaultChecked(Option::Continue);
    bool fastCheck = defaultChecked(Option::FastCheck);
    bool countFrames = defaultChecked(Option::CountFrames);
    std::string workdir{defaultText(TextOption::Workdir)};
    std::string videoExt{defaultText(TextOption::VideoExt)};
    std::string audioExt{defaultText(TextOption::AudioExt)};
    std::string subExt{defaultText(TextOption::SubExt)};
    bool matroskaReady = defaultChecked(Option::MatroskaReady);
    bool makeMkv = defaultChecked(Option::MakeMkv);
    SubpictureForm subpictures = kDefaultSubpictureForm;

    // Button states at start-up: only Rebuild is enabled.
    std::array<bool, kCommandCount> commandEnabled{false, false, false, true, false};
    int page = kStatusPage;

    bool confirmAnswer = true;
    int questions = 0;
    std::string lastQuestion;
    int eventRounds = 0;
    int repaints = 0;
    std::function<void()> onProcessEvents;
    std::function<double()> clock;
};

// The engine's view of a host while one of its loops runs.
class HostRunControl final : public RunControl {
  public:
    explicit HostRunControl(Host& host) : host_(host) {}
    void processEvents() override { host_.processEvents(); }
    void repaint() override { host_.repaint(); }
    void setCancelEnabled(bool enabled) override {
        host_.setCommandEnabled(Command::Cancel, enabled);
    }
    bool fastCheck() const override { return host_.isOptionChecked(Option::FastCheck); }
    bool countFrames() const override { return host_.isOptionChecked(Option::CountFrames); }
    double now() const override { return host_.now(); }

  private:
    Host& host_;
};

}  // namespace tarnwell
