#pragma once
// Where the demux loop's payload goes. The loop hands each payload chunk, with what it knows
// of the chunk's packet, to the output that its slot's routing names at that moment; the
// routing decides whether a slot is written at all and by what.

#include <cstdint>
#include <span>

#include "io/file_io.h"
#include "formats/slot_limits.h"

namespace tarnwell {

struct PacketInfo {
    // The chunk is the first of its packet's payload.
    bool starts = false;
    // That packet's full 33-bit PTS, or -1 when its header has none.
    std::int64_t pts = -1;
    // The parser's window as the chunk was handed over. At the first chunk of an LPCM packet
    // its top three bytes are the packet's LPCM header, which the parser consumed.
    std::uint32_t window = 0;
};

class PayloadOutput {
  public:
    virtual ~PayloadOutput() = default;
    virtual void write(std::span<const std::uint8_t> chunk, const PacketInfo& packet) = 0;
    // An output that works on the side writes into its file what it has taken so far.
    virtual void flush() {}
};

class OutputRouting {
  public:
    virtual ~OutputRouting() = default;
    // The output that takes slot n's payload at this moment, nullptr when it is not written
    // (box unticked, no file, or a number beyond the slots that have outputs: n is whatever
    // the stream table's row allows). Asked per chunk, so a selection change acts at once.
    virtual PayloadOutput* payload(SlotKind kind, int n) = 0;
    // The ".pts" file of subpicture n while it is written, or nullptr: then no record is
    // written and the time-stamp register is kept.
    virtual OutputFile* timeStamps(int n) = 0;
    // Demux mode: whether video n's frames are counted (its box is ticked now).
    virtual bool videoSelected(int n) const = 0;
    // Flushes every output (PayloadOutput::flush); the loop calls it before it flushes its
    // writes, so that what the outputs took is in their files at the same points.
    virtual void flush() {}
};

// The plain form: the payload bytes as they come, into one file.
class FileOutput final : public PayloadOutput {
  public:
    explicit FileOutput(OutputFile& file) : file_(file) {}
    void write(std::span<const std::uint8_t> chunk, const PacketInfo& /*packet*/) override {
        file_.write(chunk.data(), chunk.size());
    }
    OutputFile& file() const { return file_; }

  private:
    OutputFile& file_;
};

}  // namespace tarnwell
