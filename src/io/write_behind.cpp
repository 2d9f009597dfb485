#include "io/write_behind.h"

#include <algorithm>

#include "io/file_error.h"
#include "io/output_file.h"

namespace tarnwell {

WriteBehind::~WriteBehind() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    work_.notify_one();
    if (thread_.joinable()) thread_.join();
}

WriteBehind::Pass::Pass(WriteBehind* behind) : behind_(behind) {
    if (!behind_) return;
    if (!behind_->thread_.joinable()) behind_->thread_ = std::thread([b = behind_] { b->run(); });
    behind_->passOn_ = true;
    behind_->calls_ = 0;
}

WriteBehind::Pass::~Pass() {
    if (!behind_) return;
    WriteBehind& w = *behind_;
    w.drain();
    for (OutputFile* file : w.touched_) file->failed();
    w.passOn_ = false;
    {
        std::lock_guard lock(w.mutex_);
        w.failure_ = {};
        w.anyFailed_.store(false, std::memory_order_release);
    }
    for (OutputFile* file : w.touched_) file->calls_.clear();
    w.touched_.clear();
}

void WriteBehind::flush() {
    drain();
    if (anyFailed()) {
        for (OutputFile* file : touched_) file->failed();
        throw FileError(kStreamWriteError);
    }
    for (OutputFile* file : touched_) file->calls_.clear();
    touched_.clear();
}

WriteBehind::Buffer WriteBehind::handOver(const OutputFile* file, int fd, Buffer data,
                                          std::size_t length) {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return queue_.size() < kInFlight; });
    queue_.push_back({file, fd, std::move(data), length, calls_});
    work_.notify_one();
    if (spare_.empty()) return std::make_unique<std::uint8_t[]>(OutputFile::kBufferSize);
    Buffer buffer = std::move(spare_.back());
    spare_.pop_back();
    return buffer;
}

void WriteBehind::drain() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return queue_.empty() && !busy_; });
}

WriteBehind::Failure WriteBehind::failure() {
    std::lock_guard lock(mutex_);
    return failure_;
}

void WriteBehind::noteCall(OutputFile& file) {
    if (file.calls_.empty()) touched_.push_back(&file);
    file.calls_.emplace_back(++calls_, file.accepted_);
}

void WriteBehind::takeFailures() {
    drain();
    for (OutputFile* file : touched_) file->failed();
}

void WriteBehind::forget(const OutputFile& file) {
    touched_.erase(std::remove(touched_.begin(), touched_.end(), &file), touched_.end());
}

// The files are only names here: the thread writes to the descriptor handed over with each
// buffer and never touches an OutputFile.
void WriteBehind::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] { return !queue_.empty() || ending_; });
        if (queue_.empty()) return;
        Item item = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        // A file that failed takes nothing more, as it refuses later chunks.
        const bool skip = std::find(failure_.files.begin(), failure_.files.end(), item.file) !=
                          failure_.files.end();
        lock.unlock();
        const bool ok = skip || writeAll(item.fd, item.data.get(), item.length);
        lock.lock();
        if (!ok) {
            if (failure_.files.empty()) {
                failure_.first = item.file;
                failure_.call = item.call;
            }
            failure_.files.push_back(item.file);
            anyFailed_.store(true, std::memory_order_release);
        }
        spare_.push_back(std::move(item.data));
        busy_ = false;
        done_.notify_all();
    }
}

}  // namespace tarnwell
