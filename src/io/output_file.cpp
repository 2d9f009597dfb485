#include "io/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "io/file_error.h"
#include "io/paths.h"
#include "io/write_behind.h"

namespace tarnwell {

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

WriteBehind* OutputFile::passOn() const {
    return behind_ && behind_->passOn() ? behind_ : nullptr;
}

// Takes in, after a drain, what the second thread found: a file that failed drops what it
// holds, and every file is cut back to what it had accepted before the failing write call.
void OutputFile::failed() {
    if (!behind_ || !behind_->anyFailed()) return;
    const auto failure = behind_->failure();
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
        throw FileError("Cannot create file \"" + fullPath(name) + "\". " + std::strerror(error));
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
    WriteBehind* w = passOn();
    if (w && !now) {
        buffer_ = w->handOver(this, fd_, std::move(buffer_), buffered_);
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
    WriteBehind* w = passOn();
    if (w) {
        if (w->anyFailed()) {
            w->takeFailures();
            throw FileError(kStreamWriteError);
        }
        w->noteCall(*this);
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
    if (WriteBehind* w = passOn()) {
        w->takeFailures();
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
    if (fd_ < 0) {
        behind_ = nullptr;
        return;
    }
    if (WriteBehind* w = passOn()) {
        w->takeFailures();
        w->forget(*this);
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
    behind_ = nullptr;
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
