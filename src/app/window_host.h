#pragma once
// The core's report sink and host over the main window's controls: the message log and the
// status line, event processing and repaint, the command buttons' enabled states, the tab in
// front, the options as the controls hold them, the Cancel question and the clock.

#include <QString>
#include <array>
#include <functional>

#include "app/main_controls.h"
#include "io/report_sink.h"
#include "jobs/host.h"

class QPushButton;
class QWidget;

namespace tarnwell {

class WindowHost : public ReportSink, public Host {
  public:
    // `controls` is filled by the window after this object is made and before its first use.
    WindowHost(QWidget& window, const MainControls& controls);

    // ReportSink.
    void log(std::string_view text) override;
    void slog(std::string_view text, std::uint8_t panel) override;

    // Host.
    void processEvents() override;
    void repaint() override;
    void setCommandEnabled(Command command, bool enabled) override;
    void showPage(int index) override;
    bool isOptionChecked(Option option) const override;
    std::string optionText(TextOption option) const override;
    SubpictureForm subpictureForm() const override;
    bool confirm(std::string_view question) override;
    double now() const override;

    // The logical enabled state the core last set, whatever the button shows during a job.
    bool commandEnabled(Command command) const { return commandEnabled_[index(command)]; }
    // While a job runs only Cancel may act; the other buttons show disabled and get their own
    // state back when the job ends.
    void setJobActive(bool active);
    // Shows the logical states on the buttons.
    void applyCommandStates();

    // Replaces the modal Cancel question in tests: true for Yes.
    std::function<bool(const QString&)> confirmHook;
    // Runs after every round of event processing the core asks for.
    std::function<void()> onEventsProcessed;

  private:
    static constexpr int index(Command command) { return static_cast<int>(command); }
    QPushButton* commandButton(Command command) const;

    QWidget& window_;
    const MainControls& ui_;
    std::array<bool, kCommandCount> commandEnabled_{false, false, false, true, false};
    bool jobActive_ = false;
    bool logStarted_ = false;
};

}  // namespace tarnwell
