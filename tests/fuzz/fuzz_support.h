#pragma once
// What the fuzz targets share: a scratch folder in memory-backed storage for the files a run
// reads and writes, and the stop that turns a broken
// property into a finding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarnwell::fuzz {

using Bytes = std::vector<std::uint8_t>;

// A folder made once per fuzzing process (in /dev/shm when the machine has it) and removed
// at its exit.
const std::string& scratchFolder();
std::string scratchFile(const std::string& name);

// Reports a broken property on standard error and aborts, so that libFuzzer keeps the input.
[[noreturn]] void finding(const std::string& what);

// Reads the fuzz input from the front: control bytes first, the rest is the body.
class InputReader {
  public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    // The next byte, or 0 when the input is used up.
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint32_t bits(int bytes) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value = value << 8 | byte();
        return value;
    }
    const std::uint8_t* rest() const { return data_ + pos_; }
    std::size_t restSize() const { return size_ - pos_; }
    // Up to `length` bytes of the rest, taken off the front.
    Bytes take(std::size_t length);

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace tarnwell::fuzz
