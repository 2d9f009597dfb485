#include "io/file_io.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnwell {

namespace {

std::string currentFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

std::string reasonText(int error) {
    return std::strerror(error);
}

}  // namespace

std::string fullPath(std::string_view name) {
    std::string joined = (!name.empty() && name.front() == '/')
                             ? std::string(name)
                             : currentFolder() + "/" + std::string(name);
    // Fold "." and ".." and doubled separators, as the name would be resolved.
    std::vector<std::string_view> parts;
    std::string_view rest = joined;
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const auto part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string result;
    for (const auto part : parts) {
        result += '/';
        result += part;
    }
    if (result.empty()) result = "/";
    // A name that ends in a separator names a folder; keep the separator.
    if (!name.empty() && name.back() == '/' && result.back() != '/') result += '/';
    return result;
}

std::string_view fileNamePart(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

// ---------------------------------------------------------------------------------------

InputFile::~InputFile() {
    close();
}

void InputFile::open(const std::string& path) {
    close();
    // Without O_NONBLOCK the open of a FIFO waits for a writer, for ever and deaf to signals
    // that would end the program; with it, every kind of file opens at once and is judged here.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    int error = errno;
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) != 0) error = errno;
    // A folder opens for reading on POSIX but cannot be read as a file.
    else if (fd >= 0 && S_ISDIR(info.st_mode))
        error = EISDIR;
    // A FIFO, a device or a socket has no size and no positions to read by.
    else if (fd >= 0 && !S_ISREG(info.st_mode))
        error = ESPIPE;
    else if (fd >= 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        error = errno;
    else if (fd >= 0) {
        fd_ = fd;
        size_ = info.st_size;
        position_ = 0;
        path_ = path;
        return;
    }
    if (fd >= 0) ::close(fd);
    throw FileError("Cannot open file \"" + fullPath(path) + "\". " + reasonText(error));
}

std::int64_t InputFile::read(std::uint8_t* buffer, std::int64_t max) {
    if (fd_ < 0 || max <= 0) return 0;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, static_cast<std::size_t>(max));
        if (n >= 0) {
            position_ += n;
            return n;
        }
        if (errno != EINTR) throw FileError(kStreamReadError);
    }
}

void InputFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    position_ = 0;
}

// ---------------------------------------------------------------------------------------

namespace {

// Writes all bytes or reports failure; a short write is retried until the system refuses.
bool writeAll(int fd, const std::uint8_t* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

using Buffer = std::unique_ptr<std::uint8_t[]>;

// The second thread of WriteBehind and what it shares with the writing thread. The files are
// only names to it: it writes to the descriptor handed over with each buffer and never touches
// an OutputFile.
class Writer {
  public:
    static Writer& get() {
        // Never destroyed: files closed during the program's exit may still ask for it. A
        // child made by fork has no second thread: it starts its own.
        if (!instance) {
            instance = new Writer;
            static const int registered =
                ::pthread_atfork(nullptr, nullptr, [] { instance = nullptr; });
            (void)registered;
        }
        return *instance;
    }
    // The writer while a WriteBehind lives, or nullptr; never starts the thread.
    static Writer* whileActive() { return instance && instance->active ? instance : nullptr; }

    // Queues a full buffer and returns an empty one, waiting while enough are in flight.
    Buffer handOver(const OutputFile* file, int fd, Buffer data, std::size_t length,
                    std::uint64_t call) {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return queue_.size() < kInFlight; });
        queue_.push_back({file, fd, std::move(data), length, call});
        work_.notify_one();
        if (spare_.empty()) return std::make_unique<std::uint8_t[]>(OutputFile::kBufferSize);
        Buffer buffer = std::move(spare_.back());
        spare_.pop_back();
        return buffer;
    }

    void drain() {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return queue_.empty() && !busy_; });
    }

    bool anyFailed() const { return anyFailed_.load(std::memory_order_acquire); }

    // After `drain`: the files that failed, the first of them and the write call whose buffer
    // it could not write.
    struct Failure {
        std::vector<const OutputFile*> files;
        const OutputFile* first = nullptr;
        std::uint64_t call = 0;
    };
    Failure failure() {
        std::lock_guard lock(mutex_);
        return failure_;
    }
    void forget() {
        std::lock_guard lock(mutex_);
        failure_ = {};
        anyFailed_.store(false, std::memory_order_release);
    }

    // Kept by the writing thread only.
    bool active = false;
    bool absorbed = false;
    std::uint64_t calls = 0;
    std::vector<OutputFile*> touched;

  private:
    static constexpr std::size_t kInFlight = 8;

    struct Item {
        const OutputFile* file;
        int fd;
        Buffer data;
        std::size_t length;
        std::uint64_t call;
    };

    Writer() {
        std::thread([this] { run(); }).detach();
    }

    bool hasFailed(const OutputFile* file) const {
        return std::find(failure_.files.begin(), failure_.files.end(), file) !=
               failure_.files.end();
    }

    [[noreturn]] void run() {
        for (;;) {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [&] { return !queue_.empty(); });
            Item item = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
            // A file that failed takes nothing more, as it refuses later chunks.
            const bool skip = hasFailed(item.file);
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

    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    std::deque<Item> queue_;
    std::vector<Buffer> spare_;
    bool busy_ = false;
    Failure failure_;
    std::atomic<bool> anyFailed_{false};
    static inline Writer* instance = nullptr;
};

}  // namespace

WriteBehind::WriteBehind() {
    Writer& w = Writer::get();
    w.active = true;
    w.absorbed = false;
    w.calls = 0;
}

WriteBehind::~WriteBehind() {
    Writer& w = Writer::get();
    w.drain();
    for (OutputFile* file : w.touched) file->failed();
    w.active = false;
    w.forget();
    for (OutputFile* file : w.touched) file->calls_.clear();
    w.touched.clear();
}

void WriteBehind::settle() {
    Writer& w = Writer::get();
    w.drain();
    if (w.anyFailed()) {
        for (OutputFile* file : w.touched) file->failed();
        throw FileError(kStreamWriteError);
    }
    for (OutputFile* file : w.touched) file->calls_.clear();
    w.touched.clear();
}

// Takes in, after a drain, what the second thread found: a file that failed drops what it
// holds, and every file is cut back to what it had accepted before the failing write call.
void OutputFile::failed() {
    Writer& w = Writer::get();
    if (!w.anyFailed()) return;
    const auto failure = w.failure();
    if (std::find(failure.files.begin(), failure.files.end(), this) != failure.files.end()) {
        failed_ = true;
        buffered_ = 0;
    }
    if (this == failure.first || cutAt_ >= 0) return;
    for (const auto& [call, before] : calls_) {
        if (call > failure.call) {
            cutAt_ = before;
            break;
        }
    }
}

OutputFile::~OutputFile() {
    closeQuietly();
}

void OutputFile::create(const std::string& name) {
    closeQuietly();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        throw FileError("Cannot create file \"" + fullPath(name) + "\". " + reasonText(error));
    }
    fd_ = fd;
    name_ = name;
    buffered_ = 0;
    accepted_ = 0;
    failed_ = false;
    calls_.clear();
    cutAt_ = -1;
    if (!buffer_) buffer_ = std::make_unique<std::uint8_t[]>(kBufferSize);
}

void OutputFile::flush(bool now) {
    if (buffered_ == 0) return;
    Writer* w = Writer::whileActive();
    if (w && !now) {
        buffer_ = w->handOver(this, fd_, std::move(buffer_), buffered_, w->calls);
        buffered_ = 0;
        return;
    }
    const bool ok = writeAll(fd_, buffer_.get(), buffered_);
    buffered_ = 0;
    if (!ok) {
        failed_ = true;
        throw FileError(kStreamWriteError);
    }
}

void OutputFile::write(const std::uint8_t* data, std::size_t length) {
    if (fd_ < 0 || failed_) throw FileError(kStreamWriteError);
    Writer* w = Writer::whileActive();
    if (w) {
        if (w->anyFailed()) {
            w->drain();
            for (OutputFile* file : w->touched) file->failed();
            throw FileError(kStreamWriteError);
        }
        if (calls_.empty()) w->touched.push_back(this);
        calls_.emplace_back(++w->calls, accepted_);
    }
    // The buffer is written only when full, so the system sees whole, page-aligned writes
    // however the chunks fall; whole buffers' worth of a large chunk go straight out (unless
    // the second thread writes).
    while (length > 0) {
        std::size_t taken;
        if (buffered_ == 0 && length >= kBufferSize && !w) {
            taken = length - length % kBufferSize;
            if (!writeAll(fd_, data, taken)) {
                failed_ = true;
                throw FileError(kStreamWriteError);
            }
        } else {
            taken = std::min(length, kBufferSize - buffered_);
            std::memcpy(buffer_.get() + buffered_, data, taken);
            buffered_ += taken;
            if (buffered_ == kBufferSize) flush();
        }
        accepted_ += static_cast<std::int64_t>(taken);
        data += taken;
        length -= taken;
    }
}

void OutputFile::writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t length) {
    if (fd_ < 0 || failed_ || offset < 0 || offset + static_cast<std::int64_t>(length) > accepted_)
        throw FileError(kStreamWriteError);
    if (Writer* w = Writer::whileActive()) {
        w->drain();
        for (OutputFile* file : w->touched) file->failed();
        if (failed_ || w->anyFailed()) throw FileError(kStreamWriteError);
    }
    flush(true);
    while (length > 0) {
        const ssize_t n = ::pwrite(fd_, data, length, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            throw FileError(kStreamWriteError);
        }
        data += n;
        offset += n;
        length -= static_cast<std::size_t>(n);
    }
}

void OutputFile::close() {
    if (fd_ < 0) return;
    if (Writer* w = Writer::whileActive()) {
        w->drain();
        for (OutputFile* file : w->touched) file->failed();
        w->touched.erase(std::remove(w->touched.begin(), w->touched.end(), this), w->touched.end());
    }
    bool ok = !failed_;
    try {
        flush(true);
    } catch (const FileError&) {
        ok = false;
    }
    // Bytes written by the second thread after a failure elsewhere are taken back.
    if (cutAt_ >= 0 && ::lseek(fd_, 0, SEEK_END) > cutAt_ &&
        ::ftruncate(fd_, static_cast<off_t>(cutAt_)) != 0)
        ok = false;
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    buffer_.reset();
    calls_.clear();
    if (!ok) throw FileError(kStreamWriteError);
}

void OutputFile::closeQuietly() noexcept {
    try {
        close();
    } catch (...) {
    }
}

void writeTextFile(const std::string& name, std::string_view text) {
    OutputFile out;
    out.create(name);
    try {
        out.write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    } catch (const FileError&) {
        out.closeQuietly();
        throw;
    }
    out.close();
}

}  // namespace tarnwell
