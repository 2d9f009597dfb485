#pragma once
// Writing a job's output files from a second thread, so that copying the output into the
// system overlaps the reading and parsing of the input.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnwell {

class OutputFile;

// The second thread of one job. It belongs to whoever opens the job's output files, lives as
// long as the job, and is joined by the destructor after everything handed to it is written.
// The files given to it (OutputFile::writeBehind) hand it their full buffers, in the order
// they filled, while a Pass lives; outside a pass (creating the files, headers, the last
// units, closing) they write at once, so a failure there is raised by the write that met it.
// The thread starts with the first pass, so a job that never writes in a pass starts none.
//
// `flush` waits for everything handed over; a write that failed then raises "Stream write
// error" (first error wins). The files keep exactly what they would have kept had the failing
// write been made at once: the one that failed holds what fitted, every other one is cut back
// to what it had accepted before that write. During a pass, `writeAt` and `close` of a file
// wait for everything handed over first.
class WriteBehind {
  public:
    WriteBehind() = default;
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // A scan or rebuild pass of the job (one at a time, on the thread that writes). The end of
    // the pass waits for its writes and keeps a failure for the files' close, raising nothing.
    class Pass {
      public:
        // nullptr: no write-behind, the files write at once.
        explicit Pass(WriteBehind* behind);
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

      private:
        WriteBehind* behind_;
    };

    void flush();

  private:
    friend class OutputFile;
    using Buffer = std::unique_ptr<std::uint8_t[]>;
    struct Item {
        const OutputFile* file;
        int fd;
        Buffer data;
        std::size_t length;
        std::uint64_t call;
    };
    // After `drain`: the files that failed, the first of them and the write call whose buffer
    // it could not write.
    struct Failure {
        std::vector<const OutputFile*> files;
        const OutputFile* first = nullptr;
        std::uint64_t call = 0;
    };

    bool passOn() const { return passOn_; }
    // Queues a full buffer and returns an empty one, waiting while enough are in flight.
    Buffer handOver(const OutputFile* file, int fd, Buffer data, std::size_t length);
    void drain();
    bool anyFailed() const { return anyFailed_.load(std::memory_order_acquire); }
    Failure failure();
    // Numbers a write call of `file` during the pass and notes what it had accepted before.
    void noteCall(OutputFile& file);
    // Drains and lets every file written since the last flush take in a failure.
    void takeFailures();
    // A file closed during the pass.
    void forget(const OutputFile& file);
    void run();

    static constexpr std::size_t kInFlight = 8;

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    std::deque<Item> queue_;
    std::vector<Buffer> spare_;
    bool busy_ = false;
    bool ending_ = false;
    Failure failure_;
    std::atomic<bool> anyFailed_{false};

    // Kept by the writing thread only.
    bool passOn_ = false;
    std::uint64_t calls_ = 0;
    std::vector<OutputFile*> touched_;
};

}  // namespace tarnwell
