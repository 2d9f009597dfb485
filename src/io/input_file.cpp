#include "io/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "io/file_error.h"
#include "io/paths.h"

namespace tarnwell {

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
    throw FileError("Cannot open file \"" + fullPath(path) + "\". " + std::strerror(error));
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

}  // namespace tarnwell
