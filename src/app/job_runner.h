#pragma once
// Runs the window's jobs through `Commands` and recovers from their errors: the message box
// shows the error, the job's own button and Cancel get their states back, and a close asked
// for while a job runs stops the job and closes the window after it.

#include <QString>
#include <functional>
#include <vector>

#include "disc/disc_model.h"
#include "jobs/host.h"

class QWidget;

namespace tarnwell {

class Commands;
class WindowHost;

class JobRunner {
  public:
    JobRunner(QWidget& window, Commands& commands, WindowHost& host);
    ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // Runs the job behind a command button (any but Cancel); refused while a job runs.
    void run(Command job);

    // The Make MKV job of the Titles tab: one Matroska file per ticked title (by number) of
    // the disc, into the Options tab's output folder. Unset, the tab's button stays disabled.
    std::function<void(const disc::Disc& disc, const std::vector<int>& titles)> makeMkvJob;
    // Runs it as `run` runs the others; refused while a job runs or when none is connected.
    void runMakeMkv(const disc::Disc& disc, const std::vector<int>& titles);
    // Told when a job starts (true) and when it has ended (false).
    std::function<void(bool)> onJobActive;

    // A close of the window: false when it may go ahead; true while a job runs, which is then
    // stopped at its next block and the window closed after it.
    bool holdClose();

    // The error box, or `errorHook` where a test set one.
    void showError(const QString& text);
    std::function<void(const QString&)> errorHook;

  private:
    // Runs `body` as a job; after an error `restore` gives the buttons back before the box.
    void guarded(const std::function<void()>& body, const std::function<void()>& restore);
    void restoreAfterError(Command job);

    QWidget& window_;
    Commands& commands_;
    WindowHost& host_;
    bool closePending_ = false;
};

}  // namespace tarnwell
