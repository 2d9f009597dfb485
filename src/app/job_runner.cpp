#include "app/job_runner.h"

#include <QMessageBox>
#include <QWidget>
#include <exception>

#include "app/ui_text.h"
#include "app/window_host.h"
#include "jobs/commands.h"

namespace tarnwell {

JobRunner::JobRunner(QWidget& window, Commands& commands, WindowHost& host)
    : window_(window), commands_(commands), host_(host) {
    // A close asked for while a job runs stops it, whatever the job cleared since.
    host_.onEventsProcessed = [this] {
        if (closePending_) commands_.state().CancelRequested = true;
    };
}

JobRunner::~JobRunner() {
    host_.onEventsProcessed = nullptr;
}

void JobRunner::run(Command job) {
    guarded(
        [this, job] {
            switch (job) {
                case Command::ReadEvo:
                    commands_.readEvo();
                    break;
                case Command::Demux:
                    commands_.bDemuxClick();
                    break;
                case Command::ReadXpl:
                    commands_.bReadXPLClick();
                    break;
                case Command::Rebuild:
                    commands_.bRebuildClick();
                    break;
                case Command::Cancel:
                    break;
            }
        },
        [this, job] { restoreAfterError(job); });
}

void JobRunner::runMakeMkv(const disc::Disc& disc, const std::vector<int>& titles) {
    if (!makeMkvJob) return;
    guarded([&] { makeMkvJob(disc, titles); },
            [this] { host_.setCommandEnabled(Command::Cancel, false); });
}

void JobRunner::guarded(const std::function<void()>& body, const std::function<void()>& restore) {
    if (commands_.jobRunning()) return;  // a second job is refused
    host_.setJobActive(true);
    if (onJobActive) onJobActive(true);
    bool failed = false;
    QString error;
    try {
        body();
    } catch (const std::exception& e) {
        failed = true;
        error = QString::fromUtf8(e.what());
    }
    if (failed) restore();
    host_.setJobActive(false);
    if (onJobActive) onJobActive(false);
    if (failed) showError(error);
    if (closePending_) {
        closePending_ = false;
        window_.close();
    }
}

void JobRunner::restoreAfterError(Command job) {
    // The job's guarded block closed its files; give the user the buttons back.
    const auto& input = commands_.input();
    switch (job) {
        case Command::ReadEvo:
            host_.setCommandEnabled(job, !input.evoField().empty());
            break;
        case Command::ReadXpl:
            host_.setCommandEnabled(job, !input.XPLname.empty());
            break;
        default:
            host_.setCommandEnabled(job, true);
            break;
    }
    host_.setCommandEnabled(Command::Cancel, false);
    commands_.playlist().setTagViewVisible(true);
}

bool JobRunner::holdClose() {
    if (!commands_.jobRunning()) return false;
    // The job stops at its next block and closes its files; the close follows then.
    closePending_ = true;
    commands_.state().CancelRequested = true;
    return true;
}

void JobRunner::showError(const QString& text) {
    if (errorHook) {
        errorHook(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), text,
                    QMessageBox::Ok, &window_);
    box.exec();
}

}  // namespace tarnwell
