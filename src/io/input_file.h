#pragma once
// The input file, with 64-bit size and position.

#include <cstdint>
#include <string>

namespace tarnwell {

class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens a regular file for reading, never waiting. Throws FileError
    // `Cannot open file "<full path>". <reason>`; for a folder the reason is "Is a directory",
    // for any other file that is not a regular one (a FIFO, a device) "Illegal seek".
    void open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    // Size taken when the file was opened.
    std::int64_t size() const { return size_; }
    std::int64_t position() const { return position_; }
    const std::string& path() const { return path_; }

    // Reads up to `max` bytes at the current position; 0 at the end of the file.
    // A failing read (not the end of the file) throws FileError "Stream read error".
    std::int64_t read(std::uint8_t* buffer, std::int64_t max);
    void close();

  private:
    int fd_ = -1;
    std::int64_t size_ = 0;
    std::int64_t position_ = 0;
    std::string path_;
};

}  // namespace tarnwell
