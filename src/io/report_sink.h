#pragma once
// The reporting interface of the main window: `log` appends a line to the message log,
// `slog` sets one of the two status panels. The engine and the jobs report only through it.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

class ReportSink {
  public:
    virtual ~ReportSink() = default;
    virtual void log(std::string_view text) = 0;
    virtual void slog(std::string_view text, std::uint8_t panel) = 0;
};

// Keeps every call, in order, for tests.
class RecordingSink : public ReportSink {
  public:
    struct StatusCall {
        std::string text;
        std::uint8_t panel;
        bool operator==(const StatusCall&) const = default;
    };

    void log(std::string_view text) override { lines.emplace_back(text); }
    void slog(std::string_view text, std::uint8_t panel) override {
        status.push_back({std::string(text), panel});
        if (panel < 2) panels[panel] = std::string(text);
    }

    // Status calls on one panel only, in order.
    std::vector<std::string> statusTexts(std::uint8_t panel) const;

    std::vector<std::string> lines;
    std::vector<StatusCall> status;
    std::string panels[2] = {"Ready", "Select or drop an EVO file to demux"};
};

// Log lines go to `logOut`, one per line. When `progressOut` is given, the two status panels
// are kept as one live line there (rewritten with a carriage return), and wiped before any
// log line so the two streams never interleave on a terminal.
class ConsoleSink : public ReportSink {
  public:
    explicit ConsoleSink(std::FILE* logOut, std::FILE* progressOut = nullptr)
        : logOut_(logOut), progressOut_(progressOut) {}
    ~ConsoleSink() override { finishProgress(); }

    void log(std::string_view text) override;
    void slog(std::string_view text, std::uint8_t panel) override;
    // Ends the live line so later output starts on a clean line.
    void finishProgress();

  private:
    void drawProgress();

    std::FILE* logOut_;
    std::FILE* progressOut_;
    std::string panels_[2];
    bool progressShown_ = false;
};

}  // namespace tarnwell
