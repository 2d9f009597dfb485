#include "engine/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

}  // namespace

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
    if (!buffer_) buffer_ = std::make_unique<std::uint8_t[]>(kBufferSize);
}

void OutputFile::flush() {
    if (buffered_ == 0) return;
    const bool ok = writeAll(fd_, buffer_.get(), buffered_);
    buffered_ = 0;
    if (!ok) {
        failed_ = true;
        throw FileError(kStreamWriteError);
    }
}

void OutputFile::write(const std::uint8_t* data, std::size_t length) {
    if (fd_ < 0 || failed_) throw FileError(kStreamWriteError);
    // The buffer is written only when full, so the system sees whole, page-aligned writes
    // however the chunks fall; whole buffers' worth of a large chunk go straight out.
    while (length > 0) {
        std::size_t taken;
        if (buffered_ == 0 && length >= kBufferSize) {
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
    flush();
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
    bool ok = !failed_;
    try {
        flush();
    } catch (const FileError&) {
        ok = false;
    }
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    buffer_.reset();
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
