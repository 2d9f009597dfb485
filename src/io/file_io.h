#pragma once
// The file layer: the input file with 64-bit size and position, buffered output files, and
// the errors they raise. Every error text the user sees for a file comes from here.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwell {

// An error of the file layer (open, create, read, write) or of a number conversion; its
// text is what the window shows in the message box and the command line prints.
class FileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kStreamWriteError = "Stream write error";
inline constexpr const char* kStreamReadError = "Stream read error";

// A relative name expanded against the current folder (lexically: "." and ".." are folded).
std::string fullPath(std::string_view name);
// The file name part of a path (after the last '/').
std::string_view fileNamePart(std::string_view path);
// True only for an existing file; false for a folder or a missing path.
bool fileExists(const std::string& path);

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

// A file created anew for writing, written through a buffer of its own.
// `write` takes whole chunks; a chunk that cannot be written in full raises
// "Stream write error". Everything accepted before a failure is on disk after `close`.
// While a WriteBehind lives, full buffers are written by a second thread (see there).
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
    // Writes the buffer, or hands it to the second thread while one runs unless `now`.
    void flush(bool now = false);
    void failed();

    int fd_ = -1;
    std::string name_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t buffered_ = 0;
    std::int64_t accepted_ = 0;
    bool failed_ = false;
    // Handed to the second thread: write calls since the last settle, as (call number, bytes
    // accepted before it), and the size the file is cut back to on close after a failure
    // elsewhere (-1: none).
    std::vector<std::pair<std::uint64_t, std::int64_t>> calls_;
    std::int64_t cutAt_ = -1;
};

// While one lives (one at a time, on the thread that writes), the full buffers of every
// OutputFile are written by a second thread in the order they filled, so that copying the
// output into the system overlaps the reading and parsing of the input. `settle` waits for
// everything handed over; a write that failed then raises "Stream write error" (first error
// wins). The files keep exactly what they would have kept had the failing write been made at
// once: the one that failed holds what fitted, every other one is cut back to what it had
// accepted before that write. `writeAt` and `close` settle first.
class WriteBehind {
  public:
    WriteBehind();
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    void settle();
};

// Creates the file `name`, writes `text` and closes it: an option or chapters file, written
// whole. The file is closed whatever fails; the errors are those of OutputFile.
void writeTextFile(const std::string& name, std::string_view text);

}  // namespace tarnwell
