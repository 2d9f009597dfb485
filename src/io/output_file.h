#pragma once
// Output files, written through a buffer of their own.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwell {

class WriteBehind;

// A file created anew for writing, written through a buffer of its own.
// `write` takes whole chunks; a chunk that cannot be written in full raises
// "Stream write error". Everything accepted before a failure is on disk after `close`.
// A file given to a WriteBehind hands its full buffers to that one's thread during a pass.
class OutputFile {
  public:
    static constexpr std::size_t kBufferSize = 256 * 1024;

    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates (or empties) the file. Throws FileError `Cannot create file "<full path>". <reason>`.
    void create(const std::string& name);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& name() const { return name_; }
    // Bytes accepted so far (written or buffered).
    std::int64_t size() const { return accepted_; }

    // Given after `create`: until the file is closed, its full buffers go through `behind`
    // while a pass of it is on (nullptr: always written at once).
    void writeBehind(WriteBehind* behind) { behind_ = behind; }

    void write(const std::uint8_t* data, std::size_t length);
    // Writes over bytes already accepted, at `offset` from the start of the file (a header
    // whose sizes are known only at the end). The buffered bytes are written out first; bytes
    // beyond what was accepted, or any failure, raise "Stream write error" as `write` does.
    void writeAt(std::int64_t offset, const std::uint8_t* data, std::size_t length);
    // Flushes and closes. Throws "Stream write error" when the buffered bytes cannot be
    // written or the close fails; the file is closed in every case.
    void close();
    // Closes without raising, for guarded blocks that are already unwinding an error.
    void closeQuietly() noexcept;

  private:
    friend class WriteBehind;
    // The write-behind of this file while a pass of it is on, or nullptr.
    WriteBehind* passOn() const;
    // Writes the buffer, or hands it to the second thread during a pass unless `now`.
    void flush(bool now = false);
    // Takes in what the second thread found after a failure.
    void failed();

    int fd_ = -1;
    std::string name_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t buffered_ = 0;
    std::int64_t accepted_ = 0;
    bool failed_ = false;
    WriteBehind* behind_ = nullptr;
    // Handed to the second thread: write calls since the last flush of the write-behind, as
    // (call number, bytes accepted before it), and the size the file is cut back to on close
    // after a failure elsewhere (-1: none).
    std::vector<std::pair<std::uint64_t, std::int64_t>> calls_;
    std::int64_t cutAt_ = -1;
};

// Writes all bytes or reports failure; EINTR and short writes are retried until the system
// refuses.
bool writeAll(int fd, const std::uint8_t* data, std::size_t length);

// Creates the file `name`, writes `text` and closes it: an option or chapters file, written
// whole. The file is closed whatever fails; the errors are those of OutputFile.
void writeTextFile(const std::string& name, std::string_view text);

}  // namespace tarnwell
