#include "fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "support/temp_dir.h"

namespace tarnwell::fuzz {

const std::string& scratchFolder() {
    static const testing::TempDir scratch(testing::TempDir::Storage::Memory);
    static const std::string path = scratch.path().string();
    return path;
}

std::string scratchFile(const std::string& name) {
    return scratchFolder() + "/" + name;
}

void writeWholeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) finding("cannot create " + path);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) finding("cannot write " + path);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

Bytes readWholeFile(const std::string& path) {
    Bytes out;
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return out;
    std::uint8_t block[65536];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n <= 0) break;
        out.insert(out.end(), block, block + n);
    }
    ::close(fd);
    return out;
}

void finding(const std::string& what) {
    std::fprintf(stderr, "FINDING: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

Bytes InputReader::take(std::size_t length) {
    const std::size_t n = std::min(length, size_ - pos_);
    Bytes out(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return out;
}

}  // namespace tarnwell::fuzz
