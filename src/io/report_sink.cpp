#include "io/report_sink.h"

namespace tarnwell {

std::vector<std::string> RecordingSink::statusTexts(std::uint8_t panel) const {
    std::vector<std::string> texts;
    for (const auto& call : status)
        if (call.panel == panel) texts.push_back(call.text);
    return texts;
}

void ConsoleSink::log(std::string_view text) {
    finishProgress();
    std::fwrite(text.data(), 1, text.size(), logOut_);
    std::fputc('\n', logOut_);
    std::fflush(logOut_);
}

void ConsoleSink::slog(std::string_view text, std::uint8_t panel) {
    if (panel > 1) return;
    panels_[panel] = std::string(text);
    if (progressOut_) drawProgress();
}

void ConsoleSink::drawProgress() {
    // "\r" + clear-to-end keeps one line however long the previous text was.
    std::fprintf(progressOut_, "\r\x1b[K%s  %s", panels_[0].c_str(), panels_[1].c_str());
    std::fflush(progressOut_);
    progressShown_ = true;
}

void ConsoleSink::finishProgress() {
    if (!progressOut_ || !progressShown_) return;
    std::fputs("\r\x1b[K", progressOut_);
    std::fflush(progressOut_);
    progressShown_ = false;
}

}  // namespace tarnwell
