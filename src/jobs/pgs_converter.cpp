#include "jobs/pgs_converter.h"

#include <sys/resource.h>
#include <unistd.h>

#include <utility>

#include "jobs/subpicture_output.h"

namespace tarnwell {

namespace {

// The converter takes only the time that reading and writing leave (on two cores they keep
// both busy much of the time): the thread that waits for a unit converts it itself when the
// converter has not begun it.
void lowerPriority() {
#ifdef __linux__
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);  // this thread only
#endif
}

}  // namespace

PgsConverter::PgsConverter(Convert convert, bool secondThread)
    : convert_(convert ? convert : [](PgsConversion& conversion, const SubpictureUnit& unit) {
          conversion.convert(unit);
      }) {
    if (secondThread) thread_ = std::thread([this] { run(); });
}

void PgsConverter::convertJob(Job& job) {
    try {
        convert_(job.conversion, job.unit);
    } catch (...) {
        job.error = std::current_exception();
    }
}

PgsConverter::~PgsConverter() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    work_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void PgsConverter::run() {
    lowerPriority();
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stop_ || claimed_ < givenBack_ + jobs_.size(); });
        if (stop_) return;
        // A job leaves the queue only once it is done, so this one stays where it is.
        Job& job = *jobs_[claimed_++ - givenBack_];
        lock.unlock();
        convertJob(job);
        lock.lock();
        job.done = true;
        done_.notify_one();
    }
}

void PgsConverter::convert(SubpictureOutput& output, SubpictureUnit&& unit) {
    std::unique_ptr<Job> job;
    if (spare_.empty()) {
        job = std::make_unique<Job>();
    } else {
        job = std::move(spare_.back());
        spare_.pop_back();
    }
    job->output = &output;
    job->unit = std::move(unit);
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    work_.notify_one();
    while (!jobs_.empty() && giveBackOldest(false)) {
    }
    while (jobs_.size() > kInHand) giveBackOldest(true);
}

void PgsConverter::drain() {
    while (!jobs_.empty()) giveBackOldest(true);
}

bool PgsConverter::giveBackOldest(bool wait) {
    Job* job = nullptr;
    bool convertHere = false;
    {
        std::unique_lock lock(mutex_);
        job = jobs_.front().get();
        if (!job->done) {
            if (!wait) return false;
            // Not begun by the converter (it is busy or held back): converted here at once.
            if (claimed_ == givenBack_) {
                ++claimed_;
                convertHere = true;
            } else {
                done_.wait(lock, [job] { return job->done; });
            }
        }
    }
    if (convertHere) convertJob(*job);
    std::unique_ptr<Job> owned;
    {
        std::lock_guard lock(mutex_);
        owned = std::move(jobs_.front());
        jobs_.pop_front();
        ++givenBack_;
    }
    owned->done = false;
    if (owned->error) std::rethrow_exception(std::exchange(owned->error, nullptr));
    owned->output->write(owned->unit, owned->conversion);
    spare_.push_back(std::move(owned));
    return true;
}

}  // namespace tarnwell
