#include "fuzz_support.h"

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
